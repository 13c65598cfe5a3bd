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
    // Starts the program without a window, in a session of its own (signals meant for this
    // program's terminal do not reach it), with one end of a private connection as its standard
    // input; `channel` receives the other end, for the caller to write to and close. The
    // program sees the end of its input when the caller closes it or dies. False when it cannot
    // start (and `channel` is -1).
    virtual bool startWithChannel(const std::string& program, const std::vector<std::string>& args,
                                  int& channel) {
        (void)program;
        (void)args;
        channel = -1;
        return false;
    }
};

// fork/exec on POSIX systems; the child's output goes to /dev/null.
class PosixProcessLauncher final : public ProcessLauncher {
public:
    bool startHidden(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workingFolder) override;
    bool startWithChannel(const std::string& program, const std::vector<std::string>& args,
                          int& channel) override;
    static PosixProcessLauncher& instance();
};

}  // namespace qv::platform
