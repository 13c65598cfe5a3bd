#include "monitor/CurveModel.h"

#include <algorithm>
#include <cmath>

namespace qv::monitor {
namespace {

constexpr int32_t kClockMarginMHz = 10;
constexpr double kClockHeadroom = 1.2;
constexpr double kMemoryHeadroom = 1.5;
constexpr uint32_t kKHzPerMHz = 1000;

int32_t toMHz(uint32_t kHz) {
    return static_cast<int32_t>(kHz / kKHzPerMHz);
}

}  // namespace

void MirrorHistory::sizeOnce(size_t slots) {
    if (sized_) {
        return;
    }
    for (auto& gpu : queues_) {
        for (auto& queue : gpu) {
            queue.resize(slots);
        }
    }
    sized_ = true;
}

MirrorHistory& MirrorHistory::process() {
    static MirrorHistory mirror;
    return mirror;
}

ShownItems CurveModel::supportedItems(const MonitorBoards& boards) {
    ShownItems supported{};
    supported[kItemTemperature] = true;
    for (const MonitorGpu& gpu : boards) {
        if (!gpu.present) {
            continue;
        }
        for (size_t i = 0; i < kMonitorItemCount; ++i) {
            supported[i] = supported[i] || gpu.offers[i];
        }
    }
    return supported;
}

void CurveModel::clockScale(const MonitorBoards& boards, MonitorItem item, int32_t& lower,
                            int32_t& upper) {
    const double headroom = item == kItemMemoryClock ? kMemoryHeadroom : kClockHeadroom;
    bool any = false;
    bool anyHeadroom = false;
    int32_t smallest = 0;
    int32_t largest = 0;
    int32_t withHeadroom = 0;
    for (const MonitorGpu& gpu : boards) {
        if (!gpu.present || !gpu.offers[item]) {
            continue;
        }
        const ClockRangeKHz& range = gpu.clockRanges[item];
        const int32_t minimum = toMHz(range.minKHz);
        smallest = any ? std::min(smallest, minimum) : minimum;
        largest = std::max(largest, toMHz(range.maxKHz));
        any = true;
        if (gpu.clockHeadroom) {
            const auto raised = static_cast<int32_t>(
                std::trunc(static_cast<double>(range.maxKHz) * headroom / kKHzPerMHz));
            withHeadroom = anyHeadroom ? std::max(withHeadroom, raised) : raised;
            anyHeadroom = true;
        }
    }
    if (!any) {
        return;
    }
    lower = std::max(0, (lower != 0 ? std::min(lower, smallest) : smallest) - kClockMarginMHz);
    upper = std::max(largest, upper) + kClockMarginMHz;
    if (anyHeadroom) {
        upper = std::max(withHeadroom, upper) + kClockMarginMHz;
    }
}

CurveModel::CurveModel(const MonitorBoards& boards, const ShownItems& userShown,
                       int panelClientWidth, int panelClientHeight, MirrorHistory& mirror)
    : mirror_(mirror), panelHeight_(panelClientHeight) {
    for (size_t i = 0; i < kMonitorItemCount; ++i) {
        setItem(i, kItems[i].startLower, kItems[i].startUpper, 1);
    }
    supported_ = supportedItems(boards);
    for (size_t i = 0; i < kMonitorItemCount; ++i) {
        items_[i].shown = supported_[i] && userShown[i];
    }
    for (const MonitorItem clock : kClockItemOfSelector) {
        int32_t lower = items_[clock].lower;
        int32_t upper = items_[clock].upper;
        clockScale(boards, clock, lower, upper);
        setItem(clock, lower, upper, 1);
    }
    for (size_t gpu = 0; gpu < kMonitorGpuSlots; ++gpu) {
        for (size_t i = 0; i < kMonitorItemCount; ++i) {
            bound_[gpu][i] = boards[gpu].present;
            units_[gpu][i] = kItems[i].unit;
        }
    }
    width_ = panelClientWidth + 1;
    height_ = shownCount() * kBandHeight + kControlExtraHeight;
    historySlots_ = static_cast<size_t>(std::max(0, panelClientWidth - kHistoryMargin));
    for (size_t gpu = 0; gpu < kMonitorGpuSlots; ++gpu) {
        for (size_t i = 0; i < kMonitorItemCount; ++i) {
            if (bound_[gpu][i]) {
                queues_[gpu][i].resize(historySlots_);
            }
        }
    }
    mirror_.sizeOnce(historySlots_);
}

void CurveModel::setItem(size_t index, int32_t lower, int32_t upper, int32_t divisor) {
    if (index >= kMonitorItemCount) {
        return;
    }
    CurveItem& item = items_[index];
    if (lower < upper) {
        item.lower = lower;
        item.upper = upper;
    }
    if (divisor != 0) {
        item.divisor = divisor;
    }
    const float scale =
        static_cast<float>(item.upper - item.lower) / static_cast<float>(kPlotHeight);
    item.scale = scale == 0.0f ? 1.0f : scale;
}

bool CurveModel::setSamplingPeriod(uint32_t periodMs) {
    periodMs_ = periodMs;
    if (periodMs == 0) {
        for (auto& gpu : queues_) {
            for (auto& queue : gpu) {
                queue.clear();
            }
        }
        return false;
    }
    return true;
}

void CurveModel::copyHistoriesFrom(const MirrorHistory& mirror) {
    for (size_t gpu = 0; gpu < kMonitorGpuSlots; ++gpu) {
        for (size_t i = 0; i < kMonitorItemCount; ++i) {
            if (!bound_[gpu][i]) {
                continue;
            }
            CCurveQueue copy = mirror.queue(gpu, i);
            copy.resize(historySlots_);
            queues_[gpu][i] = std::move(copy);
        }
    }
}

void CurveModel::tick(const platform::LocalDateTime& now, const MonitorLiveValues& live) {
    now_ = now;
    if (++tickCounter_ == kTicksPerGridStep) {
        tickCounter_ = 0;
        ++tenTicks_;
    }
    Para sample;
    sample.hour = static_cast<uint16_t>(now.hour);
    sample.minute = static_cast<uint16_t>(now.minute);
    sample.second = static_cast<uint16_t>(now.second);
    for (size_t gpu = 0; gpu < kMonitorGpuSlots; ++gpu) {
        for (size_t i = 0; i < kMonitorItemCount; ++i) {
            if (!bound_[gpu][i]) {
                continue;
            }
            sample.value = live.values[gpu][i];
            sample.secondValue = kItems[i].secondValue ? live.values[gpu][i] : kNoValue;
            queues_[gpu][i].push(sample);
            mirror_.queue(gpu, i).push(sample);
        }
    }
}

int CurveModel::shownCount() const {
    return static_cast<int>(std::count_if(items_.begin(), items_.end(),
                                          [](const CurveItem& item) { return item.shown; }));
}

bool CurveModel::gpuHasSource(size_t gpu) const {
    return gpu < kMonitorGpuSlots &&
           std::any_of(bound_[gpu].begin(), bound_[gpu].end(), [](bool bound) { return bound; });
}

std::vector<LogColumn> CurveModel::logColumns() const {
    std::vector<LogColumn> columns;
    for (size_t gpu = 0; gpu < kMonitorGpuSlots; ++gpu) {
        if (!gpuHasSource(gpu)) {
            continue;
        }
        for (size_t i = 0; i < kMonitorItemCount; ++i) {
            if (items_[i].shown) {
                columns.push_back({gpu, i});
            }
        }
    }
    return columns;
}

}  // namespace qv::monitor
