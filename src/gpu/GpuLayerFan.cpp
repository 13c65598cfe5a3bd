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
constexpr uint32_t kMaxPeriod = 0xFFFF;

// 1 500 000 / value, 0 for 0: the chip's period and rpm are reciprocal.
uint32_t reciprocal(uint32_t numerator, uint32_t value) { return value == 0 ? 0 : numerator / value; }

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
    const int status =
        readRegister(gpu, kSlotFanChip0, chip::kSlot0RegTemperatureOffset, raw);
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

int GpuLayer::fanMode(uint8_t gpu, int& mode) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    GpuRecord& r = records_[gpu];
    if (r.fanKind == kFanNoCooler) {
        return drv::kError;
    }
    if (r.hasChip(kSlotFanChip0) && !r.hasChip(kSlotRegulator3)) {
        uint8_t value = 0;
        const int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, value);
        if (status == drv::kOk) {
            mode = (value & chip::kSlot0ModeManual) != 0 ? kFanModeManual : kFanModeAutomatic;
        }
        return status;
    }
    if (r.fanKind == kFanSlot1Chip) {
        uint8_t value = 0;
        const int status = readRegister(gpu, kSlotFanChip1, chip::kSlot1RegMode, value);
        if (status == drv::kOk) {
            mode = value >= chip::kSlot1ModeManualFrom ? kFanModeManual : kFanModeAutomatic;
        }
        return status;
    }
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

int GpuLayer::fanSpeed(uint8_t gpu, int32_t& value, bool rpm) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    GpuRecord& r = records_[gpu];
    switch (r.fanKind) {
        case kFanDriverCooler: {
            if (rpm) {
                uint32_t reading = 0;
                const int status = driver_.call<drv::GpuGetTachReadingFn>(drv::kGpuGetTachReading,
                                                                          r.handle, &reading);
                if (status == drv::kOk) {
                    value = static_cast<int32_t>(reading);
                }
                return status;
            }
            value = r.cachedFanLevel;
            return r.cachedFanLevel == -1 ? drv::kError : drv::kOk;
        }
        case kFanDriverCoolerPaused:
        case kFanSlot1Chip: {
            if ((r.fanCapability & kFanCapabilityTachometer) != 0 && rpm) {
                uint8_t low = 0, high = 0;
                int status = readRegister(gpu, kSlotFanChip1, chip::kSlot1RegTachLow, low);
                if (status == drv::kOk) {
                    status = readRegister(gpu, kSlotFanChip1, chip::kSlot1RegTachHigh, high);
                }
                if (status != drv::kOk) {
                    return status;
                }
                const uint32_t speed = reciprocal(chip::kSlot1TachNumerator, low + 256u * high);
                value = speed < chip::kSlot1MinimumRpm ? 0 : static_cast<int32_t>(speed);
                return drv::kOk;
            }
            const uint8_t reg = r.fanKind == kFanSlot1Chip ? chip::kSlot1RegDutyKind2
                                                           : chip::kSlot1RegDutyKind1;
            uint8_t duty = 0;
            const int status = readRegister(gpu, kSlotFanChip1, reg, duty);
            if (status == drv::kOk) {
                value = static_cast<int32_t>(duty / 255.0 * 100.0);
            }
            return status;
        }
        case kFanSlot0Chip: {
            if (rpm) {
                uint8_t high = 0, low = 0;
                int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegTachHigh, high);
                if (status == drv::kOk) {
                    status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegTachLow, low);
                }
                if (status == drv::kOk) {
                    value = static_cast<int32_t>(
                        reciprocal(chip::kSlot0PeriodNumerator, 256u * high + low));
                }
                return status;
            }
            uint8_t mode = 0, high = 0, low = 0;
            int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, mode);
            if (status == drv::kOk) {
                status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegPeriodHigh, high);
            }
            if (status == drv::kOk) {
                status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegPeriodLow, low);
            }
            if (status == drv::kOk) {
                value = static_cast<int32_t>(
                    reciprocal(chip::kSlot0PeriodNumerator, 256u * high + low));
            }
            return status;
        }
        default:
            return drv::kNotSupported;
    }
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

