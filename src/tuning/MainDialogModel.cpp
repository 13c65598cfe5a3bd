#include "tuning/MainDialogModel.h"

#include <algorithm>

#include "gpu/BoardIds.h"
#include "gpu/ChipRegisters.h"
#include "gpu/DriverStatus.h"
#include "gpu/Units.h"
#include "lang/LanguageRows.h"

namespace qv::tuning {

namespace {

struct DeviceMaximum {
    uint16_t device;
    int millivolts;
};
constexpr std::array<DeviceMaximum, 9> kDriverTableMaxima = {{
    {0x06C0, 1125},
    {0x0DC4, 1200},
    {0x1080, 1350},
    {0x1081, 1350},
    {0x1200, 1300},
    {0x1201, 1300},
    {0x1244, 1300},
    {0x0DE0, 1300},
    {0x0DE1, 1300},
}};

bool validMode(int mode) {
    return gpu::levelKindIndex(mode) >= 0;
}

void disable(SliderState& slider) {
    slider.min = 0;
    slider.max = 0;
    slider.pos = 0;
    slider.enabled = false;
}

}  // namespace

int driverTableMaxMillivolts(uint32_t device) {
    for (const DeviceMaximum& entry : kDriverTableMaxima) {
        if (entry.device == device) {
            return entry.millivolts;
        }
    }
    return kDriverTableDefaultMaxMv;
}

MainDialogModel::MainDialogModel(gpu::GpuLayer& layer) : layer_(layer) {
    controls_.link.setCaptionRow(lang::kTextLinked);
    controls_.link.pressed = true;
    controls_.link.enabled = true;
    controls_.fanMode.setCaptionRow(lang::kTextFanAuto);
    controls_.fanMode.pressed = true;
    controls_.unlockMin.setCaptionRow(lang::kTextUnlockMin);
    controls_.unlockMin.enabled = true;
    controls_.unlockMax.setCaptionRow(lang::kTextUnlockMax);
    controls_.unlockMax.enabled = true;
    controls_.frameRate.setRange(kFrameRateMin, kFrameRateMax);
    controls_.frameRateToggle.enabled = true;
    controls_.synchronous.enabled = layer_.gpuCount() >= 2;
}

// ---- Board capabilities ------------------------------------------------------------------------

bool MainDialogModel::hasMode(uint8_t gpu, int mode) const {
    return gpu < layer_.gpuCount() && layer_.record(gpu).hasLevelKind(mode);
}

int MainDialogModel::kindCount(uint8_t gpu) const {
    const auto& present = layer_.record(gpu).levelKindPresent;
    return static_cast<int>(std::count(present.begin(), present.end(), true));
}

bool MainDialogModel::adjustable(uint8_t gpu, int mode, ClockSlider slider) const {
    if (!hasMode(gpu, mode)) {
        return false;
    }
    const gpu::GpuRecord& r = layer_.record(gpu);
    const auto& limits = r.clockLimits[static_cast<size_t>(gpu::levelKindIndex(mode))];
    switch (slider) {
        case ClockSlider::kGpu:
            return limits[gpu::kSelectorGraphics].maxKHz != 0;
        case ClockSlider::kShader:
            return r.processorDomainPresent && limits[gpu::kSelectorProcessor].maxKHz != 0;
        case ClockSlider::kMemory:
            return limits[gpu::kSelectorMemory].maxKHz != 0;
    }
    return false;
}

VoltageControl MainDialogModel::voltageControl(uint8_t gpu) const {
    if (gpu >= layer_.gpuCount()) {
        return VoltageControl::kNone;
    }
    const gpu::GpuRecord& r = layer_.record(gpu);
    if (r.hasChip(gpu::kSlotRegulator2)) {
        return VoltageControl::kSlot2;
    }
    if (r.hasChip(gpu::kSlotRegulator3)) {
        return VoltageControl::kSlot3;
    }
    if (r.hasChip(gpu::kSlotRegulator7)) {
        return VoltageControl::kSlot7;
    }
    return r.familyC ? VoltageControl::kDriverTable : VoltageControl::kNone;
}

SliderState& MainDialogModel::clockSlider(ClockSlider slider) {
    switch (slider) {
        case ClockSlider::kGpu:
            return controls_.gpuClock;
        case ClockSlider::kShader:
            return controls_.shaderClock;
        case ClockSlider::kMemory:
            break;
    }
    return controls_.memoryClock;
}

int MainDialogModel::pressedMode() const {
    if (controls_.mode2D.pressed) {
        return gpu::kLevelKind2D;
    }
    if (controls_.mode3DLow.pressed) {
        return gpu::kLevelKind3DLow;
    }
    if (controls_.mode3DPerf.pressed) {
        return gpu::kLevelKind3DPerf;
    }
    return kNoMode;
}

// ---- Selecting the GPU and the mode -----------------------------------------------------------

int MainDialogModel::selectGpu(int index, bool readFromCard) {
    if (index < 0 || index >= layer_.gpuCount() || static_cast<size_t>(index) >= kUiGpuSlots) {
        return drv::kInvalidArgument;
    }
    if (gpuOnShow_ != kNoGpu) {
        storeSettingsOfGpuOnShow(false);
    }
    gpuOnShow_ = index;
    const auto gpu = static_cast<uint8_t>(index);
    GpuUiEntry& e = entries_[static_cast<size_t>(index)];

    int mode = readFromCard ? layer_.currentMode(gpu) : e.selectedMode;
    if (!hasMode(gpu, mode)) {
        mode = hasMode(gpu, e.selectedMode) ? e.selectedMode
                                            : layer_.record(gpu).firstPresentLevelKind();
    }
    e.selectedMode = mode;

    setLinked(e.linked != 0);
    controls_.synchronous.enabled = layer_.gpuCount() >= 2;
    loadFanControls(gpu, readFromCard);
    loadModeButtons(gpu, mode);
    if (mode == kNoMode || loadClockControls(mode) != drv::kOk) {
        // Nothing of this GPU could be read: its clock sliders must not keep another GPU's.
        disable(controls_.gpuClock);
        disable(controls_.shaderClock);
        disable(controls_.memoryClock);
    }
    loadVoltageControl(gpu, mode, readFromCard);
    loadMemoryVoltage(gpu);
    loadKeplerControls(gpu);
    loadFrameRateControl();
    return drv::kOk;
}

int MainDialogModel::selectMode(int mode, bool readFromCard, bool store) {
    if (gpuOnShow_ == kNoGpu) {
        return drv::kInvalidArgument;
    }
    const auto gpu = static_cast<uint8_t>(gpuOnShow_);
    if (!hasMode(gpu, mode)) {
        return drv::kInvalidArgument;
    }
    if (readFromCard) {
        refreshTargetsFromCards();
    } else if (store) {
        storeSettingsOfGpuOnShow(false);
    }
    entries_[static_cast<size_t>(gpuOnShow_)].selectedMode = mode;
    loadModeButtons(gpu, mode);
    const int status = loadClockControls(mode);
    // The step and slot-7 regulators hold one setting for every mode: a mode change leaves them.
    const VoltageControl voltage = voltageControl(gpu);
    if (voltage != VoltageControl::kSlot3 && voltage != VoltageControl::kSlot7) {
        loadVoltageControl(gpu, mode, readFromCard);
    }
    return status;
}

void MainDialogModel::loadModeButtons(uint8_t gpu, int mode) {
    const std::array<std::pair<ButtonState*, int>, 3> buttons = {{
        {&controls_.mode2D, gpu::kLevelKind2D},
        {&controls_.mode3DLow, gpu::kLevelKind3DLow},
        {&controls_.mode3DPerf, gpu::kLevelKind3DPerf},
    }};
    for (const auto& [button, kind] : buttons) {
        const bool present = hasMode(gpu, kind);
        if (present) {
            button->setCaptionRow(kind == gpu::kLevelKind2D      ? lang::kText2D
                                  : kind == gpu::kLevelKind3DLow ? lang::kText3DLow
                                                                 : lang::kText3DPerf);
        } else {
            button->setCaptionRow(-1);
        }
        button->enabled = present;
        // A button without a caption is never highlighted.
        button->pressed = present && kind == mode;
    }
}

// ---- Storing and refreshing the entries -------------------------------------------------------

void MainDialogModel::storeSettingsOfGpuOnShow(bool refresh) {
    if (gpuOnShow_ == kNoGpu) {
        return;
    }
    GpuUiEntry& e = entries_[static_cast<size_t>(gpuOnShow_)];
    const int mode = e.selectedMode;
    if (validMode(mode)) {
        const auto kind = static_cast<size_t>(mode);
        e.gpuTargetKHz[kind] = controls_.gpuClock.pos * gpu::kKHzPerMHz;
        e.shaderTargetKHz[kind] = controls_.shaderClock.pos * gpu::kKHzPerMHz;
        e.memoryTargetKHz[kind] = controls_.memoryClock.pos * gpu::kKHzPerMHz;
        if (controls_.coreVoltage.enabled) {
            e.voltageSetting[kind] = controls_.coreVoltage.pos;
        }
    }
    if (refresh) {
        for (uint8_t gpu = 0; gpu < layer_.gpuCount() && gpu < kUiGpuSlots; ++gpu) {
            GpuUiEntry& other = entries_[gpu];
            int fanMode = 0;
            if (layer_.fanMode(gpu, fanMode) == drv::kOk) {
                other.fanAutomatic = fanMode == gpu::GpuLayer::kFanModeAutomatic ? 1 : 0;
            }
            int32_t level = 0;
            if (layer_.fanSpeed(gpu, level, false) == drv::kOk) {
                other.fanSetting = level;
            }
        }
    }
    e.linked = controls_.link.pressed ? 1 : 0;
    e.fanAutomatic = controls_.fanMode.pressed ? 1 : 0;
    if (controls_.fanSpeed.enabled) {
        e.fanSetting = controls_.fanSpeed.pos;
    }
    if (voltageControl(static_cast<uint8_t>(gpuOnShow_)) == VoltageControl::kSlot3) {
        e.voltageSetting[0] = controls_.coreVoltage.pos;
    }
}

void MainDialogModel::refreshTargetsFromCards() {
    for (uint8_t gpu = 0; gpu < layer_.gpuCount() && gpu < kUiGpuSlots; ++gpu) {
        GpuUiEntry& e = entries_[gpu];
        if (const int current = layer_.currentMode(gpu); hasMode(gpu, current)) {
            e.selectedMode = current;
        }
        refreshClockTargets(gpu);
        if (voltageControl(gpu) != VoltageControl::kSlot2) {
            continue;
        }
        for (const int mode : {gpu::kLevelKind2D, gpu::kLevelKind3DPerf}) {
            uint8_t code = 0;
            if (layer_.kindRegulatorCode(gpu, mode, code) == drv::kOk) {
                e.voltageSetting[static_cast<size_t>(mode)] = code;
            }
        }
    }
}

void MainDialogModel::refreshClockTargets(uint8_t gpu) {
    GpuUiEntry& e = entries_[gpu];
    for (const int mode : gpu::kLevelKindOrder) {
        if (!hasMode(gpu, mode)) {
            continue;
        }
        gpu::PerfClockRequest request;
        if (layer_.readLevelClocks(gpu, request, mode) != drv::kOk) {
            continue;
        }
        const auto kind = static_cast<size_t>(mode);
        e.gpuTargetKHz[kind] = static_cast<int32_t>(request.graphicsCurrent);
        e.shaderTargetKHz[kind] = static_cast<int32_t>(request.processorCurrent);
        e.memoryTargetKHz[kind] = static_cast<int32_t>(request.memoryCurrent);
    }
}

void MainDialogModel::followCardClocks(uint8_t gpu) {
    if (gpu >= layer_.gpuCount() || gpu >= kUiGpuSlots) {
        return;
    }
    refreshClockTargets(gpu);
    if (gpu == gpuOnShow_ && hasMode(gpu, entries_[gpu].selectedMode)) {
        loadClockControls(entries_[gpu].selectedMode);
    }
}

// ---- Loading the controls ---------------------------------------------------------------------

int MainDialogModel::loadClockControls(int mode) {
    if (gpuOnShow_ == kNoGpu) {
        return drv::kInvalidArgument;
    }
    const auto gpu = static_cast<uint8_t>(gpuOnShow_);
    gpu::PerfClockRequest request;
    const int status = layer_.readLevelClocks(gpu, request, mode);
    if (status != drv::kOk) {
        return status;
    }
    struct Domain {
        ClockSlider slider;
        uint32_t minKHz, maxKHz, currentKHz;
    };
    const std::array<Domain, 3> domains = {{
        {ClockSlider::kGpu, request.graphicsMin, request.graphicsMax, request.graphicsCurrent},
        {ClockSlider::kShader, request.processorMin, request.processorMax,
         request.processorCurrent},
        {ClockSlider::kMemory, request.memoryMin, request.memoryMax, request.memoryCurrent},
    }};
    for (const Domain& d : domains) {
        SliderState& slider = clockSlider(d.slider);
        if (!adjustable(gpu, mode, d.slider)) {
            disable(slider);
            continue;
        }
        int high = gpu::toMHz(d.maxKHz);
        if (unlockMax_) {
            high = high * kUnlockMaxNumerator / kUnlockMaxDenominator;
        }
        slider.setRange(unlockMin_ ? 0 : gpu::toMHz(d.minKHz), high);
        slider.setPos(gpu::toMHz(d.currentKHz));
        slider.enabled = true;
    }
    return drv::kOk;
}

void MainDialogModel::loadVoltageControl(uint8_t gpu, int mode, bool readFromCard) {
    GpuUiEntry& e = entries_[gpu];
    SliderState& slider = controls_.coreVoltage;
    uint32_t low = 0, high = 0;
    switch (voltageControl(gpu)) {
        case VoltageControl::kSlot2: {
            if (!layer_.coreVoltageRange(gpu, mode, low, high)) {
                disable(slider);
                return;
            }
            slider.setRange(static_cast<int>(low), static_cast<int>(high));
            e.voltageRangeMinMv =
                static_cast<int32_t>(gpu::GpuLayer::regulatorCodeToMillivolts(low));
            e.voltageRangeMaxMv =
                static_cast<int32_t>(gpu::GpuLayer::regulatorCodeToMillivolts(high));
            uint8_t code = 0;
            const bool read = layer_.kindRegulatorCode(gpu, mode, code) == drv::kOk;
            slider.setPos(read ? code : e.voltageSetting[static_cast<size_t>(mode)]);
            slider.enabled = true;
            return;
        }
        case VoltageControl::kSlot3: {
            layer_.coreVoltageRange(gpu, mode, low, high);
            slider.setRange(static_cast<int>(low), static_cast<int>(high));
            uint8_t step = 0;
            if (readFromCard &&
                layer_.readRegister(gpu, gpu::kSlotRegulator3, gpu::chip::kStepRegulatorRegStep,
                                    step) == drv::kOk) {
                slider.setPos(step);
            } else {
                slider.setPos(e.voltageSetting[0]);
            }
            slider.enabled = true;
            return;
        }
        case VoltageControl::kSlot7: {
            layer_.coreVoltageRange(gpu, mode, low, high);
            slider.setRange(static_cast<int>(low), static_cast<int>(high));
            uint8_t code = 0;
            if (readFromCard && layer_.readRegister(gpu, gpu::kSlotRegulator7,
                                                    gpu::chip::kSlot7RegCode, code) == drv::kOk) {
                slider.setPos(code);
            } else if (validMode(mode)) {
                slider.setPos(e.voltageSetting[static_cast<size_t>(mode)]);
            }
            slider.enabled = true;
            return;
        }
        case VoltageControl::kDriverTable: {
            // The slider shows the mode's entry as the card holds it now; without one it has
            // no value to offer and stays disabled.
            slider.setRange(kDriverTableMinMv,
                            driverTableMaxMillivolts(layer_.record(gpu).deviceId()));
            int32_t millivolts = 0;
            const bool read = layer_.voltageTableEntry(gpu, mode, millivolts) == drv::kOk;
            slider.setPos(read ? millivolts : kDriverTableMinMv);
            slider.enabled = read;
            return;
        }
        case VoltageControl::kNone:
            disable(slider);
            return;
    }
}

void MainDialogModel::loadMemoryVoltage(uint8_t gpu) {
    SliderState& slider = controls_.memoryVoltage;
    uint32_t low = 0, high = 0;
    if (layer_.slot6CodeRange(gpu, low, high) == 0) {
        disable(slider);
        return;
    }
    slider.setRange(static_cast<int>(low), static_cast<int>(high));
    // The entry holds no memory voltage, so the slider always starts from the card.
    uint8_t step = 0;
    if (layer_.readRegister(gpu, gpu::kSlotRegulator6, gpu::chip::kStepRegulatorRegStep, step) ==
        drv::kOk) {
        slider.setPos(step);
    }
    slider.enabled = true;
}

void MainDialogModel::loadFanControls(uint8_t gpu, bool readFromCard) {
    GpuUiEntry& e = entries_[gpu];
    const gpu::GpuRecord& r = layer_.record(gpu);
    const bool cooler = r.fanKind != gpu::kFanNoCooler;
    SliderState& slider = controls_.fanSpeed;
    uint32_t low = 0, high = 0;
    if (layer_.fanDutyRange(gpu, low, high) != drv::kOk || high == 0 || low >= high) {
        low = kFanRangeDefaultMin;
        high = kFanRangeDefaultMax;
    }
    slider.setRange(static_cast<int>(low), static_cast<int>(high));
    slider.enabled = cooler;
    controls_.fanMode.enabled = cooler;
    // Loaded from the card, the mode button shows what the card does now (after saved settings
    // or a profile were applied), not what the window last knew. On the driver cooler the mode
    // read also refreshes the level read below.
    int mode = 0;
    if (cooler && readFromCard && layer_.fanMode(gpu, mode) == drv::kOk) {
        e.fanAutomatic = mode == gpu::GpuLayer::kFanModeAutomatic ? 1 : 0;
    }
    setFanAutomatic(e.fanAutomatic != 0);
    if (!cooler) {
        return;
    }
    int32_t level = -1;
    if (readFromCard && layer_.fanSpeed(gpu, level, r.fanSetInRpm()) == drv::kOk) {
        slider.setPos(level);
    } else if (e.fanSetting >= 0) {
        slider.setPos(e.fanSetting);
    }
}

void MainDialogModel::loadKeplerControls(uint8_t gpu) {
    const bool kepler = layer_.record(gpu).keplerClass;
    controls_.gpuOffset.visible = kepler;
    controls_.memoryOffset.visible = kepler;
    disable(controls_.gpuOffset);
    disable(controls_.memoryOffset);
    if (!kepler) {
        return;
    }
    drv::Pstates20Info info{};
    if (layer_.pstates20Info(gpu, info) != drv::kOk || info.numPstates == 0) {
        return;
    }
    const drv::Pstates20Pstate& p0 = info.pstates[0];
    const uint32_t clocks = std::min(info.numClocks, drv::kPstates20MaxClocks);
    for (uint32_t c = 0; c < clocks; ++c) {
        const drv::Pstates20Clock& clock = p0.clocks[c];
        if (clock.domainId == drv::kClockDomainGraphics) {
            controls_.gpuOffset.setRange(clock.freqDeltaKHz.min / gpu::kKHzPerMHz,
                                         clock.freqDeltaKHz.max / gpu::kKHzPerMHz);
            controls_.gpuOffset.setPos(clock.freqDeltaKHz.value / gpu::kKHzPerMHz);
            controls_.gpuOffset.enabled = true;
        } else if (clock.domainId == drv::kClockDomainMemory) {
            controls_.memoryOffset.setRange(kMemoryOffsetMinMHz, kMemoryOffsetMaxMHz);
            controls_.memoryOffset.setPos(clock.freqDeltaKHz.value / gpu::kKHzPerMHz);
            controls_.memoryOffset.enabled = true;
        }
    }
}

// The frame-rate limit is the driver's, for every GPU alike: a limit it holds shows as the
// pressed toggle and the slider at that rate; none leaves the toggle up. An unreadable limit
// leaves both as they are.
void MainDialogModel::loadFrameRateControl() {
    uint32_t limit = 0;
    if (layer_.frameRateLimit(limit) != drv::kOk) {
        return;
    }
    setFrameRateTarget(limit != 0);
    if (limit != 0) {
        controls_.frameRate.setPos(static_cast<int>(std::min<uint32_t>(limit, kFrameRateMax)));
    }
}

// ---- Toggles ----------------------------------------------------------------------------------

void MainDialogModel::setLinked(bool linked) {
    controls_.link.pressed = linked;
    controls_.link.setCaptionRow(linked ? lang::kTextLinked : lang::kTextUnlinked);
    if (gpuOnShow_ != kNoGpu) {
        entries_[static_cast<size_t>(gpuOnShow_)].linked = linked ? 1 : 0;
    }
}

bool MainDialogModel::setSynchronous(bool on) {
    if (on && layer_.gpuCount() < 2) {
        return false;
    }
    controls_.synchronous.pressed = on;
    return true;
}

void MainDialogModel::setFanAutomatic(bool automatic) {
    controls_.fanMode.pressed = automatic;
    controls_.fanMode.setCaptionRow(automatic ? lang::kTextFanAuto : lang::kTextFanManual);
}

void MainDialogModel::setFrameRateTarget(bool on) {
    controls_.frameRateToggle.pressed = on;
    controls_.frameRate.enabled = on;
}

void MainDialogModel::refreshUnlockCaptions() {
    if (unlockMin_) {
        controls_.unlockMin.setFixedCaption(kRelockMinCaption);
    } else {
        controls_.unlockMin.setCaptionRow(lang::kTextUnlockMin);
    }
    if (unlockMax_) {
        controls_.unlockMax.setFixedCaption(kRelockMaxCaption);
    } else {
        controls_.unlockMax.setCaptionRow(lang::kTextUnlockMax);
    }
}

void MainDialogModel::toggleUnlockMin() {
    unlockMin_ = !unlockMin_;
    refreshUnlockCaptions();
    if (gpuOnShow_ != kNoGpu) {
        loadClockControls(entries_[static_cast<size_t>(gpuOnShow_)].selectedMode);
    }
}

void MainDialogModel::toggleUnlockMax() {
    unlockMax_ = !unlockMax_;
    refreshUnlockCaptions();
    if (gpuOnShow_ != kNoGpu) {
        loadClockControls(entries_[static_cast<size_t>(gpuOnShow_)].selectedMode);
    }
}

}  // namespace qv::tuning
