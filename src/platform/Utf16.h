// UTF-8 text as the UTF-16 little-endian bytes of the files the program writes.
#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

// The UTF-16LE bytes of `utf8`. A byte that does not start or continue a valid sequence becomes
// U+FFFD, so that bad input never drops or shifts the text that follows.
std::string utf8ToUtf16Le(std::string_view utf8);

}  // namespace qv::platform

namespace qv::platform {

// UTF-16 code units as UTF-8. A lone surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view utf16);

}  // namespace qv::platform
