// Test support: a fresh simulated driver per test, loaded through the program's own loader, with
// the simulator's control surface at hand.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SimControl.h"
#include "gpu/DriverLoader.h"
#include "gpu/DriverSelection.h"
#include "platform/Clock.h"

namespace qv::test {

inline std::string simLibraryPath() {
    return drv::executableFolder() + "/" + drv::kSimulatedDriverLibrary;
}

// A board preset of the simulated driver (sim/boards, copied beside it by the build).
inline std::string presetPath(const std::string& name) {
    return drv::executableFolder() + "/boards/" + name + ".conf";
}

// A folder of its own under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quorvel-test-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back(0);
        const char* made = mkdtemp(buffer.data());
        path_ = made != nullptr ? made : "";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Writes a board configuration for the simulator into `dir` and returns its path.
inline std::string writeConfig(const TempDir& dir, const std::string& name,
                               const std::string& text) {
    const std::string path = dir.file(name);
    std::ofstream(path) << text;
    return path;
}

// The simulator's control functions, resolved from the library the test holds open.
struct SimControl {
    decltype(&qvsim_reset) reset = nullptr;
    decltype(&qvsim_load_config) loadConfig = nullptr;
    decltype(&qvsim_gpu_count) gpuCount = nullptr;
    decltype(&qvsim_inject_status) injectStatus = nullptr;
    decltype(&qvsim_hide_id) hideId = nullptr;
    decltype(&qvsim_set_latency_us) setLatencyUs = nullptr;
    decltype(&qvsim_invalidate_handles) invalidateHandles = nullptr;
    decltype(&qvsim_set_temperature) setTemperature = nullptr;
    decltype(&qvsim_set_load) setLoad = nullptr;
    decltype(&qvsim_freeze_time) freezeTime = nullptr;
    decltype(&qvsim_advance_time_ms) advanceTimeMs = nullptr;
    decltype(&qvsim_get_register) getRegister = nullptr;
    decltype(&qvsim_set_register) setRegister = nullptr;
    decltype(&qvsim_call_count) callCount = nullptr;
    decltype(&qvsim_hook_calls) hookCalls = nullptr;
    decltype(&qvsim_clear_counters) clearCounters = nullptr;
    decltype(&qvsim_i2c_log_count) i2cLogCount = nullptr;
    decltype(&qvsim_i2c_log_get) i2cLogGet = nullptr;
    decltype(&qvsim_hook_log_count) hookLogCount = nullptr;
    decltype(&qvsim_hook_log_get) hookLogGet = nullptr;
    decltype(&qvsim_unload_count) unloadCount = nullptr;

    std::vector<QvSimI2cEvent> i2cLog() const {
        std::vector<QvSimI2cEvent> events(i2cLogCount());
        for (size_t i = 0; i < events.size(); ++i) {
            i2cLogGet(i, &events[i]);
        }
        return events;
    }
    std::vector<QvSimHookEvent> hookLog() const {
        std::vector<QvSimHookEvent> events(hookLogCount());
        for (size_t i = 0; i < events.size(); ++i) {
            hookLogGet(i, &events[i]);
        }
        return events;
    }
};

// One simulated machine: its own state folder, a board configuration, the library held open
// for the control surface, and a loader over it as the program would have.
class SimSession {
public:
    explicit SimSession(const std::string& config = "",
                        platform::Clock& clock = platform::SystemClock::instance())
        : loader_(simLibraryPath(), clock) {
        setenv("QUORVEL_SIM_STATE_DIR", state_.path().c_str(), 1);
        if (config.empty()) {
            unsetenv("QUORVEL_SIM_CONFIG");
        } else {
            setenv("QUORVEL_SIM_CONFIG", config.c_str(), 1);
        }
        handle_ = dlopen(simLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            ADD_FAILURE() << "cannot open the simulated driver: " << dlerror();
            return;
        }
        resolve();
    }
    ~SimSession() {
        loader_.unload();
        if (handle_ != nullptr) {
            dlclose(handle_);
        }
    }
    SimSession(const SimSession&) = delete;
    SimSession& operator=(const SimSession&) = delete;

    drv::DriverLoader& loader() { return loader_; }
    const SimControl& sim() const { return control_; }
    const std::string& stateFolder() const { return state_.path(); }

private:
    template <typename T>
    void bind(T& target, const char* name) {
        target = reinterpret_cast<T>(dlsym(handle_, name));
        if (target == nullptr) {
            ADD_FAILURE() << "simulated driver does not export " << name;
        }
    }
    void resolve() {
        bind(control_.reset, "qvsim_reset");
        bind(control_.loadConfig, "qvsim_load_config");
        bind(control_.gpuCount, "qvsim_gpu_count");
        bind(control_.injectStatus, "qvsim_inject_status");
        bind(control_.hideId, "qvsim_hide_id");
        bind(control_.setLatencyUs, "qvsim_set_latency_us");
        bind(control_.invalidateHandles, "qvsim_invalidate_handles");
        bind(control_.setTemperature, "qvsim_set_temperature");
        bind(control_.setLoad, "qvsim_set_load");
        bind(control_.freezeTime, "qvsim_freeze_time");
        bind(control_.advanceTimeMs, "qvsim_advance_time_ms");
        bind(control_.getRegister, "qvsim_get_register");
        bind(control_.setRegister, "qvsim_set_register");
        bind(control_.callCount, "qvsim_call_count");
        bind(control_.hookCalls, "qvsim_hook_calls");
        bind(control_.clearCounters, "qvsim_clear_counters");
        bind(control_.i2cLogCount, "qvsim_i2c_log_count");
        bind(control_.i2cLogGet, "qvsim_i2c_log_get");
        bind(control_.hookLogCount, "qvsim_hook_log_count");
        bind(control_.hookLogGet, "qvsim_hook_log_get");
        bind(control_.unloadCount, "qvsim_unload_count");
    }

    TempDir state_;
    drv::DriverLoader loader_;
    void* handle_ = nullptr;
    SimControl control_;
};

// A clock that never sleeps and records how long it was asked to.
class FakeClock final : public platform::Clock {
public:
    uint64_t tickMs() override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    void sleepMs(uint32_t ms) override {
        std::lock_guard lock(mutex_);
        now_ += ms;
        sleeps_.push_back(ms);
    }
    std::vector<uint32_t> sleeps() const {
        std::lock_guard lock(mutex_);
        return sleeps_;
    }

private:
    mutable std::mutex mutex_;
    uint64_t now_ = 0;
    std::vector<uint32_t> sleeps_;
};

}  // namespace qv::test
