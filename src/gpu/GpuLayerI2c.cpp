// Register access to the boards' own chips, and finding those chips at initialisation.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <type_traits>

#include "gpu/BoardIds.h"
#include "gpu/ChipRegisters.h"
#include "gpu/DriverIds.h"
#include "gpu/GpuLayer.h"

namespace qv::gpu {

namespace {

constexpr uint32_t kI2cDisplayMask = 1;
constexpr uint32_t kMaxRegisterBytes = 4;
constexpr uint32_t kMaxDataBytes = 64;

drv::I2cInfo makeRequest(const I2cDeviceSlot& slot, uint8_t* reg, uint32_t regCount,
                         uint8_t* data, uint32_t dataCount) {
    drv::I2cInfo info{};
    info.version = drv::kI2cInfoVersion;
    info.displayMask = kI2cDisplayMask;
    info.isDdcPort = slot.port;
    info.deviceAddress = slot.address;
    info.registerAddress = reg;
    info.registerAddressSize = regCount;
    info.data = data;
    info.dataSize = dataCount;
    info.speedKHz = drv::kI2cSpeedKHz;
    return info;
}

}  // namespace

int GpuLayer::transferRegisters(uint8_t gpu, I2cSlot slot, const uint8_t* reg, uint32_t regCount,
                                uint8_t* data, uint32_t dataCount, I2cDirection direction) {
    if (!validGpu(gpu) || slot >= kI2cSlotCount || regCount > kMaxRegisterBytes ||
        dataCount > kMaxDataBytes) {
        return drv::kInvalidArgument;
    }
    GpuRecord& r = records_[gpu];
    // A slot without a found chip has no address; 0 is the bus's general call, which every
    // chip on the bus would take as its own.
    if (!r.hasChip(slot)) {
        return drv::kNotSupported;
    }
    if (!r.i2cMutex) {
        return drv::kError;
    }
    std::unique_lock lock(*r.i2cMutex, std::defer_lock);
    if (!lock.try_lock_for(std::chrono::milliseconds(kI2cMutexWaitMs))) {
        return drv::kError;
    }
    // The driver takes a non-const register buffer; hand it a copy.
    uint8_t regCopy[kMaxRegisterBytes] = {};
    if (regCount > 0) {
        std::memcpy(regCopy, reg, regCount);
    }
    const bool write = direction == I2cDirection::kWrite;
    // Read and write take the same arguments, so one function type serves both.
    static_assert(std::is_same_v<drv::I2cReadFn, drv::I2cWriteFn> &&
                  std::is_same_v<drv::I2cReadExFn, drv::I2cWriteExFn>);
    drv::I2cInfo info = makeRequest(r.slots[slot], regCopy, regCount, data, dataCount);
    int status =
        driver_.call<drv::I2cReadFn>(write ? drv::kI2cWrite : drv::kI2cRead, r.handle, &info);
    if (status != drv::kOk) {
        info = makeRequest(r.slots[slot], regCopy, regCount, data, dataCount);
        uint32_t extended = 0;
        status = driver_.call<drv::I2cReadExFn>(write ? drv::kI2cWriteEx : drv::kI2cReadEx,
                                                r.handle, &info, &extended);
    }
    return status;
}

int GpuLayer::writeRegisters(uint8_t gpu, const uint8_t* reg, uint32_t regCount,
                             const uint8_t* data, uint32_t dataCount, I2cSlot slot) {
    if (dataCount > kMaxDataBytes) {
        return drv::kInvalidArgument;
    }
    // The driver takes a non-const data buffer; hand it a copy.
    uint8_t dataCopy[kMaxDataBytes] = {};
    if (dataCount > 0) {
        std::memcpy(dataCopy, data, dataCount);
    }
    return transferRegisters(gpu, slot, reg, regCount, dataCopy, dataCount, I2cDirection::kWrite);
}

int GpuLayer::readRegisters(uint8_t gpu, const uint8_t* reg, uint32_t regCount, uint8_t* data,
                            uint32_t dataCount, I2cSlot slot) {
    return transferRegisters(gpu, slot, reg, regCount, data, dataCount, I2cDirection::kRead);
}

int GpuLayer::readRegisterPair(uint8_t gpu, I2cSlot slot, uint8_t highReg, uint8_t lowReg,
                               PairOrder order, uint16_t& value) {
    uint8_t high = 0, low = 0;
    const bool lowFirst = order == PairOrder::kLowFirst;
    int status = readRegister(gpu, slot, lowFirst ? lowReg : highReg, lowFirst ? low : high);
    if (status == drv::kOk) {
        status = readRegister(gpu, slot, lowFirst ? highReg : lowReg, lowFirst ? high : low);
    }
    if (status == drv::kOk) {
        value = static_cast<uint16_t>((high << 8) | low);
    }
    return status;
}

int GpuLayer::readRegister(uint8_t gpu, I2cSlot slot, uint8_t reg, uint8_t& value) {
    return readRegisters(gpu, &reg, 1, &value, 1, slot);
}

int GpuLayer::writeRegister(uint8_t gpu, I2cSlot slot, uint8_t reg, uint8_t value) {
    return writeRegisters(gpu, &reg, 1, &value, 1, slot);
}

// ---- Probes ------------------------------------------------------------------------------

bool GpuLayer::probeRegisterValue(uint8_t gpu, I2cSlot slot, uint8_t address, uint8_t reg,
                                  uint8_t expected) {
    I2cDeviceSlot& s = records_[gpu].slots[slot];
    s.address = address;
    uint8_t value = 0;
    if (readRegister(gpu, slot, reg, value) != drv::kOk || value != expected) {
        s.address = 0;
        return false;
    }
    return true;
}

bool GpuLayer::probeReadable(uint8_t gpu, I2cSlot slot, uint8_t address, uint8_t reg) {
    I2cDeviceSlot& s = records_[gpu].slots[slot];
    s.address = address;
    uint8_t value = 0;
    if (readRegister(gpu, slot, reg, value) != drv::kOk) {
        s.address = 0;
        return false;
    }
    return true;
}

// A step regulator proves itself by storing a changed step and reading it back. The step sets
// the core voltage, so the original step goes back as soon as the answer is known: finding the
// chip must not move the voltage.
bool GpuLayer::probeStepRegulator(uint8_t gpu, I2cSlot slot) {
    I2cDeviceSlot& s = records_[gpu].slots[slot];
    s.address = chip::kStepRegulatorAddress;
    uint8_t original = 0;
    bool found = false;
    if (readRegister(gpu, slot, chip::kStepRegulatorRegStep, original) == drv::kOk) {
        const uint8_t changed = original == 0 ? 1 : static_cast<uint8_t>(original - 1);
        if (writeRegister(gpu, slot, chip::kStepRegulatorRegStep, changed) == drv::kOk) {
            uint8_t readBack = 0;
            found = readRegister(gpu, slot, chip::kStepRegulatorRegStep, readBack) == drv::kOk &&
                    readBack == changed;
            writeRegister(gpu, slot, chip::kStepRegulatorRegStep, original);
        }
    }
    if (!found) {
        s.address = 0;
    }
    return found;
}

void GpuLayer::probeI2cChips(uint8_t gpu) {
    GpuRecord& r = records_[gpu];
    for (size_t slot = 0; slot < kI2cPortedSlots; ++slot) {
        r.slots[slot].port = kI2cSlotPorts[slot];
    }
    const uint32_t device = r.deviceId();

    if (inSet(kSlot3ProbeSet, device)) {
        probeStepRegulator(gpu, kSlotRegulator3);
    }
    detectSlot0FanChip(gpu);
    detectSlot1Chip(gpu);
    if (inSet(kSlot2ProbeSet, device) &&
        probeRegisterValue(gpu, kSlotRegulator2, chip::kRegulatorAddressE0,
                           chip::kRegulatorRegIdentity, chip::kSlot2Identity)) {
        drv::PerfClockTable table;
        if (readClockTable(gpu, drv::kPerfAllLevels, table) == drv::kOk) {
            r.memoryWriteAs1000 = true;
        }
    }
    probeReadable(gpu, kSlotRegulator5, chip::kSlot5Address, chip::kSlot5RegProbe);
    if (inSet(kSlot6ProbeSet, device)) {
        probeStepRegulator(gpu, kSlotRegulator6);
    }
    if (inSet(kSlot7ProbeSet, device) &&
        probeRegisterValue(gpu, kSlotRegulator7, chip::kRegulatorAddressE0,
                           chip::kRegulatorRegIdentity, chip::kSlot7Identity)) {
        drv::PerfClockTable table;
        if (readClockTable(gpu, drv::kPerfAllLevels, table) == drv::kOk) {
            r.memoryWriteAs1000 = true;
        }
    }
    probeReadable(gpu, kSlotChip8, chip::kSlot8Address, chip::kGenericRegProbe);
    probeReadable(gpu, kSlotPowerMonitor11, chip::kPowerMonitor11Address, chip::kGenericRegProbe);
    probeReadable(gpu, kSlotPowerMonitor10, chip::kPowerMonitor10Address, chip::kGenericRegProbe);
    probeReadable(gpu, kSlotPowerMonitor9, chip::kPowerMonitor9Address, chip::kGenericRegProbe);
}

void GpuLayer::detectSlot0FanChip(uint8_t gpu) {
    GpuRecord& r = records_[gpu];
    for (const uint8_t address : {chip::kSlot0AddressPrimary, chip::kSlot0AddressSecondary}) {
        r.slots[kSlotFanChip0].address = address;
        uint8_t identity = 0;
        if (readRegister(gpu, kSlotFanChip0, chip::kSlot0RegIdentity, identity) != drv::kOk ||
            identity != address) {
            continue;
        }
        if (r.hasChip(kSlotRegulator3)) {
            return;  // the driver keeps the fan on boards that carry both
        }
        r.fanKind = kFanSlot0Chip;
        uint8_t config = 0;
        if (readRegister(gpu, kSlotFanChip0, chip::kSlot0RegConfig, config) == drv::kOk &&
            config >= chip::kSlot0ConfigWriteBackFrom) {
            writeRegister(gpu, kSlotFanChip0, chip::kSlot0RegConfig,
                          static_cast<uint8_t>(config & chip::kSlot0ConfigKeepMask));
        }
        uint8_t capability = 0;
        const bool wide =
            readRegister(gpu, kSlotFanChip0, chip::kSlot0RegCapability, capability) == drv::kOk &&
            (capability & chip::kSlot0Capability64Bit) != 0;
        r.fanCapability = wide ? kFanCapability64 : kFanCapability32;
        const uint32_t full =
            r.fanCapability == kFanCapability64 ? chip::kSlot0FullScaleRpm64 : chip::kSlot0FullScaleRpm;
        r.fanTempLow = chip::kSlot0TemperatureLow;
        r.fanTempHigh = chip::kSlot0TemperatureHigh;
        r.fanRpmFull = full;
        r.fanRpm75 = static_cast<uint32_t>(full * 0.75);
        r.fanRpm51 = static_cast<uint32_t>(full * 0.51);
        calibrateSlot0Offset(gpu);
        return;
    }
    r.slots[kSlotFanChip0].address = 0;
}

// The chip's own sensor reads off the GPU's; its offset register corrects that. The offset is
// the trimmed mean of eight differences, the extremes left out.
void GpuLayer::calibrateSlot0Offset(uint8_t gpu) {
    int8_t current = 0;
    if (readSlot0TemperatureOffset(gpu, current) != drv::kOk) {
        return;
    }
    int32_t sum = 0;
    int32_t smallest = INT32_MAX;
    int32_t largest = INT32_MIN;
    int32_t good = 0;
    for (uint32_t i = 0; i < chip::kCalibrationSamples; ++i) {
        int32_t gpuCelsius = 0;
        uint8_t chipCelsius = 0;
        if (gpuTemperature(gpu, gpuCelsius) != drv::kOk ||
            slot0ChipTemperature(gpu, chipCelsius) != drv::kOk) {
            continue;
        }
        const int32_t difference = gpuCelsius - chipCelsius;
        sum += difference;
        smallest = std::min(smallest, difference);
        largest = std::max(largest, difference);
        ++good;
    }
    if (good < static_cast<int32_t>(chip::kCalibrationMinimumGood)) {
        return;
    }
    const int32_t offset = (sum - smallest - largest) / (good - 2) + current;
    writeSlot0TemperatureOffset(gpu, static_cast<int8_t>(std::clamp(offset, -128, 127)));
}

void GpuLayer::detectSlot1Chip(uint8_t gpu) {
    GpuRecord& r = records_[gpu];
    if (probeRegisterValue(gpu, kSlotFanChip1, chip::kSlot1Address, chip::kSlot1RegSignature0,
                           chip::kSlot1Signature0) &&
        probeRegisterValue(gpu, kSlotFanChip1, chip::kSlot1Address, chip::kSlot1RegSignature1,
                           chip::kSlot1Signature1)) {
        r.fanKind = kFanDriverCoolerPaused;
        r.fanRpmFull = 100;  // the duty maximum
        writeRegister(gpu, kSlotFanChip1, chip::kSlot1RegUnlock, chip::kSlot1Unlock);
    }
}

}  // namespace qv::gpu
