// The monitor fed from the main window's sampling loop: it never asks the driver anything on its
// ticks, its values are the model's, and the user's shown items outlive the session.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "gpu/GpuRecord.h"
#include "platform/QueuePoster.h"
#include "settings/FileRegistryStore.h"
#include "support/SimHarness.h"
#include "tuning/ControllerRigSupport.h"
#include "tuning/MainWindowController.h"
#include "tuning/MonitorSession.h"
#include "tuning/PowerReadout.h"

namespace qv::tuning {
namespace {

using monitor::kItemFanRpm;
using monitor::kItemGpuClock;
using monitor::kItemPower;
using monitor::kItemTemperature;

struct MonitorRig {
    MonitorRig() : session(std::string(), clock) {
        layer = openFrozenLayer(session, clock, poster, work);
        clock.sleepMs(kSamplingPeriodMs);
        MainWindowServices services =
            controllerServices(store, settings, clock, poster, nullptr);
        controller = std::make_unique<MainWindowController>(*layer, services);
        controller->start();
    }
    std::unique_ptr<MonitorSession> makeMonitor() {
        return std::make_unique<MonitorSession>(*layer, controller->dialog(), &store, mirror,
                                                work.file("Monitor_Save"));
    }

    test::FakeClock clock;
    test::TempDir work;
    test::SimSession session;
    platform::QueuePoster poster;
    settings::FileRegistryStore store{
        settings::StorePaths{work.file("settings.conf"), work.file("quorvel.desktop")}};
    settings::RegistrySettings settings;
    std::unique_ptr<gpu::GpuLayer> layer;
    std::unique_ptr<MainWindowController> controller;
    monitor::MirrorHistory mirror;
};

TEST(MonitorSession, TicksReadTheSamplingLoopsValuesAndNeverTheDriver) {
    MonitorRig rig;
    rig.controller->tick(false);
    std::unique_ptr<MonitorSession> monitor = rig.makeMonitor();
    std::unique_ptr<monitor::CurveModel> curves = monitor->makeCurves(848, 600, false);
    ASSERT_EQ(monitor->state().log.switchOn(), 0);

    rig.session.sim().clearCounters();
    for (int s = 0; s < 5; ++s) {
        EXPECT_EQ(monitor->tick(*curves, {2026, 12, 8, 17, 0, s}),
                  monitor::LogTickResult::kWritten);
    }
    EXPECT_EQ(rig.session.sim().callCount(0), 0u);

    const GpuUiEntry& entry = rig.controller->dialog().entry(1);
    ASSERT_NE(entry.temperatureC, -1);
    EXPECT_EQ(curves->queue(1, kItemTemperature).newest()->value, entry.temperatureC);
    EXPECT_EQ(curves->queue(1, kItemGpuClock).newest()->value, entry.gpuClockMHz);
    EXPECT_EQ(curves->queue(1, kItemFanRpm).newest()->value, entry.fanRpm);
    EXPECT_EQ(curves->queue(0, kItemTemperature).count(), 5u);
    EXPECT_TRUE(std::filesystem::exists(monitor->state().log.currentPath()));
}

TEST(MonitorSession, EverySimulatedGpuIsFedWithWhatItOffers) {
    MonitorRig rig;
    std::unique_ptr<MonitorSession> monitor = rig.makeMonitor();
    const monitor::MonitorBoards& boards = monitor->boards();
    for (uint8_t gpu = 0; gpu < monitor::kMonitorGpuSlots; ++gpu) {
        EXPECT_EQ(boards[gpu].present, gpu < rig.layer->gpuCount()) << int(gpu);
    }
    for (uint8_t gpu = 0; gpu < rig.layer->gpuCount(); ++gpu) {
        const gpu::GpuRecord& record = rig.layer->record(gpu);
        EXPECT_TRUE(boards[gpu].offers[kItemTemperature]);
        EXPECT_EQ(boards[gpu].offers[monitor::kItemFanPercent],
                  record.fanKind != gpu::kFanNoCooler);
        EXPECT_EQ(boards[gpu].offers[kItemPower],
                  usesPowerEstimate(record) || usesPowerMonitors(record));
        if (boards[gpu].offers[kItemGpuClock]) {
            uint32_t low = 0;
            uint32_t high = 10000;
            rig.layer->overallLimits(gpu, low, high, gpu::kSelectorGraphics);
            EXPECT_EQ(boards[gpu].clockRanges[kItemGpuClock].maxKHz, high);
        }
    }
    std::unique_ptr<monitor::CurveModel> curves = monitor->makeCurves(848, 600, false);
    EXPECT_GT(curves->item(kItemGpuClock).upper, 10);  // the scale follows the cards' ranges
    EXPECT_EQ(curves->samplingPeriodMs(), monitor::kCurvePeriodMs);
}

TEST(MonitorSession, RebuildWithHistoriesKeepsWhatWasSampled) {
    MonitorRig rig;
    rig.controller->tick(false);
    std::unique_ptr<MonitorSession> monitor = rig.makeMonitor();
    auto curves = monitor->makeCurves(848, 600, false);
    for (int s = 0; s < 3; ++s) {
        monitor->tick(*curves, {2026, 12, 8, 17, 0, s});
    }
    curves = monitor->makeCurves(848, 600, true);
    EXPECT_EQ(curves->queue(0, kItemTemperature).count(), 3u);
    curves = monitor->makeCurves(848, 600, false);
    EXPECT_TRUE(curves->queue(0, kItemTemperature).isEmpty());
}

TEST(MonitorSession, ShownItemsAreKeptBetweenRuns) {
    MonitorRig rig;
    {
        std::unique_ptr<MonitorSession> monitor = rig.makeMonitor();
        EXPECT_EQ(monitor->state().shown, monitor::kAllItemsShown);
        monitor->state().shown[kItemPower] = false;
        monitor->saveShown();
    }
    std::unique_ptr<MonitorSession> again = rig.makeMonitor();
    EXPECT_FALSE(again->state().shown[kItemPower]);
    EXPECT_TRUE(again->state().shown[kItemTemperature]);
}

}  // namespace
}  // namespace qv::tuning
