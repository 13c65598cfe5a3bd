#include "gpu/DriverSelection.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "platform/CompanionFiles.h"
#include "platform/ProgramLocation.h"

namespace qv::drv {

namespace {
constexpr std::string_view kDriverOption = "--driver";
constexpr std::string_view kSimulateOption = "--simulate";

std::string presetPath(const std::string& libraryFolder, const std::string& name) {
    return libraryFolder + "/" + kSimPresetFolder + "/" + name + kSimPresetSuffix;
}

// The simulated driver takes a file it can open for reading; so does this check.
bool readableFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return static_cast<bool>(in);
}

// A name the simulated driver would look up among its presets: no folder in it, no hidden file.
bool couldBePreset(const std::string& name) {
    return name.find('/') == std::string::npos && name.front() != '.';
}

SelectionResult resolveSimConfig(const std::string& libraryFolder, std::string& config,
                                 std::string& error) {
    if (config.empty() || libraryFolder.empty()) {
        return SelectionResult::kSelected;  // the built-in boards, or no folder to look in
    }
    if (couldBePreset(config) && readableFile(presetPath(libraryFolder, config))) {
        return SelectionResult::kSelected;
    }
    if (readableFile(config)) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(config, ec);
        if (!ec) {
            config = absolute.string();
        }
        return SelectionResult::kSelected;
    }
    error = "no simulator preset or file '" + config + "'; presets: ";
    const std::vector<std::string> presets = simPresetNames(libraryFolder);
    if (presets.empty()) {
        error += "none in " + libraryFolder + "/" + kSimPresetFolder;
    }
    for (size_t i = 0; i < presets.size(); ++i) {
        error += (i == 0 ? "" : ", ") + presets[i];
    }
    return SelectionResult::kUnknownSimConfig;
}

}  // namespace

std::vector<std::string> simPresetNames(const std::string& libraryFolder) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(libraryFolder + "/" + kSimPresetFolder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::filesystem::path& path = it->path();
        const std::string stem = path.stem().string();
        if (path.extension() == kSimPresetSuffix && !stem.empty() && couldBePreset(stem)) {
            names.push_back(stem);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

SelectionResult selectDriver(std::vector<std::string>& args, const std::string& programFolder,
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
                return SelectionResult::kMalformedOption;
            }
            driverPath = args[++i];
            haveDriver = true;
        } else if (a.rfind(std::string(kDriverOption) + "=", 0) == 0) {
            driverPath = a.substr(kDriverOption.size() + 1);
            if (driverPath.empty()) {
                error = "--driver needs the path of a driver library";
                return SelectionResult::kMalformedOption;
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
        // The presets lie beside the library, wherever it was found.
        if (const SelectionResult resolved =
                resolveSimConfig(platform::folderOf(selection.libraryPath), simConfig, error);
            resolved != SelectionResult::kSelected) {
            return resolved;
        }
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
    return SelectionResult::kSelected;
}

void applySelection(const DriverSelection& selection) {
    if (selection.simulated && !selection.simConfig.empty()) {
        setenv(kSimConfigEnvironment, selection.simConfig.c_str(), 1);
    }
}

}  // namespace qv::drv
