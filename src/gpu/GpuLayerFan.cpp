// Temperature and fan: the driver's thermal sensors and cooler, and the boards' fan chips.
#include <algorithm>
#include <array>

#include "gpu/ChipRegisters.h"
#include "gpu/DriverIds.h"
#include "gpu/GpuLayer.h"

namespace qv::gpu {

namespace {

constexpr uint32_t kCoolerPauseMs = 20;
constexpr uint32_t kCoolerRepeatPauseMs = 10;
constexpr int kManualRequestRepeats = 2;

// 1 500 000 / value, 0 for 0: the chip's period and rpm are reciprocal.
uint32_t reciprocal(uint32_t numerator, uint32_t value) {
    return value == 0 ? 0 : numerator / value;
}

}  // namespace

// ---- Temperature ---------------------------------------------------------------------------

int GpuLayer::gpuTemperature(uint8_t gpu, int32_t& celsius) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    drv::ThermalSettings settings{};
    settings.version = drv::kThermalSettingsVersion;
    const int status = driver_.call<drv::GpuGetThermalSettingsFn>(
        drv::kGpuGetThermalSettings, records_[gpu].handle, drv::kThermalAllSensors, &settings);
    if (status != drv::kOk) {
        return status;
    }
    const uint32_t count = std::min(settings.count, drv::kThermalMaxSensors);
    for (uint32_t i = 0; i < count; ++i) {
        if (settings.sensor[i].target == drv::kThermalTargetGpu) {
            celsius = static_cast<int32_t>(settings.sensor[i].currentTemp);
            return drv::kOk;
        }
    }
    return drv::kError;
}

int GpuLayer::slot0ChipTemperature(uint8_t gpu, uint8_t& celsius) {
    if (!validGpu(gpu) || !records_[gpu].hasChip(kSlotFanChip0)) {
        return drv::kNotSupported;
    }
    uint8_t control = 0;
    int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegControl, control);
    if (status != drv::kOk) {
        return status;
    }
    status = writeRegister(gpu, kSlotFanChip0, chip::kSlot0RegControl,
                           static_cast<uint8_t>(control | chip::kSlot0ControlTemperatureBit));
    if (status != drv::kOk) {
        return status;
    }
    status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegTemperature, celsius);
    if (status != drv::kOk) {
        return status;
    }
    uint8_t chipStatus = 0;
    readRegister(gpu, kSlotFanChip0, chip::kSlot0RegStatus, chipStatus);
    return drv::kOk;
}

int GpuLayer::readSlot0TemperatureOffset(uint8_t gpu, int8_t& offset) {
    if (!validGpu(gpu) || !records_[gpu].hasChip(kSlotFanChip0)) {
        return drv::kNotSupported;
    }
    uint8_t raw = 0;
    const int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegTemperatureOffset, raw);
    if (status == drv::kOk) {
        offset = static_cast<int8_t>(raw);
    }
    return status;
}

int GpuLayer::writeSlot0TemperatureOffset(uint8_t gpu, int8_t offset) {
    if (!validGpu(gpu) || !records_[gpu].hasChip(kSlotFanChip0)) {
        return drv::kNotSupported;
    }
    return writeRegister(gpu, kSlotFanChip0, chip::kSlot0RegTemperatureOffset,
                         static_cast<uint8_t>(offset));
}

// ---- Driver cooler -------------------------------------------------------------------------

const drv::CoolerSettings::Cooler* GpuLayer::fanCooler(const drv::CoolerSettings& table) const {
    const uint32_t count = std::min(table.count, drv::kMaxCoolers);
    for (uint32_t i = 0; i < count; ++i) {
        if (table.cooler[i].type == drv::kCoolerTypeFan) {
            return &table.cooler[i];
        }
    }
    return nullptr;
}

int GpuLayer::readCoolerTable(uint8_t gpu, drv::CoolerSettings* buffer) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    GpuRecord& r = records_[gpu];
    drv::CoolerSettings& target = buffer != nullptr ? *buffer : r.coolers;
    if (r.fanKind == kFanDriverCoolerPaused) {
        services_.clock->sleepMs(kCoolerPauseMs);
    }
    target = {};
    target.version = drv::kCoolerSettingsVersion;
    const int status = driver_.call<drv::GpuGetCoolerSettingsFn>(
        drv::kGpuGetCoolerSettings, r.handle, drv::kCoolerTargetAll, &target);
    if (status == drv::kOk && buffer == nullptr && target.count == 0) {
        r.fanKind = kFanNoCooler;
    }
    return status;
}

