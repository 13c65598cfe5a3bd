// One simulated card at a moment: its configuration and state together, with the values the
// card shows (current level, clocks, voltage, power, fan) and the physical model that moves its
// temperature and fan speed through time.
//
// Model: board power grows with load, graphics clock and the square of the core voltage, and is
// held under the power limit. The temperature approaches ambient + power × resistance, where
// airflow divides the resistance by (1 + cooling × airflow), with a first-order time constant;
// the fan's speed approaches the speed its controller asks for with its own time constant.
#pragma once

#include <cstddef>
#include <cstdint>

#include "SimConfig.h"
#include "SimState.h"

namespace qv::sim {

// Registers of the slot-0 fan chip that the board's behaviour depends on.
inline constexpr uint8_t kFc0RegMode = 0x60;
inline constexpr uint8_t kFc0ModeManual = 0x01;
inline constexpr uint8_t kFc0RegOffset = 0x64;
inline constexpr uint8_t kFc0RegPeriodHigh = 0x74;
inline constexpr uint8_t kFc0RegPeriodLow = 0x75;
inline constexpr uint8_t kFc0RegCurveTemp1 = 0xA1;  // 0xA1..0xA4
inline constexpr uint8_t kFc0RegCurveRpm1 = 0xA5;   // 0xA5..0xA9
inline constexpr size_t kFc0CurveTemps = 4;
inline constexpr size_t kFc0CurveRpms = 5;
inline constexpr uint32_t kFc0RpmConstant = 1500000;  // rpm = constant ÷ period or count
inline constexpr uint32_t kFc0CurveShift = 4;

// Registers of the slot-1 fan chip that the board's behaviour depends on.
inline constexpr uint8_t kFc1RegDutyManual = 0x31;
inline constexpr uint8_t kFc1RegMode = 0x5D;
inline constexpr uint8_t kFc1ModeManualBits = 0xE0;

// Code registers of the slot-2 regulator and the one of the slot-7 regulator.
inline constexpr uint8_t kRegACodeFirst = 0x15;  // 0x15..0x18
inline constexpr size_t kRegACodeCount = 4;
inline constexpr uint32_t kRegACodeBaseMv = 450;
inline constexpr double kRegACodeStepMv = 12.5;
inline constexpr uint8_t kRegACodeMask = 0x7F;
inline constexpr uint8_t kRegBCode = 0x15;
inline constexpr uint32_t kRegBMaxCode = 25;
inline constexpr uint8_t kStepRegStep = 0x01;
inline constexpr uint32_t kStepMaxStep = 10;
inline constexpr uint32_t kVoltageStepUv = 12500;  // one regulator step or code

inline constexpr uint32_t kPercentScale = 100000;  // power limits: thousandths of a percent

class Board {
public:
    Board(const GpuConfig& config, GpuState& state) : config_(config), state_(state) {}

    bool hasTable() const { return !config_.levels.empty(); }
    // Index of the level the card runs in now; it follows the load.
    size_t currentLevel() const;
    bool isTopLevel(size_t level) const { return level == topLevelIndex(config_); }
    // Current frequency of a clock as the card runs it (P0 carries the P-states 2.0 offsets).
    uint32_t clockKHz(size_t level, size_t clock) const;
    // What P-states 2.0 add to a clock of the top level (0 elsewhere).
    int64_t pstateOffsetKHz(size_t level, size_t clock) const;
    // Current frequency of a domain in the current level, 0 when the level lacks it.
    uint32_t currentDomainKHz(uint32_t domain) const;
    // A level's core voltage as the driver's voltage table holds it now.
    uint32_t levelVoltageUv(size_t level) const;
    uint32_t coreVoltageUv() const;
    // Index of the slot-2 code register the current level selects (0..3).
    size_t regulatorSelect() const;

    double powerLimitW() const;
    double powerW() const;

    int temperatureC() const;  // whole degrees, as every sensor reports it
    // The chip's own sensor: reads `bias` below the GPU until the offset register corrects it.
    int chipTemperatureC(int noise) const;

    // The fan: what its controller asks for, the level the driver reports, the speed.
    uint32_t fanTargetRpm() const;
    uint32_t fanDutyPercent() const;  // the actual speed as a percent of full scale
    bool driverPolicyDrivesFan() const;
    uint32_t driverAutoLevel() const;
    uint32_t driverCoolerLevel() const;
    uint32_t fanRpm() const;
    uint32_t chip0AutoRpm() const;

    // Moves the model on by `seconds`. Large steps are split; any length is safe.
    void advance(double seconds);
    // Brings temperature and fan to their resting values for the present inputs.
    void settle();

private:
    double powerDemandW() const;
    double stepOnce(double seconds);

    const GpuConfig& config_;
    GpuState& state_;
};

}  // namespace qv::sim
