#include "settings/OptionsDialogModel.h"

#include <cstdio>
#include <iterator>
#include <span>

#include "gpu/DriverStatus.h"
#include "lang/LanguageRows.h"
#include "settings/RegistryValues.h"

namespace qv::settings {

using namespace options;
using platform::PromptAnswer;
using platform::PromptButtons;
using platform::PromptIcon;

namespace {

// Fixed texts of the wireless group; the same in every language.
constexpr const char* kManualChannelMode = "Manual Channel Mode";
constexpr const char* kChannelChange = "Channel Change";
constexpr const char* kCantReadFrequency = "Can't Read Frequency!";
constexpr const char* kReadFrequencyFail = "Read Frequency Fail!";
constexpr const char* kRegionUsa = "USA";
constexpr const char* kRegionJapan = "JAP";
constexpr int kRegionCodeUsa = 1;
constexpr int kRegionCodeJapan = 2;

constexpr int kCustomControls[8] = {kTempLowLabel, kTempOverLabel, kLowFanList,  kHighFanList,
                                    kTempOverList, kHighFanLabel,  kLowFanLabel, kTempLowList};
constexpr int kHotKeyGroupControls[9] = {kGroupHotKey,      kHotKeyFanKey,      kHotKeyFanLabel,
                                         kHotKeyOffsetKey,  kHotKeyOffsetLabel, kHotKeyFanList,
                                         kHotKeyOffsetList, kHotKeyVoltage,     kHotKeyEnable};
constexpr int kStartChoiceCount = 5;
constexpr int kSamplingPeriods = 10;
constexpr int kTempLowValues[] = {50, 55};
constexpr int kLowFanValues[] = {15, 20, 25};
constexpr int kTempOverValues[] = {80, 85, 90};
constexpr int kHighFanValues[] = {80, 90, 100};
constexpr int kAlarmFirstDegrees = 95;
constexpr int kAlarmValues = 5;
constexpr int kHotKeyFanPercents[] = {40, 50, 60, 70, 80, 90, 100};
constexpr int kHotKeyOffsetStep = 100;
constexpr int kHotKeyOffsets = 7;
// Boards whose hot keys the program handles.
constexpr uint32_t kHotKeyDevices[] = {0x1180, 0x1189, 0x1188};

std::string number(int value) {
    return std::to_string(value);
}

}  // namespace

int wirelessChannelOf(int megahertz) {
    for (const WirelessChannel& entry : kWirelessChannels) {
        if (entry.megahertz == megahertz) {
            return entry.channel;
        }
    }
    return 0;
}

OptionsDialogModel::OptionsDialogModel(uint8_t gpu, OptionsDialogServices services)
    : gpu_(gpu),
      services_(std::move(services)),
      fanTest_(
          fan::FanTestServices{services_.layer, services_.sendFanCommand, services_.fanSpeedFile}) {
    createControls();
}

OptionsDialogModel::~OptionsDialogModel() {
    // The window can go without a close (its owner ends): the fan still goes back.
    fanTest_.stop();
}

std::string OptionsDialogModel::text(int row) const {
    return services_.texts != nullptr ? services_.texts->text(row)
                                      : lang::languageTable().text(row);
}

OptionControl& OptionsDialogModel::at(int id) {
    return controls_[id];
}

const OptionControl& OptionsDialogModel::control(int id) const {
    static const OptionControl kNone{};
    const auto found = controls_.find(id);
    return found == controls_.end() ? kNone : found->second;
}

void OptionsDialogModel::addFixed(int id, const char* caption) {
    at(id).caption = caption;
}

void OptionsDialogModel::createControls() {
    // Every control exists from the start with its template state; the opening steps change it.
    const int ids[] = {kOk,
                       kCancel,
                       kRestoreUserSettings,
                       kGroupSaveSettings,
                       kGroupCurveDrawing,
                       kCurveDrawing,
                       kSamplingPeriodList,
                       kSamplingPeriodLabel,
                       kGroupOsd,
                       kGroupAutoUpdate,
                       kAutoUpdate,
                       kHdmiAutoSet,
                       kOsdClock,
                       kOsdTemperature,
                       kOsdFanSpeed,
                       kOsdFramerate,
                       kFanTempAssociated,
                       kTempLowLabel,
                       kTempOverLabel,
                       kCustomMode,
                       kHighFanLabel,
                       kTempLowList,
                       kLowFanLabel,
                       kSilentMode,
                       kPerformanceMode,
                       kLowFanList,
                       kHighFanList,
                       kTempOverList,
                       kChangePassword,
                       kRemoteBridge,
                       kFanTestButton,
                       kFanTestSwitch,
                       kNewsSwitch,
                       kAlarmSwitch,
                       kAlarmList,
                       kAlarmLabel,
                       kHotKeyEnable,
                       kHotKeyFanLabel,
                       kHotKeyFanList,
                       kHotKeyOffsetLabel,
                       kHotKeyFanKey,
                       kHotKeyOffsetKey,
                       kHotKeyOffsetList,
                       kHotKeyVoltage,
                       kGroupHotKey,
                       kWirelessReset,
                       kWirelessFrequencyList,
                       kWirelessApply,
                       kWirelessChannelsLabel,
                       kWirelessManual,
                       kWirelessBt,
                       kWirelessWorkState,
                       kWirelessChannel,
                       kWirelessFirmware,
                       kGroupVexa,
                       kVexaSetting,
                       kGroupRestart,
                       kGroupHdmi,
                       kGroupFanControl,
                       kGroupIphone,
                       kGroupFanTest,
                       kGroupNews,
                       kGroupAlarm,
                       kGroupWireless};
    for (int id : ids) {
        at(id);
    }
    for (int mode = 1; mode <= kStartChoiceCount; ++mode) {
        at(kStartChoiceBase + mode);
    }
    // What the template starts with: the family and device controls hidden or disabled until
    // the board says otherwise, the Custom controls off until Custom mode is on.
    at(kFanTempAssociated).enabled = false;
    at(kPerformanceMode).visible = false;
    at(kSilentMode).visible = false;
    at(kFanTestButton).enabled = false;
    at(kAlarmList).enabled = false;
    setCustomControlsEnabled(false);
}

void OptionsDialogModel::setCustomControlsEnabled(bool on) {
    for (int id : kCustomControls) {
        at(id).enabled = on;
    }
}

void OptionsDialogModel::setHotKeyControlsEnabled(bool on) {
    at(kHotKeyFanList).enabled = on;
    at(kHotKeyOffsetList).enabled = on;
    at(kHotKeyVoltage).enabled = on;
}

void OptionsDialogModel::open() {
    gpu::GpuLayer& layer = *services_.layer;
    const gpu::GpuRecord& record = layer.record(gpu_);
    const bool gpuValid = gpu_ < layer.gpuCount();

    // 1. The board's own controls.
    if (gpuValid && record.familyC) {
        at(kFanTempAssociated).enabled = true;
        at(kPerformanceMode).visible = true;
    }
    if (gpuValid && record.device0E22) {
        at(kSilentMode).visible = true;
    }
    at(kFanTestButton).enabled = gpuValid && layer.fanReadsRpm(gpu_);

    // 2. The wireless module.
    wireless_ = gpuValid && layer.wirelessPresent(gpu_);
    at(kWirelessReset).enabled = wireless_;
    at(kWirelessManual).enabled = wireless_;
    if (wireless_) {
        int region = 0;
        std::array<int, 3> version{};
        if (layer.wirelessRegionVersion(gpu_, region, version) == drv::kOk) {
            const char* name = region == kRegionCodeUsa     ? kRegionUsa
                               : region == kRegionCodeJapan ? kRegionJapan
                                                            : "";
            char firmware[64];
            std::snprintf(firmware, sizeof firmware, "%s (%d.%d.%d)", name, version[0], version[1],
                          version[2]);
            at(kWirelessFirmware).caption = firmware;
        }
    }

    // 3. Captions.
    setCaptions();

    // 4-7. Stored values.
    readOpeningValues();
    showStoredChoices();

    // 8. The frequency list and the module's frequency.
    fillLists();
    readFrequencyIntoEdit();

    // 9.
    showManualCaption();

    // 10. The alarm, read afresh.
    RegistrySettings& settings = *services_.settings;
    uint32_t value = 0;
    if (services_.store->readValue(kValueTemperatureAlarmSet, value)) {
        settings.temperatureAlarmSet = value != 0;
    }
    if (services_.store->readValue(kValueTemperatureAlarmValue, value)) {
        settings.temperatureAlarmValue = static_cast<int>(value);
    }
    at(kAlarmSwitch).checked = settings.temperatureAlarmSet;
    at(kAlarmList).enabled = settings.temperatureAlarmSet;
    const int alarmIndex = settings.temperatureAlarmValue;
    at(kAlarmList).selected = (alarmIndex >= 0 && alarmIndex < kAlarmValues) ? alarmIndex : -1;

    // 11. The multi-display adapter.
    probeVexa();

    // 12. Hot keys.
    showHotKeys();

    // 13.
    if (wireless_) {
        startTimer(kTimerWirelessStatus, kWirelessStatusPeriodMs);
    }
}

void OptionsDialogModel::setCaptions() {
    at(kOk).caption = text(lang::kTextOk);
    at(kCancel).caption = text(lang::kTextCancel);
    at(kGroupRestart).caption = text(lang::kTextRestart);
    for (int mode = 1; mode <= kStartChoiceCount; ++mode) {
        at(kStartChoiceBase + mode).caption = text(lang::kTextDoNotRun + mode - 1);
    }
    at(kGroupSaveSettings).caption = text(lang::kTextSaveHardwareSettings);
    at(kRestoreUserSettings).caption = text(lang::kTextSaveSettingsBeforeQuit);
    at(kGroupCurveDrawing).caption = text(lang::kTextCurveDrawing);
    at(kCurveDrawing).caption = text(lang::kTextEnable);
    at(kSamplingPeriodLabel).caption = text(lang::kTextSamplingPeriod);
    at(kGroupAutoUpdate).caption = text(lang::kTextAutoUpdate);
    at(kAutoUpdate).caption = text(lang::kTextEnable);
    addFixed(kGroupOsd, "OSD");
    addFixed(kOsdClock, "Clocks");
    addFixed(kOsdTemperature, "Temperature");
    addFixed(kOsdFanSpeed, "Fan Speed");
    addFixed(kOsdFramerate, "Framerate");
    addFixed(kGroupHdmi, "HDMI");
    at(kHdmiAutoSet).caption = text(lang::kTextHdmiDefaultDevice);
    at(kGroupFanControl).caption = text(lang::kTextAdvancedFanControl);
    at(kCustomMode).caption = text(lang::kTextCustomMode);
    at(kSilentMode).caption = text(lang::kTextSilentMode);
    at(kPerformanceMode).caption = text(lang::kTextPerformanceMode);
    at(kFanTempAssociated).caption = text(lang::kTextFanTempAssociated);
    at(kTempLowLabel).caption = text(lang::kTextTempLow);
    at(kTempOverLabel).caption = text(lang::kTextTempOver);
    at(kLowFanLabel).caption = text(lang::kTextLowFanSpeed);
    at(kHighFanLabel).caption = text(lang::kTextHighFanSpeed);
    at(kGroupIphone).caption = text(lang::kTextIphoneControl);
    at(kChangePassword).caption = text(lang::kTextChangePassword);
    addFixed(kGroupFanTest, "FanTest");
    addFixed(kFanTestButton, "Test");
    addFixed(kGroupNews, "News Control");
    at(kNewsSwitch).caption = text(lang::kTextNewsPopUp);
    addFixed(kGroupAlarm, "Alarm Option");
    addFixed(kAlarmSwitch, "Set Alarm Temperature");
    at(kGroupHotKey).caption = text(lang::kTextHotKey);
    at(kHotKeyEnable).caption = text(lang::kTextEnable);
    addFixed(kHotKeyFanKey, "CTRL+N");
    at(kHotKeyFanLabel).caption = text(lang::kTextLowFanSpeed);
    addFixed(kHotKeyOffsetKey, "CTRL+M");
    at(kHotKeyOffsetLabel).caption = text(lang::kTextGpuOffset);
    at(kHotKeyVoltage).caption = text(lang::kTextGpuVoltageHighest);
    addFixed(kGroupWireless, "WHDI");
    at(kWirelessChannelsLabel).caption = text(lang::kTextCurrentChannels);
    addFixed(kWirelessApply, "Apply");
    addFixed(kWirelessReset, "Reset");
    addFixed(kWirelessBt, "BT");
    addFixed(kGroupVexa, "Vexa Series Settings");
    addFixed(kVexaSetting, "Setting");
    addFixed(kRemoteBridge, "Allow phone remote control");
}

void OptionsDialogModel::readOpeningValues() {
    RegistrySettings& settings = *services_.settings;
    RegistryStore& store = *services_.store;
    uint32_t value = 0;
    if (store.readValue(kValueRestoreUserSettings, value)) {
        settings.restoreUserSettings = value != 0;
    }
    if (store.readValue(kValueAutoUpdate, value)) {
        settings.autoUpdate = value != 0;
    }
    readHdmiAutoSet(store, settings);
    if (store.readValue(kValueFanTempSet, value)) {
        settings.fanTempSet = value != 0;
    }
    if (store.readValue(kValueSamplingPeriod, value)) {
        settings.samplingPeriod = static_cast<int>(value);
    }
    readRunEntry(store, settings);
}

void OptionsDialogModel::fillLists() {
    const std::string degrees = text(lang::kTextDegrees);
    const std::string seconds = text(lang::kTextSeconds);
    auto fill = [&](int id, std::span<const int> values, const std::string& unit) {
        std::vector<std::string>& items = at(id).items;
        items.clear();
        for (int v : values) {
            items.push_back(number(v) + unit);
        }
    };
    std::vector<int> periods;
    for (int s = 1; s <= kSamplingPeriods; ++s) {
        periods.push_back(s);
    }
    fill(kSamplingPeriodList, periods, seconds);
    fill(kTempLowList, kTempLowValues, degrees);
    fill(kLowFanList, kLowFanValues, "%");
    fill(kTempOverList, kTempOverValues, degrees);
    fill(kHighFanList, kHighFanValues, "%");
    std::vector<int> alarms;
    for (int i = 0; i < kAlarmValues; ++i) {
        alarms.push_back(kAlarmFirstDegrees + i);
    }
    fill(kAlarmList, alarms, degrees);
    fill(kHotKeyFanList, kHotKeyFanPercents, "%");
    std::vector<int> offsets;
    for (int i = 1; i <= kHotKeyOffsets; ++i) {
        offsets.push_back(i * kHotKeyOffsetStep);
    }
    fill(kHotKeyOffsetList, offsets, "");
    std::vector<int> frequencies;
    for (int i = 0; i < kWirelessFrequencyCount; ++i) {
        frequencies.push_back(kWirelessFirstFrequency + i * kWirelessFrequencyStep);
    }
    fill(kWirelessFrequencyList, frequencies, "");
}

void OptionsDialogModel::selectStoredIndex(int id, int stored) {
    OptionControl& list = at(id);
    const int index = stored - 1;
    // A stored index outside the list leaves it without a selection.
    list.selected = (stored > 0 && index < static_cast<int>(list.items.size())) ? index : -1;
}

void OptionsDialogModel::showStoredChoices() {
    const RegistrySettings& s = *services_.settings;
    // 5.
    at(kRestoreUserSettings).checked = s.restoreUserSettings;
    at(kAutoUpdate).checked = s.autoUpdate;
    at(kHdmiAutoSet).checked = s.hdmiAutoSet;
    at(kFanTempAssociated).checked = s.fanTempSet;
    at(kOsdClock).checked = s.osdClockShow;
    at(kOsdTemperature).checked = s.osdTempShow;
    at(kOsdFanSpeed).checked = s.osdFanSpeedShow;
    at(kOsdFramerate).checked = s.osdFramerateShow;
    at(kNewsSwitch).checked = s.newsSwitch;
    uint32_t bridge = 0;
    at(kRemoteBridge).checked =
        services_.store->readValue(kValueRemoteBridge, bridge) && bridge != 0;
    for (int mode = 1; mode <= kStartChoiceCount; ++mode) {
        at(kStartChoiceBase + mode).checked = s.runMode == mode;
    }
    // 6. The lists are filled first so that a selection has items to point at.
    fillLists();
    at(kCurveDrawing).checked = s.samplingPeriod != 0;
    selectStoredIndex(kSamplingPeriodList, s.samplingPeriod);
    // 7.
    at(kCustomMode).checked = s.highSet != 0;
    at(kSilentMode).checked = s.highSet2 != 0;
    at(kPerformanceMode).checked = s.highSet3 != 0;
    at(kFanTestSwitch).checked = s.fanSpeedTest != 0;
    selectStoredIndex(kTempLowList, s.templowSet);
    selectStoredIndex(kLowFanList, s.fansSet);
    selectStoredIndex(kTempOverList, s.tempSet);
    selectStoredIndex(kHighFanList, s.fansHighSet);
    if (s.highSet != 0) {
        setCustomControlsEnabled(true);
    }
}

void OptionsDialogModel::readFrequencyIntoEdit() {
    if (!wireless_) {
        return;
    }
    int megahertz = 0;
    if (services_.layer->wirelessFrequency(gpu_, megahertz) == drv::kOk) {
        at(kWirelessFrequencyList).editText = number(megahertz);
    }
}

int OptionsDialogModel::manualFlag() const {
    return services_.manualChannelFlag != nullptr ? *services_.manualChannelFlag : ownManualFlag_;
}

void OptionsDialogModel::setManualFlag(int value) {
    (services_.manualChannelFlag != nullptr ? *services_.manualChannelFlag : ownManualFlag_) =
        value;
}

void OptionsDialogModel::showManualCaption() {
    at(kWirelessManual).caption = manualFlag() == 1 ? kChannelChange : kManualChannelMode;
}

void OptionsDialogModel::probeVexa() {
    const bool answered = services_.probeVexaAdapter && services_.probeVexaAdapter();
    if (answered) {
        return;
    }
    for (int id : {kGroupVexa, kVexaSetting}) {
        at(id).enabled = false;
        at(id).visible = false;
    }
    movedUp_ = true;
}

void OptionsDialogModel::showHotKeys() {
    const RegistrySettings& s = *services_.settings;
    int fanIndex = 0;
    for (int i = 1; i < static_cast<int>(std::size(kHotKeyFanPercents)); ++i) {
        if (s.hotKeyFanSpeed == kHotKeyFanPercents[i]) {
            fanIndex = i;
        }
    }
    at(kHotKeyFanList).selected = fanIndex;
    int offsetIndex = 0;
    for (int i = 0; i < kHotKeyOffsets; ++i) {
        if (s.hotKeyGpuOffset == (i + 1) * kHotKeyOffsetStep) {
            offsetIndex = i;
        }
    }
    at(kHotKeyOffsetList).selected = offsetIndex;
    at(kHotKeyVoltage).checked = s.hotKeySetVoltageHighest != 0;
    at(kHotKeyEnable).checked = s.hotKeyEnable != 0;
    if (s.hotKeyEnable == 0) {
        setHotKeyControlsEnabled(false);
    }
    bool hotKeyBoard = false;
    const gpu::GpuLayer& layer = *services_.layer;
    for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
        for (uint32_t device : kHotKeyDevices) {
            hotKeyBoard = hotKeyBoard || layer.record(gpu).deviceId() == device;
        }
    }
    if (!hotKeyBoard) {
        for (int id : kHotKeyGroupControls) {
            at(id).enabled = false;
        }
    }
}

