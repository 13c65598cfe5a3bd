// Takes part in single-instance tests as a process of its own:
//
//   qv-instance-helper FOLDER [--uid UID] [--wait MS]
//
// Acquires the instance lock in FOLDER (after switching to UID when given, which needs root)
// and prints "acquire=R". When it holds the lock it prints "held", waits up to MS milliseconds
// (default 10000) for a message from a later start, prints "message=N" and ends.
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/SingleInstance.h"

namespace {
constexpr int kDefaultWaitMs = 10000;
constexpr int kExitUsage = 2;
constexpr int kExitNoMessage = 3;
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: qv-instance-helper FOLDER [--uid UID] [--wait MS]\n");
        return kExitUsage;
    }
    int waitMs = kDefaultWaitMs;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--uid") == 0) {
            const auto uid = static_cast<uid_t>(std::strtoul(argv[i + 1], nullptr, 10));
            if (setgid(uid) != 0 || setuid(uid) != 0) {
                std::perror("setuid");
                return kExitUsage;
            }
        } else if (std::strcmp(argv[i], "--wait") == 0) {
            waitMs = std::atoi(argv[i + 1]);
        }
    }
    qv::platform::PosixSingleInstance instance(argv[1]);
    const int result = instance.acquire();
    std::printf("acquire=%d\n", result);
    std::fflush(stdout);
    if (result != qv::platform::kInstanceOnly) {
        return 0;
    }
    std::printf("held\n");
    std::fflush(stdout);
    pollfd waiting{instance.listenDescriptor(), POLLIN, 0};
    if (poll(&waiting, 1, waitMs) <= 0) {
        return kExitNoMessage;
    }
    for (uint32_t message : instance.takeMessages()) {
        std::printf("message=%u\n", message);
    }
    std::fflush(stdout);
    return 0;
}
