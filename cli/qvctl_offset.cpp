// `qvctl offset GPU [graphics|memory|voltage VALUE]`: the P-states 2.0 offsets of P0 on
// Kepler-class boards.
#include <algorithm>
#include <cstdio>
#include <string>

#include "gpu/DriverStatus.h"
#include "qvctl_commands.h"

namespace qv::cli {

namespace {

// Larger offsets than these are no offsets at all; they also keep the value × 1000 in 32 bits.
constexpr int32_t kMaxOffsetMHz = 100000;
constexpr int32_t kMaxOffsetMv = 100000;
// kHz per MHz and µV per mV.
constexpr int32_t kThousandthsPerUnit = 1000;
constexpr size_t kShowArguments = 1;
constexpr size_t kSetArguments = 3;

enum class Target { kGraphics, kMemory, kVoltage };

struct TargetInfo {
    Target target;
    const char* word;  // as given on the command line
    const char* key;   // output key
    const char* unit;  // of the command line and the output
    int32_t limit;     // of the command-line value
};

constexpr TargetInfo kTargets[] = {
    {Target::kGraphics, "graphics", "graphics-offset", "MHz", kMaxOffsetMHz},
    {Target::kMemory, "memory", "memory-offset", "MHz", kMaxOffsetMHz},
    {Target::kVoltage, "voltage", "voltage-offset", "mV", kMaxOffsetMv},
};

const TargetInfo* findTarget(const std::string& word) {
    for (const TargetInfo& info : kTargets) {
        if (word == info.word) {
            return &info;
        }
    }
    return nullptr;
}

// The offset of `target` in P0 with its allowed range, in kHz or µV; null when the driver
// does not list it.
const drv::Pstates20Param* p0Offset(const drv::Pstates20Info& info, Target target) {
    const uint32_t pstates = std::min(info.numPstates, drv::kPstates20MaxPstates);
    for (uint32_t p = 0; p < pstates; ++p) {
        const drv::Pstates20Pstate& pstate = info.pstates[p];
        if (pstate.pstateId != drv::kPstate0) {
            continue;
        }
        if (target == Target::kVoltage) {
            const uint32_t count = std::min(info.numBaseVoltages, drv::kPstates20MaxBaseVoltages);
            for (uint32_t v = 0; v < count; ++v) {
                if (pstate.baseVoltages[v].domainId == drv::kVoltageDomainCore) {
                    return &pstate.baseVoltages[v].voltDeltaUv;
                }
            }
            return nullptr;
        }
        const uint32_t domain =
            target == Target::kGraphics ? drv::kClockDomainGraphics : drv::kClockDomainMemory;
        const uint32_t count = std::min(info.numClocks, drv::kPstates20MaxClocks);
        for (uint32_t c = 0; c < count; ++c) {
            if (pstate.clocks[c].domainId == domain) {
                return &pstate.clocks[c].freqDeltaKHz;
            }
        }
        return nullptr;
    }
    return nullptr;
}

bool hasRange(const drv::Pstates20Param& param) {
    return param.min < param.max;
}

std::string offsetText(const drv::Pstates20Param* param, const char* unit) {
    if (param == nullptr) {
        return kNotAvailable;
    }
    std::string text = signedThousandthsText(param->value) + " " + unit;
    if (hasRange(*param)) {
        text += " (range " + signedThousandthsText(param->min) + " to " +
                signedThousandthsText(param->max) + " " + unit + ")";
    }
    return text;
}

int readOffsets(gpu::GpuLayer& layer, uint8_t gpu, drv::Pstates20Info& info) {
    const int status = layer.pstates20Info(gpu, info);
    layer.reenumerateOnStatus(status);
    return status;
}

std::string formatOffsets(uint8_t gpu, const drv::Pstates20Info& info) {
    std::string text = format("GPU %u\n", static_cast<unsigned>(gpu));
    for (const TargetInfo& target : kTargets) {
        appendLine(text, target.key, offsetText(p0Offset(info, target.target), target.unit));
    }
    return text;
}

int sendOffset(gpu::GpuLayer& layer, uint8_t gpu, Target target, int32_t thousandths) {
    switch (target) {
        case Target::kGraphics:
            return layer.setGraphicsOffset(gpu, thousandths);
        case Target::kMemory:
            return layer.setMemoryOffset(gpu, thousandths);
        case Target::kVoltage:
            return layer.setCoreVoltageOffset(gpu, thousandths);
    }
    return drv::kInvalidArgument;
}

}  // namespace

int runOffset(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out) {
    if (args.size() != kShowArguments && args.size() != kSetArguments) {
        reportError(
            "offset needs a GPU index, optionally followed by graphics, memory or "
            "voltage and a value (qvctl offset GPU [graphics|memory|voltage VALUE])");
        return kExitUsage;
    }
    uint8_t gpu = 0;
    if (!parseGpuIndex(args[0], layer, gpu)) {
        return kExitUsage;
    }
    const TargetInfo* target = nullptr;
    int32_t value = 0;
    if (args.size() == kSetArguments) {
        target = findTarget(args[1]);
        if (target == nullptr) {
            reportError("the offset is 'graphics', 'memory' or 'voltage', not '" + args[1] + "'");
            return kExitUsage;
        }
        if (!parseSigned(args[2], target->limit, value)) {
            reportError(format("the %s offset is a whole number of %s from -%d to %d, not '%s'",
                               target->word, target->unit, target->limit, target->limit,
                               args[2].c_str()));
            return kExitUsage;
        }
    }
    const std::string name = "GPU " + std::to_string(gpu);
    if (!layer.record(gpu).keplerClass) {
        reportError(name +
                    " is not a Kepler-class board; its clocks are set per level with "
                    "set-clocks, not by offsets");
        return kExitFailed;
    }
    drv::Pstates20Info info{};
    int status = readOffsets(layer, gpu, info);
    if (status != drv::kOk) {
        return reportDriverFailure("reading the P-state offsets of " + name, status);
    }
    if (target != nullptr) {
        const int32_t thousandths = value * kThousandthsPerUnit;
        const drv::Pstates20Param* current = p0Offset(info, target->target);
        if (current != nullptr && hasRange(*current) &&
            (thousandths < current->min || thousandths > current->max)) {
            reportError(format("the %s offset %s %s is outside the range of %s: %s to %s %s",
                               target->word, signedThousandthsText(thousandths).c_str(),
                               target->unit, name.c_str(),
                               signedThousandthsText(current->min).c_str(),
                               signedThousandthsText(current->max).c_str(), target->unit));
            return kExitUsage;
        }
        status = sendOffset(layer, gpu, target->target, thousandths);
        layer.reenumerateOnStatus(status);
        if (status != drv::kOk) {
            return reportDriverFailure(
                format("setting the %s offset of %s", target->word, name.c_str()), status);
        }
        status = readOffsets(layer, gpu, info);
        if (status != drv::kOk) {
            return reportDriverFailure("reading back the P-state offsets of " + name, status);
        }
    }
    std::fputs(formatOffsets(gpu, info).c_str(), out);
    return kExitOk;
}

}  // namespace qv::cli
