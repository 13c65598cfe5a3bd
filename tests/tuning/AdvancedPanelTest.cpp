// The advanced control dialog's rules on the simulated GTX 680 (GPU 0 of the built-in boards),
// through the real loader and the real simulated driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/DriverTypes.h"
#include "gpu/GpuLayerTestSupport.h"
#include "tuning/AdvancedPanel.h"

namespace qv::test {
namespace {

using tuning::AdvancedPanel;
using tuning::AdvancedSlider;

// The simulated board's P-states 2.0 limits and power policy (the simulator's defaults).
constexpr int kVoltageMin = -50000, kVoltageMax = 100000;
constexpr int kPowerMin = 32000, kPowerDefault = 100000, kPowerMax = 132000;

class AdvancedPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(rig_.layer->initialize(), gpu::kInitOk);
        rig_.layer->waitForProbe();
    }

    gpu::GpuLayer& layer() { return *rig_.layer; }

    drv::Pstates20Info pstates() {
        drv::Pstates20Info info{};
        EXPECT_EQ(layer().pstates20Info(0, info), drv::kOk);
        return info;
    }
    int graphicsOffset() { return pstates().pstates[0].clocks[0].freqDeltaKHz.value; }
    int memoryOffset() { return pstates().pstates[0].clocks[1].freqDeltaKHz.value; }
    int voltageOffset() { return pstates().pstates[0].baseVoltages[0].voltDeltaUv.value; }
    int powerLimit() {
        drv::PowerPoliciesStatus status{};
        status.version = drv::kPowerPoliciesStatusVersion;
        EXPECT_EQ(layer().powerPoliciesStatus(0, status), drv::kOk);
        return static_cast<int>(status.entries[0].power);
    }
    // The set operations the driver answered, in order, since the log was last cleared.
    std::vector<uint32_t> writes() const {
        std::vector<uint32_t> ids;
        for (const QvSimHookEvent& event : rig_.sim().hookLog()) {
            if (event.isExit == 0 && (event.id == drv::kGpuSetPstates20 ||
                                      event.id == drv::kGpuClientPowerPoliciesSetStatus)) {
                ids.push_back(event.id);
            }
        }
        return ids;
    }

    LayerRig rig_;
};

TEST_F(AdvancedPanelTest, OpeningReadsRangesFromTheBoardAndWidensTheOffsetSliders) {
    ASSERT_EQ(layer().setGraphicsOffset(0, 40000), drv::kOk);
    ASSERT_EQ(layer().setMemoryOffset(0, -20000), drv::kOk);
    AdvancedPanel panel(layer());
    panel.open();

    const tuning::AdvancedTexts& texts = panel.texts();
    EXPECT_EQ(texts.powerRange, "(Min:32000---Max:132000---Default:100000)");
    // The range texts are the driver's own limits and the offsets it holds now...
    EXPECT_EQ(texts.graphicsRange, "(Min:-135000---Max:135000---Default:40000)");
    EXPECT_EQ(texts.memoryRange, "(Min:-500000---Max:1000000---Default:-20000)");
    EXPECT_EQ(texts.voltageRange, "(Min:-50000---Max:100000)");
    // ...while both offset sliders span 200 MHz either way whatever the driver allows.
    for (AdvancedSlider which : {AdvancedSlider::kGraphicsOffset, AdvancedSlider::kMemoryOffset}) {
        EXPECT_EQ(panel.slider(which).min, -tuning::kAdvancedOffsetSpanKHz);
        EXPECT_EQ(panel.slider(which).max, tuning::kAdvancedOffsetSpanKHz);
    }
    EXPECT_EQ(panel.slider(AdvancedSlider::kGraphicsOffset).pos, 40000);
    EXPECT_EQ(panel.slider(AdvancedSlider::kMemoryOffset).pos, -20000);
    EXPECT_EQ(texts.values[1], "40000");
    EXPECT_EQ(texts.values[2], "-20000");
    EXPECT_EQ(panel.slider(AdvancedSlider::kPower).min, kPowerMin);
    EXPECT_EQ(panel.slider(AdvancedSlider::kPower).max, kPowerMax);
    EXPECT_EQ(panel.slider(AdvancedSlider::kVoltageOffset).min, kVoltageMin / 12500);
    EXPECT_EQ(panel.slider(AdvancedSlider::kVoltageOffset).max, kVoltageMax / 12500);
    EXPECT_EQ(panel.powerDefault(), kPowerDefault);
    EXPECT_FALSE(panel.wide());
    EXPECT_EQ(panel.width(), tuning::kAdvancedNarrowWidth);
    EXPECT_EQ(panel.clockType(), 0);
    // Opening writes nothing.
    EXPECT_EQ(graphicsOffset(), 40000);
}

