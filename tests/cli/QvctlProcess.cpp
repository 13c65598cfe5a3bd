#include "cli/QvctlProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "gpu/DriverSelection.h"

extern char** environ;

namespace qv::test {

namespace {

constexpr const char* kOwnVariablePrefix = "QUORVEL_";
constexpr size_t kReadChunk = 4096;
constexpr auto kReapPoll = std::chrono::milliseconds(10);

std::vector<std::string> childEnvironment(const std::map<std::string, std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind(kOwnVariablePrefix, 0) == 0) {
            continue;
        }
        const std::string name = entry.substr(0, entry.find('='));
        if (extra.count(name) == 0) {
            env.push_back(entry);
        }
    }
    for (const auto& [name, value] : extra) {
        env.push_back(name + "=" + value);
    }
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) {
        out.push_back(s.data());
    }
    out.push_back(nullptr);
    return out;
}

}  // namespace

QvctlProcess::QvctlProcess(std::vector<std::string> args,
                           std::map<std::string, std::string> environment)
    : args_(std::move(args)), environment_(std::move(environment)) {}

QvctlProcess::~QvctlProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    closePipes();
}

std::string QvctlProcess::programPath() {
    return drv::executableFolder() + "/qvctl";
}

bool QvctlProcess::start() {
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    if (pipe2(outPipe, O_CLOEXEC) != 0) {
        return false;
    }
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return false;
    }
    std::vector<std::string> argv = {programPath()};
    argv.insert(argv.end(), args_.begin(), args_.end());
    std::vector<std::string> envp = childEnvironment(environment_);
    std::vector<char*> argvPointers = pointers(argv);
    std::vector<char*> envPointers = pointers(envp);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    if (!workingFolder_.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder_.c_str());
    }
    started_ = std::chrono::steady_clock::now();
    const int rc = posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, argvPointers.data(),
                               envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
    if (rc != 0) {
        pid_ = -1;
        closePipes();
        return false;
    }
    return true;
}

bool QvctlProcess::pump(std::chrono::milliseconds wait) {
    std::array<pollfd, 2> fds = {pollfd{outFd_, POLLIN, 0}, pollfd{errFd_, POLLIN, 0}};
    if (outFd_ < 0 && errFd_ < 0) {
        return false;
    }
    const int ready = poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
    if (ready <= 0) {
        return true;
    }
    for (size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        char buffer[kReadChunk];
        const ssize_t n = read(fds[i].fd, buffer, sizeof(buffer));
        if (n > 0) {
            (i == 0 ? result_.out : result_.err).append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(fds[i].fd);
            (i == 0 ? outFd_ : errFd_) = -1;
        }
    }
    return outFd_ >= 0 || errFd_ >= 0;
}

bool QvctlProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (result_.out.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !pump(left)) {
            return result_.out.find(text) != std::string::npos;
        }
    }
    return true;
}

void QvctlProcess::sendSignal(int signal) {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}

ProcessResult QvctlProcess::finish(std::chrono::milliseconds timeout) {
    const auto deadline = started_ + timeout;
    while (pid_ > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result_.timedOut = true;
            kill(pid_, SIGKILL);
        }
        if (!pump(std::min(std::max(left, std::chrono::milliseconds(0)), kReapPoll))) {
            std::this_thread::sleep_for(kReapPoll);  // output closed; only the exit is left
        }
        int status = 0;
        const pid_t done = waitpid(pid_, &status, result_.timedOut ? 0 : WNOHANG);
        if (done == pid_) {
            result_.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            result_.termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            pid_ = -1;
        }
    }
    while (pump(kReapPoll)) {
    }
    closePipes();
    result_.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started_);
    return result_;
}

void QvctlProcess::closePipes() {
    if (outFd_ >= 0) {
        ::close(outFd_);
        outFd_ = -1;
    }
    if (errFd_ >= 0) {
        ::close(errFd_);
        errFd_ = -1;
    }
}

ProcessResult runQvctl(const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& environment,
                       const std::string& workingFolder, std::chrono::milliseconds timeout) {
    QvctlProcess process(args, environment);
    process.setWorkingFolder(workingFolder);
    if (!process.start()) {
        ProcessResult failed;
        failed.err = "cannot start " + QvctlProcess::programPath();
        return failed;
    }
    return process.finish(timeout);
}

std::map<int, std::map<std::string, std::string>> parseBlocks(const std::string& text) {
    std::map<int, std::map<std::string, std::string>> blocks;
    int current = -1;
    std::istringstream in(text);
    std::string line;
    constexpr std::string_view kHeader = "GPU ";
    while (std::getline(in, line)) {
        if (line.rfind(kHeader, 0) == 0) {
            current = static_cast<int>(std::strtol(line.c_str() + kHeader.size(), nullptr, 10));
            blocks[current];
            continue;
        }
        const auto colon = line.find(": ");
        if (colon == std::string::npos) {
            continue;
        }
        const auto first = line.find_first_not_of(' ');
        blocks[current][line.substr(first, colon - first)] = line.substr(colon + 2);
    }
    return blocks;
}

}  // namespace qv::test
