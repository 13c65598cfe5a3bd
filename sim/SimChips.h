// The board's I2C chips at register level: two fan controllers, the voltage regulators, an
// auxiliary chip and three power monitors. Registers the board's behaviour depends on live in the
// card's state (and so in the state file); registers that measure something are computed from
// the physical model when they are read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "SimBoard.h"
#include "SimConfig.h"
#include "SimState.h"

namespace qv::sim {

// Slot-0 fan chip.
inline constexpr uint8_t kFc0RegControl = 0x01;
inline constexpr uint8_t kFc0ControlConvert = 0x04;  // starts one temperature conversion
inline constexpr uint8_t kFc0RegConfig = 0x02;
inline constexpr uint8_t kFc0ConfigPowerOn = 0x47;
inline constexpr uint8_t kFc0RegAddress = 0x04;
inline constexpr uint8_t kFc0RegRail = 0x12;
inline constexpr uint8_t kFc0RegVoltage = 0x13;
inline constexpr uint8_t kFc0RegTemperature = 0x14;
inline constexpr uint8_t kFc0RegTachHigh = 0x16;
inline constexpr uint8_t kFc0RegTachLow = 0x17;
inline constexpr uint8_t kFc0RegAlarm = 0x1A;
inline constexpr uint8_t kFc0RegCurrent = 0x1F;
inline constexpr uint8_t kFc0RegCapability = 0x92;
inline constexpr uint8_t kFc0Capability64 = 0x04;
inline constexpr double kFc0VoltageScale = 0.008 * 1.47;
inline constexpr double kFc0RailScale = 0.008 * 6.55;
inline constexpr double kFc0CurrentScale = 6.55;
inline constexpr double kFc0CurrentCoarse = 0.008;
inline constexpr double kFc0CurrentFine = 0.002;
inline constexpr double kFc0CurrentFullScale = 0.2;
inline constexpr double kRailVolts = 12.0;
inline constexpr uint32_t kFc0GlitchOneIn = 16;  // how often a current pair starts with a spike
inline constexpr uint8_t kFc0GlitchValue = 0x30;

// Slot-1 fan chip.
inline constexpr uint8_t kFc1RegTachLow = 0x28;
inline constexpr uint8_t kFc1RegTachHigh = 0x29;
inline constexpr uint8_t kFc1RegDutyDriver = 0x30;
inline constexpr uint8_t kFc1RegConfigA = 0x38;
inline constexpr uint8_t kFc1RegConfigB = 0x39;
inline constexpr uint8_t kFc1ConfigWritable = 0xE7;
inline constexpr uint8_t kFc1RegIdS = 0x3D;
inline constexpr uint8_t kFc1RegIdA = 0x3E;
inline constexpr uint8_t kFc1RegUnlock = 0x7B;
inline constexpr uint8_t kFc1ModePowerOn = 0x02;
inline constexpr uint8_t kFc1NoTach = 0xFF;
inline constexpr uint32_t kFc1RpmConstant = 5400000;

// Regulators and the other chips.
inline constexpr uint8_t kRegRegId = 0x1A;
inline constexpr uint8_t kRegAIdValue = 10;
inline constexpr uint8_t kRegBIdValue = 12;
inline constexpr uint8_t kRegARegSelect = 0x1C;
inline constexpr uint8_t kRegASelectShift = 4;
inline constexpr uint8_t kRegASelectMask = 0x30;
inline constexpr uint8_t kMemRegCode = 0x62;
inline constexpr uint8_t kAuxRegValue = 0x01;
inline constexpr uint8_t kPmRegConfig = 0x01;
inline constexpr uint8_t kPmConfigPowerOn = 0x27;
inline constexpr uint8_t kPmRegBus = 0x02;
inline constexpr uint8_t kPmRegPower = 0x03;
inline constexpr double kPmBusMvPerBit = 1.25;
inline constexpr double kPmWattsPerBit = 0.0049;

// The wireless display module's registers are the program's own (gpu/WirelessModuleRegisters.h).

// What a chip remembers only while the process runs.
struct ChipTransient {
    bool currentSecondRead = false;  // the next slot-0 current read gives the fine part
    uint8_t currentFine = 0;
    uint32_t rng = 0x9E3779B9u;
};

class ChipBus {
public:
    ChipBus(const GpuConfig& config, GpuState& state, ChipTransient& transient)
        : config_(config), state_(state), transient_(transient) {}

    // The slot whose chip answers at (port, 8-bit address), -1 when nothing answers there.
    int findSlot(uint8_t port, uint8_t address) const;

    // Register access as the bus sees it. Multi-byte transfers move through consecutive
    // registers; the power monitors' measurement registers are 16 bits, high byte first.
    void read(size_t slot, uint8_t reg, uint8_t* data, size_t size);
    void write(size_t slot, uint8_t reg, const uint8_t* data, size_t size);
    // What a read would give, without the side effects of reading.
    uint8_t peek(size_t slot, uint8_t reg);
    // Sets the stored register byte directly.
    void poke(size_t slot, uint8_t reg, uint8_t value);

    static void powerOn(size_t slot, const GpuConfig& config, ChipState& chip);

private:
    uint8_t readRegister(size_t slot, uint8_t reg, bool peek);
    void writeRegister(size_t slot, uint8_t reg, uint8_t value);
    uint16_t monitorWord(size_t slot, uint8_t reg) const;
    int noise();
    uint8_t currentCoarse() const;

    const GpuConfig& config_;
    GpuState& state_;
    ChipTransient& transient_;
};

}  // namespace qv::sim