int GpuLayer::readFanDutyRangeIntoRecord(uint8_t gpu) {
    GpuRecord& r = records_[gpu];
    const drv::CoolerSettings::Cooler* fan = fanCooler(r.coolers);
    if (fan == nullptr) {
        return drv::kNotSupported;
    }
    r.fanRpm51 = fan->currentMinLevel;
    if (!r.hasChip(kSlotFanChip1)) {
        r.fanRpmFull = fan->currentMaxLevel;
    }
    return drv::kOk;
}

int GpuLayer::fanDutyRange(uint8_t gpu, uint32_t& minimum, uint32_t& maximum) const {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    minimum = records_[gpu].fanRpm51;
    maximum = records_[gpu].fanRpmFull;
    return drv::kOk;
}

int GpuLayer::sendCoolerLevel(uint8_t gpu, uint32_t level, uint32_t policy) {
    GpuRecord& r = records_[gpu];
    uint32_t index = 0;
    if (const auto* fan = fanCooler(r.coolers); fan != nullptr) {
        index = static_cast<uint32_t>(fan - r.coolers.cooler);
    }
    if (r.fanKind == kFanDriverCoolerPaused) {
        services_.clock->sleepMs(kCoolerPauseMs);
    }
    drv::CoolerLevels levels{};
    levels.version = drv::kCoolerLevelsVersion;
    levels.cooler[0].level = level;
    levels.cooler[0].policy = policy;
    return driver_.call<drv::GpuSetCoolerLevelsFn>(drv::kGpuSetCoolerLevels, r.handle, index,
                                                   static_cast<const drv::CoolerLevels*>(&levels));
}

// ---- Fan operations by controller kind ------------------------------------------------------

const GpuLayer::FanPath& GpuLayer::fanPath(FanControllerKind kind) {
    // By controller kind, in the order of FanControllerKind.
    static constexpr std::array<FanPath, kFanNoCooler + 1> kPaths = {{
        {&GpuLayer::coolerMode, &GpuLayer::coolerSpeed, &GpuLayer::coolerSetLevel,
         &GpuLayer::coolerSetAutomatic},
        // The driver sets the level; the slot-1 chip beside it reads the fan.
        {&GpuLayer::coolerMode, &GpuLayer::pausedCoolerSpeed, &GpuLayer::coolerSetLevel,
         &GpuLayer::coolerSetAutomatic},
        {&GpuLayer::slot1Mode, &GpuLayer::slot1Speed, &GpuLayer::slot1SetLevel,
         &GpuLayer::slot1SetAutomatic},
        {&GpuLayer::slot0Mode, &GpuLayer::slot0Speed, &GpuLayer::slot0SetLevel,
         &GpuLayer::slot0SetAutomatic},
        {&GpuLayer::noCoolerMode, &GpuLayer::noCoolerSpeed, &GpuLayer::noCoolerSetLevel,
         &GpuLayer::noCoolerSetAutomatic},
    }};
    static_assert(kFanDriverCooler == 0 && kFanDriverCoolerPaused == 1 && kFanSlot1Chip == 2 &&
                  kFanSlot0Chip == 3);
    return kind >= 0 && kind < kFanNoCooler ? kPaths[static_cast<size_t>(kind)]
                                            : kPaths[kFanNoCooler];
}

int GpuLayer::fanMode(uint8_t gpu, int& mode) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    const GpuRecord& r = records_[gpu];
    // A slot-0 fan chip that shares no board with a step regulator reports the mode, whichever
    // path drives the fan.
    const bool slot0Reports =
        r.fanKind != kFanNoCooler && r.hasChip(kSlotFanChip0) && !r.hasChip(kSlotRegulator3);
    return (this->*fanPath(slot0Reports ? kFanSlot0Chip : r.fanKind).mode)(gpu, mode);
}

int GpuLayer::fanSpeed(uint8_t gpu, int32_t& value, bool rpm) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return (this->*fanPath(records_[gpu].fanKind).speed)(gpu, value, rpm);
}

int GpuLayer::setFanLevel(uint8_t gpu, uint32_t level) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return (this->*fanPath(records_[gpu].fanKind).setLevel)(gpu, level);
}

int GpuLayer::setFanAutomatic(uint8_t gpu, const uint8_t* temperaturePoints,
                              const uint32_t* rpmPoints) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return (this->*fanPath(records_[gpu].fanKind).setAutomatic)(gpu, temperaturePoints, rpmPoints);
}

