// Starts outside programs.
#pragma once

#include <string>
#include <vector>

namespace qv::platform {

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts the program without a window and without waiting for it; false when it cannot start.
    virtual bool startHidden(const std::string& program, const std::vector<std::string>& args,
                             const std::string& workingFolder) = 0;
};

// fork/exec on POSIX systems; the child's output goes to /dev/null.
class PosixProcessLauncher final : public ProcessLauncher {
public:
    bool startHidden(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workingFolder) override;
    static PosixProcessLauncher& instance();
};

}  // namespace qv::platform
