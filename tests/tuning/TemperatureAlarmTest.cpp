#include <gtest/gtest.h>

#include <vector>

#include "lang/LanguageRows.h"
#include "tuning/TemperatureAlarm.h"
#include "lang/CMultiLangSupp.h"

namespace qv::tuning {
namespace {

constexpr const char* kTemplate = "GPU %d temperature is too high!!!\n";

AlarmInput hot(int32_t temperature, std::optional<uint32_t> value = 0u) {
    AlarmInput in;
    in.gpu = 1;
    in.temperatureRead = true;
    in.temperature = temperature;
    in.alarmSet = 1u;
    in.alarmValue = value;
    return in;
}

TEST(TemperatureAlarm, LanguageTableRowIsTheTemplate) {
    EXPECT_STREQ(lang::CMultiLangSupp(0x0409).text(lang::kTextTemperatureTooHigh), kTemplate);
}

TEST(TemperatureAlarm, ThresholdIs95PlusValueModulo256) {
    const std::pair<std::optional<uint32_t>, uint8_t> cases[] = {
        {std::nullopt, 95}, {0u, 95},   {4u, 99},          {160u, 255},
        {161u, 0},          {200u, 39}, {0xFFFFFFFFu, 94},
    };
    for (const auto& [value, threshold] : cases) {
        EXPECT_EQ(alarmThreshold(value), threshold) << (value ? *value : 999);
    }
}

struct AlarmCase {
    int32_t temperature;
    std::optional<uint32_t> value;
    bool windowOpen;
    bool beep, window, shutdown;
};

class TemperatureAlarmTable : public testing::TestWithParam<AlarmCase> {};

TEST_P(TemperatureAlarmTable, StrictlyAboveTheThresholdBeepsThenWarnsOrPowersOff) {
    const AlarmCase& c = GetParam();
    TemperatureAlarm alarm(kTemplate);
    AlarmInput in = hot(c.temperature, c.value);
    in.alarmWindowOpen = c.windowOpen;
    const AlarmDecision d = alarm.check(in);
    EXPECT_EQ(d.storedTemperature, c.temperature);
    EXPECT_EQ(d.beep, c.beep);
    EXPECT_EQ(d.openAlarmWindow, c.window);
    EXPECT_EQ(d.shutdown, c.shutdown);
    EXPECT_EQ(d.message, c.window || c.shutdown ? "GPU 2 temperature is too high!!!\n" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Temperatures, TemperatureAlarmTable,
    testing::Values(
        AlarmCase{95, 0u, false, false, false, false}, AlarmCase{96, 0u, false, true, true, false},
        AlarmCase{96, std::nullopt, false, true, true, false},
        AlarmCase{99, 4u, false, false, false, false}, AlarmCase{100, 4u, false, true, true, false},
        AlarmCase{120, 0u, false, true, true, false}, AlarmCase{121, 0u, false, true, false, true},
        // An open window suppresses a second one, not the beep or the shutdown.
        AlarmCase{110, 0u, true, true, false, false}, AlarmCase{125, 0u, true, true, false, true},
        // Value 161 wraps the threshold to 0.
        AlarmCase{1, 161u, false, true, true, false},
        AlarmCase{0, 161u, false, false, false, false}));

TEST(TemperatureAlarm, DisabledNeverSoundsEvenAbove120) {
    TemperatureAlarm alarm(kTemplate);
    AlarmInput in = hot(130);
    in.alarmSet = 0u;
    in.gpuOnShow = true;
    const AlarmDecision d = alarm.check(in);
    EXPECT_FALSE(d.beep || d.shutdown || d.openAlarmWindow || d.refreshTemperatureDisplay);
    EXPECT_EQ(d.storedTemperature, 130);
}

TEST(TemperatureAlarm, AFailedSwitchReadKeepsThePreviousState) {
    TemperatureAlarm alarm(kTemplate);
    AlarmInput in = hot(100);
    in.alarmSet.reset();
    EXPECT_FALSE(alarm.check(in).beep);  // never enabled yet
    in.alarmSet = 7u;
    EXPECT_TRUE(alarm.check(in).beep);
    in.alarmSet.reset();
    EXPECT_TRUE(alarm.check(in).beep);
    EXPECT_TRUE(alarm.enabled());
    in.alarmSet = 0u;
    EXPECT_FALSE(alarm.check(in).beep);
}

TEST(TemperatureAlarm, AFailedTemperatureReadStoresMinusOneAndStops) {
    TemperatureAlarm alarm(kTemplate);
    AlarmInput in = hot(130);
    in.temperatureRead = false;
    in.gpuOnShow = true;
    const AlarmDecision d = alarm.check(in);
    EXPECT_EQ(d.storedTemperature, kTemperatureUnknown);
    EXPECT_FALSE(d.beep || d.shutdown || d.refreshTemperatureDisplay);
}

TEST(TemperatureAlarm, RefreshesTheDisplayOnlyForTheGpuOnShowWhenEnabled) {
    TemperatureAlarm alarm(kTemplate);
    AlarmInput in = hot(50);
    EXPECT_FALSE(alarm.check(in).refreshTemperatureDisplay);
    in.gpuOnShow = true;
    EXPECT_TRUE(alarm.check(in).refreshTemperatureDisplay);
}

TEST(TemperatureAlarm, MessageNumbersTheGpuFromOne) {
    EXPECT_EQ(alarmMessage(kTemplate, 0), "GPU 1 temperature is too high!!!\n");
    EXPECT_EQ(alarmMessage("%d%d", 2), "3%d");  // only the first field is filled
    EXPECT_EQ(alarmMessage("%s %n", 2), "%s %n");
}

// ---- carrying the decision out ------------------------------------------------------------

struct FakeBeeper final : platform::Beeper {
    std::vector<std::pair<uint32_t, uint32_t>> tones;
    bool beep(uint32_t hertz, uint32_t ms) override {
        tones.emplace_back(hertz, ms);
        return true;
    }
};

struct FakePowerOff final : platform::PowerOff {
    int answer = platform::kPowerOffRequested;
    std::vector<std::pair<std::string, uint32_t>> requests;
    int request(const std::string& message, uint32_t delay) override {
        requests.emplace_back(message, delay);
        return answer;
    }
};

TEST(TemperatureAlarmEffects, BeepsAndPowersOffAfterTenSeconds) {
    TemperatureAlarm alarm(kTemplate);
    FakeBeeper beeper;
    FakePowerOff powerOff;
    AlarmEffects e = carryOutAlarm(alarm.check(hot(121)), beeper, powerOff);
    EXPECT_TRUE(e.beeped);
    EXPECT_TRUE(e.shutdownRequested);
    ASSERT_EQ(beeper.tones.size(), 1u);
    EXPECT_EQ(beeper.tones[0], std::make_pair(kAlarmBeepHz, kAlarmBeepMs));
    ASSERT_EQ(powerOff.requests.size(), 1u);
    EXPECT_EQ(powerOff.requests[0].first, "GPU 2 temperature is too high!!!\n");
    EXPECT_EQ(powerOff.requests[0].second, kShutdownDelaySeconds);

    powerOff.answer = platform::kPowerOffFailed;
    e = carryOutAlarm(alarm.check(hot(121)), beeper, powerOff);
    EXPECT_FALSE(e.shutdownRequested);
    EXPECT_EQ(beeper.tones.size(), 2u);  // the beep repeats on every tick

    e = carryOutAlarm(alarm.check(hot(110)), beeper, powerOff);
    EXPECT_FALSE(e.shutdownRequested);
    EXPECT_EQ(powerOff.requests.size(), 2u);
}

TEST(TemperatureAlarmEffects, LongMessagesAreCutTo119CharactersWholeSequencesOnly) {
    FakeBeeper beeper;
    FakePowerOff powerOff;
    AlarmDecision d;
    d.shutdown = true;
    d.message = std::string(118, 'x') +
                "\xC3\xA9"
                "\xC3\xA9";  // 120 characters
    carryOutAlarm(d, beeper, powerOff);
    ASSERT_EQ(powerOff.requests.size(), 1u);
    EXPECT_EQ(powerOff.requests[0].first, std::string(118, 'x') + "\xC3\xA9");
    EXPECT_TRUE(beeper.tones.empty());
}

// ---- the logind power-off, with a launcher that starts nothing ----------------------------

struct RecordingLauncher final : platform::ProcessLauncher {
    bool answer = true;
    std::vector<std::vector<std::string>> starts;
    bool startHidden(const std::string& program, const std::vector<std::string>& args,
                     const std::string&) override {
        std::vector<std::string> line = {program};
        line.insert(line.end(), args.begin(), args.end());
        starts.push_back(line);
        return answer;
    }
};

TEST(LogindPowerOff, StartsOneCountdownWithTheMessageAsAnArgument) {
    RecordingLauncher launcher;
    platform::LogindPowerOff powerOff(launcher);
    const std::string message = "GPU 1 \"$(touch /tmp/x)\"";
    EXPECT_EQ(powerOff.request(message, 10), platform::kPowerOffRequested);
    ASSERT_EQ(launcher.starts.size(), 1u);
    const auto& line = launcher.starts[0];
    ASSERT_EQ(line.size(), 6u);
    EXPECT_EQ(line[0], "/bin/sh");
    EXPECT_EQ(line[1], "-c");
    EXPECT_EQ(line[2].find(message), std::string::npos);  // not part of the script
    EXPECT_NE(line[2].find("systemctl poweroff"), std::string::npos);
    EXPECT_EQ(line[4], "10");
    EXPECT_EQ(line[5], message);
    // Later requests while the countdown runs start nothing more.
    EXPECT_EQ(powerOff.request(message, 10), platform::kPowerOffRequested);
    EXPECT_EQ(launcher.starts.size(), 1u);
    EXPECT_TRUE(powerOff.pending());
}

TEST(LogindPowerOff, AFailedStartIsReportedAndTriedAgain) {
    RecordingLauncher launcher;
    launcher.answer = false;
    platform::LogindPowerOff powerOff(launcher);
    EXPECT_EQ(powerOff.request("m", 10), platform::kPowerOffFailed);
    EXPECT_FALSE(powerOff.pending());
    launcher.answer = true;
    EXPECT_EQ(powerOff.request("m", 10), platform::kPowerOffRequested);
    EXPECT_EQ(launcher.starts.size(), 2u);
}

}  // namespace
}  // namespace qv::tuning