// ---- Inputs -----------------------------------------------------------------------------------

void OptionsDialogModel::setChecked(int id, bool checked) {
    if (closed_) {
        return;
    }
    if (id > kStartChoiceBase && id <= kStartChoiceBase + kStartChoiceCount) {
        // Radio buttons: one start choice at a time.
        for (int mode = 1; mode <= kStartChoiceCount; ++mode) {
            at(kStartChoiceBase + mode).checked = false;
        }
        at(id).checked = checked;
        return;
    }
    at(id).checked = checked;
    switch (id) {
        case kCustomMode:
            setCustomControlsEnabled(checked);
            if (checked) {
                at(kSilentMode).checked = false;
                at(kPerformanceMode).checked = false;
            }
            break;
        case kSilentMode:
        case kPerformanceMode:
            modeClicked(id, checked);
            break;
        case kAlarmSwitch:
            at(kAlarmList).enabled = checked;
            break;
        case kHotKeyEnable:
            hotKeyEnableClicked(checked);
            break;
        case kHotKeyVoltage:
            voltageClicked(checked);
            break;
        default:
            break;
    }
}

void OptionsDialogModel::modeClicked(int id, bool checked) {
    if (!checked) {
        setCustomControlsEnabled(true);
        return;
    }
    setCustomControlsEnabled(false);
    for (int other : {kCustomMode, kSilentMode, kPerformanceMode}) {
        if (other != id) {
            at(other).checked = false;
        }
    }
}

