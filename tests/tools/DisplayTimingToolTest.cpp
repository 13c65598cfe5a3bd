#include <gtest/gtest.h>

#include <deque>

#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "tools/AdapterSimSupport.h"
#include "tools/DisplayTimingTool.h"

namespace qv::tools {
namespace {

using test::FakeClock;
using test::SimSession;

class ScriptedPrompt final : public platform::Prompt {
public:
    platform::PromptAnswer show(const std::string&, const std::string& text, platform::PromptIcon,
                                platform::PromptButtons buttons) override {
        shown.push_back(text);
        if (answers.empty()) {
            return platform::dismissedAnswer(buttons);
        }
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::vector<std::string> shown;
    std::deque<platform::PromptAnswer> answers;
};

constexpr size_t kBuiltinAdapterDisplay = 1;

class DisplayTimingToolTest : public ::testing::Test {
protected:
    std::unique_ptr<DisplayTimingTool> openTool(SimSession& session) {
        auto tool = std::make_unique<DisplayTimingTool>(session.loader(), clock_, prompt_,
                                                        correction_);
        tool->open();
        return tool;
    }
    int indexOf(const DisplayTimingTool& tool, const std::string& text) {
        const auto& list = tool.state().timings;
        const auto it = std::find(list.begin(), list.end(), text);
        return it == list.end() ? -1 : static_cast<int>(it - list.begin());
    }

