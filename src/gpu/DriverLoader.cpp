#include "gpu/DriverLoader.h"

#include <dlfcn.h>

#include <utility>

#include "gpu/DriverIds.h"

namespace qv::drv {

namespace {
constexpr const char* kQueryInterfaceSymbol = "nvapi_QueryInterface";
constexpr const char* kPowerQueryInterfaceSymbol = "nvapi_pepQueryInterface";
}  // namespace

DriverLoader::DriverLoader(std::string libraryPath, platform::Clock& clock)
    : path_(std::move(libraryPath)), clock_(clock) {}

DriverLoader::~DriverLoader() {
    unload();
    if (powerModule_ != nullptr) {
        dlclose(powerModule_);
    }
}

int DriverLoader::enter() {
    for (int attempt = 0;; ++attempt) {
        {
            std::lock_guard lock(stateMutex_);
            if (loadFailed_) {
                return kLibraryNotFound;
            }
            if (!unloading_) {
                ++inFlight_;
                break;
            }
        }
        if (attempt >= kUnloadRetries) {
            return kError;
        }
        clock_.sleepMs(kUnloadRetryPauseMs);
    }
    const int status = ensureLoaded();
    if (status != kOk) {
        leave();
    }
    return status;
}

void DriverLoader::leave() {
    std::lock_guard lock(stateMutex_);
    if (--inFlight_ == 0) {
        idle_.notify_all();
    }
}

int DriverLoader::load() {
    const int status = enter();
    if (status == kOk) {
        leave();
    }
    return status;
}

int DriverLoader::ensureLoaded() {
    std::lock_guard lock(stateMutex_);
    if (loadFailed_) {
        return kLibraryNotFound;
    }
    if (queryInterface_ != nullptr) {
        return kOk;
    }
    if (module_ == nullptr) {
        module_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module_ == nullptr) {
            const char* why = dlerror();
            lastError_ = why != nullptr ? why : "cannot load " + path_;
            loadFailed_ = true;
            return kLibraryNotFound;
        }
    }
    auto query = reinterpret_cast<QueryInterfaceFn>(dlsym(module_, kQueryInterfaceSymbol));
    if (query == nullptr) {
        lastError_ = path_ + " does not export " + kQueryInterfaceSymbol;
        dlclose(module_);
        module_ = nullptr;
        loadFailed_ = true;
        return kLibraryNotFound;
    }
    auto initialize = reinterpret_cast<InitializeFn>(query(kInitialize));
    const int status = initialize != nullptr ? initialize() : kNoImplementation;
    if (status != kOk) {
        lastError_ = path_ + ": driver initialisation failed with status " + std::to_string(status);
        return kError;
    }
    queryInterface_ = query;
    hooks_.entry = reinterpret_cast<CallEntryHookFn>(query(kCallEntryHook));
    hooks_.exit = reinterpret_cast<CallExitHookFn>(query(kCallExitHook));
    if (hooks_.entry == nullptr || hooks_.exit == nullptr) {
        hooks_ = Hooks{};
    }
    lastError_.clear();
    return kOk;
}

void* DriverLoader::resolve(uint32_t id) {
    {
        std::shared_lock lock(cacheMutex_);
        const auto it = entries_.find(id);
        if (it != entries_.end()) {
            return it->second;
        }
    }
    QueryInterfaceFn query = nullptr;
    {
        std::lock_guard lock(stateMutex_);
        query = queryInterface_;
    }
    // In flight the library cannot be unloaded, so the resolver stays valid here.
    void* entry = query != nullptr ? query(id) : nullptr;
    std::unique_lock lock(cacheMutex_);
    entries_.emplace(id, entry);
    return entry;
}

DriverLoader::Hooks DriverLoader::currentHooks() const {
    std::lock_guard lock(stateMutex_);
    return hooks_;
}

int DriverLoader::unload() {
    std::unique_lock lock(stateMutex_);
    if (module_ == nullptr) {
        return kOk;
    }
    unloading_ = true;
    idle_.wait(lock, [this] { return inFlight_ == 0; });
    int status = kOk;
    if (queryInterface_ != nullptr) {
        auto unloadFn = reinterpret_cast<UnloadFn>(queryInterface_(kUnload));
        status = unloadFn != nullptr ? unloadFn() : kNoImplementation;
    }
    releaseLocked();
    unloading_ = false;
    return status;
}

void DriverLoader::releaseLocked() {
    {
        std::unique_lock cacheLock(cacheMutex_);
        entries_.clear();
    }
    queryInterface_ = nullptr;
    hooks_ = Hooks{};
    dlclose(module_);
    module_ = nullptr;
}

bool DriverLoader::isLoaded() const {
    std::lock_guard lock(stateMutex_);
    return queryInterface_ != nullptr;
}

bool DriverLoader::hasHooks() const {
    std::lock_guard lock(stateMutex_);
    return hooks_.entry != nullptr;
}

std::string DriverLoader::lastError() const {
    std::lock_guard lock(stateMutex_);
    return lastError_;
}

int DriverLoader::loadPowerLibrary(const std::string& path) {
    if (powerQueryInterface_ != nullptr) {
        return kOk;
    }
    if (powerModule_ == nullptr) {
        powerModule_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (powerModule_ == nullptr) {
            return kLibraryNotFound;
        }
    }
    powerQueryInterface_ =
        reinterpret_cast<QueryInterfaceFn>(dlsym(powerModule_, kPowerQueryInterfaceSymbol));
    return powerQueryInterface_ != nullptr ? kOk : kLibraryNotFound;
}

void* DriverLoader::resolvePower(uint32_t id) {
    return powerQueryInterface_ != nullptr ? powerQueryInterface_(id) : nullptr;
}

}  // namespace qv::drv
