#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <vector>

#include "settings/FileRegistryStore.h"
#include "settings/RegistrySettings.h"
#include "settings/RegistryValues.h"
#include "support/TempDir.h"
#include "tuning/OverlayPlacement.h"

namespace qv::tuning {
namespace {

constexpr OverlaySize kLine{200, 60};
constexpr OverlayRect kNoWindow{};

// A screen whose whole area is usable.
OverlayScreen screen(int32_t x, int32_t y, int32_t width, int32_t height) {
    return {{x, y, width, height}, {x, y, width, height}};
}

// A screen with a panel of `panel` pixels along its top.
OverlayScreen screenWithTopPanel(int32_t x, int32_t y, int32_t width, int32_t height,
                                 int32_t panel) {
    return {{x, y, width, height}, {x, y + panel, width, height - panel}};
}

const OverlayScreen kFullHd = screen(0, 0, 1920, 1080);

struct PlaceCase {
    const char* name;
    std::vector<OverlayScreen> screens;
    OverlayRect mainWindow;
    OverlaySize line;
    OverlayPoint expected;
};

class DefaultOverlayPlace : public testing::TestWithParam<PlaceCase> {};

TEST_P(DefaultOverlayPlace, KeepsOffTheMainWindow) {
    const PlaceCase& c = GetParam();
    EXPECT_EQ(defaultOverlayPlace(c.screens, c.mainWindow, c.line), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DefaultOverlayPlace,
    testing::Values(
        PlaceCase{"MainWindowElsewhere", {kFullHd}, {800, 200, 400, 720}, kLine, {8, 8}},
        PlaceCase{"NoMainWindowFrameYet", {kFullHd}, kNoWindow, kLine, {8, 8}},
        PlaceCase{"BelowThePanel", {screenWithTopPanel(0, 0, 1920, 1080, 32)}, kNoWindow,
                  kLine, {8, 40}},
        PlaceCase{"MainWindowAtTheCornerGoesBelowIt", {kFullHd}, {0, 0, 400, 720}, kLine,
                  {8, 728}},
        // Touching edges do not overlap: the frame ending where the line starts is clear.
        PlaceCase{"MainWindowJustLeftOfTheCorner", {kFullHd}, {-400, 0, 408, 720}, kLine, {8, 8}},
        PlaceCase{"NoRoomBelowGoesRightOfIt", {screen(0, 0, 1920, 800)}, {0, 0, 400, 760}, kLine,
                  {408, 8}},
        PlaceCase{"MainWindowAcrossTheWholeWidthGoesBelow", {screen(0, 0, 1280, 1024)},
                  {0, 0, 1280, 720}, kLine, {8, 728}},
        // Nowhere clear on the only screen: the corner, over the main window.
        PlaceCase{"MainWindowCoveringTheScreen", {screen(0, 0, 1280, 1024)}, {0, 0, 1280, 1000},
                  kLine, {8, 8}},
        PlaceCase{"MainWindowOnTheSecondScreen",
                  {kFullHd, screen(1920, 0, 1280, 1024)},
                  {1920, 0, 400, 720},
                  kLine,
                  {1928, 728}},
        PlaceCase{"MainWindowMostlyOnTheSecondScreen",
                  {kFullHd, screen(1920, 0, 1280, 1024)},
                  {1800, 100, 400, 720},
                  kLine,
                  {1928, 8}},
        PlaceCase{"ScreenLeftOfThePrimary",
                  {kFullHd, screen(-1280, 0, 1280, 1024)},
                  {-1280, 0, 400, 720},
                  kLine,
                  {-1272, 728}},
        // The main window fills a small screen: the line goes to a screen it does not touch.
        PlaceCase{"TinyScreenFullSoAnotherScreen",
                  {screen(0, 0, 640, 480), screen(640, 0, 1920, 1080)},
                  {0, 0, 400, 720},
                  OverlaySize{250, 60},
                  {648, 8}},
        PlaceCase{"TinyScreenAlone", {screen(0, 0, 320, 240)}, {0, 0, 400, 720}, kLine, {8, 8}},
        PlaceCase{"LineLargerThanTheScreen", {screen(0, 0, 320, 240)}, kNoWindow,
                  OverlaySize{400, 300}, {8, 8}},
        PlaceCase{"NoScreens", {}, {0, 0, 400, 720}, kLine, {8, 8}}),
    [](const testing::TestParamInfo<PlaceCase>& p) { return std::string(p.param.name); });

TEST(OverlayPlace, AStoredPlaceIsUsedWhileItIsOnAScreen) {
    const std::vector<OverlayScreen> two = {kFullHd, screen(-1280, 0, 1280, 1024)};
    const OverlayRect mainWindow{0, 0, 400, 720};
    // Kept, even over the main window: the user put it there.
    EXPECT_EQ(overlayPlace(two, mainWindow, kLine, OverlayPoint{100, 100}),
              (OverlayPoint{100, 100}));
    EXPECT_EQ(overlayPlace(two, mainWindow, kLine, OverlayPoint{-600, 900}),
              (OverlayPoint{-600, 900}));
    // Its corner still shows at the right and bottom edges.
    EXPECT_EQ(overlayPlace(two, mainWindow, kLine, OverlayPoint{1904, 1064}),
              (OverlayPoint{1904, 1064}));

    // The left screen is gone, or the place is too far out to be seen and taken again.
    const std::vector<OverlayScreen> one = {kFullHd};
    const OverlayPoint fallback{8, 728};
    EXPECT_EQ(overlayPlace(one, mainWindow, kLine, OverlayPoint{-600, 900}), fallback);
    EXPECT_EQ(overlayPlace(one, mainWindow, kLine, OverlayPoint{1910, 8}), fallback);
    EXPECT_EQ(overlayPlace(one, mainWindow, kLine, OverlayPoint{8, -20}), fallback);
    EXPECT_EQ(overlayPlace(one, mainWindow, kLine, std::nullopt), fallback);
    // Any 32-bit number, as a hand-edited store may hold, without overflow.
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(overlayPlace(one, mainWindow, kLine, OverlayPoint{kMax - 4, kMax - 4}), fallback);
    EXPECT_EQ(overlayPlace(one, mainWindow, kLine, OverlayPoint{kMin + 1, kMin + 1}), fallback);
    EXPECT_EQ(overlayPlace(one, {kMax - 10, kMax - 10, kMax, kMax}, {kMax, kMax},
                           OverlayPoint{kMax, 0}),
              (OverlayPoint{8, 8}));
}

// The window's rules over a real settings file.
class OverlayPlacementTest : public ::testing::Test {
protected:
    OverlayPlacementTest() { settings::loadRegistrySettings(store, settings); }

    std::optional<uint32_t> storedValue(const char* name) {
        uint32_t value = 0;
        settings::FileRegistryStore reader(paths());
        return reader.readValue(name, value) ? std::optional<uint32_t>(value) : std::nullopt;
    }
    settings::StorePaths paths() const {
        return {folder.file("settings.conf"), folder.file("quorvel.desktop")};
    }

    const std::vector<OverlayScreen> screens = {kFullHd};
    const OverlayRect mainWindow{0, 0, 400, 720};
    test::TempDir folder;
    settings::FileRegistryStore store{paths()};
    settings::RegistrySettings settings;
};

TEST_F(OverlayPlacementTest, TakesTheMouseOnlyWhileMovable) {
    OverlayPlacement placement(&store, &settings);
    EXPECT_FALSE(placement.movable());
    EXPECT_FALSE(placement.press({100, 100}, {8, 728}));
    EXPECT_FALSE(placement.dragging());
    EXPECT_EQ(placement.drag({300, 300}), std::nullopt);
    EXPECT_EQ(placement.release({300, 300}, screens, mainWindow, kLine), std::nullopt);
    EXPECT_EQ(placement.chosen(), std::nullopt);
    EXPECT_EQ(storedValue(settings::kValueOsdPositionX), std::nullopt);
}

TEST_F(OverlayPlacementTest, ADropIsKeptForTheNextStart) {
    {
        OverlayPlacement placement(&store, &settings);
        placement.setMovable(true);
        ASSERT_TRUE(placement.press({20, 740}, {8, 728}));
        EXPECT_EQ(placement.drag({500, 900}), (OverlayPoint{488, 888}));
        // The user switches to another program mid-drag: the drag still ends where it is let go.
        placement.setMovable(false);
        EXPECT_EQ(placement.release({1012, 40}, screens, mainWindow, kLine),
                  (OverlayPoint{1000, 28}));
        EXPECT_FALSE(placement.dragging());
        EXPECT_EQ(placement.chosen(), (OverlayPoint{1000, 28}));
    }
    EXPECT_EQ(storedValue(settings::kValueOsdPositionX), 1000u);
    EXPECT_EQ(storedValue(settings::kValueOsdPositionY), 28u);

    settings::RegistrySettings next;
    settings::loadRegistrySettings(store, next);
    const OverlayPlacement again(&store, &next);
    EXPECT_EQ(again.place(screens, mainWindow, kLine), (OverlayPoint{1000, 28}));
    // Started later on a smaller screen, the place is off it: the default place.
    const std::vector<OverlayScreen> small = {screen(0, 0, 800, 600)};
    EXPECT_EQ(again.place(small, {0, 0, 400, 560}, kLine), (OverlayPoint{408, 8}));
    EXPECT_EQ(again.chosen(), (OverlayPoint{1000, 28}));  // kept for when the screen is back
}

TEST_F(OverlayPlacementTest, AClickWithoutAMoveChoosesNothing) {
    OverlayPlacement placement(&store, &settings);
    placement.setMovable(true);
    ASSERT_TRUE(placement.press({20, 740}, {8, 728}));
    EXPECT_EQ(placement.release({20, 740}, screens, mainWindow, kLine), (OverlayPoint{8, 728}));
    EXPECT_EQ(placement.chosen(), std::nullopt);
    EXPECT_EQ(storedValue(settings::kValueOsdPositionX), std::nullopt);
}

TEST_F(OverlayPlacementTest, ADropOffEveryScreenForgetsThePlace) {
    ASSERT_TRUE(settings::saveOsdPosition(store, settings, 600, 300));
    OverlayPlacement placement(&store, &settings);
    ASSERT_EQ(placement.chosen(), (OverlayPoint{600, 300}));
    placement.setMovable(true);
    ASSERT_TRUE(placement.press({610, 310}, {600, 300}));
    EXPECT_EQ(placement.release({3000, 310}, screens, mainWindow, kLine), (OverlayPoint{8, 728}));
    EXPECT_EQ(placement.chosen(), std::nullopt);
    EXPECT_EQ(settings.osdPositionX, settings::kOsdPositionNotSet);
    EXPECT_EQ(storedValue(settings::kValueOsdPositionX), 2147483648u);
    EXPECT_EQ(storedValue(settings::kValueOsdPositionY), 2147483648u);
}

TEST_F(OverlayPlacementTest, HalfAStoredPlaceIsNoPlace) {
    settings.osdPositionX = 600;
    EXPECT_EQ(OverlayPlacement(&store, &settings).chosen(), std::nullopt);
}

TEST(OverlayPlacementWithoutAStore, ADropLastsForThisRun) {
    OverlayPlacement placement(nullptr, nullptr);
    placement.setMovable(true);
    ASSERT_TRUE(placement.press({10, 10}, {8, 8}));
    EXPECT_EQ(placement.release({110, 60}, std::vector<OverlayScreen>{kFullHd}, kNoWindow, kLine),
              (OverlayPoint{108, 58}));
    EXPECT_EQ(placement.chosen(), (OverlayPoint{108, 58}));
}

}  // namespace
}  // namespace qv::tuning
