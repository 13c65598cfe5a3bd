// The metrics exporter on the simulator's built-in three boards.
//
//   BM_ScrapeFromCache   one iteration = one scrape answered from the cached sample: the
//                        rendered metrics copied and the sample's age appended (target: median
//                        below 100 µs)
//   BM_ScrapeOverHttp    one iteration = GET /metrics over loopback on a kept-alive connection,
//                        the HTTP library's work included, for comparison
//   BM_Sample            one iteration = one sample of all three GPUs, which the sampler takes
//                        once per period whatever the number of scrapers
// The scrapes report driver_calls per iteration, which must be 0.
#include <httplib.h>

#include <memory>

#include "ExporterReader.h"
#include "ExporterServer.h"
#include "SimBench.h"
#include "exporter/MetricSampler.h"
#include "gpu/GpuLayer.h"
#include "settings/FileRegistryStore.h"

namespace {

using qv::bench::simLibrary;

struct ExporterBench {
    std::unique_ptr<qv::gpu::GpuLayer> layer;
    std::unique_ptr<qv::settings::FileRegistryStore> store;
    std::unique_ptr<qv::cli::ExporterReader> reader;
    std::unique_ptr<qv::exporter::MetricSampler> sampler;
    std::unique_ptr<qv::cli::ExporterServer> server;
};

ExporterBench& bench() {
    static ExporterBench instance;
    return instance;
}

// The exporter over the built-in boards with one sample taken; null when that fails.
ExporterBench* exporterOrSkip(benchmark::State& state) {
    auto& library = simLibrary();
    if (!library.error.empty()) {
        state.SkipWithError(library.error.c_str());
        return nullptr;
    }
    ExporterBench& b = bench();
    if (!b.layer) {
        b.layer = std::make_unique<qv::gpu::GpuLayer>(*library.loader);
        if (b.layer->initialize() != qv::gpu::kInitOk) {
            b.layer.reset();
            state.SkipWithError("initialisation of the built-in boards failed");
            return nullptr;
        }
        b.layer->waitForProbe();
        b.store = std::make_unique<qv::settings::FileRegistryStore>();
        b.reader = std::make_unique<qv::cli::ExporterReader>(*b.layer, *b.store);
        b.sampler = std::make_unique<qv::exporter::MetricSampler>(
            [&b] { return b.reader->read(); }, qv::platform::SystemClock::instance());
        b.sampler->sampleNow();
        b.server = std::make_unique<qv::cli::ExporterServer>(*b.sampler);
        std::string error;
        if (!b.server->bind({"127.0.0.1", 0}, error)) {
            state.SkipWithError(error.c_str());
            return nullptr;
        }
        b.server->start();
    }
    return &b;
}

void BM_ScrapeFromCache(benchmark::State& state) {
    ExporterBench* b = exporterOrSkip(state);
    if (b == nullptr) {
        return;
    }
    simLibrary().control.clearCounters();
    size_t bytes = 0;
    for (auto _ : state) {
        std::string text = b->sampler->scrape();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["driver_calls"] = benchmark::Counter(
        static_cast<double>(simLibrary().control.callCount(0)), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ScrapeFromCache)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ScrapeOverHttp(benchmark::State& state) {
    ExporterBench* b = exporterOrSkip(state);
    if (b == nullptr) {
        return;
    }
    httplib::Client http("127.0.0.1", b->server->port());
    http.set_keep_alive(true);
    simLibrary().control.clearCounters();
    for (auto _ : state) {
        const httplib::Result result = http.Get(qv::cli::kMetricsPath);
        if (!result || result->status != 200) {
            state.SkipWithError("a scrape failed");
            break;
        }
    }
    state.counters["driver_calls"] = benchmark::Counter(
        static_cast<double>(simLibrary().control.callCount(0)), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ScrapeOverHttp)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_Sample(benchmark::State& state) {
    ExporterBench* b = exporterOrSkip(state);
    if (b == nullptr) {
        return;
    }
    simLibrary().control.clearCounters();
    for (auto _ : state) {
        b->sampler->sampleNow();
    }
    state.counters["driver_calls"] = benchmark::Counter(
        static_cast<double>(simLibrary().control.callCount(0)), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Sample)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    // What was built on the library goes before it.
    return qv::bench::runSimBenchmarks(argc, argv, [] {
        ExporterBench& b = bench();
        b.server.reset();
        b.sampler.reset();
        b.reader.reset();
        b.layer.reset();
    });
}
