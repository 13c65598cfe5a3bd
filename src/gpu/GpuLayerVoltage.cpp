// Core voltage: the driver's reading and the boards' own regulators and monitors.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "gpu/BoardIds.h"
#include "gpu/ChipRegisters.h"
#include "gpu/DriverIds.h"
#include "gpu/GpuLayer.h"
#include "platform/DebugOutput.h"
#include "gpu/Units.h"

namespace qv::gpu {

float GpuLayer::regulatorCodeToMillivolts(uint32_t code) {
    return chip::kRegulatorBaseMv + chip::kRegulatorStepMv * static_cast<float>(code);
}

int GpuLayer::regulatorMillivoltsToCode(float millivolts) {
    for (uint32_t code = 0; code < chip::kRegulatorCodes; ++code) {
        if (std::fabs(regulatorCodeToMillivolts(code) - millivolts) <= chip::kRegulatorMatchMv) {
            return static_cast<int>(code);
        }
    }
    return -1;
}

int GpuLayer::driverCoreVoltage(uint8_t gpu, uint32_t& microvolts) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    drv::VoltageDomainsStatus status{};
    status.version = drv::kVoltageDomainsStatusVersion;
    const int result = driver_.call<drv::GpuGetVoltageDomainsStatusFn>(
        drv::kGpuGetVoltageDomainsStatus, records_[gpu].handle, &status);
    if (result != drv::kOk) {
        return result;
    }
    const uint32_t count = std::min<uint32_t>(status.count, 16);
    if (count == 0) {
        return drv::kNotSupported;
    }
    // Each domain goes to the debug channel; on a terminal it would repeat every sampling tick.
    platform::debugOutput("Current Voltages:\n");
    for (uint32_t i = 0; i < count; ++i) {
        platform::debugOutput("  Domain[%d] : %s\n", static_cast<int>(i),
                    status.entries[i].domainId == drv::kVoltageDomainCore ? "CORE VOLTAGE"
                                                                          : "UNKNOWN/ERROR");
        platform::debugOutput("Current voltage (in uV) is %d\n", static_cast<int>(status.entries[i].voltageUv));
    }
    microvolts = status.entries[0].voltageUv;
    return drv::kOk;
}

int GpuLayer::regulatorVoltage(uint8_t gpu, float& volts) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    const GpuRecord& r = records_[gpu];
    if (r.hasChip(kSlotRegulator2)) {
        uint8_t select = 0;
        int status = readRegister(gpu, kSlotRegulator2, chip::kSlot2RegSelect, select);
        if (status != drv::kOk) {
            return status;
        }
        const uint8_t codeRegister = static_cast<uint8_t>(
            chip::kSlot2RegCode0 + ((select >> chip::kSlot2SelectShift) & chip::kSlot2SelectMask));
        uint8_t code = 0;
        status = readRegister(gpu, kSlotRegulator2, codeRegister, code);
        if (status != drv::kOk) {
            return status;
        }
        volts = regulatorCodeToMillivolts(code & chip::kRegulatorCodeMask) / kMillivoltsPerVolt;
        return drv::kOk;
    }
    if (!r.hasChip(kSlotFanChip0)) {
        return drv::kNotSupported;
    }
    uint8_t raw = 0;
    const int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegVoltage, raw);
    if (status == drv::kOk) {
        volts = raw * chip::kSlot0AdcStep * chip::kSlot0VoltageScale;
    }
    return status;
}

int GpuLayer::slot0RailValue(uint8_t gpu, float& value) {
    if (!validGpu(gpu) || !records_[gpu].hasChip(kSlotFanChip0)) {
        return drv::kNotSupported;
    }
    uint8_t raw = 0;
    const int status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegRail, raw);
    if (status == drv::kOk) {
        value = raw * chip::kSlot0AdcStep * chip::kSlot0RailScale;
    }
    return status;
}

// The current register is read twice for a coarse and a fine part. A reading above the limit is
// a glitch of the chip and is read again, a few times at most. When the chip does not answer, the
// GPU's last good reading stands in.
int GpuLayer::slot0CurrentValue(uint8_t gpu, float& value) {
    if (!validGpu(gpu) || !records_[gpu].hasChip(kSlotFanChip0)) {
        return drv::kNotSupported;
    }
    GpuRecord& r = records_[gpu];
    float reading = 0.0f;
    int status = drv::kOk;
    for (uint32_t attempt = 0; attempt <= chip::kSlot0CurrentRereads; ++attempt) {
        uint8_t coarse = 0, fine = 0;
        status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegCurrent, coarse);
        if (status == drv::kOk) {
            status = readRegister(gpu, kSlotFanChip0, chip::kSlot0RegCurrent, fine);
        }
        if (status != drv::kOk) {
            break;
        }
        reading = (coarse * chip::kSlot0AdcStep + fine * chip::kSlot0CurrentFineStep) *
                  chip::kSlot0RailScale;
        if (reading <= chip::kSlot0CurrentLimit) {
            break;
        }
    }
    if (status != drv::kOk) {
        if (!r.haveSlot0Current) {
            return status;
        }
        value = r.lastSlot0Current;
        return drv::kOk;
    }
    r.lastSlot0Current = reading;
    r.haveSlot0Current = true;
    value = reading;
    return drv::kOk;
}

