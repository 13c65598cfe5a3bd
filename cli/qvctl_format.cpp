// Text blocks of qvctl: the board facts of `list` and the live readings of `status`.
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "gpu/BoardIds.h"
#include "gpu/DriverStatus.h"
#include "qvctl_commands.h"

namespace qv::cli {

namespace {

constexpr uint32_t kKiBPerMiBShift = 10;
constexpr uint32_t kPresentBit = 0x1;
constexpr int kCudaCoresOk = 1;
constexpr char kUnprintableReplacement = '?';
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kLastPrintable = 0x7E;
constexpr size_t kFormatBuffer = 256;
constexpr uint32_t kThousand = 1000;
constexpr uint32_t kFractionDigits = 3;

// Role of each I2C slot, as the board probe fills them.
const char* slotRole(size_t slot) {
    switch (slot) {
        case gpu::kSlotFanChip0:
        case gpu::kSlotFanChip1:
            return "fan chip";
        case gpu::kSlotRegulator2:
        case gpu::kSlotRegulator3:
        case gpu::kSlotRegulator5:
        case gpu::kSlotRegulator6:
        case gpu::kSlotRegulator7:
            return "voltage regulator";
        case gpu::kSlotPowerMonitor9:
        case gpu::kSlotPowerMonitor10:
        case gpu::kSlotPowerMonitor11:
            return "power monitor";
        default:
            return "board chip";
    }
}

// Text that comes from the driver or a BIOS image may hold any byte; keep the output one
// printable line per value.
std::string printable(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < kFirstPrintable || u > kLastPrintable) {
            c = kUnprintableReplacement;
        }
    }
    return out;
}

std::string orNotAvailable(const std::string& text) {
    return text.empty() ? std::string(kNotAvailable) : printable(text);
}

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

std::string familyText(const gpu::GpuRecord& record) {
    std::string text;
    const auto add = [&text](bool member, const char* letter) {
        if (member) {
            if (!text.empty()) {
                text += ' ';
            }
            text += letter;
        }
    };
    add(record.familyA, "A");
    add(record.familyB, "B");
    add(record.familyC, "C");
    return text.empty() ? "-" : text;
}

std::string megahertz(uint32_t kHz) {
    return format("%u MHz", gpu::roundedMHz(kHz));
}

// Core voltage in mV: the driver's reading, else the board's own regulator.
std::string coreVoltageText(gpu::GpuLayer& layer, uint8_t gpu) {
    uint32_t microvolts = 0;
    const int status = layer.driverCoreVoltage(gpu, microvolts);
    layer.reenumerateOnStatus(status);
    if (status == drv::kOk) {
        return format("%u mV", gpu::roundedMillivolts(microvolts));
    }
    float volts = 0.0f;
    if (layer.regulatorVoltage(gpu, volts) == drv::kOk && volts > 0.0f) {
        return format("%ld mV", std::lround(volts * gpu::kMillivoltsPerVolt));
    }
    return kNotAvailable;
}

// The unit of a fan level: an rpm set point on the slot-0 fan chip, percent elsewhere.
const char* fanLevelUnit(const gpu::GpuRecord& record) {
    return record.fanSetInRpm() ? "rpm" : "%";
}

void appendBoardMemory(std::string& out, gpu::GpuLayer& layer, uint8_t gpu) {
    drv::DisplayDriverMemoryInfo memory{};
    memory.version = drv::kDisplayDriverMemoryInfoVersion;
    appendLine(
        out, "memory-size",
        layer.memoryInfo(gpu, memory) == drv::kOk
            ? format("%d MB", static_cast<int>(memory.dedicatedVideoMemoryKiB >> kKiBPerMiBShift))
            : std::string(kNotAvailable));
    appendLine(out, "memory-type",
               layer.readMemoryType(gpu) == drv::kOk
                   ? std::string(gpu::memoryTypeName(layer.record(gpu).memoryType))
                   : std::string(kNotAvailable));
    const uint32_t width = layer.readBusWidth(gpu);
    appendLine(out, "bus-width",
               width != 0 ? format("%d Bit", static_cast<int>(width)) : kNotAvailable);
    uint32_t cores = 0;
    appendLine(out, "cuda-cores",
               layer.cudaCores(gpu, cores) == kCudaCoresOk
                   ? format("%3d SP", static_cast<int>(cores))
                   : std::string(kNotAvailable));
}

}  // namespace

std::string format(const char* pattern, ...) {
    char buffer[kFormatBuffer];
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(buffer, sizeof(buffer), pattern, args);
    va_end(args);
    std::string text;
    if (n >= 0 && static_cast<size_t>(n) < sizeof(buffer)) {
        text.assign(buffer, static_cast<size_t>(n));
    } else if (n >= 0) {
        // Longer than the buffer: once more into a string of the right size.
        text.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), pattern, again);
        text.resize(static_cast<size_t>(n));
    }
    va_end(again);
    return text;
}

