// The main window's side of the monitor: what the GPUs offer (learnt once, when the monitor is
// first opened), the live values handed over from the sampling loop's model, the state that
// outlives each monitor window (shown items, hidden flag, the log) and the user's shown items
// kept in the settings store between runs. The monitor itself never reads the cards.
#pragma once

#include <memory>
#include <string>

#include "gpu/GpuLayer.h"
#include "monitor/CurveModel.h"
#include "monitor/MonitorFeed.h"
#include "monitor/MonitorLog.h"
#include "monitor/MonitorWindowModel.h"
#include "platform/LocalTime.h"
#include "settings/RegistryStore.h"
#include "tuning/MainDialogModel.h"

namespace qv::tuning {

// The store's value for the shown items: bit n set shows item n.
inline constexpr const char* kValueMonitorItems = "MonitorItems";

// What each GPU offers the monitor, asked of the hardware layer once.
monitor::MonitorBoards monitorBoards(gpu::GpuLayer& layer);
// The model's live values of every GPU the layer has, in the monitor's items.
monitor::MonitorLiveValues monitorLiveValues(const MainDialogModel& model, uint8_t gpuCount);

class MonitorSession {
public:
    MonitorSession(gpu::GpuLayer& layer, const MainDialogModel& model,
                   settings::RegistryStore* store,
                   monitor::MirrorHistory& mirror = monitor::MirrorHistory::process(),
                   std::string logFolder = monitor::kMonitorSaveFolder);

    // A curve model for a panel of the given client size; with `copyHistories` the mirror's
    // samples are copied into it. Sampling is started with the curve period.
    std::unique_ptr<monitor::CurveModel> makeCurves(int panelClientWidth, int panelClientHeight,
                                                    bool copyHistories);
    // One tick of the curve control: a sample of every live value into the histories, then the
    // log line, from the same values.
    monitor::LogTickResult tick(monitor::CurveModel& curves, const platform::LocalDateTime& now);
    // Keeps the shown flags in the store.
    void saveShown();

    monitor::MonitorLiveValues liveValues() const;
    const monitor::MonitorBoards& boards() const { return boards_; }
    monitor::MonitorState& state() { return state_; }
    monitor::MirrorHistory& mirror() { return mirror_; }

private:
    gpu::GpuLayer& layer_;
    const MainDialogModel& model_;
    settings::RegistryStore* store_;
    monitor::MirrorHistory& mirror_;
    monitor::MonitorBoards boards_;
    monitor::MonitorState state_;
    uint32_t storedMask_ = monitor::shownItemsMask(monitor::kAllItemsShown);
};

}  // namespace qv::tuning
