// `qvctl power-limit GPU [raise]`.
#include <cstdio>
#include <string>

#include "gpu/DriverStatus.h"
#include "qvctl_commands.h"

namespace qv::cli {

namespace {

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
