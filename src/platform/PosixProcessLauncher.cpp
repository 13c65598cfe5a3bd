#include "platform/ProcessLauncher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

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

PosixProcessLauncher& PosixProcessLauncher::instance() {
    static PosixProcessLauncher launcher;
    return launcher;
}

}  // namespace qv::platform
