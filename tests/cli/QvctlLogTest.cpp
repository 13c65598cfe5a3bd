// `qvctl log`: the monitor log without a window, in the monitor window's format.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "CliFixture.h"

namespace qv::test {
namespace {

// True when `text` has the shape of `pattern`: '#' stands for one decimal digit, every other
// character for itself.
bool hasShape(std::string_view text, std::string_view pattern) {
    if (text.size() != pattern.size()) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '#' ? !digit : text[i] != pattern[i]) {
            return false;
        }
    }
    return true;
}

// A data line: the time stamp, then whole numbers each ended by ';', then CR.
bool isDataLine(const std::string& line) {
    constexpr std::string_view kStamp = "####-##-## ##:##:##;";
    if (line.size() < kStamp.size() + 1 || line.back() != '\r' ||
        !hasShape(std::string_view(line).substr(0, kStamp.size()), kStamp)) {
        return false;
    }
    std::istringstream fields(line.substr(kStamp.size(), line.size() - kStamp.size() - 1));
    std::string field;
    while (std::getline(fields, field, ';')) {
        const size_t start = !field.empty() && field[0] == '-' ? 1 : 0;
        if (field.size() <= start ||
            field.find_first_not_of("0123456789", start) != std::string::npos) {
            return false;
        }
    }
    return line.size() == kStamp.size() + 1 || line[line.size() - 2] == ';';
}

class QvctlLogTest : public CliTest {
protected:
    // English texts, whatever the machine's language.
    ProcessResult runLog(std::vector<std::string> args) const {
        std::map<std::string, std::string> environment = simEnvironment();
        environment["LC_ALL"] = "C";
        environment["LANG"] = "C";
        environment["LANGUAGE"] = "";
        args.insert(args.begin(), {"--simulate", "log"});
        return runWith(args, environment);
    }
    std::string startFile(const std::string& name) const { return start_.file(name); }
};

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The UTF-16LE text after the byte-order mark as UTF-8 (the log holds only Basic Latin and
// Latin-1 characters); "" when the mark is missing or a character is outside Latin-1.
std::string decodeLog(const std::string& bytes) {
    if (bytes.size() < 2 || bytes.substr(0, 2) != "\xFF\xFE" || bytes.size() % 2 != 0) {
        return "";
    }
    std::string text;
    for (size_t i = 2; i < bytes.size(); i += 2) {
        const auto low = static_cast<unsigned char>(bytes[i]);
        if (bytes[i + 1] != '\0') {
            return "";
        }
        if (low < 0x80) {
            text.push_back(static_cast<char>(low));
        } else {
            text.push_back(static_cast<char>(0xC0 | (low >> 6)));
            text.push_back(static_cast<char>(0x80 | (low & 0x3F)));
        }
    }
    return text;
}

TEST_F(QvctlLogTest, WritesTheHeaderAndOneLinePerPeriodIntoTheFileGiven) {
    const ProcessResult r =
        runLog({"--items", "temperature,fan", "--period", "100", "--count", "3", "--out", "t.csv"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "log: t.csv\n");
    const std::string text = decodeLog(fileBytes(startFile("t.csv")));
    ASSERT_FALSE(text.empty());
    std::istringstream lines(text);
    std::string header;
    ASSERT_TRUE(std::getline(lines, header, '\n'));
    EXPECT_EQ(header.rfind("Timestamp;GPU1-Temperature[\u00b0C]:GPU1-Fan Speed[%]:GPU2-", 0), 0u)
        << header;
    EXPECT_EQ(header.back(), '\r');
    const size_t columns = static_cast<size_t>(std::count(header.begin(), header.end(), ':'));
    std::string line;
    int count = 0;
    while (std::getline(lines, line, '\n')) {
        ++count;
        EXPECT_TRUE(isDataLine(line)) << line;
        EXPECT_EQ(static_cast<size_t>(std::count(line.begin(), line.end(), ';')), columns + 1)
            << line;
    }
    EXPECT_EQ(count, 3);
}

TEST_F(QvctlLogTest, WithoutOutItBeginsANewFileUnderMonitorSave) {
    const ProcessResult r = runLog({"--count", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(hasShape(r.out, "log: Monitor_Save/####-##-####_##_##.csv\n")) << r.out;
    const std::string path = startFile(r.out.substr(5, r.out.size() - 6));
    EXPECT_EQ(decodeLog(fileBytes(path)).rfind("Timestamp;GPU1-", 0), 0u);
}

TEST_F(QvctlLogTest, RefusesUnknownItemsAndReportsAFileThatCannotBeWritten) {
    ProcessResult r = runLog({"--items", "temperature,speed", "--count", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("unknown item 'speed'"), std::string::npos) << r.err;
    r = runLog({"--period", "5", "--count", "1"});
    EXPECT_EQ(r.exitCode, 1);

    r = runLog({"--count", "1", "--out", "no-such-folder/t.csv"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("no-such-folder/t.csv"), std::string::npos) << r.err;
    std::ofstream(startFile("Monitor_Save")) << "a file in the folder's place";
    r = runLog({"--count", "1"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("Monitor_Save"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace qv::test
