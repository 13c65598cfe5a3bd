#include "platform/SystemInfo.h"

#include <sys/utsname.h>

#include <cstring>

namespace qv::platform {

namespace {
constexpr uint32_t kCurrentSystemMajor = 6;
// Not 6.1: that number is the one system with a desktop sidebar, which is Windows-only.
constexpr uint32_t kCurrentSystemMinor = 2;
}  // namespace

OsVersion HostSystemInfo::osVersion() { return {kCurrentSystemMajor, kCurrentSystemMinor}; }

bool HostSystemInfo::is32BitProcessOn64BitSystem() {
    if constexpr (sizeof(void*) == 8) {
        return false;
    }
    utsname name{};
    if (uname(&name) != 0) {
        return false;
    }
    return std::strcmp(name.machine, "x86_64") == 0 || std::strcmp(name.machine, "aarch64") == 0;
}

HostSystemInfo& HostSystemInfo::instance() {
    static HostSystemInfo info;
    return info;
}

}  // namespace qv::platform
