#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fan/FanSpeedReference.h"
#include "support/TempDir.h"

namespace qv::fan {
namespace {

std::string utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char ch : ascii) {
        out.push_back(ch);
        out.push_back('\0');
    }
    return out;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(FanSpeedReferenceTest, FileHoldsOneSectionPerGpuWithTheSameSpeed) {
    const std::vector<std::string> ids = {"0e22", "1180"};
    EXPECT_EQ(
        fanSpeedReferenceFile(ids, 2950),
        utf16("[Gpu1]\r\nId=0e22\r\n100Speed=2950\r\n[Gpu2]\r\nId=1180\r\n100Speed=2950\r\n"));
}

TEST(FanSpeedReferenceTest, WrittenFileReadsBackForEveryMatchingGpu) {
    test::TempDir dir;
    const std::string path = dir.file(kFanSpeedFileName);
    const std::vector<std::string> ids = {"0e22", "1180", "05e2"};
    ASSERT_EQ(writeFanSpeedReferences(path, ids, 3012), 0);
    FanSpeedReferences references{};
    EXPECT_TRUE(readFanSpeedReferences(path, ids, references));
    EXPECT_EQ(references, (FanSpeedReferences{3012, 3012, 3012}));
    // Device ids compare without regard to case.
    FanSpeedReferences upper{};
    const std::vector<std::string> upperIds = {"0E22"};
    EXPECT_TRUE(readFanSpeedReferences(path, upperIds, upper));
    EXPECT_EQ(upper[0], 3012u);
}

// Files that must give no reference and leave the references in memory as they were.
TEST(FanSpeedReferenceTest, BadFilesGiveNoReference) {
    const std::vector<std::string> ids = {"0e22"};
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"another device", utf16("[Gpu1]\r\nId=1180\r\n100Speed=3000\r\n")},
        {"a longer id", utf16("[Gpu1]\r\nId=0e22ab\r\n100Speed=3000\r\n")},
        {"a shorter id", utf16("[Gpu1]\r\nId=0e2\r\n100Speed=3000\r\n")},
        {"speed with letters", utf16("[Gpu1]\r\nId=0e22\r\n100Speed=30ab\r\n")},
        {"speed not a number", utf16("[Gpu1]\r\nId=0e22\r\n100Speed=fast\r\n")},
        {"negative speed", utf16("[Gpu1]\r\nId=0e22\r\n100Speed=-3000\r\n")},
        {"speed beyond 32 bits", utf16("[Gpu1]\r\nId=0e22\r\n100Speed=99999999999\r\n")},
        {"empty speed", utf16("[Gpu1]\r\nId=0e22\r\n100Speed=\r\n")},
        {"no speed", utf16("[Gpu1]\r\nId=0e22\r\n")},
        {"truncated", utf16("[Gpu1]\r\nId=0e")},
        {"empty file", ""},
        {"garbage", std::string("\xFF\xFE\x00\xD8\x41", 5)},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string path = dir.file(kFanSpeedFileName);
        writeAll(path, c.bytes);
        FanSpeedReferences references{7, 7, 7};
        EXPECT_FALSE(readFanSpeedReferences(path, ids, references)) << c.what;
        EXPECT_EQ(references, (FanSpeedReferences{7, 7, 7})) << c.what;
    }
    FanSpeedReferences references{};
    EXPECT_FALSE(readFanSpeedReferences("/nonexistent/FanSpeed.ini", ids, references));
}

TEST(FanSpeedReferenceTest, FailedWriteLeavesTheOldFileAndSaysWhy) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "a read-only folder does not stop root";
    }
    test::TempDir dir;
    const std::string path = dir.file(kFanSpeedFileName);
    const std::vector<std::string> ids = {"0e22"};
    ASSERT_EQ(writeFanSpeedReferences(path, ids, 2000), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0500), 0);
    EXPECT_NE(writeFanSpeedReferences(path, ids, 1000), 0);
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(readAll(path), fanSpeedReferenceFile(ids, 2000));
}

TEST(FanSpeedReferenceTest, WriteIntoMissingFolderFails) {
    const std::vector<std::string> ids = {"0e22"};
    EXPECT_NE(writeFanSpeedReferences("/nonexistent-folder/FanSpeed.ini", ids, 1000), 0);
}

}  // namespace
}  // namespace qv::fan
