#include <string>
#include <vector>

#include "platform/PowerOff.h"

namespace qv::platform {

namespace {

// The shell waits out the countdown, then asks logind to power off. The delay and the message
// travel as the script's own arguments, never as part of its text.
constexpr const char* kShell = "/bin/sh";
constexpr const char* kScript = "sleep \"$1\" && exec systemctl poweroff --message=\"$2\"";
constexpr const char* kScriptName = "quorvel-power-off";
constexpr const char* kRootFolder = "/";

}  // namespace

int LogindPowerOff::request(const std::string& message, uint32_t delaySeconds) {
    if (pending_) {
        return kPowerOffRequested;
    }
    const std::vector<std::string> args = {"-c", kScript, kScriptName, std::to_string(delaySeconds),
                                           message};
    if (!launcher_.startHidden(kShell, args, kRootFolder)) {
        return kPowerOffFailed;
    }
    pending_ = true;
    return kPowerOffRequested;
}

}  // namespace qv::platform
