// The options dialog's rules: which controls it shows and enables, what they hold when it opens,
// what each control does, what OK writes, and the four timers (fan speed test, channel apply,
// channel read-back and the wireless module's status). The window draws the controls from this
// record, runs the timers and waits the model asks for, and forwards every click.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fan/FanSpeedTest.h"
#include "gpu/GpuLayer.h"
#include "lang/CMultiLangSupp.h"
#include "platform/Prompt.h"
#include "settings/RegistrySettings.h"
#include "settings/RegistryStore.h"

namespace qv::settings {

// ---- Control ids --------------------------------------------------------------------------------
namespace options {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
// Start choices: kStartChoiceBase + start mode (1-5).
inline constexpr int kStartChoiceBase = 1281;
inline constexpr int kStartDoNotRun = 1282;
inline constexpr int kStartRunInTray = 1285;
inline constexpr int kStartApplyAndQuit = 1286;
inline constexpr int kRestoreUserSettings = 1287;
inline constexpr int kGroupSaveSettings = 1289;
inline constexpr int kGroupCurveDrawing = 1290;
inline constexpr int kCurveDrawing = 1291;
inline constexpr int kSamplingPeriodList = 1292;
inline constexpr int kSamplingPeriodLabel = 1293;
inline constexpr int kGroupOsd = 1294;
inline constexpr int kGroupAutoUpdate = 1296;
inline constexpr int kAutoUpdate = 1297;
inline constexpr int kHdmiAutoSet = 1298;
inline constexpr int kOsdClock = 1330;
inline constexpr int kOsdTemperature = 1331;
inline constexpr int kOsdFanSpeed = 1332;
inline constexpr int kOsdFramerate = 1333;
inline constexpr int kFanTempAssociated = 1010;
inline constexpr int kTempLowLabel = 1012;
inline constexpr int kTempOverLabel = 1013;
inline constexpr int kCustomMode = 1014;
inline constexpr int kHighFanLabel = 1015;
inline constexpr int kTempLowList = 1016;
inline constexpr int kLowFanLabel = 1017;
inline constexpr int kSilentMode = 1018;
inline constexpr int kPerformanceMode = 1019;
inline constexpr int kLowFanList = 1301;
inline constexpr int kHighFanList = 1302;
inline constexpr int kTempOverList = 1303;
inline constexpr int kChangePassword = 1300;
inline constexpr int kFanTestButton = 1053;
inline constexpr int kFanTestSwitch = 1055;
inline constexpr int kNewsSwitch = 1072;
inline constexpr int kAlarmSwitch = 1089;
inline constexpr int kAlarmList = 1090;
inline constexpr int kHotKeyEnable = 1112;
inline constexpr int kHotKeyFanLabel = 1113;
inline constexpr int kHotKeyFanList = 1114;
inline constexpr int kHotKeyOffsetLabel = 1115;
inline constexpr int kHotKeyFanKey = 1116;
inline constexpr int kHotKeyOffsetKey = 1117;
inline constexpr int kHotKeyOffsetList = 1118;
inline constexpr int kHotKeyVoltage = 1119;
inline constexpr int kGroupHotKey = 1123;
inline constexpr int kWirelessReset = 1056;
inline constexpr int kWirelessFrequencyList = 1057;
inline constexpr int kWirelessApply = 1058;
inline constexpr int kWirelessChannelsLabel = 1059;
inline constexpr int kWirelessManual = 1060;
inline constexpr int kWirelessBt = 1062;
inline constexpr int kWirelessWorkState = 1063;
inline constexpr int kWirelessChannel = 1064;
inline constexpr int kWirelessFirmware = 1065;
inline constexpr int kGroupVexa = 1073;
inline constexpr int kVexaSetting = 1074;
// Group boxes the dialog has no number for.
inline constexpr int kGroupRestart = 9001;
inline constexpr int kGroupHdmi = 9002;
inline constexpr int kGroupFanControl = 9003;
inline constexpr int kGroupIphone = 9004;
inline constexpr int kGroupFanTest = 9005;
inline constexpr int kGroupNews = 9006;
inline constexpr int kGroupAlarm = 9007;
inline constexpr int kGroupWireless = 9008;
inline constexpr int kAlarmLabel = 9009;
// The phone bridge's switch in the IPHONE Control group ("RemoteBridge"; off by default).
inline constexpr int kRemoteBridge = 9010;

// Timers: id and period.
inline constexpr int kTimerFanTest = 100;
inline constexpr int kTimerChannelApply = 172;
inline constexpr uint32_t kChannelApplyPeriodMs = 1000;
inline constexpr int kTimerChannelRead = 173;
inline constexpr int kTimerWirelessStatus = 174;
inline constexpr uint32_t kWirelessStatusPeriodMs = 1000;
}  // namespace options

// The wireless module's frequency list: 5735 to 5835 MHz in steps of 20.
inline constexpr int kWirelessFirstFrequency = 5735;
inline constexpr int kWirelessFrequencyStep = 20;
inline constexpr int kWirelessFrequencyCount = 6;
// The list entry manual channel mode starts on.
inline constexpr int kWirelessManualChannelIndex = 1;

struct WirelessChannel {
    int channel;
    int megahertz;
};
// Searched in order: the first entry with a frequency gives the channel shown.
inline constexpr WirelessChannel kWirelessChannels[18] = {
    {1, 5735}, {2, 5755}, {3, 5775}, {4, 5795}, {5, 5815}, {6, 5835},
    {7, 5745}, {8, 5785}, {9, 5825}, {1, 5160}, {2, 5180}, {3, 5200},
    {4, 5220}, {5, 5240}, {6, 5260}, {7, 5170}, {8, 5210}, {9, 5250}};
// The channel number of a frequency, or 0 when the table has none.
int wirelessChannelOf(int megahertz);

// One control of the dialog as it is drawn.
struct OptionControl {
    std::string caption;  // UTF-8, in the user's language
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    std::vector<std::string> items;  // lists
    int selected = -1;               // lists: -1 none
    std::string editText;            // the frequency list's edit field
};

// Something the window waits for before telling the model (a pause that must not block it).
enum class OptionsWait {
    kFanTestSettled,       // the fan test's 3 s at 100 % are over
    kEnableWirelessReset,  // 2 s after Reset
    kEnableManualChannel,  // 3 s after a channel was set
    kReadFrequencyForBt,   // 1 s after "BT"
    kSetChannelAgain,      // 100 ms after the channel apply found the wrong frequency
};

struct OptionsWaitRequest {
    OptionsWait what;
    uint32_t delayMs;
};

struct OptionsDialogServices {
    gpu::GpuLayer* layer = nullptr;
    RegistryStore* store = nullptr;
    RegistrySettings* settings = nullptr;
    const lang::CMultiLangSupp* texts = nullptr;
    platform::Prompt* prompt = nullptr;  // none: every question is taken as dismissed
    std::string programPath;             // for the Run entry
    // The main window's fan command (its GPUs and their routing); the fan test goes through it.
    std::function<void(const fan::FanCommand&)> sendFanCommand;
    std::string fanSpeedFile = fan::kFanSpeedFileName;
    // Asks the multi-display adapter for its firmware version after unlocking it; true when it
    // answered. None: no adapter.
    std::function<bool()> probeVexaAdapter;
    // The buttons that open the display timing and password dialogs; none: they do nothing.
    std::function<void()> openViewDialog;
    std::function<void()> openPasswordDialog;
    // The wireless module's manual-channel flag; it lives as long as the process.
    int* manualChannelFlag = nullptr;
};

class OptionsDialogModel {
public:
    static constexpr uint32_t kResetPauseMs = 2000;
    static constexpr uint32_t kManualChannelPauseMs = 3000;
    static constexpr uint32_t kBtReadDelayMs = 1000;
    static constexpr uint32_t kChannelRetryDelayMs = 100;
    // The thirteen controls that move up when the multi-display group is hidden.
    static constexpr int kMovedUpControls[13] = {
        options::kGroupSaveSettings,  options::kRestoreUserSettings,
        options::kGroupCurveDrawing,  options::kSamplingPeriodLabel,
        options::kSamplingPeriodList, options::kGroupOsd,
        options::kOsdClock,           options::kOsdTemperature,
        options::kOsdFanSpeed,        options::kOsdFramerate,
        options::kGroupAutoUpdate,    options::kHdmiAutoSet,
        options::kAutoUpdate};

