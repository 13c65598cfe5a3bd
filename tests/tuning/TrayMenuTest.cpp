// The tray menu's positions and commands in each language, and Quit's steps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/LanguageId.h"
#include "tuning/TrayMenu.h"

namespace qv::test {
namespace {

using tuning::TrayMenuEntry;

TEST(TrayMenu, SevenPositionsWithSeparatorsAtTwoAndFiveAndTheSameCommandsInEveryLanguage) {
    const lang::CMultiLangSupp english(lang::kLanguageIdEnglishUnitedStates);
    const lang::CMultiLangSupp simplified(lang::kLanguageIdChinesePrc);
    const lang::CMultiLangSupp traditional(lang::kLanguageIdChineseTaiwan);
    const auto menu = tuning::trayMenu(english, {});
    const std::vector<std::string> texts = {"Main window", "News", "",    "Check for update",
                                            "About",       "",     "Quit"};
    const std::vector<uint32_t> commands = {1260, 32777, 0, 1670, 32775, 0, 1261};
    for (size_t i = 0; i < menu.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(menu[i].separator, i == 2 || i == 5);
        EXPECT_EQ(menu[i].text, texts[i]);
        EXPECT_EQ(menu[i].command, commands[i]);
    }
    const auto chinese = tuning::trayMenu(simplified, {});
    const auto taiwan = tuning::trayMenu(traditional, {});
    EXPECT_EQ(chinese[0].text, "主窗口");
    EXPECT_EQ(chinese[6].text, "退出");
    EXPECT_EQ(taiwan[6].text, "結束");
    for (size_t i = 0; i < menu.size(); ++i) {
        EXPECT_EQ(chinese[i].command, menu[i].command);
        EXPECT_EQ(taiwan[i].command, menu[i].command);
    }
}

TEST(TrayMenu, NewsAndUpdateAreDisabledUntilTheirWindowsExist) {
    const lang::CMultiLangSupp english(lang::kLanguageIdEnglishUnitedStates);
    const auto missing = tuning::trayMenu(english, {});
    EXPECT_TRUE(missing[0].enabled);
    EXPECT_FALSE(missing[1].enabled);
    EXPECT_FALSE(missing[3].enabled);
    EXPECT_TRUE(missing[4].enabled);
    EXPECT_TRUE(missing[6].enabled);
    const auto present = tuning::trayMenu(english, {true, true});
    EXPECT_TRUE(present[1].enabled);
    EXPECT_TRUE(present[3].enabled);
}

TEST(TrayMenu, HidingMinimisesWhereNoNotificationAreaCouldBringTheWindowBack) {
    EXPECT_EQ(tuning::hideAction(true), tuning::HideAction::kHide);
    EXPECT_EQ(tuning::hideAction(false), tuning::HideAction::kMinimize);
}

class RecordingQuit final : public tuning::QuitSteps {
public:
    void removeTrayIcon() override { steps.push_back("tray"); }
    void keepUserSettings() override { steps.push_back("settings"); }
    void stopOverlay() override { steps.push_back("overlay"); }
    void releaseHotKeys() override { steps.push_back("hot keys"); }
    void endRun() override { steps.push_back("end"); }
    std::vector<std::string> steps;
};

TEST(TrayMenu, QuitIsIgnoredWhileApplyRunsAndOtherwiseTakesItsStepsInOrder) {
    RecordingQuit quit;
    EXPECT_FALSE(tuning::runQuit(true, quit));
    EXPECT_TRUE(quit.steps.empty());
    EXPECT_TRUE(tuning::runQuit(false, quit));
    EXPECT_EQ(quit.steps,
              (std::vector<std::string>{"tray", "settings", "overlay", "hot keys", "end"}));
}

TEST(TrayMenu, AboutNamesTheProgramAndItsVersion) {
    const std::string text = tuning::aboutText("1.2.3");
    EXPECT_EQ(text.rfind("Quorvel K 1.2.3", 0), 0u) << text;
    EXPECT_NE(text.find("NVIDIA"), std::string::npos);
}

}  // namespace
}  // namespace qv::test
