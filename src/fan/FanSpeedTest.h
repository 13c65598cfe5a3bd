// The fan speed test: the fan of the GPU chosen is driven to 100 %, left 3 s to settle, measured
// on two ticks 500 ms apart, and the average compared with the reference kept in the fan speed
// reference file. The first successful test on a machine writes the reference; later tests warn
// when the fan has become more than 10 % slower. The fan's mode and level are put back after
// every ending.
//
// The caller owns the time: after start() it waits kSettleMs, calls settled(), then calls tick()
// every kTickMs until a tick answers a result.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fan/FanRules.h"
#include "fan/FanSpeedReference.h"
#include "gpu/GpuLayer.h"
#include "platform/Clock.h"

namespace qv::fan {

// Drivers before this version cannot run the test.
inline constexpr uint32_t kFanTestMinimumDriverVersion = 26000;

enum class FanTestStart {
    kStarted,         // the fan runs at 100 %; wait kSettleMs, then settled()
    kDriverTooOld,    // nothing was touched
    kAlreadyRunning,  // a test is under way
};

enum class FanTestOutcome {
    kMeasuring,  // nothing to show yet
    kOk,         // the fan is as fast as its reference, or a reference was just taken
    kWarning,    // the fan is more than 10 % slower than its reference
    kNotRunning,
};

struct FanTestResult {
    FanTestOutcome outcome = FanTestOutcome::kNotRunning;
    uint32_t reference = 0;  // the first GPU's reference in memory
    uint32_t measured = 0;   // rpm, the average of the two readings
    // The reference file was written on this test, and the errno when that failed (0: written).
    bool referenceWritten = false;
    int writeError = 0;
};

struct FanTestServices {
    gpu::GpuLayer* layer = nullptr;
    // The fan command and the GPUs it goes to; the test's 100 % and its restore go through it.
    std::function<void(const FanCommand&)> sendFanCommand;
    std::string referencePath = kFanSpeedFileName;
};

class FanSpeedTest {
public:
    static constexpr uint32_t kSettleMs = 3000;
    static constexpr uint32_t kTickMs = 500;
    static constexpr int kMeasuringTicks = 2;
    static constexpr uint32_t kTestPercent = 100;

    explicit FanSpeedTest(FanTestServices services);

    FanTestStart start(uint8_t gpu);
    // The 3 s settle is over; ticks may follow. Only the caller's timing depends on it.
    void settled() { settled_ = true; }
    FanTestResult tick();
    // The test ends early (its window closes): the fan's mode and level go back.
    void stop();

    bool running() const { return running_; }
    bool waitingToSettle() const { return running_ && !settled_; }
    const FanSpeedReferences& references() const { return references_; }

private:
    void restoreFan();
    void finish();
    std::vector<std::string> deviceIds() const;

    FanTestServices services_;
    FanSpeedReferences references_{};
    bool running_ = false;
    bool settled_ = false;
    uint8_t gpu_ = 0;
    int savedMode_ = gpu::GpuLayer::kFanModeAutomatic;
    int32_t savedPercent_ = 0;
    int ticks_ = 0;
    uint32_t rpmSum_ = 0;
    int32_t lastRpm_ = 0;
};

// The whole test for a caller without a window (it sleeps through the settle and the ticks on
// `clock`): `started` says whether it ran; the result is kNotRunning when it did not.
FanTestResult runFanSpeedTestToEnd(FanSpeedTest& test, uint8_t gpu, platform::Clock& clock,
                                   FanTestStart& started);

// Whether a fan measured at `measured` rpm is more than 10 % slower than its reference.
bool fanSlowerThanReference(uint32_t reference, uint32_t measured);

// A fan command for one GPU alone, for callers without the main window (its routing over the
// linked GPUs): automatic hands the fan to the driver, a percent becomes the fan's own level.
std::function<void(const FanCommand&)> singleGpuFanCommand(gpu::GpuLayer& layer, uint8_t gpu);

// The text shown for a result: row 214 or 215 of the language table (given in the user's
// language) with the reference and the measured speed, and a line that says so when the
// reference file could not be written.
std::string fanTestMessage(const FanTestResult& result, const std::string& warningTemplate,
                           const std::string& okTemplate);

}  // namespace qv::fan
