// The main window's record of one GPU slot: live values, targets per clock work mode, and the
// user's link and fan choices. -1 means unknown.
#pragma once

#include <array>
#include <cstdint>

namespace qv::tuning {

// Per-kind arrays are indexed by the level kind itself (1 = 2D, 2 = 3D performance,
// 3 = 3D low power); slot 0 of a clock target group is never used.
inline constexpr size_t kUiKindSlots = 4;

struct GpuUiEntry {
    // Live values, kept current by the sampling loop.
    int32_t gpuClockMHz = -1;
    int32_t shaderClockMHz = -1;
    int32_t memoryClockMHz = -1;
    int32_t temperatureC = -1;
    int32_t fanPercent = -1;
    int32_t fanRpm = -1;
    int32_t coreVoltageMv = -1;
    int32_t powerW = -1;
    // The slot-2 regulator's code range for the chosen mode, in millivolts.
    int32_t voltageRangeMinMv = -1;
    int32_t voltageRangeMaxMv = -1;
    // When the fan was last read, milliseconds since system start (0: never).
    uint32_t fanReadTimeMs = 0;

    // Clock targets by level kind, kHz.
    std::array<int32_t, kUiKindSlots> gpuTargetKHz{};
    std::array<int32_t, kUiKindSlots> shaderTargetKHz{};
    std::array<int32_t, kUiKindSlots> memoryTargetKHz{};

    // Fan slider setting: percent, or rpm on a cooler driven by rpm.
    int32_t fanSetting = -1;
    // Core voltage settings by level kind: slot 0 holds the slot-3 regulator's step, slots 1-3
    // the voltage slider's value for that mode.
    std::array<int32_t, kUiKindSlots> voltageSetting{};

    uint8_t linked = 1;
    uint8_t fanAutomatic = 1;

    // The chosen clock work mode (level kind 1, 2 or 3); 0 until one is chosen.
    int32_t selectedMode = 0;
};

}  // namespace qv::tuning