void OptionsDialogModel::hotKeyEnableClicked(bool checked) {
    const bool yes =
        checked && ask(text(lang::kTextWarning), text(lang::kTextOverclockingQuestion),
                       PromptIcon::kWarning, PromptButtons::kYesNo) == PromptAnswer::kYes;
    setHotKeyControlsEnabled(yes);
    at(kHotKeyEnable).checked = yes;
}

void OptionsDialogModel::voltageClicked(bool checked) {
    if (checked && ask(text(lang::kTextAppName), text(lang::kTextVoltageQuestion),
                       PromptIcon::kWarning, PromptButtons::kOkCancel) != PromptAnswer::kOk) {
        at(kHotKeyVoltage).checked = false;
    }
}

void OptionsDialogModel::select(int id, int index) {
    if (closed_) {
        return;
    }
    OptionControl& list = at(id);
    list.selected = (index >= 0 && index < static_cast<int>(list.items.size())) ? index : -1;
    if (id == kWirelessFrequencyList && list.selected >= 0) {
        list.editText = list.items[static_cast<size_t>(list.selected)];
    }
}

void OptionsDialogModel::setEditText(int id, const std::string& value) {
    at(id).editText = value;
}

void OptionsDialogModel::press(int id) {
    if (closed_ || !at(id).enabled) {
        return;
    }
    switch (id) {
        case kFanTestButton:
            startFanTest();
            break;
        case kWirelessApply:
            at(kWirelessApply).enabled = false;
            startTimer(kTimerChannelApply, kChannelApplyPeriodMs);
            break;
        case kWirelessReset:
            pressReset();
            break;
        case kWirelessManual:
            pressManualChannel();
            break;
        case kWirelessBt:
            wait(OptionsWait::kReadFrequencyForBt, kBtReadDelayMs);
            break;
        case kVexaSetting:
            if (services_.openViewDialog) {
                services_.openViewDialog();
            }
            break;
        case kChangePassword:
            if (services_.openPasswordDialog) {
                services_.openPasswordDialog();
            }
            break;
        case kOk:
            accept();
            break;
        case kCancel:
            reject();
            break;
        default:
            break;
    }
}

