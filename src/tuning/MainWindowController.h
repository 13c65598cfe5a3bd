// The main window's rules in one place. The controller owns the window's models (frame, controls,
// sampling, Apply and Reset, read-outs, hot keys), answers each input of the window, and keeps one
// plain view record of everything the window draws: sliders, buttons, gauges and texts. The Qt
// window maps that record onto its widgets and decides nothing of its own.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gpu/GpuLayer.h"
#include "platform/Beeper.h"
#include "platform/Clock.h"
#include "platform/Poster.h"
#include "platform/PowerOff.h"
#include "platform/Prompt.h"
#include "settings/RegistrySettings.h"
#include "settings/RegistryStore.h"
#include "tuning/ApplyController.h"
#include "tuning/BiosFlash.h"
#include "tuning/HotKeyEffects.h"
#include "tuning/InfoReadouts.h"
#include "tuning/MainDialogModel.h"
#include "tuning/MainFrameModel.h"
#include "tuning/RemoteSession.h"
#include "tuning/SamplingLoop.h"

namespace qv::tuning {

// The window's other timers: id and period.
inline constexpr uint32_t kTimerHdmiCheck = 45;
inline constexpr uint32_t kHdmiCheckPeriodMs = 3200;
inline constexpr uint32_t kTimerNewsCheck = 44;
inline constexpr uint32_t kNewsCheckPeriodMs = 1000;
inline constexpr uint32_t kTimerHover = 66;
inline constexpr uint32_t kHoverPeriodMs = 100;

// The window's gauges, left to right.
enum GaugeIndex : size_t {
    kGaugeGpuClock,
    kGaugeShaderClock,
    kGaugeMemoryClock,
    kGaugeTemperature,
    kGaugeFan,
    kGaugeVoltage,
    kGaugePower,
    kGaugeCount
};

// Gauge scales.
inline constexpr int kTemperatureScale = 120;
inline constexpr int kFanScale = 100;
inline constexpr int kVoltageScaleMv = 1500;
inline constexpr int kPowerScaleW = 300;
inline constexpr int kClockScaleFallbackMHz = 2000;

// Captions of toggles whose state the model gives without a text; the same in every language.
inline constexpr const char* kSynchronousCaption = "SYNC";
inline constexpr const char* kFrameRateCaption = "FPS";

struct SliderView {
    int min = 0;
    int max = 0;
    int pos = 0;
    bool enabled = false;
    bool visible = true;
    std::string valueText;
};

struct ButtonView {
    std::string caption;  // UTF-8, in the user's language
    bool enabled = false;
    bool visible = true;
    bool checked = false;  // drawn pressed (toggles and mode buttons)
};

// How a gauge's digits are coloured: the skin's digit colour, the colour of a missing value, or a
// read-out colour (0x00BBGGRR).
enum class GaugeTone { kDigits, kMissing, kReadout };

struct GaugeView {
    int value = -1;  // the needle; -1 draws no needle
    std::string text;
    GaugeTone tone = GaugeTone::kMissing;
    uint32_t colour = 0;  // with kReadout
    int scaleMax = 0;
};

// Everything the main window draws.
struct MainWindowView {
    std::string caption;
    std::string statusLine;
    std::vector<std::string> selectorEntries;
    int gpuOnShow = kNoGpu;
    int width = kDialogWidthNormal;
    bool wide = false;

    std::array<SliderView, kSliderCount> sliders{};
    bool stepButtonsEnabled = false;
    ButtonView mode2D, mode3DLow, mode3DPerf;
    ButtonView link, synchronous, unlockMin, unlockMax, fanMode, frameRateToggle;
    ButtonView apply, reset, overclocking;
    bool profileSaveEnabled = false;

    std::array<GaugeView, kGaugeCount> gauges{};
    std::string temperatureText = kMissingValueText;
    // From kInfoHotCelsius on the read-out is drawn red.
    bool temperatureHot = false;
    std::string fanModeText;
    // 271, 272, 273 or 0 for none.
    int modePicture = 0;
    // The information fields with their texts and colours.
    std::array<InfoField, kInfoFieldCount> information{};
    HotKeyIndicator hotKeyIndicator{};

