// `qvctl fan GPU LEVEL|auto`: a fixed fan level, or back to automatic control.
#include <cstdio>
#include <string>

#include "gpu/ChipRegisters.h"
#include "gpu/DriverStatus.h"
#include "qvctl_commands.h"

namespace qv::cli {

namespace {

constexpr const char* kAutomaticWord = "auto";
constexpr uint32_t kMaxFanPercent = 100;
// The slot-0 fan chip takes its level as an rpm set point and stores the fan period
// (kSlot0PeriodNumerator / rpm) in a 16-bit register pair. Lower set points than
// kMinSlot0Rpm (other than 0) would not fit and would be cut to a wrong period.
using gpu::chip::kSlot0MaxPeriod;
using gpu::chip::kSlot0PeriodNumerator;
constexpr uint32_t kMinSlot0Rpm = kSlot0PeriodNumerator / (kSlot0MaxPeriod + 1) + 1;
constexpr uint32_t kMaxSlot0Rpm = kSlot0PeriodNumerator;
static_assert(kSlot0PeriodNumerator / kMinSlot0Rpm <= kSlot0MaxPeriod);
static_assert(kSlot0PeriodNumerator / (kMinSlot0Rpm - 1) > kSlot0MaxPeriod);

bool parseLevel(const std::string& text, bool rpm, uint32_t& level) {
    if (rpm) {
        if (parseUnsigned(text, kMaxSlot0Rpm, level) && (level == 0 || level >= kMinSlot0Rpm)) {
            return true;
        }
        reportError("this GPU's fan takes an rpm set point: 0, or " + std::to_string(kMinSlot0Rpm) +
                    " to " + std::to_string(kMaxSlot0Rpm) + ", not '" + text + "'");
        return false;
    }
    if (parseUnsigned(text, kMaxFanPercent, level)) {
        return true;
    }
    reportError("the fan level is a percentage from 0 to 100 or 'auto', not '" + text + "'");
    return false;
}

}  // namespace

int runFan(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out) {
    if (args.size() != 2) {
        reportError("fan needs a GPU index and a level or 'auto' (qvctl fan GPU LEVEL|auto)");
        return kExitUsage;
    }
    uint8_t gpu = 0;
    if (!parseGpuIndex(args[0], layer, gpu)) {
        return kExitUsage;
    }
    const gpu::FanControllerKind kind = layer.record(gpu).fanKind;
    const bool automatic = args[1] == kAutomaticWord;
    uint32_t level = 0;
    if (!automatic && !parseLevel(args[1], layer.record(gpu).fanSetInRpm(), level)) {
        return kExitUsage;
    }
    if (kind == gpu::kFanNoCooler) {
        reportError("GPU " + std::to_string(gpu) + " has no cooler that can be driven");
        return kExitFailed;
    }
    const int status = automatic ? layer.setFanAutomatic(gpu) : layer.setFanLevel(gpu, level);
    layer.reenumerateOnStatus(status);
    if (status != drv::kOk) {
        reportError("setting the fan of GPU " + std::to_string(gpu) + " to " + args[1] +
                    " failed (driver status " + std::to_string(status) + ")");
        return kExitFailed;
    }
    BoardPower power;
    std::fputs(formatStatus(layer, gpu, power).c_str(), out);
    return kExitOk;
}

}  // namespace qv::cli