void OptionsDialogModel::timer(int id) {
    if (closed_ || timers_.count(id) == 0) {
        return;
    }
    switch (id) {
        case kTimerFanTest:
            fanTestTick();
            break;
        case kTimerChannelApply:
            applyChannelTick();
            break;
        case kTimerChannelRead:
            readFrequencyForBt();
            break;
        case kTimerWirelessStatus:
            wirelessStatusTick();
            break;
        default:
            break;
    }
}

void OptionsDialogModel::waitOver(OptionsWait what) {
    if (closed_) {
        return;
    }
    switch (what) {
        case OptionsWait::kFanTestSettled:
            if (fanTest_.waitingToSettle()) {
                fanTest_.settled();
                startTimer(kTimerFanTest, fan::FanSpeedTest::kTickMs);
            }
            break;
        case OptionsWait::kEnableWirelessReset:
            at(kWirelessReset).enabled = true;
            break;
        case OptionsWait::kEnableManualChannel:
            at(kWirelessManual).enabled = true;
            break;
        case OptionsWait::kReadFrequencyForBt:
            readFrequencyForBt();
            break;
        case OptionsWait::kSetChannelAgain: {
            const int index = control(kWirelessFrequencyList).selected;
            if (timers_.count(kTimerChannelApply) != 0 && index >= 0) {
                services_.layer->wirelessSetChannel(gpu_, index);
            }
            break;
        }
    }
}

