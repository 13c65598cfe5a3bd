#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "gpu/DriverIds.h"
#include "gpu/GpuLayerTestSupport.h"
#include "lang/LanguageRows.h"
#include "settings/FileRegistryStore.h"
#include "settings/OptionsDialogModel.h"
#include "settings/RegistryValues.h"

namespace qv::test {
namespace {

using namespace settings::options;
using platform::PromptAnswer;
using settings::OptionsDialogModel;
using settings::OptionsWait;

constexpr uint32_t kEnglish = 0x0409;
constexpr uint32_t kSimplifiedChinese = 0x0804;

// The real file store, with every write it takes noted in order.
class RecordingStore final : public settings::RegistryStore {
public:
    explicit RecordingStore(const TempDir& dir)
        : store_(settings::StorePaths{dir.file("settings.conf"), dir.file("quorvel.desktop")}) {}
    bool readValue(std::string_view name, uint32_t& value) override {
        return store_.readValue(name, value);
    }
    bool writeValue(std::string_view name, uint32_t value) override {
        writes.push_back(std::string(name));
        return store_.writeValue(name, value);
    }
    bool readRunEntry(std::string& text) override { return store_.readRunEntry(text); }
    bool writeRunEntry(const std::string& path, const std::string& word) override {
        writes.push_back("Run " + word);
        return store_.writeRunEntry(path, word);
    }
    bool deleteRunEntry() override {
        writes.push_back("Run deleted");
        return store_.deleteRunEntry();
    }
    uint32_t value(const std::string& name) {
        uint32_t v = 0xDEAD;
        EXPECT_TRUE(store_.readValue(name, v)) << name;
        return v;
    }
    std::vector<std::string> writes;

private:
    settings::FileRegistryStore store_;
};

class ScriptedAnswers final : public platform::Prompt {
public:
    PromptAnswer show(const std::string& caption, const std::string& text, platform::PromptIcon,
                      platform::PromptButtons buttons) override {
        shown.push_back({caption, text});
        if (answers.empty()) {
            return platform::dismissedAnswer(buttons);
        }
        const PromptAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<PromptAnswer> answers;
    std::vector<std::pair<std::string, std::string>> shown;
};

// The built-in boards (a hot-key board, a board whose fan counts rpm, a family A board), a
// settings store of their own and the start-up load done.
class OptionsDialog : public ::testing::Test {
protected:
    explicit OptionsDialog(const std::string& config = "") : rig(config) {}
    void SetUp() override {
        ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
        rig.layer->waitForProbe();
        settings::loadRegistrySettings(store, settings);
        store.writes.clear();
    }

    std::unique_ptr<OptionsDialogModel> openDialog(uint8_t gpu = kGpu0E22,
                                                   uint32_t language = kEnglish,
                                                   std::function<bool()> probe = {}) {
        texts = std::make_unique<lang::CMultiLangSupp>(language);
        settings::OptionsDialogServices services;
        services.layer = rig.layer.get();
        services.store = &store;
        services.settings = &settings;
        services.texts = texts.get();
        services.prompt = &prompt;
        services.programPath = "/opt/quorvel/quorvel";
        services.sendFanCommand = [this, gpu](const fan::FanCommand& command) {
            fanCommands.push_back(command);
            fan::singleGpuFanCommand(*rig.layer, gpu)(command);
        };
        services.fanSpeedFile = folder.file("FanSpeed.ini");
        services.probeVexaAdapter = std::move(probe);
        services.manualChannelFlag = &manualFlag;
        auto model = std::make_unique<OptionsDialogModel>(gpu, std::move(services));
        model->open();
        return model;
    }

