// Test support for the BIOS flash: the stand-in flash tool, and a clock and a local time that
// let the job's minutes pass in a moment.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Clock.h"
#include "platform/LocalTime.h"

namespace qv::test {

// Prints its arguments, asks a yes/no question and ends with QV_STANDIN_EXIT; see the script.
inline const std::string kStandInFlashTool =
    std::string(QV_TEST_SOURCE_DIR) + "/online/stand-in-flash-tool.sh";

// A clock whose time moves by what it is asked to sleep, while it really sleeps only a part of
// that (a fortieth unless told): the job's 800 ms answers come every 20 ms, and a started program
// still gets real time to run between them.
class PacedClock final : public platform::Clock {
public:
    explicit PacedClock(uint32_t divisor = 40) : divisor_(divisor) {}
    uint64_t tickMs() override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    void sleepMs(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max<uint32_t>(ms / divisor_, 1)));
        std::lock_guard lock(mutex_);
        now_ += ms;
    }

private:
    const uint32_t divisor_;
    std::mutex mutex_;
    uint64_t now_ = 0;
};

// What the tests give the ROM-dump helper, in the clock's time: ample, so that a slow start of
// the helper on a busy machine is never taken for a failure.
inline constexpr uint32_t kTestRomDumpLimitMs = 3600000;

// Local time that follows a clock, from a given minute and second of the hour.
class ClockedLocalTime final : public platform::LocalTimeSource {
public:
    ClockedLocalTime(platform::Clock& clock, int minute, int second)
        : clock_(clock), startMs_(static_cast<uint64_t>(minute * 60 + second) * 1000) {}
    // The given minute and second are the time of the first reading.
    platform::LocalDateTime now() override {
        std::lock_guard lock(mutex_);
        if (!started_) {
            started_ = true;
            baseMs_ = clock_.tickMs();
        }
        const uint64_t ms = startMs_ + clock_.tickMs() - baseMs_;
        platform::LocalDateTime t;
        t.minute = static_cast<int>(ms / 60000 % 60);
        t.second = static_cast<int>(ms / 1000 % 60);
        return t;
    }

private:
    platform::Clock& clock_;
    uint64_t startMs_;
    std::mutex mutex_;
    bool started_ = false;
    uint64_t baseMs_ = 0;

public:
    // The clock's time at the first reading.
    uint64_t firstReadingMs() {
        std::lock_guard lock(mutex_);
        return baseMs_;
    }
};

}  // namespace qv::test
