#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "gpu/ChipRegisters.h"
#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayerTestSupport.h"
#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/QueuePoster.h"
#include "tuning/ApplyController.h"

namespace qv::test {
namespace {

using platform::PromptAnswer;
using platform::PromptButtons;
using platform::PromptIcon;
using tuning::ApplyController;
using tuning::ClockSlider;
using tuning::Slider;

constexpr int k2D = gpu::kLevelKind2D;
constexpr int k3DLow = gpu::kLevelKind3DLow;
constexpr int k3DPerf = gpu::kLevelKind3DPerf;
constexpr uint32_t kUiThread = 77;
constexpr uint32_t kLanguageEnglish = 0x0409;
constexpr uint32_t kWaitMs = 10000;

// Answers from a script (dismissed when it runs out) and records every message shown.
class RecordingPrompt final : public platform::Prompt {
public:
    struct Shown {
        std::string caption, text;
        PromptIcon icon;
        PromptButtons buttons;
    };
    void answerNext(PromptAnswer answer) { answers_.push_back(answer); }
    PromptAnswer show(const std::string& caption, const std::string& text, PromptIcon icon,
                      PromptButtons buttons) override {
        shown.push_back({caption, text, icon, buttons});
        if (answers_.empty()) {
            return platform::dismissedAnswer(buttons);
        }
        const PromptAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    std::vector<Shown> shown;

private:
    std::deque<PromptAnswer> answers_;
};

// A clock that never sleeps but runs a hook, on the sleeping thread, at each pause.
class HookClock final : public platform::Clock {
public:
    uint64_t tickMs() override { return 0; }
    void sleepMs(uint32_t ms) override {
        std::function<void()> hook;
        {
            std::lock_guard lock(mutex_);
            sleeps_.push_back(ms);
            hook = onSleep_;
        }
        if (hook) {
            hook();
        }
    }
    void setHook(std::function<void()> hook) {
        std::lock_guard lock(mutex_);
        onSleep_ = std::move(hook);
    }
    std::vector<uint32_t> sleeps() const {
        std::lock_guard lock(mutex_);
        return sleeps_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<uint32_t> sleeps_;
    std::function<void()> onSleep_;
};

// Holds the worker at its first pause until the test lets it go.
class Gate {
public:
    void arriveAndWait() {
        std::unique_lock lock(mutex_);
        if (arrived_) {
            return;
        }
        arrived_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::milliseconds(kWaitMs), [this] { return open_; });
    }
    bool waitArrived() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(kWaitMs),
                                 [this] { return arrived_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool arrived_ = false;
    bool open_ = false;
};

struct Clocks {
    uint32_t graphics = 0, processor = 0, memory = 0;
    bool operator==(const Clocks&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Clocks& c) {
    return out << "{" << c.graphics << ", " << c.processor << ", " << c.memory << "}";
}

struct Rig {
    explicit Rig(const std::string& config = "") : layerRig(config) {
        EXPECT_EQ(layerRig.layer->initialize(), gpu::kInitOk);
        layerRig.layer->waitForProbe();
        model = std::make_unique<tuning::MainDialogModel>(layer());
        tuning::ApplyServices services;
        services.poster = &poster;
        services.uiThreadId = kUiThread;
        services.clock = &clock;
        services.prompt = &prompt;
        services.text = [this](int row) { return std::string(language.text(row)); };
        apply = std::make_unique<ApplyController>(layer(), *model, services);
    }
    gpu::GpuLayer& layer() { return *layerRig.layer; }
    const SimControl& sim() const { return layerRig.sim(); }

