#include <gtest/gtest.h>

#include "fan/FanRules.h"
#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"

namespace qv::fan {
namespace {

constexpr FanCommand kAuto = FanCommand::automatic();
constexpr FanCommand kNothing = FanCommand::none();
constexpr FanCommand lvl(uint32_t p) {
    return FanCommand::level(p);
}

// ---- rule order ---------------------------------------------------------------------------

struct OrderCase {
    bool familyC, curve, custom, silent, performance;
    FanRule expected;
};

TEST(FanRuleOrder, FirstMatchWinsByFamilyAndSwitches) {
    const OrderCase cases[] = {
        // Off family C only Custom counts, whatever else is on.
        {false, true, false, true, true, FanRule::kNone},
        {false, true, true, true, true, FanRule::kCustom},
        // Family C: curve, Silent, Performance, Custom.
        {true, true, true, true, true, FanRule::kCurve},
        {true, false, true, true, true, FanRule::kSilent},
        {true, false, true, false, true, FanRule::kPerformance},
        {true, false, true, false, false, FanRule::kCustom},
        {true, false, false, false, false, FanRule::kNone},
    };
    for (const OrderCase& c : cases) {
        FanModeSwitches s;
        s.custom = c.custom;
        s.silent = c.silent;
        s.performance = c.performance;
        EXPECT_EQ(selectFanRule(c.familyC, c.curve, s), c.expected)
            << "familyC " << c.familyC << " curve " << c.curve << " custom " << c.custom
            << " silent " << c.silent << " performance " << c.performance;
    }
}

// ---- the curve ----------------------------------------------------------------------------

struct CurveCase {
    FanCurve curve;
    int32_t mode;
    int32_t temperature;
    FanCommand expected;
};

constexpr FanCurve kSteeper = {{{20, 20}, {40, 30}, {60, 50}, {80, 80}, {100, 100}}};
constexpr FanCurve kFlatSteps = {{{20, 20}, {40, 40}, {40, 70}, {40, 75}, {100, 100}}};
constexpr FanCurve kFalling = {{{20, 60}, {40, 30}, {60, 30}, {80, 80}, {100, 100}}};
constexpr FanCurve kOutOfRange = {{{0, -50}, {10, 150}, {20, 150}, {30, 150}, {40, 250}}};
constexpr FanCurve kHuge = {
    {{-2000000000, 0}, {2000000000, 100}, {2000000000, 100}, {2000000000, 100}, {2000000000, 100}}};

class FanCurveRule : public testing::TestWithParam<CurveCase> {};

TEST_P(FanCurveRule, GivesTheLevelOfTheInterval) {
    const CurveCase& c = GetParam();
    EXPECT_EQ(curveRule(c.temperature, c.curve, c.mode), c.expected)
        << "T " << c.temperature << " mode " << c.mode;
}

INSTANTIATE_TEST_SUITE_P(
    Points, FanCurveRule,
    testing::Values(
        // Smooth, the initial points.
        CurveCase{kInitialFanCurve, kFanCurveSmooth, 55, lvl(55)},
        CurveCase{kInitialFanCurve, kFanCurveSmooth, 20, lvl(20)},
        CurveCase{kInitialFanCurve, kFanCurveSmooth, -40, lvl(20)},
        CurveCase{kInitialFanCurve, kFanCurveSmooth, 100, lvl(100)},
        CurveCase{kInitialFanCurve, kFanCurveSmooth, 130, lvl(100)},
        // Smooth between (40,30) and (60,50): the division truncates.
        CurveCase{kSteeper, kFanCurveSmooth, 45, lvl(35)},
        CurveCase{kSteeper, kFanCurveSmooth, 41, lvl(31)},
        CurveCase{kSteeper, kFanCurveSmooth, 61, lvl(51)},  // 50 + 1 x 30 / 20
        // Falling segment: truncation toward zero, not down.
        CurveCase{kFalling, kFanCurveSmooth, 21, lvl(59)},  // 60 + (1 x -30) / 20 = 60 - 1
        // Zigzag keeps the lower point's value until the next point is passed.
        CurveCase{kInitialFanCurve, kFanCurveZigzag, 59, lvl(40)},
        CurveCase{kInitialFanCurve, kFanCurveZigzag, 60, lvl(40)},
        CurveCase{kInitialFanCurve, kFanCurveZigzag, 61, lvl(60)},
        CurveCase{kInitialFanCurve, kFanCurveZigzag, 10, lvl(20)},
        CurveCase{kInitialFanCurve, kFanCurveZigzag, 101, lvl(100)},
        // Equal neighbouring temperatures: the empty intervals are skipped, no division by 0.
        CurveCase{kFlatSteps, kFanCurveSmooth, 40, lvl(40)},
        CurveCase{kFlatSteps, kFanCurveSmooth, 41, lvl(75)},  // 75 + 1 x 25 / 60
        CurveCase{kFlatSteps, kFanCurveZigzag, 41, lvl(75)},
        // Unchecked percents are held to 0..100 before they reach the card.
        CurveCase{kOutOfRange, kFanCurveSmooth, 0, lvl(0)},
        CurveCase{kOutOfRange, kFanCurveSmooth, 5, lvl(50)},
        CurveCase{kOutOfRange, kFanCurveSmooth, 15, lvl(100)},
        CurveCase{kOutOfRange, kFanCurveSmooth, 99, lvl(100)},
        // Extreme points do not overflow.
        CurveCase{kHuge, kFanCurveSmooth, 0, lvl(50)},
        // Unknown modes send nothing.
        CurveCase{kInitialFanCurve, 2, 55, kNothing},
        CurveCase{kInitialFanCurve, -1, 55, kNothing}));

// ---- Custom mode --------------------------------------------------------------------------

struct CustomCase {
    int32_t tempSet, fansHighSet, templowSet, fansSet;
    uint32_t dutyMinimum;
    int32_t temperature;
    FanCommand expected;
};

class FanCustomRule : public testing::TestWithParam<CustomCase> {};

TEST_P(FanCustomRule, HighLowOrAutomatic) {
    const CustomCase& c = GetParam();
    FanModeSwitches s;
    s.custom = true;
    s.tempSet = c.tempSet;
    s.fansHighSet = c.fansHighSet;
    s.templowSet = c.templowSet;
    s.fansSet = c.fansSet;
    EXPECT_EQ(customRule(c.temperature, c.dutyMinimum, s), c.expected) << "T " << c.temperature;
}

INSTANTIATE_TEST_SUITE_P(
    Indices, FanCustomRule,
    testing::Values(CustomCase{1, 1, 1, 1, 0, 80, lvl(80)},  // 5 x 16, 10 x 8
                    CustomCase{1, 1, 1, 1, 0, 79, kAuto}, CustomCase{2, 2, 1, 1, 0, 85, lvl(90)},
                    CustomCase{2, 2, 1, 1, 0, 84, kAuto}, CustomCase{3, 3, 1, 1, 0, 90, lvl(100)},
                    CustomCase{1, 1, 2, 2, 0, 55, lvl(20)},  // low 55, 5 x 4
                    CustomCase{1, 1, 2, 2, 30, 55,
                               lvl(30)},  // the duty minimum is above the low fan
                    CustomCase{1, 1, 2, 2, 20, 55, lvl(20)},  // equal: the low fan
                    CustomCase{1, 1, 2, 2, 0, 56, kAuto}, CustomCase{1, 1, 2, 2, 0, 60, kAuto},
                    CustomCase{1, 1, 1, 1, 0, 50, lvl(15)},  // low 50
                    CustomCase{1, 1, 1, 3, 0, 51, kAuto},
                    CustomCase{1, 1, 0, 1, 0, 30, kAuto},  // any other TemplowSet: low 0
                    CustomCase{1, 1, 0, 1, 0, 0, lvl(15)}, CustomCase{1, 1, 3, 1, 0, -5, lvl(15)}));

// ---- Silent and Performance ----------------------------------------------------------------

struct TableCase {
    int32_t temperature;
    FanCommand silent;
    FanCommand performance;
};

TEST(FanFixedTables, BoundariesBelowFullFan) {
    const TableCase cases[] = {
        {-10, lvl(20), kAuto},  {40, lvl(20), kAuto},   {41, lvl(20), lvl(50)},
        {55, lvl(20), lvl(50)}, {56, lvl(25), lvl(50)}, {60, lvl(25), lvl(50)},
        {61, lvl(25), lvl(60)}, {65, lvl(25), lvl(60)}, {66, lvl(30), lvl(60)},
        {75, lvl(30), lvl(60)}, {76, lvl(35), lvl(70)}, {80, lvl(35), lvl(70)},
        {81, lvl(40), lvl(70)}, {85, lvl(40), lvl(70)}, {86, lvl(100), lvl(100)},
    };
    for (const TableCase& c : cases) {
        FanHoldCounters counters;
        EXPECT_EQ(silentRule(c.temperature, 99, counters), c.silent) << "T " << c.temperature;
        EXPECT_EQ(performanceRule(c.temperature, 0, counters), c.performance)
            << "T " << c.temperature;
        EXPECT_EQ(counters.silent, 0u);
        EXPECT_EQ(counters.performance, 0u);
    }
}

struct HoldCase {
    const char* name;
    FanCommand (*rule)(int32_t, int32_t, FanHoldCounters&);
    uint32_t FanHoldCounters::*counter;
    uint32_t limit;
    int32_t coolTemperature;
    FanCommand released;
};

class FanHold : public testing::TestWithParam<HoldCase> {};

TEST_P(FanHold, FullFanComesDownOnlyAfterTheLimitPlusOneCoolSamples) {
    const HoldCase& c = GetParam();
    FanHoldCounters counters;
    for (uint32_t sample = 1; sample <= c.limit; ++sample) {
        EXPECT_EQ(c.rule(c.coolTemperature, 100, counters), kNothing) << "sample " << sample;
    }
    EXPECT_EQ(counters.*c.counter, c.limit);
    EXPECT_EQ(c.rule(c.coolTemperature, 100, counters), c.released);
    EXPECT_EQ(counters.*c.counter, 0u);
}

TEST_P(FanHold, HeatAboveTheTableRestartsTheCount) {
    const HoldCase& c = GetParam();
    FanHoldCounters counters;
    for (uint32_t sample = 0; sample < c.limit; ++sample) {
        c.rule(c.coolTemperature, 100, counters);
    }
    EXPECT_EQ(c.rule(86, 100, counters), kNothing);
    EXPECT_EQ(counters.*c.counter, 0u);
    EXPECT_EQ(c.rule(c.coolTemperature, 100, counters), kNothing);
    EXPECT_EQ(counters.*c.counter, 1u);
}

TEST_P(FanHold, TheCounterIsSharedByAllGpusAndNotByTheOtherRule) {
    const HoldCase& c = GetParam();
    FanHoldCounters counters;
    // Two GPUs at 100 % take turns: the count is over both.
    for (uint32_t sample = 0; sample < c.limit; ++sample) {
        c.rule(c.coolTemperature, 100, counters);
    }
    EXPECT_EQ(c.rule(c.coolTemperature, 100, counters), c.released);
    EXPECT_EQ(counters.silent + counters.performance, 0u);
    // A fan not at 100 % leaves the count alone.
    c.rule(c.coolTemperature, 100, counters);
    EXPECT_EQ(c.rule(c.coolTemperature, 60, counters), c.released);
    EXPECT_EQ(counters.*c.counter, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FanHold,
    testing::Values(HoldCase{"Silent", silentRule, &FanHoldCounters::silent, kSilentHoldSamples, 70,
                             lvl(30)},
                    HoldCase{"Performance", performanceRule, &FanHoldCounters::performance,
                             kPerformanceHoldSamples, 40, kAuto}),
    [](const testing::TestParamInfo<HoldCase>& p) { return std::string(p.param.name); });

TEST(FanEvaluate, RunsTheSelectedRuleWithTheSamplesValues) {
    FanModeSwitches s;
    s.custom = true;
    s.silent = true;
    FanHoldCounters counters;
    FanRuleInput in;
    in.familyC = true;
    in.temperature = 70;
    in.measuredPercent = 50;
    in.dutyMinimum = 30;
    EXPECT_EQ(evaluateFanRules(in, s, kInitialFanCurve, kFanCurveSmooth, counters), lvl(30));
    in.curveSwitch = true;
    EXPECT_EQ(evaluateFanRules(in, s, kInitialFanCurve, kFanCurveZigzag, counters), lvl(60));
    in.familyC = false;  // only Custom, with the duty minimum at its low end
    in.temperature = 50;
    EXPECT_EQ(evaluateFanRules(in, s, kInitialFanCurve, kFanCurveSmooth, counters), lvl(30));
    s.custom = false;
    EXPECT_EQ(evaluateFanRules(in, s, kInitialFanCurve, kFanCurveSmooth, counters), kNothing);
}

// ---- the associated rule ------------------------------------------------------------------

TEST(FanAssociatedRule, LevelIsTemperatureTimesOneAndAnEighth) {
    const std::pair<int32_t, uint32_t> cases[] = {
        {0, 0}, {7, 7}, {8, 9}, {80, 90}, {88, 99}, {89, 100}, {120, 100}, {-1, 100}, {-40, 100},
    };
    for (const auto& [temperature, level] : cases) {
        EXPECT_EQ(associatedLevel(temperature), level) << "T " << temperature;
    }
}

TEST(FanAssociatedRule, AppliesOnFamilyCWithCustomOff) {
    using A = AssociatedAction;
    EXPECT_EQ(associatedRule(true, false, true, 80), (AssociatedDecision{A::kSetLevel, 90}));
    EXPECT_EQ(associatedRule(true, false, false, 80), (AssociatedDecision{A::kReadFanLevel, 0}));
    EXPECT_EQ(associatedRule(true, true, true, 80), (AssociatedDecision{A::kNone, 0}));
    EXPECT_EQ(associatedRule(false, false, true, 80), (AssociatedDecision{A::kNone, 0}));
}

// ---- where commands go --------------------------------------------------------------------

TEST(FanCommandTargets, LinkedGoesToEveryCooledGpuElseTheOneOnShow) {
    using gpu::kFanDriverCooler;
    using gpu::kFanNoCooler;
    using gpu::kFanSlot0Chip;
    const std::vector<gpu::FanControllerKind> kinds = {kFanDriverCooler, kFanNoCooler,
                                                       kFanSlot0Chip};
    const FanCommand c = lvl(55);
    EXPECT_EQ(fanCommandTargets(c, true, 1, kinds), (std::vector<FanTarget>{{0, c}, {2, c}}));
    EXPECT_EQ(fanCommandTargets(c, false, 2, kinds), (std::vector<FanTarget>{{2, c}}));
    EXPECT_EQ(fanCommandTargets(kAuto, false, 0, kinds), (std::vector<FanTarget>{{0, kAuto}}));
    EXPECT_TRUE(fanCommandTargets(c, false, 1, kinds).empty());  // on show, but no cooler
    EXPECT_TRUE(fanCommandTargets(c, false, 3, kinds).empty());  // no such GPU
    EXPECT_TRUE(fanCommandTargets(kNothing, true, 0, kinds).empty());
}

// ---- the curve panel's take-over ----------------------------------------------------------

TEST(FanCurveTakeOver, KeepsTheOldCurveWhenTemperaturesAreOutOfOrder) {
    struct Case {
        FanCurveBoxes boxes;
        bool ordered;
    };
    const Case cases[] = {
        {{20, 10, 50, 20, 40, 30, 80, 40, 100, 50}, false},
        {{20, 10, 40, 20, 60, 30, 80, 40, 79, 50}, false},
        {{21, 10, 20, 20, 60, 30, 80, 40, 100, 50}, false},
        {{20, 90, 40, 10, 60, -5, 80, 400, 100, 50}, true},  // percents are not checked
        {{40, 10, 40, 20, 40, 30, 40, 40, 40, 50}, true},    // equal temperatures are in order
    };
    for (const Case& c : cases) {
        FanCurve curve = kInitialFanCurve;
        const int status = takeOverCurve(c.boxes, curve);
        EXPECT_EQ(curveTemperaturesOrdered(c.boxes), c.ordered);
        if (!c.ordered) {
            EXPECT_EQ(status, kCurveOutOfOrder);
            EXPECT_EQ(curve, kInitialFanCurve);
            continue;
        }
        EXPECT_EQ(status, kCurveTakenOver);
        for (size_t i = 0; i < kFanCurvePoints; ++i) {
            EXPECT_EQ(curve[i].temperature, c.boxes[2 * i]);
            EXPECT_EQ(curve[i].percent, c.boxes[2 * i + 1]);
        }
    }
}

TEST(FanCurvePanel, LanguageRowsNameThePanelsTexts) {
    const lang::CMultiLangSupp english(0x0409);
    const std::pair<int, std::string> rows[] = {
        {lang::kTextLoad, "Load"},
        {lang::kTextCurveAxisTemperature,
         "TEMP(\xC2\xB0"
         "C)"},
        {lang::kTextSpeedPercent, "Speed(%)"},
        {lang::kTextCurveAuto, "Auto"},
        {lang::kTextCurveCustom, "Custom"},
    };
    for (const auto& [row, text] : rows) {
        EXPECT_EQ(english.text(row), text) << "row " << row;
    }
    EXPECT_EQ(std::string(english.text(lang::kTextCurveToolTip))
                  .rfind("Advanced fan control has two modes:\n", 0),
              0u);
}

}  // namespace
}  // namespace qv::fan
