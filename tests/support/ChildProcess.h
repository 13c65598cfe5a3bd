// Runs a program built beside the tests as a child process: its own environment and start
// folder, its output collected, waiting for a line, a signal, reaping with a time limit.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace qv::test {

// What a child inherits of the test's environment before its own variables are added.
enum class ChildInherit {
    kAll,
    kAllButOwn,  // every variable but the program's own QUORVEL_ ones
    kNothing,
};

struct ChildOptions {
    ChildInherit inherit = ChildInherit::kAll;
    std::string workingFolder;  // empty: the test's own
};

class ChildProcess {
public:
    struct Result {
        int exitCode = -1;  // -1 when it did not exit normally
        int termSignal = 0;
        bool timedOut = false;
        std::string out;
        std::string err;
        std::chrono::milliseconds elapsed{0};  // from the start to the end of the process
    };

    using Inherit = ChildInherit;
    using Options = ChildOptions;

    // `program` is a path, or a name looked up beside the test binary.
    ChildProcess(std::string program, std::vector<std::string> args,
                 std::map<std::string, std::string> environment = {}, Options options = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool start();
    // Reads until standard output (or error, with `fromError`) contains `text`, the process
    // closes its output or the time is up.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout,
                       bool fromError = false);
    void sendSignal(int signal);
    // Reads to the end and reaps the process, killing it when the time is up first.
    Result finish(std::chrono::milliseconds timeout);
    const Result& soFar() const { return result_; }

    // Starts the program and waits for its end; a program that cannot start answers an exit
    // code of -1 and says so in `err`.
    static Result run(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& environment, Options options,
                      std::chrono::milliseconds timeout);

private:
    bool pump(std::chrono::milliseconds wait);
    std::vector<std::string> childEnvironment() const;

    std::string program_;
    std::vector<std::string> args_;
    std::map<std::string, std::string> environment_;
    Options options_;
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::chrono::steady_clock::time_point started_;
    Result result_;
};

}  // namespace qv::test
