// The real window program, started as separate processes on the offscreen platform.
#include <gtest/gtest.h>
#include <signal.h>

#include <QImage>
#include <chrono>
#include <map>

#include "support/ChildProcess.h"
#include "support/SimHarness.h"
#include "tuning/AdvancedPanel.h"
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

TEST(Program, AdvancedOpensTheDialogAtStartAndAScreenshotDrawsIt) {
    ProgramMachine machine;
    for (const bool wide : {false, true}) {
        const std::string picture = machine.output.file(wide ? "wide.png" : "narrow.png");
        std::vector<std::string> args = {"--simulate", "--advanced", "--screenshot", picture};
        if (wide) {
            args.push_back("--wide");
        }
        ChildProcess program(kProgram, args, machine.environment());
        ASSERT_TRUE(program.start());
        const ChildProcess::Result result = program.finish(60s);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        QImage image(QString::fromStdString(picture));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), wide ? tuning::kAdvancedWideWidth : tuning::kAdvancedNarrowWidth);
    }
}

TEST(Program, SecondStartWithAdvancedOpensTheDialogInTheRunningProgram) {
    ProgramMachine machine;
    ChildProcess first(kProgram, {"--simulate", "SysTray"}, machine.environment(true));
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(first.waitForOutput("main window: running, start mode 4", 60s, true))
        << first.soFar().err;

    ChildProcess second(kProgram, {"--simulate", "--advanced"}, machine.environment());
    ASSERT_TRUE(second.start());
    const ChildProcess::Result secondResult = second.finish(30s);
    EXPECT_EQ(secondResult.exitCode, 0);
    EXPECT_EQ(secondResult.err, "");
    EXPECT_TRUE(first.waitForOutput("main window: advanced control dialog shown", 30s, true))
        << first.soFar().err;
    first.sendSignal(SIGTERM);
    EXPECT_EQ(first.finish(30s).exitCode, 0);
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

// Help, version and a wrong command line are answered before Qt starts, so they need no display.
TEST(Program, HelpVersionAndCommandLineErrorsNeedNoDisplay) {
    ProgramMachine machine;
    auto noDisplay = machine.environment();
    noDisplay["QT_QPA_PLATFORM"] = "";
    noDisplay["DISPLAY"] = "";
    noDisplay["WAYLAND_DISPLAY"] = "";

    ChildProcess::Result r = ChildProcess::run(kProgram, {"--help"}, noDisplay, {}, 30s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("usage: quorvel", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("--version"), std::string::npos);

    r = ChildProcess::run(kProgram, {"--version"}, noDisplay, {}, 30s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("quorvel ", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");

    r = ChildProcess::run(kProgram, {"--simulate", "--bogus"}, noDisplay, {}, 30s);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("quorvel: unknown option '--bogus'\nusage: quorvel"), std::string::npos)
        << r.err;

    r = ChildProcess::run(kProgram, {"--simulate=singel-1180"}, noDisplay, {}, 30s);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no simulator preset or file 'singel-1180'; presets: bios-f"),
              std::string::npos)
        << r.err;
}

TEST(Program, QtOptionsAndVerboseAreAccepted) {
    ProgramMachine machine;
    const std::string picture = machine.output.file("frame.png");
    const ChildProcess::Result r = ChildProcess::run(
        kProgram, {"-platform", "offscreen", "--verbose", "--simulate", "--screenshot", picture},
        machine.environment(), {}, 60s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("main window: running"), std::string::npos) << r.err;
    EXPECT_TRUE(QImage(QString::fromStdString(picture)).width() > 0);
}

}  // namespace
}  // namespace qv::test
