// Which driver library the program loads: --driver PATH, else QUORVEL_DRIVER, else the
// platform's NVIDIA driver library. --simulate[=CONFIG] picks the simulated driver that comes with
// the program (beside it in a build tree, in its private library folder when installed) and hands
// CONFIG to it through QUORVEL_SIM_CONFIG.
#pragma once

#include <string>
#include <vector>

namespace qv::drv {

inline constexpr const char* kDriverEnvironment = "QUORVEL_DRIVER";
inline constexpr const char* kSimConfigEnvironment = "QUORVEL_SIM_CONFIG";
#ifdef _WIN32
inline constexpr const char* kPlatformDriverLibrary = sizeof(void*) == 8 ? "nvapi64.dll" : "nvapi.dll";
inline constexpr const char* kSimulatedDriverLibrary = "qvsim.dll";
#else
inline constexpr const char* kPlatformDriverLibrary = "libnvidia-api.so.1";
inline constexpr const char* kSimulatedDriverLibrary = "libqvsim.so";
#endif

inline constexpr const char* kSimPresetFolder = "boards";
inline constexpr const char* kSimPresetSuffix = ".conf";

struct DriverSelection {
    std::string libraryPath;
    bool simulated = false;
    std::string simConfig;  // empty: the simulator's built-in boards; else a preset name or a
                            // configuration file's absolute path
    std::string source;  // "--driver", "QUORVEL_DRIVER", "--simulate" or "default", for messages
};

enum class SelectionResult {
    kSelected,
    kMalformedOption,    // --driver without a path
    kUnknownSimConfig,   // --simulate=CONFIG names neither a preset nor a file
};

// Removes the driver options from args (so that the rest can be parsed as before) and decides
// which library to load. The simulated driver is looked for as a companion of a program in
// `programFolder` (platform/CompanionFiles.h): beside it in a build tree, in lib/quorvel when
// installed. `--simulate=CONFIG` is resolved as the simulated driver resolves it: a name without
// '/' is a preset when `boards/<name>.conf` exists beside that library, anything else a file,
// relative to the current folder. A file is handed on by its absolute path, so that a program
// that changes its current folder before loading the driver still finds it. On failure `error`
// says why; for an unknown configuration it lists the presets there are.
SelectionResult selectDriver(std::vector<std::string>& args, const std::string& programFolder,
                             DriverSelection& selection, std::string& error);

// The simulator's preset names in `<libraryFolder>/boards`, sorted.
std::vector<std::string> simPresetNames(const std::string& libraryFolder);

// Makes the selection take effect for the simulated driver (sets QUORVEL_SIM_CONFIG).
void applySelection(const DriverSelection& selection);

}  // namespace qv::drv
