// Text blocks of qvctl: the board facts of `list` and the live readings of `status`.
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "gpu/BoardIds.h"
#include "gpu/DriverStatus.h"
#include "qvctl_commands.h"
#include "qvctl_readings.h"

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

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

// Core voltage in mV: the driver's reading, else the board's own regulator.
std::optional<int64_t> coreMillivolts(gpu::GpuLayer& layer, uint8_t gpu) {
    uint32_t microvolts = 0;
    const int status = layer.driverCoreVoltage(gpu, microvolts);
    layer.reenumerateOnStatus(status);
    if (status == drv::kOk) {
        return gpu::roundedMillivolts(microvolts);
    }
    float volts = 0.0f;
    if (layer.regulatorVoltage(gpu, volts) == drv::kOk && volts > 0.0f) {
        return std::lround(volts * gpu::kMillivoltsPerVolt);
    }
    return std::nullopt;
}

// The unit of a fan level: an rpm set point on the slot-0 fan chip, percent elsewhere.
const char* fanLevelUnit(bool inRpm) {
    return inRpm ? "rpm" : "%";
}

void readBoardMemory(BoardFacts& facts, gpu::GpuLayer& layer, uint8_t gpu) {
    drv::DisplayDriverMemoryInfo memory{};
    memory.version = drv::kDisplayDriverMemoryInfoVersion;
    if (layer.memoryInfo(gpu, memory) == drv::kOk) {
        facts.memorySizeMiB = static_cast<int>(memory.dedicatedVideoMemoryKiB >> kKiBPerMiBShift);
    }
    if (layer.readMemoryType(gpu) == drv::kOk) {
        facts.memoryType = gpu::memoryTypeName(layer.record(gpu).memoryType);
    }
    const uint32_t width = layer.readBusWidth(gpu);
    if (width != 0) {
        facts.busWidthBits = width;
    }
    uint32_t cores = 0;
    if (layer.cudaCores(gpu, cores) == kCudaCoresOk) {
        facts.cudaCores = cores;
    }
}