int GpuLayer::fanPercent(uint8_t gpu, int32_t& percent) {
    int32_t level = -1;
    const int status = fanSpeed(gpu, level, false);
    if (status != drv::kOk) {
        return status;
    }
    const GpuRecord& r = records_[gpu];
    if (r.fanSetInRpm() && !r.fanLevelScaled()) {
        return drv::kNotSupported;  // an rpm set point with no full speed to measure it against
    }
    percent = r.fanLevelToPercent(level);
    return drv::kOk;
}

int GpuLayer::fanRpm(uint8_t gpu, int32_t& rpm) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    const GpuRecord& r = records_[gpu];
    if (r.fanKind == kFanNoCooler) {
        return drv::kNotSupported;
    }
    const bool chipTachometer =
        r.fanKind == kFanSlot0Chip ||
        (r.hasChip(kSlotFanChip1) && (r.fanCapability & kFanCapabilityTachometer) != 0);
    if (chipTachometer) {
        return fanSpeed(gpu, rpm, true);
    }
    // A fan chip without a tachometer would answer its duty; the driver measures the speed.
    uint32_t reading = 0;
    const int status =
        driver_.call<drv::GpuGetTachReadingFn>(drv::kGpuGetTachReading, r.handle, &reading);
    if (status == drv::kOk) {
        rpm = static_cast<int32_t>(reading);
    }
    return status;
}

bool GpuLayer::fanReadsRpm(uint8_t gpu) {
    if (!validGpu(gpu)) {
        return false;
    }
    const GpuRecord& r = records_[gpu];
    if (r.fanKind == kFanSlot0Chip) {
        return true;
    }
    if (r.hasChip(kSlotFanChip1) && (r.fanCapability & kFanCapabilityTachometer) != 0) {
        return true;
    }
    uint32_t reading = 0;
    return driver_.call<drv::GpuGetTachReadingFn>(drv::kGpuGetTachReading, r.handle, &reading) ==
           drv::kOk;
}

// ---- No cooler ---------------------------------------------------------------------------------

int GpuLayer::noCoolerMode(uint8_t, int&) {
    return drv::kError;
}

int GpuLayer::noCoolerSpeed(uint8_t, int32_t&, bool) {
    return drv::kNotSupported;
}

int GpuLayer::noCoolerSetLevel(uint8_t, uint32_t) {
    return drv::kNotSupported;
}

int GpuLayer::noCoolerSetAutomatic(uint8_t, const uint8_t*, const uint32_t*) {
    return drv::kNotSupported;
}

// ---- The driver's cooler -----------------------------------------------------------------------

int GpuLayer::coolerMode(uint8_t gpu, int& mode) {
    GpuRecord& r = records_[gpu];
    const int status = readCoolerTable(gpu);
    const drv::CoolerSettings::Cooler* fan = status == drv::kOk ? fanCooler(r.coolers) : nullptr;
    if (fan == nullptr) {
        r.cachedFanLevel = -1;
        return status != drv::kOk ? status : drv::kNotSupported;
    }
    mode = fan->currentPolicy == drv::kCoolerPolicyManual ? kFanModeManual : kFanModeAutomatic;
    r.cachedFanLevel = static_cast<int32_t>(fan->currentLevel);
    return drv::kOk;
}

int GpuLayer::coolerSpeed(uint8_t gpu, int32_t& value, bool rpm) {
    const GpuRecord& r = records_[gpu];
    if (rpm) {
        uint32_t reading = 0;
        const int status =
            driver_.call<drv::GpuGetTachReadingFn>(drv::kGpuGetTachReading, r.handle, &reading);
        if (status == drv::kOk) {
            value = static_cast<int32_t>(reading);
        }
        return status;
    }
    value = r.cachedFanLevel;
    return r.cachedFanLevel == -1 ? drv::kError : drv::kOk;
}

int GpuLayer::coolerSetLevel(uint8_t gpu, uint32_t level) {
    int status = drv::kOk;
    for (int i = 0; i < kManualRequestRepeats; ++i) {
        status = sendCoolerLevel(gpu, level, drv::kCoolerPolicyManual);
        services_.clock->sleepMs(kCoolerRepeatPauseMs);
    }
    return status;
}

int GpuLayer::coolerSetAutomatic(uint8_t gpu, const uint8_t*, const uint32_t*) {
    const drv::CoolerSettings::Cooler* fan = fanCooler(records_[gpu].coolers);
    uint32_t policy = fan != nullptr ? fan->defaultPolicy : drv::kCoolerPolicyPerf;
    if (policy == drv::kCoolerPolicyManual) {
        policy = drv::kCoolerPolicyPerf;
    }
    return sendCoolerLevel(gpu, 0, policy);
}