// ---- The fan speed test -------------------------------------------------------------------------

void OptionsDialogModel::startFanTest() {
    switch (fanTest_.start(gpu_)) {
        case fan::FanTestStart::kDriverTooOld:
            ask(text(lang::kTextAppName), text(lang::kTextDriverTooOld), PromptIcon::kWarning,
                PromptButtons::kOk);
            return;
        case fan::FanTestStart::kAlreadyRunning:
            return;
        case fan::FanTestStart::kStarted:
            break;
    }
    at(kFanTestButton).enabled = false;
    wait(OptionsWait::kFanTestSettled, fan::FanSpeedTest::kSettleMs);
}

void OptionsDialogModel::fanTestTick() {
    const fan::FanTestResult result = fanTest_.tick();
    if (result.outcome == fan::FanTestOutcome::kMeasuring) {
        return;
    }
    stopTimer(kTimerFanTest);
    at(kFanTestButton).enabled = true;
    if (result.outcome == fan::FanTestOutcome::kNotRunning) {
        return;
    }
    const bool warning = result.outcome == fan::FanTestOutcome::kWarning;
    ask(text(lang::kTextAppName),
        fan::fanTestMessage(result, text(lang::kTextFanSpeedWarning), text(lang::kTextFanSpeedOk)),
        warning ? PromptIcon::kWarning : PromptIcon::kInformation, PromptButtons::kOk);
}

