#include "platform/ProcessLauncher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <thread>

extern char** environ;

namespace qv::platform {

namespace {

std::vector<char*> argumentVector(const std::string& program,
                                  const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

// Reaps the child when it ends so that it never lingers as a zombie.
void reapWhenEnded(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
}

constexpr int kSignalExitBase = 128;

// A child with its input connection and its output pipe. The child is reaped here by polling;
// one still running when the handle goes is handed to a thread that reaps it when it ends.
class PosixWatchedProcess final : public WatchedProcess {
public:
    PosixWatchedProcess(pid_t pid, int input, int output)
        : pid_(pid), input_(input), output_(output) {}
    ~PosixWatchedProcess() override {
        closeInput();
        if (output_ >= 0) {
            close(output_);
        }
        if (!reaped_) {
            reapWhenEnded(pid_);
        }
    }
    PosixWatchedProcess(const PosixWatchedProcess&) = delete;
    PosixWatchedProcess& operator=(const PosixWatchedProcess&) = delete;

    ProcessState poll(int& exitCode) override {
        if (reaped_) {
            exitCode = exitCode_;
            return ProcessState::kEnded;
        }
        int status = 0;
        pid_t done = 0;
        do {
            done = waitpid(pid_, &status, WNOHANG);
        } while (done < 0 && errno == EINTR);
        if (done == 0) {
            return ProcessState::kRunning;
        }
        if (done < 0) {
            return ProcessState::kUnknown;
        }
        reaped_ = true;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : kSignalExitBase + WTERMSIG(status);
        exitCode = exitCode_;
        return ProcessState::kEnded;
    }

    bool writeInput(std::string_view text) override {
        size_t done = 0;
        while (input_ >= 0 && done < text.size()) {
            // MSG_NOSIGNAL: a program that has gone answers EPIPE instead of ending this one.
            const ssize_t n = send(input_, text.data() + done, text.size() - done,
                                   MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += static_cast<size_t>(n);
        }
        return input_ >= 0;
    }

    void closeInput() override {
        if (input_ >= 0) {
            close(input_);
            input_ = -1;
        }
    }

    void readOutput(std::string& output, size_t limit) override {
        char buffer[4096];
        while (output_ >= 0) {
            const ssize_t n = read(output_, buffer, sizeof(buffer));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                // Nothing more now (EAGAIN), or the program closed its output for good.
                if (n == 0) {
                    close(output_);
                    output_ = -1;
                }
                return;
            }
            const size_t room = output.size() < limit ? limit - output.size() : 0;
            output.append(buffer, std::min(room, static_cast<size_t>(n)));
        }
    }

private:
    pid_t pid_;
    int input_;
    int output_;
    bool reaped_ = false;
    int exitCode_ = 0;
};

}  // namespace

bool PosixProcessLauncher::startHidden(const std::string& program,
                                       const std::vector<std::string>& args,
                                       const std::string& workingFolder) {
    if (access(program.c_str(), X_OK) != 0) {
        return false;
    }
    std::vector<char*> argv = argumentVector(program, args);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 29))
    if (!workingFolder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    }
#endif
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return false;
    }
    reapWhenEnded(pid);
    return true;
}

bool PosixProcessLauncher::startWithChannel(const std::string& program,
                                            const std::vector<std::string>& args, int& channel) {
    channel = -1;
    if (access(program.c_str(), X_OK) != 0) {
        return false;
    }
    // A socket rather than a pipe: writing to it after the other side went away answers an
    // error instead of raising SIGPIPE in this process. Both ends close on exec, so no other
    // program started from here holds the connection open; the child gets its end by dup2.
    int ends[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return false;
    }
    std::vector<char*> argv = argumentVector(program, args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (rc != 0) {
        close(ends[0]);
        return false;
    }
    reapWhenEnded(pid);
    channel = ends[0];
    return true;
}

std::unique_ptr<WatchedProcess> PosixProcessLauncher::startWatched(
    const std::string& program, const std::vector<std::string>& args,
    const std::string& workingFolder) {
    if (access(program.c_str(), X_OK) != 0) {
        return nullptr;
    }
    int input[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) {
        return nullptr;
    }
    int output[2] = {-1, -1};
    if (pipe2(output, O_CLOEXEC | O_NONBLOCK) != 0) {
        close(input[0]);
        close(input[1]);
        return nullptr;
    }
    // The child's end of the output pipe blocks as usual; only this side reads without waiting.
    fcntl(output[1], F_SETFL, fcntl(output[1], F_GETFL) & ~O_NONBLOCK);
    std::vector<char*> argv = argumentVector(program, args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 29))
    if (!workingFolder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    }
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(input[1]);
    close(output[1]);
    if (rc != 0) {
        close(input[0]);
        close(output[0]);
        return nullptr;
    }
    return std::make_unique<PosixWatchedProcess>(pid, input[0], output[0]);
}

PosixProcessLauncher& PosixProcessLauncher::instance() {
    static PosixProcessLauncher launcher;
    return launcher;
}

}  // namespace qv::platform