    Clocks level(uint8_t gpu, int kind) {
        gpu::PerfClockRequest r;
        EXPECT_EQ(layer().readLevelClocks(gpu, r, kind), drv::kOk);
        return {r.graphicsCurrent, r.processorCurrent, r.memoryCurrent};
    }
    Clocks defaults(uint8_t gpu, int kind) {
        gpu::PerfClockRequest r;
        EXPECT_EQ(layer().readLevelClocks(gpu, r, kind), drv::kOk);
        return {r.graphicsBase, r.processorBase, r.memoryBase};
    }
    // Every present level of a GPU.
    std::map<int, Clocks> levels(uint8_t gpu) {
        std::map<int, Clocks> all;
        for (const int kind : gpu::kLevelKindOrder) {
            if (layer().record(gpu).levelKindPresent[gpu::levelKindIndex(kind)]) {
                all[kind] = level(gpu, kind);
            }
        }
        return all;
    }
    uint8_t reg(uint8_t gpu, gpu::I2cSlot slot, uint8_t address) {
        uint8_t value = 0xEE;
        EXPECT_EQ(layer().readRegister(gpu, slot, address, value), drv::kOk);
        return value;
    }
    int fanMode(uint8_t gpu) {
        int mode = 0;
        EXPECT_EQ(layer().fanMode(gpu, mode), drv::kOk);
        return mode;
    }
    // The completion the worker posted, handed to the controller as the window would.
    uint32_t finish(intptr_t expectedTarget) {
        const auto message = poster.take(kWaitMs);
        if (!message) {
            ADD_FAILURE() << "the worker posted no completion";
            return tuning::kApplyNoRun;
        }
        EXPECT_EQ(message->threadId, kUiThread);
        EXPECT_EQ(message->message, tuning::kMessageCommand);
        EXPECT_EQ(message->lParam, expectedTarget);
        return apply->onApplyDone(static_cast<uint32_t>(message->wParam), message->lParam);
    }
    void expectLastMessage(int row, PromptIcon icon) {
        ASSERT_FALSE(prompt.shown.empty());
        const RecordingPrompt::Shown& last = prompt.shown.back();
        EXPECT_EQ(last.caption, language.text(lang::kTextAppName));
        EXPECT_EQ(last.text, language.text(row));
        EXPECT_EQ(last.icon, icon);
        EXPECT_EQ(last.buttons, PromptButtons::kOk);
    }

    LayerRig layerRig;
    lang::CMultiLangSupp language{kLanguageEnglish};
    platform::QueuePoster poster;
    HookClock clock;
    RecordingPrompt prompt;
    std::unique_ptr<tuning::MainDialogModel> model;
    std::unique_ptr<ApplyController> apply;
};

// GPU 2 gets 3D-low targets of its own that differ from its card; GPU 1 ends up on show in 3D
// performance with its sliders moved.
void prepareTwoGpus(Rig& rig) {
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpu05E2, true), drv::kOk);
    ASSERT_EQ(m.selectMode(k3DLow, false, false), drv::kOk);
    m.moveSlider(ClockSlider::kGpu, 500);  // linked: shader 1000
    m.moveSlider(ClockSlider::kMemory, 800);
    ASSERT_EQ(m.selectGpu(kGpu0E22, true), drv::kOk);
    ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);
    m.moveSlider(ClockSlider::kGpu, 700);  // linked: shader 1400
    m.moveSlider(ClockSlider::kMemory, 2000);
}

// ---- Apply ------------------------------------------------------------------------------------

TEST(ApplyRun, SynchronousOffWritesOnlyTheGpuOnShow) {
    Rig rig;
    auto& m = *rig.model;
    const auto kepler = rig.levels(kGpuKepler);
    const auto gtx260 = rig.levels(kGpu05E2);
    const uint8_t keplerMemoryStep =
        rig.reg(kGpuKepler, gpu::kSlotRegulator6, gpu::chip::kStepRegulatorRegStep);
    prepareTwoGpus(rig);
    m.setFanAutomatic(false);
    m.moveSlider(Slider::kFan, 2500);
    m.moveSlider(Slider::kCoreVoltage, 5);
    m.moveSlider(Slider::kMemoryVoltage, 3);

    ASSERT_TRUE(rig.apply->pressApply());
    // Until the completion arrives the run holds the buttons and the busy value.
    EXPECT_TRUE(rig.apply->running());
    EXPECT_EQ(m.applyBusy(), tuning::kApplyBusy);
    EXPECT_EQ(rig.apply->buttons().apply.captionRow, lang::kTextCancel);
    EXPECT_FALSE(rig.apply->buttons().reset.enabled);
    EXPECT_FALSE(rig.apply->buttons().profileSave.enabled);
    EXPECT_EQ(rig.finish(kGpu0E22), tuning::kApplyResultDone);

    EXPECT_FALSE(rig.apply->running());
    EXPECT_EQ(m.applyBusy(), tuning::kApplyIdle);
    EXPECT_EQ(rig.apply->buttons().apply.captionRow, lang::kTextApply);
    EXPECT_TRUE(rig.apply->buttons().reset.enabled);
    EXPECT_TRUE(rig.apply->buttons().profileSave.enabled);
    rig.expectLastMessage(lang::kTextApplyDone, PromptIcon::kInformation);
    EXPECT_EQ(rig.clock.sleeps(), std::vector<uint32_t>{tuning::kApplyClockPauseMs});

    EXPECT_EQ(rig.level(kGpu0E22, k3DPerf), (Clocks{700000, 1400000, 2000000}));
    EXPECT_EQ(rig.fanMode(kGpu0E22), gpu::GpuLayer::kFanModeManual);
    EXPECT_EQ(rig.reg(kGpu0E22, gpu::kSlotRegulator7, gpu::chip::kSlot7RegCode), 5);
    EXPECT_EQ(rig.reg(kGpu0E22, gpu::kSlotRegulator6, gpu::chip::kStepRegulatorRegStep), 3);
    // Neither the stored targets of GPU 2 nor the controls reach the other GPUs.
    EXPECT_EQ(rig.levels(kGpuKepler), kepler);
    EXPECT_EQ(rig.levels(kGpu05E2), gtx260);
    EXPECT_EQ(rig.fanMode(kGpuKepler), gpu::GpuLayer::kFanModeAutomatic);
    EXPECT_EQ(rig.fanMode(kGpu05E2), gpu::GpuLayer::kFanModeAutomatic);
    EXPECT_EQ(rig.reg(kGpuKepler, gpu::kSlotRegulator6, gpu::chip::kStepRegulatorRegStep),
              keplerMemoryStep);

    // A completion that belongs to no run changes nothing and shows nothing.
    const size_t shown = rig.prompt.shown.size();
    EXPECT_EQ(rig.apply->onApplyDone(tuning::applyDoneCommand(tuning::kApplyResultFailed), 1),
              tuning::kApplyNoRun);
    EXPECT_EQ(rig.prompt.shown.size(), shown);
}

TEST(ApplyRun, ADomainTheModeDoesNotAdjustKeepsTheCardsClock) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpu05E2, true), drv::kOk);
    ASSERT_EQ(m.selectMode(k2D, false, false), drv::kOk);
    ASSERT_FALSE(m.controls().memoryClock.enabled) << "the 2D level's memory clock is fixed";
    const Clocks before = rig.level(kGpu05E2, k2D);
    ASSERT_GT(before.memory, 1000u);

    ASSERT_TRUE(rig.apply->pressApply());
    EXPECT_EQ(rig.finish(kGpu05E2), tuning::kApplyResultDone);
    EXPECT_TRUE(rig.apply->lastPlans()[0].gpuMHz);
    EXPECT_FALSE(rig.apply->lastPlans()[0].memoryMHz);
    const Clocks after = rig.level(kGpu05E2, k2D);
    EXPECT_EQ(after.memory, before.memory) << "the memory clock the user never touched";
}

