#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "settings/FileRegistryStore.h"
#include "settings/RegistrySettings.h"
#include "settings/RegistryValues.h"
#include "settings/RegistryStoreFile.h"
#include "support/SimHarness.h"

namespace qv::settings {
namespace {

using test::TempDir;

// The real file store, with the names it was asked for recorded in order.
class RecordingStore final : public RegistryStore {
public:
    explicit RecordingStore(StorePaths paths) : store_(std::move(paths)) {}
    bool readValue(std::string_view name, uint32_t& value) override {
        reads.emplace_back(name);
        return store_.readValue(name, value);
    }
    bool writeValue(std::string_view name, uint32_t value) override {
        writes.emplace_back(name);
        return store_.writeValue(name, value);
    }
    bool readRunEntry(std::string& text) override { return store_.readRunEntry(text); }
    bool writeRunEntry(const std::string& path, const std::string& word) override {
        return store_.writeRunEntry(path, word);
    }
    bool deleteRunEntry() override { return store_.deleteRunEntry(); }

    FileRegistryStore& files() { return store_; }
    std::vector<std::string> reads;
    std::vector<std::string> writes;

private:
    FileRegistryStore store_;
};

class RegistrySettingsTest : public ::testing::Test {
protected:
    RegistrySettingsTest()
        : store_({dir_.file("settings.conf"), dir_.file("autostart/quorvel.desktop")}) {}

    RegistryStoreFile storedFile() {
        std::ifstream in(dir_.file("settings.conf"));
        std::stringstream text;
        text << in.rdbuf();
        return RegistryStoreFile::parse(text.str());
    }
    uint32_t stored(const char* name) {
        uint32_t value = 0xDEADBEEF;
        EXPECT_TRUE(storedFile().find(name, value)) << name;
        return value;
    }
    bool isStored(const char* name) {
        uint32_t value = 0;
        return storedFile().find(name, value);
    }
    void writeAutostart(const std::string& exec) {
        std::filesystem::create_directories(dir_.file("autostart"));
        std::ofstream(dir_.file("autostart/quorvel.desktop"))
            << "[Desktop Entry]\nType=Application\nExec=" << exec << "\n";
    }