void appendLine(std::string& out, const std::string& key, const std::string& value) {
    out += "  ";
    out += key;
    out += ": ";
    out += value;
    out += '\n';
}

std::string thousandthsText(int64_t thousandths) {
    const bool negative = thousandths < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(thousandths) : static_cast<uint64_t>(thousandths);
    std::string text = (negative ? "-" : "") + std::to_string(magnitude / kThousand);
    uint64_t fraction = magnitude % kThousand;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, kFractionDigits - digits.size(), '0');
        digits.erase(digits.find_last_not_of('0') + 1);
        text += "." + digits;
    }
    return text;
}

std::string signedThousandthsText(int64_t thousandths) {
    return (thousandths > 0 ? "+" : "") + thousandthsText(thousandths);
}

bool parseUnsigned(std::string_view text, uint32_t maximum, uint32_t& value) {
    if (text.empty()) {
        return false;
    }
    uint32_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end || parsed > maximum) {
        return false;
    }
    value = parsed;
    return true;
}

bool parseSigned(std::string_view text, int32_t limit, int32_t& value) {
    if (text.empty()) {
        return false;
    }
    // from_chars takes a minus sign but no plus sign.
    if (text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '-') {
            return false;
        }
    }
    int64_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end || parsed > limit ||
        parsed < -static_cast<int64_t>(limit)) {
        return false;
    }
    value = static_cast<int32_t>(parsed);
    return true;
}

bool parseGpuIndex(std::string_view text, const gpu::GpuLayer& layer, uint8_t& gpu) {
    uint32_t index = 0;
    if (layer.gpuCount() == 0 || !parseUnsigned(text, layer.gpuCount() - 1u, index)) {
        reportError("no GPU '" + std::string(text) + "'; the GPUs are numbered 0 to " +
                    std::to_string(static_cast<int>(layer.gpuCount()) - 1));
        return false;
    }
    gpu = static_cast<uint8_t>(index);
    return true;
}

const char* fanControllerName(gpu::FanControllerKind kind) {
    switch (kind) {
        case gpu::kFanDriverCooler:
            return "driver cooler";
        case gpu::kFanDriverCoolerPaused:
            return "driver cooler (slot-1 chip)";
        case gpu::kFanSlot1Chip:
            return "slot-1 fan chip";
        case gpu::kFanSlot0Chip:
            return "slot-0 fan chip";
        case gpu::kFanNoCooler:
            return "no cooler";
    }
    return "unknown";
}

const char* levelKindName(int kind) {
    switch (kind) {
        case gpu::kLevelKind2D:
            return "2D";
        case gpu::kLevelKind3DLow:
            return "3D Low";
        case gpu::kLevelKind3DPerf:
            return "3D PERF";
        case gpu::kLevelKindFour:
            return "4th level";
        default:
            return "none";
    }
}

std::string formatBoard(gpu::GpuLayer& layer, uint8_t gpu) {
    const gpu::GpuRecord& record = layer.record(gpu);
    std::string out = format("GPU %u\n", static_cast<unsigned>(gpu));
    std::string name;
    appendLine(out, "name",
               layer.boardName(gpu, name) == drv::kOk ? orNotAvailable(name) : kNotAvailable);
    appendLine(out, "device-id", orNotAvailable(layer.deviceIdText(gpu)));
    appendLine(out, "bios-version", orNotAvailable(layer.biosVersion(gpu)));
    appendLine(out, "family", familyText(record));
    appendLine(out, "kepler-class", yesNo(record.keplerClass));
    appendLine(out, "hot-key", yesNo(record.hotKeyBoard));
    if (record.clockTableStatus != drv::kOk) {
        // The scan's own failure (a table without a level of any kind) is the generic error.
        appendLine(out, "clock-table",
                   record.clockTableStatus == drv::kError
                       ? std::string("no usable level")
                       : format("not readable (driver status %d)", record.clockTableStatus));
    }
    appendLine(
        out, "fan-controller",
        format("%d (%s)", static_cast<int>(record.fanKind), fanControllerName(record.fanKind)));
    appendLine(out, "fan-level-unit", fanLevelUnit(record));
    size_t chips = 0;
    for (size_t slot = 0; slot < gpu::kI2cSlotCount; ++slot) {
        chips += record.slots[slot].address != 0 ? 1 : 0;
    }
    appendLine(out, "chips", std::to_string(chips));
    for (size_t slot = 0; slot < gpu::kI2cSlotCount; ++slot) {
        const gpu::I2cDeviceSlot& chip = record.slots[slot];
        if (chip.address == 0) {
            continue;
        }
        const std::string key = format("slot-%zu", slot);
        appendLine(out, key,
                   format("port %u, address 0x%02x (%s)", static_cast<unsigned>(chip.port),
                          static_cast<unsigned>(chip.address), slotRole(slot)));
    }
    appendBoardMemory(out, layer, gpu);
    return out;
}

