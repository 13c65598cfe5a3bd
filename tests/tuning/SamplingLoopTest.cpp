#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayer.h"
#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/QueuePoster.h"
#include "settings/FileRegistryStore.h"
#include "settings/RegistryValues.h"
#include "support/SimHarness.h"
#include "tuning/SamplingLoop.h"

namespace qv::tuning {
namespace {

using test::kGpu05E2;
using test::kGpu0E22;
using test::kGpuKepler;

constexpr uint32_t kLanguageEnglish = 0x0409;
constexpr int32_t kReleasePin = -1000;

class RecordingBeeper final : public platform::Beeper {
public:
    bool beep(uint32_t hertz, uint32_t milliseconds) override {
        beeps.push_back({hertz, milliseconds});
        return true;
    }
    std::vector<std::pair<uint32_t, uint32_t>> beeps;
};

class RecordingPowerOff final : public platform::PowerOff {
public:
    int request(const std::string& message, uint32_t delaySeconds) override {
        requests.push_back({message, delaySeconds});
        return platform::kPowerOffRequested;
    }
    std::vector<std::pair<std::string, uint32_t>> requests;
};

class RecordingOverlay final : public OverlaySink {
public:
    void setOverlayText(const std::string& text) override { texts.push_back(text); }
    bool measuresFrameRate() const override { return measuring; }
    std::vector<std::string> texts;
    bool measuring = false;
};

// The built-in boards (or `config`) behind a real layer and model, on a clock that never sleeps,
// with the simulator's time standing still.
using test::readPreset;

struct TickRig {
    explicit TickRig(const std::string& config = "") : session(config, clock) {
        gpu::GpuLayerServices services;
        services.clock = &clock;
        services.poster = &poster;
        services.workingFolder = work.path();
        layer = std::make_unique<gpu::GpuLayer>(session.loader(), services);
        EXPECT_EQ(layer->initialize(), gpu::kInitOk);
        layer->waitForProbe();
        EXPECT_EQ(sim().freezeTime(1), 0);
        model = std::make_unique<MainDialogModel>(*layer);
        EXPECT_EQ(model->selectGpu(0, true), drv::kOk);
        settings.osdTempShow = false;
        settings.osdFanSpeedShow = false;
        clock.sleepMs(kSamplingPeriodMs);  // tick counts of 0 would read as "never"
    }

    SamplingLoop& loop() {
        if (!loop_) {
            SamplingServices services;
            services.store = &store;
            services.settings = &settings;
            services.clock = &clock;
            services.beeper = &beeper;
            services.powerOff = &powerOff;
            services.overlay = &overlay;
            services.drivenFans = &drivenFans;
            services.alarmTemplate =
                lang::CMultiLangSupp(kLanguageEnglish).text(lang::kTextTemperatureTooHigh);
            loop_ = std::make_unique<SamplingLoop>(*layer, *model, services);
        }
        return *loop_;
    }
    SampleResult tick(bool alarmWindowOpen = false) { return loop().tick(alarmWindowOpen); }
    const test::SimControl& sim() const { return session.sim(); }
    void pin(uint8_t gpu, int32_t celsius) { ASSERT_EQ(sim().setTemperature(gpu, celsius), 0); }
    void pinAll(int32_t celsius) {
        for (uint8_t gpu = 0; gpu < layer->gpuCount(); ++gpu) {
            pin(gpu, celsius);
        }
    }
    void enableAlarm(uint32_t value) {
        ASSERT_TRUE(store.writeValue(settings::kValueTemperatureAlarmSet, 1));
        ASSERT_TRUE(store.writeValue(settings::kValueTemperatureAlarmValue, value));
    }
    drv::CoolerSettings::Cooler cooler(uint8_t gpu) {
        drv::CoolerSettings table{};
        EXPECT_EQ(layer->readCoolerTable(gpu, &table), drv::kOk);
        return table.cooler[0];
    }

