// How long GpuLayer::initialize() takes on the simulator's built-in three boards, and how many
// driver calls it makes (counted by the simulated driver's call-exit hook).
//
// initialize() returns before its background probe has finished, so there are two figures:
//   BM_Initialize           the initialize() call alone; the probe is waited for outside the
//                           timed region
//   BM_InitializeAndProbe   initialize() and the wait for the probe, i.e. until every board
//                           fact (BIOS version, slot-1 fan abilities) is known
// Both report driver_calls: the calls of initialize() and its probe together, per iteration.
// The loader stays loaded across iterations (loading the library is not initialisation work);
// the layer is made and destroyed in every iteration.
#include <memory>

#include "SimBench.h"
#include "gpu/GpuLayer.h"

namespace {

using qv::bench::kBuiltinGpus;
using qv::bench::SimLibrary;
using qv::bench::simLibrary;

void runInitialization(benchmark::State& state, bool timeProbe) {
    SimLibrary& library = simLibrary();
    if (!library.error.empty()) {
        state.SkipWithError(library.error.c_str());
        return;
    }
    uint64_t calls = 0;
    for (auto _ : state) {
        library.control.clearCounters();
        auto layer = std::make_unique<qv::gpu::GpuLayer>(*library.loader);
        const int result = layer->initialize();
        if (!timeProbe) {
            state.PauseTiming();
        }
        layer->waitForProbe();
        if (timeProbe) {
            state.PauseTiming();
        }
        calls += library.control.hookCalls();
        const bool ok = result == qv::gpu::kInitOk && layer->gpuCount() == kBuiltinGpus;
        layer.reset();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("initialisation of the built-in boards failed");
            break;
        }
    }
    state.counters["driver_calls"] =
        benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kAvgIterations);
}

void BM_Initialize(benchmark::State& state) {
    runInitialization(state, false);
}
void BM_InitializeAndProbe(benchmark::State& state) {
    runInitialization(state, true);
}

BENCHMARK(BM_Initialize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InitializeAndProbe)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return qv::bench::runSimBenchmarks(argc, argv);
}