    // The BIOS button; while a flash runs the wait window shows `biosWaitText` (empty: no wait
    // window). The search link of the GPU on show, rebuilt on every refresh of its controls.
    ButtonView bios;
    std::string biosWaitText;
    std::string biosSearchLink;
};

// What the controller needs besides the cards.
struct MainWindowServices {
    settings::RegistryStore* store = nullptr;
    const settings::RegistrySettings* settings = nullptr;
    platform::Clock* clock = nullptr;
    platform::Beeper* beeper = nullptr;
    platform::PowerOff* powerOff = nullptr;
    OverlaySink* overlay = nullptr;
    // The Apply worker's completion goes here, to `uiThreadId`.
    platform::Poster* poster = nullptr;
    uint32_t uiThreadId = 0;
    platform::Prompt* prompt = nullptr;
    // Told which fans the rules drive, for endings the program cannot act on; optional.
    FanGuardLink* fanGuard = nullptr;
    bool hardwareReady = false;
    bool simulated = false;
    // The BIOS button's file chooser (none: the button does nothing), where it opens, and the
    // flash job's services; the job's GPU layer is the window's.
    platform::FileChooser* fileChooser = nullptr;
    std::string biosFolder;
    online::FlashServices flash;
    // The phone bridge and the folder of its state files; without a bridge nothing is written.
    remote::RemoteBridge* bridge = nullptr;
    std::string remoteFolder = ".";
    std::function<bool()> blinkSwitch;
};

class MainWindowController {
public:
    MainWindowController(gpu::GpuLayer& layer, MainWindowServices services);
    // Stops a running Apply, then returns every fan a rule or the fan boost drives to the
    // driver's automatic control: the window ends only when the program does.
    ~MainWindowController();
    MainWindowController(const MainWindowController&) = delete;
    MainWindowController& operator=(const MainWindowController&) = delete;

    // ---- Inputs; each leaves the view up to date ---------------------------------------------
    // The first showing: the GPU on show loads from its card's current mode.
    void start();
    // The selector: a GPU shown for the first time loads from its card, later it comes back as
    // it was left.
    void showGpu(int index);
    void moveSlider(Slider slider, int pos);
    void step(ClockSlider slider, StepDirection direction, size_t sizeIndex);
    void pressMode(int mode);
    void setLinked(bool on);
    void setSynchronous(bool on);
    void toggleUnlockMin();
    void toggleUnlockMax();
    void toggleFanMode();
    void setFrameRateTarget(bool on);
    void pressApply();
    void pressReset();
    // The overclocking interface button; true when the width changed. `confirmed`, like a hot
    // key used, takes the place of the question's Yes.
    bool toggleOverclockingInterface(bool confirmed = false);
    // One sampling tick. Answers the alarm window's text when the alarm asks for its window.
    std::optional<std::string> tick(bool alarmWindowOpen);
    // A message posted to the window (the Apply worker, the probe, the hot keys).
    void handlePostedMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // The phone's commands waiting in the bridge, carried out as the window's own inputs.
    void runRemoteCommands();
    // After a profile load: the controls show what the cards now have.
    void reloadFromCards();
    // What the window does with its grab of Ctrl+N and Ctrl+M now: taken while a hot-key board is
    // present and the hot-key option is on, released when the option goes off. Asked after the
    // window is built and after each input that can change the options.
    HotKeyGrabAction hotKeyGrabAction();
    // The BIOS button: a file for the GPU on show, checked and confirmed, then the flash.
    void pressBios();
    // The BIOS search button: the link to open, or nothing (logged) when it is not a web link.
    std::optional<std::string> biosSearchLinkToOpen() const;
    // Apply or a BIOS flash under way: the program must not quit now.
    bool busy() const;

    // ---- State --------------------------------------------------------------------------------
    const MainWindowView& view() const { return view_; }
    const MainFrameModel& frame() const { return frame_; }
    const MainDialogModel& dialog() const { return dialog_; }
    const ApplyController& applyController() const { return *apply_; }
    const InfoReadouts& infoReadouts() const { return *info_; }
    SamplingLoop& sampling() { return *sampling_; }
    const HotKeyEffects& hotKeys() const { return hotKeys_; }
    const DrivenFans& drivenFans() const { return drivenFans_; }
    const BiosFlash& biosFlash() const { return *biosFlash_; }

private:
    // The controls and buttons from the models; the slider value texts are formatted from the
    // controls alone, without reading the cards.
    void refreshControls();
    // The controls and every information field, read from the cards.
    void refreshAll();
    void refreshInformation();
    void showTemperature(int celsius);
    void showSample(const SampleDisplay& display);
    void hotKey(uint32_t key);
    // Message 0xBD4 with argument 100 from a companion module: the program's name and version.
    void showInformation();
    void executeRemote(const remote::RemoteCommand& command);

    gpu::GpuLayer& layer_;
    MainWindowServices services_;
    DrivenFans drivenFans_;
    MainFrameModel frame_;
    MainDialogModel dialog_;
    std::unique_ptr<SamplingLoop> sampling_;
    std::unique_ptr<RemoteSession> remote_;
    std::unique_ptr<ApplyController> apply_;
    std::unique_ptr<InfoReadouts> info_;
    std::unique_ptr<BiosFlash> biosFlash_;
    std::string supportServer_;
    HotKeyEffects hotKeys_;
    HotKeyGrabPolicy hotKeyGrab_;
    MainWindowView view_;
};

// The temperature read-out: three places, or the missing text when unknown (-1).
std::string temperatureText(int celsius);

// The caption a button shows in the user's language: its fixed text, its row, or empty.
std::string captionText(const ButtonState& state);

}  // namespace qv::tuning
