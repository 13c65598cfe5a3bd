#include "app/FanGuardClient.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "app/FanGuard.h"
#include "platform/DebugOutput.h"

namespace qv::app {

FanGuardClient::~FanGuardClient() {
    closeChannel();
}

void FanGuardClient::drivenFansChanged(const std::vector<uint8_t>& gpus) {
    if (channel_ < 0) {
        if (gpus.empty() || startFailed_ || !startGuard()) {
            return;
        }
    }
    send(fanGuardFansLine(gpus));
}

void FanGuardClient::farewell() {
    if (channel_ < 0) {
        return;
    }
    send(fanGuardByeLine());
    closeChannel();
}

bool FanGuardClient::startGuard() {
    int channel = -1;
    if (!launcher_.startWithChannel(guardProgram_, {}, channel)) {
        startFailed_ = true;
        platform::debugOutput("fan guard: %s cannot be started\n", guardProgram_.c_str());
        return false;
    }
    channel_ = channel;
    platform::debugOutput("fan guard: started\n");
    return send(fanGuardDriverLine(driverLibrary_));
}

bool FanGuardClient::send(const std::string& line) {
    size_t done = 0;
    while (done < line.size()) {
        // MSG_NOSIGNAL: a guard that went away answers an error rather than SIGPIPE.
        const ssize_t n = ::send(channel_, line.data() + done, line.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            platform::debugOutput("fan guard: gone (%d)\n", errno);
            closeChannel();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

void FanGuardClient::closeChannel() {
    if (channel_ >= 0) {
        ::close(channel_);
        channel_ = -1;
    }
}

}  // namespace qv::app
