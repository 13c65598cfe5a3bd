#include "platform/ProgramLocation.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <vector>

namespace qv::platform {

namespace {
constexpr size_t kPathBufferBytes = 4096;
}

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

bool setCurrentFolder(const std::string& folder) {
    return !folder.empty() && chdir(folder.c_str()) == 0;
}

uint32_t currentThreadId() {
    return static_cast<uint32_t>(syscall(SYS_gettid));
}

}  // namespace qv::platform