    TempDir dir_;
    RecordingStore store_;
    RegistrySettings settings_;
};

TEST_F(RegistrySettingsTest, FirstStartWritesExactlyTheEightWriteBackValues) {
    loadRegistrySettings(store_, settings_);
    EXPECT_EQ(store_.writes, (std::vector<std::string>{
                                 kValueIphonePassWord, kValueTemperatureAlarmValue,
                                 kValueTemperatureAlarmSet, kValueSamplingPeriod, kValueFansSet,
                                 kValueFansHighSet, kValueTempSet, kValueTemplowSet}));
    EXPECT_EQ(storedFile().entries(),
              (std::vector<RegistryStoreFile::Entry>{{kValueIphonePassWord, 570293},
                                                {kValueTemperatureAlarmValue, 0},
                                                {kValueTemperatureAlarmSet, 0},
                                                {kValueSamplingPeriod, 1},
                                                {kValueFansSet, 1},
                                                {kValueFansHighSet, 1},
                                                {kValueTempSet, 1},
                                                {kValueTemplowSet, 1}}));

    // A second start finds them and writes nothing.
    RecordingStore again({dir_.file("settings.conf"), dir_.file("autostart/quorvel.desktop")});
    loadRegistrySettings(again, settings_);
    EXPECT_TRUE(again.writes.empty());
}

TEST_F(RegistrySettingsTest, ReadsEveryStartValueInItsOrderButNotHdmiAutoSet) {
    loadRegistrySettings(store_, settings_);
    EXPECT_EQ(store_.reads, (std::vector<std::string>{kValueIphonePassWord,
                                                      kValueTemperatureAlarmValue,
                                                      kValueTemperatureAlarmSet,
                                                      kValueOsdClockShow,
                                                      kValueOsdTempShow,
                                                      kValueOsdFramerateShow,
                                                      kValueOsdFanSpeedShow,
                                                      kValueFanTempSet,
                                                      kValueRestoreUserSettings,
                                                      kValueAutoUpdate,
                                                      kValueSamplingPeriod,
                                                      kValueHighSet,
                                                      kValueHighSet2,
                                                      kValueHighSet3,
                                                      kValueFanSpeedTest,
                                                      kValueFansSet,
                                                      kValueFansHighSet,
                                                      kValueTempSet,
                                                      kValueTemplowSet,
                                                      kValueNewsSwitch,
                                                      kValueHotKeyEnable,
                                                      kValueHotKeyFanSpeed,
                                                      kValueHotKeyGpuOffset,
                                                      kValueHotKeySetVoltageHighest,
                                                      kValueOsdPositionX,
                                                      kValueOsdPositionY}));
}

TEST_F(RegistrySettingsTest, DefaultsOnAnEmptyStore) {
    settings_.runMode = 0;
    settings_.highSet = 9;
    loadRegistrySettings(store_, settings_);
    const RegistrySettings defaults;
    EXPECT_EQ(settings_.runMode, kStartModeSysTray);
    EXPECT_EQ(settings_.launchMode, kStartModeNone);
    EXPECT_EQ(settings_.highSet, 0);
    EXPECT_TRUE(settings_.restoreUserSettings);
    EXPECT_TRUE(settings_.autoUpdate);
    EXPECT_TRUE(settings_.hdmiAutoSet);
    EXPECT_TRUE(settings_.osdTempShow);
    EXPECT_TRUE(settings_.osdFanSpeedShow);
    EXPECT_FALSE(settings_.osdClockShow);
    EXPECT_FALSE(settings_.osdFramerateShow);
    EXPECT_TRUE(settings_.newsSwitch);
    EXPECT_EQ(settings_.iphonePassWord, 570293);
    EXPECT_EQ(settings_.samplingPeriod, 1);
    EXPECT_EQ(settings_.templowSet, 1);
    EXPECT_EQ(settings_.hotKeyFanSpeed, 0);
    EXPECT_EQ(settings_.hotKeyGpuOffset, 0);
    EXPECT_EQ(settings_.osdPositionX, kOsdPositionNotSet);
    EXPECT_EQ(settings_.osdPositionY, kOsdPositionNotSet);
}

TEST_F(RegistrySettingsTest, FlagsBecomeZeroOrOneAndNumbersStayAsStored) {
    for (const auto& [name, value] :
         std::vector<std::pair<const char*, uint32_t>>{{kValueHighSet, 7},
                                                       {kValueHighSet2, 2},
                                                       {kValueHighSet3, 0},
                                                       {kValueTemplowSet, 7},
                                                       {kValueFansSet, 0},
                                                       {kValueRestoreUserSettings, 5},
                                                       {kValueNewsSwitch, 0},
                                                       {kValueOsdClockShow, 0xFFFFFFFF},
                                                       {kValueTemperatureAlarmSet, 3},
                                                       {kValueTemperatureAlarmValue, 9},
                                                       {kValueFanSpeedTest, 3},
                                                       {kValueHotKeyEnable, 9},
                                                       {kValueHotKeyFanSpeed, 55},
                                                       {kValueIphonePassWord, 0xFFFFFFFF},
                                                       {kValueSamplingPeriod, 0}}) {
        ASSERT_TRUE(store_.files().writeValue(name, value));
    }
    loadRegistrySettings(store_, settings_);
    EXPECT_EQ(settings_.highSet, 1);
    EXPECT_EQ(settings_.highSet2, 1);
    EXPECT_EQ(settings_.highSet3, 0);
    EXPECT_EQ(settings_.templowSet, 7);  // out of range, kept as it is
    EXPECT_EQ(settings_.fansSet, 0);
    EXPECT_TRUE(settings_.restoreUserSettings);
    EXPECT_FALSE(settings_.newsSwitch);
    EXPECT_TRUE(settings_.osdClockShow);
    EXPECT_TRUE(settings_.temperatureAlarmSet);
    EXPECT_EQ(settings_.temperatureAlarmValue, 9);
    EXPECT_EQ(settings_.fanSpeedTest, 3);
    EXPECT_EQ(settings_.hotKeyEnable, 9);
    EXPECT_EQ(settings_.hotKeyFanSpeed, 55);
    EXPECT_EQ(settings_.iphonePassWord, -1);  // the 32 bits as a signed number
    EXPECT_EQ(settings_.samplingPeriod, 0);
    // Found values are not written back over.
    EXPECT_EQ(stored(kValueTemplowSet), 7u);
    EXPECT_EQ(stored(kValueFansSet), 0u);
    EXPECT_EQ(stored(kValueTemperatureAlarmValue), 9u);
}

TEST_F(RegistrySettingsTest, HdmiAutoSetIsReadOnlyWhenTheOptionsDialogAsks) {
    ASSERT_TRUE(store_.files().writeValue(kValueHdmiAutoSet, 0));
    loadRegistrySettings(store_, settings_);
    EXPECT_TRUE(settings_.hdmiAutoSet);
    readHdmiAutoSet(store_, settings_);
    EXPECT_FALSE(settings_.hdmiAutoSet);
}

TEST_F(RegistrySettingsTest, RunEntryReaderTakesTheWordAfterTheLastBlank) {
    const struct {
        const char* exec;  // nullptr: no entry
        bool read;
        int mode;  // runMode afterwards; it starts at 2
    } cases[] = {
        {"/usr/bin/quorvel SysTray", true, kStartModeSysTray},
        {"/usr/bin/quorvel systray", true, kStartModeSysTray},
        {"\"/opt/my apps/quorvel\" Minimize", true, kStartModeMinimize},
        {"/opt/my apps/quorvel OnlyApplySettings", true, kStartModeOnlyApplySettings},
        {"/usr/bin/quorvel Tray", true, kStartModeNone},
        {"/usr/bin/quorvel ", true, kStartModeNone},
        {"/usr/bin/quorvel", false, kStartModeNormal},
        {" SysTray", false, kStartModeNormal},
        {nullptr, false, kStartModeNormal},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir_.file("autostart/quorvel.desktop"));
        if (c.exec != nullptr) {
            writeAutostart(c.exec);
        }
        settings_.runMode = kStartModeNormal;
        const std::string shown = c.exec != nullptr ? c.exec : "(none)";
        EXPECT_EQ(readRunEntry(store_, settings_), c.read) << shown;
        EXPECT_EQ(settings_.runMode, c.mode) << shown;
    }
}

TEST_F(RegistrySettingsTest, RunEntryWriterKnowsOnlyTheFourWords) {
    for (int mode : {kStartModeNone, kStartModeDoNotRun, 6, -1}) {
        EXPECT_FALSE(writeRunEntry(store_, "/usr/bin/quorvel", mode)) << mode;
        EXPECT_FALSE(std::filesystem::exists(dir_.file("autostart/quorvel.desktop")));
    }
    for (int mode = kStartModeNormal; mode <= kStartModeOnlyApplySettings; ++mode) {
        ASSERT_TRUE(writeRunEntry(store_, "/opt/my apps/quorvel", mode));
        settings_.runMode = kStartModeNone;
        ASSERT_TRUE(readRunEntry(store_, settings_));
        EXPECT_EQ(settings_.runMode, mode);
    }
}

TEST(HotKeyLists, IndicesMapToPercentAndOffsetWithFallbacks) {
    const std::pair<int, int> fan[] = {{0, 40}, {1, 50}, {5, 90}, {6, 100}, {-1, 100}, {99, 100}};
    for (const auto& [index, percent] : fan) {
        EXPECT_EQ(hotKeyFanSpeedForIndex(index), percent) << index;
    }
    const std::pair<int, int> offset[] = {{0, 100}, {1, 200}, {2, 300},
                                          {6, 700}, {7, 100}, {-1, 100}};
    for (const auto& [index, mhz] : offset) {
        EXPECT_EQ(hotKeyGpuOffsetForIndex(index), mhz) << index;
    }
}

TEST_F(RegistrySettingsTest, OptionsSaveWritesChecksListsAndRunEntry) {
    loadRegistrySettings(store_, settings_);
    OptionsChoices choices;
    choices.restoreUserSettings = false;
    choices.autoUpdate = true;
    choices.highSet = true;
    choices.templowIndex = 1;
    choices.fansIndex = 2;
    choices.fansHighIndex = 0;
    choices.tempIndex = 1;
    choices.temperatureAlarmSet = true;
    choices.temperatureAlarmIndex = 4;
    choices.curveDrawingEnabled = true;
    choices.samplingPeriodIndex = 4;
    choices.startChoices = {false, false, true, true, false};  // the first checked counts
    choices.hotKeyEnable = true;
    choices.hotKeyFanSpeedIndex = 2;
    choices.hotKeyGpuOffsetIndex = 3;
    store_.writes.clear();
    saveOptions(choices, store_, "/usr/bin/quorvel", settings_);

    EXPECT_EQ(store_.writes, (std::vector<std::string>{kValueRestoreUserSettings,
                                                       kValueAutoUpdate,
                                                       kValueHdmiAutoSet,
                                                       kValueFanTempSet,
                                                       kValueOsdClockShow,
                                                       kValueOsdTempShow,
                                                       kValueOsdFanSpeedShow,
                                                       kValueOsdFramerateShow,
                                                       kValueNewsSwitch,
                                                       kValueHighSet,
                                                       kValueHighSet2,
                                                       kValueHighSet3,
                                                       kValueFanSpeedTest,
                                                       kValueTemplowSet,
                                                       kValueFansSet,
                                                       kValueFansHighSet,
                                                       kValueTempSet,
                                                       kValueTemperatureAlarmSet,
                                                       kValueTemperatureAlarmValue,
                                                       kValueSamplingPeriod,
                                                       kValueHotKeyEnable,
                                                       kValueHotKeySetVoltageHighest,
                                                       kValueHotKeyFanSpeed,
                                                       kValueHotKeyGpuOffset}));
    EXPECT_FALSE(settings_.restoreUserSettings);
    EXPECT_EQ(stored(kValueRestoreUserSettings), 0u);
    EXPECT_EQ(stored(kValueHighSet), 1u);
    EXPECT_EQ(settings_.templowSet, 2);
    EXPECT_EQ(settings_.fansSet, 3);
    EXPECT_EQ(settings_.fansHighSet, 1);
    EXPECT_EQ(settings_.tempSet, 2);
    EXPECT_EQ(stored(kValueTemplowSet), 2u);
    EXPECT_EQ(settings_.customLowTemperature, 55);
    EXPECT_EQ(settings_.customLowFan, 25);
    EXPECT_EQ(settings_.customHighTemperature, 85);
    EXPECT_EQ(settings_.customHighFan, 80);
    EXPECT_EQ(stored(kValueTemperatureAlarmValue), 4u);
    EXPECT_EQ(stored(kValueSamplingPeriod), 5u);
    EXPECT_EQ(settings_.runMode, kStartModeMinimize);
    EXPECT_EQ(settings_.hotKeyFanSpeed, 60);
    EXPECT_EQ(settings_.hotKeyGpuOffset, 400);
    EXPECT_EQ(stored(kValueHotKeyGpuOffset), 400u);
    RegistrySettings readBack;
    ASSERT_TRUE(readRunEntry(store_, readBack));
    EXPECT_EQ(readBack.runMode, kStartModeMinimize);
}

TEST_F(RegistrySettingsTest, OptionsSaveLeavesTheGuardedValuesAlone) {
    ASSERT_TRUE(store_.files().writeValue(kValueTemplowSet, 2));
    ASSERT_TRUE(store_.files().writeValue(kValueTemperatureAlarmValue, 3));
    ASSERT_TRUE(store_.files().writeRunEntry("/usr/bin/quorvel", "Normal"));
    loadRegistrySettings(store_, settings_);
    OptionsChoices choices;  // Custom mode, alarm and curve drawing off; no start choice
    choices.templowIndex = 0;
    choices.temperatureAlarmIndex = 0;
    saveOptions(choices, store_, "/usr/bin/quorvel", settings_);
    EXPECT_EQ(stored(kValueTemplowSet), 2u);
    EXPECT_EQ(settings_.templowSet, 2);
    EXPECT_EQ(stored(kValueTemperatureAlarmValue), 3u);
    EXPECT_EQ(stored(kValueSamplingPeriod), 0u);
    EXPECT_EQ(stored(kValueHotKeyFanSpeed), 40u);
    EXPECT_EQ(stored(kValueHotKeyGpuOffset), 100u);
    EXPECT_EQ(settings_.runMode, kStartModeSysTray);  // unchanged
    RegistrySettings readBack;
    ASSERT_TRUE(readRunEntry(store_, readBack));
    EXPECT_EQ(readBack.runMode, kStartModeNormal);
}

TEST_F(RegistrySettingsTest, DefaultRunChoiceWritesSysTrayAndDoNotRunDeletesEvenWhenAbsent) {
    loadRegistrySettings(store_, settings_);
    EXPECT_FALSE(readRunEntry(store_, settings_));
    ASSERT_EQ(settings_.runMode, kStartModeSysTray);  // what the dialog shows checked
    OptionsChoices choices;
    choices.startChoices[static_cast<size_t>(settings_.runMode - kStartModeDoNotRun)] = true;
    saveOptions(choices, store_, "/usr/bin/quorvel", settings_);
    RegistrySettings readBack;
    ASSERT_TRUE(readRunEntry(store_, readBack));
    EXPECT_EQ(readBack.runMode, kStartModeSysTray);

    choices.startChoices = {true, false, false, false, false};
    saveOptions(choices, store_, "/usr/bin/quorvel", settings_);
    EXPECT_EQ(settings_.runMode, kStartModeDoNotRun);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("autostart/quorvel.desktop")));
    saveOptions(choices, store_, "/usr/bin/quorvel", settings_);  // none there now
    EXPECT_EQ(settings_.runMode, kStartModeDoNotRun);
}

