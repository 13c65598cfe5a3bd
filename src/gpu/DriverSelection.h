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

struct DriverSelection {
    std::string libraryPath;
    bool simulated = false;
    std::string simConfig;  // empty: the simulator's built-in boards
    std::string source;  // "--driver", "QUORVEL_DRIVER", "--simulate" or "default", for messages
};

// Removes the driver options from args (so that the rest can be parsed as before) and decides
// which library to load. The simulated driver is looked for as a companion of a program in
// `programFolder` (platform/CompanionFiles.h).
// Returns false with `error` set when an option is malformed (--driver without a path).
bool selectDriver(std::vector<std::string>& args, const std::string& programFolder,
                  DriverSelection& selection, std::string& error);

// Makes the selection take effect for the simulated driver (sets QUORVEL_SIM_CONFIG).
void applySelection(const DriverSelection& selection);

// Folder of the running executable, without a trailing separator.
std::string executableFolder();

}  // namespace qv::drv
