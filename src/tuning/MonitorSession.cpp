#include "tuning/MonitorSession.h"

#include <algorithm>

#include "gpu/DriverStatus.h"
#include "gpu/GpuRecord.h"
#include "tuning/PowerReadout.h"

namespace qv::tuning {
namespace {

using monitor::MonitorItem;

// The hardware layer's range of a clock domain: the start values are 0 and 10000 kHz.
constexpr uint32_t kRangeStartMaxKHz = 10000;

monitor::ClockRangeKHz clockRange(const gpu::GpuLayer& layer, uint8_t gpu, int selector) {
    monitor::ClockRangeKHz range{0, kRangeStartMaxKHz};
    layer.overallLimits(gpu, range.minKHz, range.maxKHz, selector);
    return range;
}

bool voltageReadable(gpu::GpuLayer& layer, uint8_t gpu) {
    uint32_t microvolts = 0;
    return layer.record(gpu).familyC || layer.driverCoreVoltage(gpu, microvolts) == drv::kOk;
}

}  // namespace

monitor::MonitorBoards monitorBoards(gpu::GpuLayer& layer) {
    monitor::MonitorBoards boards{};
    const uint8_t count = std::min<uint8_t>(layer.gpuCount(), monitor::kMonitorGpuSlots);
    for (uint8_t gpu = 0; gpu < count; ++gpu) {
        const gpu::GpuRecord& record = layer.record(gpu);
        monitor::MonitorGpu& out = boards[gpu];
        out.present = true;
        const bool clocks =
            record.clockTableStatus == 0 && record.firstPresentLevelKind() != gpu::kNoLevelKind;
        out.offers[monitor::kItemPower] = usesPowerEstimate(record) || usesPowerMonitors(record);
        out.offers[monitor::kItemGpuClock] = clocks;
        out.offers[monitor::kItemMemoryClock] = clocks;
        out.offers[monitor::kItemShaderClock] = clocks && record.processorDomainPresent;
        out.offers[monitor::kItemTemperature] = true;
        out.offers[monitor::kItemFanPercent] = record.fanKind != gpu::kFanNoCooler;
        out.offers[monitor::kItemGpuVoltage] = voltageReadable(layer, gpu);
        out.offers[monitor::kItemFanRpm] = layer.fanReadsRpm(gpu);
        // Family C boards raise the top level's maxima: their clocks may go above the range.
        out.clockHeadroom = record.familyC;
        const int selectors[] = {gpu::kSelectorGraphics, gpu::kSelectorMemory,
                                 gpu::kSelectorProcessor};
        for (size_t s = 0; s < monitor::kClockItemOfSelector.size(); ++s) {
            const MonitorItem item = monitor::kClockItemOfSelector[s];
            if (out.offers[item]) {
                out.clockRanges[item] = clockRange(layer, gpu, selectors[s]);
            }
        }
    }
    return boards;
}

monitor::MonitorLiveValues monitorLiveValues(const MainDialogModel& model, uint8_t gpuCount) {
    monitor::MonitorLiveValues live;
    const size_t count = std::min<size_t>(gpuCount, monitor::kMonitorGpuSlots);
    for (size_t gpu = 0; gpu < count; ++gpu) {
        const GpuUiEntry& entry = model.entry(gpu);
        auto& values = live.values[gpu];
        values[monitor::kItemPower] = entry.powerW;
        values[monitor::kItemGpuClock] = entry.gpuClockMHz;
        values[monitor::kItemShaderClock] = entry.shaderClockMHz;
        values[monitor::kItemMemoryClock] = entry.memoryClockMHz;
        values[monitor::kItemTemperature] = entry.temperatureC;
        values[monitor::kItemFanPercent] = entry.fanPercent;
        values[monitor::kItemGpuVoltage] = entry.coreVoltageMv;
        values[monitor::kItemFanRpm] = entry.fanRpm;
    }
    return live;
}

MonitorSession::MonitorSession(gpu::GpuLayer& layer, const MainDialogModel& model,
                               settings::RegistryStore* store, monitor::MirrorHistory& mirror,
                               std::string logFolder)
    : layer_(layer),
      model_(model),
      store_(store),
      mirror_(mirror),
      boards_(monitorBoards(layer)),
      state_{monitor::CurveModel::supportedItems(boards_), monitor::kAllItemsShown, false,
             monitor::MonitorLog(std::move(logFolder))} {
    if (store_ != nullptr && store_->readValue(kValueMonitorItems, storedMask_)) {
        state_.shown = monitor::shownItemsFromMask(storedMask_);
    }
}

std::unique_ptr<monitor::CurveModel> MonitorSession::makeCurves(int panelClientWidth,
                                                                int panelClientHeight,
                                                                bool copyHistories) {
    auto curves = std::make_unique<monitor::CurveModel>(boards_, state_.shown, panelClientWidth,
                                                        panelClientHeight, mirror_);
    if (copyHistories) {
        curves->copyHistoriesFrom(mirror_);
    }
    curves->setSamplingPeriod(monitor::kCurvePeriodMs);
    return curves;
}

monitor::MonitorLiveValues MonitorSession::liveValues() const {
    return monitorLiveValues(model_, layer_.gpuCount());
}

monitor::LogTickResult MonitorSession::tick(monitor::CurveModel& curves,
                                            const platform::LocalDateTime& now) {
    const monitor::MonitorLiveValues live = liveValues();
    curves.tick(now, live);
    return state_.log.tick(now, curves.logColumns(), live);
}

void MonitorSession::saveShown() {
    if (store_ != nullptr) {
        // An item these GPUs cannot show keeps the flag it had, for a machine that can.
        const uint32_t supported = monitor::shownItemsMask(state_.supported);
        storedMask_ =
            (monitor::shownItemsMask(state_.shown) & supported) | (storedMask_ & ~supported);
        store_->writeValue(kValueMonitorItems, storedMask_);
    }
}

}  // namespace qv::tuning
