#include "tuning/MainWindowController.h"

#include <cstdio>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "online/OnlineHosts.h"
#include "online/WebLink.h"
#include "platform/DebugOutput.h"
#include "platform/Version.h"
#include "tuning/MainDialogModelMessages.h"

namespace qv::tuning {

namespace {

SliderView sliderView(const SliderState& state) {
    SliderView view;
    view.min = state.min;
    view.max = state.max;
    view.pos = state.pos;
    view.enabled = state.enabled;
    view.visible = state.visible;
    return view;
}

ButtonView buttonView(const ButtonState& state) {
    ButtonView view;
    view.caption = captionText(state);
    view.enabled = state.enabled;
    view.visible = state.visible;
    view.checked = state.pressed;
    return view;
}

// A mode button without a caption is never shown highlighted.
ButtonView modeButtonView(const ButtonState& state) {
    ButtonView view = buttonView(state);
    if (state.captionEmpty()) {
        view.checked = false;
    }
    return view;
}

// A toggle whose state carries no caption shows its own fixed text.
ButtonView toggleView(const ButtonState& state, const char* fallback) {
    ButtonView view = buttonView(state);
    if (view.caption.empty()) {
        view.caption = fallback;
    }
    return view;
}

// The information field that holds each slider's value text, in Slider order.
constexpr std::array<uint32_t, kSliderCount> kSliderValueFields = {
    kInfoGpuSliderValue,       kInfoShaderSliderValue,       kInfoMemorySliderValue,
    kInfoFanSliderValue,       kInfoCoreVoltageSliderValue,  kInfoMemoryVoltageSliderValue,
    kInfoGpuOffsetSliderValue, kInfoMemoryOffsetSliderValue, kInfoFrameRateSliderValue,
};

GaugeView missingGauge(int scaleMax) {
    GaugeView gauge;
    gauge.text = kMissingValueText;
    gauge.tone = GaugeTone::kMissing;
    gauge.scaleMax = scaleMax;
    return gauge;
}

// A plain reading: the number, or the missing text for -1.
GaugeView numberGauge(int value, int scaleMax) {
    if (value < 0) {
        return missingGauge(scaleMax);
    }
    GaugeView gauge;
    gauge.value = value;
    gauge.text = std::to_string(value);
    gauge.tone = GaugeTone::kDigits;
    gauge.scaleMax = scaleMax;
    return gauge;
}

// A clock gauge spans its slider's range and shows the selected mode's clock.
GaugeView clockGauge(const Reading& reading, const SliderState& slider) {
    const int scale = slider.max > 0 ? slider.max : kClockScaleFallbackMHz;
    if (!reading.valid) {
        return missingGauge(scale);
    }
    GaugeView gauge;
    gauge.value = reading.value;
    gauge.text = reading.text;
    gauge.tone = GaugeTone::kReadout;
    gauge.colour = reading.colour;
    gauge.scaleMax = scale;
    return gauge;
}

}  // namespace

std::string temperatureText(int celsius) {
    if (celsius < 0) {
        return kMissingValueText;
    }
    char text[16];
    std::snprintf(text, sizeof(text), "%3d", celsius);
    return text;
}

std::string captionText(const ButtonState& state) {
    if (state.fixedCaption != nullptr) {
        return state.fixedCaption;
    }
    return state.captionRow >= 0 ? lang::languageTable().text(state.captionRow) : "";
}

MainWindowController::MainWindowController(gpu::GpuLayer& layer, MainWindowServices services)
    : layer_(layer),
      services_(services),
      drivenFans_(services.fanGuard),
      dialog_(layer),
      hotKeys_(layer, dialog_, *services.settings, &drivenFans_) {
    frame_.load(layer_, services_.hardwareReady, services_.simulated);

    SamplingServices sampling;
    sampling.store = services_.store;
    sampling.settings = services_.settings;
    sampling.clock = services_.clock;
    sampling.beeper = services_.beeper;
    sampling.powerOff = services_.powerOff;
    sampling.overlay = services_.overlay;
    sampling.drivenFans = &drivenFans_;
    sampling.alarmTemplate = lang::languageTable().text(lang::kTextTemperatureTooHigh);
    sampling_ = std::make_unique<SamplingLoop>(layer_, dialog_, sampling);

    ApplyServices applying;
    applying.poster = services_.poster;
    applying.uiThreadId = services_.uiThreadId;
    applying.clock = services_.clock;
    applying.prompt = services_.prompt;
    applying.text = [](int row) { return std::string(lang::languageTable().text(row)); };
    if (services_.bridge != nullptr) {
        RemoteSessionServices remote;
        remote.bridge = services_.bridge;
        remote.clock = services_.clock;
        remote.prompt = services_.prompt;
        remote.folder = services_.remoteFolder;
        remote.blinkSwitch = services_.blinkSwitch;
        remote.caption = lang::languageTable().text(lang::kTextAppName);
        remote_ = std::make_unique<RemoteSession>(layer_, dialog_, std::move(remote));
        applying.remote = remote_.get();
    }
    apply_ = std::make_unique<ApplyController>(layer_, dialog_, applying);
    info_ = std::make_unique<InfoReadouts>(layer_, dialog_);

    BiosFlashServices flashing;
    flashing.prompt = services_.prompt;
    flashing.chooser = services_.fileChooser;
    flashing.poster = services_.poster;
    flashing.uiThreadId = services_.uiThreadId;
    flashing.initialFolder = services_.biosFolder;
    flashing.job = services_.flash;
    flashing.job.layer = &layer_;
    biosFlash_ = std::make_unique<BiosFlash>(std::move(flashing));
    supportServer_ = services_.store != nullptr
                         ? online::readOnlineHosts(*services_.store).supportServer
                         : online::kDefaultSupportServer;

    view_.caption = frame_.caption();
    view_.statusLine = frame_.statusLine();
    view_.selectorEntries = frame_.selectorEntries();
    // Until the first tick every gauge shows its reading as missing.
    constexpr std::array<int, kGaugeCount> kScales = {kClockScaleFallbackMHz,
                                                      kClockScaleFallbackMHz,
                                                      kClockScaleFallbackMHz,
                                                      kTemperatureScale,
                                                      kFanScale,
                                                      kVoltageScaleMv,
                                                      kPowerScaleW};
    for (size_t i = 0; i < kGaugeCount; ++i) {
        view_.gauges[i] = missingGauge(kScales[i]);
    }
    refreshControls();
}

// A running Apply worker is asked to stop and joined before the models go.
MainWindowController::~MainWindowController() {
    apply_.reset();
    biosFlash_.reset();
    drivenFans_.returnToAutomatic(layer_);
}

// ---- Inputs -------------------------------------------------------------------------------------

void MainWindowController::start() {
    if (!frame_.selectorEntries().empty()) {
        showGpu(0);
        return;
    }
    refreshControls();
}

void MainWindowController::showGpu(int index) {
    if (!frame_.hasEntry(index)) {
        return;
    }
    // The temperature of a GPU on show is read at once; the ticks keep it up to date.
    int32_t celsius = -1;
    if (layer_.gpuTemperature(static_cast<uint8_t>(index), celsius) != 0) {
        celsius = -1;
    }
    showTemperature(celsius);
    const bool firstShowing = dialog_.entry(static_cast<size_t>(index)).selectedMode == kNoMode;
    if (dialog_.selectGpu(index, firstShowing) == 0) {
        refreshAll();
    }
}

void MainWindowController::moveSlider(Slider slider, int pos) {
    dialog_.moveSlider(slider, pos);
    refreshControls();
}

void MainWindowController::step(ClockSlider slider, StepDirection direction, size_t sizeIndex) {
    dialog_.step(slider, direction, sizeIndex);
    refreshControls();
}

void MainWindowController::pressMode(int mode) {
    dialog_.selectMode(mode, false, true);
    refreshAll();
}

void MainWindowController::setLinked(bool on) {
    dialog_.setLinked(on);
    refreshControls();
}

void MainWindowController::setSynchronous(bool on) {
    dialog_.setSynchronous(on);
    refreshControls();
}

void MainWindowController::toggleUnlockMin() {
    dialog_.toggleUnlockMin();
    refreshControls();
}

void MainWindowController::toggleUnlockMax() {
    dialog_.toggleUnlockMax();
    refreshControls();
}

void MainWindowController::toggleFanMode() {
    dialog_.setFanAutomatic(!dialog_.controls().fanMode.pressed);
    refreshControls();
}

void MainWindowController::setFrameRateTarget(bool on) {
    dialog_.setFrameRateTarget(on);
    refreshControls();
}

void MainWindowController::pressApply() {
    if (biosFlash_->running()) {
        return;
    }
    if (apply_->pressApply()) {
        // The fans of the run now hold what the user chose.
        for (const ApplyGpuPlan& plan : apply_->lastPlans()) {
            drivenFans_.handedBack(plan.gpu);
        }
    }
    refreshControls();
}

void MainWindowController::pressReset() {
    if (biosFlash_->running()) {
        return;
    }
    apply_->reset();
    refreshAll();
}

bool MainWindowController::toggleOverclockingInterface(bool confirmed) {
    const bool changed = apply_->toggleOverclockingInterface(confirmed || hotKeys_.hotKeyUsed());
    refreshControls();
    return changed;
}

std::optional<std::string> MainWindowController::tick(bool alarmWindowOpen) {
    if (remote_) {
        remote_->checkClientTimeOut();
    }
    if (dialog_.gpuOnShow() == kNoGpu) {
        return std::nullopt;
    }
    const SampleResult result = sampling_->tick(alarmWindowOpen);
    // The tick stores the controls into the entries and may move the fan controls; the
    // information panel follows the tick.
    showSample(result.display);
    refreshAll();
    return result.alarmWindowMessage;
}

void MainWindowController::handlePostedMessage(uint32_t message, uintptr_t wParam,
                                               intptr_t lParam) {
    if (message == kMessageCommand) {
        const DialogAction action = commandAction(static_cast<uint32_t>(wParam));
        if (action == DialogAction::kApplyDone) {
            apply_->onApplyDone(static_cast<uint32_t>(wParam), lParam);
            refreshAll();
        } else if (action == DialogAction::kFlashDone) {
            biosFlash_->onFlashDone(static_cast<uint32_t>(wParam), lParam);
            refreshAll();
        }
        return;
    }
    if (message == remote::kMessageRemoteCommand) {
        runRemoteCommands();
        return;
    }
    if (message == gpu::kMessageProbeDone) {
        refreshInformation();
        return;
    }
    if (message == kHotKeyMessage) {
        hotKey(static_cast<uint32_t>(wParam));
        return;
    }
    if (dialogAction(message, static_cast<uint32_t>(wParam)) == DialogAction::kShowInformation) {
        showInformation();
    }
}

void MainWindowController::showInformation() {
    if (services_.prompt == nullptr) {
        return;
    }
    const std::string name(lang::languageTable().text(lang::kTextAppName));
    services_.prompt->show(name, name + " " + platform::kVersionText,
                           platform::PromptIcon::kInformation, platform::PromptButtons::kOk);
}

void MainWindowController::hotKey(uint32_t key) {
    const HotKeyOutcome outcome = hotKeys_.onKey(key, services_.clock->tickMs());
    if (!outcome.accepted) {
        return;
    }
    view_.hotKeyIndicator = outcome.indicator;
    refreshControls();
}

HotKeyGrabAction MainWindowController::hotKeyGrabAction() {
    return hotKeyGrab_.update(hotKeyBoardPresent(layer_),
                              hotKeySettingsFrom(*services_.settings).enabled);
}

void MainWindowController::pressBios() {
    biosFlash_->pressBios(dialog_.gpuOnShow(), apply_->running());
    refreshControls();
}

std::optional<std::string> MainWindowController::biosSearchLinkToOpen() const {
    if (!online::isWebLink(view_.biosSearchLink)) {
        platform::debugOutput("main window: BIOS search link refused: %s\n",
                              view_.biosSearchLink.c_str());
        return std::nullopt;
    }
    return view_.biosSearchLink;
}

bool MainWindowController::busy() const {
    return apply_->running() || biosFlash_->running();
}

void MainWindowController::reloadFromCards() {
    if (dialog_.gpuOnShow() == kNoGpu) {
        return;
    }
    dialog_.selectGpu(dialog_.gpuOnShow(), true);
    refreshAll();
}

// ---- The view -----------------------------------------------------------------------------------

void MainWindowController::refreshControls() {
    const MainDialogControls& c = dialog_.controls();
    const bool gpuShown = dialog_.gpuOnShow() != kNoGpu;
    view_.gpuOnShow = dialog_.gpuOnShow();
    view_.width = dialog_.dialogWidth();
    view_.wide = view_.width > kDialogWidthNormal;

    if (gpuShown) {
        info_->updateSliderValues();
    }
    for (size_t i = 0; i < kSliderCount; ++i) {
        const std::string valueText = view_.sliders[i].valueText;
        view_.sliders[i] = sliderView(dialog_.slider(static_cast<Slider>(i)));
        view_.sliders[i].valueText = valueText;
        if (const InfoField* field = info_->field(kSliderValueFields[i]); gpuShown && field) {
            view_.sliders[i].valueText = field->text;
        }
    }
    view_.stepButtonsEnabled = gpuShown;
    view_.mode2D = modeButtonView(c.mode2D);
    view_.mode3DLow = modeButtonView(c.mode3DLow);
    view_.mode3DPerf = modeButtonView(c.mode3DPerf);
    view_.link = buttonView(c.link);
    view_.synchronous = toggleView(c.synchronous, kSynchronousCaption);
    view_.unlockMin = buttonView(c.unlockMin);
    view_.unlockMax = buttonView(c.unlockMax);
    view_.fanMode = buttonView(c.fanMode);
    view_.frameRateToggle = toggleView(c.frameRateToggle, kFrameRateCaption);

    const ApplyButtons buttons = apply_->buttons();
    view_.apply = buttonView(buttons.apply);
    view_.reset = buttonView(buttons.reset);
    view_.profileSaveEnabled = buttons.profileSave.enabled;
    view_.overclocking = buttonView(buttons.overclocking);
    // A flash holds back everything that writes to the cards.
    const bool flashing = biosFlash_->running();
    view_.bios.enabled = gpuShown && !flashing && !apply_->running() &&
                         services_.fileChooser != nullptr;
    view_.biosWaitText = biosFlash_->waitText();
    if (flashing) {
        view_.apply.enabled = false;
        view_.reset.enabled = false;
        view_.profileSaveEnabled = false;
    }
    if (gpuShown) {
        view_.biosSearchLink = biosSearchLink(
            supportServer_, layer_.biosVersion(static_cast<uint8_t>(dialog_.gpuOnShow())));
    }
    // The overclocking button points the way the interface opens or closes.
    view_.overclocking.caption = std::string(lang::languageTable().text(lang::kTextOverclock)) +
                                 (view_.wide ? " \u00ab" : " \u00bb");

    if (gpuShown) {
        view_.information = info_->fields();
        view_.modePicture = info_->modePicture();
        info_->clearInvalidated();
    }
}

void MainWindowController::refreshInformation() {
    if (dialog_.gpuOnShow() == kNoGpu) {
        return;
    }
    info_->update(kInfoAllFields, false);
    view_.information = info_->fields();
    view_.modePicture = info_->modePicture();
    info_->clearInvalidated();
}

void MainWindowController::refreshAll() {
    refreshControls();
    refreshInformation();
    if (remote_) {
        remote_->fanRangeUpdate();
    }
}

void MainWindowController::showTemperature(int celsius) {
    view_.temperatureText = temperatureText(celsius);
    view_.temperatureHot = celsius >= kInfoHotCelsius;
}

void MainWindowController::showSample(const SampleDisplay& display) {
    const GpuUiEntry& entry = dialog_.entry(static_cast<size_t>(dialog_.gpuOnShow()));
    const MainDialogControls& c = dialog_.controls();
    showTemperature(entry.temperatureC);
    view_.fanModeText =
        display.fanModeRow >= 0 ? lang::languageTable().text(display.fanModeRow) : "";

    view_.gauges[kGaugeGpuClock] = clockGauge(display.gpuClock, c.gpuClock);
    view_.gauges[kGaugeShaderClock] = clockGauge(display.shaderClock, c.shaderClock);
    view_.gauges[kGaugeMemoryClock] = clockGauge(display.memoryClock, c.memoryClock);
    view_.gauges[kGaugeTemperature] = numberGauge(entry.temperatureC, kTemperatureScale);
    if (view_.temperatureHot) {
        view_.gauges[kGaugeTemperature].tone = GaugeTone::kReadout;
        view_.gauges[kGaugeTemperature].colour = kInfoRed;
    }
    view_.gauges[kGaugeFan] = numberGauge(entry.fanPercent, kFanScale);
    view_.gauges[kGaugePower] = numberGauge(entry.powerW, kPowerScaleW);

    // The voltage gauge shows the measured core voltage, else the mode's VID-coded voltage.
    GaugeView& voltage = view_.gauges[kGaugeVoltage];
    if (display.coreVoltage.valid) {
        voltage.value = entry.coreVoltageMv;
        voltage.text = display.coreVoltage.text;
        voltage.tone = GaugeTone::kReadout;
        voltage.colour = display.coreVoltage.colour;
        voltage.scaleMax = kVoltageScaleMv;
    } else if (display.vidVoltage.valid) {
        voltage.value = entry.coreVoltageMv;
        voltage.text = display.vidVoltage.text;
        voltage.tone = GaugeTone::kDigits;
        voltage.scaleMax = kVoltageScaleMv;
    } else {
        voltage = missingGauge(kVoltageScaleMv);
    }
}

}  // namespace qv::tuning
