// The three paths from the main window to the cards: Apply (fan and voltages at once on the
// user-interface thread, clocks on a worker thread that reports back through a posted command),
// Reset (every setting back to the driver's defaults), and the first showing of the overclocking
// interface (which raises the power limits).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gpu/GpuLayer.h"
#include "platform/Clock.h"
#include "platform/Poster.h"
#include "platform/Prompt.h"
#include "tuning/ApplyRemoteLink.h"
#include "tuning/ControlState.h"
#include "tuning/MainDialogModel.h"

namespace qv::tuning {

// Result of an Apply run, the low word of its completion command.
inline constexpr uint32_t kApplyResultDone = 0;
inline constexpr uint32_t kApplyResultCanceled = 1;
inline constexpr uint32_t kApplyResultFailed = 2;
// Target of a run: every GPU, or the index of one.
inline constexpr int kApplyAllGpus = -1;
// The window message that carries commands; the completion is (0xCADB << 16 | result) with the
// target as the second argument.
inline constexpr uint32_t kMessageCommand = 0x0111;
// Pause after each GPU's clock write.
inline constexpr uint32_t kApplyClockPauseMs = 100;

// Language rows used here.

// High word of the completion command.
inline constexpr uint32_t kApplyDoneTag = 0xCADB;
// What onApplyDone answers for a command that completes no run of this controller.
inline constexpr uint32_t kApplyNoRun = 0xFFFFFFFFu;
// Captions of the Reset and profile Save buttons.

// The completion command of a run with `result`.
constexpr uint32_t applyDoneCommand(uint32_t result) {
    return (kApplyDoneTag << 16) | (result & 0xFFFFu);
}
constexpr bool isApplyDoneCommand(uint32_t command) {
    return (command >> 16) == kApplyDoneTag;
}

// What one GPU of a run writes, taken from the controls when Apply is pressed so that the worker
// never reads the controls while the user moves them.
struct ApplyGpuPlan {
    uint8_t gpu = 0;
    int mode = 0;  // level kind whose clock request is written
    // The clocks to write; a domain without a value (one the GPU does not adjust in the mode)
    // keeps the card's clock.
    std::optional<int32_t> gpuMHz, shaderMHz, memoryMHz;
    bool keplerClass = false;
    int32_t gpuOffsetMHz = 0, memoryOffsetMHz = 0;
    bool frameRateEnabled = false;
    int32_t frameRate = 0;
};

struct ApplyServices {
    platform::Poster* poster = nullptr;  // the completion command goes to uiThreadId
    uint32_t uiThreadId = 0;
    platform::Clock* clock = nullptr;  // the pause after each clock write
    platform::Prompt* prompt = nullptr;
    // A language-table row in the user's language.
    std::function<std::string(int)> text;
    // The phone bridge; optional.
    ApplyRemoteLink* remote = nullptr;
};

// The controls a run asked for by the phone puts back when it fails.
struct RemoteApplySnapshot {
    int gpuClock = 0, shaderClock = 0, memoryClock = 0, fan = 0, coreVoltage = 0;
};

// The buttons the runs enable, disable and caption.
struct ApplyButtons {
    ButtonState apply;        // caption 14 "Apply" when idle, 52 "Cancel" while running
    ButtonState reset;        // disabled while running
    ButtonState profileSave;  // disabled while running
    ButtonState overclocking;
};

class ApplyController {
public:
    ApplyController(gpu::GpuLayer& layer, MainDialogModel& model, ApplyServices services);
    // Asks a running worker to stop and waits for it.
    ~ApplyController();
    ApplyController(const ApplyController&) = delete;
    ApplyController& operator=(const ApplyController&) = delete;

    // The Apply button. Idle: writes fan and voltages of the target set at once, then starts the
    // worker for the clocks (true). While a run is under way: asks the worker to stop (false).
    bool pressApply();
    // The completion command on the user-interface thread: joins the worker, restores the
    // buttons and the busy value, and shows the result's message. Answers the result.
    uint32_t onApplyDone(uint32_t command, intptr_t target);
    bool running() const { return running_; }
    // The plans of the last run (tests and the window's status line).
    const std::vector<ApplyGpuPlan>& lastPlans() const { return plans_; }

    // The phone is about to move the controls: what they hold now is what a failed apply of
    // the phone puts back. Kept until the next run ends, so a later move does not replace it.
    void keepControlsForRemote();
    // The controls were loaded afresh (another GPU or mode): a kept state no longer belongs to
    // them.
    void forgetControlsForRemote() { remoteSnapshotKept_ = false; }

    // The Reset button: every GPU of the target set back to the driver's defaults; the link
    // toggle ends up on.
    void reset();

    // The overclocking interface button. The first showing asks question 251 (Yes/No, caption
    // 255) and on Yes widens the dialog and raises every GPU's power limit; later presses toggle
    // the width without asking. True when the width changed. `hotKeyUsed` counts as a Yes.
    bool toggleOverclockingInterface(bool hotKeyUsed = false);

    // The buttons as shown. With no GPU on show there is nothing to write, so Apply, Reset and
    // the overclocking interface are disabled.
    ApplyButtons buttons() const;
    // Waits until a started worker has posted its completion (tests; the window never blocks).
    void waitForWorker();

private:
    // The GPUs a run or a Reset acts on, in index order.
    std::vector<uint8_t> targetGpus(int target) const;
    std::vector<ApplyGpuPlan> planRun(int target) const;
    // Mode and clocks of a GPU that has no targets of its own yet: what its card runs now.
    void planFromCard(uint8_t gpu, ApplyGpuPlan& plan) const;
    void applyFanAndVoltage(uint8_t gpu);
    void applyCoreVoltage(uint8_t gpu, bool onShow);
    // Puts `value` into the driver voltage table's entry for `mode`, after question 184.
    void applyVoltageTable(uint8_t gpu, int mode, int value, bool onShow);
    void runWorker(std::stop_token stop, std::vector<ApplyGpuPlan> plans, int target);
    void resetGpu(uint8_t gpu);
    void resetFan(uint8_t gpu, bool onShow);
    void resetVoltages(uint8_t gpu);
    // Writes the driver's default voltage table back.
    void resetVoltageTable(uint8_t gpu);
    void resetKepler(uint8_t gpu, bool onShow);
    void resetClocks(uint8_t gpu, bool onShow);
    std::string text(int row) const;
    // The end of a run the phone asked for: no message; on success the fan controls of the GPU
    // on show once more, otherwise the controls as they were before the request.
    void finishRemoteRun(uint32_t result);

    gpu::GpuLayer& layer_;
    MainDialogModel& model_;
    ApplyServices services_;
    ApplyButtons buttons_;
    std::vector<ApplyGpuPlan> plans_;
    bool running_ = false;
    RemoteApplySnapshot remoteSnapshot_;
    bool remoteSnapshotKept_ = false;
    // The overclocking interface was confirmed once; later presses only toggle the width.
    bool overclockingConfirmed_ = false;
    std::jthread worker_;
};

}  // namespace qv::tuning
