// The main window's side of the phone bridge: the state files written from the window's
// controls, the replies to an Apply the phone asked for, the fan range file, the client
// time-out (timer 5), and the phone's checked commands carried out as the window's own inputs.
#pragma once

#include <functional>
#include <string>

#include "gpu/GpuLayer.h"
#include "platform/Clock.h"
#include "platform/Prompt.h"
#include "remote/RemoteBridge.h"
#include "remote/RemoteStateFiles.h"
#include "tuning/ApplyRemoteLink.h"
#include "tuning/MainDialogModel.h"

namespace qv::tuning {

// A clock in a set-clocks command that the phone leaves as it is.
inline constexpr int32_t kRemoteKeepClock = -1;
// A fan level that means automatic control.
inline constexpr int32_t kRemoteFanAutomatic = -1;
// A mode in a select command that keeps the GPU's mode.
inline constexpr int32_t kRemoteKeepMode = 0;

// The fields of the phone's commands.
struct RemoteSelect {
    int32_t gpu = 0;
    int32_t mode = kRemoteKeepMode;
};
struct RemoteClocks {
    int32_t gpuMHz = kRemoteKeepClock, shaderMHz = kRemoteKeepClock,
            memoryMHz = kRemoteKeepClock;
};
RemoteSelect parseSelect(const std::string& body);
RemoteClocks parseClocks(const std::string& body);
int32_t parseFanLevel(const std::string& body);

struct RemoteSessionServices {
    remote::RemoteBridge* bridge = nullptr;
    platform::Clock* clock = nullptr;
    platform::Prompt* prompt = nullptr;
    // Folder of PCInfo.xml and PyrandelInfo.xml: the program's data folder ("." is its current
    // folder).
    std::string folder = ".";
    // The local time written as /Info/Time; the machine's own when empty.
    std::function<remote::StateFileTime()> localTime;
    // The window's blink switch (the profile slots blinking while a save is armed); off when
    // empty.
    std::function<bool()> blinkSwitch;
    // The program's title, the caption of the time-out message.
    std::string caption;
};

class RemoteSession final : public ApplyRemoteLink {
public:
    RemoteSession(gpu::GpuLayer& layer, const MainDialogModel& model,
                  RemoteSessionServices services);

    // Both passes of PCInfo.xml from the window's controls. The first pass's status.
    int writeStateFile();
    // The same texts saved once, for an answer to a phone's command.
    int writeStateFileOnce();
    // After a locally requested apply succeeded, with a phone connected: write and send type 17.
    void localApplyDone() override;
    bool remoteApplyPending() const override;
    void remoteApplyDone(bool succeeded) override;
    // The controls of the GPU on show were refreshed: its fan range goes to PyrandelInfo.xml
    // when it has a fan to drive.
    void fanRangeUpdate();
    // Timer 5's check; true when the client timed out.
    bool checkClientTimeOut();
    // A phone's command arrived: the time-out counts from now.
    void noteActivity();
    // The answer to a command: the fresh state file to the phone that sent it, or a refusal
    // with `status` when there is none to send.
    void replyWithState(uint32_t handle);
    void refuse(uint32_t handle, int status);

    std::string stateFilePath() const;
    std::string fanRangeFilePath() const;
    remote::RemoteBridge& bridge() { return *services_.bridge; }

private:
    remote::StateFileTime now() const;
    // The second pass's values when the GPU on show answers a read of its clocks.
    bool selection(remote::StateFileSelection& values);

    gpu::GpuLayer& layer_;
    const MainDialogModel& model_;
    RemoteSessionServices services_;
};

// The machine's local time with milliseconds.
remote::StateFileTime localStateFileTime();

}  // namespace qv::tuning
