// Runs the built qvctl as a child process with a controlled environment and collects its
// output, exit code and timing.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace qv::test {

struct ProcessResult {
    int exitCode = -1;   // the exit status; -1 when the process did not exit normally
    int termSignal = 0;  // the signal that ended it, when one did
    bool timedOut = false;
    std::string out;
    std::string err;
    std::chrono::milliseconds elapsed{0};
};

class QvctlProcess {
public:
    // `environment` is added to the test's own environment, from which every QUORVEL_ variable
    // has been removed so that the caller decides the driver and the simulator state.
    QvctlProcess(std::vector<std::string> args, std::map<std::string, std::string> environment);
    ~QvctlProcess();
    QvctlProcess(const QvctlProcess&) = delete;
    QvctlProcess& operator=(const QvctlProcess&) = delete;

    // The folder the process starts in; by default the test's own.
    void setWorkingFolder(std::string folder) { workingFolder_ = std::move(folder); }
    bool start();
    // Reads output until standard output contains `text`, the process ends or the time is up.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
    void sendSignal(int signal);
    // Reads to the end and reaps the process; kills it when `timeout` passes first.
    ProcessResult finish(std::chrono::milliseconds timeout);

    // Where the program under test lives: beside the test binary.
    static std::string programPath();

private:
    // One round of reading; false when both pipes are closed.
    bool pump(std::chrono::milliseconds wait);
    void closePipes();

    std::vector<std::string> args_;
    std::map<std::string, std::string> environment_;
    std::string workingFolder_;
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::chrono::steady_clock::time_point started_;
    ProcessResult result_;
};

// Runs qvctl to completion.
ProcessResult runQvctl(const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& environment,
                       const std::string& workingFolder = "",
                       std::chrono::milliseconds timeout = std::chrono::seconds(60));

// "GPU n" blocks of qvctl output: the "key: value" lines of each block, keyed by GPU index;
// lines before the first block go under index -1. Repeated samples keep the last value.
std::map<int, std::map<std::string, std::string>> parseBlocks(const std::string& text);

}  // namespace qv::test
