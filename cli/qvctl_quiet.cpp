// Standard output of the process is qvctl's result; some driver operations of the hardware layer
// print diagnostic lines there too. While a QuietStdout lives, file descriptor 1 points at the
// null device; what qvctl wrote before is flushed to the real output first, and what the layer
// wrote in between is flushed into the null device before the real output comes back.
// POSIX descriptors; a Windows build needs the same with _dup, _dup2 and "NUL".
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "qvctl_commands.h"

namespace qv::cli {

namespace {
constexpr const char* kNullDevice = "/dev/null";
}  // namespace

QuietStdout::QuietStdout() {
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

QuietStdout::~QuietStdout() {
    std::fflush(stdout);
    if (saved_ >= 0) {
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
    }
}

}  // namespace qv::cli