    LayerRig rig;
    TempDir folder;
    RecordingStore store{folder};
    settings::RegistrySettings settings;
    ScriptedAnswers prompt;
    std::unique_ptr<lang::CMultiLangSupp> texts;
    std::vector<fan::FanCommand> fanCommands;
    int manualFlag = 0;
};

TEST_F(OptionsDialog, OpensWithTheStoredOptionsInTheUsersLanguage) {
    auto dialog = openDialog(kGpu0E22, kSimplifiedChinese);
    EXPECT_EQ(dialog->control(kStartDoNotRun).caption, "不运行");
    EXPECT_EQ(dialog->control(kGroupFanControl).caption, "高级风扇控制");
    EXPECT_EQ(dialog->control(kOk).caption, "确定");
    // No Run entry yet: the default start choice, the tray.
    for (int id = kStartDoNotRun; id <= kStartApplyAndQuit; ++id) {
        EXPECT_EQ(dialog->control(id).checked, id == kStartRunInTray) << id;
    }
    EXPECT_TRUE(dialog->control(kRestoreUserSettings).checked);
    EXPECT_TRUE(dialog->control(kCurveDrawing).checked);
    EXPECT_EQ(dialog->control(kSamplingPeriodList).selected, 0);
    EXPECT_EQ(dialog->control(kSamplingPeriodList).items.at(9), "10秒");
    EXPECT_EQ(dialog->control(kTempLowList).items, (std::vector<std::string>{"50°C", "55°C"}));
    EXPECT_EQ(dialog->control(kHighFanList).items,
              (std::vector<std::string>{"80%", "90%", "100%"}));
    EXPECT_EQ(dialog->control(kAlarmList).items.at(4), "99°C");
    EXPECT_EQ(dialog->control(kHotKeyOffsetList).items.at(6), "700");
    EXPECT_EQ(dialog->control(kWirelessFrequencyList).items,
              (std::vector<std::string>{"5735", "5755", "5775", "5795", "5815", "5835"}));
    // Custom mode off: its eight controls are off, the lists still show the stored indices.
    EXPECT_FALSE(dialog->control(kCustomMode).checked);
    EXPECT_FALSE(dialog->control(kTempLowList).enabled);
    EXPECT_FALSE(dialog->control(kHighFanLabel).enabled);
    EXPECT_EQ(dialog->control(kLowFanList).selected, 0);
    // The alarm is off, so is its list.
    EXPECT_FALSE(dialog->control(kAlarmList).enabled);
    // The hot-key board is in the machine; the keys are off, so are their lists.
    EXPECT_TRUE(dialog->control(kHotKeyEnable).enabled);
    EXPECT_FALSE(dialog->control(kHotKeyFanList).enabled);
    EXPECT_FALSE(dialog->control(kHotKeyVoltage).enabled);
    // This board's fan counts rpm; Silent mode is for its device.
    EXPECT_TRUE(dialog->control(kFanTestButton).enabled);
    EXPECT_TRUE(dialog->control(kSilentMode).visible);
    // No multi-display adapter answered: its group goes, the controls below move up.
    EXPECT_FALSE(dialog->control(kGroupVexa).visible);
    EXPECT_FALSE(dialog->control(kVexaSetting).enabled);
    EXPECT_TRUE(dialog->controlsMovedUp());
    EXPECT_TRUE(store.writes.empty()) << "opening writes nothing";
}

TEST_F(OptionsDialog, BoardDecidesFamilyControlsAndTheAdapterGroup) {
    auto kepler = openDialog(kGpuKepler, kEnglish, [] { return true; });
    EXPECT_FALSE(kepler->control(kSilentMode).visible);
    EXPECT_TRUE(kepler->control(kGroupVexa).visible);
    EXPECT_TRUE(kepler->control(kVexaSetting).enabled);
    EXPECT_FALSE(kepler->controlsMovedUp());
    auto familyA = openDialog(kGpu05E2, kEnglish, [] { return false; });
    EXPECT_FALSE(familyA->control(kPerformanceMode).visible);
    EXPECT_FALSE(familyA->control(kFanTempAssociated).enabled);
    EXPECT_FALSE(familyA->control(kGroupVexa).visible);
}

TEST_F(OptionsDialog, OkWritesEveryValueInItsOrder) {
    auto dialog = openDialog();
    dialog->setChecked(kCustomMode, true);
    dialog->select(kTempLowList, 1);
    dialog->select(kLowFanList, 2);
    dialog->select(kTempOverList, 1);
    dialog->select(kHighFanList, 2);
    dialog->setChecked(kAlarmSwitch, true);
    dialog->select(kAlarmList, 3);
    dialog->select(kSamplingPeriodList, 4);
    dialog->setChecked(kOsdFramerate, true);
    dialog->setChecked(kNewsSwitch, false);
    prompt.answers = {PromptAnswer::kYes};
    dialog->setChecked(kHotKeyEnable, true);
    dialog->select(kHotKeyFanList, 3);
    dialog->select(kHotKeyOffsetList, 2);
    EXPECT_FALSE(dialog->control(kRemoteBridge).checked);  // off unless switched on
    dialog->setChecked(kRemoteBridge, true);
    dialog->press(kOk);
    EXPECT_TRUE(dialog->closed());
    EXPECT_TRUE(dialog->accepted());
    EXPECT_EQ(store.writes, (std::vector<std::string>{"RestoreUserSettings",
                                                      "AutoUpdate",
                                                      "HdmiAutoSet",
                                                      "FanTempSet",
                                                      "OSDClockShow",
                                                      "OSDTempShow",
                                                      "OSDFanSpeedShow",
                                                      "OSDFramerateShow",
                                                      "NewsSwitch",
                                                      "HighSet",
                                                      "HighSet2",
                                                      "HighSet3",
                                                      "FanSpeedTest",
                                                      "TemplowSet",
                                                      "FansSet",
                                                      "FansHighSet",
                                                      "TempSet",
                                                      "TemperatureAlarmSet",
                                                      "TemperatureAlarmValue",
                                                      "SamplingPeriod",
                                                      "Run SysTray",
                                                      "HotKeyEnable",
                                                      "HotKeySetVoltageHighest",
                                                      "HotKeyFanSpeed",
                                                      "HotKeyGPUOffset",
                                                      "RemoteBridge"}));
    EXPECT_EQ(store.value("RemoteBridge"), 1u);
    EXPECT_EQ(store.value("TemplowSet"), 2u);
    EXPECT_EQ(store.value("FansSet"), 3u);
    EXPECT_EQ(store.value("TempSet"), 2u);
    EXPECT_EQ(store.value("FansHighSet"), 3u);
    EXPECT_EQ(store.value("TemperatureAlarmValue"), 3u);
    EXPECT_EQ(store.value("SamplingPeriod"), 5u);
    EXPECT_EQ(store.value("OSDFramerateShow"), 1u);
    EXPECT_EQ(store.value("NewsSwitch"), 0u);
    EXPECT_EQ(store.value("HotKeyFanSpeed"), 70u);
    EXPECT_EQ(store.value("HotKeyGPUOffset"), 300u);
    EXPECT_EQ(settings.customHighFan, 100);
    EXPECT_EQ(settings.hotKeyEnable, 1);
    std::string run;
    ASSERT_TRUE(store.readRunEntry(run));
    EXPECT_EQ(run, "/opt/quorvel/quorvel SysTray");
    // Closed: later input changes nothing.
    dialog->setChecked(kNewsSwitch, true);
    dialog->press(kOk);
    EXPECT_EQ(store.writes.size(), 26u);
}

TEST_F(OptionsDialog, CancelAfterChangingEveryControlWritesNothing) {
    const settings::RegistrySettings before = settings;
    auto dialog = openDialog();
    for (const auto& [id, control] : dialog->controls()) {
        if (id == kHotKeyEnable || id == kHotKeyVoltage) {
            prompt.answers = {PromptAnswer::kYes, PromptAnswer::kOk};
        }
        if (!control.items.empty()) {
            dialog->select(id, static_cast<int>(control.items.size()) - 1);
        } else if (id != kOk && id != kCancel && id != kFanTestButton) {
            dialog->setChecked(id, !control.checked);
        }
    }
    dialog->press(kCancel);
    EXPECT_TRUE(dialog->closed());
    EXPECT_FALSE(dialog->accepted());
    EXPECT_TRUE(store.writes.empty());
    EXPECT_EQ(settings.runMode, before.runMode);
    EXPECT_EQ(settings.highSet, before.highSet);
    EXPECT_EQ(settings.samplingPeriod, before.samplingPeriod);
    std::string run;
    EXPECT_FALSE(store.readRunEntry(run));
}

TEST_F(OptionsDialog, FanModesExcludeEachOtherAndOnlyCustomModeSavesItsLists) {
    auto dialog = openDialog();
    dialog->setChecked(kCustomMode, true);
    EXPECT_TRUE(dialog->control(kTempLowList).enabled);
    dialog->setChecked(kSilentMode, true);
    EXPECT_FALSE(dialog->control(kCustomMode).checked);
    EXPECT_FALSE(dialog->control(kTempLowList).enabled);
    dialog->setChecked(kPerformanceMode, true);
    EXPECT_FALSE(dialog->control(kSilentMode).checked);
    // Clearing a mode gives the lists back, but Custom mode stays off.
    dialog->setChecked(kPerformanceMode, false);
    EXPECT_TRUE(dialog->control(kTempLowList).enabled);
    EXPECT_FALSE(dialog->control(kCustomMode).checked);
    dialog->select(kTempLowList, 1);
    dialog->accept();
    for (const char* name : {"TemplowSet", "FansSet", "TempSet", "FansHighSet"}) {
        EXPECT_EQ(std::count(store.writes.begin(), store.writes.end(), name), 0) << name;
    }
    EXPECT_EQ(settings.templowSet, 1);
}

TEST_F(OptionsDialog, HotKeyChoicesFollowTheirQuestions) {
    settings.hotKeyFanSpeed = 45;
    settings.hotKeyGpuOffset = 700;
    auto dialog = openDialog();
    EXPECT_EQ(dialog->control(kHotKeyFanList).selected, 0) << "45 shows as 40%";
    EXPECT_EQ(dialog->control(kHotKeyOffsetList).selected, 6);
    prompt.answers = {PromptAnswer::kNo};
    dialog->setChecked(kHotKeyEnable, true);
    EXPECT_FALSE(dialog->control(kHotKeyEnable).checked);
    EXPECT_FALSE(dialog->control(kHotKeyFanList).enabled);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].first, "Warning");
    prompt.answers = {PromptAnswer::kYes, PromptAnswer::kCancel, PromptAnswer::kOk};
    dialog->setChecked(kHotKeyEnable, true);
    EXPECT_TRUE(dialog->control(kHotKeyFanList).enabled);
    dialog->setChecked(kHotKeyVoltage, true);
    EXPECT_FALSE(dialog->control(kHotKeyVoltage).checked);
    dialog->setChecked(kHotKeyVoltage, true);
    EXPECT_TRUE(dialog->control(kHotKeyVoltage).checked);
    EXPECT_EQ(prompt.shown.back().first, "Quorvel K");
    dialog->accept();
    EXPECT_EQ(store.value("HotKeyFanSpeed"), 40u) << "saved back as 40";
    EXPECT_EQ(store.value("HotKeyGPUOffset"), 700u);
    EXPECT_EQ(store.value("HotKeySetVoltageHighest"), 1u);
}

TEST_F(OptionsDialog, UnknownRunWordChecksNoChoiceAndOkKeepsTheEntry) {
    ASSERT_TRUE(store.writeRunEntry("/usr/bin/quorvel", "Sideways"));
    store.writes.clear();
    auto dialog = openDialog();
    EXPECT_EQ(settings.runMode, 0);
    for (int id = kStartDoNotRun; id <= kStartApplyAndQuit; ++id) {
        EXPECT_FALSE(dialog->control(id).checked) << id;
    }
    dialog->accept();
    EXPECT_EQ(std::count_if(store.writes.begin(), store.writes.end(),
                            [](const std::string& w) { return w.rfind("Run", 0) == 0; }),
              0);
    std::string run;
    ASSERT_TRUE(store.readRunEntry(run));
    EXPECT_EQ(run, "/usr/bin/quorvel Sideways");
}

TEST_F(OptionsDialog, StartChoicesAreOneAtATimeAndDoNotRunDeletesTheEntry) {
    ASSERT_TRUE(store.writeRunEntry("/usr/bin/quorvel", "Normal"));
    auto dialog = openDialog();
    EXPECT_TRUE(dialog->control(kStartChoiceBase + 2).checked);
    dialog->setChecked(kStartDoNotRun, true);
    EXPECT_FALSE(dialog->control(kStartChoiceBase + 2).checked);
    dialog->accept();
    std::string run;
    EXPECT_FALSE(store.readRunEntry(run));
    EXPECT_EQ(settings.runMode, 1);
}

TEST_F(OptionsDialog, OutOfRangeStoredIndicesShowNoSelection) {
    settings.templowSet = 7;
    ASSERT_TRUE(store.writeValue("TemperatureAlarmValue", 9));
    ASSERT_TRUE(store.writeValue("TemperatureAlarmSet", 1));
    auto dialog = openDialog();
    EXPECT_EQ(dialog->control(kTempLowList).selected, -1);
    EXPECT_EQ(dialog->control(kAlarmList).selected, -1);
    EXPECT_TRUE(dialog->control(kAlarmList).enabled) << "the alarm is read afresh";
    EXPECT_EQ(settings.temperatureAlarmValue, 9);
}

TEST_F(OptionsDialog, FanTestRunsOnTheDialogsTimerAndReportsItsResult) {
    rig.sim().freezeTime(1);
    auto dialog = openDialog();
    dialog->press(kFanTestButton);
    EXPECT_FALSE(dialog->control(kFanTestButton).enabled);
    const auto waits = dialog->takeWaits();
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].what, OptionsWait::kFanTestSettled);
    EXPECT_EQ(waits[0].delayMs, 3000u);
    EXPECT_TRUE(dialog->timers().empty()) << "the settle is a pause, not a tick";
    rig.sim().advanceTimeMs(3000);
    dialog->waitOver(OptionsWait::kFanTestSettled);
    ASSERT_EQ(dialog->timers().count(kTimerFanTest), 1u);
    EXPECT_EQ(dialog->timers().at(kTimerFanTest), 500u);
    for (int tick = 0; tick < 3; ++tick) {
        rig.sim().advanceTimeMs(500);
        dialog->timer(kTimerFanTest);
    }
    EXPECT_EQ(dialog->timers().count(kTimerFanTest), 0u);
    EXPECT_TRUE(dialog->control(kFanTestButton).enabled);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].first, "Quorvel K");
    EXPECT_EQ(prompt.shown[0].second.rfind("Normal fan speed 0, and now speed is ", 0), 0u)
        << prompt.shown[0].second;
    EXPECT_EQ(fanCommands.size(), 2u);
}

