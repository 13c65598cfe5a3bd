// Starts outside programs.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv::platform {

// What a watched program is doing, as `WatchedProcess::poll` answers.
enum class ProcessState { kRunning, kEnded, kUnknown };

// A started program the caller keeps an eye on: its standard input to write to, its output
// (standard output and standard error together) to collect, and its end.
class WatchedProcess {
public:
    virtual ~WatchedProcess() = default;
    // Whether it still runs, without waiting; `exitCode` receives the exit status once it has
    // ended (128 + the signal number when a signal ended it). kUnknown when it cannot be asked.
    virtual ProcessState poll(int& exitCode) = 0;
    // Writes to its standard input; false when that is gone (the program closed it or ended).
    virtual bool writeInput(std::string_view text) = 0;
    // The program sees the end of its input.
    virtual void closeInput() = 0;
    // Appends what the program wrote since the last call, without waiting for more, keeping at
    // most `limit` bytes in `output`; the rest is read and dropped.
    virtual void readOutput(std::string& output, size_t limit) = 0;
};

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
    // Starts the program without a window, in a session of its own, in `workingFolder` (empty:
    // the current folder), with a private connection as its standard input and its output
    // collected. Null when it cannot start. A program still running when the handle goes is
    // left running; it is reaped when it ends.
    virtual std::unique_ptr<WatchedProcess> startWatched(const std::string& program,
                                                         const std::vector<std::string>& args,
                                                         const std::string& workingFolder) {
        (void)program;
        (void)args;
        (void)workingFolder;
        return nullptr;
    }
};

// fork/exec on POSIX systems; the child's output goes to /dev/null.
class PosixProcessLauncher final : public ProcessLauncher {
public:
    bool startHidden(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workingFolder) override;
    bool startWithChannel(const std::string& program, const std::vector<std::string>& args,
                          int& channel) override;
    std::unique_ptr<WatchedProcess> startWatched(const std::string& program,
                                                 const std::vector<std::string>& args,
                                                 const std::string& workingFolder) override;
    static PosixProcessLauncher& instance();
};

}  // namespace qv::platform
