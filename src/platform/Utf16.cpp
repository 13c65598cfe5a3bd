#include "platform/Utf16.h"

#include <cstdint>

namespace qv::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void putUnit(std::string& out, uint32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFFu));
    out.push_back(static_cast<char>((unit >> 8) & 0xFFu));
}

void putCodePoint(std::string& out, char32_t code) {
    if (code >= 0x10000) {
        const uint32_t rest = static_cast<uint32_t>(code) - 0x10000u;
        putUnit(out, 0xD800u + (rest >> 10));
        putUnit(out, 0xDC00u + (rest & 0x3FFu));
    } else {
        putUnit(out, static_cast<uint32_t>(code));
    }
}

// The length of the sequence a lead byte starts and its payload bits; 0 for a byte that cannot
// start one.
size_t sequenceLength(unsigned char lead, char32_t& code) {
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        code = lead & 0x1Fu;
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        code = lead & 0x0Fu;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        code = lead & 0x07u;
        return 4;
    }
    return 0;
}

constexpr char32_t kMinimumOf[5] = {0, 0, 0x80, 0x800, 0x10000};

}  // namespace

std::string utf8ToUtf16Le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    size_t i = 0;
    while (i < utf8.size()) {
        char32_t code = 0;
        const size_t length = sequenceLength(static_cast<unsigned char>(utf8[i]), code);
        size_t taken = 1;
        bool valid = length != 0 && i + length <= utf8.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0u) != 0x80u) {
                valid = false;
                break;
            }
            code = (code << 6) | (next & 0x3Fu);
        }
        if (valid &&
            (code < kMinimumOf[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) {
            valid = false;
        }
        if (valid) {
            taken = length;
        } else {
            code = kReplacement;
        }
        putCodePoint(out, code);
        i += taken;
    }
    return out;
}

}  // namespace qv::platform
