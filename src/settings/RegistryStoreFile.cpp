#include "settings/RegistryStoreFile.h"

#include "platform/Text.h"

namespace qv::settings {

namespace {

constexpr const char* kHeading =
    "# Quorvel K settings. One value per line: Name=Number (32-bit, decimal) or Name=\"Text\".\n"
    "# Written by the program; lines it cannot read are ignored and not kept.\n";
constexpr uint64_t kLargestValue = 0xFFFFFFFFull;
constexpr size_t kMaxDigits = 10;

using platform::isBlank;

// Blanks around the text, and the carriage return of a line that ended in CR LF.
std::string_view trim(std::string_view text) {
    return platform::trimRight(platform::trimLeft(text), " \t\r");
}

bool parseNumber(std::string_view text, uint32_t& value) {
    if (text.empty() || text.size() > kMaxDigits) {
        return false;
    }
    uint64_t number = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') {
            return false;
        }
        number = number * 10 + static_cast<uint64_t>(ch - '0');
    }
    if (number > kLargestValue) {
        return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

}  // namespace

bool RegistryStoreFile::validText(std::string_view text) {
    if (text.size() > kMaxTextValueBytes) {
        return false;
    }
    for (char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F || ch == '"') {
            return false;
        }
    }
    return true;
}

bool RegistryStoreFile::validName(std::string_view name) {
    if (name.empty() || name.size() > kMaxValueNameBytes) {
        return false;
    }
    if (isBlank(name.front()) || isBlank(name.back()) || name.front() == '#' ||
        name.front() == ';') {
        return false;
    }
    for (char ch : name) {
        if (ch < 0x20 || ch > 0x7E || ch == '=') {
            return false;
        }
    }
    return true;
}

RegistryStoreFile RegistryStoreFile::parse(std::string_view text) {
    RegistryStoreFile file;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        line = trim(line);
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        const size_t equals = line.find('=');
        uint32_t value = 0;
        if (equals == std::string_view::npos) {
            ++file.skipped_;
            continue;
        }
        const std::string_view name = trim(line.substr(0, equals));
        const std::string_view rest = trim(line.substr(equals + 1));
        if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') {
            if (!file.setText(name, rest.substr(1, rest.size() - 2))) {
                ++file.skipped_;
            }
            continue;
        }
        if (!validName(name) || !parseNumber(rest, value)) {
            ++file.skipped_;
            continue;
        }
        file.set(name, value);
    }
    return file;
}

std::string RegistryStoreFile::render() const {
    std::string text = kHeading;
    for (const Entry& entry : entries_) {
        text += entry.first;
        text += '=';
        text += std::to_string(entry.second);
        text += '\n';
    }
    for (const TextEntry& entry : texts_) {
        text += entry.first;
        text += "=\"";
        text += entry.second;
        text += "\"\n";
    }
    return text;
}

bool RegistryStoreFile::find(std::string_view name, uint32_t& value) const {
    for (const Entry& entry : entries_) {
        if (platform::equalsIgnoringCase(entry.first, name)) {
            value = entry.second;
            return true;
        }
    }
    return false;
}

bool RegistryStoreFile::set(std::string_view name, uint32_t value) {
    if (!validName(name)) {
        return false;
    }
    for (Entry& entry : entries_) {
        if (platform::equalsIgnoringCase(entry.first, name)) {
            entry.second = value;
            return true;
        }
    }
    entries_.emplace_back(std::string(name), value);
    return true;
}

bool RegistryStoreFile::findText(std::string_view name, std::string& text) const {
    for (const TextEntry& entry : texts_) {
        if (platform::equalsIgnoringCase(entry.first, name)) {
            text = entry.second;
            return true;
        }
    }
    return false;
}

bool RegistryStoreFile::setText(std::string_view name, std::string_view text) {
    if (!validName(name) || !validText(text)) {
        return false;
    }
    for (TextEntry& entry : texts_) {
        if (platform::equalsIgnoringCase(entry.first, name)) {
            entry.second = std::string(text);
            return true;
        }
    }
    texts_.emplace_back(std::string(name), std::string(text));
    return true;
}

}  // namespace qv::settings
