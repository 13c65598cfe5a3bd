#include <gtest/gtest.h>

#include "tuning/HotKeys.h"

namespace qv::tuning {
namespace {

constexpr OffsetSliderRange kRange{-200, 300};
const std::vector<HotKeyBoard> kOneBoard = {{0, gpu::kFanDriverCooler, 85}};

HotKeySettings enabledSettings() {
    HotKeySettings s;
    s.enabled = true;
    s.fanSpeed = 90;
    s.gpuOffsetMHz = 150;
    return s;
}

// A machine taken to `state` by accepted keys 10 s apart; answers the next free time.
uint64_t driveTo(HotKeyMachine& m, uint8_t state, const HotKeySettings& s) {
    uint64_t now = 100000;
    if (state & kHotKeyStateFan) {
        m.onMessage(kHotKeyFan, now, s, kOneBoard, kRange);
        now += 10000;
    }
    if (state & kHotKeyStateClock) {
        m.onMessage(kHotKeyClock, now, s, kOneBoard, kRange);
        now += 10000;
    }
    return now;
}

struct StepCase {
    uint8_t from;
    uint32_t key;
    bool voltageHighest;
    uint8_t to;
    bool restoreFan, restoreClock, restoreVoltage, fanBoost, clockBoost, saveTable, raise;
};

class HotKeySteps : public testing::TestWithParam<StepCase> {};

TEST_P(HotKeySteps, RestoreThenBoostPerTheNewState) {
    const StepCase& c = GetParam();
    HotKeySettings s = enabledSettings();
    s.voltageHighest = c.voltageHighest;
    HotKeyMachine m;
    const uint64_t now = driveTo(m, c.from, s);
    ASSERT_EQ(m.state(), c.from);
    const HotKeyOutcome o = m.onMessage(c.key, now, s, kOneBoard, kRange);
    ASSERT_TRUE(o.accepted);
    EXPECT_EQ(o.fromState, c.from);
    EXPECT_EQ(o.toState, c.to);
    EXPECT_EQ(m.state(), c.to);
    EXPECT_EQ(o.indicator, kHotKeyIndicators[c.to]);
    ASSERT_EQ(o.gpus.size(), 1u);
    const HotKeyGpuSteps& g = o.gpus[0];
    EXPECT_EQ(g.restoreFan, c.restoreFan);
    EXPECT_EQ(g.restoreClock, c.restoreClock);
    EXPECT_EQ(g.restoreVoltageTable, c.restoreVoltage);
    EXPECT_EQ(g.fanBoost, c.fanBoost);
    EXPECT_EQ(g.clockBoost, c.clockBoost);
    EXPECT_EQ(g.saveVoltageTable, c.saveTable);
    EXPECT_EQ(g.raiseVoltage, c.raise);
    if (c.fanBoost) {
        EXPECT_EQ(g.fanSlider, 90u);
        EXPECT_EQ(g.fanLevel, 85u);  // capped by the duty maximum
    }
    if (c.clockBoost) {
        EXPECT_EQ(g.offsetSliderMHz, 150);
        EXPECT_EQ(g.offsetKHz, 150000);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, HotKeySteps,
    testing::Values(
        // from key voltage to | rFan rClock rVolt fan clock save raise
        StepCase{0, kHotKeyFan, false, 1, false, false, false, true, false, false, false},
        StepCase{1, kHotKeyFan, false, 0, true, false, false, false, false, false, false},
        StepCase{2, kHotKeyFan, true, 3, false, false, false, true, true, false, true},
        StepCase{3, kHotKeyFan, true, 2, true, false, false, false, true, false, true},
        StepCase{0, kHotKeyClock, true, 2, false, false, false, false, true, true, true},
        StepCase{0, kHotKeyClock, false, 2, false, false, false, false, true, false, false},
        // Clock key with the fan boosted: both boosts, the fan boost stays.
        StepCase{1, kHotKeyClock, true, 3, false, false, false, true, true, true, true},
        StepCase{2, kHotKeyClock, true, 0, false, true, true, false, false, false, false},
        StepCase{2, kHotKeyClock, false, 0, false, true, false, false, false, false, false},
        StepCase{3, kHotKeyClock, true, 1, false, true, true, true, false, false, false}));

TEST(HotKeyMachine, SecondKeyWithinFiveSecondsIsIgnored) {
    const HotKeySettings s = enabledSettings();
    HotKeyMachine m;
    EXPECT_FALSE(m.hotKeyUsed());
    EXPECT_TRUE(m.onMessage(kHotKeyFan, 20000, s, kOneBoard, kRange).accepted);
    EXPECT_TRUE(m.hotKeyUsed());
    const HotKeyOutcome ignored = m.onMessage(kHotKeyFan, 24000, s, kOneBoard, kRange);
    EXPECT_FALSE(ignored.accepted);
    EXPECT_TRUE(ignored.gpus.empty());
    EXPECT_EQ(ignored.toState, kHotKeyStateFan);
    EXPECT_FALSE(m.onMessage(kHotKeyClock, 24999, s, kOneBoard, kRange).accepted);
    EXPECT_EQ(m.state(), kHotKeyStateFan);
    // The ignored keys do not move the window: 5000 ms after the accepted one acts.
    EXPECT_TRUE(m.onMessage(kHotKeyFan, 25000, s, kOneBoard, kRange).accepted);
    EXPECT_EQ(m.state(), kHotKeyStateNone);
}

TEST(HotKeyMachine, TheFirstKeyActsEvenRightAfterStart) {
    const HotKeySettings s = enabledSettings();
    HotKeyMachine m;
    EXPECT_TRUE(m.onMessage(kHotKeyClock, 0, s, kOneBoard, kRange).accepted);
}

TEST(HotKeyMachine, DisabledOrUnknownKeysChangeNothing) {
    HotKeySettings s = enabledSettings();
    s.enabled = false;
    HotKeyMachine m;
    EXPECT_FALSE(m.onMessage(kHotKeyFan, 100000, s, kOneBoard, kRange).accepted);
    s.enabled = true;
    EXPECT_FALSE(m.onMessage(2, 100000, s, kOneBoard, kRange).accepted);
    EXPECT_FALSE(m.hotKeyUsed());
    EXPECT_EQ(m.state(), kHotKeyStateNone);
    // Neither started the debounce window.
    EXPECT_TRUE(m.onMessage(kHotKeyFan, 100001, s, kOneBoard, kRange).accepted);
}

TEST(HotKeyMachine, EveryHotKeyBoardFromTheSameStartState) {
    HotKeySettings s = enabledSettings();
    s.fanSpeed = 70;
    s.gpuOffsetMHz = 900;  // beyond the slider: clamped
    const std::vector<HotKeyBoard> boards = {
        {0, gpu::kFanDriverCooler, 100}, {2, gpu::kFanNoCooler, 100}, {1, gpu::kFanSlot0Chip, 60}};
    HotKeyMachine m;
    HotKeyOutcome o = m.onMessage(kHotKeyFan, 1000, s, boards, kRange);
    ASSERT_EQ(o.gpus.size(), 3u);
    EXPECT_EQ(o.gpus[0].gpu, 0);
    EXPECT_EQ(o.gpus[0].fanLevel, 70u);
    EXPECT_EQ(o.gpus[1].gpu, 2);
    EXPECT_TRUE(o.gpus[1].fanBoost);
    EXPECT_EQ(o.gpus[1].fanSlider, 70u);
    EXPECT_FALSE(o.gpus[1].fanLevel.has_value());  // no cooler: nothing written
    EXPECT_EQ(o.gpus[2].fanLevel, 60u);
    EXPECT_EQ(m.state(), kHotKeyStateFan);

    o = m.onMessage(kHotKeyClock, 7000, s, boards, kRange);
    for (const HotKeyGpuSteps& g : o.gpus) {
        EXPECT_TRUE(g.clockBoost);
        EXPECT_EQ(g.offsetSliderMHz, 300);
        EXPECT_EQ(g.offsetKHz, 300000);
    }
    o = m.onMessage(kHotKeyFan, 13000, s, boards, kRange);
    EXPECT_TRUE(o.gpus[0].restoreFan);
    EXPECT_FALSE(o.gpus[1].restoreFan);  // no cooler: no fan writes
    EXPECT_TRUE(o.gpus[2].restoreFan);

    s.gpuOffsetMHz = -500;
    HotKeyMachine m2;
    o = m2.onMessage(kHotKeyClock, 0, s, boards, kRange);
    EXPECT_EQ(o.gpus[0].offsetSliderMHz, -200);
    EXPECT_EQ(o.gpus[0].offsetKHz, -200000);
}

}  // namespace
}  // namespace qv::tuning
