#include "tuning/SamplingLoop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "gpu/DriverStatus.h"
#include "gpu/Units.h"
#include "lang/LanguageRows.h"
#include "settings/RegistryValues.h"

namespace qv::tuning {

namespace {

constexpr const char* kClockFormat = "%d";
constexpr const char* kVoltsFormat = "%4.2f";
constexpr int32_t kUnknown = -1;

// The alarm makes no sound and powers nothing off where the caller gave it no way to.
class SilentBeeper final : public platform::Beeper {
public:
    bool beep(uint32_t, uint32_t) override { return false; }
};

class NoPowerOff final : public platform::PowerOff {
public:
    int request(const std::string&, uint32_t) override { return platform::kPowerOffFailed; }
};

std::string formatted(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string formatted(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

SamplingLoop::SamplingLoop(gpu::GpuLayer& layer, MainDialogModel& model, SamplingServices services)
    : layer_(layer),
      model_(model),
      services_(std::move(services)),
      alarm_(services_.alarmTemplate) {}

SampleResult SamplingLoop::tick(bool alarmWindowOpen) {
    SampleResult result;
    const auto count = static_cast<uint8_t>(std::min<size_t>(layer_.gpuCount(), kUiGpuSlots));
    readAlarmValues();
    for (uint8_t gpu = 0; gpu < count; ++gpu) {
        readAndRegulate(gpu, alarmWindowOpen, result);
    }
    std::vector<OverlayGpu> overlay;
    overlay.reserve(count);
    fanRead_ = false;
    for (uint8_t gpu = 0; gpu < count; ++gpu) {
        overlay.push_back(readForOverlay(gpu));
    }
    if (fanRead_) {
        // Keeps the targets of the GPU on show following its sliders, and every GPU's record of
        // its fan mode and level following the cards (a rule, the boost or qvctl may have moved
        // them). Once a tick: each store reads every GPU's fan.
        model_.storeSettingsOfGpuOnShow(true);
    }
    const bool frameRateMeasured =
        services_.overlay != nullptr && services_.overlay->measuresFrameRate();
    const std::string text = buildOverlayText(overlaySwitches(), overlay, frameRateMeasured);
    if (services_.overlay != nullptr && overlayFeed_.update(text)) {
        services_.overlay->setOverlayText(text);
        result.overlayHandedOver = true;
    }
    return result;
}

void SamplingLoop::readAlarmValues() {
    alarmSet_.reset();
    alarmValue_.reset();
    if (services_.store == nullptr) {
        return;
    }
    uint32_t value = 0;
    if (services_.store->readValue(settings::kValueTemperatureAlarmSet, value)) {
        alarmSet_ = value;
    }
    if (services_.store->readValue(settings::kValueTemperatureAlarmValue, value)) {
        alarmValue_ = value;
    }
}

// ---- Pass 1: read and regulate ---------------------------------------------------------------

void SamplingLoop::readAndRegulate(uint8_t gpu, bool alarmWindowOpen, SampleResult& result) {
    pass_[gpu] = {};
    const bool shown = gpu == model_.gpuOnShow();
    if (shown) {
        readClocksOfGpuOnShow(gpu, result.display);
        readVidVoltageOfGpuOnShow(gpu, result.display);
    }
    readPower(gpu, result.display);
    readTemperature(gpu, alarmWindowOpen, result);
    readFan(gpu, result.display);
    // A rule fed an unknown temperature would take the card for cold and slow its fan down.
    if (pass_[gpu].fanRead && pass_[gpu].temperatureRead) {
        runFanRules(gpu);
    }
    if (shown) {
        readCoreVoltageOfGpuOnShow(gpu, result.display);
    }
}

void SamplingLoop::readClocksOfGpuOnShow(uint8_t gpu, SampleDisplay& display) {
    display.clocksShown = false;
    display.gpuClock = {};
    display.memoryClock = {};
    display.shaderClock = {};
    const int mode = model_.entry(gpu).selectedMode;
    if (mode == kNoMode) {
        return;
    }
    gpu::PerfClockRequest request;
    const int status = layer_.readLevelClocks(gpu, request, mode);
    if (status != drv::kOk) {
        layer_.reenumerateOnStatus(status);
        return;
    }
    display.clocksShown = true;
    const MainDialogControls& controls = model_.controls();
    // The request carries the level's own limits. They are the ones the sliders span; the
    // limits scanned at start-up are filed by the levels' flags, which on some boards name
    // another level than the one a mode addresses.
    struct Domain {
        Reading& reading;
        const SliderState& slider;
        uint32_t currentKHz;
        uint32_t minKHz;
        uint32_t maxKHz;
    };
    const std::array<Domain, 3> domains = {{
        {display.gpuClock, controls.gpuClock, request.graphicsCurrent, request.graphicsMin,
         request.graphicsMax},
        {display.memoryClock, controls.memoryClock, request.memoryCurrent, request.memoryMin,
         request.memoryMax},
        {display.shaderClock, controls.shaderClock, request.processorCurrent, request.processorMin,
         request.processorMax},
    }};
    for (const Domain& d : domains) {
        if (!d.slider.enabled) {
            continue;
        }
        const int mhz = gpu::toMHz(d.currentKHz);
        const bool outside = d.currentKHz < d.minKHz || d.currentKHz > d.maxKHz;
        d.reading =
            Reading::of(mhz, formatted(kClockFormat, mhz), outside ? kReadoutRed : kReadoutGrey);
    }
}

void SamplingLoop::readVidVoltageOfGpuOnShow(uint8_t gpu, SampleDisplay& display) {
    display.vidVoltage = {};
    const int mode = model_.entry(gpu).selectedMode;
    uint8_t code = 0;
    if (model_.voltageControl(gpu) != VoltageControl::kSlot2 ||
        layer_.kindRegulatorCode(gpu, mode, code) != drv::kOk) {
        return;
    }
    const double millivolts = gpu::GpuLayer::regulatorCodeToMillivolts(code);
    display.vidVoltage = Reading::of(static_cast<int>(millivolts),
                                     formatted(kVoltsFormat, gpu::millivoltsToVolts(millivolts)));
}

void SamplingLoop::readPower(uint8_t gpu, SampleDisplay& display) {
    const gpu::GpuRecord& record = layer_.record(gpu);
    const bool monitors = usesPowerMonitors(record);
    if (!monitors && !usesPowerEstimate(record)) {
        return;  // no measuring path: the entry is left alone
    }
    int kind = kNoMode;
    if (monitors && layer_.currentLevelKind(gpu, kind) != drv::kOk) {
        kind = kNoMode;
    }
    PowerReading reading;
    GpuUiEntry& entry = model_.entry(gpu);
    if (power_[gpu].read(layer_, gpu, kind, reading) == drv::kOk) {
        entry.powerW = static_cast<int32_t>(reading.watts);
    } else {
        entry.powerW = kUnknown;
    }
    if (gpu == model_.gpuOnShow()) {
        display.repaintPower = true;
    }
}

void SamplingLoop::readTemperature(uint8_t gpu, bool alarmWindowOpen, SampleResult& result) {
    int32_t celsius = 0;
    AlarmInput input;
    input.gpu = gpu;
    input.temperatureRead = layer_.gpuTemperature(gpu, celsius) == drv::kOk;
    input.temperature = celsius;
    input.alarmSet = alarmSet_;
    input.alarmValue = alarmValue_;
    input.gpuOnShow = gpu == model_.gpuOnShow();
    // One alarm window at a time, also when two GPUs run hot on the same tick.
    input.alarmWindowOpen = alarmWindowOpen || result.alarmWindowMessage.has_value();
    const AlarmDecision decision = alarm_.check(input);
    model_.entry(gpu).temperatureC = decision.storedTemperature;
    pass_[gpu].temperatureRead = input.temperatureRead;

    SilentBeeper silent;
    NoPowerOff noPowerOff;
    platform::Beeper& beeper = services_.beeper != nullptr ? *services_.beeper : silent;
    platform::PowerOff& powerOff = services_.powerOff != nullptr ? *services_.powerOff : noPowerOff;
    const AlarmEffects effects = carryOutAlarm(decision, beeper, powerOff);
    result.shutdownRequested = result.shutdownRequested || effects.shutdownRequested;
    if (decision.openAlarmWindow && !result.alarmWindowMessage) {
        result.alarmWindowMessage = decision.message;
    }
    if (input.gpuOnShow) {
        result.display.repaintTemperature = true;
    }
}

void SamplingLoop::readFan(uint8_t gpu, SampleDisplay& display) {
    GpuUiEntry& entry = model_.entry(gpu);
    const gpu::GpuRecord& record = layer_.record(gpu);
    const bool shown = gpu == model_.gpuOnShow();
    // The driver cooler's level comes from the cooler table that the mode read fetches, so
    // every GPU on it reads its mode first, not only the GPU on show.
    if (shown || record.fanKind == gpu::kFanDriverCooler) {
        int mode = 0;
        const bool read = layer_.fanMode(gpu, mode) == drv::kOk;
        if (shown) {
            display.fanModeRow = !read                                      ? -1
                                 : mode == gpu::GpuLayer::kFanModeAutomatic ? lang::kTextFanAuto
                                                                            : lang::kTextFanManual;
        }
    }
    if (record.familyA) {
        const uint64_t now =
            (services_.clock != nullptr ? *services_.clock : platform::SystemClock::instance())
                .tickMs();
        entry.fanReadTimeMs = static_cast<uint32_t>(now);
    }
    int32_t percent = kUnknown;
    pass_[gpu].fanRead = layer_.fanPercent(gpu, percent) == drv::kOk;
    entry.fanPercent = pass_[gpu].fanRead ? percent : kUnknown;
    fanReadsRpm_[gpu] = hasCooler(gpu) && layer_.fanReadsRpm(gpu);
    int32_t rpm = kUnknown;
    if (!fanReadsRpm_[gpu] || layer_.fanRpm(gpu, rpm) != drv::kOk) {
        rpm = kUnknown;
    }
    entry.fanRpm = rpm;
}

void SamplingLoop::runFanRules(uint8_t gpu) {
    const gpu::GpuRecord& record = layer_.record(gpu);
    const GpuUiEntry& entry = model_.entry(gpu);
    fan::FanRuleInput input;
    input.familyC = record.familyC;
    input.curveSwitch = record.fanCurveEnabled;
    input.temperature = entry.temperatureC;
    input.measuredPercent = entry.fanPercent;
    uint32_t minimum = 0, maximum = 0;
    if (layer_.fanDutyRange(gpu, minimum, maximum) == drv::kOk) {
        input.dutyMinimum = record.fanLevelScaled()
                                ? static_cast<uint32_t>(record.fanLevelToPercent(minimum))
                                : minimum;
    }
    const fan::FanCommand command =
        fan::evaluateFanRules(input, fanSwitches(), curve_.curve, curve_.mode, holds_);
    // The rule was worked out from this GPU's own temperature, so it drives this GPU's fan.
    if (hasCooler(gpu) && commandFan(gpu, command) == drv::kOk) {
        noteRuleCommand(gpu, command);
    }
}

void SamplingLoop::noteRuleCommand(uint8_t gpu, const fan::FanCommand& command) {
    if (services_.drivenFans == nullptr) {
        return;
    }
    if (command.kind == fan::FanCommandKind::kLevel) {
        services_.drivenFans->ruleDrives(gpu);
    } else if (command.kind == fan::FanCommandKind::kAutomatic) {
        services_.drivenFans->handedBack(gpu);
    }
}

bool SamplingLoop::tableVoltageMv(uint8_t gpu, int kind, int32_t& millivolts) {
    return model_.voltageControl(gpu) == VoltageControl::kDriverTable &&
           layer_.voltageTableEntry(gpu, kind, millivolts) == drv::kOk;
}

void SamplingLoop::readCoreVoltageOfGpuOnShow(uint8_t gpu, SampleDisplay& display) {
    display.coreVoltage = {};
    double volts = 0.0;
    uint32_t microvolts = 0;
    float regulatorVolts = 0.0f;
    if (layer_.driverCoreVoltage(gpu, microvolts) == drv::kOk) {
        volts = gpu::microvoltsToVolts(microvolts);
    } else if (layer_.regulatorVoltage(gpu, regulatorVolts) == drv::kOk) {
        volts = regulatorVolts;
    } else {
        int kind = kNoMode;
        int32_t tableMv = 0;
        if (layer_.currentLevelKind(gpu, kind) != drv::kOk ||
            !tableVoltageMv(gpu, kind, tableMv)) {
            return;
        }
        volts = gpu::millivoltsToVolts(tableMv);
    }
    int minMv = kUnknown, maxMv = kUnknown;
    switch (model_.voltageControl(gpu)) {
        case VoltageControl::kSlot2:
            minMv = model_.entry(gpu).voltageRangeMinMv;
            maxMv = model_.entry(gpu).voltageRangeMaxMv;
            break;
        case VoltageControl::kDriverTable:
            minMv = kDriverTableMinMv;
            maxMv = driverTableMaxMillivolts(layer_.record(gpu).deviceId());
            break;
        default:
            break;  // no range known: never red
    }
    const double millivolts = gpu::voltsToMillivolts(volts);
    const bool outside = minMv >= 0 && maxMv >= 0 && (millivolts < minMv || millivolts > maxMv);
    display.coreVoltage =
        Reading::of(static_cast<int>(std::lround(millivolts)), formatted(kVoltsFormat, volts),
                    outside ? kReadoutRed : kReadoutGrey);
}

// ---- Pass 2: the overlay's values -------------------------------------------------------------

OverlayGpu SamplingLoop::readForOverlay(uint8_t gpu) {
    GpuUiEntry& entry = model_.entry(gpu);
    const gpu::GpuRecord& record = layer_.record(gpu);
    uint32_t graphics = 0, processor = 0, memory = 0;
    int kind = kNoMode;
    if (layer_.currentClocksAndKind(gpu, graphics, processor, memory, kind) == drv::kOk) {
        entry.gpuClockMHz = gpu::toMHz(graphics);
        entry.shaderClockMHz = record.processorDomainPresent ? gpu::toMHz(processor) : kUnknown;
        entry.memoryClockMHz = gpu::toMHz(memory);
    } else {
        entry.gpuClockMHz = kUnknown;
        entry.shaderClockMHz = kUnknown;
        entry.memoryClockMHz = kUnknown;
    }

    uint32_t microvolts = 0;
    int32_t tableMv = 0;
    if (layer_.driverCoreVoltage(gpu, microvolts) == drv::kOk) {
        entry.coreVoltageMv = static_cast<int32_t>(microvolts / gpu::kMicrovoltsPerMillivolt);
    } else if (kind != kNoMode && tableVoltageMv(gpu, kind, tableMv)) {
        entry.coreVoltageMv = tableMv;
    } else {
        entry.coreVoltageMv = kUnknown;
    }

    readFanInPassTwo(gpu);

    OverlayGpu overlay;
    overlay.graphicsMHz = entry.gpuClockMHz;
    overlay.shaderMHz = entry.shaderClockMHz;
    overlay.memoryMHz = entry.memoryClockMHz;
    overlay.temperature = entry.temperatureC;
    overlay.fanPercent = entry.fanPercent;
    overlay.fanRpm = entry.fanRpm;
    overlay.hasCooler = hasCooler(gpu);
    overlay.fanReadsRpm = fanReadsRpm_[gpu];
    return overlay;
}

void SamplingLoop::readFanInPassTwo(uint8_t gpu) {
    GpuUiEntry& entry = model_.entry(gpu);
    const fan::FanModeSwitches switches = fanSwitches();
    const bool fanTempSet = services_.settings != nullptr && services_.settings->fanTempSet;
    const fan::AssociatedDecision decision = fan::associatedRule(
        layer_.record(gpu).familyC, switches.custom, fanTempSet, entry.temperatureC);
    if (decision.action == fan::AssociatedAction::kSetLevel) {
        if (hasCooler(gpu) && setFanPercent(gpu, decision.level) == drv::kOk) {
            entry.fanPercent = static_cast<int32_t>(decision.level);
            noteRuleCommand(gpu, fan::FanCommand::level(decision.level));
        }
        return;
    }
    int32_t percent = kUnknown;
    if (layer_.fanPercent(gpu, percent) != drv::kOk) {
        entry.fanPercent = kUnknown;
        return;
    }
    entry.fanPercent = percent;
    fanRead_ = true;
}

// ---- Fan ------------------------------------------------------------------------------------

int SamplingLoop::setFanPercent(uint8_t gpu, uint32_t percent) {
    return layer_.setFanLevel(gpu, layer_.record(gpu).percentToFanLevel(percent));
}

int SamplingLoop::commandFan(uint8_t gpu, const fan::FanCommand& command) {
    int status = drv::kOk;
    switch (command.kind) {
        case fan::FanCommandKind::kNone:
            return drv::kOk;
        case fan::FanCommandKind::kAutomatic:
            status = layer_.setFanAutomatic(gpu);
            break;
        case fan::FanCommandKind::kLevel:
            status = setFanPercent(gpu, command.percent);
            break;
    }
    model_.entry(gpu).fanReadTimeMs = 0;
    return status;
}

void SamplingLoop::sendFanCommand(const fan::FanCommand& command) {
    const auto count = static_cast<uint8_t>(std::min<size_t>(layer_.gpuCount(), kUiGpuSlots));
    std::vector<gpu::FanControllerKind> kinds;
    kinds.reserve(count);
    for (uint8_t gpu = 0; gpu < count; ++gpu) {
        kinds.push_back(layer_.record(gpu).fanKind);
    }
    const int onShow = model_.gpuOnShow();
    const auto selected = static_cast<uint8_t>(onShow == kNoGpu ? gpu::kMaxGpus : onShow);
    for (const fan::FanTarget& target :
         fan::fanCommandTargets(command, model_.controls().link.pressed, selected, kinds)) {
        // The window's command is the user's own: the fan is no longer the rules' to return.
        if (commandFan(target.gpu, target.command) == drv::kOk && services_.drivenFans != nullptr) {
            services_.drivenFans->handedBack(target.gpu);
        }
    }
}

bool SamplingLoop::hasCooler(uint8_t gpu) const {
    return layer_.record(gpu).fanKind != gpu::kFanNoCooler;
}

fan::FanModeSwitches SamplingLoop::fanSwitches() const {
    fan::FanModeSwitches switches;
    if (services_.settings == nullptr) {
        return switches;
    }
    const settings::RegistrySettings& s = *services_.settings;
    switches.custom = s.highSet != 0;
    switches.silent = s.highSet2 != 0;
    switches.performance = s.highSet3 != 0;
    switches.templowSet = s.templowSet;
    switches.fansSet = s.fansSet;
    switches.tempSet = s.tempSet;
    switches.fansHighSet = s.fansHighSet;
    return switches;
}

OverlaySwitches SamplingLoop::overlaySwitches() const {
    OverlaySwitches switches;
    if (services_.settings == nullptr) {
        return switches;
    }
    switches.clock = services_.settings->osdClockShow;
    switches.temperature = services_.settings->osdTempShow;
    switches.framerate = services_.settings->osdFramerateShow;
    switches.fan = services_.settings->osdFanSpeedShow;
    return switches;
}

}  // namespace qv::tuning
