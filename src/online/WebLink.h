// Links that come from the network (news items, the version file) or are built from board data
// (the BIOS search link) are opened in the desktop's browser only when they are plain web
// addresses. Anything else — file:, javascript:, a local path, a text that a launcher could take
// for an option — is refused.
#pragma once

#include <string>
#include <string_view>

namespace qv::online {

// The longest link that is opened, in bytes.
inline constexpr size_t kMaxWebLinkBytes = 2048;

// True for "http://host..." or "https://host..." (scheme in any case) with a host, no blank or
// control character anywhere, and at most kMaxWebLinkBytes.
bool isWebLink(std::string_view link);

// Replaces every byte outside the unreserved set of a URL with %XX, for a value put into a
// query (a BIOS version text).
std::string percentEncode(std::string_view value);

}  // namespace qv::online
