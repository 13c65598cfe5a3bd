// The monitor's cost per second: one tick of the curves for three GPUs x eight items (a sample
// of every item into the control's history and the mirror, and the log line appended to a real
// file), and one full repaint's geometry of a control 800 pixels of history wide with full
// histories. Also the memory that full histories take at that width.
//
//   BM_MonitorTick     one iteration = CurveModel::tick + MonitorLog::tick (file opened, line
//                      appended, file closed), three GPUs, all eight items shown
//   BM_CurveRepaint    one iteration = computeCurveGeometry over full histories of three GPUs x
//                      eight items, 848-pixel panel (800 samples per history), grid on
//   BM_HistoryMemory   reports history_bytes: the heap that full histories of 5 x 8 items at
//                      800 samples take, for the control and the mirror each
//
// The clock of the samples runs on one second per tick, across midnight as it comes.
#include <benchmark/benchmark.h>

#include <memory>

#include "lang/CMultiLangSupp.h"
#include "monitor/CurveGeometry.h"
#include "monitor/CurveModel.h"
#include "monitor/MonitorLog.h"
#include "support/TempDir.h"

namespace {

using namespace qv::monitor;

constexpr int kPanelWidth = 848;  // 800 samples of history
constexpr int kPanelHeight = 600;
constexpr size_t kBenchGpus = 3;
constexpr int kRepetitions = 5;
constexpr uint32_t kEnglish = 0x0409;

MonitorBoards boards(size_t gpus) {
    MonitorBoards all{};
    for (size_t g = 0; g < gpus; ++g) {
        all[g].present = true;
        all[g].offers.fill(true);
        all[g].clockRanges[kItemGpuClock] = {300000, 1100000};
        all[g].clockRanges[kItemShaderClock] = {600000, 2200000};
        all[g].clockRanges[kItemMemoryClock] = {500000, 3000000};
    }
    return all;
}

// Values inside every item's bounds that change from tick to tick, so that curves zigzag.
MonitorLiveValues liveAt(int64_t tick, size_t gpus) {
    MonitorLiveValues live;
    const int32_t wobble = static_cast<int32_t>(tick % 20);
    for (size_t g = 0; g < gpus; ++g) {
        live.values[g] = {100 + wobble, 700 + wobble, 1400 + wobble, 1800 + wobble,
                          50 + wobble,  40 + wobble,  1000 + wobble, 2000 + wobble};
    }
    return live;
}

qv::platform::LocalDateTime timeAt(int64_t seconds) {
    const auto s = static_cast<int>(seconds % 86400);
    return {2026, 12, 8, s / 3600, (s / 60) % 60, s % 60};
}

void BM_MonitorTick(benchmark::State& state) {
    qv::test::TempDir dir;
    const qv::lang::CMultiLangSupp english(kEnglish);
    MirrorHistory mirror;
    CurveModel model(boards(kBenchGpus), kAllItemsShown, kPanelWidth, kPanelHeight, mirror);
    MonitorLog log(dir.file("Monitor_Save"), english);
    if (log.switchOn() != 0) {
        state.SkipWithError("no log folder");
        return;
    }
    const std::vector<LogColumn> columns = model.logColumns();
    int64_t tick = 0;
    for (auto _ : state) {
        const MonitorLiveValues live = liveAt(tick, kBenchGpus);
        const qv::platform::LocalDateTime now = timeAt(tick);
        model.tick(now, live);
        benchmark::DoNotOptimize(log.tick(now, columns, live));
        ++tick;
    }
}

void BM_CurveRepaint(benchmark::State& state) {
    const qv::lang::CMultiLangSupp english(kEnglish);
    MirrorHistory mirror;
    CurveModel model(boards(kBenchGpus), kAllItemsShown, kPanelWidth, kPanelHeight, mirror);
    model.setSamplingPeriod(kCurvePeriodMs);
    // Full histories that cross midnight.
    const int64_t first = 86400 - 400;
    for (int64_t t = first; t < first + static_cast<int64_t>(model.historySlots()); ++t) {
        model.tick(timeAt(t), liveAt(t, kBenchGpus));
    }
    size_t points = 0;
    for (auto _ : state) {
        const CurveGeometry geometry =
            computeCurveGeometry(model, {true, model.plotRight() - 5}, english);
        points = 0;
        for (const Stroke& stroke : geometry.strokes) {
            points += stroke.points.size();
        }
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = static_cast<double>(points);
}

void BM_HistoryMemory(benchmark::State& state) {
    MirrorHistory mirror;
    CurveModel model(boards(kMonitorGpuSlots), kAllItemsShown, kPanelWidth, kPanelHeight, mirror);
    for (size_t t = 0; t < model.historySlots(); ++t) {
        model.tick(timeAt(static_cast<int64_t>(t)),
                   liveAt(static_cast<int64_t>(t), kMonitorGpuSlots));
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(model.queue(0, 0).count());
    }
    // Each slot holds a pointer; each sample one allocation of a Para.
    const size_t perHistory = model.historySlots() * (sizeof(std::unique_ptr<Para>) + sizeof(Para));
    const size_t histories = kMonitorGpuSlots * kMonitorItemCount;
    state.counters["samples_per_history"] = static_cast<double>(model.queue(0, 0).count());
    state.counters["history_bytes"] = static_cast<double>(perHistory * histories);
    state.counters["with_mirror_bytes"] = static_cast<double>(2 * perHistory * histories);
}

}  // namespace

BENCHMARK(BM_MonitorTick)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_CurveRepaint)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_HistoryMemory)->Iterations(1);

BENCHMARK_MAIN();
