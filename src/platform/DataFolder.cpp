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

std::string userDataFolder() {
    const char* home = std::getenv(kHomeEnvironment);
    if (!absolute(home)) {
        const passwd* entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    return dataFolderFrom(std::getenv(kDataFolderEnvironment),
                          std::getenv(kXdgDataHomeEnvironment), home);
}

int makeDataFolder(const std::string& folder) {
    return makeFolders(folder, kDataFolderMode);
}

}  // namespace qv::platform
