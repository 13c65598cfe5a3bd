// A strict reader of the JSON that qvctl writes, for the tests: objects, arrays, strings (with
// every escape JSON has), whole numbers, true, false and null. Anything else, or text after the
// document, makes parse() fail, so a test also learns when the output is not valid JSON.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

struct JsonValue {
    enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
    Type type = Type::kNull;
    bool boolean = false;
    int64_t number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    bool isNull() const { return type == Type::kNull; }
    // The member `key` of an object; a null value when there is none.
    const JsonValue& operator[](const std::string& key) const {
        static const JsonValue missing;
        const auto it = members.find(key);
        return it == members.end() ? missing : it->second;
    }
    bool has(const std::string& key) const { return members.count(key) != 0; }
};

class JsonReader {
public:
    // Parses `text` whole (surrounding blanks allowed) into `value`.
    static bool parse(std::string_view text, JsonValue& value) {
        JsonReader reader(text);
        return reader.value(value) && (reader.skipBlanks(), reader.at_ == text.size());
    }

private:
    explicit JsonReader(std::string_view text) : text_(text) {}

    void skipBlanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                      text_[at_] == '\t' || text_[at_] == '\r')) {
            ++at_;
        }
    }
    bool take(char c) {
        skipBlanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool word(std::string_view w) {
        if (text_.substr(at_, w.size()) != w) {
            return false;
        }
        at_ += w.size();
        return true;
    }
    bool value(JsonValue& v) {
        skipBlanks();
        if (at_ >= text_.size()) {
            return false;
        }
        const char c = text_[at_];
        if (c == '{') {
            return object(v);
        }
        if (c == '[') {
            return array(v);
        }
        if (c == '"') {
            v.type = JsonValue::Type::kString;
            return string(v.text);
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            return number(v);
        }
        if (word("true") || word("false")) {
            v.type = JsonValue::Type::kBool;
            v.boolean = c == 't';
            return true;
        }
        v.type = JsonValue::Type::kNull;
        return word("null");
    }
    bool object(JsonValue& v) {
        v.type = JsonValue::Type::kObject;
        ++at_;
        if (take('}')) {
            return true;
        }
        do {
            std::string key;
            skipBlanks();
            if (!string(key) || !take(':') || !value(v.members[key])) {
                return false;
            }
        } while (take(','));
        return take('}');
    }
    bool array(JsonValue& v) {
        v.type = JsonValue::Type::kArray;
        ++at_;
        if (take(']')) {
            return true;
        }
        do {
            v.items.emplace_back();
            if (!value(v.items.back())) {
                return false;
            }
        } while (take(','));
        return take(']');
    }
    bool number(JsonValue& v) {
        v.type = JsonValue::Type::kNumber;
        const size_t start = at_;
        if (text_[at_] == '-') {
            ++at_;
        }
        const size_t digits = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
            ++at_;
        }
        if (at_ == digits || (text_[digits] == '0' && at_ - digits > 1)) {
            return false;  // no digits, or a leading zero
        }
        v.number = std::stoll(std::string(text_.substr(start, at_ - start)));
        return true;
    }
    static void appendUtf8(std::string& out, uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    bool string(std::string& out) {
        if (at_ >= text_.size() || text_[at_] != '"') {
            return false;
        }
        ++at_;
        while (at_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[at_++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return false;  // control characters must be escaped
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (at_ >= text_.size()) {
                return false;
            }
            const char e = text_[at_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    if (at_ + 4 > text_.size()) {
                        return false;
                    }
                    const std::string hex(text_.substr(at_, 4));
                    if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                        return false;
                    }
                    appendUtf8(out, static_cast<uint32_t>(std::stoul(hex, nullptr, 16)));
                    at_ += 4;
                    break;
                }
                default:
                    return false;
            }
        }
        return false;
    }

    std::string_view text_;
    size_t at_ = 0;
};

}  // namespace qv::test
