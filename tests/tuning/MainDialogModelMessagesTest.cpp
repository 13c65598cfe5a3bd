#include <gtest/gtest.h>

#include <vector>

#include "tuning/MainDialogModelMessages.h"

namespace qv::tuning {
namespace {

TEST(MainDialogMessages, EachMessageAsksForItsAction) {
    struct Case {
        uint32_t message, argument;
        DialogAction action;
    };
    const std::vector<Case> cases = {
        {0x28D1, 0, DialogAction::kSliderMoved},
        {0x28D2, 7, DialogAction::kSliderMoved},
        {0x7E8, 0, DialogAction::kOpenMonitor},
        {0x7E8, 1, DialogAction::kOpenMonitorWithHistories},
        {2025, 0, DialogAction::kOpenAdvanced},
        {0xFB8, 3, DialogAction::kHotKey},
        {0xBD0, 0, DialogAction::kTrayCallback},
        {0xBD4, 100, DialogAction::kShowInformation},
        {0xBD4, 99, DialogAction::kNone},
        {0xBD5, 100, DialogAction::kNone},
        {0x28D3, 0, DialogAction::kNone},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dialogAction(c.message, c.argument), c.action)
            << std::hex << c.message << " " << c.argument;
    }
}

TEST(MainDialogMessages, CommandsByHighWord) {
    EXPECT_EQ(commandAction(0xCADB0002u), DialogAction::kApplyDone);
    EXPECT_EQ(commandResult(0xCADB0002u), 2u);
    EXPECT_EQ(commandAction(0xCACA0000u), DialogAction::kFlashDone);
    EXPECT_EQ(commandAction(0x0000CADBu), DialogAction::kNone);
}

}  // namespace
}  // namespace qv::tuning