// ---- The wireless module ------------------------------------------------------------------------

void OptionsDialogModel::applyChannelTick() {
    gpu::GpuLayer& layer = *services_.layer;
    int megahertz = 0;
    if (layer.wirelessFrequency(gpu_, megahertz) != drv::kOk) {
        stopTimer(kTimerChannelApply);
        ask("", kCantReadFrequency, PromptIcon::kWarning, PromptButtons::kOk);
        at(kWirelessApply).enabled = true;
        return;
    }
    const int index = control(kWirelessFrequencyList).selected;
    // Without a chosen frequency there is nothing to apply: the module would be asked for a
    // channel that is not in the list on every tick, for ever.
    if (index >= 0 && megahertz != kWirelessFirstFrequency + kWirelessFrequencyStep * index) {
        wait(OptionsWait::kSetChannelAgain, kChannelRetryDelayMs);
        return;
    }
    stopTimer(kTimerChannelApply);
    at(kWirelessApply).enabled = true;
}

void OptionsDialogModel::readFrequencyForBt() {
    int megahertz = 0;
    if (services_.layer->wirelessFrequency(gpu_, megahertz) != drv::kOk) {
        ask("", kReadFrequencyFail, PromptIcon::kWarning, PromptButtons::kOk);
        return;
    }
    stopTimer(kTimerChannelRead);
    at(kWirelessManual).enabled = true;
    at(kWirelessChannel).caption = number(megahertz);
}

