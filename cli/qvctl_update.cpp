// `qvctl check-update`: the window program's update check for machines without a display. It
// asks the update server named in the settings store and prints the newest version and what it
// brings; the exit code says whether there is one.
#include <cstdio>
#include <string>
#include <vector>

#include "online/OnlineHosts.h"
#include "online/UpdateCheck.h"
#include "online/VersionFile.h"
#include "qvctl_commands.h"
#include "settings/FileRegistryStore.h"

namespace qv::cli {

int runCheckUpdate(const std::vector<std::string>& args, std::FILE* out) {
    if (!args.empty()) {
        reportError(std::string(kCheckUpdateCommand) + " takes no arguments");
        return kExitUsage;
    }
    settings::FileRegistryStore store;
    const online::OnlineHosts hosts = online::readOnlineHosts(store);
    const std::string url = online::joinServerPath(hosts.updateServer, online::kVersionFilePath);
    const online::UpdateCheckResult result =
        online::checkForUpdate(url, online::versionFileLimits());
    std::fprintf(out, "this version: %d\n", online::kProgramVersion);
    if (result.outcome == online::UpdateOutcome::kNetworkFailure) {
        reportError(url + ": " + online::downloadStatusText(result.downloadStatus));
        return kExitNetworkFailed;
    }
    std::fprintf(out, "newest version: %d\n", result.serverVersion);
    if (result.outcome == online::UpdateOutcome::kNoUpdate) {
        std::fprintf(out, "no update\n");
        return kExitOk;
    }
    std::fprintf(out, "download: %s\n", result.downloadUrl.c_str());
    std::fprintf(out, "changes:\n");
    for (const std::string& item : result.items) {
        std::fprintf(out, "  %s\n", item.c_str());
    }
    return kExitNewerVersion;
}

}  // namespace qv::cli