TEST_F(OptionsDialog, ClosingDuringTheFanTestPutsTheFanBack) {
    rig.sim().freezeTime(1);
    {
        auto dialog = openDialog();
        dialog->press(kFanTestButton);
        dialog->waitOver(OptionsWait::kFanTestSettled);
        dialog->timer(kTimerFanTest);
        dialog->press(kCancel);
        EXPECT_TRUE(dialog->timers().empty());
        ASSERT_EQ(fanCommands.size(), 2u);
        EXPECT_EQ(fanCommands[1], fan::FanCommand::automatic());
        // A pause that ends after the close does nothing.
        dialog->waitOver(OptionsWait::kFanTestSettled);
        EXPECT_TRUE(dialog->timers().empty());
    }
    fanCommands.clear();
    {
        // Destroyed without a close.
        auto dialog = openDialog();
        dialog->press(kFanTestButton);
    }
    ASSERT_EQ(fanCommands.size(), 2u);
    EXPECT_EQ(fanCommands[1], fan::FanCommand::automatic());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(OptionsDialog, NoWirelessModuleLeavesItsButtonsOff) {
    auto dialog = openDialog(kGpuKepler);
    EXPECT_FALSE(dialog->wirelessPresent());
    EXPECT_FALSE(dialog->control(kWirelessReset).enabled);
    EXPECT_FALSE(dialog->control(kWirelessManual).enabled);
    EXPECT_EQ(dialog->control(kWirelessManual).caption, "Manual Channel Mode");
    EXPECT_EQ(dialog->timers().count(kTimerWirelessStatus), 0u);
}

// The board that carries the wireless display module.
class WirelessOptions : public OptionsDialog {
protected:
    WirelessOptions()
        : OptionsDialog(writeConfig(boards, "board.conf", readPreset("single-0e22"))) {}
    static inline TempDir boards;
    void failReads() {
        rig.sim().injectStatus(drv::kI2cRead, drv::kError, -1);
        rig.sim().injectStatus(drv::kI2cReadEx, drv::kError, -1);
    }
};

TEST_F(WirelessOptions, OpensWithTheModulesFirmwareAndFrequency) {
    auto dialog = openDialog(0);
    EXPECT_TRUE(dialog->wirelessPresent());
    EXPECT_EQ(dialog->control(kWirelessFirmware).caption, "USA (2.1.7)");
    EXPECT_EQ(dialog->control(kWirelessChannelsLabel).caption, "Current Channels:  ");
    EXPECT_TRUE(dialog->control(kWirelessReset).enabled);
    EXPECT_TRUE(dialog->control(kWirelessManual).enabled);
    EXPECT_EQ(dialog->control(kWirelessFrequencyList).editText, "5735");
    EXPECT_EQ(dialog->timers().at(kTimerWirelessStatus), 1000u);
    dialog->timer(kTimerWirelessStatus);
    EXPECT_EQ(dialog->control(kWirelessWorkState).caption, "2");
    EXPECT_EQ(dialog->control(kWirelessChannel).caption, "1");
}

TEST_F(WirelessOptions, ManualChannelModeAndResetFollowTheModule) {
    auto dialog = openDialog(0);
    dialog->press(kWirelessManual);
    EXPECT_FALSE(dialog->control(kWirelessManual).enabled);
    EXPECT_EQ(dialog->control(kWirelessManual).caption, "Channel Change");
    EXPECT_EQ(manualFlag, 1);
    auto waits = dialog->takeWaits();
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].what, OptionsWait::kEnableManualChannel);
    EXPECT_EQ(waits[0].delayMs, 3000u);
    // While the button is off the status is not read.
    dialog->timer(kTimerWirelessStatus);
    EXPECT_EQ(dialog->control(kWirelessChannel).caption, "");
    dialog->waitOver(OptionsWait::kEnableManualChannel);
    dialog->timer(kTimerWirelessStatus);
    EXPECT_EQ(dialog->control(kWirelessChannel).caption, "2") << "5755 MHz";
    // The flag outlives the dialog.
    dialog->press(kCancel);
    dialog = openDialog(0);
    EXPECT_EQ(dialog->control(kWirelessManual).caption, "Channel Change");
    EXPECT_EQ(dialog->control(kWirelessFrequencyList).editText, "5755");

    dialog->press(kWirelessReset);
    EXPECT_FALSE(dialog->control(kWirelessReset).enabled);
    EXPECT_EQ(dialog->control(kWirelessManual).caption, "Manual Channel Mode");
    EXPECT_EQ(manualFlag, 0);
    waits = dialog->takeWaits();
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].delayMs, 2000u);
    dialog->waitOver(waits[0].what);
    EXPECT_TRUE(dialog->control(kWirelessReset).enabled);
    int megahertz = 0;
    ASSERT_EQ(rig.layer->wirelessFrequency(0, megahertz), drv::kOk);
    EXPECT_EQ(megahertz, 5735);
}

