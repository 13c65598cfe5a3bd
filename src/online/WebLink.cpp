#include "online/WebLink.h"

#include <array>

#include "platform/Text.h"

namespace qv::online {

namespace {

constexpr std::array<std::string_view, 2> kWebSchemes = {"http://", "https://"};

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           platform::equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool isUnreserved(char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
           ch == '-' || ch == '.' || ch == '_' || ch == '~';
}

}  // namespace

bool isWebLink(std::string_view link) {
    if (link.empty() || link.size() > kMaxWebLinkBytes) {
        return false;
    }
    for (char ch : link) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte <= 0x20 || byte == 0x7F) {
            return false;
        }
    }
    for (std::string_view scheme : kWebSchemes) {
        if (startsWithIgnoringCase(link, scheme)) {
            const std::string_view rest = link.substr(scheme.size());
            const size_t hostEnd = rest.find_first_of("/?#");
            const std::string_view host = rest.substr(0, hostEnd);
            // A host is there and is not only a user part or a port.
            return !host.empty() && host.front() != '@' && host.front() != ':' &&
                   host.back() != '@';
        }
    }
    return false;
}

std::string percentEncode(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(value.size());
    for (char ch : value) {
        if (isUnreserved(ch)) {
            encoded += ch;
            continue;
        }
        const auto byte = static_cast<unsigned char>(ch);
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0x0F];
    }
    return encoded;
}

}  // namespace qv::online