    test::FakeClock clock;
    test::TempDir work;
    test::SimSession session;
    platform::QueuePoster poster;
    std::unique_ptr<gpu::GpuLayer> layer;
    std::unique_ptr<MainDialogModel> model;
    settings::FileRegistryStore store{
        settings::StorePaths{work.file("settings.conf"), work.file("quorvel.desktop")}};
    settings::RegistrySettings settings;
    RecordingBeeper beeper;
    RecordingPowerOff powerOff;
    RecordingOverlay overlay;
    DrivenFans drivenFans;

private:
    std::unique_ptr<SamplingLoop> loop_;
};

// ---- Live values ------------------------------------------------------------------------------

TEST(SamplingLoop, FillsEveryEntryAndTheDisplayOfTheGpuOnShow) {
    TickRig rig;
    rig.pinAll(50);
    rig.model->entry(kGpuKepler).powerW = 77;  // no measuring path: must stay
    const uint64_t before = rig.clock.tickMs();
    const SampleResult r = rig.tick();

    for (uint8_t gpu = 0; gpu < 3; ++gpu) {
        SCOPED_TRACE(static_cast<int>(gpu));
        const GpuUiEntry& e = rig.model->entry(gpu);
        EXPECT_GT(e.gpuClockMHz, 0);
        EXPECT_GT(e.memoryClockMHz, 0);
        EXPECT_EQ(e.temperatureC, 50);
        EXPECT_GE(e.fanPercent, 0);
        EXPECT_LE(e.fanPercent, 100);
    }
    EXPECT_EQ(rig.model->entry(kGpuKepler).shaderClockMHz, -1) << "no processor domain";
    EXPECT_GT(rig.model->entry(kGpu05E2).shaderClockMHz, 0);
    EXPECT_GT(rig.model->entry(kGpuKepler).coreVoltageMv, 800);
    EXPECT_EQ(rig.model->entry(kGpuKepler).powerW, 77);
    EXPECT_GT(rig.model->entry(kGpu0E22).powerW, 5) << "power monitors";
    EXPECT_GT(rig.model->entry(kGpuKepler).fanRpm, 0) << "tachometer";
    // Only family A boards keep the time of their fan reading.
    EXPECT_GE(rig.model->entry(kGpu05E2).fanReadTimeMs, before);
    EXPECT_LE(rig.model->entry(kGpu05E2).fanReadTimeMs, rig.clock.tickMs());
    EXPECT_EQ(rig.model->entry(kGpuKepler).fanReadTimeMs, 0u);

    EXPECT_TRUE(r.display.clocksShown);
    EXPECT_FALSE(r.display.gpuClock.text.empty());
    EXPECT_FALSE(r.display.memoryClock.text.empty());
    EXPECT_TRUE(r.display.shaderClock.text.empty()) << "no shader slider on this board";
    EXPECT_EQ(r.display.fanModeRow, lang::kTextFanAuto);
    EXPECT_FALSE(r.display.vidVoltage.valid) << "no VID-coded regulator";
    EXPECT_EQ(r.display.coreVoltage.text.size(), 4u) << r.display.coreVoltage.text;
    EXPECT_TRUE(r.display.repaintTemperature);
    EXPECT_FALSE(r.display.repaintPower);
    EXPECT_FALSE(r.alarmWindowMessage);
    EXPECT_FALSE(r.shutdownRequested);
}

TEST(SamplingLoop, TargetsFollowTheSlidersAfterEachFanRead) {
    TickRig rig;
    ASSERT_EQ(rig.model->selectGpu(kGpu05E2, false), drv::kOk);
    ASSERT_EQ(rig.model->selectMode(gpu::kLevelKind3DPerf, false, false), drv::kOk);
    rig.model->setLinked(false);
    rig.model->moveSlider(ClockSlider::kGpu, 700);
    rig.tick();
    const GpuUiEntry& e = rig.model->entry(kGpu05E2);
    EXPECT_EQ(e.gpuTargetKHz[gpu::kLevelKind3DPerf], 700000);
    EXPECT_EQ(e.linked, 0);
}

TEST(SamplingLoop, VidVoltageOnlyForTheSlot2RegulatorIn2DAnd3DPerf) {
    TickRig rig;
    ASSERT_EQ(rig.model->selectGpu(kGpu05E2, false), drv::kOk);
    ASSERT_EQ(rig.model->selectMode(gpu::kLevelKind3DPerf, false, false), drv::kOk);
    const std::string volts = rig.tick().display.vidVoltage.text;
    // Codes 48, 52, 54, 60 at 450 + 12.5 x code mV.
    EXPECT_TRUE(volts == "1.05" || volts == "1.10" || volts == "1.12" || volts == "1.20") << volts;
    ASSERT_EQ(rig.model->selectMode(gpu::kLevelKind3DLow, false, false), drv::kOk);
    EXPECT_EQ(rig.tick().display.vidVoltage.text, "");
}

// ---- Failures ---------------------------------------------------------------------------------

TEST(SamplingLoop, UnreadableTemperatureIsMinusOneAndNeitherAlarmsNorDrivesTheFan) {
    TickRig rig;
    rig.enableAlarm(0);
    rig.settings.highSet = 1;  // Custom mode would set a low fan on a cool card
    rig.pinAll(130);
    ASSERT_EQ(rig.sim().injectStatus(drv::kGpuGetThermalSettings, drv::kError, -1), 0);
    const SampleResult r = rig.tick();
    for (uint8_t gpu = 0; gpu < 3; ++gpu) {
        EXPECT_EQ(rig.model->entry(gpu).temperatureC, -1);
    }
    EXPECT_TRUE(rig.beeper.beeps.empty());
    EXPECT_TRUE(rig.powerOff.requests.empty());
    EXPECT_FALSE(r.alarmWindowMessage);
    EXPECT_FALSE(r.shutdownRequested);
    // No fan command went out: the reading time of the family A board was not cleared.
    EXPECT_GE(rig.model->entry(kGpu05E2).fanReadTimeMs, kSamplingPeriodMs);
    EXPECT_EQ(rig.cooler(kGpuKepler).currentPolicy, rig.cooler(kGpuKepler).defaultPolicy);

    ASSERT_EQ(rig.sim().injectStatus(drv::kGpuGetThermalSettings, drv::kError, 0), 0);
    rig.pinAll(40);
    rig.tick();
    EXPECT_EQ(rig.model->entry(kGpu05E2).temperatureC, 40);
    EXPECT_EQ(rig.model->entry(kGpu05E2).fanReadTimeMs, 0u) << "Custom mode commanded its fan";
}

TEST(SamplingLoop, FailedClockReadEmptiesTheReadoutsUntilTheNextGoodTick) {
    TickRig rig;
    ASSERT_TRUE(rig.tick().display.clocksShown);
    // The first clock read of a tick is the GPU on show's.
    ASSERT_EQ(rig.sim().injectStatus(drv::kGpuGetPerfClocks, drv::kError, 1), 0);
    const SampleResult failed = rig.tick();
    EXPECT_FALSE(failed.display.clocksShown);
    EXPECT_EQ(failed.display.gpuClock.text, "");
    EXPECT_FALSE(failed.display.gpuClock.valid);
    EXPECT_EQ(failed.display.memoryClock.text, "");
    EXPECT_EQ(failed.display.shaderClock.text, "");
    const SampleResult again = rig.tick();
    EXPECT_TRUE(again.display.clocksShown);
    EXPECT_FALSE(again.display.gpuClock.text.empty());
}

TEST(SamplingLoop, StaleHandlesOnTheClockReadEnumerateTheGpusAgain) {
    TickRig rig;
    rig.pinAll(45);
    ASSERT_EQ(rig.sim().invalidateHandles(drv::kHandleInvalidated), 0);
    const SampleResult r = rig.tick();
    EXPECT_FALSE(r.display.clocksShown);
    // Everything after the failed read runs on the new handles.
    EXPECT_EQ(rig.model->entry(kGpuKepler).temperatureC, 45);
    EXPECT_GT(rig.model->entry(kGpu05E2).gpuClockMHz, 0);
    EXPECT_TRUE(rig.tick().display.clocksShown);
}

// ---- Colours ----------------------------------------------------------------------------------

TEST(SamplingLoop, ClockAtTheModeMaximumIsGreyOneMegahertzAboveRed) {
    // One GTX 680 whose P0 offset may lift the top level past the range its request reports.
    test::TempDir configDir;
    std::string config = readPreset("single-1180");
    config += "graphics_offset_range = -500000 500000\n";
    TickRig rig(test::writeConfig(configDir, "wide-offset.conf", config));
    ASSERT_EQ(rig.model->selectMode(gpu::kLevelKind3DPerf, false, false), drv::kOk);
    gpu::PerfClockRequest request;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpuKepler, request, gpu::kLevelKind3DPerf), drv::kOk);
    const int32_t toMaximum =
        static_cast<int32_t>(request.graphicsMax) - static_cast<int32_t>(request.graphicsCurrent);
    ASSERT_GT(toMaximum, 0);

