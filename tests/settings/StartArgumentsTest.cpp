#include <gtest/gtest.h>

#include "settings/StartArguments.h"

namespace qv::settings {
namespace {

TEST(StartArguments, WholeCommandLineMustBeExactlyOneWordInAnyCase) {
    const struct {
        std::vector<std::string> args;
        int mode;
    } cases[] = {
        {{}, kStartModeNone},
        {{""}, kStartModeNone},
        {{"minimize"}, kStartModeMinimize},
        {{"MINIMIZE"}, kStartModeMinimize},
        {{"MiNiMiZe"}, kStartModeMinimize},
        {{"/minimize"}, kStartModeNone},
        {{"-minimize"}, kStartModeNone},
        {{"minimize", "now"}, kStartModeNone},
        {{"minimize", ""}, kStartModeNone},
        {{"minimize "}, kStartModeNone},
        {{"minimise"}, kStartModeNone},
        {{"normal"}, kStartModeNormal},
        {{"systray"}, kStartModeSysTray},
        {{"onlyapplysettings"}, kStartModeOnlyApplySettings},
        {{"OnlyApply"}, kStartModeNone},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& a : c.args) {
            shown += "[" + a + "]";
        }
        EXPECT_EQ(parseCommandLine(c.args), c.mode) << shown;
    }
}

TEST(StartArguments, WordsAndModesMapBothWays) {
    for (int mode = kStartModeNormal; mode <= kStartModeOnlyApplySettings; ++mode) {
        const char* word = startArgumentWord(mode);
        ASSERT_NE(word, nullptr) << mode;
        EXPECT_EQ(parseStartArgument(word), mode);
    }
    EXPECT_EQ(startArgumentWord(kStartModeNone), nullptr);
    EXPECT_EQ(startArgumentWord(kStartModeDoNotRun), nullptr);
    EXPECT_EQ(startArgumentWord(6), nullptr);
    EXPECT_STREQ(startArgumentWord(kStartModeSysTray), "SysTray");
}

}  // namespace
}  // namespace qv::settings
