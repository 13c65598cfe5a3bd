// Facts about the operating system that start-up checks.
#pragma once

#include <cstdint>

namespace qv::platform {

struct OsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    // The version in the numbering the program's checks use (5.1 is the oldest supported).
    virtual OsVersion osVersion() = 0;
    // True when a 32-bit process runs on a 64-bit system.
    virtual bool is32BitProcessOn64BitSystem() = 0;
};

// The running system. Linux is reported as a current system (major 6), which every check accepts.
class HostSystemInfo final : public SystemInfo {
public:
    OsVersion osVersion() override;
    bool is32BitProcessOn64BitSystem() override;
    static HostSystemInfo& instance();
};

}  // namespace qv::platform
