// qv-fan-guard: started by the window program when one of its rules first drives a fan. Waits
// on its standard input for the program's messages; when the input ends without a goodbye (the
// program crashed or was killed), returns the listed fans to the driver's automatic control.
#include "app/FanGuard.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>

int main() {
    // The program's own endings are the program's to handle: signals for its terminal or
    // session leave the guard waiting for the end of its input.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);

    qv::app::FanGuardWatch watch;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        watch.feed(std::string_view(buffer, static_cast<size_t>(n)));
        if (watch.saidGoodbye()) {
            return 0;
        }
    }
    if (!watch.fansToReturn()) {
        return 0;
    }
    return qv::app::returnFansToAutomatic(watch.driverLibrary(), watch.gpus()) == 0 ? 0 : 1;
}
