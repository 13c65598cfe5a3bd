// POSIX descriptors. A Windows build does the same with _dup, _dup2 and the "NUL" device.
#include "platform/StdoutSilencer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace qv::platform {

namespace {
constexpr const char* kNullDevice = "/dev/null";
}  // namespace

StdoutSilencer::StdoutSilencer() {
    std::fflush(stdout);
    const int null = ::open(kNullDevice, O_WRONLY | O_CLOEXEC);
    if (null < 0) {
        return;
    }
    saved_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (saved_ >= 0 && ::dup2(null, STDOUT_FILENO) < 0) {
        ::close(saved_);
        saved_ = -1;
    }
    ::close(null);
}

StdoutSilencer::~StdoutSilencer() {
    std::fflush(stdout);
    if (saved_ >= 0) {
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
    }
}

}  // namespace qv::platform
