#include "exporter/Exposition.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string_view>

#include "exporter/MetricSampler.h"
#include "support/SimHarness.h"

namespace qv::exporter {
namespace {

GpuMetrics fullGpu() {
    GpuMetrics gpu;
    gpu.gpu = 1;
    gpu.name = "Board X";
    gpu.deviceId = "1180";
    gpu.levelKind = 2;
    gpu.graphicsKHz = 1012500;
    gpu.memoryKHz = 3004000;
    gpu.shaderKHz = 2025000;
    gpu.coreMillivolts = 1175;
    gpu.celsius = 61;
    gpu.fanManual = true;
    gpu.fanLevel = 45;
    gpu.fanRpm = 2100;
    gpu.loadPercent = 97;
    gpu.boardWatts = 180;
    gpu.alarmEnabled = true;
    gpu.alarmThresholdCelsius = 95;
    gpu.alarmActive = false;
    return gpu;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

constexpr const char* kLabels = "{gpu=\"1\",name=\"Board X\",device_id=\"1180\"";

TEST(ExpositionTest, EveryReadingInItsUnitWithTheGpuLabels) {
    MetricSample sample;
    sample.gpus.push_back(fullGpu());
    const std::string text = renderSample(sample, 7);
    const std::string labels = kLabels;
    const std::string expected[] = {
        "# TYPE quorvel_up gauge\nquorvel_up 1\n",
        "# TYPE quorvel_samples_total counter\nquorvel_samples_total 7\n",
        "quorvel_gpus 1\n",
        "quorvel_gpu_level_kind" + labels + "} 2\n",
        "quorvel_gpu_clock_hertz" + labels + ",domain=\"graphics\"} 1012500000\n",
        "quorvel_gpu_clock_hertz" + labels + ",domain=\"memory\"} 3004000000\n",
        "quorvel_gpu_clock_hertz" + labels + ",domain=\"shader\"} 2025000000\n",
        "quorvel_gpu_core_voltage_volts" + labels + "} 1.175\n",
        "# TYPE quorvel_gpu_temperature_celsius gauge\n"
        "quorvel_gpu_temperature_celsius" + labels + "} 61\n",
        "quorvel_gpu_utilization_ratio" + labels + "} 0.97\n",
        "quorvel_fan_manual" + labels + "} 1\n",
        "quorvel_fan_speed_ratio" + labels + "} 0.45\n",
        "quorvel_fan_speed_rpm" + labels + "} 2100\n",
        "quorvel_board_power_watts" + labels + "} 180\n",
        "quorvel_temperature_alarm_enabled" + labels + "} 1\n",
        "quorvel_temperature_alarm_threshold_celsius" + labels + "} 95\n",
        "quorvel_temperature_alarm" + labels + "} 0\n",
    };
    for (const std::string& part : expected) {
        EXPECT_TRUE(contains(text, part)) << part << "\nin\n" << text;
    }
    EXPECT_FALSE(contains(text, "quorvel_fan_setpoint_rpm"));
    EXPECT_EQ(text.back(), '\n');
}

TEST(ExpositionTest, FailedReadingsAreLeftOutNeverMinusOne) {
    MetricSample sample;
    GpuMetrics answered = fullGpu();
    answered.gpu = 0;
    answered.celsius.reset();
    answered.alarmEnabled.reset();
    answered.alarmThresholdCelsius.reset();
    answered.alarmActive.reset();
    GpuMetrics silent;
    silent.gpu = 1;
    silent.deviceId = "0de1";
    sample.gpus = {answered, silent};
    const std::string text = renderSample(sample, 1);
    // No series, no family: a failed temperature does not leave HELP and TYPE lines behind.
    EXPECT_FALSE(contains(text, "quorvel_gpu_temperature_celsius")) << text;
    EXPECT_FALSE(contains(text, "quorvel_temperature_alarm")) << text;
    EXPECT_FALSE(contains(text, "gpu=\"1\"")) << text;
    EXPECT_FALSE(contains(text, " -1\n")) << text;
    EXPECT_TRUE(contains(text, "quorvel_up 1\n"));

    sample.gpus = {silent, silent};
    const std::string down = renderSample(sample, 2);
    EXPECT_TRUE(contains(down, "quorvel_up 0\n")) << down;
    EXPECT_TRUE(contains(down, "quorvel_gpus 2\n")) << down;
    EXPECT_FALSE(contains(down, "{")) << down;
}

TEST(ExpositionTest, RpmSetPointIsNotARatio) {
    MetricSample sample;
    GpuMetrics gpu = fullGpu();
    gpu.fanLevelInRpm = true;
    gpu.fanLevel = 2400;
    sample.gpus.push_back(gpu);
    const std::string text = renderSample(sample, 1);
    EXPECT_TRUE(contains(text, std::string("quorvel_fan_setpoint_rpm") + kLabels + "} 2400\n"));
    EXPECT_FALSE(contains(text, "quorvel_fan_speed_ratio"));
}

TEST(ExpositionTest, LabelValuesFromTheDriverStayOneLine) {
    EXPECT_EQ(escapeLabelValue("a\"b\\c\nd"), "a\\\"b\\\\c\\nd");
    EXPECT_EQ(escapeLabelValue(std::string("x\ty\r\x7f", 5)), "x?y??");
    EXPECT_EQ(escapeLabelValue("GeForce \xc3\xa9"), "GeForce \xc3\xa9");  // UTF-8 stays

    MetricSample sample;
    GpuMetrics gpu = fullGpu();
    gpu.name = "evil\"} 1\nquorvel_up{x=\"";
    sample.gpus.push_back(gpu);
    const std::string text = renderSample(sample, 1);
    size_t upLines = 0;
    for (size_t at = text.find("\nquorvel_up"); at != std::string::npos;
         at = text.find("\nquorvel_up", at + 1)) {
        ++upLines;
    }
    EXPECT_EQ(upLines, 1u) << text;
}

TEST(ExpositionTest, NumbersReadBackExactly) {
    EXPECT_EQ(formatValue(0.45), "0.45");
    EXPECT_EQ(formatValue(1012500000.0), "1012500000");
    EXPECT_EQ(formatValue(324000000.0), "324000000");  // not 3.24e+08
    EXPECT_EQ(formatValue(1.175), "1.175");
    EXPECT_EQ(formatValue(0.0), "0");
    EXPECT_EQ(renderSampleAge(1500),
              "# HELP quorvel_sample_age_seconds Seconds since the sample this answer comes "
              "from.\n# TYPE quorvel_sample_age_seconds gauge\nquorvel_sample_age_seconds 1.5\n");
}

std::string readSourceFile(const std::string& relative) {
    std::ifstream in(std::string(QV_TEST_SOURCE_DIR) + "/../" + relative);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The documentation lists every metric, and the dashboard asks only for metrics that exist.
TEST(ExpositionTest, DocumentationAndDashboardMatchTheMetricNames) {
    const std::set<std::string> metrics = {
        kMetricUp, kMetricSampleAge, kMetricSamplesTotal, kMetricGpuCount, kMetricLevelKind,
        kMetricClock, kMetricCoreVoltage, kMetricTemperature, kMetricUtilization,
        kMetricFanManual, kMetricFanRatio, kMetricFanSetpoint, kMetricFanRpm, kMetricBoardPower,
        kMetricAlarmEnabled, kMetricAlarmThreshold, kMetricAlarm};
    const std::string docs = readSourceFile("docs/exporter.md");
    ASSERT_FALSE(docs.empty());
    for (const std::string& metric : metrics) {
        EXPECT_TRUE(contains(docs, "| `" + metric + "` |")) << metric;
    }
    const std::string dashboard = readSourceFile("docs/grafana/quorvel.json");
    ASSERT_FALSE(dashboard.empty());
    // Every "quorvel_" followed by lower-case letters and underscores names a metric.
    constexpr std::string_view kPrefix = "quorvel_";
    std::set<std::string> used;
    for (size_t at = dashboard.find(kPrefix); at != std::string::npos;
         at = dashboard.find(kPrefix, at + 1)) {
        size_t end = at + kPrefix.size();
        while (end < dashboard.size() &&
               ((dashboard[end] >= 'a' && dashboard[end] <= 'z') || dashboard[end] == '_')) {
            ++end;
        }
        if (end > at + kPrefix.size()) {
            used.insert(dashboard.substr(at, end - at));
        }
    }
    for (const std::string& metric : used) {
        EXPECT_EQ(metrics.count(metric), 1u) << metric << " is not a metric of the exporter";
    }
    for (const char* shown : {kMetricTemperature, kMetricFanRatio, kMetricFanRpm, kMetricClock,
                              kMetricBoardPower, kMetricAlarm, kMetricUp}) {
        EXPECT_EQ(used.count(shown), 1u) << shown << " has no panel";
    }
}

TEST(MetricSamplerTest, ScrapesAnswerFromTheLastSampleWithItsAge) {
    test::FakeClock clock;
    int reads = 0;
    int64_t celsius = 50;
    MetricSampler sampler(
        [&] {
            ++reads;
            MetricSample sample;
            GpuMetrics gpu;
            gpu.celsius = celsius;
            sample.gpus.push_back(gpu);
            return sample;
        },
        clock);
    EXPECT_EQ(sampler.scrape(), "");
    EXPECT_EQ(reads, 0);

    clock.sleepMs(1000);
    sampler.sampleNow();
    celsius = 70;
    clock.sleepMs(250);
    for (int i = 0; i < 5; ++i) {
        const std::string text = sampler.scrape();
        EXPECT_TRUE(contains(text, "} 50\n")) << text;
        EXPECT_TRUE(contains(text, "quorvel_sample_age_seconds 0.25\n")) << text;
        EXPECT_TRUE(contains(text, "quorvel_samples_total 1\n")) << text;
    }
    EXPECT_EQ(reads, 1);  // scrapes never read

    sampler.sampleNow();
    const std::string text = sampler.scrape();
    EXPECT_TRUE(contains(text, "} 70\n")) << text;
    EXPECT_TRUE(contains(text, "quorvel_sample_age_seconds 0\n")) << text;
    EXPECT_TRUE(contains(text, "quorvel_samples_total 2\n")) << text;
    EXPECT_EQ(sampler.samplesTaken(), 2u);
}

}  // namespace
}  // namespace qv::exporter
