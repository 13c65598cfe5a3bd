// The text of the settings file: one value per line, "Name=Number", the number a 32-bit
// unsigned decimal. Lines starting with '#' or ';' and blank lines are comments; a line that
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

class RegistryStoreFile {
public:
    using Entry = std::pair<std::string, uint32_t>;

    // Reads the values of `text`; how many lines were skipped is kept in skippedLines().
    static RegistryStoreFile parse(std::string_view text);

    // The file text: a heading comment and one line per value, in the order of first appearance.
    std::string render() const;

    bool find(std::string_view name, uint32_t& value) const;
    // Replaces the value of that name (keeping the name's first spelling), or adds it at the end.
    // False when the name cannot be stored in the file.
    bool set(std::string_view name, uint32_t value);

    const std::vector<Entry>& entries() const { return entries_; }
    size_t skippedLines() const { return skipped_; }

    // A name that fits on a line: 1-255 printable ASCII characters, no '=', no blank at either end
    // and not starting with a comment character.
    static bool validName(std::string_view name);

private:
    std::vector<Entry> entries_;
    size_t skipped_ = 0;
};

}  // namespace qv::settings