    ASSERT_EQ(rig.layer->setGraphicsOffset(kGpuKepler, toMaximum), drv::kOk);
    const SampleResult atMax = rig.tick();
    EXPECT_EQ(atMax.display.gpuClock.text, std::to_string(request.graphicsMax / 1000));
    EXPECT_TRUE(atMax.display.gpuClock.valid);
    EXPECT_EQ(atMax.display.gpuClock.value, static_cast<int>(request.graphicsMax / 1000));
    EXPECT_EQ(atMax.display.gpuClock.colour, kReadoutGrey);
    EXPECT_EQ(atMax.display.memoryClock.colour, kReadoutGrey);

    ASSERT_EQ(rig.layer->setGraphicsOffset(kGpuKepler, toMaximum + 1000), drv::kOk);
    const SampleResult above = rig.tick();
    EXPECT_EQ(above.display.gpuClock.text, std::to_string(request.graphicsMax / 1000 + 1));
    EXPECT_EQ(above.display.gpuClock.colour, kReadoutRed);
    EXPECT_EQ(above.display.memoryClock.colour, kReadoutGrey);
}

TEST(SamplingLoop, ColoursFollowTheLimitsOfTheLevelTheModeAddresses) {
    // On the GTX 680 the 2D mode addresses the level flagged for 3D low power; its memory runs
    // at that level's maximum, which is in range.
    TickRig rig;
    ASSERT_EQ(rig.model->selectMode(gpu::kLevelKind2D, false, false), drv::kOk);
    gpu::PerfClockRequest request;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpuKepler, request, gpu::kLevelKind2D), drv::kOk);
    ASSERT_EQ(request.memoryCurrent, request.memoryMax);
    const SampleResult sample = rig.tick();
    EXPECT_EQ(sample.display.memoryClock.text, std::to_string(request.memoryMax / 1000));
    EXPECT_EQ(sample.display.memoryClock.colour, kReadoutGrey);
    EXPECT_EQ(sample.display.gpuClock.colour, kReadoutGrey);
}