TEST(ApplyRun, SynchronousOnTakesEachGpusOwnTargetsForItsOwnMode) {
    Rig rig;
    auto& m = *rig.model;
    const auto kepler = rig.levels(kGpuKepler);
    const Clocks gtx260Perf = rig.level(kGpu05E2, k3DPerf);
    prepareTwoGpus(rig);
    m.moveSlider(Slider::kMemoryVoltage, 4);
    ASSERT_TRUE(m.setSynchronous(true));

    ASSERT_TRUE(rig.apply->pressApply());
    EXPECT_EQ(rig.finish(tuning::kApplyAllGpus), tuning::kApplyResultDone);
    ASSERT_EQ(rig.apply->lastPlans().size(), 3u);
    EXPECT_EQ(rig.clock.sleeps().size(), 3u);

    EXPECT_EQ(rig.level(kGpu0E22, k3DPerf), (Clocks{700000, 1400000, 2000000}));
    EXPECT_EQ(rig.apply->lastPlans()[kGpu05E2].mode, k3DLow);
    EXPECT_EQ(rig.level(kGpu05E2, k3DLow), (Clocks{500000, 1000000, 800000}));
    EXPECT_EQ(rig.level(kGpu05E2, k3DPerf), gtx260Perf);
    // GPU 0 was never shown and has no targets: its levels stay as they were.
    EXPECT_EQ(rig.levels(kGpuKepler), kepler);
    // Every GPU with the memory regulator takes the memory voltage of the controls on show.
    EXPECT_EQ(rig.reg(kGpuKepler, gpu::kSlotRegulator6, gpu::chip::kStepRegulatorRegStep), 4);
}

