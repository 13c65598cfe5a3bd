#include <gtest/gtest.h>

#include "monitor/CurveModel.h"
#include "monitor/MonitorTestSupport.h"

namespace qv::monitor {
namespace {

using test::boardsOf;
using test::fullGpu;
using test::kPanelHeight;
using test::kPanelWidth;
using test::liveOf;
using test::timeOf;

TEST(CurveModelTest, SupportedItemsAreTheUnionAndTemperatureIsAlways) {
    MonitorGpu bare;
    bare.present = true;
    MonitorGpu fan = bare;
    fan.offers[kItemFanPercent] = true;
    MonitorGpu absent = fullGpu();
    absent.present = false;  // not reported by the layer: offers nothing
    const ShownItems supported = CurveModel::supportedItems(boardsOf({bare, fan, absent}));
    EXPECT_EQ(supported, (ShownItems{false, false, false, false, true, true, false, false}));
    EXPECT_EQ(CurveModel::supportedItems(MonitorBoards{}),
              (ShownItems{false, false, false, false, true, false, false, false}));
}

TEST(CurveModelTest, ShownItemsAreSupportedAndWantedAndSizeTheControl) {
    MonitorGpu gpu = fullGpu();
    gpu.offers[kItemPower] = false;
    ShownItems wanted = kAllItemsShown;
    wanted[kItemFanRpm] = false;
    MirrorHistory mirror;
    CurveModel model(boardsOf({gpu}), wanted, kPanelWidth, kPanelHeight, mirror);
    EXPECT_FALSE(model.item(kItemPower).shown);
    EXPECT_FALSE(model.item(kItemFanRpm).shown);
    EXPECT_TRUE(model.item(kItemTemperature).shown);
    EXPECT_EQ(model.shownCount(), 6);
    EXPECT_EQ(model.width(), kPanelWidth + 1);
    EXPECT_EQ(model.height(), 6 * 150 + 6);
    EXPECT_TRUE(model.needsScrollBar());
    EXPECT_EQ(model.historySlots(), static_cast<size_t>(kPanelWidth - 48));
    EXPECT_EQ(model.queue(0, kItemPower).capacity(), static_cast<size_t>(kPanelWidth - 48));
    EXPECT_EQ(model.queue(1, kItemPower).capacity(), 0u);  // no GPU there: no source
    EXPECT_TRUE(model.gpuHasSource(0));
    EXPECT_FALSE(model.gpuHasSource(1));
}

TEST(CurveModelTest, ClockScaleHasMarginsAndHeadroom) {
    MonitorGpu gpu = fullGpu(true);
    gpu.clockRanges[kItemGpuClock] = {0, 1000000};
    gpu.clockRanges[kItemShaderClock] = {0, 1000000};
    gpu.clockRanges[kItemMemoryClock] = {0, 1000000};
    int32_t lower = 0;
    int32_t upper = 10;
    CurveModel::clockScale(boardsOf({gpu}), kItemGpuClock, lower, upper);
    EXPECT_EQ(upper, 1210);  // max(1200, 1010) + 10
    EXPECT_EQ(lower, 0);
    lower = 0;
    upper = 10;
    CurveModel::clockScale(boardsOf({gpu}), kItemMemoryClock, lower, upper);
    EXPECT_EQ(upper, 1510);

    gpu.clockHeadroom = false;
    lower = 0;
    upper = 10;
    CurveModel::clockScale(boardsOf({gpu}), kItemShaderClock, lower, upper);
    EXPECT_EQ(upper, 1010);
}

TEST(CurveModelTest, ClockScaleIsTheUnionOverEveryGpuWithOneMargin) {
    MonitorGpu slow = fullGpu();
    slow.clockRanges[kItemGpuClock] = {405000, 800000};
    MonitorGpu fast = fullGpu();
    fast.clockRanges[kItemGpuClock] = {300000, 1100000};
    MonitorGpu noClock = fullGpu();
    noClock.offers[kItemGpuClock] = false;
    noClock.clockRanges[kItemGpuClock] = {1000, 9000000};  // not offered: not counted
    MirrorHistory mirror;
    CurveModel model(boardsOf({slow, noClock, fast}), kAllItemsShown, kPanelWidth, kPanelHeight,
                     mirror);
    EXPECT_EQ(model.item(kItemGpuClock).lower, 290);
    EXPECT_EQ(model.item(kItemGpuClock).upper, 1110);
    EXPECT_FLOAT_EQ(model.item(kItemGpuClock).scale, 820.0f / 130.0f);
    // A minimum below the margin stays at 0.
    EXPECT_EQ(model.item(kItemShaderClock).lower, 590);
    MonitorGpu low = fullGpu();
    low.clockRanges[kItemMemoryClock] = {5000, 2000000};
    int32_t lower = 0;
    int32_t upper = 10;
    CurveModel::clockScale(boardsOf({low}), kItemMemoryClock, lower, upper);
    EXPECT_EQ(lower, 0);
}

TEST(CurveModelTest, SetItemKeepsBoundsOnlyWhenLowerIsBelowUpper) {
    MirrorHistory mirror;
    CurveModel model(boardsOf({fullGpu()}), kAllItemsShown, kPanelWidth, kPanelHeight, mirror);
    EXPECT_EQ(model.item(kItemTemperature).lower, 20);
    EXPECT_EQ(model.item(kItemTemperature).upper, 150);
    EXPECT_FLOAT_EQ(model.item(kItemTemperature).scale, 1.0f);
    model.setItem(kItemTemperature, 100, 100, 0);
    EXPECT_EQ(model.item(kItemTemperature).lower, 20);
    EXPECT_EQ(model.item(kItemTemperature).divisor, 1);
    model.setItem(kItemTemperature, 200, 100, 3);
    EXPECT_EQ(model.item(kItemTemperature).upper, 150);
    EXPECT_EQ(model.item(kItemTemperature).divisor, 3);
    model.setItem(kItemPower, 0, 260, 1);
    EXPECT_FLOAT_EQ(model.item(kItemPower).scale, 2.0f);
}

TEST(CurveModelTest, TickSamplesEverySourceIntoBothHistoriesAndCountsTicks) {
    MirrorHistory mirror;
    CurveModel model(boardsOf({fullGpu(), fullGpu()}), kAllItemsShown, kPanelWidth, kPanelHeight,
                     mirror);
    MonitorLiveValues live = liveOf(50, 2);
    live.values[1][kItemFanPercent] = 40;
    live.values[1][kItemGpuClock] = kNoValue;
    model.tick(timeOf(13, 45, 7), live);
    const Para* fan = model.queue(1, kItemFanPercent).newest();
    ASSERT_NE(fan, nullptr);
    EXPECT_EQ(*fan, (Para{40, 40, 13, 45, 7}));  // the fan's second value is its own value
    EXPECT_EQ(*model.queue(1, kItemGpuClock).newest(), (Para{kNoValue, kNoValue, 13, 45, 7}));
    EXPECT_EQ(*model.queue(0, kItemPower).newest(), (Para{50, kNoValue, 13, 45, 7}));
    EXPECT_EQ(*mirror.queue(1, kItemFanPercent).newest(), *fan);
    EXPECT_TRUE(model.queue(2, kItemPower).isEmpty());
    EXPECT_TRUE(mirror.queue(2, kItemPower).isEmpty());

    for (int i = 1; i < 10; ++i) {
        EXPECT_EQ(model.tickCounter(), i % 10);
        model.tick(timeOf(13, 45, 7 + i), live);
    }
    EXPECT_EQ(model.tickCounter(), 0);
    EXPECT_EQ(model.tenTickCount(), 1);
    EXPECT_EQ(model.queue(0, kItemPower).count(), 10u);
}

TEST(CurveModelTest, MirrorIsSizedOnceAndCopiedIntoANewControl) {
    MirrorHistory mirror;
    auto first = std::make_unique<CurveModel>(boardsOf({fullGpu()}), kAllItemsShown, 60,
                                              kPanelHeight, mirror);
    EXPECT_EQ(mirror.queue(0, kItemPower).capacity(), 12u);
    for (int s = 0; s < 20; ++s) {
        first->tick(timeOf(1, 2, s), liveOf(s));
    }
    first.reset();  // the window rebuilt: the control's own history goes, the mirror stays
    EXPECT_EQ(mirror.queue(0, kItemPower).count(), 12u);

    CurveModel narrower(boardsOf({fullGpu()}), kAllItemsShown, 58, kPanelHeight, mirror);
    EXPECT_EQ(mirror.queue(0, kItemPower).capacity(), 12u);  // not sized again
    EXPECT_TRUE(narrower.queue(0, kItemPower).isEmpty());
    narrower.copyHistoriesFrom(mirror);
    const CCurveQueue& copied = narrower.queue(0, kItemPower);
    ASSERT_EQ(copied.count(), 10u);
    EXPECT_EQ(copied.at(0)->value, 10);
    EXPECT_EQ(copied.newest()->value, 19);
}

TEST(CurveModelTest, StoppingTheTimerClearsTheControlsHistories) {
    MirrorHistory mirror;
    CurveModel model(boardsOf({fullGpu()}), kAllItemsShown, kPanelWidth, kPanelHeight, mirror);
    EXPECT_TRUE(model.setSamplingPeriod(1000));
    model.tick(timeOf(1, 2, 3), liveOf(7));
    EXPECT_FALSE(model.setSamplingPeriod(0));
    EXPECT_TRUE(model.queue(0, kItemPower).isEmpty());
    EXPECT_FALSE(mirror.queue(0, kItemPower).isEmpty());
}

TEST(CurveModelTest, LogColumnsFollowGpuSlotsThenShownItems) {
    MonitorGpu gpu = fullGpu();
    ShownItems wanted{};
    wanted[kItemPower] = true;
    wanted[kItemGpuClock] = true;
    MirrorHistory mirror;
    MonitorBoards boards = boardsOf({gpu});
    boards[2] = gpu;
    CurveModel model(boards, wanted, kPanelWidth, kPanelHeight, mirror);
    const std::vector<LogColumn> columns = model.logColumns();
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[0].gpu, 0u);
    EXPECT_EQ(columns[1].item, static_cast<size_t>(kItemGpuClock));
    EXPECT_EQ(columns[2].gpu, 2u);
    EXPECT_EQ(columns[2].item, static_cast<size_t>(kItemPower));
    CurveModel none(MonitorBoards{}, wanted, kPanelWidth, kPanelHeight, mirror);
    EXPECT_TRUE(none.logColumns().empty());
}

}  // namespace
}  // namespace qv::monitor