TEST_F(AdvancedPanelTest, VoltageTextIsTheSliderTimesOneStepAndApplyWritesMicrovolts) {
    AdvancedPanel panel(layer());
    panel.open();
    panel.moveSlider(AdvancedSlider::kVoltageOffset, -2);
    EXPECT_EQ(panel.texts().values[3], "-25000");
    EXPECT_EQ(panel.applyVoltageOffset(), drv::kOk);
    EXPECT_EQ(voltageOffset(), -25000);

    // Out of range positions stay at the ends.
    panel.moveSlider(AdvancedSlider::kVoltageOffset, 100);
    EXPECT_EQ(panel.texts().values[3], "100000");
}

TEST_F(AdvancedPanelTest, EachApplyWritesItsOwnValueOnly) {
    AdvancedPanel panel(layer());
    panel.open();
    panel.moveSlider(AdvancedSlider::kGraphicsOffset, 52000);
    panel.moveSlider(AdvancedSlider::kMemoryOffset, 150000);
    panel.moveSlider(AdvancedSlider::kPower, 120000);
    rig_.sim().clearCounters();

    EXPECT_EQ(panel.applyGraphicsOffset(), drv::kOk);
    EXPECT_EQ(graphicsOffset(), 52000);
    EXPECT_EQ(memoryOffset(), 0);
    EXPECT_EQ(panel.applyMemoryOffset(), drv::kOk);
    EXPECT_EQ(memoryOffset(), 150000);
    EXPECT_EQ(panel.applyPower(), drv::kOk);
    EXPECT_EQ(powerLimit(), 120000);
    EXPECT_EQ(writes(), (std::vector<uint32_t>{drv::kGpuSetPstates20, drv::kGpuSetPstates20,
                                               drv::kGpuClientPowerPoliciesSetStatus}));
    // A slider beyond what the driver takes: the driver refuses, nothing changes.
    panel.moveSlider(AdvancedSlider::kGraphicsOffset, 190000);
    EXPECT_NE(panel.applyGraphicsOffset(), drv::kOk);
    EXPECT_EQ(graphicsOffset(), 52000);
}

TEST_F(AdvancedPanelTest, ResetWhileNarrowWritesAllFourValues) {
    ASSERT_EQ(layer().setGraphicsOffset(0, 60000), drv::kOk);
    ASSERT_EQ(layer().setMemoryOffset(0, 100000), drv::kOk);
    ASSERT_EQ(layer().setCoreVoltageOffset(0, 25000), drv::kOk);
    ASSERT_EQ(layer().raisePowerLimit(0), drv::kOk);
    AdvancedPanel panel(layer());
    panel.open();
    ASSERT_FALSE(panel.wide());
    rig_.sim().clearCounters();

    EXPECT_EQ(panel.reset(), drv::kOk);

    EXPECT_EQ(writes(),
              (std::vector<uint32_t>{drv::kGpuClientPowerPoliciesSetStatus, drv::kGpuSetPstates20,
                                     drv::kGpuSetPstates20, drv::kGpuSetPstates20}));
    EXPECT_EQ(powerLimit(), kPowerDefault);
    EXPECT_EQ(graphicsOffset(), 0);
    EXPECT_EQ(memoryOffset(), 0);
    EXPECT_EQ(voltageOffset(), 0);
    EXPECT_EQ(panel.slider(AdvancedSlider::kPower).pos, kPowerDefault);
    EXPECT_EQ(panel.texts().values, (std::array<std::string, 4>{"100000", "0", "0", "0"}));
}

TEST_F(AdvancedPanelTest, ResetGoesOnAfterAFailedWriteAndReportsIt) {
    AdvancedPanel panel(layer());
    panel.open();
    ASSERT_EQ(layer().setMemoryOffset(0, 100000), drv::kOk);
    rig_.sim().injectStatus(drv::kGpuClientPowerPoliciesSetStatus, drv::kError, 1);
    EXPECT_EQ(panel.reset(), drv::kError);
    EXPECT_EQ(memoryOffset(), 0);
}

TEST_F(AdvancedPanelTest, WideningShowsTheLastPowerLimitReadAndTheOffsetsReadAtOpening) {
    ASSERT_EQ(layer().setGraphicsOffset(0, 30000), drv::kOk);
    AdvancedPanel panel(layer());
    panel.open();
    panel.moveSlider(AdvancedSlider::kGraphicsOffset, -70000);
    ASSERT_EQ(layer().raisePowerLimit(0), drv::kOk);
    panel.refresh();
    EXPECT_EQ(panel.texts().powerLimit, "132000");

    panel.toggleWidth();
    EXPECT_TRUE(panel.wide());
    EXPECT_EQ(panel.width(), tuning::kAdvancedWideWidth);
    EXPECT_STREQ(panel.widthButtonCaption(), tuning::kAdvancedNarrow);
    EXPECT_EQ(panel.slider(AdvancedSlider::kPower).pos, kPowerMax);
    EXPECT_EQ(panel.texts().values[0], "132000");
    EXPECT_EQ(panel.slider(AdvancedSlider::kGraphicsOffset).pos, 30000);
    EXPECT_EQ(panel.texts().values[1], "30000");

    // Narrowing again changes no value.
    panel.moveSlider(AdvancedSlider::kGraphicsOffset, 5000);
    panel.toggleWidth();
    EXPECT_FALSE(panel.wide());
    EXPECT_STREQ(panel.widthButtonCaption(), tuning::kAdvancedWiden);
    EXPECT_EQ(panel.slider(AdvancedSlider::kGraphicsOffset).pos, 5000);
}

