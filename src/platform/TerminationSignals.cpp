#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>

namespace qv::platform {

namespace {

int gPipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int signalNumber) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing to do when the pipe is full: a request is already waiting.
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

int install() {
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        gPipe[0] = gPipe[1] = -1;
        return -1;
    }
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signalNumber, &action, nullptr);
    }
    return gPipe[0];
}

}  // namespace

int terminationSignalDescriptor() {
    static std::once_flag once;
    static int descriptor = -1;
    std::call_once(once, [] { descriptor = install(); });
    return descriptor;
}

int takeTerminationSignal() {
    if (gPipe[0] < 0) {
        return 0;
    }
    unsigned char byte = 0;
    return ::read(gPipe[0], &byte, 1) == 1 ? static_cast<int>(byte) : 0;
}

}  // namespace qv::platform