int GpuLayer::pausedCoolerSpeed(uint8_t gpu, int32_t& value, bool rpm) {
    return slot1SpeedFrom(gpu, value, rpm, chip::kSlot1RegDutyKind1);
}

// ---- Slot-1 fan chip ---------------------------------------------------------------------------

int GpuLayer::slot1Mode(uint8_t gpu, int& mode) {
    uint8_t value = 0;
    const int status = readRegister(gpu, kSlotFanChip1, chip::kSlot1RegMode, value);
    if (status == drv::kOk) {
        mode = value >= chip::kSlot1ModeManualFrom ? kFanModeManual : kFanModeAutomatic;
    }
    return status;
}

int GpuLayer::slot1Speed(uint8_t gpu, int32_t& value, bool rpm) {
    return slot1SpeedFrom(gpu, value, rpm, chip::kSlot1RegDutyKind2);
}

// The tachometer when the chip sees one and rpm are asked for, else the duty in percent.
int GpuLayer::slot1SpeedFrom(uint8_t gpu, int32_t& value, bool rpm, uint8_t dutyRegister) {
    if ((records_[gpu].fanCapability & kFanCapabilityTachometer) != 0 && rpm) {
        uint16_t count = 0;
        const int status = readRegisterPair(gpu, kSlotFanChip1, chip::kSlot1RegTachHigh,
                                            chip::kSlot1RegTachLow, PairOrder::kLowFirst, count);
        if (status != drv::kOk) {
            return status;
        }
        const uint32_t speed = reciprocal(chip::kSlot1TachNumerator, count);
        value = speed < chip::kSlot1MinimumRpm ? 0 : static_cast<int32_t>(speed);
        return drv::kOk;
    }
    uint8_t duty = 0;
    const int status = readRegister(gpu, kSlotFanChip1, dutyRegister, duty);
    if (status == drv::kOk) {
        value = static_cast<int32_t>(duty / 255.0 * 100.0);
    }
    return status;
}

int GpuLayer::slot1SetLevel(uint8_t gpu, uint32_t level) {
    // The BIOS names this path whether or not the chip was found; without it, nothing is sent.
    if (!records_[gpu].hasChip(kSlotFanChip1)) {
        return drv::kNotSupported;
    }
    sendCoolerLevel(gpu, level, drv::kCoolerPolicyManual);
    if (records_[gpu].savedFanConfig != -1) {
        writeRegister(gpu, kSlotFanChip1, chip::kSlot1RegConfigKind2, chip::kSlot1ConfigProbe);
    }
    uint8_t mode = 0;
    int status = readRegister(gpu, kSlotFanChip1, chip::kSlot1RegMode, mode);
    if (status == drv::kOk) {
        status = writeRegister(gpu, kSlotFanChip1, chip::kSlot1RegMode,
                               static_cast<uint8_t>(mode | chip::kSlot1ModeManualBits));
    }
    if (status != drv::kOk) {
        return status;
    }
    const auto duty = std::min<uint32_t>(
        static_cast<uint32_t>(level / chip::kSlot1PercentPerDutyStep), chip::kSlot1DutyMax);
    return writeRegister(gpu, kSlotFanChip1, chip::kSlot1RegDutyKind2, static_cast<uint8_t>(duty));
}

int GpuLayer::slot1SetAutomatic(uint8_t gpu, const uint8_t*, const uint32_t*) {
    const GpuRecord& r = records_[gpu];
    if (r.savedFanConfig != -1) {
        writeRegister(gpu, kSlotFanChip1, chip::kSlot1RegConfigKind2,
                      static_cast<uint8_t>(r.savedFanConfig));
    }
    uint8_t mode = 0;
    int status = readRegister(gpu, kSlotFanChip1, chip::kSlot1RegMode, mode);
    if (status == drv::kOk) {
        status = writeRegister(gpu, kSlotFanChip1, chip::kSlot1RegMode,
                               static_cast<uint8_t>(mode & chip::kSlot1ModeKeepMask));
    }
    return status;
}

// ---- Slot-0 fan chip ---------------------------------------------------------------------------

int GpuLayer::slot0Mode(uint8_t gpu, int& mode) {
    uint8_t value = 0;
    const int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, value);
    if (status == drv::kOk) {
        mode = (value & chip::kSlot0ModeManual) != 0 ? kFanModeManual : kFanModeAutomatic;
    }
    return status;
}

