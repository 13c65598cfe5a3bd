#include "tuning/ApplyController.h"

#include <algorithm>

#include "gpu/ChipRegisters.h"
#include "gpu/DriverStatus.h"
#include "gpu/Units.h"
#include "lang/LanguageRows.h"

namespace qv::tuning {

namespace {

std::optional<int32_t> adjustedClock(const SliderState& slider) {
    return slider.enabled ? std::optional<int32_t>(slider.pos) : std::nullopt;
}

// A stored target of 0 is a domain that was never adjusted.
std::optional<int32_t> storedClock(uint32_t targetKHz) {
    return targetKHz != 0 ? std::optional<int32_t>(gpu::toMHz(targetKHz)) : std::nullopt;
}

std::optional<uint32_t> clockKHz(const std::optional<int32_t>& mhz) {
    return mhz ? std::optional<uint32_t>(gpu::toKHz(*mhz)) : std::nullopt;
}

bool validMode(int mode) {
    return gpu::levelKindIndex(mode) >= 0;
}

}  // namespace

ApplyController::ApplyController(gpu::GpuLayer& layer, MainDialogModel& model,
                                 ApplyServices services)
    : layer_(layer), model_(model), services_(std::move(services)) {
    if (services_.clock == nullptr) {
        services_.clock = &platform::SystemClock::instance();
    }
    buttons_.apply.setCaptionRow(lang::kTextApply);
    buttons_.apply.enabled = true;
    buttons_.reset.setCaptionRow(lang::kTextReset);
    buttons_.reset.enabled = true;
    buttons_.profileSave.setCaptionRow(lang::kTextSave);
    buttons_.profileSave.enabled = true;
    buttons_.overclocking.enabled = true;
}

ApplyController::~ApplyController() {
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

std::string ApplyController::text(int row) const {
    return services_.text ? services_.text(row) : std::string();
}

std::vector<uint8_t> ApplyController::targetGpus(int target) const {
    std::vector<uint8_t> gpus;
    const size_t count = std::min<size_t>(layer_.gpuCount(), kUiGpuSlots);
    if (target == kApplyAllGpus) {
        for (size_t g = 0; g < count; ++g) {
            gpus.push_back(static_cast<uint8_t>(g));
        }
    } else if (target >= 0 && static_cast<size_t>(target) < count) {
        gpus.push_back(static_cast<uint8_t>(target));
    }
    return gpus;
}

// ---- Apply ------------------------------------------------------------------------------------

ApplyButtons ApplyController::buttons() const {
    ApplyButtons shown = buttons_;
    if (model_.gpuOnShow() == kNoGpu) {
        shown.apply.enabled = false;
        shown.reset.enabled = false;
        shown.overclocking.enabled = false;
    }
    return shown;
}

bool ApplyController::pressApply() {
    if (running_) {
        // The worker looks at the request between GPUs.
        worker_.request_stop();
        return false;
    }
    if (services_.poster == nullptr) {
        // Without a way back to this thread a run would never end.
        return false;
    }
    const int onShow = model_.gpuOnShow();
    if (onShow == kNoGpu) {
        // The controls show no card: there is nothing they could mean for any card.
        return false;
    }
    const int target = model_.synchronous() ? kApplyAllGpus : onShow;
    const std::vector<uint8_t> gpus = targetGpus(target);
    if (gpus.empty()) {
        return false;
    }

    if (services_.remote != nullptr && services_.remote->remoteApplyPending()) {
        keepControlsForRemote();
    }
    model_.setApplyBusy(kApplyBusy);
    buttons_.apply.setCaptionRow(lang::kTextCancel);
    for (const uint8_t gpu : gpus) {
        applyFanAndVoltage(gpu);
    }
    buttons_.reset.enabled = false;
    buttons_.profileSave.enabled = false;

    plans_ = planRun(target);
    running_ = true;
    worker_ = std::jthread([this, plans = plans_, target](std::stop_token stop) {
        runWorker(std::move(stop), plans, target);
    });
    return true;
}

void ApplyController::applyFanAndVoltage(uint8_t gpu) {
    const MainDialogControls& c = model_.controls();
    const int onShowIndex = model_.gpuOnShow();
    const bool onShow = gpu == onShowIndex;
    const auto shown = static_cast<uint8_t>(onShowIndex < 0 ? gpu : onShowIndex);
    model_.entry(gpu).fanReadTimeMs = 0;

    // Fan and voltage writes are not checked: the next sampling tick shows what the card has.
    if (layer_.record(gpu).fanKind != gpu::kFanNoCooler) {
        if (c.fanMode.pressed) {
            layer_.setFanAutomatic(gpu);
        } else if (c.fanSpeed.enabled && (onShow || layer_.record(gpu).fanSetInRpm() ==
                                                        layer_.record(shown).fanSetInRpm())) {
            // A level in percent means nothing to a fan set in rpm, and the other way round.
            layer_.setFanLevel(gpu, static_cast<uint32_t>(std::max(c.fanSpeed.pos, 0)));
        }
    }

    applyCoreVoltage(gpu, onShow);

    uint32_t low = 0, high = 0;
    if (c.memoryVoltage.enabled && layer_.slot6CodeRange(gpu, low, high) != 0) {
        layer_.setStepRegulator(gpu, gpu::kSlotRegulator6, c.memoryVoltage.pos);
    }
}

void ApplyController::applyCoreVoltage(uint8_t gpu, bool onShow) {
    const MainDialogControls& c = model_.controls();
    const VoltageControl control = model_.voltageControl(gpu);
    if (!c.coreVoltage.enabled) {
        return;
    }
    int mode = model_.pressedMode();
    if (mode == kNoMode) {
        mode = layer_.currentMode(gpu);
    }
    const int value = c.coreVoltage.pos;
    if (!onShow) {
        // Another GPU takes the slider's value only where it means the same: the same kind of
        // regulator, and a value inside that GPU's own range.
        uint32_t low = 0, high = 0;
        if (control == VoltageControl::kDriverTable) {
            low = kDriverTableMinMv;
            high = static_cast<uint32_t>(driverTableMaxMillivolts(layer_.record(gpu).deviceId()));
        } else if (!layer_.coreVoltageRange(gpu, mode, low, high)) {
            return;
        }
        if (control != model_.voltageControl(static_cast<uint8_t>(model_.gpuOnShow())) ||
            value < static_cast<int>(low) || value > static_cast<int>(high)) {
            return;
        }
    }
    switch (control) {
        case VoltageControl::kSlot2:
            layer_.setKindRegulatorCode(gpu, mode, static_cast<uint8_t>(value));
            return;
        case VoltageControl::kSlot3:
            layer_.setStepRegulator(gpu, gpu::kSlotRegulator3, value);
            return;
        case VoltageControl::kSlot7:
            layer_.writeRegister(gpu, gpu::kSlotRegulator7, gpu::chip::kSlot7RegCode,
                                 static_cast<uint8_t>(std::clamp(value, 0, 0xFF)));
            return;
        case VoltageControl::kDriverTable:
            applyVoltageTable(gpu, mode, value, onShow);
            return;
        case VoltageControl::kNone:
            return;
    }
}

// The question is asked here, on the window's thread, before the worker starts: a message box
// must never be opened from the worker.
void ApplyController::applyVoltageTable(uint8_t gpu, int mode, int value, bool onShow) {
    drv::PstatesInfo table{};
    int32_t held = 0;
    if (layer_.readVoltageTable(gpu, table) != drv::kOk ||
        gpu::GpuLayer::tableEntry(table, mode, held) != drv::kOk || held == value) {
        return;
    }
    const platform::PromptAnswer answer =
        services_.prompt != nullptr
            ? services_.prompt->show(text(lang::kTextAppName), text(lang::kTextVoltageQuestion),
                                     platform::PromptIcon::kWarning,
                                     platform::PromptButtons::kOkCancel)
            : platform::dismissedAnswer(platform::PromptButtons::kOkCancel);
    int32_t shown = held;
    if (answer == platform::PromptAnswer::kOk &&
        gpu::GpuLayer::setTableEntry(table, mode, value) == drv::kOk &&
        layer_.writeVoltageTable(gpu, table) == drv::kOk) {
        // What the card took, which need not be what was asked.
        int32_t now = 0;
        if (layer_.voltageTableEntry(gpu, mode, now) == drv::kOk) {
            shown = now;
        }
    }
    if (onShow) {
        model_.showCoreVoltage(shown);
    }
}

std::vector<ApplyGpuPlan> ApplyController::planRun(int target) const {
    const MainDialogControls& c = model_.controls();
    const int onShow = model_.gpuOnShow();
    std::vector<ApplyGpuPlan> plans;
    for (const uint8_t gpu : targetGpus(target)) {
        ApplyGpuPlan plan;
        plan.gpu = gpu;
        const GpuUiEntry& e = model_.entry(gpu);
        if (gpu == onShow) {
            // A disabled slider is a domain the GPU does not adjust in this mode: its position
            // is no clock, and the card keeps its own.
            plan.mode = e.selectedMode;
            plan.gpuMHz = adjustedClock(c.gpuClock);
            plan.shaderMHz = adjustedClock(c.shaderClock);
            plan.memoryMHz = adjustedClock(c.memoryClock);
        } else if (validMode(e.selectedMode) &&
                   (e.gpuTargetKHz[static_cast<size_t>(e.selectedMode)] != 0 ||
                    e.shaderTargetKHz[static_cast<size_t>(e.selectedMode)] != 0 ||
                    e.memoryTargetKHz[static_cast<size_t>(e.selectedMode)] != 0)) {
            const auto kind = static_cast<size_t>(e.selectedMode);
            plan.mode = e.selectedMode;
            plan.gpuMHz = storedClock(e.gpuTargetKHz[kind]);
            plan.shaderMHz = storedClock(e.shaderTargetKHz[kind]);
            plan.memoryMHz = storedClock(e.memoryTargetKHz[kind]);
        } else {
            // No targets were ever stored for this GPU: zeros would drag its clocks to their
            // minimum, so it keeps what it runs at.
            planFromCard(gpu, plan);
        }
        plan.keplerClass = layer_.record(gpu).keplerClass;
        plan.gpuOffsetMHz = c.gpuOffset.pos;
        plan.memoryOffsetMHz = c.memoryOffset.pos;
        plan.frameRateEnabled = c.frameRate.enabled;
        plan.frameRate = c.frameRate.pos;
        plans.push_back(plan);
    }
    return plans;
}

void ApplyController::planFromCard(uint8_t gpu, ApplyGpuPlan& plan) const {
    const gpu::GpuRecord& record = layer_.record(gpu);
    int mode = layer_.currentMode(gpu);
    if (!record.hasLevelKind(mode)) {
        mode = record.firstPresentLevelKind();
    }
    gpu::PerfClockRequest request;
    if (mode == kNoMode || layer_.readLevelClocks(gpu, request, mode) != drv::kOk) {
        // Nothing to write from: the worker's own read fails on this GPU as well.
        plan.mode = kNoMode;
        return;
    }
    plan.mode = mode;
    plan.gpuMHz = gpu::toMHz(request.graphicsCurrent);
    plan.shaderMHz = gpu::toMHz(request.processorCurrent);
    plan.memoryMHz = gpu::toMHz(request.memoryCurrent);
}

void ApplyController::runWorker(std::stop_token stop, std::vector<ApplyGpuPlan> plans, int target) {
    uint32_t result = kApplyResultDone;
    for (size_t i = 0; i < plans.size(); ++i) {
        if (i > 0 && stop.stop_requested()) {
            // A failure already seen is worth more to the user than the cancel.
            if (result == kApplyResultDone) {
                result = kApplyResultCanceled;
            }
            break;
        }
        const ApplyGpuPlan& plan = plans[i];
        const gpu::LevelClockChange change{clockKHz(plan.gpuMHz), clockKHz(plan.shaderMHz),
                                           clockKHz(plan.memoryMHz)};
        gpu::LevelClockStep failedStep = gpu::LevelClockStep::kNone;
        const int written = layer_.replaceLevelClocks(plan.gpu, plan.mode, change, 0, &failedStep);
        if (failedStep == gpu::LevelClockStep::kRead) {
            result = kApplyResultFailed;
            break;
        }
        services_.clock->sleepMs(kApplyClockPauseMs);
        if (written != drv::kOk) {
            result = kApplyResultFailed;
            continue;
        }
        if (plan.keplerClass) {
            layer_.setMemoryOffset(plan.gpu, plan.memoryOffsetMHz * gpu::kKHzPerMHz);
            layer_.setGraphicsOffset(plan.gpu, plan.gpuOffsetMHz * gpu::kKHzPerMHz);
        }
        if (plan.frameRateEnabled) {
            layer_.setFrameRateLimit(static_cast<uint32_t>(plan.frameRate), false);
        }
    }
    services_.poster->postThreadMessage(services_.uiThreadId, kMessageCommand,
                                        applyDoneCommand(result), target);
}

void ApplyController::waitForWorker() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

uint32_t ApplyController::onApplyDone(uint32_t command, intptr_t /*target*/) {
    if (!isApplyDoneCommand(command) || !running_) {
        return kApplyNoRun;
    }
    waitForWorker();
    running_ = false;
    for (const ApplyGpuPlan& plan : plans_) {
        if (plan.keplerClass) {
            model_.followCardClocks(plan.gpu);
        }
    }
    model_.setApplyBusy(kApplyIdle);
    buttons_.apply.setCaptionRow(lang::kTextApply);
    buttons_.reset.enabled = true;
    buttons_.profileSave.enabled = true;

    const uint32_t result = command & 0xFFFFu;
    if (services_.remote != nullptr && services_.remote->remoteApplyPending()) {
        finishRemoteRun(result);
        remoteSnapshotKept_ = false;
        return result;
    }
    remoteSnapshotKept_ = false;
    int row = lang::kTextApplyFailed;
    platform::PromptIcon icon = platform::PromptIcon::kError;
    if (result == kApplyResultDone) {
        row = lang::kTextApplyDone;
        icon = platform::PromptIcon::kInformation;
    } else if (result == kApplyResultCanceled) {
        row = lang::kTextApplyCanceled;
        icon = platform::PromptIcon::kInformation;
    }
    if (services_.prompt != nullptr) {
        services_.prompt->show(text(lang::kTextAppName), text(row), icon,
                               platform::PromptButtons::kOk);
    }
    if (result == kApplyResultDone && services_.remote != nullptr) {
        services_.remote->localApplyDone();
    }
    return result;
}

void ApplyController::keepControlsForRemote() {
    if (remoteSnapshotKept_) {
        return;
    }
    const MainDialogControls& c = model_.controls();
    remoteSnapshot_ = {c.gpuClock.pos, c.shaderClock.pos, c.memoryClock.pos, c.fanSpeed.pos,
                       c.coreVoltage.pos};
    remoteSnapshotKept_ = true;
}

void ApplyController::finishRemoteRun(uint32_t result) {
    const int onShow = model_.gpuOnShow();
    if (result == kApplyResultDone) {
        if (onShow != kNoGpu) {
            const auto gpu = static_cast<uint8_t>(onShow);
            const MainDialogControls& c = model_.controls();
            if (layer_.record(gpu).fanKind != gpu::kFanNoCooler) {
                if (c.fanMode.pressed) {
                    layer_.setFanAutomatic(gpu);
                } else if (c.fanSpeed.enabled) {
                    layer_.setFanLevel(gpu, static_cast<uint32_t>(std::max(c.fanSpeed.pos, 0)));
                }
            }
        }
        services_.remote->remoteApplyDone(true);
        return;
    }
    // A cancelled run did not do what the phone asked for either. The controls go back before
    // the reply, so a state file sent after it carries the restored values.
    // Both linked clocks go back to their own values; the link rule would round one of them.
    const bool linked = model_.controls().link.pressed;
    model_.setLinked(false);
    model_.moveSlider(Slider::kGpuClock, remoteSnapshot_.gpuClock);
    model_.moveSlider(Slider::kShaderClock, remoteSnapshot_.shaderClock);
    model_.setLinked(linked);
    model_.moveSlider(Slider::kMemoryClock, remoteSnapshot_.memoryClock);
    model_.moveSlider(Slider::kFan, remoteSnapshot_.fan);
    model_.moveSlider(Slider::kCoreVoltage, remoteSnapshot_.coreVoltage);
    services_.remote->remoteApplyDone(false);
}

// ---- Reset ------------------------------------------------------------------------------------

void ApplyController::reset() {
    if (running_) {
        // The button is disabled during a run; the worker owns the clocks until it ends.
        return;
    }
    const int onShow = model_.gpuOnShow();
    if (onShow == kNoGpu) {
        return;
    }
    for (const uint8_t gpu : targetGpus(model_.synchronous() ? kApplyAllGpus : onShow)) {
        resetGpu(gpu);
    }
    if (!model_.controls().link.pressed) {
        model_.setLinked(true);
    }
}

void ApplyController::resetGpu(uint8_t gpu) {
    const bool onShow = gpu == model_.gpuOnShow();
    resetFan(gpu, onShow);
    if (onShow) {
        resetVoltages(gpu);
    }
    resetKepler(gpu, onShow);
    resetClocks(gpu, onShow);
}

void ApplyController::resetFan(uint8_t gpu, bool onShow) {
    GpuUiEntry& e = model_.entry(gpu);
    e.fanReadTimeMs = 0;
    e.fanAutomatic = 1;
    if (onShow && !model_.controls().fanMode.pressed) {
        model_.setFanAutomatic(true);
    }
    if (layer_.record(gpu).fanKind == gpu::kFanNoCooler) {
        return;
    }
    layer_.setFanAutomatic(gpu);
    if (!onShow) {
        return;
    }
    // The fan mode read refreshes the level the driver cooler reports.
    int mode = 0;
    layer_.fanMode(gpu, mode);
    int32_t level = -1;
    if (layer_.fanSpeed(gpu, level, layer_.record(gpu).fanSetInRpm()) == drv::kOk && level >= 0) {
        model_.showFanLevel(level);
    }
}

void ApplyController::resetVoltages(uint8_t gpu) {
    uint32_t low = 0, high = 0;
    if (layer_.slot6CodeRange(gpu, low, high) != 0) {
        layer_.setStepRegulator(gpu, gpu::kSlotRegulator6, 0);
        model_.showMemoryVoltage(0);
    }
    if (!layer_.record(gpu).familyC) {
        return;
    }
    switch (model_.voltageControl(gpu)) {
        case VoltageControl::kSlot3:
            layer_.setStepRegulator(gpu, gpu::kSlotRegulator3, 0);
            model_.showCoreVoltage(0);
            return;
        case VoltageControl::kSlot7:
            layer_.writeRegister(gpu, gpu::kSlotRegulator7, gpu::chip::kSlot7RegCode, 0);
            model_.showCoreVoltage(0);
            return;
        case VoltageControl::kDriverTable:
            resetVoltageTable(gpu);
            return;
        case VoltageControl::kSlot2:
        case VoltageControl::kNone:
            return;
    }
}

void ApplyController::resetVoltageTable(uint8_t gpu) {
    drv::PstatesInfo defaults{};
    if (layer_.readVoltageTable(gpu, defaults, true) != drv::kOk ||
        layer_.writeVoltageTable(gpu, defaults) != drv::kOk) {
        return;
    }
    int mode = model_.pressedMode();
    if (mode == kNoMode) {
        mode = layer_.currentMode(gpu);
    }
    int32_t restored = 0;
    if (gpu::GpuLayer::tableEntry(defaults, mode, restored) == drv::kOk) {
        model_.showCoreVoltage(restored);
    }
}

void ApplyController::resetKepler(uint8_t gpu, bool onShow) {
    if (!layer_.record(gpu).keplerClass) {
        return;
    }
    layer_.setMemoryOffset(gpu, 0);
    layer_.setGraphicsOffset(gpu, 0);
    if (!onShow) {
        return;
    }
    model_.showMemoryOffset(0);
    model_.showGpuOffset(0);
    if (layer_.setFrameRateLimit(0, true) == drv::kOk) {
        model_.setFrameRateTarget(false);
    }
}

void ApplyController::resetClocks(uint8_t gpu, bool onShow) {
    GpuUiEntry& e = model_.entry(gpu);
    const gpu::GpuRecord& record = layer_.record(gpu);
    for (const int mode : gpu::kLevelKindOrder) {
        if (!record.hasLevelKind(mode)) {
            continue;
        }
        gpu::PerfClockRequest request;
        if (layer_.readLevelClocks(gpu, request, mode) != drv::kOk) {
            continue;
        }
        const auto kind = static_cast<size_t>(mode);
        e.gpuTargetKHz[kind] = static_cast<int32_t>(request.graphicsBase);
        e.shaderTargetKHz[kind] = static_cast<int32_t>(request.processorBase);
        e.memoryTargetKHz[kind] = static_cast<int32_t>(request.memoryBase);
        request.graphicsCurrent = request.graphicsBase;
        request.processorCurrent = request.processorBase;
        request.memoryCurrent = request.memoryBase;
        const bool written = layer_.writeLevelClocks(gpu, request, mode, 1) == drv::kOk &&
                             layer_.writeLevelClocks(gpu, request, mode, 0) == drv::kOk;
        if (written && onShow && mode == e.selectedMode) {
            // Through the model, so that a linked partner follows as it would for the user.
            model_.moveSlider(ClockSlider::kGpu, gpu::toMHz(request.graphicsBase));
            model_.moveSlider(ClockSlider::kShader, gpu::toMHz(request.processorBase));
            model_.moveSlider(ClockSlider::kMemory, gpu::toMHz(request.memoryBase));
        }
    }
}

// ---- Overclocking interface -------------------------------------------------------------------

bool ApplyController::toggleOverclockingInterface(bool hotKeyUsed) {
    if (overclockingConfirmed_) {
        model_.setDialogWidth(model_.dialogWidth() == kDialogWidthOverclocking
                                  ? kDialogWidthNormal
                                  : kDialogWidthOverclocking);
        return true;
    }
    if (!hotKeyUsed) {
        const platform::PromptAnswer answer =
            services_.prompt != nullptr
                ? services_.prompt->show(
                      text(lang::kTextWarning), text(lang::kTextOverclockingQuestion),
                      platform::PromptIcon::kWarning, platform::PromptButtons::kYesNo)
                : platform::dismissedAnswer(platform::PromptButtons::kYesNo);
        if (answer != platform::PromptAnswer::kYes) {
            return false;
        }
    }
    overclockingConfirmed_ = true;
    model_.setDialogWidth(kDialogWidthOverclocking);
    // Boards without a power policy answer a status and keep their limit.
    for (const uint8_t gpu : targetGpus(kApplyAllGpus)) {
        layer_.raisePowerLimit(gpu);
    }
    return true;
}

}  // namespace qv::tuning
