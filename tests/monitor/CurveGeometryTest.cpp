#include <gtest/gtest.h>

#include <vector>

#include "lang/CMultiLangSupp.h"
#include "monitor/CurveGeometry.h"
#include "monitor/MonitorTestSupport.h"

namespace qv::monitor {
namespace {

using test::boardsOf;
using test::fullGpu;
using test::kPanelHeight;
using test::kPanelWidth;
using test::liveOf;
using test::timeOf;

constexpr uint32_t kEnglish = 0x0409;
constexpr int kRight = kPanelWidth + 1 - 30;  // 819
constexpr int kTop = 20;
constexpr int kBottom = 150;

ShownItems only(MonitorItem item) {
    ShownItems shown{};
    shown[item] = true;
    return shown;
}

// Temperature (20-150 °C, 1 °C per pixel) alone in band 0.
struct TemperatureRig {
    explicit TemperatureRig(size_t gpus = 1, int panelWidth = kPanelWidth) {
        MonitorBoards boards{};
        for (size_t g = 0; g < gpus; ++g) {
            boards[g] = fullGpu();
        }
        model = std::make_unique<CurveModel>(boards, only(kItemTemperature), panelWidth,
                                             kPanelHeight, mirror);
        model->setSamplingPeriod(1000);
    }
    void sample(int hour, int minute, int second, int32_t value, size_t gpus = 1) {
        model->tick(timeOf(hour, minute, second), liveOf(value, gpus));
    }
    CurveGeometry paint(HoverState hover = {}) const {
        return computeCurveGeometry(*model, hover, english);
    }
    lang::CMultiLangSupp english{kEnglish};
    MirrorHistory mirror;
    std::unique_ptr<CurveModel> model;
};

int yOf(int32_t celsius) {
    return kBottom - (celsius - 20);
}

std::vector<std::vector<Point>> strokePoints(const CurveGeometry& geometry) {
    std::vector<std::vector<Point>> out;
    for (const Stroke& stroke : geometry.strokes) {
        out.push_back(stroke.points);
    }
    return out;
}

TEST(CurveGeometryTest, MissingOutOfBoundsValuesBreakTheCurve) {
    TemperatureRig rig;
    const int32_t values[] = {50, kNoValue, 60, 300, 70, 80};
    for (int i = 0; i < 6; ++i) {
        rig.sample(13, 45, i, values[i]);
    }
    const CurveGeometry geometry = rig.paint();
    EXPECT_EQ(strokePoints(geometry),
              (std::vector<std::vector<Point>>{{{kRight, yOf(80)}, {kRight - 1, yOf(70)}},
                                               {{kRight - 3, yOf(60)}},
                                               {{kRight - 5, yOf(50)}}}));
    EXPECT_EQ(geometry.strokes[0].colour, kGpuColours[0]);
}

TEST(CurveGeometryTest, BoundsAreDrawnOnTheBandsEdges) {
    TemperatureRig rig;
    rig.sample(1, 0, 0, 20);
    rig.sample(1, 0, 1, 150);
    rig.sample(1, 0, 2, 19);
    EXPECT_EQ(strokePoints(rig.paint()),
              (std::vector<std::vector<Point>>{{{kRight - 1, kTop}, {kRight - 2, kBottom}}}));
}

TEST(CurveGeometryTest, SamplesBeforeMidnightStayLeftOfThoseAfter) {
    TemperatureRig rig;
    rig.sample(23, 59, 58, 30);
    rig.sample(23, 59, 59, 31);
    rig.sample(0, 0, 0, 32);
    rig.sample(0, 0, 1, 33);
    EXPECT_EQ(sampleAgeSeconds(Para{0, 0, 23, 59, 58}, timeOf(0, 0, 1)), -3);
    EXPECT_EQ(strokePoints(rig.paint()),
              (std::vector<std::vector<Point>>{{{kRight, yOf(33)},
                                                {kRight - 1, yOf(32)},
                                                {kRight - 2, yOf(31)},
                                                {kRight - 3, yOf(30)}}}));
}

TEST(CurveGeometryTest, SamplesFromAfterTheCurrentTimeAreNotDrawn) {
    TemperatureRig rig;
    rig.sample(8, 0, 10, 50);
    rig.sample(8, 0, 11, 51);
    rig.sample(8, 0, 5, 52);  // the clock was set back
    EXPECT_EQ(strokePoints(rig.paint()), (std::vector<std::vector<Point>>{{{kRight, yOf(52)}}}));
}

TEST(CurveGeometryTest, OnlyTheNewerOfTwoSamplesInOneColumnIsDrawn) {
    TemperatureRig rig;
    rig.sample(8, 0, 0, 39);
    rig.sample(8, 0, 1, 40);
    rig.sample(8, 0, 1, 41);
    EXPECT_EQ(strokePoints(rig.paint()),
              (std::vector<std::vector<Point>>{{{kRight, yOf(41)}, {kRight - 1, yOf(39)}}}));
}

TEST(CurveGeometryTest, CurveStopsAtTheLeftMargin) {
    TemperatureRig rig(1, 60);  // right edge at 31
    for (int s = 0; s < 8; ++s) {
        rig.sample(8, 0, s, 50);
    }
    const CurveGeometry geometry = rig.paint();
    ASSERT_EQ(geometry.strokes.size(), 1u);
    EXPECT_EQ(geometry.strokes[0].points.size(), 4u);  // x 31, 30, 29, 28
    EXPECT_EQ(geometry.strokes[0].points.back().x, 28);
}

TEST(CurveGeometryTest, HoverShowsTheValueUnderTheCursor) {
    TemperatureRig rig;
    rig.sample(13, 45, 6, 70);
    rig.sample(13, 45, 7, 72);
    EXPECT_TRUE(rig.paint().hoverReadouts.empty());
    const CurveGeometry geometry = rig.paint({true, kRight - 1});
    ASSERT_EQ(geometry.hoverReadouts.size(), 1u);
    const TextItem& readout = geometry.hoverReadouts[0];
    EXPECT_EQ(readout.text, "70\u00b0C @13:45:6");
    EXPECT_EQ(readout.box, (Box{kRight - 16, yOf(70) - 5, kRight + 84, yOf(70) + 5}));
    EXPECT_EQ(readout.colour, kHoverColour);
}

TEST(CurveGeometryTest, CaptionsLegendsAndLatestValuesPerGpu) {
    TemperatureRig rig(2);
    MonitorLiveValues live = liveOf(60, 2);
    live.values[1][kItemTemperature] = 200;  // out of bounds: no latest value box
    rig.model->tick(timeOf(1, 2, 3), live);
    CurveGeometry geometry = rig.paint();
    ASSERT_EQ(geometry.captions.size(), 3u);
    EXPECT_EQ(geometry.captions[0].text, "Temperature(\u00b0C):");
    EXPECT_EQ(geometry.captions[0].box.left, 40);
    EXPECT_EQ(geometry.captions[1].text, "GPU 1");
    EXPECT_EQ(geometry.captions[1].box.left, 150);
    EXPECT_EQ(geometry.captions[2].text, "GPU 2");
    EXPECT_EQ(geometry.captions[2].box.left, 200);
    EXPECT_EQ(geometry.captions[2].colour, kGpuColours[1]);
    ASSERT_EQ(geometry.latestValues.size(), 1u);
    EXPECT_EQ(geometry.latestValues[0].text, "60 ");
    EXPECT_EQ(geometry.latestValues[0].box, (Box{kRight, 37, kPanelWidth + 1, 52}));

    live.values[1][kItemTemperature] = 90;
    rig.model->tick(timeOf(1, 2, 4), live);
    geometry = rig.paint();
    ASSERT_EQ(geometry.latestValues.size(), 2u);
    EXPECT_EQ(geometry.latestValues[1].box.top, 67);  // the second fed GPU's row
    EXPECT_EQ(geometry.latestValues[1].colour, kGpuColours[1]);
}

TEST(CurveGeometryTest, GridMovesWithTheTickCounter) {
    TemperatureRig rig;
    for (int s = 0; s < 3; ++s) {
        rig.sample(1, 0, s, 50);
    }
    CurveGeometry geometry = rig.paint();
    const auto vertical = [](const CurveGeometry& g) {
        std::vector<int> xs;
        for (const Line& line : g.grid) {
            if (line.from.x == line.to.x) {
                xs.push_back(line.from.x);
            }
        }
        return xs;
    };
    std::vector<int> xs = vertical(geometry);
    ASSERT_FALSE(xs.empty());
    EXPECT_EQ(xs.front(), kRight - 3);
    EXPECT_GE(xs.back(), 28);
    EXPECT_LT(xs.back() - 10, 28);
    EXPECT_EQ(geometry.grid.size() - xs.size(), 14u);  // y = 20, 30, ..., 150
    EXPECT_EQ(geometry.grid.front(), (Line{{kRight - 3, kTop}, {kRight - 3, kBottom}}));

    rig.model->setGrid(false);
    EXPECT_TRUE(rig.paint().grid.empty());
}

TEST(CurveGeometryTest, AxisLabelsSitOnTheBandsLines) {
    TemperatureRig rig;
    const CurveGeometry geometry = rig.paint();
    ASSERT_EQ(geometry.axisLabels.size(), 2u);
    EXPECT_EQ(geometry.axisLabels[0].text, "20");
    EXPECT_EQ(geometry.axisLabels[0].box, (Box{0, kBottom - 4, 28, kBottom + 6}));
    EXPECT_EQ(geometry.axisLabels[1].text, "150");
    EXPECT_EQ(geometry.axisLabels[1].box, (Box{0, kTop - 4, 28, kTop + 6}));
    EXPECT_EQ(geometry.blackFills[1].top, 150);  // below the one band
}

}  // namespace
}  // namespace qv::monitor
