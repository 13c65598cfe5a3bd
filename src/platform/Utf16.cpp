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

namespace qv::platform {

namespace {

void putUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (isHighSurrogate(unit) && i + 1 < utf16.size() && isLowSurrogate(utf16[i + 1])) {
            const char32_t code = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                                  (static_cast<char32_t>(utf16[i + 1]) - 0xDC00);
            putUtf8(out, code);
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            putUtf8(out, 0xFFFD);
        } else {
            putUtf8(out, unit);
        }
    }
    return out;
}

}  // namespace qv::platform
