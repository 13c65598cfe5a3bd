#include <gtest/gtest.h>

#include <vector>

#include "tuning/OverlayText.h"

namespace qv::tuning {
namespace {

const std::string kTitle = "ZENTRAX QUORVEL K \n";

OverlayGpu card(int32_t temperature, int32_t percent = 45, int32_t rpm = 1800) {
    OverlayGpu g;
    g.graphicsMHz = 1006;
    g.shaderMHz = 2012;
    g.memoryMHz = 3004;
    g.temperature = temperature;
    g.fanPercent = percent;
    g.fanRpm = rpm;
    return g;
}

struct OverlayCase {
    const char* name;
    OverlaySwitches switches;
    std::vector<OverlayGpu> gpus;
    std::string expected;
    // The overlay drawing the text measures a frame rate (inside a game); the desktop's does not.
    bool frameRateMeasured = true;
};

class OverlayTextTable : public testing::TestWithParam<OverlayCase> {};

TEST_P(OverlayTextTable, BuildsTheTextExactly) {
    const OverlayCase& c = GetParam();
    EXPECT_EQ(buildOverlayText(c.switches, c.gpus, c.frameRateMeasured), c.expected);
}

OverlayGpu rpmCard() {
    OverlayGpu g = card(70, 50, 2100);
    g.fanReadsRpm = true;
    return g;
}

OverlayGpu noShader() {
    OverlayGpu g = card(50);
    g.shaderMHz = -1;
    return g;
}

OverlayGpu uncooled() {
    OverlayGpu g = card(58);
    g.hasCooler = false;
    return g;
}

INSTANTIATE_TEST_SUITE_P(
    Switches, OverlayTextTable,
    testing::Values(
        OverlayCase{
            "TemperatureOnly", {false, true, false, false}, {card(65)}, kTitle + "TEMP.:65\rC\n"},
        OverlayCase{"TwoGpusTemperature",
                    {false, true, false, false},
                    {card(65), card(71)},
                    kTitle + "GPU0 TEMP.:65\rC\nGPU1 TEMP.:71\rC\n"},
        OverlayCase{
            "FramerateOnly", {false, false, true, false}, {card(65), card(71)}, kTitle + "\n\n"},
        // Nothing measures a frame rate: the item is left out, and no title-only line is kept.
        OverlayCase{"FramerateOnlyUnmeasuredIsEmpty",
                    {false, false, true, false},
                    {card(65), card(71)},
                    "",
                    false},
        OverlayCase{"FramerateUnmeasuredLeavesTheOtherItems",
                    {false, true, true, true},
                    {card(65)},
                    kTitle + "TEMP.:65\rC FAN:45%\n",
                    false},
        OverlayCase{"AllOff", {false, false, false, false}, {card(65)}, ""},
        OverlayCase{"ClockOnly",
                    {true, false, false, false},
                    {card(65)},
                    kTitle + "GPU:1006MHZ SHADER:2012MHZ MEM.:3004MHZ\n\n"},
        OverlayCase{"NoShaderClockLeavesTheItemOut",
                    {true, false, false, false},
                    {noShader()},
                    kTitle + "GPU:1006MHZ MEM.:3004MHZ\n\n"},
        OverlayCase{"ClockAndFan",
                    {true, false, false, true},
                    {card(65)},
                    kTitle + "GPU:1006MHZ SHADER:2012MHZ MEM.:3004MHZ \nFAN:45%\n"},
        OverlayCase{"TemperatureAndFanRpm",
                    {false, true, false, true},
                    {rpmCard()},
                    kTitle + "TEMP.:70\rC FAN:2100RPM\n"},
        OverlayCase{"UncooledHasNoFanItem",
                    {false, true, false, true},
                    {uncooled(), card(60, 33)},
                    kTitle + "GPU0 TEMP.:58\rC \nGPU1 TEMP.:60\rC FAN:33%\n"},
        OverlayCase{"FanOnlyUncooledKeepsThePrefix",
                    {false, false, false, true},
                    {uncooled(), rpmCard()},
                    kTitle + "GPU0 \nGPU1 FAN:2100RPM\n"},
        // A failed read is no number: it shows as missing.
        OverlayCase{"FailedTemperatureAndFanReads",
                    {false, true, false, true},
                    {card(-1, -1)},
                    kTitle + "TEMP.:---\rC FAN:---%\n"},
        OverlayCase{
            "Everything",
            {true, true, true, true},
            {card(65), rpmCard()},
            kTitle + "GPU0 GPU:1006MHZ SHADER:2012MHZ MEM.:3004MHZ \nTEMP.:65\rC FAN:45%\n" +
                "GPU1 GPU:1006MHZ SHADER:2012MHZ MEM.:3004MHZ \nTEMP.:70\rC FAN:2100RPM\n"}),
    [](const testing::TestParamInfo<OverlayCase>& p) { return std::string(p.param.name); });

TEST(OverlayText, NeverLongerThanTheOverlayTakes) {
    OverlayGpu big = card(2000000000, 2000000000, 2000000000);
    big.graphicsMHz = big.shaderMHz = big.memoryMHz = -2000000000;
    const std::vector<OverlayGpu> gpus(8, big);
    const std::string text = buildOverlayText({true, true, true, true}, gpus, true);
    EXPECT_EQ(text.size(), kOverlayTextBytes - 1);
    EXPECT_EQ(text.rfind(kTitle, 0), 0u);
}

TEST(OverlayFeed, HandsOverOnlyChangedText) {
    OverlayFeed feed;
    const std::vector<OverlayGpu> gpus = {card(65)};
    OverlaySwitches on{false, true, false, false};
    EXPECT_TRUE(feed.update(buildOverlayText(on, gpus, false)));
    EXPECT_FALSE(feed.update(buildOverlayText(on, gpus, false)));
    EXPECT_TRUE(feed.update(buildOverlayText(on, std::vector<OverlayGpu>{card(66)}, false)));
    // All off: the empty text goes once, then nothing until a switch changes.
    const OverlaySwitches off{};
    EXPECT_TRUE(feed.update(buildOverlayText(off, gpus, false)));
    EXPECT_EQ(feed.last(), "");
    EXPECT_FALSE(feed.update(buildOverlayText(off, gpus, false)));
    // The frame-rate switch alone, with no frame rate measured, is still nothing to hand over.
    EXPECT_FALSE(feed.update(buildOverlayText({false, false, true, false}, gpus, false)));
    EXPECT_TRUE(feed.update(buildOverlayText(on, gpus, false)));
}

TEST(OverlayFeed, TheFirstTextGoesEvenWhenEmpty) {
    OverlayFeed feed;
    EXPECT_TRUE(feed.update(""));
    EXPECT_FALSE(feed.update(""));
}

}  // namespace
}  // namespace qv::tuning
