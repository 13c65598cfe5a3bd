// The simulated driver library beside the test programs, and its control surface resolved from
// one loaded copy of it. Free of the test framework, so that the benchmarks use it too.
#pragma once

#include <dlfcn.h>

#include <string>
#include <type_traits>
#include <vector>

#include "SimControl.h"
#include "gpu/DriverSelection.h"
#include "platform/CompanionFiles.h"

namespace qv::test {

inline std::string simLibraryPath() {
    return platform::executableFolder() + "/" + drv::kSimulatedDriverLibrary;
}

// A board preset of the simulated driver (sim/boards, copied beside it by the build).
inline std::string presetPath(const std::string& name) {
    return platform::executableFolder() + "/boards/" + name + ".conf";
}

// The control functions of the simulated driver (SimControl.h), as the library exports them.
struct SimControl {
    decltype(&qvsim_reset) reset = nullptr;
    decltype(&qvsim_load_config) loadConfig = nullptr;
    decltype(&qvsim_state_path) statePath = nullptr;
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
    decltype(&qvsim_write_bios_image) writeBiosImage = nullptr;

    // Resolves every function from the loaded library `handle`. Returns the names it did not
    // find, one per line; empty when it found them all.
    std::string resolve(void* handle) {
        std::string missing;
        const auto bind = [&](auto& target, const char* name) {
            target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(dlsym(handle, name));
            if (target == nullptr) {
                missing.append(name).append(1, '\n');
            }
        };
        bind(reset, "qvsim_reset");
        bind(loadConfig, "qvsim_load_config");
        bind(statePath, "qvsim_state_path");
        bind(gpuCount, "qvsim_gpu_count");
        bind(injectStatus, "qvsim_inject_status");
        bind(hideId, "qvsim_hide_id");
        bind(setLatencyUs, "qvsim_set_latency_us");
        bind(invalidateHandles, "qvsim_invalidate_handles");
        bind(setTemperature, "qvsim_set_temperature");
        bind(setLoad, "qvsim_set_load");
        bind(freezeTime, "qvsim_freeze_time");
        bind(advanceTimeMs, "qvsim_advance_time_ms");
        bind(getRegister, "qvsim_get_register");
        bind(setRegister, "qvsim_set_register");
        bind(callCount, "qvsim_call_count");
        bind(hookCalls, "qvsim_hook_calls");
        bind(clearCounters, "qvsim_clear_counters");
        bind(i2cLogCount, "qvsim_i2c_log_count");
        bind(i2cLogGet, "qvsim_i2c_log_get");
        bind(hookLogCount, "qvsim_hook_log_count");
        bind(hookLogGet, "qvsim_hook_log_get");
        bind(unloadCount, "qvsim_unload_count");
        bind(writeBiosImage, "qvsim_write_bios_image");
        return missing;
    }

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

}  // namespace qv::test
