// What the benchmarks on the simulated driver share: a simulator state folder of their own on
// the built-in boards, and the simulated driver loaded through the program's loader with its
// control surface (the call counters) at hand.
#pragma once

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <string>

#include "gpu/DriverLoader.h"
#include "support/BuiltinBoards.h"
#include "support/SimLibrary.h"
#include "support/TempDir.h"

namespace qv::bench {

inline constexpr const char* kStateDirVariable = "QUORVEL_SIM_STATE_DIR";
inline constexpr const char* kConfigVariable = "QUORVEL_SIM_CONFIG";
inline constexpr uint8_t kBuiltinGpus = test::kBuiltinGpuCount;

struct SimLibrary {
    std::unique_ptr<drv::DriverLoader> loader;
    void* handle = nullptr;
    test::SimControl control;
    std::string error;  // why the library cannot be used; empty when it can
};

inline SimLibrary& simLibrary() {
    static SimLibrary library;
    return library;
}

// Loads the simulated driver through the program's loader, then reaches its control surface
// in the same loaded copy.
inline bool openSimLibrary(SimLibrary& library) {
    const std::string path = test::simLibraryPath();
    library.loader = std::make_unique<drv::DriverLoader>(path);
    if (library.loader->load() != drv::kOk) {
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
    if (const std::string missing = library.control.resolve(library.handle); !missing.empty()) {
        library.error = path + " does not export its control surface:\n" + missing;
        return false;
    }
    return true;
}

inline void closeSimLibrary(SimLibrary& library) {
    library.loader.reset();
    if (library.handle != nullptr) {
        dlclose(library.handle);
        library.handle = nullptr;
    }
}

// The main of a benchmark program on the simulated driver: a fresh simulator state on the
// built-in boards, removed afterwards. `beforeClose` runs after the benchmarks, while the
// library is still loaded (to drop what was built on it).
template <typename BeforeClose>
int runSimBenchmarks(int argc, char** argv, BeforeClose beforeClose) {
    test::TempDir stateDir;
    if (stateDir.path().empty()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    setenv(kStateDirVariable, stateDir.path().c_str(), 1);
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
    beforeClose();
    closeSimLibrary(library);
    return rc;
}

inline int runSimBenchmarks(int argc, char** argv) {
    return runSimBenchmarks(argc, argv, [] {});
}

}  // namespace qv::bench
