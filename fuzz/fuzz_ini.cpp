// Feeds arbitrary bytes to CIni as a file's contents, UTF-16LE or UTF-8. Beside memory safety
// (odd lengths, lone brackets, empty values at the very end, where the in-place conversion runs to
// the end of the text) it checks what the reader promises: a string look-up never writes past the
// caller's buffer and agrees with the unbounded one, and a value found as text is found as a
// number too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/CIni.h"

namespace {

constexpr size_t kSmallBuffer = 8;
constexpr char16_t kCanary = 0xBEEF;
constexpr int kRadixes[] = {10, 16, 0, 36};

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void lookUp(const qv::settings::CIni& ini, std::string_view section, std::string_view key) {
    std::u16string whole;
    const bool found = ini.GetString(section, key, whole);
    char16_t small[kSmallBuffer + 1];
    small[kSmallBuffer] = kCanary;
    const bool foundSmall = ini.GetString(section, key, small, kSmallBuffer);
    check(found == foundSmall);
    check(small[kSmallBuffer] == kCanary);
    if (found) {
        const std::u16string cut = whole.substr(0, kSmallBuffer - 1);
        check(std::u16string(small) == cut || cut.find(u'\0') != std::u16string::npos);
    }
    for (int radix : kRadixes) {
        int32_t value = 0;
        check(ini.GetInt(section, key, value, radix) == found);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    qv::settings::CIni ini;
    if (!ini.LoadFromBytes(bytes)) {
        return 0;
    }
    // UTF-16LE (with its mark, or with a zero byte somewhere) keeps one code unit per two bytes;
    // UTF-8 never gives more code units than bytes.
    const bool utf16 = (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) ||
                       bytes.find('\0') != std::string::npos;
    check(utf16 ? ini.length() == size / 2 : ini.length() <= size);
    // Names the program asks for, and short prefixes that match many stored names.
    static const char* const kSections[] = {"Gpu1", "Gpu2", "Gpu3", "G", ""};
    static const char* const kKeys[] = {"Id", "FanWorkMode", "FanSpeed", "HorizonValue", "F", ""};
    for (const char* section : kSections) {
        for (const char* key : kKeys) {
            lookUp(ini, section, key);
        }
    }
    // Names taken from the input itself, so that stored names are hit.
    const std::string_view text(bytes);
    lookUp(ini, text.substr(0, std::min<size_t>(text.size(), 5)),
           text.substr(std::min<size_t>(text.size(), 5), 7));
    check(ini.Close());
    check(!ini.loaded());
    return 0;
}