void OptionsDialogModel::wirelessStatusTick() {
    if (!at(kWirelessManual).enabled) {
        return;
    }
    gpu::GpuLayer& layer = *services_.layer;
    int state = 0;
    if (layer.wirelessWorkState(gpu_, state) == drv::kOk) {
        at(kWirelessWorkState).caption = number(state);
    }
    int megahertz = 0;
    if (layer.wirelessFrequency(gpu_, megahertz) == drv::kOk) {
        const int channel = wirelessChannelOf(megahertz);
        if (channel != 0) {
            at(kWirelessChannel).caption = number(channel);
        }
    }
}

void OptionsDialogModel::pressReset() {
    services_.layer->wirelessLeaveManualMode(gpu_);
    at(kWirelessReset).enabled = false;
    wait(OptionsWait::kEnableWirelessReset, kResetPauseMs);
    at(kWirelessManual).caption = kManualChannelMode;
    setManualFlag(0);
}

void OptionsDialogModel::pressManualChannel() {
    // The caption and the flag follow only a channel the module took.
    if (services_.layer->wirelessSetChannel(gpu_, kWirelessManualChannelIndex) != drv::kOk) {
        return;
    }
    at(kWirelessManual).enabled = false;
    wait(OptionsWait::kEnableManualChannel, kManualChannelPauseMs);
    if (at(kWirelessManual).caption == kManualChannelMode) {
        at(kWirelessManual).caption = kChannelChange;
        setManualFlag(1);
    }
}

