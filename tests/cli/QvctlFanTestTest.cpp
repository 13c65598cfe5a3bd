#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "CliFixture.h"
#include "platform/DataFolder.h"
#include "support/SimHarness.h"

namespace qv::test {
namespace {

// The paths of `qvctl fan-test` that end before the fan is driven; the test itself is covered
// in-process, where time is the simulator's.
TEST_F(CliTest, FanTestChecksItsArgumentsAndTheBoardFirst) {
    TempDir data;
    auto environment = simEnvironment();
    environment[platform::kDataFolderEnvironment] = data.path();

    ProcessResult r = runWith({"--simulate", "fan-test"}, environment);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("fan-test needs a GPU index"), std::string::npos) << r.err;
    r = runWith({"--simulate", "fan-test", "7"}, environment);
    EXPECT_EQ(r.exitCode, 1);

    r = runWith({"--simulate=no-cooler", "fan-test", "0"}, environment);
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("cannot be measured in rpm"), std::string::npos) << r.err;

    std::stringstream preset;
    preset << std::ifstream(presetPath("single-0e22")).rdbuf();
    std::string old = preset.str();
    old.replace(old.find("version = 31061"), 15, "version = 25999");
    const std::string config = writeConfig(data, "old-driver.conf", old);
    r = runWith({"--simulate=" + config, "fan-test", "0"}, environment);
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("only support 260 after the driver"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(data.file("FanSpeed.ini")));
}

}  // namespace
}  // namespace qv::test
