#include <gtest/gtest.h>

#include "app/UserSettingsFormat.h"
#include "app/UserSettingsTestSupport.h"

namespace qv::test {
namespace {

// A GPU with every mode, every clock adjustable and a slot-2 regulator.
app::GpuSettingsCapabilities fullGpu(const std::string& id) {
    app::GpuSettingsCapabilities gpu;
    gpu.identityText = id;
    gpu.modePresent = {true, true, true};
    for (auto& mode : gpu.adjustable) {
        mode = {true, true, true};
    }
    gpu.voltage.slot2Regulator = true;
    gpu.alarmApplied = true;
    return gpu;
}

app::UserSettingsState parse(std::string_view text,
                             const std::vector<app::GpuSettingsCapabilities>& gpus) {
    settings::CIni ini;
    EXPECT_TRUE(ini.LoadFromBytes(utf16File(widen(text))));
    app::UserSettingsState state;
    app::parseUserSettings(ini, gpus, state);
    return state;
}

TEST(UserSettingsParse, TheIdIsComparedWithoutRegardToCase) {
    app::UserSettingsSection section;
    section.id = u"11C0";
    EXPECT_TRUE(app::sectionMatches(section, "11c0"));
    section.id = u"11c";
    EXPECT_FALSE(app::sectionMatches(section, "11c0"));
    section.id = u"11c00";
    EXPECT_FALSE(app::sectionMatches(section, "11c0"));
    section.id.reset();
    EXPECT_FALSE(app::sectionMatches(section, "11c0")) << "a section without Id is skipped";
}

TEST(UserSettingsParse, OnlyWhatAppliesToTheGpuReachesItsRecord) {
    app::GpuSettingsCapabilities gpu = fullGpu("0e22");
    gpu.adjustable[app::kMode2D][app::kClockMemory] = false;
    gpu.modePresent[app::kMode3DLow] = false;
    gpu.voltage = {};
    gpu.alarmApplied = false;
    const app::UserSettingsState state = parse(
        "[Gpu1]\r\nId=0E22\r\nGpu2DClock=1\r\nMemory2DClock=2\r\nGpu2DVolt=3\r\n"
        "Gpu3DLowPowerClock=4\r\nGpu3DPerformanceClock=5\r\nFanWorkMode=1\r\n"
        "FanSpeed=6\r\nAlarmTemperature=7\r\n",
        {gpu});
    app::UserSettingsRecord expected;
    expected.gpuClock2D = 1;
    expected.gpuClock3DPerformance = 5;
    expected.fanWorkMode = 1;  // the fan speed belongs to work mode 2 only
    EXPECT_EQ(state.records[0], expected);
}

TEST(UserSettingsParse, EveryKeyLandsInItsField) {
    const app::UserSettingsState state = parse(
        "[Gpu1]\r\nId=05e2\r\nGpu2DClock=1\r\nShader2DClock=2\r\nMemory2DClock=3\r\n"
        "Gpu2DVolt=4\r\nGpu3DLowPowerClock=5\r\nShader3DLowPowerClock=6\r\n"
        "Memory3DLowPowerClock=7\r\nGpu3DPerformanceClock=8\r\nShader3DPerformaceClock=9\r\n"
        "Memory3DPerformanceClock=10\r\nGpu3DPerformanceVolt=11\r\nFanWorkMode=2\r\n"
        "FanSpeed=12\r\nAlarmTemperature=13\r\nHorizonValue=14\r\nVerticalValue=15\r\n",
        {fullGpu("05e2")});
    const app::UserSettingsRecord expected{1, 5, 8, 2, 6, 9, 3, 7, 10, 2, 12, 13, 4, 11};
    EXPECT_EQ(state.records[0], expected);
    EXPECT_EQ(state.horizonValue, 14);
    EXPECT_EQ(state.verticalValue, 15);
}

TEST(UserSettingsParse, OnlyThreeGpusKeepARecordButAllGiveTheSharedValues) {
    std::string text;
    std::vector<app::GpuSettingsCapabilities> gpus;
    for (int n = 1; n <= 5; ++n) {
        text += "[Gpu" + std::to_string(n) + "]\r\nId=0e22\r\nFanWorkMode=" + std::to_string(n) +
                "\r\nHorizonValue=" + std::to_string(10 * n) + "\r\n";
        gpus.push_back(fullGpu("0e22"));
    }
    const app::UserSettingsState state = parse(text, gpus);
    EXPECT_EQ(state.records[2].fanWorkMode, 3);
    EXPECT_EQ(state.horizonValue, 50);
}

TEST(UserSettingsParse, RegulatorMillivoltsComeBackAsTheSameCode) {
    EXPECT_EQ(app::regulatorCodeToFileMillivolts(0), 450);
    EXPECT_EQ(app::regulatorCodeToFileMillivolts(48), 1050);
    EXPECT_EQ(app::regulatorCodeToFileMillivolts(49), 1062) << "1062.5 truncated";
    // Every code survives a save and a restore, odd ones included.
    for (uint32_t code = 0; code < 128; ++code) {
        EXPECT_EQ(app::fileMillivoltsToRegulatorCode(app::regulatorCodeToFileMillivolts(code)),
                  code);
    }
    // Other values go to the nearest code; below the lowest code's half step there is none.
    EXPECT_EQ(app::fileMillivoltsToRegulatorCode(1056), 48);
    EXPECT_EQ(app::fileMillivoltsToRegulatorCode(1057), 49);
    EXPECT_EQ(app::fileMillivoltsToRegulatorCode(444), 0);
    EXPECT_EQ(app::fileMillivoltsToRegulatorCode(443), -1);
    EXPECT_EQ(app::fileMillivoltsToRegulatorCode(INT32_MIN), -1);
    EXPECT_EQ(app::fileMillivoltsToRegulatorCode(INT32_MAX),
              ((int64_t{INT32_MAX} - 450) * 2 + 12) / 25);
}

}  // namespace
}  // namespace qv::test
