#include <gtest/gtest.h>

#include <algorithm>

#include "tools/DisplayTimingTool.h"
#include "tools/DisplayTimings.h"

namespace qv::tools {
namespace {

TEST(DisplayTimings, PixelClockAndRefreshArithmetic) {
    const DisplayTiming t = buildTiming(800, 600, 60000);
    EXPECT_EQ(t.totalWidth(), 960u);
    EXPECT_EQ(t.totalHeight(), 635u);
    EXPECT_EQ(t.pixelClockHz, 36576000u);
    EXPECT_EQ(t.refreshFromPixelClock(), 60000u);
    // Refresh in thousandths of a hertz is kept, and the product truncated once.
    EXPECT_EQ(buildTiming(1920, 1080, 59940).pixelClockHz, 2080ull * 1115 * 59940 / 1000);
    EXPECT_EQ(buildTiming(7680, 1080, 60000).pixelClockHz, 524496000u);
    EXPECT_EQ(buildTiming(7680, 1080, 50000).pixelClockHz, 437080000u);
    EXPECT_EQ(buildTiming(0, 0, 0).refreshFromPixelClock(), 0u);
}

TEST(DisplayTimings, MonitorRegisterOutsideOneToFourCountsAsOne) {
    EXPECT_EQ(monitorsAcross(0), 1u);
    EXPECT_EQ(monitorsAcross(5), 1u);
    EXPECT_EQ(monitorsAcross(255), 1u);
    EXPECT_EQ(monitorsAcross(4), 4u);
    EXPECT_EQ(timingList(0).front().text, timingList(1).front().text);
}

TEST(DisplayTimings, ListForOneMonitorHasEverySizeAtSixtyHertz) {
    const auto list = timingList(1);
    ASSERT_EQ(list.size(), 12u);  // eleven sizes and the manual entry
    EXPECT_EQ(list.front().text, "800X600@60Hz 36.6MHz 8 bits");
    EXPECT_EQ(list[9].text, "1920X1080@60Hz 139.2MHz 8 bits");
    EXPECT_TRUE(list.back().manual);
    EXPECT_EQ(list.back().text, "Manual configure");
}

TEST(DisplayTimings, WideListsFallBackToFiftyHertzAndSkipWhatNeitherFits) {
    std::vector<std::string> texts;
    for (const auto& entry : timingList(4)) {
        texts.push_back(entry.text);
        EXPECT_LT(entry.timing.pixelClockHz, kPixelClockLimitHz) << entry.text;
    }
    // 1600x900 four wide is over the limit at 60 Hz and under it at 50 Hz; from 1600x1200 on
    // (1920x1080 among them) neither fits.
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "3200X600@60Hz 128.0MHz 8 bits", "4096X768@60Hz 205.1MHz 8 bits",
                         "5120X800@60Hz 264.5MHz 8 bits", "5120X1024@60Hz 335.5MHz 8 bits",
                         "5440X768@60Hz 269.8MHz 8 bits", "5760X900@60Hz 332.1MHz 8 bits",
                         "6400X900@50Hz 306.7MHz 8 bits", "Manual configure"}));
}

TEST(DisplayTimings, CustomDisplayCarriesTheTimingRecord) {
    drv::CustomDisplay display{};
    ASSERT_TRUE(customDisplayFor(buildTiming(2400, 600, 60000), display));
    EXPECT_EQ(display.version, drv::kCustomDisplayVersion);
    EXPECT_EQ(display.width, 2400u);
    EXPECT_EQ(display.height, 600u);
    const uint32_t* f = display.timing.fields;
    EXPECT_EQ(f[drv::kTimingHorizontalVisible], 2400u);
    EXPECT_EQ(f[drv::kTimingHorizontalTotal], 2560u);
    EXPECT_EQ(f[drv::kTimingHorizontalSyncWidth], 32u);
    EXPECT_EQ(f[drv::kTimingHorizontalFrontPorch], 80u);
    EXPECT_EQ(f[drv::kTimingHorizontalSyncPolarity], 1u);
    EXPECT_EQ(f[drv::kTimingVerticalVisible], 600u);
    EXPECT_EQ(f[drv::kTimingVerticalTotal], 635u);
    EXPECT_EQ(f[drv::kTimingVerticalSyncWidth], 6u);
    EXPECT_EQ(f[drv::kTimingVerticalFrontPorch], 26u);
    EXPECT_EQ(f[drv::kTimingVerticalSyncPolarity], 1u);
    EXPECT_EQ(f[drv::kTimingPixelClockHz], 2560u * 635 * 60);
    for (size_t i = drv::kTimingPixelClockHz + 1; i < std::size(display.timing.fields); ++i) {
        EXPECT_EQ(f[i], 0u) << i;
    }
    // A pixel clock the record cannot hold is refused rather than wrapped.
    EXPECT_FALSE(customDisplayFor(buildTiming(65535, 65535, 1000000), display));
    EXPECT_FALSE(customDisplayFor(DisplayTiming{}, display));
}

TEST(DisplayTimings, HexDataStopsAtTheFirstWordThatIsNotAByte) {
    EXPECT_EQ(parseHexBytes("02 1f"), (std::vector<uint8_t>{0x02, 0x1F}));
    EXPECT_EQ(parseHexBytes("  03   A  "), (std::vector<uint8_t>{0x03, 0x0A}));
    EXPECT_EQ(parseHexBytes(kDebugDataStart).size(), 16u);
    EXPECT_EQ(parseHexBytes("02 100 03"), (std::vector<uint8_t>{0x02}));
    EXPECT_EQ(parseHexBytes("0x 02"), std::vector<uint8_t>{});
    EXPECT_TRUE(parseHexBytes("").empty());
}

}  // namespace
}  // namespace qv::tools