// ---- Closing ------------------------------------------------------------------------------------

PromptAnswer OptionsDialogModel::ask(const std::string& caption, const std::string& message,
                                     PromptIcon icon, PromptButtons buttons) {
    if (services_.prompt == nullptr) {
        return platform::dismissedAnswer(buttons);
    }
    return services_.prompt->show(caption, message, icon, buttons);
}

OptionsChoices OptionsDialogModel::choices() const {
    OptionsChoices c;
    c.restoreUserSettings = control(kRestoreUserSettings).checked;
    c.autoUpdate = control(kAutoUpdate).checked;
    c.hdmiAutoSet = control(kHdmiAutoSet).checked;
    c.fanTempSet = control(kFanTempAssociated).checked;
    c.osdClockShow = control(kOsdClock).checked;
    c.osdTempShow = control(kOsdTemperature).checked;
    c.osdFanSpeedShow = control(kOsdFanSpeed).checked;
    c.osdFramerateShow = control(kOsdFramerate).checked;
    c.newsSwitch = control(kNewsSwitch).checked;
    c.highSet = control(kCustomMode).checked;
    c.highSet2 = control(kSilentMode).checked;
    c.highSet3 = control(kPerformanceMode).checked;
    c.fanSpeedTest = control(kFanTestSwitch).checked;
    c.templowIndex = control(kTempLowList).selected;
    c.fansIndex = control(kLowFanList).selected;
    c.fansHighIndex = control(kHighFanList).selected;
    c.tempIndex = control(kTempOverList).selected;
    c.temperatureAlarmSet = control(kAlarmSwitch).checked;
    c.temperatureAlarmIndex = control(kAlarmList).selected;
    c.curveDrawingEnabled = control(kCurveDrawing).checked;
    c.samplingPeriodIndex = control(kSamplingPeriodList).selected;
    for (int mode = 1; mode <= kStartChoiceCount; ++mode) {
        c.startChoices[static_cast<size_t>(mode - 1)] = control(kStartChoiceBase + mode).checked;
    }
    c.hotKeyEnable = control(kHotKeyEnable).checked;
    c.hotKeySetVoltageHighest = control(kHotKeyVoltage).checked;
    c.hotKeyFanSpeedIndex = control(kHotKeyFanList).selected;
    c.hotKeyGpuOffsetIndex = control(kHotKeyOffsetList).selected;
    return c;
}

void OptionsDialogModel::accept() {
    if (closed_) {
        return;
    }
    saveOptions(choices(), *services_.store, services_.programPath, *services_.settings);
    // The bridge follows the stored switch when the dialog has closed.
    services_.store->writeValue(kValueRemoteBridge, control(kRemoteBridge).checked ? 1 : 0);
    accepted_ = true;
    close();
}

void OptionsDialogModel::reject() {
    close();
}

void OptionsDialogModel::close() {
    if (closed_) {
        return;
    }
    fanTest_.stop();
    timers_.clear();
    waits_.clear();
    closed_ = true;
}

std::vector<OptionsWaitRequest> OptionsDialogModel::takeWaits() {
    std::vector<OptionsWaitRequest> out;
    out.swap(waits_);
    return out;
}

}  // namespace qv::settings