TEST_F(WirelessOptions, ApplySetsTheChosenChannelUntilTheModuleSendsOnIt) {
    auto dialog = openDialog(0);
    dialog->select(kWirelessFrequencyList, 4);
    EXPECT_EQ(dialog->control(kWirelessFrequencyList).editText, "5815");
    dialog->press(kWirelessApply);
    EXPECT_FALSE(dialog->control(kWirelessApply).enabled);
    EXPECT_EQ(dialog->timers().at(kTimerChannelApply), 1000u);
    dialog->timer(kTimerChannelApply);
    auto waits = dialog->takeWaits();
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].what, OptionsWait::kSetChannelAgain);
    EXPECT_EQ(waits[0].delayMs, 100u);
    EXPECT_EQ(dialog->timers().count(kTimerChannelApply), 1u) << "the timer keeps running";
    dialog->waitOver(OptionsWait::kSetChannelAgain);
    dialog->timer(kTimerChannelApply);
    EXPECT_EQ(dialog->timers().count(kTimerChannelApply), 0u);
    EXPECT_TRUE(dialog->control(kWirelessApply).enabled);
    int megahertz = 0;
    ASSERT_EQ(rig.layer->wirelessFrequency(0, megahertz), drv::kOk);
    EXPECT_EQ(megahertz, 5815);
}

