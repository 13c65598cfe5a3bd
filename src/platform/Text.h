// Small text rules shared by the parsers of the program's own files and words: trimming and
// comparing ASCII names without regard to case. They never depend on the C library's locale.
#pragma once

#include <string_view>

namespace qv::platform {

// Spaces and tabs.
inline constexpr std::string_view kBlanks = " \t";

constexpr bool isBlank(char ch) {
    return ch == ' ' || ch == '\t';
}

// `text` without the leading / trailing characters that are in `set`.
constexpr std::string_view trimLeft(std::string_view text, std::string_view set = kBlanks) {
    const size_t first = text.find_first_not_of(set);
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}
constexpr std::string_view trimRight(std::string_view text, std::string_view set = kBlanks) {
    const size_t last = text.find_last_not_of(set);
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}
constexpr std::string_view trim(std::string_view text, std::string_view set = kBlanks) {
    return trimRight(trimLeft(text, set), set);
}

constexpr char lowerAscii(char ch) {
    return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
}

// Whether `a` and `b` are the same but for the case of ASCII letters.
constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace qv::platform
