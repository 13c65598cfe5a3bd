// One reading of every GPU as the metrics exporter publishes it: plain values with their
// validity, taken by the sampler and rendered for every scrape until the next one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::exporter {

struct GpuMetrics {
    uint8_t gpu = 0;
    std::string name;      // the board name the driver reports; empty when unknown
    std::string deviceId;  // 4 lower-case hexadecimal digits; empty when unknown
    // Each value is empty when its reading failed in this sample.
    std::optional<int64_t> levelKind;
    std::optional<int64_t> graphicsKHz;
    std::optional<int64_t> memoryKHz;
    std::optional<int64_t> shaderKHz;  // boards with a shader clock only
    std::optional<int64_t> coreMillivolts;
    std::optional<int64_t> celsius;
    std::optional<bool> fanManual;
    std::optional<int64_t> fanLevel;  // percent, or an rpm set point when fanLevelInRpm
    bool fanLevelInRpm = false;
    std::optional<int64_t> fanRpm;
    std::optional<int64_t> loadPercent;
    std::optional<int64_t> boardWatts;
    // The over-temperature alarm as the window program would decide it with the stored
    // alarm settings; empty when the temperature could not be read.
    std::optional<bool> alarmEnabled;
    std::optional<int64_t> alarmThresholdCelsius;
    std::optional<bool> alarmActive;

    // True when at least one reading of this GPU answered.
    bool anyReading() const;
};

struct MetricSample {
    uint64_t takenMs = 0;  // the sampler's clock when the sample was taken
    std::vector<GpuMetrics> gpus;

    // The driver answered: at least one reading of one GPU succeeded.
    bool driverUp() const;
};

}  // namespace qv::exporter
