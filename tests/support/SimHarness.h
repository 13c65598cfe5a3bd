// Test support: a fresh simulated driver per test, loaded through the program's own loader, with
// the simulator's control surface at hand.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gpu/DriverLoader.h"
#include "platform/Clock.h"
#include "support/BuiltinBoards.h"
#include "support/SimLibrary.h"
#include "support/TempDir.h"

namespace qv::test {

// Writes a board configuration for the simulator into `dir` and returns its path.
inline std::string writeConfig(const TempDir& dir, const std::string& name,
                               const std::string& text) {
    const std::string path = dir.file(name);
    std::ofstream(path) << text;
    return path;
}

// A board preset of the simulated driver, as text.
inline std::string readPreset(const std::string& name) {
    std::ifstream in(presetPath(name));
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << name;
    return text.str();
}

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
        EXPECT_EQ(control_.resolve(handle_), "") << "the simulated driver does not export these";
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
    TempDir state_;
    drv::DriverLoader loader_;
    void* handle_ = nullptr;
    SimControl control_;
};

// Polls `done` until it holds or `limit` passes; true when it held. For waiting on what another
// thread or process does, in place of sleeping a fixed time and hoping it happened.
template <typename Done>
bool waitUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    constexpr auto kPoll = std::chrono::milliseconds(1);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

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
