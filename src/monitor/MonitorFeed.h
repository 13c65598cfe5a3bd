// What the monitor is given about the GPUs. It never reads the cards: the window's sampling loop
// keeps the live values, and whoever builds the monitor hands them over in these plain records.
#pragma once

#include <array>
#include <cstdint>

#include "monitor/MonitorItems.h"
#include "monitor/Para.h"

namespace qv::monitor {

// A clock domain's range as the hardware layer reports it, kHz.
struct ClockRangeKHz {
    uint32_t minKHz = 0;
    uint32_t maxKHz = 0;
};

// What one GPU slot offers, learnt once when the monitor is built.
struct MonitorGpu {
    bool present = false;  // a GPU the hardware layer reports; its items are fed
    std::array<bool, kMonitorItemCount> offers{};
    // The GPU allows clocks above its default range: its clock scales get headroom.
    bool clockHeadroom = false;
    // By item index; only the three clock items are used.
    std::array<ClockRangeKHz, kMonitorItemCount> clockRanges{};
};

using MonitorBoards = std::array<MonitorGpu, kMonitorGpuSlots>;

// The live values at one moment, by GPU slot and item, in the item's unit; kNoValue where a
// value could not be read.
struct MonitorLiveValues {
    std::array<std::array<int32_t, kMonitorItemCount>, kMonitorGpuSlots> values = [] {
        std::array<std::array<int32_t, kMonitorItemCount>, kMonitorGpuSlots> all{};
        for (auto& gpu : all) {
            gpu.fill(kNoValue);
        }
        return all;
    }();
};

// Which items the user wants drawn, by item index.
using ShownItems = std::array<bool, kMonitorItemCount>;

// Every item shown: what a new user starts with.
inline constexpr ShownItems kAllItemsShown = {true, true, true, true, true, true, true, true};

// The shown flags as the bits of a number (bit n: item n), for the settings store, and back.
constexpr uint32_t shownItemsMask(const ShownItems& shown) {
    uint32_t mask = 0;
    for (size_t i = 0; i < kMonitorItemCount; ++i) {
        if (shown[i]) {
            mask |= 1u << i;
        }
    }
    return mask;
}
constexpr ShownItems shownItemsFromMask(uint32_t mask) {
    ShownItems shown{};
    for (size_t i = 0; i < kMonitorItemCount; ++i) {
        shown[i] = (mask & (1u << i)) != 0;
    }
    return shown;
}

}  // namespace qv::monitor
