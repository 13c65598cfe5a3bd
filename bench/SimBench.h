// What the benchmarks on the simulated driver share: a simulator state folder of their own on
// the built-in boards, the simulated driver loaded through the program's loader with its call
// counters at hand, and a way to keep the hardware layer's diagnostic lines off the report.
#pragma once

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "SimControl.h"
#include "gpu/DriverLoader.h"
#include "gpu/DriverSelection.h"

namespace qv::bench {

inline constexpr const char* kStateDirVariable = "QUORVEL_SIM_STATE_DIR";
inline constexpr const char* kConfigVariable = "QUORVEL_SIM_CONFIG";
inline constexpr uint8_t kBuiltinGpus = 3;

struct SimLibrary {
    std::unique_ptr<drv::DriverLoader> loader;
    void* handle = nullptr;
    decltype(&qvsim_hook_calls) hookCalls = nullptr;
    decltype(&qvsim_clear_counters) clearCounters = nullptr;
    std::string error;  // why the library cannot be used; empty when it can
};

inline SimLibrary& simLibrary() {
    static SimLibrary library;
    return library;
}

// Loads the simulated driver through the program's loader, then reaches its control surface
// in the same loaded copy.
inline bool openSimLibrary(SimLibrary& library) {
    const std::string path = drv::executableFolder() + "/" + drv::kSimulatedDriverLibrary;
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

inline void closeSimLibrary(SimLibrary& library) {
    library.loader.reset();
    if (library.handle != nullptr) {
        dlclose(library.handle);
        library.handle = nullptr;
    }
}

// Standard output goes to the null device while one of these lives, so that the lines some
// driver operations of the layer print do not flood the report; it comes back afterwards.
class StdoutToNull {
public:
    StdoutToNull() {
        std::fflush(stdout);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null < 0) {
            return;
        }
        saved_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        if (saved_ >= 0 && ::dup2(null, STDOUT_FILENO) < 0) {
            ::close(saved_);
            saved_ = -1;
        }
        ::close(null);
    }
    ~StdoutToNull() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            ::dup2(saved_, STDOUT_FILENO);
            ::close(saved_);
        }
    }
    StdoutToNull(const StdoutToNull&) = delete;
    StdoutToNull& operator=(const StdoutToNull&) = delete;

private:
    int saved_ = -1;
};

// The main of a benchmark program on the simulated driver: a fresh simulator state on the
// built-in boards, removed afterwards. `beforeClose` runs after the benchmarks, while the
// library is still loaded (to drop what was built on it).
template <typename BeforeClose>
int runSimBenchmarks(int argc, char** argv, BeforeClose beforeClose) {
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
    beforeClose();
    closeSimLibrary(library);
    std::error_code ec;
    std::filesystem::remove_all(stateDir, ec);
    return rc;
}

inline int runSimBenchmarks(int argc, char** argv) {
    return runSimBenchmarks(argc, argv, [] {});
}

}  // namespace qv::bench