int GpuLayer::setFanLevel(uint8_t gpu, uint32_t level) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    GpuRecord& r = records_[gpu];
    switch (r.fanKind) {
        case kFanDriverCooler:
        case kFanDriverCoolerPaused: {
            int status = drv::kOk;
            for (int i = 0; i < kManualRequestRepeats; ++i) {
                status = sendCoolerLevel(gpu, level, drv::kCoolerPolicyManual);
                services_.clock->sleepMs(kCoolerRepeatPauseMs);
            }
            return status;
        }
        case kFanSlot1Chip: {
            sendCoolerLevel(gpu, level, drv::kCoolerPolicyManual);
            if (r.savedFanConfig != -1) {
                writeRegister(gpu, kSlotFanChip1, chip::kSlot1RegConfigKind2,
                              chip::kSlot1ConfigProbe);
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
            return writeRegister(gpu, kSlotFanChip1, chip::kSlot1RegDutyKind2,
                                 static_cast<uint8_t>(duty));
        }
        case kFanSlot0Chip: {
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
                std::min(reciprocal(chip::kSlot0PeriodNumerator, level), kMaxPeriod);
            status = writeRegister(gpu, kSlotFanChip0, chip::kSlot0RegPeriodHigh,
                                   static_cast<uint8_t>(period >> 8));
            if (status != drv::kOk) {
                return status;
            }
            return writeRegister(gpu, kSlotFanChip0, chip::kSlot0RegPeriodLow,
                                 static_cast<uint8_t>(period & 0xFF));
        }
        default:
            return drv::kNotSupported;
    }
}

int GpuLayer::setFanAutomatic(uint8_t gpu, const uint8_t* temperaturePoints,
                              const uint32_t* rpmPoints) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    GpuRecord& r = records_[gpu];
    switch (r.fanKind) {
        case kFanDriverCooler:
        case kFanDriverCoolerPaused: {
            const drv::CoolerSettings::Cooler* fan = fanCooler(r.coolers);
            uint32_t policy = fan != nullptr ? fan->defaultPolicy : drv::kCoolerPolicyPerf;
            if (policy == drv::kCoolerPolicyManual) {
                policy = drv::kCoolerPolicyPerf;
            }
            return sendCoolerLevel(gpu, 0, policy);
        }
        case kFanSlot1Chip: {
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
        case kFanSlot0Chip: {
            uint8_t mode = 0;
            int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, mode);
            if (status == drv::kOk) {
                mode = static_cast<uint8_t>(mode & ~(chip::kSlot0ModeManual | chip::kSlot0ModeBit2));
                status = writeRegister(gpu, kSlotFanChip0, chip::kSlot0RegMode, mode);
            }
            if (status != drv::kOk) {
                return status;
            }
            const std::array<uint8_t, chip::kSlot0TemperaturePoints> defaultTemps = {
                r.fanTempHigh, r.fanTempLow, 0, 0};
            const std::array<uint32_t, chip::kSlot0RpmPoints> defaultRpms = {
                r.fanRpmFull, r.fanRpm75, r.fanRpm51, r.fanRpm51, r.fanRpm51};
            const uint8_t* temps = temperaturePoints != nullptr ? temperaturePoints : defaultTemps.data();
            const uint32_t* rpms = rpmPoints != nullptr ? rpmPoints : defaultRpms.data();
            for (uint32_t i = 0; i < chip::kSlot0TemperaturePoints; ++i) {
                status = writeRegister(gpu, kSlotFanChip0,
                                       static_cast<uint8_t>(chip::kSlot0RegTemperaturePoint0 + i),
                                       temps[i]);
                if (status != drv::kOk) {
                    return status;
                }
            }
            for (uint32_t i = 0; i < chip::kSlot0RpmPoints; ++i) {
                const uint32_t point =
                    reciprocal(chip::kSlot0PeriodNumerator, rpms[i]) >> chip::kSlot0RpmPointShift;
                status = writeRegister(gpu, kSlotFanChip0,
                                       static_cast<uint8_t>(chip::kSlot0RegRpmPoint0 + i),
                                       static_cast<uint8_t>(std::min<uint32_t>(point, 0xFF)));
                if (status != drv::kOk) {
                    return status;
                }
            }
            return drv::kOk;
        }
        default:
            return drv::kNotSupported;
    }
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