TEST(ApplyRun, SynchronousFanAndVoltageReachOnlyGpusWhereTheyMeanTheSame) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_TRUE(m.setSynchronous(true));
    // A percent level from the GTX 260 reaches the other percent fan, not the fan set in rpm.
    ASSERT_EQ(m.selectGpu(kGpu05E2, true), drv::kOk);
    ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);
    m.setFanAutomatic(false);
    m.moveSlider(Slider::kFan, 60);
    ASSERT_TRUE(m.controls().coreVoltage.enabled);
    m.moveSlider(Slider::kCoreVoltage, 50);
    const uint8_t slot7Before = rig.reg(kGpu0E22, gpu::kSlotRegulator7, gpu::chip::kSlot7RegCode);

    ASSERT_TRUE(rig.apply->pressApply());
    EXPECT_EQ(rig.finish(tuning::kApplyAllGpus), tuning::kApplyResultDone);

    EXPECT_EQ(rig.fanMode(kGpu05E2), gpu::GpuLayer::kFanModeManual);
    EXPECT_EQ(rig.fanMode(kGpuKepler), gpu::GpuLayer::kFanModeManual);
    int32_t level = -1;
    ASSERT_EQ(rig.layer().fanSpeed(kGpuKepler, level, false), drv::kOk);
    EXPECT_EQ(level, 60);
    EXPECT_EQ(rig.fanMode(kGpu0E22), gpu::GpuLayer::kFanModeAutomatic);
    // The slot-2 code went to GPU 2's register of the mode; the slot-7 regulator of GPU 1
    // (codes 0-25) is left alone.
    const uint8_t reg = rig.layer().record(kGpu05E2).regulatorCodeRegister[1];
    ASSERT_NE(reg, 0);
    EXPECT_EQ(rig.reg(kGpu05E2, gpu::kSlotRegulator2, reg) & gpu::chip::kRegulatorCodeMask, 50);
    EXPECT_EQ(rig.reg(kGpu0E22, gpu::kSlotRegulator7, gpu::chip::kSlot7RegCode), slot7Before);
}

TEST(ApplyRun, FailedModeReadEndsTheRunAndLaterGpusKeepTheirClocks) {
    Rig rig;
    auto& m = *rig.model;
    prepareTwoGpus(rig);
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);
    ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);
    m.moveSlider(ClockSlider::kGpu, 1100);
    const auto gtx460 = rig.levels(kGpu0E22);
    const auto gtx260 = rig.levels(kGpu05E2);
    ASSERT_TRUE(m.setSynchronous(true));
    // From the pause after GPU 0's write on, every clock read fails.
    rig.clock.setHook([&rig] { rig.sim().injectStatus(drv::kGpuGetPerfClocks, drv::kError, -1); });

    ASSERT_TRUE(rig.apply->pressApply());
    EXPECT_EQ(rig.finish(tuning::kApplyAllGpus), tuning::kApplyResultFailed);
    rig.sim().injectStatus(drv::kGpuGetPerfClocks, 0, 0);

    rig.expectLastMessage(lang::kTextApplyFailed, PromptIcon::kError);
    EXPECT_EQ(rig.clock.sleeps().size(), 1u);
    EXPECT_EQ(rig.level(kGpuKepler, k3DPerf).graphics, 1100000u);
    EXPECT_EQ(rig.levels(kGpu0E22), gtx460);
    EXPECT_EQ(rig.levels(kGpu05E2), gtx260);
    EXPECT_TRUE(rig.apply->buttons().reset.enabled);
}

TEST(ApplyRun, FailedWriteFailsTheRunButTheNextGpusAreWritten) {
    Rig rig;
    auto& m = *rig.model;
    prepareTwoGpus(rig);
    ASSERT_TRUE(m.setSynchronous(true));
    rig.sim().injectStatus(drv::kGpuSetPerfClocks, drv::kError, 1);  // GPU 0's write

    ASSERT_TRUE(rig.apply->pressApply());
    EXPECT_EQ(rig.finish(tuning::kApplyAllGpus), tuning::kApplyResultFailed);

    EXPECT_EQ(rig.clock.sleeps().size(), 3u);
    EXPECT_EQ(rig.level(kGpu0E22, k3DPerf), (Clocks{700000, 1400000, 2000000}));
    EXPECT_EQ(rig.level(kGpu05E2, k3DLow), (Clocks{500000, 1000000, 800000}));
}