// ---- Temperature alarm ------------------------------------------------------------------------

TEST(SamplingLoop, AlarmThresholdComesFromTheStoreOnEveryTick) {
    TickRig rig;
    rig.pinAll(40);
    rig.enableAlarm(0);
    rig.pin(kGpuKepler, 95);
    SampleResult r = rig.tick();
    EXPECT_TRUE(rig.beeper.beeps.empty()) << "95 is not above a threshold of 95";
    EXPECT_FALSE(r.alarmWindowMessage);

    rig.pin(kGpuKepler, 96);
    r = rig.tick();
    ASSERT_EQ(rig.beeper.beeps.size(), 1u);
    EXPECT_EQ(rig.beeper.beeps[0], std::make_pair(kAlarmBeepHz, kAlarmBeepMs));
    ASSERT_TRUE(r.alarmWindowMessage);
    EXPECT_EQ(*r.alarmWindowMessage, "GPU 1 temperature is too high!!!\n");
    EXPECT_FALSE(r.shutdownRequested);

    // With the window up the beep repeats, without a second window.
    r = rig.tick(true);
    EXPECT_EQ(rig.beeper.beeps.size(), 2u);
    EXPECT_FALSE(r.alarmWindowMessage);

    // The value is read afresh: a threshold of 97 lets 96 pass.
    ASSERT_TRUE(rig.store.writeValue(settings::kValueTemperatureAlarmValue, 2));
    rig.tick();
    EXPECT_EQ(rig.beeper.beeps.size(), 2u);

    // Switched off in the store: silence even above 120.
    ASSERT_TRUE(rig.store.writeValue(settings::kValueTemperatureAlarmSet, 0));
    rig.pin(kGpuKepler, 130);
    rig.tick();
    EXPECT_EQ(rig.beeper.beeps.size(), 2u);
    EXPECT_TRUE(rig.powerOff.requests.empty());
}

