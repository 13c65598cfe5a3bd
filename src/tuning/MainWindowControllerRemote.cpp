// The phone's commands, carried out through the same inputs as the window's own controls, so
// every rule of the controls and of Apply holds for them too.
#include "remote/RemotePacket.h"
#include "tuning/MainWindowController.h"

namespace qv::tuning {
namespace {

// Refusals carried in a type 54 packet.
constexpr int kRefusedNoGpu = -40;
constexpr int kRefusedBadMode = -41;
constexpr int kRefusedApplyRunning = -42;
constexpr int kRefusedApplyNotStarted = -43;

}  // namespace

void MainWindowController::runRemoteCommands() {
    if (!remote_) {
        return;
    }
    for (const remote::RemoteCommand& command : remote_->bridge().takeCommands()) {
        executeRemote(command);
    }
}

void MainWindowController::executeRemote(const remote::RemoteCommand& command) {
    remote_->noteActivity();
    switch (command.type) {
        case remote::kTypeReadState:
            break;
        case remote::kTypeSelect: {
            const RemoteSelect select = parseSelect(command.body);
            if (!frame_.hasEntry(select.gpu)) {
                remote_->refuse(command.handle, kRefusedNoGpu);
                return;
            }
            if (select.gpu != dialog_.gpuOnShow()) {
                showGpu(select.gpu);
                apply_->forgetControlsForRemote();
            }
            if (select.mode != kRemoteKeepMode) {
                if (dialog_.selectMode(select.mode, false, true) != 0) {
                    refreshAll();
                    remote_->refuse(command.handle, kRefusedBadMode);
                    return;
                }
                apply_->forgetControlsForRemote();
                refreshAll();
            }
            break;
        }
        case remote::kTypeSetClocks: {
            const RemoteClocks clocks = parseClocks(command.body);
            apply_->keepControlsForRemote();
            // Moved like the user's sliders: kept inside their ranges, linked as the link says.
            const std::pair<Slider, int32_t> moves[] = {{Slider::kGpuClock, clocks.gpuMHz},
                                                        {Slider::kShaderClock, clocks.shaderMHz},
                                                        {Slider::kMemoryClock, clocks.memoryMHz}};
            for (const auto& [slider, mhz] : moves) {
                if (mhz != kRemoteKeepClock) {
                    dialog_.moveSlider(slider, mhz);
                }
            }
            refreshControls();
            break;
        }
        case remote::kTypeSetFan: {
            const int32_t level = parseFanLevel(command.body);
            apply_->keepControlsForRemote();
            dialog_.setFanAutomatic(level == kRemoteFanAutomatic);
            if (level != kRemoteFanAutomatic) {
                dialog_.moveSlider(Slider::kFan, level);
            }
            refreshControls();
            break;
        }
        case remote::kTypeApply:
            if (apply_->running()) {
                // Apply pressed during a run would cancel the user's run.
                remote_->refuse(command.handle, kRefusedApplyRunning);
                return;
            }
            remote_->bridge().setRemoteApplyPending(true);
            pressApply();
            if (!apply_->running()) {
                remote_->bridge().setRemoteApplyPending(false);
                remote_->refuse(command.handle, kRefusedApplyNotStarted);
            }
            // The reply is packet 15 or 16 when the run ends.
            return;
        default:
            return;
    }
    remote_->replyWithState(command.handle);
}

}  // namespace qv::tuning
