#include "JsonWriter.h"

#include <cstdio>

namespace qv::cli {

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr const char* kReplacementCharacter = "\\ufffd";
constexpr size_t kEscapeBuffer = 8;

// UTF-8 lead bytes and the code point limits that make a sequence well-formed.
constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationBits = 0x80;
constexpr unsigned char kTwoByteMin = 0xC2;
constexpr unsigned char kThreeByteMin = 0xE0;
constexpr unsigned char kFourByteMin = 0xF0;
constexpr unsigned char kFourByteMax = 0xF4;
constexpr unsigned char kSurrogateLead = 0xED;
constexpr unsigned char kOverlongThreeSecondMin = 0xA0;
constexpr unsigned char kOverlongFourSecondMin = 0x90;
constexpr unsigned char kSurrogateSecondMax = 0x9F;
constexpr unsigned char kFourByteMaxSecondMax = 0x8F;
constexpr unsigned char kContinuationMin = 0x80;
constexpr unsigned char kContinuationMax = 0xBF;

bool isContinuation(unsigned char c) {
    return (c & kContinuationMask) == kContinuationBits;
}

// Length of the well-formed UTF-8 sequence starting at text[i] (a byte of 0x80 or above), or 0.
size_t sequenceLength(std::string_view text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    unsigned char secondMin = kContinuationMin;
    unsigned char secondMax = kContinuationMax;
    if (lead >= kTwoByteMin && lead < kThreeByteMin) {
        length = 2;
    } else if (lead >= kThreeByteMin && lead < kFourByteMin) {
        length = 3;
        if (lead == kThreeByteMin) {
            secondMin = kOverlongThreeSecondMin;
        } else if (lead == kSurrogateLead) {
            secondMax = kSurrogateSecondMax;
        }
    } else if (lead >= kFourByteMin && lead <= kFourByteMax) {
        length = 4;
        if (lead == kFourByteMin) {
            secondMin = kOverlongFourSecondMin;
        } else if (lead == kFourByteMax) {
            secondMax = kFourByteMaxSecondMax;
        }
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < secondMin || second > secondMax) {
        return 0;
    }
    for (size_t k = 2; k < length; ++k) {
        if (!isContinuation(static_cast<unsigned char>(text[i + k]))) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string jsonQuoted(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= kContinuationMin) {
            const size_t length = sequenceLength(text, i);
            if (length == 0) {
                out += kReplacementCharacter;
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < kFirstPrintable) {
                    char escaped[kEscapeBuffer];
                    std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    out += '"';
    return out;
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!firstInContainer_.empty()) {
        if (!firstInContainer_.back()) {
            text_ += ',';
        }
        firstInContainer_.back() = false;
    }
}

void JsonWriter::open(char bracket) {
    beforeValue();
    text_ += bracket;
    firstInContainer_.push_back(true);
}

void JsonWriter::close(char bracket) {
    text_ += bracket;
    if (!firstInContainer_.empty()) {
        firstInContainer_.pop_back();
    }
}

void JsonWriter::beginObject() {
    open('{');
}
void JsonWriter::endObject() {
    close('}');
}
void JsonWriter::beginArray() {
    open('[');
}
void JsonWriter::endArray() {
    close(']');
}

void JsonWriter::key(std::string_view name) {
    beforeValue();
    text_ += jsonQuoted(name);
    text_ += ':';
    afterKey_ = true;
}

void JsonWriter::string(std::string_view text) {
    beforeValue();
    text_ += jsonQuoted(text);
}

void JsonWriter::number(int64_t value) {
    beforeValue();
    text_ += std::to_string(value);
}

void JsonWriter::boolean(bool value) {
    beforeValue();
    text_ += value ? "true" : "false";
}

void JsonWriter::null() {
    beforeValue();
    text_ += "null";
}

void JsonWriter::optionalNumber(const std::optional<int64_t>& value) {
    if (value) {
        number(*value);
    } else {
        null();
    }
}

void JsonWriter::optionalString(const std::optional<std::string>& value) {
    if (value) {
        string(*value);
    } else {
        null();
    }
}

}  // namespace qv::cli
