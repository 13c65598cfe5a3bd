// Hand-made GPU descriptions and live values for the monitor's tests.
#pragma once

#include "monitor/CurveModel.h"
#include "monitor/MonitorFeed.h"

namespace qv::monitor::test {

// A GPU that offers every item, with a GPU clock of 300-1000 MHz, memory 500-2000 MHz and
// shader 600-2000 MHz.
inline MonitorGpu fullGpu(bool headroom = false) {
    MonitorGpu gpu;
    gpu.present = true;
    gpu.offers.fill(true);
    gpu.clockHeadroom = headroom;
    gpu.clockRanges[kItemGpuClock] = {300000, 1000000};
    gpu.clockRanges[kItemMemoryClock] = {500000, 2000000};
    gpu.clockRanges[kItemShaderClock] = {600000, 2000000};
    return gpu;
}

inline MonitorBoards boardsOf(std::initializer_list<MonitorGpu> gpus) {
    MonitorBoards boards{};
    size_t slot = 0;
    for (const MonitorGpu& gpu : gpus) {
        boards[slot++] = gpu;
    }
    return boards;
}

inline platform::LocalDateTime timeOf(int hour, int minute, int second) {
    return {2012, 4, 5, hour, minute, second};
}

// The same value for every item of the first `gpus` slots.
inline MonitorLiveValues liveOf(int32_t value, size_t gpus = 1) {
    MonitorLiveValues live;
    for (size_t gpu = 0; gpu < gpus; ++gpu) {
        live.values[gpu].fill(value);
    }
    return live;
}

// A panel 848 pixels wide: 800 samples of history, the plot's right edge at 819.
inline constexpr int kPanelWidth = 848;
inline constexpr int kPanelHeight = 600;

}  // namespace qv::monitor::test
