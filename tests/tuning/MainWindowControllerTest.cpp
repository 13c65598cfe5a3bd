// The main window's rules without a window: the view record the controller keeps for each input.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "lang/LanguageRows.h"
#include "platform/QueuePoster.h"
#include "platform/Version.h"
#include "settings/FileRegistryStore.h"
#include "support/SimHarness.h"
#include "tuning/MainDialogModelMessages.h"
#include "tuning/ControllerRigSupport.h"
#include "tuning/MainWindowController.h"

namespace qv::tuning {
namespace {

constexpr uint8_t kGpuKepler = 0;  // driver cooler, P-states 2.0, no VID regulator
constexpr uint8_t kGpu0E22 = 1;    // slot-0 fan chip, slot-7 regulator
constexpr uint8_t kGpu05E2 = 2;    // slot-2 VID regulator, family A

// Takes every question as dismissed, keeping its text.
class DismissingPrompt final : public platform::Prompt {
public:
    platform::PromptAnswer show(const std::string&, const std::string& text, platform::PromptIcon,
                                platform::PromptButtons buttons) override {
        texts.push_back(text);
        return platform::dismissedAnswer(buttons);
    }
    std::vector<std::string> texts;
};

// The built-in boards behind a real layer and controller, on a clock that never sleeps, with the
// simulator's time standing still.
struct ControllerRig {
    explicit ControllerRig(bool hardwareReady = true, const std::string& config = "")
        : session(config, clock) {
        layer = openFrozenLayer(session, clock, poster, work);
        clock.sleepMs(kSamplingPeriodMs);

        MainWindowServices services =
            controllerServices(store, settings, clock, poster, &prompt);
        services.hardwareReady = hardwareReady;
        controller = std::make_unique<MainWindowController>(*layer, services);
    }
    const test::SimControl& sim() const { return session.sim(); }
    const MainWindowView& view() const { return controller->view(); }
    const SliderView& slider(Slider which) const {
        return view().sliders[static_cast<size_t>(which)];
    }

