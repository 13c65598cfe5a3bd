// Loads the driver library at run time and calls its operations by interface ID.
//
// The library is loaded on the first call of any operation. A failed load is remembered: every
// later call answers -2 at once. Each operation's entry point is resolved once through
// nvapi_QueryInterface and cached until the library is unloaded. When the library offers the
// call-entry and call-exit hooks, every call is bracketed by them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include "gpu/DriverStatus.h"
#include "gpu/DriverTypes.h"
#include "platform/Clock.h"

namespace qv::drv {

class DriverLoader {
public:
    static constexpr uint32_t kUnloadRetryPauseMs = 100;
    static constexpr int kUnloadRetries = 10;

    explicit DriverLoader(std::string libraryPath,
                          platform::Clock& clock = platform::SystemClock::instance());
    ~DriverLoader();
    DriverLoader(const DriverLoader&) = delete;
    DriverLoader& operator=(const DriverLoader&) = delete;

    // Calls operation `id` as a function of type Fn. Answers -1/-2 when the library cannot be
    // used, -3 when the library has no such operation, else the operation's own status.
    template <typename Fn, typename... Args>
    int call(uint32_t id, Args... args) {
        int status = enter();
        if (status != kOk) {
            return status;
        }
        void* entry = resolve(id);
        if (entry == nullptr) {
            leave();
            return kNoImplementation;
        }
        Hooks hooks = currentHooks();
        if (hooks.entry != nullptr) {
            hooks.entry(id);
        }
        status = reinterpret_cast<Fn>(entry)(args...);
        if (hooks.exit != nullptr) {
            hooks.exit(id, status);
        }
        leave();
        return status;
    }

    // Loads and initialises the library now; the same as what the first call does.
    int load();
    // Asks the library to unload (0xD22BDD7E) once no call is in progress, then releases it.
    // The next call loads it again. Answers the library's unload status, or 0 when none was loaded.
    int unload();

    bool isLoaded() const;
    bool hasHooks() const;
    const std::string& libraryPath() const { return path_; }
    // The reason of the last failed load or initialisation, for messages to the user.
    std::string lastError() const;

    // Loads the companion power library the same way (through nvapi_pepQueryInterface).
    // Nothing in the program needs it; answers -2 when it cannot be loaded.
    int loadPowerLibrary(const std::string& path);
    void* resolvePower(uint32_t id);

private:
    struct Hooks {
        CallEntryHookFn entry = nullptr;
        CallExitHookFn exit = nullptr;
    };

    int enter();
    void leave();
    int ensureLoaded();
    void* resolve(uint32_t id);
    Hooks currentHooks() const;
    void releaseLocked();

    std::string path_;
    platform::Clock& clock_;

    mutable std::mutex stateMutex_;  // guards everything below but the entry cache
    std::condition_variable idle_;
    void* module_ = nullptr;
    QueryInterfaceFn queryInterface_ = nullptr;
    Hooks hooks_;
    bool loadFailed_ = false;
    bool unloading_ = false;
    int inFlight_ = 0;
    std::string lastError_;

    mutable std::shared_mutex cacheMutex_;
    std::unordered_map<uint32_t, void*> entries_;

    void* powerModule_ = nullptr;
    QueryInterfaceFn powerQueryInterface_ = nullptr;
};

}  // namespace qv::drv
