// `qvctl status`: the live readings, once or every period until a count or Ctrl-C.
#include <chrono>
#include <cstdio>

#include "qvctl_commands.h"
#include "qvctl_readings.h"
#include "qvctl_watch.h"

namespace qv::cli {

namespace {

// The period is given in milliseconds: at least a tenth of a second, at most a day.
constexpr uint32_t kMinWatchMs = kMinRepeatMs;
constexpr uint32_t kMaxWatchMs = kMaxRepeatMs;
constexpr uint32_t kMaxCount = kMaxRepeatCount;
constexpr uint32_t kDefaultRepeatMs = 1000;
constexpr uint32_t kMillisecondsPerSecond = 1000;

struct StatusOptions {
    bool repeat = false;
    uint32_t periodMs = kDefaultRepeatMs;
    uint32_t count = 0;  // 0: until stopped
    OutputFormat format = OutputFormat::kText;
};

// Whole seconds were the unit of --watch once: a small number gets the new spelling as a hint.
std::string secondsHint(const std::string& value) {
    uint32_t seconds = 0;
    if (!parseUnsigned(value, kMinWatchMs - 1, seconds) || seconds == 0) {
        return "";
    }
    return " (for " + value + " s write --watch " +
           std::to_string(seconds * kMillisecondsPerSecond) + ")";
}

bool parseStatusOptions(const std::vector<std::string>& args, StatusOptions& options) {
    bool countGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        bool matched = false;
        if (!optionValue(args, i, "--watch", value, matched)) {
            return false;
        }
        if (matched) {
            if (!parseUnsigned(value, kMaxWatchMs, options.periodMs) ||
                options.periodMs < kMinWatchMs) {
                reportError("--watch needs milliseconds from " + std::to_string(kMinWatchMs) +
                            " to " + std::to_string(kMaxWatchMs) + ", not '" + value + "'" +
                            secondsHint(value));
                return false;
            }
            options.repeat = true;
            continue;
        }
        if (!optionValue(args, i, "--count", value, matched)) {
            return false;
        }
        if (matched) {
            if (!parseUnsigned(value, kMaxCount, options.count) || options.count == 0) {
                reportError("--count needs a number from 1 to " + std::to_string(kMaxCount) +
                            ", not '" + value + "'");
                return false;
            }
            countGiven = true;
            continue;
        }
        reportError("status: unknown argument '" + args[i] + "'");
        return false;
    }
    if (countGiven) {
        options.repeat = true;
    }
    return true;
}

bool printSample(gpu::GpuLayer& layer, std::FILE* out, const StatusOptions& options,
                 uint32_t sample, BoardPower& power) {
    if (options.format == OutputFormat::kJson) {
        // One document per sample, on one line: a watch is a stream of JSON lines.
        JsonWriter json;
        json.beginObject();
        if (options.repeat) {
            json.key("sample");
            json.number(sample);
        }
        json.key("gpus");
        json.beginArray();
        for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
            writeStatusJson(json, readStatus(layer, gpu, power));
        }
        json.endArray();
        json.endObject();
        std::fprintf(out, "%s\n", json.text().c_str());
        return std::fflush(out) == 0 && std::ferror(out) == 0;
    }
    if (options.repeat) {
        std::fprintf(out, "sample: %u\n", sample);
    }
    for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
        std::fprintf(out, "%s%s", gpu == 0 ? "" : "\n", formatStatus(layer, gpu, power).c_str());
    }
    if (options.repeat) {
        std::fputc('\n', out);
    }
    return std::fflush(out) == 0 && std::ferror(out) == 0;
}

}  // namespace

int runStatus(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out,
              OutputFormat format) {
    StatusOptions options;
    options.format = format;
    if (!parseStatusOptions(args, options)) {
        return kExitUsage;
    }
    BoardPower power;
    if (!options.repeat) {
        return printSample(layer, out, options, 1, power) ? kExitOk : kExitFailed;
    }
    StopSignals signals;
    const auto start = std::chrono::steady_clock::now();
    const auto period = std::chrono::milliseconds(options.periodMs);
    for (uint32_t sample = 1; options.count == 0 || sample <= options.count; ++sample) {
        if (!printSample(layer, out, options, sample, power)) {
            return kExitFailed;
        }
        if (options.count != 0 && sample == options.count) {
            break;
        }
        // Samples keep to a fixed grid so that slow reads do not make the period drift.
        if (!waitUntil(start + period * sample)) {
            break;
        }
    }
    return kExitOk;
}

}  // namespace qv::cli