TEST_F(RegistrySettingsTest, OverlayPlaceIsKeptForTheNextStartNegativeNumbersIncluded) {
    loadRegistrySettings(store_, settings_);
    // A screen left of or above the primary one has negative coordinates.
    EXPECT_TRUE(saveOsdPosition(store_, settings_, -1280, 24));
    EXPECT_EQ(settings_.osdPositionX, -1280);
    EXPECT_EQ(stored(kValueOsdPositionX), static_cast<uint32_t>(-1280));
    EXPECT_EQ(stored(kValueOsdPositionY), 24u);

    RegistrySettings next;
    loadRegistrySettings(store_, next);
    EXPECT_EQ(next.osdPositionX, -1280);
    EXPECT_EQ(next.osdPositionY, 24);

    // Forgetting the place stores "not set", which loads as not set.
    EXPECT_TRUE(saveOsdPosition(store_, next, kOsdPositionNotSet, kOsdPositionNotSet));
    EXPECT_EQ(stored(kValueOsdPositionX), 2147483648u);
    RegistrySettings third;
    loadRegistrySettings(store_, third);
    EXPECT_EQ(third.osdPositionX, kOsdPositionNotSet);
    EXPECT_EQ(third.osdPositionY, kOsdPositionNotSet);
}

TEST(RegistrySettingsUnwritable, MembersChangeWhenTheStoreCannotKeepValues) {
    FileRegistryStore nowhere(StorePaths{});
    RegistrySettings settings;
    loadRegistrySettings(nowhere, settings);
    OptionsChoices choices;
    choices.highSet = true;
    choices.fansIndex = 2;
    choices.startChoices = {false, true, false, false, false};
    saveOptions(choices, nowhere, "/usr/bin/quorvel", settings);
    EXPECT_EQ(settings.highSet, 1);
    EXPECT_EQ(settings.fansSet, 3);
    EXPECT_EQ(settings.runMode, kStartModeNormal);
    EXPECT_FALSE(saveOsdPosition(nowhere, settings, 10, 20));
    EXPECT_EQ(settings.osdPositionX, 10);
    EXPECT_EQ(settings.osdPositionY, 20);
}

}  // namespace
}  // namespace qv::settings
