// One sample of every GPU as the main window's sampling tick takes it, on the simulator's
// built-in three boards: how long it takes and how many driver calls it makes.
//
// Per GPU, in the tick's order:
//   pass 1  the clock request of the selected clock mode (3D PERF, kind 2); the board power
//           (the current-and-rail estimate on boards with the slot-0 chip and the slot-3
//           regulator, else the power monitors in slots 9-11 with the current level kind read
//           for their scaling, else nothing); the temperature; the fan mode; the fan percent and,
//           where the fan reads in rpm, its rpm
//   pass 2  the current clocks and level kind; the core voltage (the driver's, else the
//           on-board regulator's)
//
//   BM_SampleTick        one iteration = both passes over all three GPUs
//   BM_SampleGpu/N       one iteration = both passes over GPU N alone
//   BM_SamplingLoopTick  one iteration = SamplingLoop::tick over all three GPUs, GPU 0 on show,
//                        with the default overlay switches: the reads above plus the model's
//                        updates, the alarm, the fan rules (none switched on) and the overlay text
//   BM_TemperatureCall   one iteration = one temperature read of GPU 0: the cost of a single
//                        driver call, for comparison
// Each reports driver_calls per iteration, counted by the simulated driver's call-exit hook.
// The layer is initialised once, before the timing; the layer's diagnostic lines (core voltage)
// go to the null device while the loop runs.
#include <memory>

#include "SimBench.h"
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayer.h"
#include "settings/RegistrySettings.h"
#include "tuning/MainDialogModel.h"
#include "tuning/PowerReadout.h"
#include "tuning/SamplingLoop.h"