TEST(ApplyRun, CancelStopsBetweenGpus) {
    Rig rig;
    auto& m = *rig.model;
    prepareTwoGpus(rig);
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);
    const auto gtx460 = rig.levels(kGpu0E22);
    const auto gtx260 = rig.levels(kGpu05E2);
    ASSERT_TRUE(m.setSynchronous(true));
    Gate gate;
    rig.clock.setHook([&gate] { gate.arriveAndWait(); });

    ASSERT_TRUE(rig.apply->pressApply());
    ASSERT_TRUE(gate.waitArrived());
    // The second press asks the worker to stop; it starts nothing.
    EXPECT_FALSE(rig.apply->pressApply());
    EXPECT_TRUE(rig.apply->running());
    gate.open();
    EXPECT_EQ(rig.finish(tuning::kApplyAllGpus), tuning::kApplyResultCanceled);

    rig.expectLastMessage(lang::kTextApplyCanceled, PromptIcon::kInformation);
    EXPECT_EQ(rig.clock.sleeps().size(), 1u);
    EXPECT_EQ(rig.levels(kGpu0E22), gtx460);
    EXPECT_EQ(rig.levels(kGpu05E2), gtx260);
    EXPECT_EQ(m.applyBusy(), tuning::kApplyIdle);
    EXPECT_EQ(rig.apply->buttons().apply.captionRow, lang::kTextApply);
}

// ---- Reset ------------------------------------------------------------------------------------

TEST(ApplyRun, ResetRestoresTheDefaultsOfTheGpuOnShowAndLinks) {
    Rig rig;
    auto& m = *rig.model;
    prepareTwoGpus(rig);
    m.setFanAutomatic(false);
    m.moveSlider(Slider::kFan, 2500);
    m.moveSlider(Slider::kCoreVoltage, 7);
    m.moveSlider(Slider::kMemoryVoltage, 6);
    ASSERT_TRUE(rig.apply->pressApply());
    ASSERT_EQ(rig.finish(kGpu0E22), tuning::kApplyResultDone);
    // GPU 2 is changed behind the model's back; Reset of GPU 1 must not touch it.
    gpu::PerfClockRequest other;
    ASSERT_EQ(rig.layer().readLevelClocks(kGpu05E2, other, k3DPerf), drv::kOk);
    other.graphicsCurrent = 700000;
    ASSERT_EQ(rig.layer().writeLevelClocks(kGpu05E2, other, k3DPerf, 0), drv::kOk);
    m.setLinked(false);

    rig.apply->reset();

    for (const int kind : {k2D, k3DLow, k3DPerf}) {
        SCOPED_TRACE(kind);
        const Clocks defaults = rig.defaults(kGpu0E22, kind);
        EXPECT_EQ(rig.level(kGpu0E22, kind), defaults);
        EXPECT_EQ(m.entry(kGpu0E22).gpuTargetKHz[kind], static_cast<int32_t>(defaults.graphics));
        EXPECT_EQ(m.entry(kGpu0E22).shaderTargetKHz[kind],
                  static_cast<int32_t>(defaults.processor));
        EXPECT_EQ(m.entry(kGpu0E22).memoryTargetKHz[kind], static_cast<int32_t>(defaults.memory));
    }
    EXPECT_EQ(m.controls().gpuClock.pos, 675);
    EXPECT_EQ(m.controls().shaderClock.pos, 1350);
    EXPECT_EQ(m.controls().memoryClock.pos, 1800);
    EXPECT_TRUE(m.controls().link.pressed);
    EXPECT_EQ(m.controls().link.captionRow, lang::kTextLinked);

    EXPECT_TRUE(m.controls().fanMode.pressed);
    EXPECT_EQ(m.entry(kGpu0E22).fanAutomatic, 1);
    EXPECT_EQ(rig.fanMode(kGpu0E22), gpu::GpuLayer::kFanModeAutomatic);
    EXPECT_EQ(rig.reg(kGpu0E22, gpu::kSlotRegulator7, gpu::chip::kSlot7RegCode), 0);
    EXPECT_EQ(rig.reg(kGpu0E22, gpu::kSlotRegulator6, gpu::chip::kStepRegulatorRegStep), 0);
    EXPECT_EQ(m.controls().coreVoltage.pos, 0);
    EXPECT_EQ(m.controls().memoryVoltage.pos, 0);
    EXPECT_EQ(rig.level(kGpu05E2, k3DPerf).graphics, 700000u);
}

