#include "platform/ProgramLocation.h"

#include <pwd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace qv::platform {

namespace {
constexpr size_t kPathBufferBytes = 4096;
constexpr const char* kDataHomeEnvironment = "XDG_DATA_HOME";
constexpr const char* kDefaultDataHome = "/.local/share";
constexpr const char* kProgramDataFolderName = "/quorvel";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string homeFolder() {
    std::string home = environment("HOME");
    if (!home.empty()) {
        return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    return (entry != nullptr && entry->pw_dir != nullptr) ? std::string(entry->pw_dir)
                                                          : std::string();
}
}  // namespace

std::string executablePath() {
    std::vector<char> buffer(kPathBufferBytes);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) {
        return {};
    }
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

std::string userDataFolder() {
    const std::string override = environment(kDataFolderEnvironment);
    if (!override.empty()) {
        return override;
    }
    std::string dataHome = environment(kDataHomeEnvironment);
    if (dataHome.empty() || dataHome.front() != '/') {
        const std::string home = homeFolder();
        if (home.empty()) {
            return {};
        }
        dataHome = home + kDefaultDataHome;
    }
    return dataHome + kProgramDataFolderName;
}

bool setCurrentFolder(const std::string& folder) {
    return !folder.empty() && chdir(folder.c_str()) == 0;
}

uint32_t currentThreadId() {
    return static_cast<uint32_t>(syscall(SYS_gettid));
}

}  // namespace qv::platform