std::string formatStatus(gpu::GpuLayer& layer, uint8_t gpu, BoardPower& power) {
    std::string out = format("GPU %u\n", static_cast<unsigned>(gpu));

    uint32_t graphicsKHz = 0, shaderKHz = 0, memoryKHz = 0;
    int kind = 0;
    const int clockStatus =
        layer.currentClocksAndKind(gpu, graphicsKHz, shaderKHz, memoryKHz, kind);
    layer.reenumerateOnStatus(clockStatus);
    const bool clocksRead = clockStatus == drv::kOk;
    appendLine(out, "level-kind",
               clocksRead ? format("%d (%s)", kind, levelKindName(kind)) : kNotAvailable);
    appendLine(out, "graphics-clock", clocksRead ? megahertz(graphicsKHz) : kNotAvailable);
    appendLine(out, "memory-clock", clocksRead ? megahertz(memoryKHz) : kNotAvailable);
    appendLine(out, "shader-clock",
               clocksRead && layer.record(gpu).processorDomainPresent ? megahertz(shaderKHz)
                                                                      : kNotAvailable);
    appendLine(out, "core-voltage", coreVoltageText(layer, gpu));

    int32_t celsius = 0;
    const int temperatureStatus = layer.gpuTemperature(gpu, celsius);
    layer.reenumerateOnStatus(temperatureStatus);
    appendLine(out, "temperature",
               temperatureStatus == drv::kOk ? format("%d °C", celsius) : kNotAvailable);

    // The mode is read first: on the driver cooler it refreshes the cached level read below.
    int mode = 0;
    const int modeStatus = layer.fanMode(gpu, mode);
    layer.reenumerateOnStatus(modeStatus);
    std::string modeText = kNotAvailable;
    if (modeStatus == drv::kOk && mode == gpu::GpuLayer::kFanModeAutomatic) {
        modeText = "auto";
    } else if (modeStatus == drv::kOk && mode == gpu::GpuLayer::kFanModeManual) {
        modeText = "manual";
    }
    appendLine(out, "fan-mode", modeText);

    const gpu::FanControllerKind fanKind = layer.record(gpu).fanKind;
    int32_t level = -1;
    const int levelStatus = layer.fanSpeed(gpu, level, false);
    appendLine(out, "fan-level",
               levelStatus == drv::kOk && level >= 0
                   ? format("%d %s", level, fanLevelUnit(layer.record(gpu)))
                   : std::string(kNotAvailable));

    std::string rpmText = kNotAvailable;
    if (fanKind != gpu::kFanNoCooler && layer.fanReadsRpm(gpu)) {
        int32_t rpm = -1;
        if (layer.fanRpm(gpu, rpm) == drv::kOk && rpm >= 0) {
            rpmText = format("%d rpm", rpm);
        }
    }
    appendLine(out, "fan-speed", rpmText);

    drv::DynamicPstatesInfoEx load{};
    load.version = drv::kDynamicPstatesInfoExVersion;
    const int loadStatus = layer.gpuLoad(gpu, load);
    layer.reenumerateOnStatus(loadStatus);
    const auto& graphics = load.utilisation[drv::kUtilisationGraphics];
    appendLine(out, "gpu-load",
               loadStatus == drv::kOk && (graphics.present & kPresentBit) != 0
                   ? format("%u %%", graphics.percentage)
                   : std::string(kNotAvailable));

    // The monitors' sum depends on the level kind; without it the power is not known either.
    uint32_t watts = 0;
    appendLine(out, "board-power",
               clocksRead && power.read(layer, gpu, kind, watts) == drv::kOk
                   ? format("%u W", watts)
                   : std::string(kNotAvailable));
    return out;
}

int runList(gpu::GpuLayer& layer, std::FILE* out) {
    std::fprintf(out, "gpu-count: %u\n", static_cast<unsigned>(layer.gpuCount()));
    if (layer.ignoredGpuCount() > 0) {
        std::fprintf(out, "ignored-gpus: %u (only the first %zu are used)\n",
                     static_cast<unsigned>(layer.ignoredGpuCount()), gpu::kMaxGpus);
    }
    for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
        std::fprintf(out, "\n%s", formatBoard(layer, gpu).c_str());
    }
    return kExitOk;
}

void reportError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, message.c_str());
}

int reportDriverFailure(const std::string& what, int status) {
    reportError(what + " failed (driver status " + std::to_string(status) + ")");
    return kExitFailed;
}

}  // namespace qv::cli
