#include "app/UserSettingsVoltage.h"

#include "gpu/DriverStatus.h"
#include "tuning/MainDialogModel.h"

namespace qv::app {

namespace {

constexpr uint32_t kLowByte = 0xFF;

// The slot-2 code register of the mode with its present code, when the regulator serves the
// mode: the register is known and the code in it is not 0.
bool slot2Serves(gpu::GpuLayer& layer, uint8_t gpu, const GpuSettingsCapabilities& caps,
                 size_t mode, uint8_t& reg, uint8_t& code, int& status) {
    status = drv::kNotSupported;
    if (!caps.voltage.slot2Regulator) {
        return false;
    }
    reg = layer.record(gpu).regulatorCodeRegisterOf(levelKindOfMode(mode));
    if (reg == 0) {
        return false;
    }
    status = layer.readRegulatorCode(gpu, reg, code);
    return status == drv::kOk && code != 0;
}

// The regulator code for a file value when it lies within the regulator's range for the mode.
bool codeInRange(gpu::GpuLayer& layer, uint8_t gpu, size_t mode, int32_t value, uint8_t& code) {
    const int64_t wanted = fileMillivoltsToRegulatorCode(value);
    uint32_t low = 0;
    uint32_t high = 0;
    if (wanted < 0 || layer.voltageCodeRange(gpu, low, high, levelKindOfMode(mode)) == 0) {
        return false;
    }
    if (wanted < low || wanted > high) {
        return false;
    }
    code = static_cast<uint8_t>(wanted);
    return true;
}

// The driver voltage table's entry of the mode replaced by `value` and the table written back.
// A value outside the range the window's slider offers for the board is not written: a file is
// outside input, and a wrong number there must not reach the card's core voltage.
int writeDriverTableEntry(gpu::GpuLayer& layer, uint8_t gpu, size_t mode, int32_t value) {
    if (value < tuning::kDriverTableMinMv ||
        value > tuning::driverTableMaxMillivolts(layer.record(gpu).deviceId())) {
        return drv::kNotSupported;
    }
    drv::PstatesInfo table{};
    int status = layer.readVoltageTable(gpu, table);
    if (status == drv::kOk) {
        status = gpu::GpuLayer::setTableEntry(table, levelKindOfMode(mode), value);
    }
    return status == drv::kOk ? layer.writeVoltageTable(gpu, table) : status;
}

}  // namespace

void learnRegulatorRegister(gpu::GpuLayer& layer, uint8_t gpu) {
    if (!layer.record(gpu).hasChip(gpu::kSlotRegulator2)) {
        return;
    }
    int kind = gpu::kNoLevelKind;
    layer.currentLevelKind(gpu, kind);
}

int readFileVoltage(gpu::GpuLayer& layer, uint8_t gpu, const GpuSettingsCapabilities& caps,
                    size_t mode, int32_t& value) {
    if (kVoltageKeys[mode] == nullptr) {
        return drv::kInvalidArgument;
    }
    uint8_t reg = 0;
    uint8_t code = 0;
    int status = drv::kNotSupported;
    if (slot2Serves(layer, gpu, caps, mode, reg, code, status)) {
        value = regulatorCodeToFileMillivolts(code);
        return drv::kOk;
    }
    if (status != drv::kNotSupported && status != drv::kOk) {
        return status;  // the regulator serves the mode but could not be read
    }
    if (caps.voltage.slot3Regulator) {
        uint8_t step = 0;
        status =
            layer.readRegister(gpu, gpu::kSlotRegulator3, gpu::chip::kStepRegulatorRegStep, step);
        if (status == drv::kOk) {
            value = step;
        }
        return status;
    }
    if (caps.voltage.driverTable) {
        return layer.voltageTableEntry(gpu, levelKindOfMode(mode), value);
    }
    return drv::kNotSupported;
}

int applyFileVoltage(gpu::GpuLayer& layer, uint8_t gpu, const GpuSettingsCapabilities& caps,
                     size_t mode, int32_t value) {
    if (kVoltageKeys[mode] == nullptr) {
        return drv::kInvalidArgument;
    }
    uint8_t reg = 0;
    uint8_t current = 0;
    int status = drv::kNotSupported;
    uint8_t code = 0;
    if (slot2Serves(layer, gpu, caps, mode, reg, current, status)) {
        if (!codeInRange(layer, gpu, mode, value, code)) {
            return drv::kNotSupported;
        }
        return layer.writeRegulatorCode(gpu, reg, code);
    }
    if (status != drv::kNotSupported && status != drv::kOk) {
        return status;  // the regulator serves the mode but could not be read
    }
    if (caps.voltage.slot7Regulator) {
        if (!codeInRange(layer, gpu, mode, value, code)) {
            return drv::kNotSupported;
        }
        return layer.writeRegister(gpu, gpu::kSlotRegulator7, gpu::chip::kSlot7RegCode, code);
    }
    if (caps.voltage.slot3Regulator) {
        return layer.setStepRegulator(
            gpu, gpu::kSlotRegulator3,
            static_cast<int32_t>(static_cast<uint32_t>(value) & kLowByte));
    }
    if (caps.voltage.driverTable && mode == kMode3DPerformance) {
        return writeDriverTableEntry(layer, gpu, mode, value);
    }
    return drv::kNotSupported;
}

}  // namespace qv::app