TEST(SamplingLoop, Above120ThePowerOffIsRequestedWithTenSeconds) {
    TickRig rig;
    rig.pinAll(40);
    rig.enableAlarm(0);
    rig.pin(kGpu05E2, 121);
    const SampleResult r = rig.tick();
    EXPECT_TRUE(r.shutdownRequested);
    ASSERT_EQ(rig.powerOff.requests.size(), 1u);
    EXPECT_EQ(rig.powerOff.requests[0].first, "GPU 3 temperature is too high!!!\n");
    EXPECT_EQ(rig.powerOff.requests[0].second, kShutdownDelaySeconds);
    EXPECT_EQ(rig.beeper.beeps.size(), 1u);
    EXPECT_FALSE(r.alarmWindowMessage);

    rig.pin(kGpu05E2, 120);
    const SampleResult warm = rig.tick();
    EXPECT_FALSE(warm.shutdownRequested);
    EXPECT_EQ(rig.powerOff.requests.size(), 1u);
    EXPECT_TRUE(warm.alarmWindowMessage);
}

TEST(SamplingLoop, TwoHotGpusOnOneTickAskForOneWindow) {
    TickRig rig;
    rig.enableAlarm(0);
    rig.pinAll(100);
    const SampleResult r = rig.tick();
    EXPECT_EQ(rig.beeper.beeps.size(), 3u);
    ASSERT_TRUE(r.alarmWindowMessage);
    EXPECT_EQ(*r.alarmWindowMessage, "GPU 1 temperature is too high!!!\n");
}

// ---- Overlay ----------------------------------------------------------------------------------

TEST(SamplingLoop, OverlayTextIsHandedOverOnlyWhenItChanged) {
    TickRig rig;
    rig.settings.osdTempShow = true;
    rig.pinAll(65);
    EXPECT_TRUE(rig.tick().overlayHandedOver);
    EXPECT_FALSE(rig.tick().overlayHandedOver);
    ASSERT_EQ(rig.overlay.texts.size(), 1u);
    EXPECT_EQ(rig.overlay.texts[0],
              "ZENTRAX QUORVEL K \nGPU0 TEMP.:65\rC\nGPU1 TEMP.:65\rC\nGPU2 TEMP.:65\rC\n");

    rig.pin(kGpu0E22, 66);
    EXPECT_TRUE(rig.tick().overlayHandedOver);
    ASSERT_EQ(rig.overlay.texts.size(), 2u);
    EXPECT_NE(rig.overlay.texts[1].find("GPU1 TEMP.:66\rC"), std::string::npos);
    EXPECT_EQ(rig.loop().lastOverlayText(), rig.overlay.texts[1]);

    // All switches off: an empty text once, then nothing.
    rig.settings.osdTempShow = false;
    EXPECT_TRUE(rig.tick().overlayHandedOver);
    EXPECT_FALSE(rig.tick().overlayHandedOver);
    ASSERT_EQ(rig.overlay.texts.size(), 3u);
    EXPECT_EQ(rig.overlay.texts[2], "");
}

TEST(SamplingLoop, FrameRateSwitchAloneShowsNothingWhereNoFrameRateIsMeasured) {
    TickRig rig;
    rig.settings.osdFramerateShow = true;
    rig.pinAll(65);
    rig.tick();
    ASSERT_EQ(rig.overlay.texts.size(), 1u);
    EXPECT_EQ(rig.overlay.texts[0], "");

    // An overlay that measures the frame rate itself gets the title and a line per GPU.
    rig.overlay.measuring = true;
    EXPECT_TRUE(rig.tick().overlayHandedOver);
    ASSERT_EQ(rig.overlay.texts.size(), 2u);
    EXPECT_EQ(rig.overlay.texts[1], "ZENTRAX QUORVEL K \n\n\n\n");
}

// ---- Fan rules --------------------------------------------------------------------------------