    OptionsDialogModel(uint8_t gpu, OptionsDialogServices services);
    // A fan test still running puts the fan back as it was.
    ~OptionsDialogModel();
    OptionsDialogModel(const OptionsDialogModel&) = delete;
    OptionsDialogModel& operator=(const OptionsDialogModel&) = delete;

    // The opening steps, in their order.
    void open();

    // ---- Inputs ---------------------------------------------------------------------------
    void setChecked(int id, bool checked);  // a check box or start choice clicked
    void select(int id, int index);         // a list's selection
    void setEditText(int id, const std::string& text);
    void press(int id);  // a push button
    void timer(int id);
    void waitOver(OptionsWait what);
    // OK: everything saved in its order; the dialog then closes.
    void accept();
    // Cancel or the close box: nothing is written.
    void reject();

    // ---- State ------------------------------------------------------------------------------
    const OptionControl& control(int id) const;
    const std::map<int, OptionControl>& controls() const { return controls_; }
    // Timers that run now, with their periods.
    const std::map<int, uint32_t>& timers() const { return timers_; }
    bool closed() const { return closed_; }
    bool accepted() const { return accepted_; }
    // The multi-display group is hidden and the controls above it moved up.
    bool controlsMovedUp() const { return movedUp_; }
    bool wirelessPresent() const { return wireless_; }
    const fan::FanSpeedTest& fanTest() const { return fanTest_; }
    // The pauses asked for since the last call.
    std::vector<OptionsWaitRequest> takeWaits();

private:
    OptionControl& at(int id);
    std::string text(int row) const;
    void addFixed(int id, const char* caption);
    void createControls();
    void setCaptions();
    void fillLists();
    void setCustomControlsEnabled(bool on);
    void setHotKeyControlsEnabled(bool on);
    void readOpeningValues();
    void showStoredChoices();
    void selectStoredIndex(int id, int stored);
    void readFrequencyIntoEdit();
    void showManualCaption();
    void probeVexa();
    void showHotKeys();

    void startFanTest();
    void fanTestTick();
    void applyChannelTick();
    void readFrequencyForBt();
    void wirelessStatusTick();
    void pressReset();
    void pressManualChannel();
    void setManualFlag(int value);
    int manualFlag() const;
    void hotKeyEnableClicked(bool checked);
    void voltageClicked(bool checked);
    void modeClicked(int id, bool checked);
    platform::PromptAnswer ask(const std::string& caption, const std::string& text,
                               platform::PromptIcon icon, platform::PromptButtons buttons);
    void startTimer(int id, uint32_t periodMs) { timers_[id] = periodMs; }
    void stopTimer(int id) { timers_.erase(id); }
    void wait(OptionsWait what, uint32_t ms) { waits_.push_back({what, ms}); }
    OptionsChoices choices() const;
    void close();

    uint8_t gpu_;
    OptionsDialogServices services_;
    fan::FanSpeedTest fanTest_;
    std::map<int, OptionControl> controls_;
    std::map<int, uint32_t> timers_;
    std::vector<OptionsWaitRequest> waits_;
    bool wireless_ = false;
    bool movedUp_ = false;
    bool closed_ = false;
    bool accepted_ = false;
    int ownManualFlag_ = 0;
};

}  // namespace qv::settings
