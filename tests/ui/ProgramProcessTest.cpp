// The real window program, started as separate processes on the offscreen platform.
#include <gtest/gtest.h>
#include <signal.h>

#include <QImage>
#include <chrono>
#include <map>

#include "support/ChildProcess.h"
#include "support/SimHarness.h"
#include "tuning/MainDialogModel.h"
#include "tuning/MainFrameModel.h"
#include "ui/UiTestSupport.h"

namespace qv::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kProgram = "quorvel";

TEST(Program, ScreenshotDrawsTheFrameIntoAPngAndEnds) {
    ProgramMachine machine;
    const std::string picture = machine.output.file("frame.png");
    ChildProcess program(kProgram, {"--simulate", "--screenshot", picture}, machine.environment());
    ASSERT_TRUE(program.start());
    const ChildProcess::Result result = program.finish(60s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    QImage image(QString::fromStdString(picture));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), tuning::kDialogWidthNormal);
    EXPECT_EQ(image.height(), tuning::kFrameHeight);
}

TEST(Program, SecondStartShowsTheHiddenFirstAndEndsQuietly) {
    ProgramMachine machine;
    ChildProcess first(kProgram, {"--simulate", "SysTray"}, machine.environment(true));
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(first.waitForOutput("main window: running, start mode 4", 60s, true))
        << first.soFar().err;

    ChildProcess second(kProgram, {"--simulate"}, machine.environment());
    ASSERT_TRUE(second.start());
    const ChildProcess::Result secondResult = second.finish(30s);
    EXPECT_EQ(secondResult.exitCode, 0);
    EXPECT_EQ(secondResult.out, "");
    EXPECT_EQ(secondResult.err, "");

    EXPECT_TRUE(first.waitForOutput("main window: shown on request", 30s, true))
        << first.soFar().err;
    first.sendSignal(SIGTERM);
    const ChildProcess::Result firstResult = first.finish(30s);
    EXPECT_EQ(firstResult.exitCode, 0) << firstResult.err;
    EXPECT_FALSE(firstResult.timedOut);
}

TEST(Program, BadOptionsAreUsageErrors) {
    ProgramMachine machine;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--screenshot"}, std::vector<std::string>{"--driver"}}) {
        ChildProcess program(kProgram, args, machine.environment());
        ASSERT_TRUE(program.start());
        const ChildProcess::Result result = program.finish(30s);
        EXPECT_EQ(result.exitCode, 2) << args[0];
        EXPECT_NE(result.err.find("usage: quorvel"), std::string::npos);
    }
}

}  // namespace
}  // namespace qv::test
