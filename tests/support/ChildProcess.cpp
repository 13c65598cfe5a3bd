#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <thread>

#include "gpu/DriverSelection.h"
#include "platform/CompanionFiles.h"

extern char** environ;

namespace qv::test {

namespace {

constexpr auto kPoll = std::chrono::milliseconds(10);
constexpr const char* kOwnVariablePrefix = "QUORVEL_";

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) {
        out.push_back(s.data());
    }
    out.push_back(nullptr);
    return out;
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

ChildProcess::ChildProcess(std::string program, std::vector<std::string> args,
                           std::map<std::string, std::string> environment, Options options)
    : program_(std::move(program)),
      args_(std::move(args)),
      environment_(std::move(environment)),
      options_(std::move(options)) {
    if (program_.find('/') == std::string::npos) {
        program_ = platform::executableFolder() + "/" + program_;
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    closeFd(outFd_);
    closeFd(errFd_);
}

bool ChildProcess::start() {
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        return false;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return false;
    }
    std::vector<std::string> argv = {program_};
    argv.insert(argv.end(), args_.begin(), args_.end());
    std::vector<std::string> envp = childEnvironment();
    std::vector<char*> argvPointers = pointers(argv);
    std::vector<char*> envPointers = pointers(envp);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    if (!options_.workingFolder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, options_.workingFolder.c_str());
    }
    started_ = std::chrono::steady_clock::now();
    const int rc = ::posix_spawn(&pid_, program_.c_str(), &actions, nullptr, argvPointers.data(),
                                 envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
    if (rc != 0) {
        pid_ = -1;
        closeFd(outFd_);
        closeFd(errFd_);
        return false;
    }
    return true;
}

std::vector<std::string> ChildProcess::childEnvironment() const {
    std::vector<std::string> envp;
    for (char** e = environ; options_.inherit != Inherit::kNothing && *e != nullptr; ++e) {
        const std::string entry = *e;
        if (options_.inherit == Inherit::kAllButOwn && entry.rfind(kOwnVariablePrefix, 0) == 0) {
            continue;
        }
        if (environment_.count(entry.substr(0, entry.find('='))) == 0) {
            envp.push_back(entry);
        }
    }
    for (const auto& [name, value] : environment_) {
        envp.push_back(name + "=" + value);
    }
    return envp;
}

bool ChildProcess::pump(std::chrono::milliseconds wait) {
    if (outFd_ < 0 && errFd_ < 0) {
        return false;
    }
    std::array<pollfd, 2> fds = {pollfd{outFd_, POLLIN, 0}, pollfd{errFd_, POLLIN, 0}};
    if (::poll(fds.data(), fds.size(), static_cast<int>(wait.count())) <= 0) {
        return true;
    }
    for (size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof(buffer));
        if (n > 0) {
            (i == 0 ? result_.out : result_.err).append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            closeFd(i == 0 ? outFd_ : errFd_);
        }
    }
    return outFd_ >= 0 || errFd_ >= 0;
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout,
                                 bool fromError) {
    const std::string& stream = fromError ? result_.err : result_.out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (stream.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !pump(std::min(left, std::chrono::milliseconds(100)))) {
            return stream.find(text) != std::string::npos;
        }
    }
    return true;
}

void ChildProcess::sendSignal(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

ChildProcess::Result ChildProcess::finish(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
        if (std::chrono::steady_clock::now() >= deadline && !result_.timedOut) {
            result_.timedOut = true;
            ::kill(pid_, SIGKILL);
        }
        if (!pump(kPoll)) {
            std::this_thread::sleep_for(kPoll);
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            result_.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            result_.termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            pid_ = -1;
        }
    }
    while (pump(kPoll)) {
    }
    result_.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started_);
    return result_;
}

ChildProcess::Result ChildProcess::run(const std::string& program,
                                       const std::vector<std::string>& args,
                                       const std::map<std::string, std::string>& environment,
                                       Options options, std::chrono::milliseconds timeout) {
    ChildProcess process(program, args, environment, std::move(options));
    if (!process.start()) {
        Result failed;
        failed.err = "cannot start " + process.program_;
        return failed;
    }
    return process.finish(timeout);
}

}  // namespace qv::test
