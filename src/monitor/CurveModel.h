// The curve control's state and rules, and the panel's layout of it: per GPU slot and item a
// bounded history, the scale of each item, which items are drawn, and the once-a-second tick
// that samples the live values into the histories. The Qt control draws what CurveGeometry
// computes from this model and forwards its timer and mouse to it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "monitor/CCurveQueue.h"
#include "monitor/MonitorFeed.h"
#include "monitor/MonitorItems.h"
#include "platform/LocalTime.h"

namespace qv::monitor {

using CurveQueues = std::array<std::array<CCurveQueue, kMonitorItemCount>, kMonitorGpuSlots>;

// The history that outlives every curve control: each sample a control takes is copied here.
// Sized once, by the first control of the process.
class MirrorHistory {
public:
    bool sized() const { return sized_; }
    // Sizes every queue the first time only; later calls change nothing.
    void sizeOnce(size_t slots);
    CCurveQueue& queue(size_t gpu, size_t item) { return queues_[gpu][item]; }
    const CCurveQueue& queue(size_t gpu, size_t item) const { return queues_[gpu][item]; }
    // The process's one mirror.
    static MirrorHistory& process();

private:
    CurveQueues queues_;
    bool sized_ = false;
};

// The scale and flags of one item.
struct CurveItem {
    int32_t lower = 0;
    int32_t upper = 0;
    int32_t divisor = 1;
    float scale = 1.0f;  // units per pixel
    bool shown = false;
};

// One column of the monitor log: a GPU slot and an item.
struct LogColumn {
    size_t gpu = 0;
    size_t item = 0;
};

class CurveModel {
public:
    // Sets the panel up for the GPUs in `boards`: the supported items, the shown ones among
    // them, the clock scales, the sources, the control's size for the panel's client area, and
    // the histories (the mirror only when no control has sized it before).
    CurveModel(const MonitorBoards& boards, const ShownItems& userShown, int panelClientWidth,
               int panelClientHeight, MirrorHistory& mirror);

    // An item is supported when at least one GPU offers it; temperature always.
    static ShownItems supportedItems(const MonitorBoards& boards);
    // The clock scale over every GPU that offers the clock: the smallest minimum less 10 MHz
    // (not below 0) to the largest maximum plus 10 MHz, and on a GPU that allows clocks above
    // its range, at least 1.2 times (memory 1.5 times) its maximum, plus 10 MHz more.
    static void clockScale(const MonitorBoards& boards, MonitorItem item, int32_t& lower,
                           int32_t& upper);

    // Stores the bounds only when lower < upper and the divisor when it is not 0; the scale
    // becomes (upper - lower) / 130, or 1 when that is 0.
    void setItem(size_t item, int32_t lower, int32_t upper, int32_t divisor);
    // A period above 0 is stored and the caller (re)starts the timer and takes the first sample
    // at once; 0 stops sampling and clears every history of the control. True when sampling runs.
    bool setSamplingPeriod(uint32_t periodMs);
    uint32_t samplingPeriodMs() const { return periodMs_; }
    // The histories as the mirror holds them, each cut to the control's capacity (the newest kept).
    void copyHistoriesFrom(const MirrorHistory& mirror);

    // One sampling tick: the time, the counters, and a sample of every bound source into the
    // control's history and the mirror.
    void tick(const platform::LocalDateTime& now, const MonitorLiveValues& live);

    // ---- State ---------------------------------------------------------------------------------
    const CurveItem& item(size_t index) const { return items_[index]; }
    const ShownItems& supported() const { return supported_; }
    int shownCount() const;
    bool hasSource(size_t gpu, size_t item) const { return bound_[gpu][item]; }
    bool gpuHasSource(size_t gpu) const;
    const char* unit(size_t gpu, size_t item) const { return units_[gpu][item]; }
    const CCurveQueue& queue(size_t gpu, size_t item) const { return queues_[gpu][item]; }
    size_t historySlots() const { return historySlots_; }
    int tickCounter() const { return tickCounter_; }
    uint8_t tenTickCount() const { return tenTicks_; }
    const platform::LocalDateTime& currentTime() const { return now_; }
    // The control's size: the panel's client width + 1, shown items x 150 + 6 high.
    int width() const { return width_; }
    int height() const { return height_; }
    // The control is taller than the panel: the panel scrolls it.
    bool needsScrollBar() const { return height_ > panelHeight_; }
    int plotRight() const { return width_ - kRightStrip; }
    bool grid() const { return grid_; }
    void setGrid(bool on) { grid_ = on; }
    // The log's columns: every GPU slot with a source, and within it every shown item.
    std::vector<LogColumn> logColumns() const;

private:
    std::array<CurveItem, kMonitorItemCount> items_{};
    ShownItems supported_{};
    std::array<std::array<bool, kMonitorItemCount>, kMonitorGpuSlots> bound_{};
    std::array<std::array<const char*, kMonitorItemCount>, kMonitorGpuSlots> units_{};
    CurveQueues queues_;
    MirrorHistory& mirror_;
    size_t historySlots_ = 0;
    uint32_t periodMs_ = 0;
    int tickCounter_ = 0;
    uint8_t tenTicks_ = 0;
    platform::LocalDateTime now_{};
    int width_ = 0;
    int height_ = 0;
    int panelHeight_ = 0;
    bool grid_ = true;
};

}  // namespace qv::monitor