int GpuLayer::powerMonitorRegister(uint8_t gpu, I2cSlot slot, uint8_t reg, uint16_t& value) {
    if (slot != kSlotPowerMonitor9 && slot != kSlotPowerMonitor10 && slot != kSlotPowerMonitor11) {
        return drv::kInvalidArgument;
    }
    if (!validGpu(gpu) || !records_[gpu].hasChip(slot)) {
        return drv::kNotSupported;
    }
    uint8_t bytes[2] = {};
    const int status = readRegisters(gpu, &reg, 1, bytes, 2, slot);
    if (status == drv::kOk) {
        value = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
    }
    return status;
}

int GpuLayer::powerMonitorReading(uint8_t gpu, I2cSlot slot, uint16_t& value) {
    return powerMonitorRegister(gpu, slot, chip::kPowerMonitorRegReading, value);
}

int GpuLayer::writeRegulatorCode(uint8_t gpu, uint8_t reg, uint8_t code) {
    if (!validGpu(gpu) || !records_[gpu].hasChip(kSlotRegulator2)) {
        return drv::kNotSupported;
    }
    return writeRegister(gpu, kSlotRegulator2, reg,
                         static_cast<uint8_t>(code & chip::kRegulatorCodeMask));
}

int GpuLayer::readRegulatorCode(uint8_t gpu, uint8_t reg, uint8_t& code) {
    if (!validGpu(gpu) || !records_[gpu].hasChip(kSlotRegulator2)) {
        return drv::kNotSupported;
    }
    const int status = readRegister(gpu, kSlotRegulator2, reg, code);
    if (status == drv::kOk) {
        code &= chip::kRegulatorCodeMask;
    }
    return status;
}

int GpuLayer::voltageCodeRange(uint8_t gpu, uint32_t& low, uint32_t& high, int kind) const {
    if (!validGpu(gpu)) {
        return 0;
    }
    const GpuRecord& r = records_[gpu];
    if (r.hasChip(kSlotRegulator2)) {
        if (slot2RegisterIndex(kind) < 0) {
            return 0;
        }
        low = chip::kSlot2CodeLow;
        high = chip::kSlot2CodeHigh;
        return 1;
    }
    if (r.hasChip(kSlotRegulator3)) {
        low = chip::kStepCodeLow;
        high = chip::kStepCodeHigh;
        return 1;
    }
    if (r.hasChip(kSlotRegulator5)) {
        low = chip::kSlot5CodeLow;
        high = chip::kSlot5CodeHigh;
        return 1;
    }
    if (r.hasChip(kSlotRegulator7)) {
        low = chip::kSlot7CodeLow;
        high = chip::kSlot7CodeHigh;
        return 1;
    }
    return 0;
}

bool GpuLayer::coreVoltageRange(uint8_t gpu, int kind, uint32_t& low, uint32_t& high) const {
    if (!validGpu(gpu)) {
        return false;
    }
    const GpuRecord& r = records_[gpu];
    const bool slot2 = r.hasChip(kSlotRegulator2);
    const bool slot3 = !slot2 && r.hasChip(kSlotRegulator3);
    if ((!slot2 && !slot3 && !r.hasChip(kSlotRegulator7)) ||
        voltageCodeRange(gpu, low, high, kind) == 0) {
        return false;
    }
    if (slot3 && inSet(kNarrowStepBoards, r.deviceId())) {
        high = std::min(high, chip::kNarrowStepHigh);
    }
    return true;
}

int GpuLayer::slot6CodeRange(uint8_t gpu, uint32_t& low, uint32_t& high) const {
    if (!validGpu(gpu) || !records_[gpu].hasChip(kSlotRegulator6)) {
        return 0;
    }
    low = chip::kStepCodeLow;
    high = chip::kStepCodeHigh;
    return 1;
}

