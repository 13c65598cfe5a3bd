#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>

#include "platform/Beeper.h"

#if defined(__linux__)
#include <linux/kd.h>
#endif

namespace qv::platform {

namespace {

#if defined(__linux__)
// The console speaker's timer clock; KDMKTONE takes the period in its ticks in the low word and
// the length in milliseconds in the high word, and ends the tone by itself.
constexpr uint32_t kSpeakerClockHz = 1193180;
constexpr uint32_t kToneLengthMaxMs = 0xFFFF;
constexpr std::array<const char*, 2> kConsoles = {"/dev/console", "/dev/tty0"};

bool speakerTone(uint32_t hertz, uint32_t milliseconds) {
    if (hertz == 0 || milliseconds == 0) {
        return false;
    }
    const uint32_t period = kSpeakerClockHz / hertz;
    const uint32_t length = milliseconds > kToneLengthMaxMs ? kToneLengthMaxMs : milliseconds;
    for (const char* console : kConsoles) {
        const int fd = ::open(console, O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        const unsigned long argument = (static_cast<unsigned long>(length) << 16) | period;
        const int rc = ::ioctl(fd, KDMKTONE, argument);
        ::close(fd);
        if (rc == 0) {
            return true;
        }
    }
    return false;
}
#else
bool speakerTone(uint32_t, uint32_t) {
    return false;
}
#endif

constexpr char kBell = '\a';
constexpr const char* kControllingTerminal = "/dev/tty";

bool terminalBell() {
    const int fd = ::open(kControllingTerminal, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, &kBell, 1) == 1;
    ::close(fd);
    return written;
}

}  // namespace

bool ConsoleBeeper::beep(uint32_t hertz, uint32_t milliseconds) {
    return speakerTone(hertz, milliseconds) || terminalBell();
}

ConsoleBeeper& ConsoleBeeper::instance() {
    static ConsoleBeeper beeper;
    return beeper;
}

}  // namespace qv::platform
