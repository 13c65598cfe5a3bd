#include "fan/FanSpeedTest.h"

#include <cstdio>
#include <cstring>

#include "gpu/DriverStatus.h"

namespace qv::fan {
namespace {

// A fan slower than nine tenths of its reference is worth a warning.
constexpr uint64_t kWarnNumerator = 9;
constexpr uint64_t kWarnDenominator = 10;

std::string formatTwo(const std::string& format, uint32_t first, uint32_t second) {
    // The templates come from our own language table and hold exactly two "%d".
    const int size = std::snprintf(nullptr, 0, format.c_str(), static_cast<int>(first),
                                   static_cast<int>(second));
    if (size < 0) {
        return format;
    }
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format.c_str(), static_cast<int>(first),
                  static_cast<int>(second));
    text.resize(static_cast<size_t>(size));
    return text;
}

}  // namespace

FanSpeedTest::FanSpeedTest(FanTestServices services) : services_(std::move(services)) {}

FanTestStart FanSpeedTest::start(uint8_t gpu) {
    if (running_) {
        return FanTestStart::kAlreadyRunning;
    }
    gpu::GpuLayer& layer = *services_.layer;
    uint32_t version = 0;
    // A version that cannot be read counts as too old: the fan is left alone.
    if (layer.displayDriverVersion(version) != drv::kOk || version < kFanTestMinimumDriverVersion) {
        return FanTestStart::kDriverTooOld;
    }
    gpu_ = gpu;
    int32_t percent = 0;
    savedPercent_ = layer.fanPercent(gpu, percent) == drv::kOk ? percent : 0;
    int mode = gpu::GpuLayer::kFanModeAutomatic;
    // A mode that cannot be read is given back to the driver afterwards.
    savedMode_ = layer.fanMode(gpu, mode) == drv::kOk ? mode : gpu::GpuLayer::kFanModeAutomatic;
    services_.sendFanCommand(FanCommand::level(kTestPercent));
    running_ = true;
    settled_ = false;
    ticks_ = 0;
    rpmSum_ = 0;
    lastRpm_ = 0;
    return FanTestStart::kStarted;
}

FanTestResult FanSpeedTest::tick() {
    FanTestResult result;
    if (!running_) {
        return result;
    }
    if (ticks_ != kMeasuringTicks) {
        int32_t rpm = 0;
        if (services_.layer->fanRpm(gpu_, rpm) == drv::kOk) {
            lastRpm_ = rpm;
        }
        rpmSum_ += static_cast<uint32_t>(lastRpm_ > 0 ? lastRpm_ : 0);
        ++ticks_;
        result.outcome = FanTestOutcome::kMeasuring;
        return result;
    }
    ticks_ = 0;
    const uint32_t measured = rpmSum_ >> 1;
    result.measured = measured;

    const std::vector<std::string> ids = deviceIds();
    const bool referenceRead = readFanSpeedReferences(services_.referencePath, ids, references_);
    if (referenceRead && fanSlowerThanReference(references_[0], measured)) {
        result.outcome = FanTestOutcome::kWarning;
        result.reference = references_[0];
        finish();
        return result;
    }
    if (!referenceRead) {
        result.referenceWritten = true;
        result.writeError = writeFanSpeedReferences(services_.referencePath, ids, measured);
    }
    result.outcome = FanTestOutcome::kOk;
    result.reference = references_[0];
    finish();
    return result;
}

void FanSpeedTest::stop() {
    if (running_) {
        finish();
    }
}

void FanSpeedTest::finish() {
    restoreFan();
    running_ = false;
    settled_ = false;
    ticks_ = 0;
    rpmSum_ = 0;
}

void FanSpeedTest::restoreFan() {
    if (savedMode_ == gpu::GpuLayer::kFanModeManual) {
        services_.sendFanCommand(FanCommand::level(static_cast<uint32_t>(savedPercent_)));
    } else {
        services_.sendFanCommand(FanCommand::automatic());
    }
}

std::vector<std::string> FanSpeedTest::deviceIds() const {
    std::vector<std::string> ids;
    for (uint8_t gpu = 0; gpu < services_.layer->gpuCount(); ++gpu) {
        ids.push_back(services_.layer->deviceIdText(gpu));
    }
    return ids;
}

FanTestResult runFanSpeedTestToEnd(FanSpeedTest& test, uint8_t gpu, platform::Clock& clock,
                                   FanTestStart& started) {
    started = test.start(gpu);
    if (started != FanTestStart::kStarted) {
        return {};
    }
    clock.sleepMs(FanSpeedTest::kSettleMs);
    test.settled();
    for (;;) {
        clock.sleepMs(FanSpeedTest::kTickMs);
        const FanTestResult result = test.tick();
        if (result.outcome != FanTestOutcome::kMeasuring) {
            return result;
        }
    }
}

bool fanSlowerThanReference(uint32_t reference, uint32_t measured) {
    // reference x 0.9 > measured, in whole numbers so that the boundary is exact.
    return uint64_t{reference} * kWarnNumerator > uint64_t{measured} * kWarnDenominator;
}

std::function<void(const FanCommand&)> singleGpuFanCommand(gpu::GpuLayer& layer, uint8_t gpu) {
    return [&layer, gpu](const FanCommand& command) {
        if (layer.record(gpu).fanKind == gpu::kFanNoCooler) {
            return;
        }
        switch (command.kind) {
            case FanCommandKind::kNone:
                break;
            case FanCommandKind::kAutomatic:
                layer.setFanAutomatic(gpu);
                break;
            case FanCommandKind::kLevel:
                layer.setFanLevel(gpu, layer.record(gpu).percentToFanLevel(command.percent));
                break;
        }
    };
}

std::string fanTestMessage(const FanTestResult& result, const std::string& warningTemplate,
                           const std::string& okTemplate) {
    const bool warning = result.outcome == FanTestOutcome::kWarning;
    std::string text =
        formatTwo(warning ? warningTemplate : okTemplate, result.reference, result.measured);
    if (result.referenceWritten && result.writeError != 0) {
        text += "\nThe reference could not be saved to " + std::string(kFanSpeedFileName) + ": " +
                std::strerror(result.writeError) + ".";
    }
    return text;
}

}  // namespace qv::fan
