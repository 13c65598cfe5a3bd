// The text of the settings file: one value per line, "Name=Number", the number a 32-bit
// unsigned decimal, or "Name="Text"" for a text value (a host name, an address). Lines starting with '#' or ';' and blank lines are comments; a line that
// cannot be read is skipped, so a damaged file costs only its damaged values. Names compare
// ignoring case; when a name appears twice, the later value counts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::settings {

inline constexpr size_t kMaxValueNameBytes = 255;
// Larger files are not ours: they are read as empty.
inline constexpr size_t kMaxSettingsFileBytes = 256 * 1024;
// The longest text value, in bytes.
inline constexpr size_t kMaxTextValueBytes = 1024;

class RegistryStoreFile {
public:
    using Entry = std::pair<std::string, uint32_t>;
    using TextEntry = std::pair<std::string, std::string>;

    // Reads the values of `text`; how many lines were skipped is kept in skippedLines().
    static RegistryStoreFile parse(std::string_view text);

    // The file text: a heading comment and one line per value, in the order of first appearance,
    // the numbers first and then the texts.
    std::string render() const;

    bool find(std::string_view name, uint32_t& value) const;
    // Replaces the value of that name (keeping the name's first spelling), or adds it at the end.
    // False when the name cannot be stored in the file.
    bool set(std::string_view name, uint32_t value);

    // Text values live beside the numbers: a name may have one of each.
    bool findText(std::string_view name, std::string& text) const;
    // False when the name or the text cannot be stored in the file.
    bool setText(std::string_view name, std::string_view text);

    const std::vector<Entry>& entries() const { return entries_; }
    const std::vector<TextEntry>& textEntries() const { return texts_; }
    size_t skippedLines() const { return skipped_; }

    // A name that fits on a line: 1-255 printable ASCII characters, no '=', no blank at either end
    // and not starting with a comment character.
    static bool validName(std::string_view name);
    // A text that fits between the quotes: at most kMaxTextValueBytes, no control character and
    // no '"'.
    static bool validText(std::string_view text);

private:
    std::vector<Entry> entries_;
    std::vector<TextEntry> texts_;
    size_t skipped_ = 0;
};

}  // namespace qv::settings
