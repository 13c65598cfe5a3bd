// Turning the machine off after a countdown, as the last step of the temperature alarm.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ProcessLauncher.h"

namespace qv::platform {

// Answers of PowerOff::request.
inline constexpr int kPowerOffFailed = 0;
inline constexpr int kPowerOffRequested = 1;

class PowerOff {
public:
    virtual ~PowerOff() = default;
    // Asks the system to power off after `delaySeconds`, with `message` for the logged-in users;
    // no forced closing of programs and no restart. kPowerOffRequested or kPowerOffFailed.
    virtual int request(const std::string& message, uint32_t delaySeconds) = 0;
};

// systemd's power-off through logind, started by a detached shell after the countdown. Once a
// request has been started, later ones answer kPowerOffRequested without starting another
// countdown (the alarm asks again on every tick while the card stays hot).
class LogindPowerOff final : public PowerOff {
public:
    explicit LogindPowerOff(ProcessLauncher& launcher) : launcher_(launcher) {}
    int request(const std::string& message, uint32_t delaySeconds) override;
    bool pending() const { return pending_; }

private:
    ProcessLauncher& launcher_;
    bool pending_ = false;
};

}  // namespace qv::platform
