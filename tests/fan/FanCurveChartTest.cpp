#include <gtest/gtest.h>

#include <limits>

#include "fan/FanCurveChart.h"

namespace qv::fan {
namespace {

// One pixel per degree across (0..120) and one per percent up (0..100).
constexpr ChartRect kUnitPlot{10, 20, 121, 101};

TEST(FanCurveChart, MapsTheAxesOntoThePlotAndBack) {
    const FanCurveChart chart(kUnitPlot);
    EXPECT_EQ(chart.toPixel(0, 0), (ChartPixel{10, 120}));
    EXPECT_EQ(chart.toPixel(120, 100), (ChartPixel{130, 20}));
    EXPECT_EQ(chart.toPixel(60, 40), (ChartPixel{70, 80}));
    for (int32_t t = 0; t <= 120; t += 7) {
        for (int32_t p = 0; p <= 100; p += 9) {
            EXPECT_EQ(chart.toValue(chart.toPixel(t, p)), (FanCurvePoint{t, p}));
        }
    }

    // A plot of another size rounds to the nearest pixel and back to the nearest value.
    const FanCurveChart half({0, 0, 61, 51});
    EXPECT_EQ(half.toPixel(61, 51), (ChartPixel{31, 24}));
    EXPECT_EQ(half.toValue({31, 24}), (FanCurvePoint{62, 52}));
}

TEST(FanCurveChart, HoldsValuesOutsideTheAxesToTheEdges) {
    const FanCurveChart chart(kUnitPlot);
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(chart.toPixel(-40, 150), (ChartPixel{10, 20}));
    EXPECT_EQ(chart.toPixel(kMax, kMin), (ChartPixel{130, 120}));
    EXPECT_EQ(chart.toPixel(kMin, kMax), (ChartPixel{10, 20}));
    EXPECT_EQ(chart.toValue({-500, 9000}), (FanCurvePoint{0, 0}));
    EXPECT_EQ(chart.toValue({9000, -500}), (FanCurvePoint{120, 100}));

    // A plot not laid out yet has no size: everything lands on its corner, nothing divides by 0.
    const FanCurveChart empty;
    EXPECT_EQ(empty.toPixel(60, 60), (ChartPixel{0, 0}));
    EXPECT_EQ(empty.toValue({5, 5}), (FanCurvePoint{0, 0}));
    EXPECT_EQ(empty.hoverText(kInitialFanCurve, {0, 0}), "(20,20)");
}

TEST(FanCurveChart, ReadsOutThePointWithinFivePixels) {
    const FanCurveChart chart(kUnitPlot);
    const ChartPixel at40 = chart.toPixel(40, 40);  // (50, 80)
    EXPECT_EQ(chart.hoverText(kInitialFanCurve, at40), "(40,40)");
    EXPECT_EQ(chart.hoverText(kInitialFanCurve, {at40.x + 3, at40.y - 4}), "(40,40)");
    EXPECT_EQ(chart.hoverText(kInitialFanCurve, {at40.x - 5, at40.y}), "(40,40)");
    EXPECT_EQ(chart.hoverText(kInitialFanCurve, {at40.x + 4, at40.y + 4}), "");
    EXPECT_EQ(chart.hoverText(kInitialFanCurve, {at40.x + 6, at40.y}), "");
    EXPECT_EQ(chart.hoverText(kInitialFanCurve, {at40.x + 10, at40.y - 10}), "");

    // Two points close together: the nearer one; a point beyond the axes reads its own values.
    const FanCurve curve{{{20, 20}, {24, 20}, {60, 60}, {80, 80}, {150, 130}}};
    EXPECT_EQ(chart.pointNear(curve, chart.toPixel(23, 20)), 1u);
    EXPECT_EQ(chart.pointNear(curve, chart.toPixel(21, 20)), 0u);
    EXPECT_EQ(chart.hoverText(curve, {130, 20}), "(150,130)");
    EXPECT_FALSE(chart.pointNear(curve, {100, 100}).has_value());
}

TEST(FanCurveChart, LineFollowsTheRuleOfTheMode) {
    const FanCurveChart chart(kUnitPlot);
    const FanCurve curve{{{20, 10}, {40, 30}, {60, 50}, {80, 70}, {100, 90}}};
    const auto px = [&](int32_t t, int32_t p) { return chart.toPixel(t, p); };

    EXPECT_EQ(chart.linePath(curve, kFanCurveSmooth),
              (std::vector<ChartPixel>{px(0, 10), px(20, 10), px(40, 30), px(60, 50), px(80, 70),
                                       px(100, 90), px(120, 90)}));
    // Zigzag keeps the lower point's value up to the next point (40 C still gives 10 %).
    EXPECT_EQ(
        chart.linePath(curve, kFanCurveZigzag),
        (std::vector<ChartPixel>{px(0, 10), px(40, 10), px(40, 30), px(60, 30), px(60, 50),
                                 px(80, 50), px(80, 70), px(100, 70), px(100, 90), px(120, 90)}));
    EXPECT_TRUE(chart.linePath(curve, 2).empty());

    // Repeated points (equal temperatures, or held to the same edge) are drawn once.
    const FanCurve flat{{{0, 50}, {0, 50}, {0, 50}, {200, 50}, {300, 50}}};
    EXPECT_EQ(chart.linePath(flat, kFanCurveSmooth),
              (std::vector<ChartPixel>{px(0, 50), px(120, 50)}));
}

}  // namespace
}  // namespace qv::fan