// The measured speed in rpm, or the speed the chip is set to.
int GpuLayer::slot0Speed(uint8_t gpu, int32_t& value, bool rpm) {
    uint16_t period = 0;
    int status = drv::kOk;
    if (rpm) {
        status = readRegisterPair(gpu, kSlotFanChip0, chip::kSlot0RegTachHigh,
                                  chip::kSlot0RegTachLow, PairOrder::kHighFirst, period);
    } else {
        uint8_t mode = 0;
        status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, mode);
        if (status == drv::kOk) {
            status = readRegisterPair(gpu, kSlotFanChip0, chip::kSlot0RegPeriodHigh,
                                      chip::kSlot0RegPeriodLow, PairOrder::kHighFirst, period);
        }
    }
    if (status == drv::kOk) {
        value = static_cast<int32_t>(reciprocal(chip::kSlot0PeriodNumerator, period));
    }
    return status;
}

int GpuLayer::slot0SetLevel(uint8_t gpu, uint32_t level) {
    uint8_t mode = 0;
    int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, mode);
    if (status == drv::kOk) {
        mode = static_cast<uint8_t>((mode & ~chip::kSlot0ModeBit2) | chip::kSlot0ModeManual);
        status = writeRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, mode);
    }
    if (status != drv::kOk) {
        return status;
    }
    // The period register is 16 bits wide; very low speeds stop at its largest period.
    const uint32_t period =
        std::min(reciprocal(chip::kSlot0PeriodNumerator, level), chip::kSlot0MaxPeriod);
    status = writeRegister(gpu, kSlotFanChip0, chip::kSlot0RegPeriodHigh,
                           static_cast<uint8_t>(period >> 8));
    if (status != drv::kOk) {
        return status;
    }
    return writeRegister(gpu, kSlotFanChip0, chip::kSlot0RegPeriodLow,
                         static_cast<uint8_t>(period & 0xFF));
}

int GpuLayer::slot0SetAutomatic(uint8_t gpu, const uint8_t* temperaturePoints,
                                const uint32_t* rpmPoints) {
    const GpuRecord& r = records_[gpu];
    uint8_t mode = 0;
    int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, mode);
    if (status == drv::kOk) {
        mode = static_cast<uint8_t>(mode & ~(chip::kSlot0ModeManual | chip::kSlot0ModeBit2));
        status = writeRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, mode);
    }
    if (status != drv::kOk) {
        return status;
    }
    const std::array<uint8_t, chip::kSlot0TemperaturePoints> defaultTemps = {r.fanTempHigh,
                                                                             r.fanTempLow, 0, 0};
    const std::array<uint32_t, chip::kSlot0RpmPoints> defaultRpms = {
        r.fanRpmFull, r.fanRpm75, r.fanRpm51, r.fanRpm51, r.fanRpm51};
    const uint8_t* temps = temperaturePoints != nullptr ? temperaturePoints : defaultTemps.data();
    const uint32_t* rpms = rpmPoints != nullptr ? rpmPoints : defaultRpms.data();
    for (uint32_t i = 0; i < chip::kSlot0TemperaturePoints; ++i) {
        status =
            writeRegister(gpu, kSlotFanChip0,
                          static_cast<uint8_t>(chip::kSlot0RegTemperaturePoint0 + i), temps[i]);
        if (status != drv::kOk) {
            return status;
        }
    }
    for (uint32_t i = 0; i < chip::kSlot0RpmPoints; ++i) {
        const uint32_t point =
            reciprocal(chip::kSlot0PeriodNumerator, rpms[i]) >> chip::kSlot0RpmPointShift;
        status =
            writeRegister(gpu, kSlotFanChip0, static_cast<uint8_t>(chip::kSlot0RegRpmPoint0 + i),
                          static_cast<uint8_t>(std::min<uint32_t>(point, 0xFF)));
        if (status != drv::kOk) {
            return status;
        }
    }
    return drv::kOk;
}

int GpuLayer::setSlot0ManualBit(uint8_t gpu, bool on) {
    if (!validGpu(gpu) || records_[gpu].fanKind != kFanSlot0Chip) {
        return drv::kNotSupported;
    }
    uint8_t mode = 0;
    const int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, mode);
    if (status != drv::kOk) {
        return status;
    }
    mode = on ? static_cast<uint8_t>(mode | chip::kSlot0ModeManualBit)
              : static_cast<uint8_t>(mode & ~chip::kSlot0ModeManualBit);
    return writeRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, mode);
}

}  // namespace qv::gpu