int GpuLayer::setStepRegulator(uint8_t gpu, I2cSlot slot, int32_t step) {
    if (slot != kSlotRegulator3 && slot != kSlotRegulator6) {
        return drv::kInvalidArgument;
    }
    if (!validGpu(gpu) || !records_[gpu].hasChip(slot)) {
        return drv::kNotSupported;
    }
    const int32_t clamped = std::clamp(step, static_cast<int32_t>(chip::kStepCodeLow),
                                       static_cast<int32_t>(chip::kStepCodeHigh));
    return writeRegister(gpu, slot, chip::kStepRegulatorRegStep, static_cast<uint8_t>(clamped));
}

int GpuLayer::voltageRegisterForKind(uint8_t gpu, int kind) {
    const int index = slot2RegisterIndex(kind);
    if (index < 0 || !validGpu(gpu)) {
        return drv::kOk;
    }
    GpuRecord& r = records_[gpu];
    if (!r.hasChip(kSlotRegulator2)) {
        return drv::kNotSupported;
    }
    if (r.regulatorCodeRegister[index] != 0) {
        return drv::kOk;
    }
    uint8_t select = 0;
    const int status = readRegister(gpu, kSlotRegulator2, chip::kSlot2RegSelect, select);
    if (status == drv::kOk) {
        r.regulatorCodeRegister[index] = static_cast<uint8_t>(
            chip::kSlot2RegCode0 + ((select >> chip::kSlot2SelectShift) & chip::kSlot2SelectMask));
    }
    return status;
}

int GpuLayer::kindCodeRegister(uint8_t gpu, int kind, uint8_t& reg) {
    if (!validGpu(gpu) || slot2RegisterIndex(kind) < 0) {
        return drv::kNotSupported;
    }
    const int status = voltageRegisterForKind(gpu, kind);
    if (status != drv::kOk) {
        return status;
    }
    reg = records_[gpu].regulatorCodeRegisterOf(kind);
    return reg == 0 ? drv::kNotSupported : drv::kOk;
}

int GpuLayer::kindRegulatorCode(uint8_t gpu, int kind, uint8_t& code) {
    uint8_t reg = 0;
    const int status = kindCodeRegister(gpu, kind, reg);
    return status != drv::kOk ? status : readRegulatorCode(gpu, reg, code);
}

int GpuLayer::setKindRegulatorCode(uint8_t gpu, int kind, uint8_t code) {
    uint8_t reg = 0;
    const int status = kindCodeRegister(gpu, kind, reg);
    return status != drv::kOk ? status : writeRegulatorCode(gpu, reg, code);
}

// ---- Power ---------------------------------------------------------------------------------

int GpuLayer::powerPoliciesInfo(uint8_t gpu, drv::PowerPoliciesInfo& info) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return driver_.call<drv::GpuPowerPoliciesGetInfoFn>(drv::kGpuClientPowerPoliciesGetInfo,
                                                         records_[gpu].handle, &info);
}

int GpuLayer::powerPoliciesStatus(uint8_t gpu, drv::PowerPoliciesStatus& status) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return driver_.call<drv::GpuPowerPoliciesGetStatusFn>(drv::kGpuClientPowerPoliciesGetStatus,
                                                           records_[gpu].handle, &status);
}

int GpuLayer::setPowerPoliciesStatus(uint8_t gpu, const drv::PowerPoliciesStatus& status) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return driver_.call<drv::GpuPowerPoliciesSetStatusFn>(drv::kGpuClientPowerPoliciesSetStatus,
                                                           records_[gpu].handle, &status);
}

int GpuLayer::powerTopologyInfo(uint8_t gpu, drv::PowerTopologyInfo& info) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return driver_.call<drv::GpuPowerTopologyGetInfoFn>(drv::kGpuClientPowerTopologyGetInfo,
                                                         records_[gpu].handle, &info);
}

int GpuLayer::powerTopologyStatus(uint8_t gpu, drv::PowerTopologyStatus& status) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return driver_.call<drv::GpuPowerTopologyGetStatusFn>(drv::kGpuClientPowerTopologyGetStatus,
                                                           records_[gpu].handle, &status);
}

int GpuLayer::raisePowerLimit(uint8_t gpu) {
    drv::PowerPoliciesInfo info{};
    info.version = drv::kPowerPoliciesInfoVersion;
    int status = powerPoliciesInfo(gpu, info);
    if (status != drv::kOk) {
        return status;
    }
    drv::PowerPoliciesStatus current{};
    current.version = drv::kPowerPoliciesStatusVersion;
    status = powerPoliciesStatus(gpu, current);
    if (status != drv::kOk) {
        return status;
    }
    // A driver that lists no policy has no maximum to raise to; writing its zero would set the
    // lowest limit instead.
    if (info.entries[0].maxPower == 0) {
        return drv::kNotSupported;
    }
    current.entries[0].power = info.entries[0].maxPower;
    return setPowerPoliciesStatus(gpu, current);
}

}  // namespace qv::gpu
