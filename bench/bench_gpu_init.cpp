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
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SimControl.h"
#include "gpu/DriverLoader.h"
#include "gpu/DriverSelection.h"
#include "gpu/GpuLayer.h"

namespace {

constexpr const char* kStateDirVariable = "QUORVEL_SIM_STATE_DIR";
constexpr const char* kConfigVariable = "QUORVEL_SIM_CONFIG";
constexpr uint8_t kBuiltinGpus = 3;

struct SimLibrary {
    std::unique_ptr<qv::drv::DriverLoader> loader;
    void* handle = nullptr;
    decltype(&qvsim_hook_calls) hookCalls = nullptr;
    decltype(&qvsim_clear_counters) clearCounters = nullptr;
    std::string error;
};

SimLibrary& simLibrary() {
    static SimLibrary library;
    return library;
}

// Loads the simulated driver through the program's loader, then reaches its control surface
// in the same loaded copy.
bool openSimLibrary(SimLibrary& library) {
    const std::string path = qv::drv::executableFolder() + "/" + qv::drv::kSimulatedDriverLibrary;
    library.loader = std::make_unique<qv::drv::DriverLoader>(path);
    if (library.loader->load() != qv::drv::kOk) {
        library.error = "cannot load " + path + ": " + library.loader->lastError();
        return false;
    }
    if (!library.loader->hasHooks()) {
        library.error = path + " offers no call hooks to count with";
        return false;
    }
    library.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (library.handle == nullptr) {
        library.error = path + " is not loaded after the loader loaded it";
        return false;
    }
    library.hookCalls =
        reinterpret_cast<decltype(&qvsim_hook_calls)>(dlsym(library.handle, "qvsim_hook_calls"));
    library.clearCounters = reinterpret_cast<decltype(&qvsim_clear_counters)>(
        dlsym(library.handle, "qvsim_clear_counters"));
    if (library.hookCalls == nullptr || library.clearCounters == nullptr) {
        library.error = path + " does not export the call counters";
        return false;
    }
    return true;
}

void closeSimLibrary(SimLibrary& library) {
    library.loader.reset();
    if (library.handle != nullptr) {
        dlclose(library.handle);
        library.handle = nullptr;
    }
}

void runInitialization(benchmark::State& state, bool timeProbe) {
    SimLibrary& library = simLibrary();
    if (!library.error.empty()) {
        state.SkipWithError(library.error.c_str());
        return;
    }
    uint64_t calls = 0;
    for (auto _ : state) {
        library.clearCounters();
        auto layer = std::make_unique<qv::gpu::GpuLayer>(*library.loader);
        const int result = layer->initialize();
        if (!timeProbe) {
            state.PauseTiming();
        }
        layer->waitForProbe();
        if (timeProbe) {
            state.PauseTiming();
        }
        calls += library.hookCalls();
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
    // A simulator state of its own, on the built-in boards, removed afterwards.
    std::string pattern = (std::filesystem::temp_directory_path() / "qv-bench-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data()) == nullptr) {
        std::fprintf(stderr, "cannot make a temporary folder under %s\n", pattern.c_str());
        return 1;
    }
    const std::string stateDir = buffer.data();
    setenv(kStateDirVariable, stateDir.c_str(), 1);
    unsetenv(kConfigVariable);

    SimLibrary& library = simLibrary();
    openSimLibrary(library);

    benchmark::Initialize(&argc, argv);
    int rc = 0;
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        rc = 1;
    } else {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    if (!library.error.empty()) {
        std::fprintf(stderr, "%s\n", library.error.c_str());
        rc = 1;
    }
    closeSimLibrary(library);
    std::error_code ec;
    std::filesystem::remove_all(stateDir, ec);
    return rc;
}
