#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "lang/CMultiLangSupp.h"
#include "monitor/MonitorLog.h"
#include "monitor/MonitorTestSupport.h"
#include "support/TempDir.h"

namespace qv::monitor {
namespace {

using test::boardsOf;
using test::fullGpu;
using test::kPanelHeight;
using test::kPanelWidth;
using test::liveOf;
using test::timeOf;

constexpr uint32_t kEnglish = 0x0409;

// ASCII text as UTF-16LE bytes.
std::string wide(const std::string& ascii) {
    std::string out;
    for (const char ch : ascii) {
        out.push_back(ch);
        out.push_back('\0');
    }
    return out;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct LogRig {
    LogRig() : log(dir.file("Monitor_Save"), english) {}
    std::vector<LogColumn> powerAndClock() const { return {{0, kItemPower}, {0, kItemGpuClock}}; }
    qv::test::TempDir dir;
    lang::CMultiLangSupp english{kEnglish};
    MonitorLog log;
};

TEST(MonitorLogTest, FileNameHasNoSeparatorBetweenDayAndHour) {
    EXPECT_EQ(logFileName({2012, 4, 5, 13, 45, 7}), "2012-04-0513_45_07.csv");
}

TEST(MonitorLogTest, FileIsBegunAndGivenItsFirstLineInTheSameTick) {
    LogRig rig;
    EXPECT_EQ(rig.log.tick(timeOf(13, 45, 7), rig.powerAndClock(), liveOf(1)), LogTickResult::kOff);
    ASSERT_EQ(rig.log.switchOn(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(rig.dir.file("Monitor_Save")));
    MonitorLiveValues live;
    live.values[0][kItemPower] = 87;
    live.values[0][kItemGpuClock] = kNoValue;
    EXPECT_EQ(rig.log.tick(timeOf(13, 45, 7), rig.powerAndClock(), live), LogTickResult::kWritten);
    const std::string path = rig.dir.file("Monitor_Save/2012-04-0513_45_07.csv");
    EXPECT_EQ(rig.log.currentPath(), path);
    EXPECT_FALSE(rig.log.newFileWanted());
    live.values[0][kItemGpuClock] = 705;
    EXPECT_EQ(rig.log.tick(timeOf(13, 45, 8), rig.powerAndClock(), live), LogTickResult::kWritten);
    EXPECT_EQ(fileBytes(path), "\xFF\xFE" + wide("Timestamp;GPU1-Power[W]:GPU1-GPU Clock[MHz]:\r\n"
                                                 "2012-04-05 13:45:07;87;-1;\r\n"
                                                 "2012-04-05 13:45:08;87;705;\r\n"));
}

TEST(MonitorLogTest, UnitsAndCaptionsOutsideAsciiAreUtf16) {
    lang::CMultiLangSupp english(kEnglish);
    EXPECT_EQ(logHeaderLine({{1, kItemTemperature}, {1, kItemFanRpm}}, english),
              "Timestamp;GPU2-Temperature[\u00b0C]:GPU2-FanSpeed[RPM]:\r\n");
    LogRig rig;
    ASSERT_EQ(rig.log.switchOn(), 0);
    rig.log.tick(timeOf(1, 2, 3), {{0, kItemTemperature}}, liveOf(55));
    const std::string bytes = fileBytes(rig.log.currentPath());
    EXPECT_NE(bytes.find(std::string("[\0\xB0\0C\0]\0", 8)), std::string::npos);
}

TEST(MonitorLogTest, WithoutFedGpusLinesHoldOnlyTheTimestamp) {
    LogRig rig;
    MirrorHistory mirror;
    CurveModel none(MonitorBoards{}, kAllItemsShown, kPanelWidth, kPanelHeight, mirror);
    ASSERT_EQ(rig.log.switchOn(), 0);
    rig.log.tick(timeOf(0, 0, 9), none.logColumns(), liveOf(3));
    EXPECT_EQ(fileBytes(rig.log.currentPath()),
              "\xFF\xFE" + wide("Timestamp;\r\n2012-04-05 00:00:09;\r\n"));
}

TEST(MonitorLogTest, OffAndOnWithinOneSecondStartsTheSameFileAnew) {
    LogRig rig;
    ASSERT_EQ(rig.log.switchOn(), 0);
    rig.log.tick(timeOf(9, 0, 0), rig.powerAndClock(), liveOf(1));
    rig.log.tick(timeOf(9, 0, 1), rig.powerAndClock(), liveOf(2));
    const std::string first = rig.log.currentPath();
    rig.log.switchOff();
    EXPECT_EQ(rig.log.currentPath(), first);  // kept, so that it can be opened
    EXPECT_EQ(rig.log.tick(timeOf(9, 0, 1), rig.powerAndClock(), liveOf(3)), LogTickResult::kOff);
    ASSERT_EQ(rig.log.switchOn(), 0);
    rig.log.tick(timeOf(9, 0, 0), {{0, kItemPower}}, liveOf(4));
    EXPECT_EQ(rig.log.currentPath(), first);
    EXPECT_EQ(fileBytes(first),
              "\xFF\xFE" + wide("Timestamp;GPU1-Power[W]:\r\n2012-04-05 09:00:00;4;\r\n"));
}

TEST(MonitorLogTest, FolderThatCannotBeMadeKeepsLoggingOffAndSaysSoOnce) {
    qv::test::TempDir dir;
    std::ofstream(dir.file("blocker")) << "a file where the folder should be";
    lang::CMultiLangSupp english(kEnglish);
    MonitorLog log(dir.file("blocker/Monitor_Save"), english);
    EXPECT_NE(log.switchOn(), 0);
    EXPECT_FALSE(log.isOn());
    const std::optional<LogProblem> problem = log.takeProblem();
    ASSERT_TRUE(problem.has_value());
    EXPECT_TRUE(problem->loggingStopped);
    EXPECT_NE(problem->error, 0);
    EXPECT_FALSE(log.takeProblem().has_value());
}

TEST(MonitorLogTest, HeaderThatCannotBeWrittenStopsLogging) {
    LogRig rig;
    ASSERT_EQ(rig.log.switchOn(), 0);
    // A folder in the file's place: the file cannot be created.
    std::filesystem::create_directory(rig.dir.file("Monitor_Save/2012-04-0501_02_03.csv"));
    EXPECT_EQ(rig.log.tick(timeOf(1, 2, 3), rig.powerAndClock(), liveOf(1)),
              LogTickResult::kStopped);
    EXPECT_FALSE(rig.log.isOn());
    EXPECT_TRUE(rig.log.currentPath().empty());
    ASSERT_TRUE(rig.log.takeProblem().has_value());
    EXPECT_EQ(rig.log.tick(timeOf(1, 2, 4), rig.powerAndClock(), liveOf(1)), LogTickResult::kOff);
}

TEST(MonitorLogTest, LineThatCannotBeWrittenIsDroppedAndToldOnce) {
    LogRig rig;
    ASSERT_EQ(rig.log.switchOn(), 0);
    rig.log.tick(timeOf(1, 2, 3), rig.powerAndClock(), liveOf(1));
    const std::string path = rig.log.currentPath();
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_EQ(rig.log.tick(timeOf(1, 2, 4), rig.powerAndClock(), liveOf(1)),
              LogTickResult::kLineDropped);
    EXPECT_TRUE(rig.log.isOn());
    const std::optional<LogProblem> problem = rig.log.takeProblem();
    ASSERT_TRUE(problem.has_value());
    EXPECT_FALSE(problem->loggingStopped);
    EXPECT_EQ(problem->path, path);
    EXPECT_EQ(rig.log.tick(timeOf(1, 2, 5), rig.powerAndClock(), liveOf(1)),
              LogTickResult::kLineDropped);
    EXPECT_FALSE(rig.log.takeProblem().has_value());
    // Once the file can be written again, the next tick appends.
    std::filesystem::remove(path);
    EXPECT_EQ(rig.log.tick(timeOf(1, 2, 6), rig.powerAndClock(), liveOf(1)),
              LogTickResult::kWritten);
}

}  // namespace
}  // namespace qv::monitor
