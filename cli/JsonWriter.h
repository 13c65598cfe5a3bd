// A small writer of compact JSON text for qvctl's --json output. The caller gives the structure
// (objects, arrays, keys) in order; the writer places the commas and escapes the strings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::cli {

// `text` as a JSON string literal, quotes included. Quote, backslash and control characters are
// escaped (\" \\ \n \t …, others as \u00XX); well-formed UTF-8 is passed through, and a byte
// that does not belong to a well-formed UTF-8 sequence becomes U+FFFD, so the result is always
// valid JSON whatever the driver reported.
std::string jsonQuoted(std::string_view text);

class JsonWriter {
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The key of the next value inside an object.
    void key(std::string_view name);

    void string(std::string_view text);
    void number(int64_t value);
    void boolean(bool value);
    void null();
    // The value, or null when there is none.
    void optionalNumber(const std::optional<int64_t>& value);
    void optionalString(const std::optional<std::string>& value);

    const std::string& text() const { return text_; }

private:
    void beforeValue();
    void open(char bracket);
    void close(char bracket);

    std::string text_;
    std::vector<bool> firstInContainer_;  // one entry per open object or array
    bool afterKey_ = false;
};

}  // namespace qv::cli
