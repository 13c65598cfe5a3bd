#include "gpu/DriverSelection.h"

#include <cstdlib>
#include <string_view>

#include "platform/CompanionFiles.h"

namespace qv::drv {

namespace {
constexpr std::string_view kDriverOption = "--driver";
constexpr std::string_view kSimulateOption = "--simulate";
}  // namespace

bool selectDriver(std::vector<std::string>& args, const std::string& programFolder,
                  DriverSelection& selection, std::string& error) {
    std::string driverPath;
    bool haveDriver = false;
    bool simulate = false;
    std::string simConfig;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == kDriverOption) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "--driver needs the path of a driver library";
                return false;
            }
            driverPath = args[++i];
            haveDriver = true;
        } else if (a.rfind(std::string(kDriverOption) + "=", 0) == 0) {
            driverPath = a.substr(kDriverOption.size() + 1);
            if (driverPath.empty()) {
                error = "--driver needs the path of a driver library";
                return false;
            }
            haveDriver = true;
        } else if (a == kSimulateOption) {
            simulate = true;
        } else if (a.rfind(std::string(kSimulateOption) + "=", 0) == 0) {
            simulate = true;
            simConfig = a.substr(kSimulateOption.size() + 1);
        } else {
            rest.push_back(a);
        }
    }
    args = std::move(rest);

    selection = DriverSelection{};
    if (haveDriver) {
        selection.libraryPath = driverPath;
        selection.source = "--driver";
    } else if (simulate) {
        selection.libraryPath =
            platform::findCompanionFile(programFolder, kSimulatedDriverLibrary);
        selection.simulated = true;
        selection.simConfig = simConfig;
        selection.source = "--simulate";
    } else if (const char* env = std::getenv(kDriverEnvironment); env != nullptr && *env != 0) {
        selection.libraryPath = env;
        selection.source = kDriverEnvironment;
    } else {
        selection.libraryPath = kPlatformDriverLibrary;
        selection.source = "default";
    }
    return true;
}

void applySelection(const DriverSelection& selection) {
    if (selection.simulated && !selection.simConfig.empty()) {
        setenv(kSimConfigEnvironment, selection.simConfig.c_str(), 1);
    }
}

std::string executableFolder() {
    return platform::executableFolder();
}

}  // namespace qv::drv
