#include "platform/DataFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/AtomicFile.h"

namespace qv::platform {

namespace {

constexpr const char* kXdgDataHomeEnvironment = "XDG_DATA_HOME";
constexpr const char* kHomeEnvironment = "HOME";
constexpr const char* kDefaultDataHome = "/.local/share";
constexpr mode_t kDataFolderMode = 0700;

bool absolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

}  // namespace

std::string dataFolderFrom(const char* override, const char* xdgDataHome, const char* home) {
    if (override != nullptr && override[0] != '\0') {
        return override;
    }
    // A relative XDG_DATA_HOME is invalid and is ignored, as the base directory rules say.
    if (absolute(xdgDataHome)) {
        return std::string(xdgDataHome) + "/" + kDataFolderName;
    }
    if (absolute(home)) {
        return std::string(home) + kDefaultDataHome + "/" + kDataFolderName;
    }
    return {};
}

std::string homeFolder() {
    if (const char* home = std::getenv(kHomeEnvironment); absolute(home)) {
        return home;
    }
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr && absolute(entry->pw_dir) ? std::string(entry->pw_dir) : std::string();
}

std::string userDataFolder() {
    const std::string home = homeFolder();
    return dataFolderFrom(std::getenv(kDataFolderEnvironment),
                          std::getenv(kXdgDataHomeEnvironment),
                          home.empty() ? nullptr : home.c_str());
}

int makeDataFolder(const std::string& folder) {
    return makeFolders(folder, kDataFolderMode);
}

}  // namespace qv::platform
