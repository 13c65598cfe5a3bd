// Where the online services fetch from. Each server is a text value in the settings store, so a
// user (or a test) can point it elsewhere; without one the project's own hosts are used. They may
// not answer, which simply gives each service its failure path.
#pragma once

#include <string>
#include <string_view>

namespace qv::settings {
class RegistryStore;
}

namespace qv::online {

inline constexpr const char* kDefaultUpdateServer = "https://update.quorvel.org";
inline constexpr const char* kDefaultDownloadServer = "https://download.quorvel.org";
inline constexpr const char* kDefaultWebServer = "https://www.quorvel.org";
inline constexpr const char* kDefaultSupportServer = "https://support.quorvel.org";
inline constexpr const char* kDefaultProductPage = "https://www.quorvel.org/products";

struct OnlineHosts {
    std::string updateServer = kDefaultUpdateServer;
    std::string downloadServer = kDefaultDownloadServer;
    std::string webServer = kDefaultWebServer;
    std::string supportServer = kDefaultSupportServer;
    std::string productPage = kDefaultProductPage;
};

// The servers from the store. A stored value that is not a web address (see isWebLink) is
// ignored in favour of the default, so a damaged setting cannot send a request anywhere else.
OnlineHosts readOnlineHosts(settings::RegistryStore& store);

// A server and a fixed path joined with exactly one '/' between them.
std::string joinServerPath(std::string_view server, std::string_view path);

}  // namespace qv::online
