// Board power from the board's own measuring chips, for the power gauge: the averaged current and
// rail estimate on boards with the slot-0 chip and the slot-3 regulator, else the sum of the
// power monitors in slots 9 to 11. Other boards have no read-out here.
#pragma once

#include <array>
#include <cstdint>

#include "gpu/GpuLayer.h"
#include "gpu/GpuRecord.h"

namespace qv::tuning {

// The current-and-rail estimate: an RMS of current x rail over a number of samples, scaled by
// the sense resistor (0.025) and an efficiency of 0.95. The accumulator of the first estimate of
// a process starts at 0.025 x 10 x 0.025 / 0.95^2, which adds about 1 W to that estimate.
inline constexpr double kSenseResistor = 0.025;
inline constexpr double kSeedRailVolts = 10.0;
inline constexpr double kSeedCurrent = 0.025;
inline constexpr double kEfficiency = 0.95;
inline constexpr double kEstimateSeed =
    kSeedCurrent * kSeedRailVolts * kSenseResistor / (kEfficiency * kEfficiency);
// Above this many watts the estimate marks the gauge as live.
inline constexpr double kGaugeLiveAboveWatts = 1.0;

// Power monitors: register 3 counts 4.9 mW steps.
inline constexpr double kMonitorWattsPerStep = 0.0049;
inline constexpr std::array<uint16_t, 3> kSlot11HeavyDevices = {0x1080, 0x1081, 0x1086};
inline constexpr double kSlot11HeavyFactor = 1.5;
inline constexpr std::array<uint16_t, 5> kMonitorOverreadDevices = {0x1245, 0x0DE0, 0x0DE1, 0x0DC4,
                                                                    0x1244};
inline constexpr double kMonitorOverreadDivisor = 1.1;
inline constexpr std::array<gpu::I2cSlot, 3> kMonitorSlots = {
    gpu::kSlotPowerMonitor9, gpu::kSlotPowerMonitor10, gpu::kSlotPowerMonitor11};

// Which path a board's power comes from.
bool usesPowerEstimate(const gpu::GpuRecord& record);
bool usesPowerMonitors(const gpu::GpuRecord& record);  // and not the estimate

// Watts from an accumulator of `samples` squared current x rail products.
double estimateWatts(double accumulator, uint32_t samples);

// Watts from the three monitors' readings (0 for an absent chip): slot 9 + slot 10, plus slot 11
// (1.5 times on the heavy devices); in kinds 1 and 2 the overreading devices' sum is divided by
// 1.1; each step truncated. Summed in 32 bits, so two large readings do not wrap.
uint32_t monitorWatts(const std::array<uint32_t, 3>& readings, uint32_t deviceId, int levelKind);

struct PowerReading {
    uint32_t watts = 0;
    // The estimate was above 1 W and the gauge is live; the monitors' path leaves the gauge's
    // state to the caller and answers false.
    bool gaugeLive = false;
};

// One object serves every GPU of a process, as the estimate's accumulator is shared.
class BoardPower {
public:
    // Samples per estimate on the current-and-rail path.
    static constexpr uint32_t kEstimateSamples = 10;

    // kOk with the power in whole watts; -104 where the board has no measuring path; the
    // driver status of the first failed read otherwise. `levelKind` is the kind of the level the
    // GPU runs at (it scales the monitors' sum on some boards).
    int read(gpu::GpuLayer& layer, uint8_t gpu, int levelKind, PowerReading& reading);
    int read(gpu::GpuLayer& layer, uint8_t gpu, int levelKind, uint32_t& watts);

private:
    int readEstimate(gpu::GpuLayer& layer, uint8_t gpu, PowerReading& reading);
    int readMonitors(gpu::GpuLayer& layer, uint8_t gpu, int levelKind, PowerReading& reading);

    double accumulator_ = -1.0;  // below 0: not started yet
};

}  // namespace qv::tuning
