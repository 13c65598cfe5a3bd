// The program's end of the fan guard (see FanGuard.h): starts the guard the first time a rule
// drives a fan, keeps it told which fans those are, and says goodbye when the program ends
// having returned them itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ProcessLauncher.h"
#include "tuning/DrivenFans.h"

namespace qv::app {

class FanGuardClient final : public tuning::FanGuardLink {
public:
    // `guardProgram`: the guard's executable; `driverLibrary`: the library the program loaded.
    FanGuardClient(platform::ProcessLauncher& launcher, std::string guardProgram,
                   std::string driverLibrary)
        : launcher_(launcher),
          guardProgram_(std::move(guardProgram)),
          driverLibrary_(std::move(driverLibrary)) {}
    // Closes the connection; without a goodbye before, the guard returns the fans it was told.
    ~FanGuardClient() override;
    FanGuardClient(const FanGuardClient&) = delete;
    FanGuardClient& operator=(const FanGuardClient&) = delete;

    void drivenFansChanged(const std::vector<uint8_t>& gpus) override;
    void farewell() override;

    bool guardRunning() const { return channel_ >= 0; }

private:
    bool startGuard();
    // False when the guard is gone; the connection is then closed.
    bool send(const std::string& line);
    void closeChannel();

    platform::ProcessLauncher& launcher_;
    std::string guardProgram_;
    std::string driverLibrary_;
    int channel_ = -1;
    // A guard that could not be started is not tried again on every change.
    bool startFailed_ = false;
};

}  // namespace qv::app