TEST_F(WirelessOptions, FailedReadsShowTheirMessagesAndLeaveTheFields) {
    auto dialog = openDialog(0);
    dialog->timer(kTimerWirelessStatus);
    failReads();
    dialog->timer(kTimerWirelessStatus);
    EXPECT_EQ(dialog->control(kWirelessChannel).caption, "1");
    dialog->press(kWirelessApply);
    dialog->timer(kTimerChannelApply);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0], (std::pair<std::string, std::string>{"", "Can't Read Frequency!"}));
    EXPECT_EQ(dialog->timers().count(kTimerChannelApply), 0u);
    EXPECT_TRUE(dialog->control(kWirelessApply).enabled);
    dialog->press(kWirelessBt);
    const auto waits = dialog->takeWaits();
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].delayMs, 1000u);
    dialog->waitOver(waits[0].what);
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[1].second, "Read Frequency Fail!");
    rig.sim().injectStatus(drv::kI2cRead, drv::kError, 0);
    rig.sim().injectStatus(drv::kI2cReadEx, drv::kError, 0);
    dialog->press(kWirelessBt);
    dialog->waitOver(OptionsWait::kReadFrequencyForBt);
    EXPECT_EQ(dialog->control(kWirelessChannel).caption, "5735");
    EXPECT_EQ(prompt.shown.size(), 2u);
}

TEST_F(WirelessOptions, ModuleThatDoesNotAnswerCountsAsAbsent) {
    failReads();
    auto dialog = openDialog(0);
    EXPECT_FALSE(dialog->wirelessPresent());
    EXPECT_TRUE(dialog->timers().empty());
    EXPECT_EQ(rig.layer->wirelessSetChannel(0, 1), drv::kNotSupported);
}

TEST(WirelessChannelTable, FirstEntryOfAFrequencyGivesTheChannel) {
    EXPECT_EQ(settings::wirelessChannelOf(5735), 1);
    EXPECT_EQ(settings::wirelessChannelOf(5825), 9);
    EXPECT_EQ(settings::wirelessChannelOf(5160), 1);
    EXPECT_EQ(settings::wirelessChannelOf(5250), 9);
    EXPECT_EQ(settings::wirelessChannelOf(5000), 0);
}

}  // namespace
}  // namespace qv::test
