// `qvctl log`: the monitor log without a window. The same writer as the monitor window's "Save":
// one UTF-16LE line per period with the live value of every chosen item of every GPU.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "monitor/CurveModel.h"
#include "monitor/MonitorLog.h"
#include "platform/LocalTime.h"
#include "qvctl_commands.h"
#include "qvctl_readings.h"
#include "qvctl_watch.h"
#include "tuning/MonitorSession.h"

namespace qv::cli {
namespace {

constexpr uint32_t kDefaultLogPeriodMs = 1000;
constexpr const char* kAllItems = "all";

// The item names of --items, by item index.
constexpr std::string_view kItemNames[monitor::kMonitorItemCount] = {
    "power",       "gpu-clock", "shader-clock", "memory-clock",
    "temperature", "fan",       "voltage",      "fan-rpm"};

struct LogOptions {
    uint32_t periodMs = kDefaultLogPeriodMs;
    uint32_t count = 0;  // 0: until stopped
    monitor::ShownItems items = monitor::kAllItemsShown;
    std::string out;  // empty: a new file under Monitor_Save
};

bool parseItems(const std::string& list, monitor::ShownItems& items) {
    items = {};
    if (list == kAllItems) {
        items = monitor::kAllItemsShown;
        return true;
    }
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string_view name = std::string_view(list).substr(start, comma - start);
        bool known = false;
        for (size_t i = 0; i < monitor::kMonitorItemCount; ++i) {
            if (name == kItemNames[i]) {
                items[i] = true;
                known = true;
            }
        }
        if (!known) {
            reportError("log: unknown item '" + std::string(name) +
                        "' (items: power, gpu-clock, shader-clock, memory-clock, temperature, "
                        "fan, voltage, fan-rpm, or all)");
            return false;
        }
        start = comma + 1;
    }
    return true;
}

bool parseLogOptions(const std::vector<std::string>& args, LogOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        bool matched = false;
        if (!optionValue(args, i, "--period", value, matched)) {
            return false;
        }
        if (matched) {
            if (!parseUnsigned(value, kMaxRepeatMs, options.periodMs) ||
                options.periodMs < kMinRepeatMs) {
                reportError("--period needs milliseconds from " + std::to_string(kMinRepeatMs) +
                            " to " + std::to_string(kMaxRepeatMs) + ", not '" + value + "'");
                return false;
            }
            continue;
        }
        if (!optionValue(args, i, "--count", value, matched)) {
            return false;
        }
        if (matched) {
            if (!parseUnsigned(value, kMaxRepeatCount, options.count) || options.count == 0) {
                reportError("--count needs a number from 1 to " + std::to_string(kMaxRepeatCount) +
                            ", not '" + value + "'");
                return false;
            }
            continue;
        }
        if (!optionValue(args, i, "--items", value, matched)) {
            return false;
        }
        if (matched) {
            if (!parseItems(value, options.items)) {
                return false;
            }
            continue;
        }
        if (!optionValue(args, i, "--out", value, matched)) {
            return false;
        }
        if (matched) {
            if (value.empty()) {
                reportError("--out needs a file name");
                return false;
            }
            options.out = value;
            continue;
        }
        reportError("log: unknown argument '" + args[i] + "'");
        return false;
    }
    return true;
}

int32_t valueOf(const std::optional<int64_t>& reading) {
    return reading ? static_cast<int32_t>(*reading) : monitor::kNoValue;
}

// The live values as `status` reads them, in the monitor's items.
monitor::MonitorLiveValues readLiveValues(gpu::GpuLayer& layer, BoardPower& power) {
    monitor::MonitorLiveValues live;
    const uint8_t count = std::min<uint8_t>(layer.gpuCount(), monitor::kMonitorGpuSlots);
    for (uint8_t gpu = 0; gpu < count; ++gpu) {
        const StatusReadings readings = readStatus(layer, gpu, power);
        auto& values = live.values[gpu];
        values[monitor::kItemPower] = valueOf(readings.boardWatts);
        values[monitor::kItemGpuClock] = valueOf(readings.graphicsMHz);
        values[monitor::kItemShaderClock] = valueOf(readings.shaderMHz);
        values[monitor::kItemMemoryClock] = valueOf(readings.memoryMHz);
        values[monitor::kItemTemperature] = valueOf(readings.celsius);
        values[monitor::kItemGpuVoltage] = valueOf(readings.coreMillivolts);
        values[monitor::kItemFanRpm] = valueOf(readings.fanRpm);
        int32_t percent = valueOf(readings.fanLevel);
        if (readings.fanLevelInRpm && percent != monitor::kNoValue) {
            const gpu::GpuRecord& record = layer.record(gpu);
            percent =
                record.fanLevelScaled() ? record.fanLevelToPercent(percent) : monitor::kNoValue;
        }
        values[monitor::kItemFanPercent] = percent;
    }
    return live;
}

}  // namespace

int runLog(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out) {
    LogOptions options;
    if (!parseLogOptions(args, options)) {
        return kExitUsage;
    }
    // The columns are the window's: every GPU, and the chosen items that some GPU offers. A
    // model without history columns keeps no samples.
    monitor::MirrorHistory noHistory;
    const monitor::CurveModel columnsOf(tuning::monitorBoards(layer), options.items,
                                        monitor::kHistoryMargin, 0, noHistory);
    const std::vector<monitor::LogColumn> columns = columnsOf.logColumns();
    monitor::MonitorLog log;
    const int started = options.out.empty() ? log.switchOn() : log.switchOnInto(options.out);
    if (started != 0) {
        reportError("log: cannot make the folder " + log.folder() + ": " + std::strerror(started));
        return kExitFailed;
    }
    StopSignals signals;
    BoardPower power;
    platform::LocalTimeSource& time = platform::SystemLocalTime::instance();
    const auto start = std::chrono::steady_clock::now();
    const auto period = std::chrono::milliseconds(options.periodMs);
    for (uint32_t line = 1; options.count == 0 || line <= options.count; ++line) {
        const monitor::MonitorLiveValues live = readLiveValues(layer, power);
        const monitor::LogTickResult result = log.tick(time.now(), columns, live);
        if (result != monitor::LogTickResult::kWritten) {
            const std::optional<monitor::LogProblem> problem = log.takeProblem();
            reportError("log: cannot write " + (problem ? problem->path : log.currentPath()) +
                        ": " + std::strerror(problem ? problem->error : EIO));
            return kExitFailed;
        }
        if (line == 1) {
            std::fprintf(out, "log: %s\n", log.currentPath().c_str());
            std::fflush(out);
        }
        if (options.count != 0 && line == options.count) {
            break;
        }
        // Lines keep to a fixed grid so that slow reads do not make the period drift.
        if (!waitUntil(start + period * line)) {
            break;
        }
    }
    return kExitOk;
}

}  // namespace qv::cli
