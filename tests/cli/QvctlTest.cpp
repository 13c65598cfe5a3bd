// qvctl as a user runs it: a separate process on the simulated driver, with a simulator state
// folder of its own per test.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>

#include "cli/QvctlProcess.h"
#include "support/SimHarness.h"

namespace qv::test {
namespace {

using namespace std::chrono_literals;
using Block = std::map<std::string, std::string>;

class CliTest : public ::testing::Test {
protected:
    std::map<std::string, std::string> simEnvironment() const {
        return {{"QUORVEL_SIM_STATE_DIR", state_.path()}};
    }
    ProcessResult run(const std::vector<std::string>& args) {
        return runQvctl(args, simEnvironment());
    }
    // Runs a command that must succeed and returns its GPU blocks.
    std::map<int, Block> blocksOf(const std::vector<std::string>& args) {
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return parseBlocks(r.out);
    }

    TempDir state_;
};

const std::string& valueOf(const Block& block, const std::string& key) {
    static const std::string missing = "<missing>";
    const auto it = block.find(key);
    return it == block.end() ? missing : it->second;
}

// The value is a whole number, optionally right-aligned with spaces, then " " and the unit.
void expectNumber(const Block& block, const std::string& key, const std::string& unit,
                  bool zeroAllowed = false) {
    const std::string& value = valueOf(block, key);
    const std::string suffix = " " + unit;
    const size_t digitsFrom = value.find_first_not_of(' ');
    const bool shaped = value.size() > suffix.size() && digitsFrom != std::string::npos &&
                        value.compare(value.size() - suffix.size(), suffix.size(), suffix) == 0;
    const std::string digits =
        shaped ? value.substr(digitsFrom, value.size() - suffix.size() - digitsFrom) : "";
    const bool numeric =
        !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
    EXPECT_TRUE(numeric && (zeroAllowed || digits != "0") &&
                (digits.size() == 1 || digits[0] != '0'))
        << key << ": '" << value << "' is not a number in " << unit;
}

void expectOneOf(const Block& block, const std::string& key,
                 const std::vector<std::string>& allowed) {
    const std::string& value = valueOf(block, key);
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), value), allowed.end())
        << key << ": '" << value << "'";
}

// ---- list ------------------------------------------------------------------------------------

TEST_F(CliTest, ListShowsTheDefaultBoardsWithTheirFanPathsAndChips) {
    auto gpus = blocksOf({"--simulate", "list"});
    EXPECT_EQ(gpus[-1]["gpu-count"], "3");
    ASSERT_EQ(gpus.size(), 4u);  // the header and three GPUs

    const Block& kepler = gpus[0];
    EXPECT_EQ(kepler.at("device-id"), "1180");
    EXPECT_EQ(kepler.at("family"), "C");
    EXPECT_EQ(kepler.at("kepler-class"), "yes");
    EXPECT_EQ(kepler.at("hot-key"), "yes");
    EXPECT_EQ(kepler.at("fan-controller"), "0 (driver cooler)");
    EXPECT_EQ(kepler.at("fan-level-unit"), "%");
    EXPECT_EQ(kepler.at("chips"), "1");
    EXPECT_EQ(kepler.at("slot-6"), "port 0, address 0x60 (voltage regulator)");

    const Block& chipFan = gpus[1];
    EXPECT_EQ(chipFan.at("device-id"), "0e22");
    EXPECT_EQ(chipFan.at("family"), "B C");
    EXPECT_EQ(chipFan.at("kepler-class"), "no");
    EXPECT_EQ(chipFan.at("fan-controller"), "3 (slot-0 fan chip)");
    EXPECT_EQ(chipFan.at("fan-level-unit"), "rpm");
    EXPECT_EQ(chipFan.at("slot-0"), "port 2, address 0x5c (fan chip)");
    EXPECT_EQ(chipFan.at("slot-6"), "port 0, address 0x60 (voltage regulator)");
    EXPECT_EQ(chipFan.at("slot-7"), "port 0, address 0xe0 (voltage regulator)");
    EXPECT_EQ(chipFan.at("slot-8"), "port 0, address 0x30 (board chip)");
    EXPECT_EQ(chipFan.at("slot-9"), "port 0, address 0x90 (power monitor)");
    EXPECT_EQ(chipFan.at("slot-10"), "port 0, address 0x92 (power monitor)");
    EXPECT_EQ(chipFan.at("slot-11"), "port 0, address 0x94 (power monitor)");

    const Block& familyA = gpus[2];
    EXPECT_EQ(familyA.at("device-id"), "05e2");
    EXPECT_EQ(familyA.at("family"), "A");
    EXPECT_EQ(familyA.at("fan-controller"), "1 (driver cooler (slot-1 chip))");
    EXPECT_EQ(familyA.at("slot-1"), "port 2, address 0x5c (fan chip)");
    EXPECT_EQ(familyA.at("slot-2"), "port 3, address 0xe0 (voltage regulator)");

    for (int gpu = 0; gpu < 3; ++gpu) {
        SCOPED_TRACE(gpu);
        // With more than one GPU the BIOS is not dumped, so no version is known.
        EXPECT_EQ(gpus[gpu].at("bios-version"), "n/a");
        EXPECT_NE(valueOf(gpus[gpu], "name"), "<missing>");
        EXPECT_NE(valueOf(gpus[gpu], "name"), "n/a");
        expectNumber(gpus[gpu], "memory-size", "MB");
        expectOneOf(gpus[gpu], "memory-type",
                    {"UNKNOWN", "SDRAM", "DDR1", "DDR2", "GDDR2", "GDDR3", "GDDR4", "DDR3", "GDDR5",
                     "LPDDR2"});
        expectNumber(gpus[gpu], "bus-width", "Bit");
        expectNumber(gpus[gpu], "cuda-cores", "SP");
    }
}

