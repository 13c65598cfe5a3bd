// The wireless display module's five operations over its I2C registers.
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayer.h"
#include "gpu/WirelessModuleRegisters.h"

namespace qv::gpu {

using namespace wireless;

bool GpuLayer::wirelessPresent(uint8_t gpu) {
    if (!validGpu(gpu)) {
        return false;
    }
    I2cDeviceSlot& slot = records_[gpu].slots[kSlotWireless];
    slot.port = kWirelessPort;
    slot.address = kWirelessAddress;
    uint8_t identity = 0;
    if (readRegister(gpu, kSlotWireless, kWirelessRegIdentity, identity) == drv::kOk &&
        identity == kWirelessIdentityValue) {
        return true;
    }
    slot.address = 0;  // nothing answers: the other operations report the module absent
    return false;
}

int GpuLayer::wirelessRegionVersion(uint8_t gpu, int& region, std::array<int, 3>& version) {
    uint8_t regionCode = 0;
    int status = readRegister(gpu, kSlotWireless, kWirelessRegRegion, regionCode);
    if (status != drv::kOk) {
        return status;
    }
    uint8_t bytes[kWirelessVersionBytes] = {};
    const uint8_t reg = kWirelessRegVersion;
    status = readRegisters(gpu, &reg, 1, bytes, kWirelessVersionBytes, kSlotWireless);
    if (status != drv::kOk) {
        return status;
    }
    region = regionCode;
    for (size_t i = 0; i < version.size(); ++i) {
        version[i] = bytes[i];
    }
    return drv::kOk;
}

int GpuLayer::wirelessWorkState(uint8_t gpu, int& state) {
    uint8_t value = 0;
    const int status = readRegister(gpu, kSlotWireless, kWirelessRegWorkState, value);
    if (status == drv::kOk) {
        state = value;
    }
    return status;
}

int GpuLayer::wirelessFrequency(uint8_t gpu, int& megahertz) {
    uint8_t bytes[2] = {};
    const uint8_t reg = kWirelessRegFrequency;
    const int status = readRegisters(gpu, &reg, 1, bytes, 2, kSlotWireless);
    if (status == drv::kOk) {
        megahertz = (bytes[0] << 8) | bytes[1];
    }
    return status;
}

int GpuLayer::wirelessSetChannel(uint8_t gpu, int index) {
    if (index < 0 || index >= kWirelessChannelEntries) {
        return drv::kInvalidArgument;
    }
    return writeRegister(gpu, kSlotWireless, kWirelessRegChannel, static_cast<uint8_t>(index));
}

int GpuLayer::wirelessLeaveManualMode(uint8_t gpu) {
    return writeRegister(gpu, kSlotWireless, kWirelessRegMode, kWirelessModeAutomatic);
}

}  // namespace qv::gpu
