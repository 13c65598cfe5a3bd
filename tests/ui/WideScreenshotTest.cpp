// The window program's --wide screenshot, started as a separate process on the offscreen
// platform.
#include <gtest/gtest.h>

#include <QColor>
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

TEST(WideScreenshot, DrawsTheWindowWithItsOverclockingPart) {
    ProgramMachine machine;
    const std::string picture = machine.output.file("wide.png");
    ChildProcess program(kProgram, {"--simulate", "--screenshot", picture, "--wide"},
                         machine.environment());
    ASSERT_TRUE(program.start());
    const ChildProcess::Result result = program.finish(60s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    QImage image(QString::fromStdString(picture));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), tuning::kDialogWidthOverclocking);
    EXPECT_EQ(image.height(), tuning::kFrameHeight);
    // The wide part is drawn, not left blank: many of its pixels differ from the background of
    // their row (the background changes only from top to bottom).
    int differing = 0;
    for (int y = 60; y < tuning::kFrameHeight - 20; y += 4) {
        const QColor background = image.pixelColor(tuning::kDialogWidthOverclocking - 3, y);
        for (int x = tuning::kDialogWidthNormal + 10; x < tuning::kDialogWidthOverclocking - 10;
             x += 4) {
            differing += image.pixelColor(x, y) != background ? 1 : 0;
        }
    }
    EXPECT_GT(differing, 500);
}

TEST(WideScreenshot, WideWithoutAScreenshotIsAUsageError) {
    ProgramMachine machine;
    ChildProcess program(kProgram, {"--simulate", "--wide"}, machine.environment());
    ASSERT_TRUE(program.start());
    const ChildProcess::Result result = program.finish(30s);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("usage: quorvel"), std::string::npos);
}

}  // namespace
}  // namespace qv::test
