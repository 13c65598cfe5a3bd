// Runs a program built beside the tests as a child process: its own environment additions,
// its output collected, waiting for a line, a signal, reaping with a time limit.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace qv::test {

class ChildProcess {
public:
    struct Result {
        int exitCode = -1;  // -1 when it did not exit normally
        int termSignal = 0;
        bool timedOut = false;
        std::string out;
        std::string err;
    };

    // `program` is a path, or a name looked up beside the test binary. `environment` is added
    // to the test's own.
    ChildProcess(std::string program, std::vector<std::string> args,
                 std::map<std::string, std::string> environment = {});
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

private:
    bool pump(std::chrono::milliseconds wait);

    std::string program_;
    std::vector<std::string> args_;
    std::map<std::string, std::string> environment_;
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    Result result_;
};

}  // namespace qv::test