TEST(ApplyRun, AP0OffsetKeepsCountingThroughLaterApplies) {
    // The level clocks of a P-states 2.0 board include the P0 offset. An Apply that changes
    // something else must not write back clocks read before the offset lifted them.
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);
    ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);
    const uint32_t base = rig.level(kGpuKepler, k3DPerf).graphics;

    m.moveSlider(Slider::kGpuOffset, 70);
    ASSERT_TRUE(rig.apply->pressApply());
    ASSERT_EQ(rig.finish(kGpuKepler), tuning::kApplyResultDone);
    EXPECT_EQ(rig.level(kGpuKepler, k3DPerf).graphics, base + 70000);
    EXPECT_EQ(m.controls().gpuClock.pos, gpu::toMHz(base + 70000))
        << "the clock slider follows the card once the offset moved its level";

    m.setFanAutomatic(false);
    m.moveSlider(Slider::kFan, 57);
    ASSERT_TRUE(rig.apply->pressApply());
    ASSERT_EQ(rig.finish(kGpuKepler), tuning::kApplyResultDone);
    EXPECT_EQ(rig.level(kGpuKepler, k3DPerf).graphics, base + 70000);
    EXPECT_EQ(m.controls().gpuOffset.pos, 70);

    // Taking the offset away again brings the level back to where it started.
    m.moveSlider(Slider::kGpuOffset, 0);
    ASSERT_TRUE(rig.apply->pressApply());
    ASSERT_EQ(rig.finish(kGpuKepler), tuning::kApplyResultDone);
    EXPECT_EQ(rig.level(kGpuKepler, k3DPerf).graphics, base);
}

TEST(ApplyRun, SynchronousResetClearsKeplerOffsetsAndTheFrameRateLimit) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);
    ASSERT_EQ(rig.layer().setGraphicsOffset(kGpuKepler, 60000), drv::kOk);
    ASSERT_EQ(rig.layer().setMemoryOffset(kGpuKepler, 200000), drv::kOk);
    m.moveSlider(Slider::kGpuOffset, 60);
    m.moveSlider(Slider::kMemoryOffset, 200);
    m.setFrameRateTarget(true);
    ASSERT_TRUE(m.setSynchronous(true));
    for (const uint8_t g : {kGpu0E22, kGpu05E2}) {
        gpu::PerfClockRequest r;
        ASSERT_EQ(rig.layer().readLevelClocks(g, r, k3DPerf), drv::kOk);
        r.graphicsCurrent = r.graphicsMax;
        ASSERT_EQ(rig.layer().writeLevelClocks(g, r, k3DPerf, 0), drv::kOk);
    }

    rig.apply->reset();

    drv::Pstates20Info info{};
    ASSERT_EQ(rig.layer().pstates20Info(kGpuKepler, info), drv::kOk);
    for (uint32_t c = 0; c < info.numClocks; ++c) {
        EXPECT_EQ(info.pstates[0].clocks[c].freqDeltaKHz.value, 0) << c;
    }
    EXPECT_EQ(m.controls().gpuOffset.pos, 0);
    EXPECT_EQ(m.controls().memoryOffset.pos, 0);
    EXPECT_FALSE(m.controls().frameRateToggle.pressed);
    EXPECT_FALSE(m.controls().frameRate.enabled);
    for (const uint8_t g : {kGpuKepler, kGpu0E22, kGpu05E2}) {
        EXPECT_EQ(rig.level(g, k3DPerf), rig.defaults(g, k3DPerf)) << int{g};
    }
}

TEST(ApplyRun, ResetOnAGpuWithoutACooler) {
    Rig rig(presetPath("no-cooler"));
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(0, true), drv::kOk);
    ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);
    m.moveSlider(ClockSlider::kGpu, 900);
    ASSERT_TRUE(rig.apply->pressApply());
    ASSERT_EQ(rig.finish(0), tuning::kApplyResultDone);
    ASSERT_EQ(rig.level(0, k3DPerf).graphics, 900000u);
    m.setLinked(false);

    rig.apply->reset();

    for (const int kind : {k2D, k3DLow, k3DPerf}) {
        EXPECT_EQ(rig.level(0, kind), rig.defaults(0, kind)) << kind;
    }
    EXPECT_EQ(m.controls().gpuClock.pos, 783);
    EXPECT_TRUE(m.controls().link.pressed);
    EXPECT_FALSE(m.controls().fanSpeed.enabled);
    EXPECT_EQ(m.entry(0).fanAutomatic, 1);
}

// ---- Overclocking interface ---------------------------------------------------------------------

uint32_t powerLimit(Rig& rig, uint8_t gpu) {
    drv::PowerPoliciesStatus status{};
    status.version = drv::kPowerPoliciesStatusVersion;
    EXPECT_EQ(rig.layer().powerPoliciesStatus(gpu, status), drv::kOk);
    return status.entries[0].power;
}

