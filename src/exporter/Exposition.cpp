#include "exporter/Exposition.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace qv::exporter {

namespace {

constexpr double kHertzPerKHz = 1000.0;
constexpr double kVoltsPerMillivolt = 0.001;
constexpr double kRatioPerPercent = 0.01;
constexpr double kSecondsPerMs = 0.001;
constexpr char kControlReplacement = '?';
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr size_t kNumberBuffer = 32;
constexpr double kLargestExactInteger = 9007199254740992.0;  // 2^53

constexpr const char* kDomainGraphics = "graphics";
constexpr const char* kDomainMemory = "memory";
constexpr const char* kDomainShader = "shader";

// One metric family: its HELP and TYPE lines and the series gathered for it.
class Family {
public:
    Family(const char* name, const char* type, const char* help)
        : name_(name), type_(type), help_(help) {}

    // `labels` is the text inside the braces, empty for none.
    void add(const std::string& labels, double value) {
        series_ += name_;
        if (!labels.empty()) {
            series_ += '{';
            series_ += labels;
            series_ += '}';
        }
        series_ += ' ';
        series_ += formatValue(value);
        series_ += '\n';
    }

    void appendTo(std::string& out) const {
        if (series_.empty()) {
            return;
        }
        out += "# HELP ";
        out += name_;
        out += ' ';
        out += help_;
        out += "\n# TYPE ";
        out += name_;
        out += ' ';
        out += type_;
        out += '\n';
        out += series_;
    }

private:
    const char* name_;
    const char* type_;
    const char* help_;
    std::string series_;
};

std::string gpuLabels(const GpuMetrics& gpu) {
    std::string labels = "gpu=\"" + std::to_string(gpu.gpu) + "\",name=\"";
    labels += escapeLabelValue(gpu.name);
    labels += "\",device_id=\"";
    labels += escapeLabelValue(gpu.deviceId);
    labels += '"';
    return labels;
}

void addIf(Family& family, const std::string& labels, const std::optional<int64_t>& value,
           double scale = 1.0) {
    if (value) {
        family.add(labels, static_cast<double>(*value) * scale);
    }
}

void addIf(Family& family, const std::string& labels, const std::optional<bool>& value) {
    if (value) {
        family.add(labels, *value ? 1.0 : 0.0);
    }
}

}  // namespace

bool GpuMetrics::anyReading() const {
    return levelKind || graphicsKHz || memoryKHz || shaderKHz || coreMillivolts || celsius ||
           fanManual || fanLevel || fanRpm || loadPercent || boardWatts;
}

bool MetricSample::driverUp() const {
    for (const GpuMetrics& gpu : gpus) {
        if (gpu.anyReading()) {
            return true;
        }
    }
    return false;
}

std::string escapeLabelValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\n') {
            out += "\\n";
        } else if (u < kFirstPrintable || u == kDelete) {
            out += kControlReplacement;
        } else {
            out += c;
        }
    }
    return out;
}

std::string formatValue(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "+Inf" : "-Inf";
    }
    char buffer[kNumberBuffer];
    // Whole numbers (clocks in Hz, rpm, watts) are written as integers, never in exponent form.
    if (std::trunc(value) == value && std::fabs(value) < kLargestExactInteger) {
        const auto [end, ec] =
            std::to_chars(buffer, buffer + sizeof(buffer), static_cast<int64_t>(value));
        return std::string(buffer, ec == std::errc() ? end : buffer);
    }
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value);
    if (ec != std::errc()) {
        return "NaN";
    }
    return std::string(buffer, end);
}

std::string renderSample(const MetricSample& sample, uint64_t samplesTaken) {
    Family up(kMetricUp, "gauge",
              "Whether the driver answered at the last sample (1) or failed every reading (0).");
    Family samples(kMetricSamplesTotal, "counter", "Samples of the GPUs taken since the start.");
    Family count(kMetricGpuCount, "gauge", "GPUs the exporter reads.");
    Family level(kMetricLevelKind, "gauge",
                 "Kind of the clock level the GPU runs at: 1 2D, 3 3D Low, 2 3D PERF, 4 the "
                 "fourth level, 0 none.");
    Family clock(kMetricClock, "gauge", "Clock of the level the GPU runs at, per domain.");
    Family voltage(kMetricCoreVoltage, "gauge", "GPU core voltage.");
    Family temperature(kMetricTemperature, "gauge", "GPU temperature.");
    Family utilization(kMetricUtilization, "gauge", "Graphics engine load, 0 to 1.");
    Family fanManual(kMetricFanManual, "gauge", "1 when the fan runs at a fixed level, 0 automatic.");
    Family fanRatio(kMetricFanRatio, "gauge", "Fan level, 0 to 1.");
    Family fanSetpoint(kMetricFanSetpoint, "gauge",
                       "Fan speed set point of boards whose fan chip takes an rpm value.");
    Family fanRpm(kMetricFanRpm, "gauge", "Measured fan speed.");
    Family power(kMetricBoardPower, "gauge", "Board power measured by the board's own chips.");
    Family alarmEnabled(kMetricAlarmEnabled, "gauge",
                        "1 when the over-temperature alarm is switched on in the settings.");
    Family alarmThreshold(kMetricAlarmThreshold, "gauge",
                          "Temperature above which the over-temperature alarm goes off.");
    Family alarm(kMetricAlarm, "gauge",
                 "1 while the alarm is on and the temperature is above its threshold.");

    up.add("", sample.driverUp() ? 1.0 : 0.0);
    samples.add("", static_cast<double>(samplesTaken));
    count.add("", static_cast<double>(sample.gpus.size()));
    for (const GpuMetrics& gpu : sample.gpus) {
        const std::string labels = gpuLabels(gpu);
        addIf(level, labels, gpu.levelKind);
        addIf(clock, labels + ",domain=\"" + kDomainGraphics + "\"", gpu.graphicsKHz, kHertzPerKHz);
        addIf(clock, labels + ",domain=\"" + kDomainMemory + "\"", gpu.memoryKHz, kHertzPerKHz);
        addIf(clock, labels + ",domain=\"" + kDomainShader + "\"", gpu.shaderKHz, kHertzPerKHz);
        addIf(voltage, labels, gpu.coreMillivolts, kVoltsPerMillivolt);
        addIf(temperature, labels, gpu.celsius);
        addIf(utilization, labels, gpu.loadPercent, kRatioPerPercent);
        addIf(fanManual, labels, gpu.fanManual);
        addIf(gpu.fanLevelInRpm ? fanSetpoint : fanRatio, labels, gpu.fanLevel,
              gpu.fanLevelInRpm ? 1.0 : kRatioPerPercent);
        addIf(fanRpm, labels, gpu.fanRpm);
        addIf(power, labels, gpu.boardWatts);
        addIf(alarmEnabled, labels, gpu.alarmEnabled);
        addIf(alarmThreshold, labels, gpu.alarmThresholdCelsius);
        addIf(alarm, labels, gpu.alarmActive);
    }

    std::string out;
    for (const Family* family :
         {&up, &samples, &count, &level, &clock, &voltage, &temperature, &utilization, &fanManual,
          &fanRatio, &fanSetpoint, &fanRpm, &power, &alarmEnabled, &alarmThreshold, &alarm}) {
        family->appendTo(out);
    }
    return out;
}

std::string renderSampleAge(uint64_t ageMs) {
    Family age(kMetricSampleAge, "gauge", "Seconds since the sample this answer comes from.");
    age.add("", static_cast<double>(ageMs) * kSecondsPerMs);
    std::string out;
    age.appendTo(out);
    return out;
}

}  // namespace qv::exporter
