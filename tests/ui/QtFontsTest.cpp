#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>
#include <filesystem>
#include <fstream>

#include "app/AppFonts.h"
#include "support/SimHarness.h"
#include "ui/QtFonts.h"

namespace qv::ui {
namespace {

TEST(QtFonts, DefinitionsBecomeFontsOfTheServingFamilies) {
    const QFont digital = toQFont(app::fontDefinition(app::kFontDigitalLarge));
    EXPECT_EQ(digital.family(), "DSEG7 Classic");
    EXPECT_EQ(digital.pixelSize(), 24);
    EXPECT_EQ(digital.weight(), QFont::Normal);

    const QFont title = toQFont(app::fontDefinition(app::kFontTitle));
    EXPECT_EQ(title.family(), "Liberation Sans");
    EXPECT_EQ(title.pixelSize(), 16);
    EXPECT_EQ(title.weight(), QFont::Bold);

    const app::FontDefinition& vertical = app::fontDefinition(app::kFontVertical);
    EXPECT_EQ(vertical.escapement, 2700);
    EXPECT_EQ(vertical.orientation, 900);
    EXPECT_EQ(toQFont(vertical).weight(), QFont::Normal);
    EXPECT_EQ(&app::fontDefinition(0), &app::fontDefinition(1));  // out of range: the first
    EXPECT_EQ(&app::fontDefinition(11), &app::fontDefinition(1));
}

TEST(QtFonts, ProviderComparesFamiliesExactlyAndAddsOnlyRealFontFiles) {
    QtFontProvider fonts;
    EXPECT_TRUE(fonts.familyInstalled(app::kFaceArial.family));
    EXPECT_TRUE(fonts.familyInstalled(app::kFaceDigital.family));
    EXPECT_FALSE(fonts.familyInstalled("liberation sans"));
    EXPECT_FALSE(fonts.familyInstalled(app::kFaceDigital.name));  // "DS-Digital" is not here

    test::TempDir folder;
    EXPECT_FALSE(fonts.addFontFile(folder.file("missing.ttf")));
    std::ofstream(folder.file("broken.ttf")) << "not a font";
    EXPECT_FALSE(fonts.addFontFile(folder.file("broken.ttf")));
}

TEST(QtFonts, SetUpAddsNothingWhenBothFamiliesAreInstalled) {
    QtFontProvider fonts;
    const int before = static_cast<int>(QFontDatabase::families().size());
    test::TempDir emptyProgramFolder;  // no font files: adding one would fail
    EXPECT_EQ(app::setUpFonts(fonts, emptyProgramFolder.path()), 0);
    EXPECT_EQ(static_cast<int>(QFontDatabase::families().size()), before);
}

}  // namespace
}  // namespace qv::ui