TEST_F(CliTest, ListStopsAtFiveGpus) {
    auto gpus = blocksOf({"--simulate=six-gpus", "list"});
    EXPECT_EQ(gpus[-1]["gpu-count"], "5");
    EXPECT_EQ(gpus.size(), 6u);
    EXPECT_EQ(gpus.count(4), 1u);
    EXPECT_EQ(gpus.count(5), 0u);
}

TEST_F(CliTest, SingleBoardShowsItsBiosVersionAndLeavesNoDumpBehind) {
    TempDir startFolder;
    ProcessResult r =
        runQvctl({"--simulate=single-0e22", "list"}, simEnvironment(), startFolder.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(parseBlocks(r.out)[0]["bios-version"], "7004");
    EXPECT_TRUE(std::filesystem::is_empty(startFolder.path()));

    // A "-F" version hands the fan to the slot-1 fan chip.
    r = runQvctl({"--simulate=bios-f", "list"}, simEnvironment(), startFolder.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Block board = parseBlocks(r.out)[0];
    EXPECT_EQ(board["bios-version"], "8012");
    EXPECT_EQ(board["fan-controller"], "2 (slot-1 fan chip)");
    EXPECT_TRUE(std::filesystem::is_empty(startFolder.path()));
}

TEST_F(CliTest, BoardWithoutCoolerHasNoFanValuesAndRefusesAFanLevel) {
    auto gpus = blocksOf({"--simulate=no-cooler", "list"});
    EXPECT_EQ(gpus[0]["fan-controller"], "4 (no cooler)");

    gpus = blocksOf({"--simulate=no-cooler", "status"});
    EXPECT_EQ(gpus[0]["fan-mode"], "n/a");
    EXPECT_EQ(gpus[0]["fan-level"], "n/a");
    EXPECT_EQ(gpus[0]["fan-speed"], "n/a");
    expectNumber(gpus[0], "temperature", "°C");

    const ProcessResult r = run({"--simulate=no-cooler", "fan", "0", "50"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no cooler"), std::string::npos) << r.err;
}

// ---- status ----------------------------------------------------------------------------------

TEST_F(CliTest, StatusReadsLiveValuesOfEveryGpu) {
    auto gpus = blocksOf({"--simulate", "status"});
    ASSERT_EQ(gpus.size(), 3u);
    for (int gpu = 0; gpu < 3; ++gpu) {
        SCOPED_TRACE(gpu);
        expectNumber(gpus[gpu], "graphics-clock", "MHz");
        expectNumber(gpus[gpu], "memory-clock", "MHz");
        expectNumber(gpus[gpu], "temperature", "°C");
        expectOneOf(gpus[gpu], "fan-mode", {"auto", "manual"});
        expectNumber(gpus[gpu], "gpu-load", "%", true);
    }
    expectNumber(gpus[1], "fan-level", "rpm", true);
    expectNumber(gpus[1], "fan-speed", "rpm", true);
}

TEST_F(CliTest, WatchRepeatsOnTheGivenPeriodUpToTheCount) {
    const ProcessResult r = run({"--simulate", "status", "--watch", "1", "--count", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("sample: 1\nGPU 0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sample: 2\nGPU 0\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("sample: 3"), std::string::npos);
    EXPECT_GE(r.elapsed, 1s);
}

TEST_F(CliTest, InterruptEndsAWatchCleanly) {
    QvctlProcess process({"--simulate", "status", "--watch", "60"}, simEnvironment());
    ASSERT_TRUE(process.start());
    ASSERT_TRUE(process.waitForOutput("sample: 1\n", 30s));
    process.sendSignal(SIGINT);
    const ProcessResult r = process.finish(30s);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.termSignal, 0);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find("sample: 2"), std::string::npos);
}

TEST_F(CliTest, StatusRejectsBadOptions) {
    const std::vector<std::vector<std::string>> cases = {{"--watch", "0"},  {"--watch"},
                                                         {"--watch", "1s"}, {"--count", "-1"},
                                                         {"--count", "0"},  {"--fast"}};
    for (const auto& args : cases) {
        std::vector<std::string> full = {"--simulate", "status"};
        full.insert(full.end(), args.begin(), args.end());
        const ProcessResult r = run(full);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_NE(r.err, "") << args[0];
    }
}

// ---- fan -------------------------------------------------------------------------------------

TEST_F(CliTest, FanLevelOutlivesTheProcessThatSetIt) {
    const ProcessResult set = run({"--simulate", "fan", "1", "100"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    Block after = parseBlocks(set.out)[1];
    EXPECT_EQ(after["fan-mode"], "manual");
    EXPECT_EQ(after["fan-level"], "100 rpm");

    auto gpus = blocksOf({"--simulate", "status"});
    EXPECT_EQ(gpus[1]["fan-mode"], "manual");
    EXPECT_EQ(gpus[1]["fan-level"], "100 rpm");
}

TEST_F(CliTest, FanOnTheDriverCoolerTakesPercentAndGoesBackToAutomatic) {
    ASSERT_EQ(run({"--simulate", "fan", "0", "60"}).exitCode, 0);
    auto gpus = blocksOf({"--simulate", "status"});
    EXPECT_EQ(gpus[0]["fan-mode"], "manual");
    EXPECT_EQ(gpus[0]["fan-level"], "60 %");

    ASSERT_EQ(run({"--simulate", "fan", "0", "auto"}).exitCode, 0);
    gpus = blocksOf({"--simulate", "status"});
    EXPECT_EQ(gpus[0]["fan-mode"], "auto");
}

TEST_F(CliTest, FanRejectsBadArgumentsWithoutTouchingTheFan) {
    const std::vector<std::vector<std::string>> cases = {
        {"3", "50"}, {"0", "101"},      {"0", "abc"}, {"0", "-5"},
        {"0"},       {"0", "50", "60"}, {"x", "50"},  {"1", "10"}};
    for (const auto& args : cases) {
        std::vector<std::string> full = {"--simulate", "fan"};
        full.insert(full.end(), args.begin(), args.end());
        const ProcessResult r = run(full);
        EXPECT_EQ(r.exitCode, 1) << testing::PrintToString(args);
        EXPECT_NE(r.err, "") << testing::PrintToString(args);
    }
    auto gpus = blocksOf({"--simulate", "status"});
    for (int gpu = 0; gpu < 3; ++gpu) {
        EXPECT_EQ(gpus[gpu]["fan-mode"], "auto") << gpu;
    }
}

// ---- driver selection and usage ---------------------------------------------------------------

TEST_F(CliTest, MissingDriverLibraryIsNamedWithHowItWasChosen) {
    ProcessResult r = run({"--driver", "/nonexistent.so", "list"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("'/nonexistent.so'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--driver"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("No such file"), std::string::npos) << r.err;

    r = runQvctl({"list"}, {{"QUORVEL_DRIVER", "/nonexistent-env.so"}});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("'/nonexistent-env.so'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("QUORVEL_DRIVER"), std::string::npos) << r.err;
}

TEST_F(CliTest, UsageErrorsAndHelp) {
    ProcessResult r = run({"--simulate", "frobnicate"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("unknown command 'frobnicate'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("usage: qvctl"), std::string::npos);

    r = run({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("usage: qvctl"), std::string::npos);

    r = run({"--driver"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--driver needs"), std::string::npos) << r.err;

    r = run({"--simulate", "list", "extra"});
    EXPECT_EQ(r.exitCode, 1);

    r = run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    for (const char* word : {"usage: qvctl", "list", "status", "fan", "--simulate", "--driver"}) {
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace qv::test