    test::TempDir dir_;
    FakeClock clock_;
    ScriptedPrompt prompt_;
    BezelCorrection correction_;
};

TEST_F(DisplayTimingToolTest, OpensOnTheAdapterWithItsListFirmwareAndDebugRow) {
    SimSession session;
    correction_ = {5, 9};
    const auto tool = openTool(session);
    const auto& s = tool->state();
    EXPECT_TRUE(s.adapterFound);
    ASSERT_FALSE(s.timings.empty());
    EXPECT_EQ(s.timings.front(), "2400X600@60Hz 97.5MHz 8 bits");  // three monitors across
    EXPECT_EQ(s.timings.back(), "Manual configure");
    EXPECT_EQ(s.status, "FirmWare Version:VX-3 FW 1.0.4");
    EXPECT_TRUE(s.applyEnabled);
    // The corrections are put back on the adapter at once, as Apply would.
    EXPECT_EQ(s.horizontal.pos, 5);
    EXPECT_EQ(s.vertical.label, "9");
    EXPECT_EQ(test::displayStateLine(session, kBuiltinAdapterDisplay), "1 5 9 0 0");
    EXPECT_EQ(s.debugMode, kDebugModePaAction);
    EXPECT_EQ(s.debugData, "03 9");
    EXPECT_EQ(s.debugAddress, "0");
    EXPECT_EQ(s.debugCount, "2");
    EXPECT_TRUE(prompt_.shown.empty());
}

TEST_F(DisplayTimingToolTest, MonitorCountDecidesTheList) {
    SimSession session(test::adapterConfig(dir_, "adapter = yes\nmonitors = 4\n"));
    const auto tool = openTool(session);
    EXPECT_EQ(tool->state().timings.front(), "3200X600@60Hz 128.0MHz 8 bits");
    EXPECT_EQ(indexOf(*tool, "7680X1080@60Hz 524.5MHz 8 bits"), -1);
    EXPECT_EQ(indexOf(*tool, "7680X1080@50Hz 437.1MHz 8 bits"), -1);
}

TEST_F(DisplayTimingToolTest, WithoutAdapterTheFirmwareFailsAndApplyIsOff) {
    SimSession session(test::adapterConfig(dir_, ""));
    const auto tool = openTool(session);
    EXPECT_FALSE(tool->state().adapterFound);
    EXPECT_TRUE(tool->state().timings.empty());
    EXPECT_EQ(tool->state().status, "Read Firmware Version failed!");
    EXPECT_FALSE(tool->state().applyEnabled);
}

TEST_F(DisplayTimingToolTest, StuckAdapterFailsWithinTheToolsOwnLimit) {
    SimSession session(test::adapterConfig(dir_, "adapter = yes\nstuck_busy = yes\n"));
    const auto tool = openTool(session);
    EXPECT_EQ(tool->state().status, "Read Firmware Version failed!");
    EXPECT_FALSE(tool->state().applyEnabled);
    // Only the capability read answers; the unlock times out once, and nothing else waits.
    EXPECT_GE(clock_.tickMs(), kToolMailbox.busyLimitMs);
    EXPECT_LT(clock_.tickMs(), 2 * kToolMailbox.busyLimitMs);
}

TEST_F(DisplayTimingToolTest, SelectingShowsTheTimingAndManualOpensTheFields) {
    SimSession session;
    const auto tool = openTool(session);
    tool->selectTiming(0);
    const auto& s = tool->state();
    EXPECT_FALSE(s.editsEnabled);
    EXPECT_EQ(s.width, "2400");
    EXPECT_EQ(s.height, "600");
    EXPECT_EQ(s.frequency, "60000");
    EXPECT_EQ(s.pixelClock, "97536000");
    tool->selectTiming(static_cast<int>(s.timings.size()) - 1);
    EXPECT_TRUE(s.editsEnabled);
    tool->selectTiming(99);
    EXPECT_EQ(s.selected, static_cast<int>(s.timings.size()) - 1);
}

TEST_F(DisplayTimingToolTest, SetTriesTheTimingAndSavesItWhenAsked) {
    SimSession session;
    const auto tool = openTool(session);
    tool->selectTiming(0);
    prompt_.answers = {platform::PromptAnswer::kNo};
    tool->pressSet();
    ASSERT_EQ(prompt_.shown.size(), 1u);
    EXPECT_EQ(prompt_.shown[0], kTextSaveQuestion);
    EXPECT_EQ(test::displayStateLine(session, kBuiltinAdapterDisplay).substr(6), "0 1")
        << "tried, not saved";

    const int manual = static_cast<int>(tool->state().timings.size()) - 1;
    tool->selectTiming(manual);
    tool->editManual("3000", "700", "59940");
    prompt_.answers = {platform::PromptAnswer::kYes};
    tool->pressSet();
    EXPECT_EQ(tool->state().pixelClock, std::to_string(3160ull * 735 * 59940 / 1000));
    EXPECT_EQ(prompt_.shown.size(), 2u);
    EXPECT_EQ(test::displayStateLine(session, kBuiltinAdapterDisplay).substr(6), "1 0");
}

TEST_F(DisplayTimingToolTest, SetFailuresAreReported) {
    SimSession session;
    const auto tool = openTool(session);
    const int manual = static_cast<int>(tool->state().timings.size()) - 1;
    tool->selectTiming(manual);
    for (const auto& [w, h, f] : {std::tuple{"12ab", "700", "60000"}, {"0", "700", "60000"},
                                  {"3000", "", "60000"}, {"65535", "65535", "1000000"}}) {
        prompt_.shown.clear();
        tool->editManual(w, h, f);
        tool->pressSet();
        EXPECT_EQ(prompt_.shown, std::vector<std::string>{kTextSetFailed}) << w << " " << h;
    }
    session.sim().injectStatus(drv::kDispTryCustomDisplay, drv::kError, 1);
    tool->selectTiming(0);
    prompt_.shown.clear();
    tool->pressSet();
    EXPECT_EQ(prompt_.shown, std::vector<std::string>{kTextSetFailed});
    // Keeping the tried timing can fail too; that is said, not passed over.
    session.sim().injectStatus(drv::kDispSaveCustomDisplay, drv::kError, 1);
    prompt_.shown.clear();
    prompt_.answers = {platform::PromptAnswer::kYes};
    tool->pressSet();
    EXPECT_EQ(prompt_.shown, (std::vector<std::string>{kTextSaveQuestion, kTextSetFailed}));
}

TEST_F(DisplayTimingToolTest, ApplySendsBothCorrectionsAndKeepsThem) {
    SimSession session;
    const auto tool = openTool(session);
    tool->moveSlider(true, 26);
    tool->moveSlider(false, 300);
    EXPECT_EQ(tool->state().horizontal.label, "26");
    EXPECT_EQ(tool->state().vertical.pos, kBezelMax);
    tool->pressApply();
    EXPECT_TRUE(prompt_.shown.empty());
    EXPECT_EQ(test::displayStateLine(session, kBuiltinAdapterDisplay), "1 26 255 0 0");
    EXPECT_EQ(correction_.horizontal, 26);
    EXPECT_EQ(correction_.vertical, 255);
    EXPECT_EQ(tool->state().debugData, "03 ff");
}

TEST_F(DisplayTimingToolTest, DebugDataMustMatchItsCount) {
    SimSession session;
    const auto tool = openTool(session);
    tool->editDebug("02 10 20", "2");
    EXPECT_FALSE(tool->sendDebugData());
    EXPECT_EQ(prompt_.shown, std::vector<std::string>{kTextInvalidCount});
    prompt_.shown.clear();
    tool->editDebug(kDebugDataStart, "16");  // sixteen bytes are allowed, the adapter refuses them
    EXPECT_FALSE(tool->sendDebugData());
    EXPECT_EQ(prompt_.shown, std::vector<std::string>{kTextWriteDataFailed});
    prompt_.shown.clear();
    tool->editDebug("02 0c", "x");
    EXPECT_FALSE(tool->sendDebugData());
    EXPECT_EQ(prompt_.shown, std::vector<std::string>{kTextInvalidCount});
    prompt_.shown.clear();
    tool->editDebug("02 0c", "2");
    EXPECT_TRUE(tool->sendDebugData());
    EXPECT_TRUE(prompt_.shown.empty());
    EXPECT_EQ(test::displayStateLine(session, kBuiltinAdapterDisplay).substr(0, 4), "1 12");
}

TEST_F(DisplayTimingToolTest, FailingChannelShowsItsMessageAndTheToolStaysUsable) {
    SimSession session;
    const auto tool = openTool(session);
    // A transfer of the horizontal command fails; the vertical one still goes.
    session.sim().injectStatus(drv::kDispDpAuxChannelControl, drv::kError, 1);
    tool->moveSlider(true, 3);
    tool->moveSlider(false, 4);
    tool->pressApply();
    EXPECT_EQ(prompt_.shown, std::vector<std::string>{kTextWriteDataFailed});
    EXPECT_EQ(correction_.horizontal, 0) << "not sent, not kept";
    EXPECT_EQ(correction_.vertical, 4);
    // Display handles that went away: the command that meets them fails with its message, and
    // the displays are found again for the next one.
    session.sim().invalidateHandles(drv::kHandleInvalidated);
    prompt_.shown.clear();
    tool->moveSlider(false, 6);
    tool->pressApply();
    EXPECT_EQ(prompt_.shown, std::vector<std::string>{kTextWriteDataFailed});
    EXPECT_EQ(correction_.vertical, 6);
    EXPECT_EQ(test::displayStateLine(session, kBuiltinAdapterDisplay), "1 0 6 0 0");
    tool->selectTiming(1);
    EXPECT_EQ(tool->state().width, "3072");
}

}  // namespace
}  // namespace qv::tools