TEST(ApplyRun, OverclockingInterfaceAsksOnceThenToggles) {
    Rig rig;
    auto& m = *rig.model;
    const uint32_t before = powerLimit(rig, kGpuKepler);

    rig.prompt.answerNext(PromptAnswer::kNo);
    EXPECT_FALSE(rig.apply->toggleOverclockingInterface());
    ASSERT_EQ(rig.prompt.shown.size(), 1u);
    EXPECT_EQ(rig.prompt.shown[0].caption, rig.language.text(lang::kTextWarning));
    EXPECT_EQ(rig.prompt.shown[0].text, rig.language.text(lang::kTextOverclockingQuestion));
    EXPECT_EQ(rig.prompt.shown[0].buttons, PromptButtons::kYesNo);
    EXPECT_EQ(m.dialogWidth(), tuning::kDialogWidthNormal);
    EXPECT_EQ(powerLimit(rig, kGpuKepler), before);

    rig.prompt.answerNext(PromptAnswer::kYes);
    EXPECT_TRUE(rig.apply->toggleOverclockingInterface());
    EXPECT_EQ(rig.prompt.shown.size(), 2u);
    EXPECT_EQ(m.dialogWidth(), tuning::kDialogWidthOverclocking);
    drv::PowerPoliciesInfo info{};
    info.version = drv::kPowerPoliciesInfoVersion;
    ASSERT_EQ(rig.layer().powerPoliciesInfo(kGpuKepler, info), drv::kOk);
    EXPECT_GT(info.entries[0].maxPower, before);
    EXPECT_EQ(powerLimit(rig, kGpuKepler), info.entries[0].maxPower);

    EXPECT_TRUE(rig.apply->toggleOverclockingInterface());
    EXPECT_EQ(m.dialogWidth(), tuning::kDialogWidthNormal);
    EXPECT_TRUE(rig.apply->toggleOverclockingInterface());
    EXPECT_EQ(m.dialogWidth(), tuning::kDialogWidthOverclocking);
    EXPECT_EQ(rig.prompt.shown.size(), 2u);
}

TEST(ApplyRun, OverclockingInterfaceByHotKeyAsksNothing) {
    Rig rig;
    EXPECT_TRUE(rig.apply->toggleOverclockingInterface(true));
    EXPECT_TRUE(rig.prompt.shown.empty());
    EXPECT_EQ(rig.model->dialogWidth(), tuning::kDialogWidthOverclocking);
    drv::PowerPoliciesInfo info{};
    info.version = drv::kPowerPoliciesInfoVersion;
    ASSERT_EQ(rig.layer().powerPoliciesInfo(kGpuKepler, info), drv::kOk);
    EXPECT_EQ(powerLimit(rig, kGpuKepler), info.entries[0].maxPower);
}

}  // namespace
TEST(ApplyRun, WithNoGpuOnShowNothingCanBeStarted) {
    Rig rig;  // no GPU selected yet
    ASSERT_EQ(rig.model->gpuOnShow(), tuning::kNoGpu);
    const tuning::ApplyButtons buttons = rig.apply->buttons();
    EXPECT_FALSE(buttons.apply.enabled);
    EXPECT_FALSE(buttons.reset.enabled);
    EXPECT_FALSE(buttons.overclocking.enabled);
    EXPECT_FALSE(rig.apply->pressApply());
    EXPECT_FALSE(rig.apply->running());
    EXPECT_EQ(rig.model->applyBusy(), tuning::kApplyIdle);
    // Reset touches no card either: the sliders of no card have nothing to restore.
    ASSERT_EQ(rig.layer().setGraphicsOffset(0, 20000), drv::kOk);
    rig.apply->reset();
    drv::Pstates20Info info{};
    ASSERT_EQ(rig.layer().pstates20Info(0, info), drv::kOk);
    EXPECT_EQ(info.pstates[0].clocks[0].freqDeltaKHz.value, 20000);

    ASSERT_EQ(rig.model->selectGpu(0, true), drv::kOk);
    EXPECT_TRUE(rig.apply->buttons().apply.enabled);
    EXPECT_TRUE(rig.apply->buttons().reset.enabled);
}

