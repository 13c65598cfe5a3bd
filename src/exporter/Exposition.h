// The Prometheus text exposition format (version 0.0.4) of a metric sample. Pure functions: the
// sampler renders the body once per sample; a scrape only adds the sample's age.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "exporter/MetricSample.h"

namespace qv::exporter {

inline constexpr const char* kExpositionContentType = "text/plain; version=0.0.4; charset=utf-8";

// Metric names, defined once; docs/exporter.md describes each.
inline constexpr const char* kMetricUp = "quorvel_up";
inline constexpr const char* kMetricSampleAge = "quorvel_sample_age_seconds";
inline constexpr const char* kMetricSamplesTotal = "quorvel_samples_total";
inline constexpr const char* kMetricGpuCount = "quorvel_gpus";
inline constexpr const char* kMetricLevelKind = "quorvel_gpu_level_kind";
inline constexpr const char* kMetricClock = "quorvel_gpu_clock_hertz";
inline constexpr const char* kMetricCoreVoltage = "quorvel_gpu_core_voltage_volts";
inline constexpr const char* kMetricTemperature = "quorvel_gpu_temperature_celsius";
inline constexpr const char* kMetricUtilization = "quorvel_gpu_utilization_ratio";
inline constexpr const char* kMetricFanManual = "quorvel_fan_manual";
inline constexpr const char* kMetricFanRatio = "quorvel_fan_speed_ratio";
inline constexpr const char* kMetricFanSetpoint = "quorvel_fan_setpoint_rpm";
inline constexpr const char* kMetricFanRpm = "quorvel_fan_speed_rpm";
inline constexpr const char* kMetricBoardPower = "quorvel_board_power_watts";
inline constexpr const char* kMetricAlarmEnabled = "quorvel_temperature_alarm_enabled";
inline constexpr const char* kMetricAlarmThreshold = "quorvel_temperature_alarm_threshold_celsius";
inline constexpr const char* kMetricAlarm = "quorvel_temperature_alarm";

// Label values may hold any byte the driver gives: backslash, double quote and line feed are
// escaped as the format asks; other control characters become '?', so one series stays one line.
std::string escapeLabelValue(std::string_view value);

// A number as the format writes it: the shortest text that reads back as the same double.
std::string formatValue(double value);

// Every metric of `sample` but the age, in families with HELP and TYPE lines. A reading that
// failed is left out; a family without any series is left out whole. `samplesTaken` counts the
// samples since the exporter started, this one included.
std::string renderSample(const MetricSample& sample, uint64_t samplesTaken);

// The age family, seconds since the sample was taken: appended to the body at each scrape.
std::string renderSampleAge(uint64_t ageMs);

}  // namespace qv::exporter