TEST_F(AdvancedPanelTest, WideningBeforeTheFirstTickShowsTheLimitTheCardHasNotTheLowest) {
    AdvancedPanel panel(layer());
    panel.open();
    EXPECT_EQ(panel.texts().powerLimit, std::to_string(kPowerDefault));
    panel.toggleWidth();
    EXPECT_EQ(panel.slider(AdvancedSlider::kPower).pos, kPowerDefault);
    EXPECT_EQ(panel.applyPower(), drv::kOk);
    EXPECT_EQ(powerLimit(), kPowerDefault);
}

TEST_F(AdvancedPanelTest, ClockTypeTakesEffectAtTheNextRefresh) {
    AdvancedPanel panel(layer());
    panel.open();
    panel.refresh();
    const std::string current = panel.texts().graphicsClock;

    drv::ClockFrequencies boost{};
    boost.version = drv::kClockFrequenciesVersion;
    boost.clockType = drv::kClockTypeBoost;
    ASSERT_EQ(layer().currentClockFrequencies(0, boost), drv::kOk);
    const std::string expected =
        std::to_string(boost.domain[drv::kClockDomainGraphics].frequencyKHz / 1000) + "MHz";
    ASSERT_NE(expected, current) << "the simulated board should boost above its current clock";

    panel.selectClockType(2);
    EXPECT_EQ(panel.texts().graphicsClock, current);
    panel.refresh();
    EXPECT_EQ(panel.texts().graphicsClock, expected);

    panel.selectClockType(7);  // no such type: the choice stays
    EXPECT_EQ(panel.clockType(), 2);
}

TEST_F(AdvancedPanelTest, RefreshShowsTheReadoutsOfGpuZero) {
    AdvancedPanel panel(layer());
    panel.open();
    ASSERT_EQ(rig_.sim().setTemperature(0, 57), 0);
    panel.refresh();
    const tuning::AdvancedTexts& texts = panel.texts();
    EXPECT_EQ(texts.temperature, "57 C");
    EXPECT_EQ(texts.pstate.front(), 'P');
    EXPECT_EQ(texts.powerLimit, std::to_string(kPowerDefault));
    uint32_t microvolts = 0;
    ASSERT_EQ(layer().driverCoreVoltage(0, microvolts), drv::kOk);
    EXPECT_EQ(texts.coreVoltage, std::to_string(microvolts));
    EXPECT_NE(texts.graphicsClock, "0MHz");
    EXPECT_NE(texts.memoryClock, "0MHz");
}

TEST_F(AdvancedPanelTest, FailedReadsShowZerosAndCollapseTheRanges) {
    for (uint32_t id : {drv::kGpuClientPowerPoliciesGetInfo, drv::kGpuGetPstates20,
                        drv::kGpuGetAllClockFrequencies, drv::kGpuClientPowerTopologyGetStatus,
                        drv::kGpuClientPowerPoliciesGetStatus, drv::kGpuGetCurrentPstate}) {
        rig_.sim().injectStatus(id, drv::kError, -1);
    }
    rig_.sim().injectStatus(drv::kGpuGetThermalSettings, drv::kError, -1);
    AdvancedPanel panel(layer());
    panel.open();
    panel.refresh();
    const tuning::AdvancedTexts& texts = panel.texts();
    EXPECT_EQ(texts.powerRange, "(Min:0---Max:0---Default:0)");
    EXPECT_EQ(texts.graphicsRange, "(Min:0---Max:0---Default:0)");
    EXPECT_EQ(texts.voltageRange, "(Min:0---Max:0)");
    EXPECT_EQ(panel.slider(AdvancedSlider::kPower).min, 0);
    EXPECT_EQ(panel.slider(AdvancedSlider::kPower).max, 0);
    EXPECT_EQ(panel.slider(AdvancedSlider::kVoltageOffset).max, 0);
    EXPECT_EQ(texts.graphicsClock, "0MHz");
    EXPECT_EQ(texts.processorClock, "0MHz");
    EXPECT_EQ(texts.power, "0");
    EXPECT_EQ(texts.powerLimit, "0");
    EXPECT_EQ(texts.pstate, "P0");
    EXPECT_EQ(texts.temperature, "0 C");

    // With the power status unreadable, Apply writes no zeroed status to the card.
    rig_.sim().clearCounters();
    EXPECT_NE(panel.applyPower(), drv::kOk);
    EXPECT_TRUE(writes().empty());
}

}  // namespace
}  // namespace qv::test