namespace {

using qv::bench::simLibrary;
using qv::gpu::GpuLayer;

constexpr int kSelectedClockKind = qv::gpu::kLevelKind3DPerf;
constexpr int kRepetitions = 5;

// What one GPU's sample holds, kept so that no read can be optimised away.
struct GpuSample {
    qv::gpu::PerfClockRequest request;
    uint32_t powerWatts = 0;
    int32_t celsius = -1;
    int fanMode = 0;
    int32_t fanPercent = -1;
    int32_t fanRpm = -1;
    uint32_t graphicsKHz = 0, shaderKHz = 0, memoryKHz = 0;
    int kind = 0;
    uint32_t coreMicrovolts = 0;
    float regulatorVolts = 0.0f;
};

std::unique_ptr<GpuLayer>& benchLayer() {
    static std::unique_ptr<GpuLayer> layer;
    return layer;
}

// The layer on the built-in boards, initialised on first use; null when that fails.
GpuLayer* layerOrSkip(benchmark::State& state) {
    auto& library = simLibrary();
    if (!library.error.empty()) {
        state.SkipWithError(library.error.c_str());
        return nullptr;
    }
    auto& layer = benchLayer();
    if (!layer) {
        layer = std::make_unique<GpuLayer>(*library.loader);
        if (layer->initialize() != qv::gpu::kInitOk) {
            layer.reset();
        } else {
            layer->waitForProbe();
        }
    }
    if (!layer || layer->gpuCount() != qv::bench::kBuiltinGpus) {
        state.SkipWithError("initialisation of the built-in boards failed");
        return nullptr;
    }
    return layer.get();
}

// The board power as the tick takes it; one read-out object for the process, as in the program.
void readPower(GpuLayer& layer, uint8_t gpu, GpuSample& s) {
    static qv::tuning::BoardPower power;
    const qv::gpu::GpuRecord& record = layer.record(gpu);
    if (qv::tuning::usesPowerMonitors(record)) {
        uint32_t g = 0, p = 0, m = 0;
        layer.currentClocksAndKind(gpu, g, p, m, s.kind);
    } else if (!qv::tuning::usesPowerEstimate(record)) {
        return;
    }
    power.read(layer, gpu, s.kind, s.powerWatts);
}

void readAndRegulate(GpuLayer& layer, uint8_t gpu, GpuSample& s) {
    s.request = {};
    layer.readLevelClocks(gpu, s.request, kSelectedClockKind);
    readPower(layer, gpu, s);
    layer.gpuTemperature(gpu, s.celsius);
    layer.fanMode(gpu, s.fanMode);
    layer.fanSpeed(gpu, s.fanPercent, false);
    if (layer.fanReadsRpm(gpu)) {
        layer.fanSpeed(gpu, s.fanRpm, true);
    }
}

void readForOverlay(GpuLayer& layer, uint8_t gpu, GpuSample& s) {
    layer.currentClocksAndKind(gpu, s.graphicsKHz, s.shaderKHz, s.memoryKHz, s.kind);
    if (layer.driverCoreVoltage(gpu, s.coreMicrovolts) != qv::drv::kOk) {
        layer.regulatorVoltage(gpu, s.regulatorVolts);
    }
}

// Runs `sample` once per iteration with the layer's standard output silenced, and reports the
// driver calls per iteration.
template <typename Sample>
void runSamples(benchmark::State& state, GpuLayer& layer, Sample sample) {
    auto& library = simLibrary();
    library.control.clearCounters();
    for (auto _ : state) {
        sample(layer);
    }
    state.counters["driver_calls"] = benchmark::Counter(static_cast<double>(library.control.hookCalls()),
                                                        benchmark::Counter::kAvgIterations);
}

void BM_SampleTick(benchmark::State& state) {
    GpuLayer* layer = layerOrSkip(state);
    if (layer == nullptr) {
        return;
    }
    std::vector<GpuSample> samples(layer->gpuCount());
    runSamples(state, *layer, [&samples](GpuLayer& l) {
        for (uint8_t gpu = 0; gpu < l.gpuCount(); ++gpu) {
            readAndRegulate(l, gpu, samples[gpu]);
        }
        for (uint8_t gpu = 0; gpu < l.gpuCount(); ++gpu) {
            readForOverlay(l, gpu, samples[gpu]);
        }
        benchmark::DoNotOptimize(samples.data());
    });
}

void BM_SampleGpu(benchmark::State& state) {
    GpuLayer* layer = layerOrSkip(state);
    if (layer == nullptr) {
        return;
    }
    const auto gpu = static_cast<uint8_t>(state.range(0));
    GpuSample sample;
    runSamples(state, *layer, [gpu, &sample](GpuLayer& l) {
        readAndRegulate(l, gpu, sample);
        readForOverlay(l, gpu, sample);
        benchmark::DoNotOptimize(&sample);
    });
}

// Counts the overlay texts handed over, so that the hand-over is part of the work measured.
class CountingOverlay final : public qv::tuning::OverlaySink {
public:
    void setOverlayText(const std::string& text) override { bytes += text.size(); }
    size_t bytes = 0;
};

void BM_SamplingLoopTick(benchmark::State& state) {
    GpuLayer* layer = layerOrSkip(state);
    if (layer == nullptr) {
        return;
    }
    qv::tuning::MainDialogModel model(*layer);
    if (model.selectGpu(0, true) != qv::drv::kOk) {
        state.SkipWithError("the model cannot show GPU 0");
        return;
    }
    const qv::settings::RegistrySettings settings;
    CountingOverlay overlay;
    qv::tuning::SamplingServices services;
    services.settings = &settings;
    services.overlay = &overlay;
    qv::tuning::SamplingLoop loop(*layer, model, services);
    runSamples(state, *layer, [&loop](GpuLayer&) {
        qv::tuning::SampleResult result = loop.tick(false);
        benchmark::DoNotOptimize(result);
    });
}

void BM_TemperatureCall(benchmark::State& state) {
    GpuLayer* layer = layerOrSkip(state);
    if (layer == nullptr) {
        return;
    }
    int32_t celsius = 0;
    runSamples(state, *layer, [&celsius](GpuLayer& l) {
        l.gpuTemperature(0, celsius);
        benchmark::DoNotOptimize(celsius);
    });
}

BENCHMARK(BM_SampleTick)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SampleGpu)
    ->DenseRange(0, qv::bench::kBuiltinGpus - 1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(BM_SamplingLoopTick)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_TemperatureCall)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // The layer goes before the library it was built on.
    return qv::bench::runSimBenchmarks(argc, argv, [] { benchLayer().reset(); });
}