    test::FakeClock clock;
    test::TempDir work;
    test::SimSession session;
    platform::QueuePoster poster;
    DismissingPrompt prompt;
    settings::FileRegistryStore store{
        settings::StorePaths{work.file("settings.conf"), work.file("quorvel.desktop")}};
    settings::RegistrySettings settings;
    std::unique_ptr<gpu::GpuLayer> layer;
    std::unique_ptr<MainWindowController> controller;
};

TEST(MainWindowController, TheFirstShowingReadsTheTemperatureOnceAndTheSelectorBoundsTheGpus) {
    ControllerRig rig;
    ASSERT_EQ(rig.sim().setTemperature(kGpuKepler, 47), 0);
    ASSERT_EQ(rig.sim().setTemperature(kGpu05E2, 103), 0);
    EXPECT_EQ(rig.view().gpuOnShow, kNoGpu);
    EXPECT_EQ(rig.view().temperatureText, kMissingValueText);
    EXPECT_FALSE(rig.view().stepButtonsEnabled) << "no GPU on show yet";

    rig.controller->start();
    EXPECT_EQ(rig.view().gpuOnShow, kGpuKepler);
    EXPECT_EQ(rig.view().temperatureText, " 47");
    EXPECT_EQ(rig.view().caption, "Quorvel K");
    EXPECT_EQ(rig.view().statusLine, kSimulatedNotice);
    EXPECT_TRUE(rig.view().stepButtonsEnabled);

    rig.controller->showGpu(kGpu05E2);
    EXPECT_EQ(rig.view().gpuOnShow, kGpu05E2);
    EXPECT_EQ(rig.view().temperatureText, "103");
    // Indices without an entry change nothing.
    rig.controller->showGpu(3);
    rig.controller->showGpu(-1);
    EXPECT_EQ(rig.view().gpuOnShow, kGpu05E2);
    EXPECT_EQ(rig.controller->dialog().gpuOnShow(), kGpu05E2);
}

TEST(MainWindowController, AnUnreadableTemperatureShowsAsMissing) {
    ControllerRig rig;
    rig.sim().injectStatus(drv::kGpuGetThermalSettings, -5, -1);
    rig.controller->start();
    EXPECT_EQ(rig.view().gpuOnShow, kGpuKepler);
    EXPECT_EQ(rig.view().temperatureText, kMissingValueText);
}

TEST(MainWindowController, WithoutWorkingHardwareNothingIsShownAndNothingCanBeApplied) {
    ControllerRig rig(false);
    rig.controller->start();
    EXPECT_TRUE(rig.view().selectorEntries.empty());
    EXPECT_EQ(rig.view().gpuOnShow, kNoGpu);
    EXPECT_FALSE(rig.view().apply.enabled);
    EXPECT_FALSE(rig.view().reset.enabled);
    EXPECT_FALSE(rig.view().stepButtonsEnabled);
    EXPECT_FALSE(rig.controller->tick(false));
    EXPECT_EQ(rig.view().gauges[kGaugeTemperature].text, kMissingValueText);
}

TEST(MainWindowController, ADisabledSliderDoesNotMoveWhateverItControls) {
    ControllerRig rig;
    rig.controller->start();
    // The frame-rate target is off, and the Kepler-class board has no shader domain.
    ASSERT_FALSE(rig.slider(Slider::kFrameRate).enabled);
    ASSERT_FALSE(rig.slider(Slider::kShaderClock).enabled);
    size_t disabled = 0;
    for (size_t i = 0; i < kSliderCount; ++i) {
        const auto which = static_cast<Slider>(i);
        const SliderView before = rig.slider(which);
        if (before.enabled) {
            continue;
        }
        ++disabled;
        rig.controller->moveSlider(which, before.pos + 5);
        rig.controller->moveSlider(which, before.pos - 5);
        EXPECT_EQ(rig.slider(which).pos, before.pos) << "slider " << i;
    }
    EXPECT_GE(disabled, 2u);

    // An enabled one moves, inside its range, and its value text follows without a card read.
    const SliderView offset = rig.slider(Slider::kGpuOffset);
    ASSERT_TRUE(offset.enabled);
    rig.sim().clearCounters();
    rig.controller->moveSlider(Slider::kGpuOffset, offset.max + 100);
    EXPECT_EQ(rig.slider(Slider::kGpuOffset).pos, offset.max);
    EXPECT_NE(rig.slider(Slider::kGpuOffset).valueText, offset.valueText);
    EXPECT_EQ(rig.sim().callCount(0), 0u);

    rig.controller->setFrameRateTarget(true);
    rig.controller->moveSlider(Slider::kFrameRate, 60);
    EXPECT_EQ(rig.slider(Slider::kFrameRate).pos, 60);
    EXPECT_EQ(rig.slider(Slider::kFrameRate).valueText, " 60FPS");
}

TEST(MainWindowController, CaptionsComeFromTheModelWithTheTogglesOwnFallbacks) {
    ControllerRig rig;
    rig.controller->start();
    // Toggles whose state has no caption show their own fixed text.
    EXPECT_EQ(rig.view().synchronous.caption, kSynchronousCaption);
    EXPECT_EQ(rig.view().frameRateToggle.caption, kFrameRateCaption);
    EXPECT_EQ(rig.view().apply.caption, "Apply");
    EXPECT_EQ(rig.view().overclocking.caption, "Overclock \u00bb");

    rig.controller->showGpu(kGpu0E22);
    EXPECT_EQ(rig.view().fanMode.caption, "Auto");
    rig.controller->toggleFanMode();
    EXPECT_EQ(rig.view().fanMode.caption, "Manual");
    rig.controller->toggleUnlockMax();
    EXPECT_EQ(rig.view().unlockMax.caption, kRelockMaxCaption);
}

TEST(MainWindowController, TheTickFillsTheGaugesWithTypedReadingsAndThenTheInformation) {
    ControllerRig rig;
    ASSERT_EQ(rig.sim().setTemperature(kGpuKepler, 55), 0);
    rig.controller->start();
    EXPECT_EQ(rig.view().gauges[kGaugeGpuClock].text, kMissingValueText) << "before the tick";

    EXPECT_FALSE(rig.controller->tick(false));
    const GaugeView& clock = rig.view().gauges[kGaugeGpuClock];
    EXPECT_EQ(clock.tone, GaugeTone::kReadout);
    EXPECT_GT(clock.value, 0);
    EXPECT_EQ(clock.text, std::to_string(clock.value));
    EXPECT_EQ(clock.scaleMax, rig.slider(Slider::kGpuClock).max);
    // No shader domain on this board: its gauge shows the reading as missing.
    EXPECT_EQ(rig.view().gauges[kGaugeShaderClock].tone, GaugeTone::kMissing);
    EXPECT_EQ(rig.view().gauges[kGaugeShaderClock].value, -1);
    EXPECT_EQ(rig.view().gauges[kGaugeTemperature].value, 55);
    EXPECT_EQ(rig.view().temperatureText, " 55");
    EXPECT_EQ(rig.view().fanModeText, "Auto");

    // The information panel is read after the tick, so its temperature is the tick's.
    const auto& info = rig.view().information;
    const auto temperature = std::find_if(info.begin(), info.end(), [](const InfoField& field) {
        return field.id == kInfoTemperature;
    });
    ASSERT_NE(temperature, info.end());
    EXPECT_NE(temperature->text.find("55"), std::string::npos) << temperature->text;
}

TEST(MainWindowController, TheTemperatureTurnsRedFromTheHotMarkOn) {
    ControllerRig rig;
    ASSERT_EQ(rig.sim().setTemperature(kGpuKepler, kInfoHotCelsius - 1), 0);
    rig.controller->start();
    rig.controller->tick(false);
    EXPECT_FALSE(rig.view().temperatureHot);
    EXPECT_EQ(rig.view().gauges[kGaugeTemperature].tone, GaugeTone::kDigits);

    ASSERT_EQ(rig.sim().setTemperature(kGpuKepler, 115), 0);
    rig.controller->tick(false);
    EXPECT_EQ(rig.view().temperatureText, "115");
    EXPECT_TRUE(rig.view().temperatureHot);
    EXPECT_EQ(rig.view().gauges[kGaugeTemperature].tone, GaugeTone::kReadout);
    EXPECT_EQ(rig.view().gauges[kGaugeTemperature].colour, kInfoRed);
}

TEST(MainWindowController, TheVoltageGaugeShowsTheMeasuredVoltageAndMissingWithoutOne) {
    ControllerRig rig;
    rig.controller->start();
    rig.controller->tick(false);
    // The Kepler-class board reports its core voltage, "%4.2f" volts.
    const GaugeView measured = rig.view().gauges[kGaugeVoltage];
    EXPECT_EQ(measured.tone, GaugeTone::kReadout);
    EXPECT_EQ(measured.text.size(), 4u) << measured.text;
    EXPECT_GT(measured.value, 0);

    // With neither the driver's voltage nor the regulator (nor its VID code) to read, the gauge
    // shows the voltage as missing instead of keeping the last one.
    rig.controller->showGpu(kGpu05E2);
    rig.controller->pressMode(gpu::kLevelKind3DPerf);
    rig.sim().injectStatus(drv::kGpuGetVoltageDomainsStatus, drv::kNotSupported, -1);
    rig.sim().injectStatus(drv::kI2cRead, drv::kError, -1);
    rig.sim().injectStatus(drv::kI2cReadEx, drv::kError, -1);
    rig.controller->tick(false);
    const GaugeView& missing = rig.view().gauges[kGaugeVoltage];
    EXPECT_EQ(missing.tone, GaugeTone::kMissing);
    EXPECT_EQ(missing.text, kMissingValueText);
    EXPECT_EQ(missing.value, -1);
}

TEST(MainWindowController, HotKeysAreGrabbedOnlyWithAHotKeyBoardAndTheOptionOn) {
    {
        ControllerRig rig;  // the Kepler board carries the hot-key flag
        EXPECT_EQ(rig.controller->hotKeyGrabAction(), HotKeyGrabAction::kNone) << "option off";
        rig.settings.hotKeyEnable = 1;
        EXPECT_EQ(rig.controller->hotKeyGrabAction(), HotKeyGrabAction::kGrab);
        EXPECT_EQ(rig.controller->hotKeyGrabAction(), HotKeyGrabAction::kNone) << "held already";
        rig.settings.hotKeyEnable = 0;
        EXPECT_EQ(rig.controller->hotKeyGrabAction(), HotKeyGrabAction::kRelease);
        EXPECT_EQ(rig.controller->hotKeyGrabAction(), HotKeyGrabAction::kNone);
        rig.settings.hotKeyEnable = 1;
        EXPECT_EQ(rig.controller->hotKeyGrabAction(), HotKeyGrabAction::kGrab) << "on again";
    }
    for (const char* preset : {"single-0e22", "single-05e2", "no-cooler"}) {
        ControllerRig rig(true, test::presetPath(preset));
        rig.settings.hotKeyEnable = 1;
        EXPECT_EQ(rig.controller->hotKeyGrabAction(), HotKeyGrabAction::kNone)
            << preset << ": no hot-key board, the keys stay with the desktop";
    }
    {
        ControllerRig rig(true, test::presetPath("single-1180"));
        rig.settings.hotKeyEnable = 1;
        EXPECT_EQ(rig.controller->hotKeyGrabAction(), HotKeyGrabAction::kGrab);
    }
}

TEST(MainWindowController, AtTheEndRuleDrivenFansGoBackToAutomaticAndAHandSetLevelStays) {
    ControllerRig rig;
    rig.settings.highSet = 1;  // Custom: the low fan on every cool card
    for (uint8_t gpu = 0; gpu < rig.layer->gpuCount(); ++gpu) {
        ASSERT_EQ(rig.sim().setTemperature(gpu, 40), 0);
    }
    rig.controller->start();
    rig.controller->tick(false);
    ASSERT_EQ(rig.controller->drivenFans().gpus(),
              (std::vector<uint8_t>{kGpuKepler, kGpu0E22, kGpu05E2}));

    // With the rules off the user sets the fan of the GPU on show by hand.
    rig.settings.highSet = 0;
    rig.controller->setLinked(false);
    if (rig.controller->dialog().controls().fanMode.pressed) {
        rig.controller->toggleFanMode();
    }
    rig.controller->moveSlider(Slider::kFan, 60);
    rig.controller->pressApply();
    EXPECT_EQ(rig.controller->drivenFans().gpus(), (std::vector<uint8_t>{kGpu0E22, kGpu05E2}));

    rig.controller.reset();
    const auto mode = [&](uint8_t gpu) {
        int value = 0;
        EXPECT_EQ(rig.layer->fanMode(gpu, value), drv::kOk);
        return value;
    };
    EXPECT_EQ(mode(kGpuKepler), gpu::GpuLayer::kFanModeManual) << "the user's level stays";
    int32_t percent = 0;
    ASSERT_EQ(rig.layer->fanSpeed(kGpuKepler, percent, false), drv::kOk);
    EXPECT_EQ(percent, 60);
    EXPECT_EQ(mode(kGpu0E22), gpu::GpuLayer::kFanModeAutomatic);
    EXPECT_EQ(mode(kGpu05E2), gpu::GpuLayer::kFanModeAutomatic);
}

TEST(MainWindowController, TheInformationMessageShowsNameAndVersionOnlyWithItsArgument) {
    ControllerRig rig;
    rig.controller->start();
    rig.controller->handlePostedMessage(kMessageInformation, 5, 0);
    rig.controller->handlePostedMessage(kMessageIgnored, kInformationArgument, 0);
    EXPECT_TRUE(rig.prompt.texts.empty());
    rig.controller->handlePostedMessage(kMessageInformation, kInformationArgument, 0);
    ASSERT_EQ(rig.prompt.texts.size(), 1u);
    EXPECT_EQ(rig.prompt.texts[0], std::string("Quorvel K ") + platform::kVersionText);
}

TEST(MainWindowController, TheFrameRateControlsShowTheLimitTheDriverHolds) {
    ControllerRig rig;
    ASSERT_EQ(rig.layer->setFrameRateLimit(90, false), drv::kOk);
    rig.controller->start();
    EXPECT_TRUE(rig.view().frameRateToggle.checked);
    EXPECT_TRUE(rig.slider(Slider::kFrameRate).enabled);
    EXPECT_EQ(rig.slider(Slider::kFrameRate).pos, 90);

    ASSERT_EQ(rig.layer->setFrameRateLimit(0, true), drv::kOk);
    rig.controller->showGpu(kGpu0E22);
    EXPECT_FALSE(rig.view().frameRateToggle.checked);
    EXPECT_FALSE(rig.slider(Slider::kFrameRate).enabled);
}


}  // namespace
}  // namespace qv::tuning