TEST(SamplingLoop, CustomRuleDrivesEachHotCardsOwnFan) {
    TickRig rig;
    rig.settings.highSet = 1;  // Custom: 80 % from 80 degrees, low fan below 50 degrees
    rig.pin(kGpuKepler, 40);   // the GPU on show stays cool
    rig.pin(kGpu0E22, 90);
    rig.pin(kGpu05E2, 90);
    rig.tick();

    // The hot driver-cooler card runs at the high fan, manually.
    const drv::CoolerSettings::Cooler hot = rig.cooler(kGpu05E2);
    EXPECT_EQ(hot.currentPolicy, drv::kCoolerPolicyManual);
    EXPECT_EQ(hot.currentLevel, 80u);
    EXPECT_EQ(rig.model->entry(kGpu05E2).fanReadTimeMs, 0u);

    // The slot-0 chip counts rpm: 80 % of its 3000 rpm is a period of 1 500 000 / 2400 = 625.
    uint8_t high = 0, low = 0;
    ASSERT_EQ(rig.sim().getRegister(kGpu0E22, 2, 0x5C, 0x74, &high), 0);
    ASSERT_EQ(rig.sim().getRegister(kGpu0E22, 2, 0x5C, 0x75, &low), 0);
    EXPECT_EQ(256 * high + low, 625);

    // The cool card on show got its low fan (15 %, raised to the cooler's 30 % minimum).
    const drv::CoolerSettings::Cooler cool = rig.cooler(kGpuKepler);
    EXPECT_EQ(cool.currentPolicy, drv::kCoolerPolicyManual);
    EXPECT_EQ(cool.currentLevel, 30u);

    // The next tick reads the commanded level back as the fan percent.
    rig.tick();
    EXPECT_EQ(rig.model->entry(kGpu05E2).fanPercent, 80);
    EXPECT_EQ(rig.model->entry(kGpu0E22).fanPercent, 80);
    EXPECT_EQ(rig.model->entry(kGpuKepler).fanPercent, 30);
}

TEST(SamplingLoop, FansTheRulesSetAreCountedUntilARuleOrTheUserLetsGo) {
    TickRig rig;
    rig.settings.highSet = 1;
    rig.pinAll(40);  // low fan on every card
    rig.tick();
    EXPECT_EQ(rig.drivenFans.gpus(), (std::vector<uint8_t>{kGpuKepler, kGpu0E22, kGpu05E2}));

    // Between the two temperatures Custom hands the fan to the driver.
    rig.pin(kGpu05E2, 65);
    rig.tick();
    EXPECT_NE(rig.cooler(kGpu05E2).currentPolicy, drv::kCoolerPolicyManual);
    EXPECT_EQ(rig.drivenFans.gpus(), (std::vector<uint8_t>{kGpuKepler, kGpu0E22}));

    // A level the user sends is the user's: it is not returned at the end.
    rig.settings.highSet = 0;
    rig.loop().sendFanCommand(fan::FanCommand::level(55));
    EXPECT_FALSE(rig.drivenFans.drives(kGpuKepler));
    EXPECT_EQ(rig.cooler(kGpuKepler).currentLevel, 55u);
}

TEST(SamplingLoop, CurveSwitchOfAFamilyCBoardUsesTheSharedCurve) {
    TickRig rig;
    rig.layer->record(kGpuKepler).fanCurveEnabled = true;
    rig.loop().fanCurve().curve = {{{20, 35}, {40, 45}, {60, 55}, {80, 75}, {100, 95}}};
    rig.pin(kGpuKepler, 70);
    rig.tick();
    EXPECT_EQ(rig.cooler(kGpuKepler).currentLevel, 65u);  // halfway from (60, 55) to (80, 75)
    // Without any rule switched on, the other cards' fans stay with the driver.
    EXPECT_NE(rig.cooler(kGpu05E2).currentPolicy, drv::kCoolerPolicyManual);
}

TEST(SamplingLoop, AssociatedRuleSetsFamilyCFansFromTheTemperatureInPassTwo) {
    TickRig rig;
    rig.settings.fanTempSet = true;
    rig.pinAll(80);
    rig.tick();
    // 80 x 1.125 = 90 on both family C boards; the family A board is only read.
    EXPECT_EQ(rig.cooler(kGpuKepler).currentLevel, 90u);
    EXPECT_EQ(rig.model->entry(kGpuKepler).fanPercent, 90);
    EXPECT_EQ(rig.model->entry(kGpu0E22).fanPercent, 90);
    EXPECT_NE(rig.cooler(kGpu05E2).currentPolicy, drv::kCoolerPolicyManual);
    // The fans it set are the rules' to return at the end.
    EXPECT_EQ(rig.drivenFans.gpus(), (std::vector<uint8_t>{kGpuKepler, kGpu0E22}));
}

TEST(SamplingLoop, TheTickKeepsEveryGpusFanRecordWithTheCard) {
    // Another program (qvctl, a second layer) sets a fan; the record of that GPU follows on the
    // next tick, so a later show of the GPU and an Apply start from what the card does.
    TickRig rig;
    rig.tick();
    ASSERT_EQ(rig.model->entry(kGpu05E2).fanAutomatic, 1);
    ASSERT_EQ(rig.layer->setFanLevel(kGpu05E2, 57), drv::kOk);
    rig.tick();
    EXPECT_EQ(rig.model->entry(kGpu05E2).fanAutomatic, 0);
    int32_t level = 0;
    ASSERT_EQ(rig.layer->fanSpeed(kGpu05E2, level, false), drv::kOk);
    EXPECT_EQ(rig.model->entry(kGpu05E2).fanSetting, level);
}

