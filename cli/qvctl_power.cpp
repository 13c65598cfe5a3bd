// Board power from the board's measuring chips, and `qvctl power-limit GPU [raise]`.
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "gpu/BoardIds.h"
#include "gpu/DriverStatus.h"
#include "qvctl_commands.h"

namespace qv::cli {

namespace {

// The current-and-rail estimate: an RMS of current × rail over a number of samples, scaled by
// the sense resistor (0.025) and an efficiency of 0.95. The accumulator of the first estimate of
// a process starts at 0.025 × 10 × 0.025 ÷ 0.95², which adds about 1 W to that estimate.
constexpr double kSenseResistor = 0.025;
constexpr double kSeedRailVolts = 10.0;
constexpr double kSeedCurrent = 0.025;
constexpr double kEfficiency = 0.95;
constexpr double kEstimateSeed =
    kSeedCurrent * kSeedRailVolts * kSenseResistor / (kEfficiency * kEfficiency);

// Power monitors: register 3 counts 4.9 mW steps.
constexpr double kMonitorWattsPerStep = 0.0049;
constexpr std::array<uint16_t, 3> kSlot11HeavyDevices = {0x1080, 0x1081, 0x1086};
constexpr double kSlot11HeavyFactor = 1.5;
constexpr std::array<uint16_t, 5> kMonitorOverreadDevices = {0x1245, 0x0DE0, 0x0DE1, 0x0DC4,
                                                             0x1244};
constexpr double kMonitorOverreadDivisor = 1.1;
constexpr std::array<gpu::I2cSlot, 3> kMonitorSlots = {
    gpu::kSlotPowerMonitor9, gpu::kSlotPowerMonitor10, gpu::kSlotPowerMonitor11};

constexpr const char* kRaiseWord = "raise";
constexpr uint32_t kPolicyValidBit = 0x1;
constexpr uint32_t kPolicyCountShift = 8;
constexpr uint32_t kPolicyCountMask = 0xFF;

// Power-limit values are thousandths of a percent of the board's default limit.
std::string percentText(uint32_t thousandthsOfPercent) {
    return thousandthsText(thousandthsOfPercent) + " %";
}

struct PowerLimits {
    drv::PowerPoliciesInfo info{};
    drv::PowerPoliciesStatus status{};
};

int readLimits(gpu::GpuLayer& layer, uint8_t gpu, PowerLimits& limits) {
    limits.info = {};
    limits.info.version = drv::kPowerPoliciesInfoVersion;
    int status = layer.powerPoliciesInfo(gpu, limits.info);
    if (status == drv::kOk) {
        limits.status = {};
        limits.status.version = drv::kPowerPoliciesStatusVersion;
        status = layer.powerPoliciesStatus(gpu, limits.status);
    }
    layer.reenumerateOnStatus(status);
    return status;
}

// A policy the limit can be read from and raised to: the driver lists one, with a maximum, and
// reports the limit in force.
bool usablePolicy(const PowerLimits& limits) {
    const uint32_t count = (limits.info.flags >> kPolicyCountShift) & kPolicyCountMask;
    return (limits.info.flags & kPolicyValidBit) != 0 && count > 0 &&
           limits.info.entries[0].maxPower != 0 && limits.status.count > 0;
}

void appendLimits(std::string& out, const PowerLimits& limits) {
    appendLine(out, "power-limit", percentText(limits.status.entries[0].power));
    appendLine(out, "power-limit-default", percentText(limits.info.entries[0].defaultPower));
    appendLine(out, "power-limit-min", percentText(limits.info.entries[0].minPower));
    appendLine(out, "power-limit-max", percentText(limits.info.entries[0].maxPower));
}

}  // namespace

int BoardPower::read(gpu::GpuLayer& layer, uint8_t gpu, int levelKind, uint32_t& watts) {
    if (gpu >= layer.gpuCount()) {
        return drv::kInvalidArgument;
    }
    const gpu::GpuRecord& record = layer.record(gpu);
    if (record.hasChip(gpu::kSlotFanChip0) && record.hasChip(gpu::kSlotRegulator3)) {
        return readEstimate(layer, gpu, watts);
    }
    return readMonitors(layer, gpu, levelKind, watts);
}

int BoardPower::readEstimate(gpu::GpuLayer& layer, uint8_t gpu, uint32_t& watts) {
    if (accumulator_ < 0.0) {
        accumulator_ = kEstimateSeed;
    }
    for (uint32_t sample = 0; sample < kEstimateSamples; ++sample) {
        float current = 0.0f, rail = 0.0f;
        int status = layer.slot0CurrentValue(gpu, current);
        if (status == drv::kOk) {
            status = layer.slot0RailValue(gpu, rail);
        }
        if (status != drv::kOk) {
            // A partial set of samples would understate the power; start the next estimate afresh.
            accumulator_ = 0.0;
            return status;
        }
        const double product = static_cast<double>(current) * static_cast<double>(rail);
        accumulator_ += product * product;
    }
    const double power = std::sqrt(accumulator_ / kEstimateSamples) * kEfficiency / kSenseResistor;
    accumulator_ = 0.0;
    watts = static_cast<uint32_t>(power);
    return drv::kOk;
}

int BoardPower::readMonitors(gpu::GpuLayer& layer, uint8_t gpu, int levelKind, uint32_t& watts) {
    std::array<uint32_t, kMonitorSlots.size()> readings{};
    bool any = false;
    for (size_t i = 0; i < kMonitorSlots.size(); ++i) {
        if (!layer.record(gpu).hasChip(kMonitorSlots[i])) {
            continue;
        }
        uint16_t value = 0;
        const int status = layer.powerMonitorReading(gpu, kMonitorSlots[i], value);
        if (status != drv::kOk) {
            // Without one of the monitors the sum is not the board's power.
            return status;
        }
        readings[i] = value;
        any = true;
    }
    if (!any) {
        return drv::kNotSupported;
    }
    // Summed in 32 bits: two 16-bit readings may together exceed 16 bits on a board drawing
    // more than about 320 W.
    const uint32_t device = layer.record(gpu).deviceId();
    uint32_t sum = readings[0] + readings[1];
    if (gpu::inSet(kSlot11HeavyDevices, device)) {
        sum = static_cast<uint32_t>(readings[2] * kSlot11HeavyFactor + sum);
    } else {
        sum += readings[2];
    }
    if ((levelKind == gpu::kLevelKind2D || levelKind == gpu::kLevelKind3DPerf) &&
        gpu::inSet(kMonitorOverreadDevices, device)) {
        sum = static_cast<uint32_t>(sum / kMonitorOverreadDivisor);
    }
    watts = static_cast<uint32_t>(sum * kMonitorWattsPerStep);
    return drv::kOk;
}

int runPowerLimit(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out) {
    const bool raise = args.size() == 2 && args[1] == kRaiseWord;
    if (args.empty() || args.size() > 2 || (args.size() == 2 && !raise)) {
        reportError(
            "power-limit needs a GPU index, optionally followed by 'raise' "
            "(qvctl power-limit GPU [raise])");
        return kExitUsage;
    }
    uint8_t gpu = 0;
    if (!parseGpuIndex(args[0], layer, gpu)) {
        return kExitUsage;
    }
    const std::string name = "GPU " + std::to_string(gpu);
    PowerLimits before;
    int status = readLimits(layer, gpu, before);
    if (status == drv::kNotSupported) {
        reportError(name + " has no power limit the driver can show or set (driver status " +
                    std::to_string(status) + ")");
        return kExitFailed;
    }
    if (status != drv::kOk) {
        return reportDriverFailure("reading the power limit of " + name, status);
    }
    if (!usablePolicy(before)) {
        reportError("the driver lists no usable power policy for " + name);
        return kExitFailed;
    }
    std::string text = format("GPU %u\n", static_cast<unsigned>(gpu));
    if (!raise) {
        appendLimits(text, before);
        std::fputs(text.c_str(), out);
        return kExitOk;
    }
    status = layer.raisePowerLimit(gpu);
    layer.reenumerateOnStatus(status);
    if (status != drv::kOk) {
        return reportDriverFailure("raising the power limit of " + name, status);
    }
    PowerLimits after;
    status = readLimits(layer, gpu, after);
    if (status != drv::kOk) {
        return reportDriverFailure("reading back the power limit of " + name, status);
    }
    appendLine(text, "power-limit-before", percentText(before.status.entries[0].power));
    appendLimits(text, after);
    std::fputs(text.c_str(), out);
    return kExitOk;
}

}  // namespace qv::cli
