#include "SimChips.h"

#include <algorithm>
#include <cmath>

namespace qv::sim {

namespace {

bool isMonitor(size_t slot) {
    return slot == kSlotPowerMonitor9 || slot == kSlotPowerMonitor10 || slot == kSlotPowerMonitor11;
}

bool isMonitorWord(uint8_t reg) { return reg == kPmRegBus || reg == kPmRegPower; }

uint8_t clampByte(double v) {
    return static_cast<uint8_t>(std::clamp<long>(std::lround(v), 0, 0xFF));
}

uint8_t curveValueForRpm(uint32_t rpm) {
    return rpm == 0 ? 0 : static_cast<uint8_t>(std::min<uint32_t>((kFc0RpmConstant / rpm) >>
                                                                       kFc0CurveShift,
                                                                   0xFF));
}

// Power-on curve of the slot-0 chip: temperature points, and rpm points as parts of full scale.
constexpr uint8_t kFc0PowerOnTemps[kFc0CurveTemps] = {80, 60, 45, 0};
constexpr double kFc0PowerOnRpmParts[kFc0CurveRpms] = {1.0, 0.8, 0.6, 0.45, 0.4};

}  // namespace

void ChipBus::powerOn(size_t slot, const GpuConfig& config, ChipState& chip) {
    chip = ChipState{};
    const ChipConfig& c = config.chips[slot];
    auto& r = chip.regs;
    switch (slot) {
        case kSlotFanChip0:
            r[kFc0RegConfig] = kFc0ConfigPowerOn;
            r[kFc0RegAlarm] = c.alarmC;
            r[kFc0RegCapability] = c.capability == 64 ? kFc0Capability64 : 0;
            for (size_t i = 0; i < kFc0CurveTemps; ++i) {
                r[kFc0RegCurveTemp1 + i] = kFc0PowerOnTemps[i];
            }
            for (size_t i = 0; i < kFc0CurveRpms; ++i) {
                const auto rpm = static_cast<uint32_t>(config.fanMaxRpm * kFc0PowerOnRpmParts[i]);
                r[kFc0RegCurveRpm1 + i] = curveValueForRpm(rpm);
            }
            break;
        case kSlotWireless:
            r[wireless::kWirelessRegIdentity] = wireless::kWirelessIdentityValue;
            r[wireless::kWirelessRegRegion] = c.region;
            for (size_t i = 0; i < c.version.size(); ++i) {
                r[wireless::kWirelessRegVersion + i] = c.version[i];
            }
            r[wireless::kWirelessRegWorkState] = c.workState;
            r[wireless::kWirelessRegChannel] = c.channel;
            r[wireless::kWirelessRegMode] = wireless::kWirelessModeAutomatic;
            break;
        case kSlotFanChip1:
            r[kFc1RegIdS] = 's';
            r[kFc1RegIdA] = 'A';
            r[kFc1RegMode] = kFc1ModePowerOn;
            r[kFc1RegDutyManual] = 0x80;
            r[kFc1RegConfigA] = 0x40;
            r[kFc1RegConfigB] = 0x40;
            break;
        case kSlotRegulatorA:
            for (size_t i = 0; i < kRegACodeCount; ++i) {
                r[kRegACodeFirst + i] = c.codes[i];
            }
            break;
        case kSlotStepRegulator3:
        case kSlotStepRegulator6:
            r[kStepRegStep] = c.step;
            break;
        case kSlotMemoryRegulator:
            r[kMemRegCode] = c.code;
            break;
        case kSlotRegulatorB:
            r[kRegBCode] = c.code;
            break;
        case kSlotAuxiliary8:
            r[kAuxRegValue] = c.value;
            break;
        case kSlotPowerMonitor9:
        case kSlotPowerMonitor10:
        case kSlotPowerMonitor11:
            r[kPmRegConfig] = kPmConfigPowerOn;
            break;
        default:
            break;
    }
}

int ChipBus::findSlot(uint8_t port, uint8_t address) const {
    for (size_t s = 0; s < kSlotCount; ++s) {
        const ChipConfig& c = config_.chips[s];
        if (c.present && kSlotPorts[s] == port && c.address == address) {
            return static_cast<int>(s);
        }
    }
    return -1;
}

int ChipBus::noise() {
    // xorshift32: cheap, and different from call to call within a process.
    uint32_t x = transient_.rng;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    transient_.rng = x;
    switch (x & 3) {
        case 0:
            return -1;
        case 1:
            return 1;
        default:
            return 0;
    }
}

uint8_t ChipBus::currentCoarse() const {
    const Board board(config_, state_);
    const double amps =
        std::min(board.powerW() * 0.025 / (0.95 * kRailVolts), kFc0CurrentFullScale);
    const double raw = amps / kFc0CurrentScale;
    return static_cast<uint8_t>(std::floor(raw / kFc0CurrentCoarse));
}

uint16_t ChipBus::monitorWord(size_t slot, uint8_t reg) const {
    const ChipConfig& c = config_.chips[slot];
    if (reg == kPmRegBus) {
        return static_cast<uint16_t>(std::lround(c.busMv / kPmBusMvPerBit) & 0xFFFF);
    }
    const Board board(config_, state_);
    const double counts = board.powerW() * c.share / kPmWattsPerBit;
    return static_cast<uint16_t>(std::clamp<long>(std::lround(counts), 0, 0xFFFF));
}

uint8_t ChipBus::readRegister(size_t slot, uint8_t reg, bool peekOnly) {
    auto& regs = state_.chips[slot].regs;
    const Board board(config_, state_);
    switch (slot) {
        case kSlotFanChip0: {
            if (reg != kFc0RegCurrent && !peekOnly) {
                transient_.currentSecondRead = false;
            }
            switch (reg) {
                case kFc0RegAddress:
                    return config_.chips[slot].address;
                case kFc0RegRail:
                    return clampByte(kRailVolts / kFc0RailScale);
                case kFc0RegVoltage:
                    return clampByte(board.coreVoltageUv() / 1e6 / kFc0VoltageScale);
                case kFc0RegTachHigh:
                case kFc0RegTachLow: {
                    const uint32_t rpm = board.fanRpm();
                    const uint32_t count = rpm == 0 ? 0 : std::min<uint32_t>(kFc0RpmConstant / rpm, 0xFFFF);
                    return static_cast<uint8_t>(reg == kFc0RegTachHigh ? count >> 8 : count & 0xFF);
                }
                case kFc0RegPeriodHigh:
                case kFc0RegPeriodLow: {
                    if ((regs[kFc0RegMode] & kFc0ModeManual) != 0) {
                        return regs[reg];
                    }
                    const uint32_t rpm = board.chip0AutoRpm();
                    const uint32_t period = rpm == 0 ? 0 : std::min<uint32_t>(kFc0RpmConstant / rpm, 0xFFFF);
                    return static_cast<uint8_t>(reg == kFc0RegPeriodHigh ? period >> 8 : period & 0xFF);
                }
                case kFc0RegCurrent: {
                    const double amps = std::min(board.powerW() * 0.025 / (0.95 * kRailVolts),
                                                 kFc0CurrentFullScale);
                    const double raw = amps / kFc0CurrentScale;
                    const uint8_t coarse = currentCoarse();
                    const auto fine = static_cast<uint8_t>(
                        std::lround((raw - coarse * kFc0CurrentCoarse) / kFc0CurrentFine));
                    if (peekOnly) {
                        return coarse;
                    }
                    if (transient_.currentSecondRead) {
                        transient_.currentSecondRead = false;
                        return transient_.currentFine;
                    }
                    transient_.currentSecondRead = true;
                    transient_.currentFine = fine;
                    transient_.rng = transient_.rng * 1664525u + 1013904223u;
                    return (transient_.rng >> 16) % kFc0GlitchOneIn == 0 ? kFc0GlitchValue : coarse;
                }
                default:
                    return regs[reg];
            }
        }
        case kSlotFanChip1:
            switch (reg) {
                case kFc1RegTachLow:
                case kFc1RegTachHigh: {
                    if (!config_.chips[slot].tachWire) {
                        return kFc1NoTach;
                    }
                    const uint32_t rpm = board.fanRpm();
                    const uint32_t count = rpm == 0 ? 0xFFFF : std::min<uint32_t>(kFc1RpmConstant / rpm, 0xFFFF);
                    return static_cast<uint8_t>(reg == kFc1RegTachHigh ? count >> 8 : count & 0xFF);
                }
                case kFc1RegDutyDriver:
                    // The PWM output follows the driver's level at once; only the rotor lags.
                    // Rounded up, so that reading it back as a percent gives the level again.
                    return static_cast<uint8_t>(
                        std::min<uint32_t>((board.driverCoolerLevel() * 255 + 99) / 100, 0xFF));
                case kFc1RegDutyManual:
                    if ((regs[kFc1RegMode] & kFc1ModeManualBits) == kFc1ModeManualBits) {
                        return regs[reg];
                    }
                    return clampByte(board.fanDutyPercent() * 255.0 / 100.0);
                default:
                    return regs[reg];
            }
        case kSlotRegulatorA:
            if (reg == kRegRegId) {
                return kRegAIdValue;
            }
            if (reg == kRegARegSelect) {
                return static_cast<uint8_t>((regs[reg] & ~kRegASelectMask) |
                                            (board.regulatorSelect() << kRegASelectShift));
            }
            return regs[reg];
        case kSlotRegulatorB:
            return reg == kRegRegId ? kRegBIdValue : regs[reg];
        case kSlotWireless: {
            // The frequency follows the channel the module sends on.
            const int mhz = wireless::kWirelessChannelFirstMHz +
                            wireless::kWirelessChannelStepMHz * regs[wireless::kWirelessRegChannel];
            if (reg == wireless::kWirelessRegFrequency) {
                return static_cast<uint8_t>(mhz >> 8);
            }
            if (reg == wireless::kWirelessRegFrequency + 1) {
                return static_cast<uint8_t>(mhz & 0xFF);
            }
            return regs[reg];
        }
        default:
            return regs[reg];
    }
}

void ChipBus::writeRegister(size_t slot, uint8_t reg, uint8_t value) {
    auto& regs = state_.chips[slot].regs;
    switch (slot) {
        case kSlotFanChip0:
            if (reg != kFc0RegCurrent) {
                transient_.currentSecondRead = false;
            }
            switch (reg) {
                case kFc0RegControl:
                    if ((value & kFc0ControlConvert) != 0) {
                        const Board board(config_, state_);
                        regs[kFc0RegTemperature] = static_cast<uint8_t>(board.chipTemperatureC(noise()));
                    }
                    regs[reg] = static_cast<uint8_t>(value & ~kFc0ControlConvert);
                    return;
                case kFc0RegAddress:
                case kFc0RegRail:
                case kFc0RegVoltage:
                case kFc0RegTemperature:
                case kFc0RegTachHigh:
                case kFc0RegTachLow:
                case kFc0RegCurrent:
                    return;  // read-only: the chip acknowledges and ignores the byte
                default:
                    regs[reg] = value;
                    return;
            }
        case kSlotFanChip1:
            switch (reg) {
                case kFc1RegIdS:
                case kFc1RegIdA:
                case kFc1RegTachLow:
                case kFc1RegTachHigh:
                case kFc1RegDutyDriver:
                    return;
                case kFc1RegConfigA:
                case kFc1RegConfigB:
                    regs[reg] = static_cast<uint8_t>(value & kFc1ConfigWritable);
                    return;
                default:
                    regs[reg] = value;
                    return;
            }
        case kSlotRegulatorA:
        case kSlotRegulatorB:
            if (reg != kRegRegId) {
                regs[reg] = value;
            }
            return;
        case kSlotWireless:
            if (reg == wireless::kWirelessRegChannel) {
                // A channel outside the list is refused; the module stays where it is.
                if (value < wireless::kWirelessChannelEntries) {
                    regs[reg] = value;
                    regs[wireless::kWirelessRegMode] = wireless::kWirelessModeManual;
                }
            } else if (reg == wireless::kWirelessRegMode &&
                       value == wireless::kWirelessModeAutomatic) {
                regs[reg] = value;
                regs[wireless::kWirelessRegChannel] = config_.chips[slot].channel;
            }
            return;  // the other registers are read-only
        default:
            regs[reg] = value;
            return;
    }
}

void ChipBus::read(size_t slot, uint8_t reg, uint8_t* data, size_t size) {
    size_t i = 0;
    while (i < size) {
        if (isMonitor(slot) && isMonitorWord(reg)) {
            const uint16_t word = monitorWord(slot, reg);
            data[i++] = static_cast<uint8_t>(word >> 8);
            if (i < size) {
                data[i++] = static_cast<uint8_t>(word & 0xFF);
            }
        } else {
            data[i++] = readRegister(slot, reg, false);
        }
        reg = static_cast<uint8_t>(reg + 1);
    }
}

void ChipBus::write(size_t slot, uint8_t reg, const uint8_t* data, size_t size) {
    size_t i = 0;
    while (i < size) {
        if (isMonitor(slot) && isMonitorWord(reg)) {
            i += 2;  // measurement registers take no writes
        } else {
            writeRegister(slot, reg, data[i++]);
        }
        reg = static_cast<uint8_t>(reg + 1);
    }
}

uint8_t ChipBus::peek(size_t slot, uint8_t reg) {
    if (isMonitor(slot) && isMonitorWord(reg)) {
        return static_cast<uint8_t>(monitorWord(slot, reg) >> 8);
    }
    return readRegister(slot, reg, true);
}

void ChipBus::poke(size_t slot, uint8_t reg, uint8_t value) { state_.chips[slot].regs[reg] = value; }

}  // namespace qv::sim
