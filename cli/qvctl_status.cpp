// `qvctl status`: the live readings, once or every period until a count or Ctrl-C.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "qvctl_commands.h"
#include "qvctl_readings.h"

namespace qv::cli {

namespace {

// The period is given in milliseconds: at least a tenth of a second, at most a day.
constexpr uint32_t kMinWatchMs = 100;
constexpr uint32_t kMaxWatchMs = 86400000;
constexpr uint32_t kMaxCount = 1000000000;
constexpr uint32_t kDefaultRepeatMs = 1000;
constexpr uint32_t kMillisecondsPerSecond = 1000;
// How often a waiting watch loop looks at the stop flag.
constexpr auto kStopPollSlice = std::chrono::milliseconds(50);

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) {
    stopRequested = 1;
}

struct StatusOptions {
    bool repeat = false;
    uint32_t periodMs = kDefaultRepeatMs;
    uint32_t count = 0;  // 0: until stopped
    OutputFormat format = OutputFormat::kText;
};

// Accepts "--name VALUE" and "--name=VALUE"; advances `i` past what it used.
bool optionValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
                 std::string& value, bool& matched) {
    const std::string& word = args[i];
    matched = false;
    if (word == name) {
        matched = true;
        if (i + 1 >= args.size()) {
            reportError(name + " needs a value");
            return false;
        }
        value = args[++i];
        return true;
    }
    if (word.rfind(name + "=", 0) == 0) {
        matched = true;
        value = word.substr(name.size() + 1);
        return true;
    }
    return true;
}

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

// Waits until `deadline` or a stop request; false when stopped.
bool waitUntil(std::chrono::steady_clock::time_point deadline) {
    while (stopRequested == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return true;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(deadline - now, kStopPollSlice));
    }
    return false;
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

// Installs the stop handlers for the length of a watch and puts the old ones back.
class StopSignals {
public:
    StopSignals() {
        stopRequested = 0;
        oldInterrupt_ = std::signal(SIGINT, requestStop);
        oldTerminate_ = std::signal(SIGTERM, requestStop);
#ifdef SIGPIPE
        // A closed reader ends the loop through the failed write instead of killing the process.
        oldPipe_ = std::signal(SIGPIPE, SIG_IGN);
#endif
    }
    ~StopSignals() {
        std::signal(SIGINT, oldInterrupt_);
        std::signal(SIGTERM, oldTerminate_);
#ifdef SIGPIPE
        std::signal(SIGPIPE, oldPipe_);
#endif
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    using Handler = void (*)(int);
    Handler oldInterrupt_ = SIG_DFL;
    Handler oldTerminate_ = SIG_DFL;
#ifdef SIGPIPE
    Handler oldPipe_ = SIG_DFL;
#endif
};

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
