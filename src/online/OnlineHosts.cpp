#include "online/OnlineHosts.h"

#include "online/WebLink.h"
#include "settings/RegistryStore.h"
#include "settings/RegistryValues.h"

namespace qv::online {

namespace {

void readServer(settings::RegistryStore& store, const char* name, std::string& server) {
    std::string stored;
    if (store.readText(name, stored) && isWebLink(stored)) {
        server = std::move(stored);
    }
}

}  // namespace

OnlineHosts readOnlineHosts(settings::RegistryStore& store) {
    OnlineHosts hosts;
    readServer(store, settings::kValueUpdateServer, hosts.updateServer);
    readServer(store, settings::kValueDownloadServer, hosts.downloadServer);
    readServer(store, settings::kValueWebServer, hosts.webServer);
    readServer(store, settings::kValueSupportServer, hosts.supportServer);
    readServer(store, settings::kValueProductPage, hosts.productPage);
    return hosts;
}

std::string joinServerPath(std::string_view server, std::string_view path) {
    while (!server.empty() && server.back() == '/') {
        server.remove_suffix(1);
    }
    while (!path.empty() && path.front() == '/') {
        path.remove_prefix(1);
    }
    std::string joined(server);
    joined += '/';
    joined += path;
    return joined;
}

}  // namespace qv::online
