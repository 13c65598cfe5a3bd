#include "ExporterReader.h"

#include <optional>

#include "gpu/DriverStatus.h"
#include "qvctl_readings.h"
#include "settings/RegistryValues.h"

namespace qv::cli {

namespace {

std::optional<uint32_t> storedValue(settings::RegistryStore& store, const char* name) {
    uint32_t value = 0;
    return store.readValue(name, value) ? std::optional<uint32_t>(value) : std::nullopt;
}

}  // namespace

ExporterReader::ExporterReader(gpu::GpuLayer& layer, settings::RegistryStore& store)
    : layer_(layer), store_(store) {}

exporter::MetricSample ExporterReader::read() {
    const uint8_t count = layer_.gpuCount();
    // The alarm only decides; it never beeps or shows a window here, so it needs no text.
    while (alarms_.size() < count) {
        alarms_.emplace_back(std::string());
    }
    names_.resize(count);
    const std::optional<uint32_t> alarmSet = storedValue(store_, settings::kValueTemperatureAlarmSet);
    const std::optional<uint32_t> alarmValue =
        storedValue(store_, settings::kValueTemperatureAlarmValue);

    exporter::MetricSample sample;
    sample.gpus.reserve(count);
    for (uint8_t gpu = 0; gpu < count; ++gpu) {
        if (names_[gpu].empty()) {
            std::string name;
            if (layer_.boardName(gpu, name) == drv::kOk) {
                names_[gpu] = name;
            }
        }
        const StatusReadings readings = readStatus(layer_, gpu, power_);
        exporter::GpuMetrics metrics;
        metrics.gpu = gpu;
        metrics.name = names_[gpu];
        metrics.deviceId = layer_.deviceIdText(gpu);
        metrics.levelKind = readings.levelKind;
        metrics.graphicsKHz = readings.graphicsKHz;
        metrics.memoryKHz = readings.memoryKHz;
        metrics.shaderKHz = readings.shaderKHz;
        metrics.coreMillivolts = readings.coreMillivolts;
        metrics.celsius = readings.celsius;
        metrics.fanManual = readings.fanManual;
        metrics.fanLevel = readings.fanLevel;
        metrics.fanLevelInRpm = readings.fanLevelInRpm;
        metrics.fanRpm = readings.fanRpm;
        metrics.loadPercent = readings.loadPercent;
        metrics.boardWatts = readings.boardWatts;

        tuning::AlarmInput input;
        input.gpu = gpu;
        input.temperatureRead = readings.celsius.has_value();
        input.temperature = static_cast<int32_t>(readings.celsius.value_or(0));
        input.alarmSet = alarmSet;
        input.alarmValue = alarmValue;
        // Nothing is shown, so the window never counts as open.
        const tuning::AlarmDecision decision = alarms_[gpu].check(input);
        if (input.temperatureRead) {
            metrics.alarmEnabled = alarms_[gpu].enabled();
            metrics.alarmThresholdCelsius = tuning::alarmThreshold(alarmValue);
            metrics.alarmActive = decision.beep;
        }
        sample.gpus.push_back(std::move(metrics));
    }
    return sample;
}

}  // namespace qv::cli