namespace {

// ---- The driver voltage table (the GTX 680's core voltage) --------------------------------------

int32_t tableEntry(Rig& rig, int kind, bool defaults = false) {
    drv::PstatesInfo table{};
    EXPECT_EQ(rig.layer().readVoltageTable(kGpuKepler, table, defaults), drv::kOk);
    int32_t mv = -1;
    EXPECT_EQ(gpu::GpuLayer::tableEntry(table, kind, mv), drv::kOk);
    return mv;
}

bool askedOkCancel(const RecordingPrompt& prompt) {
    return std::any_of(prompt.shown.begin(), prompt.shown.end(),
                       [](const auto& s) { return s.buttons == PromptButtons::kOkCancel; });
}

// Apply asks question 184 before a changed table entry is written. OK writes it and the slider
// shows what the card took; Cancel, or a write the driver refuses, puts the slider back to the
// table's value. An unchanged value asks nothing.
TEST(ApplyRun, DriverTableVoltageAsksFirstAndShowsWhatTheCardHolds) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);
    ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);
    ASSERT_TRUE(m.controls().coreVoltage.enabled);
    ASSERT_EQ(m.controls().coreVoltage.pos, 1175);

    ASSERT_TRUE(rig.apply->pressApply());  // nothing changed: no question
    EXPECT_EQ(rig.finish(kGpuKepler), tuning::kApplyResultDone);
    EXPECT_FALSE(askedOkCancel(rig.prompt));

    rig.prompt.shown.clear();
    m.moveSlider(Slider::kCoreVoltage, 1150);
    rig.prompt.answerNext(PromptAnswer::kCancel);
    ASSERT_TRUE(rig.apply->pressApply());
    EXPECT_EQ(rig.finish(kGpuKepler), tuning::kApplyResultDone);
    ASSERT_FALSE(rig.prompt.shown.empty());
    EXPECT_EQ(rig.prompt.shown[0].caption, rig.language.text(lang::kTextAppName));
    EXPECT_EQ(rig.prompt.shown[0].text, rig.language.text(lang::kTextVoltageQuestion));
    EXPECT_EQ(rig.prompt.shown[0].icon, PromptIcon::kWarning);
    EXPECT_EQ(rig.prompt.shown[0].buttons, PromptButtons::kOkCancel);
    EXPECT_EQ(tableEntry(rig, k3DPerf), 1175);
    EXPECT_EQ(m.controls().coreVoltage.pos, 1175);

    m.moveSlider(Slider::kCoreVoltage, 1150);
    rig.prompt.answerNext(PromptAnswer::kOk);
    ASSERT_TRUE(rig.apply->pressApply());
    EXPECT_EQ(rig.finish(kGpuKepler), tuning::kApplyResultDone);
    EXPECT_EQ(tableEntry(rig, k3DPerf), 1150);
    EXPECT_EQ(tableEntry(rig, k2D), 1000);  // other levels keep theirs
    EXPECT_EQ(m.controls().coreVoltage.pos, 1150);

    m.moveSlider(Slider::kCoreVoltage, 1125);
    rig.prompt.answerNext(PromptAnswer::kOk);
    rig.sim().injectStatus(drv::kGpuSetPstatesInfo, drv::kError, 1);
    ASSERT_TRUE(rig.apply->pressApply());
    EXPECT_EQ(rig.finish(kGpuKepler), tuning::kApplyResultDone);
    EXPECT_EQ(tableEntry(rig, k3DPerf), 1150);
    EXPECT_EQ(m.controls().coreVoltage.pos, 1150);
}

// Reset writes the driver's default table back and shows the selected mode's restored entry.
TEST(ApplyRun, ResetPutsTheDriverDefaultTableBack) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);
    ASSERT_EQ(m.selectMode(k2D, false, false), drv::kOk);
    drv::PstatesInfo table{};
    ASSERT_EQ(rig.layer().readVoltageTable(kGpuKepler, table), drv::kOk);
    ASSERT_EQ(gpu::GpuLayer::setTableEntry(table, k3DPerf, 1200), drv::kOk);
    ASSERT_EQ(gpu::GpuLayer::setTableEntry(table, k2D, 950), drv::kOk);
    ASSERT_EQ(rig.layer().writeVoltageTable(kGpuKepler, table), drv::kOk);
    m.moveSlider(Slider::kCoreVoltage, 950);

    rig.apply->reset();
    EXPECT_EQ(tableEntry(rig, k3DPerf), 1175);
    EXPECT_EQ(tableEntry(rig, k2D), 1000);
    EXPECT_EQ(m.controls().coreVoltage.pos, 1000);
}

}  // namespace

}  // namespace qv::test