TEST(SamplingLoop, SendFanCommandGoesToTheGpuOnShowOrEveryGpuWhenLinked) {
    TickRig rig;
    rig.model->setLinked(false);
    rig.loop().sendFanCommand(fan::FanCommand::level(55));
    EXPECT_EQ(rig.cooler(kGpuKepler).currentLevel, 55u);
    EXPECT_NE(rig.cooler(kGpu05E2).currentPolicy, drv::kCoolerPolicyManual);

    rig.model->setLinked(true);
    rig.model->entry(kGpu05E2).fanReadTimeMs = 5;
    rig.loop().sendFanCommand(fan::FanCommand::level(60));
    EXPECT_EQ(rig.cooler(kGpuKepler).currentLevel, 60u);
    EXPECT_EQ(rig.cooler(kGpu05E2).currentLevel, 60u);
    EXPECT_EQ(rig.model->entry(kGpu05E2).fanReadTimeMs, 0u);

    rig.loop().sendFanCommand(fan::FanCommand::automatic());
    EXPECT_NE(rig.cooler(kGpuKepler).currentPolicy, drv::kCoolerPolicyManual);
    EXPECT_NE(rig.cooler(kGpu05E2).currentPolicy, drv::kCoolerPolicyManual);
}

// ---- Power ------------------------------------------------------------------------------------

constexpr const char* kTwoEstimateBoards = R"(
[gpu]
name = GeForce GT 440
device = 0x0DE0
level = 0 flags=0
clock = graphics 405000 50625 810000
clock = memory 135000 0 0
level = 1 flags=4
clock = graphics 810000 405000 1050000
clock = memory 900000 450000 1100000
cooler = driver
chip = slot0 address=0x5C capability=32
chip = slot3 step=2
idle_power_w = 12
load_power_w = 62
power_w = 65

[gpu]
name = GeForce GT 440
device = 0x0DE0
bus = 2
level = 0 flags=0
clock = graphics 405000 50625 810000
clock = memory 135000 0 0
level = 1 flags=4
clock = graphics 810000 405000 1050000
clock = memory 900000 450000 1100000
cooler = driver
chip = slot0 address=0x5C capability=32
chip = slot3 step=2
idle_power_w = 12
load_power_w = 62
power_w = 65
)";

TEST(SamplingLoop, EachEstimateBoardKeepsItsOwnPower) {
    test::TempDir dir;
    TickRig rig(test::writeConfig(dir, "two.conf", kTwoEstimateBoards));
    ASSERT_EQ(rig.layer->gpuCount(), 2);
    ASSERT_TRUE(usesPowerEstimate(rig.layer->record(0)));
    ASSERT_TRUE(usesPowerEstimate(rig.layer->record(1)));
    ASSERT_EQ(rig.sim().setLoad(0, 100), 0);
    ASSERT_EQ(rig.sim().setLoad(1, 0), 0);
    for (int i = 0; i < 3; ++i) {
        const SampleResult r = rig.tick();
        EXPECT_TRUE(r.display.repaintPower);
        const int32_t busy = rig.model->entry(0).powerW;
        const int32_t idle = rig.model->entry(1).powerW;
        EXPECT_GE(busy, 45) << "tick " << i;
        EXPECT_LE(busy, 70) << "tick " << i;
        EXPECT_GE(idle, 6) << "tick " << i;
        EXPECT_LE(idle, 20) << "tick " << i;
    }
}

TEST(SamplingLoop, FailedPowerReadIsMinusOne) {
    TickRig rig;
    rig.model->entry(kGpu0E22).powerW = 33;
    ASSERT_EQ(rig.sim().injectStatus(drv::kI2cRead, drv::kError, -1), 0);
    ASSERT_EQ(rig.sim().injectStatus(drv::kI2cReadEx, drv::kError, -1), 0);
    rig.tick();
    EXPECT_EQ(rig.model->entry(kGpu0E22).powerW, -1);
}

}  // namespace
}  // namespace qv::tuning
