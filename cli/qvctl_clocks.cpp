// `qvctl clocks GPU` and `qvctl set-clocks GPU KIND GPU_MHZ SHADER_MHZ MEM_MHZ`: the levels of
// the per-level clock table, read and written through the hardware layer.
#include <cstdio>
#include <string>

#include "gpu/DriverStatus.h"
#include "qvctl_commands.h"

namespace qv::cli {

namespace {

constexpr uint32_t kMaxClockMHz = 100000;
constexpr uint32_t kWriteFlagSet = 1;
constexpr uint32_t kHighestKind = gpu::kLevelKindFour;
constexpr size_t kSetClocksArguments = 5;

// One clock domain of a level as the layer reports it, in kHz.
struct Domain {
    const char* name;
    uint32_t current;
    uint32_t base;
    uint32_t minimum;
    uint32_t maximum;
};

bool hasRange(const Domain& domain) {
    return domain.minimum != 0 || domain.maximum != 0;
}

std::string mhzText(uint32_t kHz) {
    return thousandthsText(kHz) + " MHz";
}

std::string domainText(const Domain& d) {
    std::string text = "current " + mhzText(d.current) + ", base " + mhzText(d.base);
    if (hasRange(d)) {
        text += ", min " + mhzText(d.minimum) + ", max " + mhzText(d.maximum);
    } else {
        text += ", min n/a, max n/a";
    }
    return text;
}

Domain graphicsOf(const gpu::PerfClockRequest& r) {
    return {"graphics", r.graphicsCurrent, r.graphicsBase, r.graphicsMin, r.graphicsMax};
}
Domain memoryOf(const gpu::PerfClockRequest& r) {
    return {"memory", r.memoryCurrent, r.memoryBase, r.memoryMin, r.memoryMax};
}
Domain shaderOf(const gpu::PerfClockRequest& r) {
    return {"shader", r.processorCurrent, r.processorBase, r.processorMin, r.processorMax};
}

std::string kindKey(int kind, const char* part) {
    return format("kind-%d-%s", kind, part);
}

void appendLevel(std::string& out, const gpu::GpuLayer& layer, uint8_t gpu, int kind,
                 const gpu::PerfClockRequest& request) {
    appendLine(out, format("kind-%d", kind), levelKindName(kind));
    appendLine(out, kindKey(kind, "graphics"), domainText(graphicsOf(request)));
    appendLine(out, kindKey(kind, "memory"), domainText(memoryOf(request)));
    appendLine(
        out, kindKey(kind, "shader"),
        layer.record(gpu).processorDomainPresent ? domainText(shaderOf(request)) : kNotAvailable);
}

void appendUnreadableLevel(std::string& out, int kind) {
    appendLine(out, format("kind-%d", kind), levelKindName(kind));
    for (const char* part : {"graphics", "memory", "shader"}) {
        appendLine(out, kindKey(kind, part), kNotAvailable);
    }
}

int readCurrentKind(gpu::GpuLayer& layer, uint8_t gpu, int& kind) {
    const int status = layer.currentLevelKind(gpu, kind);
    layer.reenumerateOnStatus(status);
    return status;
}

int readLevel(gpu::GpuLayer& layer, uint8_t gpu, int kind, gpu::PerfClockRequest& request) {
    request = {};
    const int status = layer.readLevelClocks(gpu, request, kind);
    layer.reenumerateOnStatus(status);
    return status;
}

// A requested frequency must lie in the level's range. A domain for which the driver reports
// no range cannot be checked, so it keeps its present frequency: only that frequency, rounded
// to whole MHz, is accepted for it.
bool checkRequest(const Domain& domain, int kind, uint32_t& requestedKHz) {
    if (!hasRange(domain)) {
        if (requestedKHz == gpu::roundedMHz(domain.current) * gpu::kKHzPerMHz) {
            requestedKHz = domain.current;
            return true;
        }
        reportError(
            format("the level of kind %d reports no range for the %s clock; it keeps "
                   "its %s MHz, so give %u, not %u",
                   kind, domain.name, thousandthsText(domain.current).c_str(),
                   gpu::roundedMHz(domain.current), requestedKHz / gpu::kKHzPerMHz));
        return false;
    }
    if (requestedKHz >= domain.minimum && requestedKHz <= domain.maximum) {
        return true;
    }
    reportError(format("%s clock %s MHz is outside the range of the level of kind %d: %s to %s MHz",
                       domain.name, thousandthsText(requestedKHz).c_str(), kind,
                       thousandthsText(domain.minimum).c_str(),
                       thousandthsText(domain.maximum).c_str()));
    return false;
}

void noteDifference(std::string& out, const Domain& readBack, uint32_t writtenKHz) {
    if (readBack.current != writtenKHz) {
        appendLine(out, "note",
                   format("the board reports the %s clock at %s, not the %s written", readBack.name,
                          mhzText(readBack.current).c_str(), mhzText(writtenKHz).c_str()));
    }
}

bool parseMegahertz(const std::string& text, const char* what, uint32_t& kHz) {
    uint32_t mhz = 0;
    if (!parseUnsigned(text, kMaxClockMHz, mhz)) {
        reportError(format("%s is a whole number of MHz from 0 to %u, not '%s'", what, kMaxClockMHz,
                           text.c_str()));
        return false;
    }
    kHz = gpu::toKHz(static_cast<int32_t>(mhz));
    return true;
}

}  // namespace

int runClocks(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out) {
    if (args.size() != 1) {
        reportError("clocks needs a GPU index (qvctl clocks GPU)");
        return kExitUsage;
    }
    uint8_t gpu = 0;
    if (!parseGpuIndex(args[0], layer, gpu)) {
        return kExitUsage;
    }
    std::string text = format("GPU %u\n", static_cast<unsigned>(gpu));
    int failed = drv::kOk;
    int current = 0;
    const int currentStatus = readCurrentKind(layer, gpu, current);
    appendLine(text, "current-kind",
               currentStatus == drv::kOk ? format("%d (%s)", current, levelKindName(current))
                                         : kNotAvailable);
    if (currentStatus != drv::kOk) {
        failed = currentStatus;
    }
    for (const int kind : gpu::kLevelKindOrder) {
        if (!layer.record(gpu).hasTableLevel(kind)) {
            continue;
        }
        gpu::PerfClockRequest request;
        const int status = readLevel(layer, gpu, kind, request);
        if (status != drv::kOk) {
            failed = failed == drv::kOk ? status : failed;
            appendUnreadableLevel(text, kind);
            continue;
        }
        appendLevel(text, layer, gpu, kind, request);
        appendLine(text, kindKey(kind, "boost-ratio"), format("%.3f", layer.boostRatio(gpu, kind)));
    }
    if (layer.record(gpu).hasTableLevel(gpu::kLevelKindFour)) {
        // The fourth level is shown when it can be read; it has no boost ratio of its own.
        gpu::PerfClockRequest request;
        if (readLevel(layer, gpu, gpu::kLevelKindFour, request) == drv::kOk) {
            appendLevel(text, layer, gpu, gpu::kLevelKindFour, request);
        }
    }
    std::fputs(text.c_str(), out);
    if (failed != drv::kOk) {
        return reportDriverFailure("reading the clock levels of GPU " + std::to_string(gpu),
                                   failed);
    }
    return kExitOk;
}

int runSetClocks(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out) {
    if (args.size() != kSetClocksArguments) {
        reportError(
            "set-clocks needs a GPU index, a level kind and three clocks in MHz "
            "(qvctl set-clocks GPU KIND GPU_MHZ SHADER_MHZ MEM_MHZ)");
        return kExitUsage;
    }
    uint8_t gpu = 0;
    if (!parseGpuIndex(args[0], layer, gpu)) {
        return kExitUsage;
    }
    uint32_t kindNumber = 0;
    if (!parseUnsigned(args[1], kHighestKind, kindNumber) || kindNumber == 0) {
        reportError("the level kind is 1 (2D), 2 (3D PERF), 3 (3D Low) or 4 (4th level), not '" +
                    args[1] + "'");
        return kExitUsage;
    }
    const int kind = static_cast<int>(kindNumber);
    uint32_t graphicsKHz = 0, shaderKHz = 0, memoryKHz = 0;
    if (!parseMegahertz(args[2], "GPU_MHZ", graphicsKHz) ||
        !parseMegahertz(args[3], "SHADER_MHZ", shaderKHz) ||
        !parseMegahertz(args[4], "MEM_MHZ", memoryKHz)) {
        return kExitUsage;
    }
    const std::string name = "GPU " + std::to_string(gpu);
    if (kind == gpu::kLevelKindFour) {
        int current = 0;
        const int status = readCurrentKind(layer, gpu, current);
        if (status != drv::kOk) {
            return reportDriverFailure("reading the clock table of " + name, status);
        }
    }
    if (!layer.record(gpu).hasTableLevel(kind)) {
        reportError(
            format("%s has no level of kind %d (%s)", name.c_str(), kind, levelKindName(kind)));
        return kExitUsage;
    }
    gpu::PerfClockRequest request;
    int status = readLevel(layer, gpu, kind, request);
    if (status != drv::kOk) {
        return reportDriverFailure(format("reading the level of kind %d of %s", kind, name.c_str()),
                                   status);
    }
    const bool hasShader = layer.record(gpu).processorDomainPresent;
    // Every domain is checked, so that one run names every value that is refused.
    bool accepted = checkRequest(graphicsOf(request), kind, graphicsKHz);
    accepted = checkRequest(memoryOf(request), kind, memoryKHz) && accepted;
    if (hasShader) {
        accepted = checkRequest(shaderOf(request), kind, shaderKHz) && accepted;
    }
    if (!accepted) {
        return kExitUsage;
    }
    gpu::LevelClockChange change;
    change.graphicsKHz = graphicsKHz;
    change.memoryKHz = memoryKHz;
    if (hasShader) {
        change.processorKHz = shaderKHz;
    }
    gpu::LevelClockStep failedStep = gpu::LevelClockStep::kNone;
    status = layer.replaceLevelClocks(gpu, kind, change, kWriteFlagSet, &failedStep);
    layer.reenumerateOnStatus(status);
    if (status != drv::kOk) {
        const char* step = failedStep == gpu::LevelClockStep::kRead ? "reading" : "writing";
        return reportDriverFailure(
            format("%s the level of kind %d of %s", step, kind, name.c_str()), status);
    }
    gpu::PerfClockRequest readBack;
    status = readLevel(layer, gpu, kind, readBack);
    if (status != drv::kOk) {
        return reportDriverFailure(
            format("reading back the level of kind %d of %s", kind, name.c_str()), status);
    }
    std::string text = format("GPU %u\n", static_cast<unsigned>(gpu));
    appendLevel(text, layer, gpu, kind, readBack);
    if (!hasShader) {
        appendLine(text, "note", name + " has no shader clock; SHADER_MHZ was not used");
    }
    noteDifference(text, graphicsOf(readBack), graphicsKHz);
    noteDifference(text, memoryOf(readBack), memoryKHz);
    if (hasShader) {
        noteDifference(text, shaderOf(readBack), shaderKHz);
    }
    std::fputs(text.c_str(), out);
    return kExitOk;
}

}  // namespace qv::cli