std::optional<std::string> nonEmpty(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

std::string textOf(const std::optional<std::string>& value) {
    return value ? printable(*value) : std::string(kNotAvailable);
}

// "N unit", or n/a.
std::string quantity(const std::optional<int64_t>& value, const char* unit) {
    return value ? format("%lld %s", static_cast<long long>(*value), unit)
                 : std::string(kNotAvailable);
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

bool clockTableHasNoUsableLevel(int status) {
    // The scan's own failure (a table without a level of any kind) is the generic error.
    return status == drv::kError;
}

BoardFacts readBoard(gpu::GpuLayer& layer, uint8_t gpu) {
    const gpu::GpuRecord& record = layer.record(gpu);
    BoardFacts facts;
    facts.gpu = gpu;
    std::string name;
    if (layer.boardName(gpu, name) == drv::kOk) {
        facts.name = nonEmpty(name);
    }
    facts.deviceId = nonEmpty(layer.deviceIdText(gpu));
    facts.biosVersion = nonEmpty(layer.biosVersion(gpu));
    const std::pair<bool, const char*> families[] = {
        {record.familyA, "A"}, {record.familyB, "B"}, {record.familyC, "C"}};
    for (const auto& [member, letter] : families) {
        if (member) {
            facts.families.emplace_back(letter);
        }
    }
    facts.keplerClass = record.keplerClass;
    facts.hotKey = record.hotKeyBoard;
    facts.clockTableStatus = record.clockTableStatus;
    facts.fanController = record.fanKind;
    facts.fanLevelInRpm = record.fanSetInRpm();
    for (size_t slot = 0; slot < gpu::kI2cSlotCount; ++slot) {
        const gpu::I2cDeviceSlot& chip = record.slots[slot];
        if (chip.address != 0) {
            facts.chips.push_back({slot, static_cast<uint32_t>(chip.port),
                                   static_cast<uint32_t>(chip.address), slotRole(slot)});
        }
    }
    readBoardMemory(facts, layer, gpu);
    return facts;
}

std::string formatBoard(const BoardFacts& facts) {
    std::string out = format("GPU %u\n", static_cast<unsigned>(facts.gpu));
    appendLine(out, "name", textOf(facts.name));
    appendLine(out, "device-id", textOf(facts.deviceId));
    appendLine(out, "bios-version", textOf(facts.biosVersion));
    std::string family;
    for (const std::string& letter : facts.families) {
        family += (family.empty() ? "" : " ") + letter;
    }
    appendLine(out, "family", family.empty() ? "-" : family);
    appendLine(out, "kepler-class", yesNo(facts.keplerClass));
    appendLine(out, "hot-key", yesNo(facts.hotKey));
    if (facts.clockTableStatus != drv::kOk) {
        appendLine(out, "clock-table",
                   clockTableHasNoUsableLevel(facts.clockTableStatus)
                       ? std::string("no usable level")
                       : format("not readable (driver status %d)", facts.clockTableStatus));
    }
    appendLine(out, "fan-controller",
               format("%d (%s)", static_cast<int>(facts.fanController),
                      fanControllerName(facts.fanController)));
    appendLine(out, "fan-level-unit", fanLevelUnit(facts.fanLevelInRpm));
    appendLine(out, "chips", std::to_string(facts.chips.size()));
    for (const ChipFact& chip : facts.chips) {
        appendLine(out, format("slot-%zu", chip.slot),
                   format("port %u, address 0x%02x (%s)", chip.port, chip.address, chip.role));
    }
    appendLine(out, "memory-size", quantity(facts.memorySizeMiB, "MB"));
    appendLine(out, "memory-type", textOf(facts.memoryType));
    appendLine(out, "bus-width", quantity(facts.busWidthBits, "Bit"));
    appendLine(out, "cuda-cores",
               facts.cudaCores ? format("%3lld SP", static_cast<long long>(*facts.cudaCores))
                               : std::string(kNotAvailable));
    return out;
}

StatusReadings readStatus(gpu::GpuLayer& layer, uint8_t gpu, BoardPower& power) {
    StatusReadings readings;
    readings.gpu = gpu;

    uint32_t graphicsKHz = 0, shaderKHz = 0, memoryKHz = 0;
    int kind = 0;
    const int clockStatus =
        layer.currentClocksAndKind(gpu, graphicsKHz, shaderKHz, memoryKHz, kind);
    layer.reenumerateOnStatus(clockStatus);
    const bool clocksRead = clockStatus == drv::kOk;
    if (clocksRead) {
        readings.levelKind = kind;
        readings.graphicsMHz = gpu::roundedMHz(graphicsKHz);
        readings.memoryMHz = gpu::roundedMHz(memoryKHz);
        readings.graphicsKHz = graphicsKHz;
        readings.memoryKHz = memoryKHz;
        if (layer.record(gpu).processorDomainPresent) {
            readings.shaderMHz = gpu::roundedMHz(shaderKHz);
            readings.shaderKHz = shaderKHz;
        }
    }
    readings.coreMillivolts = coreMillivolts(layer, gpu);

    int32_t celsius = 0;
    const int temperatureStatus = layer.gpuTemperature(gpu, celsius);
    layer.reenumerateOnStatus(temperatureStatus);
    if (temperatureStatus == drv::kOk) {
        readings.celsius = celsius;
    }

    // The mode is read first: on the driver cooler it refreshes the cached level read below.
    int mode = 0;
    const int modeStatus = layer.fanMode(gpu, mode);
    layer.reenumerateOnStatus(modeStatus);
    if (modeStatus == drv::kOk &&
        (mode == gpu::GpuLayer::kFanModeAutomatic || mode == gpu::GpuLayer::kFanModeManual)) {
        readings.fanManual = mode == gpu::GpuLayer::kFanModeManual;
    }

    const gpu::FanControllerKind fanKind = layer.record(gpu).fanKind;
    int32_t level = -1;
    if (layer.fanSpeed(gpu, level, false) == drv::kOk && level >= 0) {
        readings.fanLevel = level;
    }
    readings.fanLevelInRpm = layer.record(gpu).fanSetInRpm();
    if (fanKind != gpu::kFanNoCooler && layer.fanReadsRpm(gpu)) {
        int32_t rpm = -1;
        if (layer.fanRpm(gpu, rpm) == drv::kOk && rpm >= 0) {
            readings.fanRpm = rpm;
        }
    }

    drv::DynamicPstatesInfoEx load{};
    load.version = drv::kDynamicPstatesInfoExVersion;
    const int loadStatus = layer.gpuLoad(gpu, load);
    layer.reenumerateOnStatus(loadStatus);
    const auto& graphics = load.utilisation[drv::kUtilisationGraphics];
    if (loadStatus == drv::kOk && (graphics.present & kPresentBit) != 0) {
        readings.loadPercent = graphics.percentage;
    }

    // The monitors' sum depends on the level kind; without it the power is not known either.
    uint32_t watts = 0;
    if (clocksRead && power.read(layer, gpu, kind, watts) == drv::kOk) {
        readings.boardWatts = watts;
    }
    return readings;
}

std::string formatStatus(const StatusReadings& r) {
    std::string out = format("GPU %u\n", static_cast<unsigned>(r.gpu));
    appendLine(out, "level-kind",
               r.levelKind ? format("%d (%s)", static_cast<int>(*r.levelKind),
                                    levelKindName(static_cast<int>(*r.levelKind)))
                           : std::string(kNotAvailable));
    appendLine(out, "graphics-clock", quantity(r.graphicsMHz, "MHz"));
    appendLine(out, "memory-clock", quantity(r.memoryMHz, "MHz"));
    appendLine(out, "shader-clock", quantity(r.shaderMHz, "MHz"));
    appendLine(out, "core-voltage", quantity(r.coreMillivolts, "mV"));
    appendLine(out, "temperature", quantity(r.celsius, "°C"));
    appendLine(
        out, "fan-mode",
        r.fanManual ? std::string(*r.fanManual ? "manual" : "auto") : std::string(kNotAvailable));
    appendLine(out, "fan-level", quantity(r.fanLevel, fanLevelUnit(r.fanLevelInRpm)));
    appendLine(out, "fan-speed", quantity(r.fanRpm, "rpm"));
    appendLine(out, "gpu-load", quantity(r.loadPercent, "%"));
    appendLine(out, "board-power", quantity(r.boardWatts, "W"));
    return out;
}

std::string formatBoard(gpu::GpuLayer& layer, uint8_t gpu) {
    return formatBoard(readBoard(layer, gpu));
}

std::string formatStatus(gpu::GpuLayer& layer, uint8_t gpu, BoardPower& power) {
    return formatStatus(readStatus(layer, gpu, power));
}

int runList(gpu::GpuLayer& layer, std::FILE* out, OutputFormat format) {
    if (format == OutputFormat::kJson) {
        JsonWriter json;
        json.beginObject();
        json.key("gpu_count");
        json.number(layer.gpuCount());
        json.key("ignored_gpu_count");
        json.number(layer.ignoredGpuCount());
        json.key("gpus");
        json.beginArray();
        for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
            writeBoardJson(json, readBoard(layer, gpu));
        }
        json.endArray();
        json.endObject();
        std::fprintf(out, "%s\n", json.text().c_str());
    } else {
        std::fprintf(out, "gpu-count: %u\n", static_cast<unsigned>(layer.gpuCount()));
        if (layer.ignoredGpuCount() > 0) {
            std::fprintf(out, "ignored-gpus: %u (only the first %zu are used)\n",
                         static_cast<unsigned>(layer.ignoredGpuCount()), gpu::kMaxGpus);
        }
        for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
            std::fprintf(out, "\n%s", formatBoard(layer, gpu).c_str());
        }
    }
    if (std::fflush(out) != 0 || std::ferror(out) != 0) {
        reportError("the output could not be written");
        return kExitFailed;
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
