// qvctl as a user runs it: listing, live readings, watching and the fan.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "cli/CliFixture.h"
#include "support/SimHarness.h"

namespace qv::test {
namespace {

using namespace std::chrono_literals;

// ---- list ------------------------------------------------------------------------------------

// The boards' facts and clock levels per preset are compared whole in QvctlRecordedTest.

TEST_F(CliTest, SingleBoardListLeavesNoBiosDumpBehind) {
    // One GPU: the BIOS is dumped to read its version, in the start folder.
    for (const char* preset : {"--simulate=single-0e22", "--simulate=bios-f"}) {
        TempDir startFolder;
        const ProcessResult r = runWith({preset, "list"}, simEnvironment(), startFolder.path());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(parseBlocks(r.out)[0]["bios-version"], "n/a") << preset;
        EXPECT_TRUE(std::filesystem::is_empty(startFolder.path())) << preset;
    }
}

TEST_F(CliTest, ABoardWithAnUnreadableClockTableIsListedAmongTheOthers) {
    TempDir configDir;
    const std::string config = writeConfig(
        configDir, "one-unreadable.conf", readPreset("single-1180") + readPreset("no-clock-table"));
    const ProcessResult r = run({"--simulate=" + config, "list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto gpus = parseBlocks(r.out);
    ASSERT_TRUE(gpus.count(1) == 1 && gpus.count(2) == 0) << r.out;
    EXPECT_EQ(gpus[0].count("clock-table"), 0u) << "a readable table is not mentioned";
    EXPECT_EQ(gpus[1]["clock-table"], "not readable (driver status -104)");
    EXPECT_EQ(gpus[1]["device-id"], "0e22");

    // The readable board still answers; the other one says why it cannot.
    EXPECT_EQ(run({"--simulate=" + config, "clocks", "0"}).exitCode, 0);
    const ProcessResult broken = run({"--simulate=" + config, "clocks", "1"});
    EXPECT_EQ(broken.exitCode, 4);
    EXPECT_NE(broken.err.find("-104"), std::string::npos) << broken.err;
}

TEST_F(CliTest, BoardWithoutCoolerHasNoFanValuesAndRefusesAFanLevel) {
    auto gpus = blocksOf({"--simulate=no-cooler", "status"});
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
    const ProcessResult r = run({"--simulate", "status"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The driver's core-voltage query prints diagnostic lines; none of them reach the output.
    EXPECT_EQ(r.out.find("Current voltage"), std::string::npos) << r.out;
    auto gpus = parseBlocks(r.out);
    ASSERT_EQ(gpus.size(), 3u);
    for (int gpu = 0; gpu < 3; ++gpu) {
        SCOPED_TRACE(gpu);
        expectOneOf(gpus[gpu], "level-kind",
                    {"1 (2D)", "3 (3D Low)", "2 (3D PERF)", "4 (4th level)"});
        expectNumber(gpus[gpu], "graphics-clock", "MHz");
        expectNumber(gpus[gpu], "memory-clock", "MHz");
        expectNumberWithin(gpus[gpu], "core-voltage", "mV", 500, 2000);
        expectNumber(gpus[gpu], "temperature", "°C");
        expectOneOf(gpus[gpu], "fan-mode", {"auto", "manual"});
        expectNumber(gpus[gpu], "gpu-load", "%", true);
    }
    // Only the older boards have a shader clock.
    EXPECT_EQ(gpus[0]["shader-clock"], "n/a");
    expectNumber(gpus[1], "shader-clock", "MHz");
    expectNumber(gpus[2], "shader-clock", "MHz");
    expectNumber(gpus[1], "fan-level", "rpm", true);
    expectNumber(gpus[1], "fan-speed", "rpm", true);

    // Board power comes from the power monitors of GPU 1 (20 W idle, 150 W at full load); the
    // other two boards have no measuring chips.
    expectNumberWithin(gpus[1], "board-power", "W", 15, 150);
    EXPECT_EQ(gpus[0]["board-power"], "n/a");
    EXPECT_EQ(gpus[2]["board-power"], "n/a");
}

TEST_F(CliTest, StatusFollowsTheLevelTheGpuRunsAt) {
    // At power-on the boards idle in their lowest level: 2D on the older boards; the first level
    // of GPU 0's four-level table is 2D too.
    auto gpus = blocksOf({"--simulate", "status"});
    EXPECT_EQ(gpus[0]["level-kind"], "1 (2D)");
    EXPECT_EQ(gpus[0]["graphics-clock"], "324 MHz");
    EXPECT_EQ(gpus[2]["level-kind"], "1 (2D)");
    EXPECT_EQ(gpus[2]["graphics-clock"], "300 MHz");
    EXPECT_EQ(gpus[2]["shader-clock"], "600 MHz");
    EXPECT_EQ(gpus[2]["memory-clock"], "100 MHz");
}

TEST_F(CliTest, BoardPowerFromCurrentAndRailOnTheSlot0Slot3Board) {
    auto gpus = blocksOf({"--simulate=slot0-slot3", "status"});
    // 12 W idle, 62 W at full load; the estimate is an average over ten readings.
    expectNumberWithin(gpus[0], "board-power", "W", 5, 62);
}

TEST_F(CliTest, WatchRepeatsOnTheGivenPeriodInMillisecondsUpToTheCount) {
    const ProcessResult r = run({"--simulate", "status", "--watch", "300", "--count", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("sample: 1\nGPU 0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sample: 3\nGPU 0\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("sample: 4"), std::string::npos);
    EXPECT_EQ(parseSamples(r.out).size(), 3u);
    EXPECT_GE(r.elapsed, 600ms);
}

TEST_F(CliTest, WatchShowsAFanSetByAnotherProcessTakingEffect) {
    ChildProcess watch(kQvctl, {"--simulate", "status", "--watch", "1000", "--count", "5"},
                       simEnvironment(), options());
    ASSERT_TRUE(watch.start());
    // GPU 2's block follows GPU 1's reading of the first sample.
    ASSERT_TRUE(watch.waitForOutput("GPU 2\n", 30s));
    // GPU 1's slot-0 fan chip takes an rpm set point: 100 rpm nearly stops the fan.
    const ProcessResult fan = run({"--simulate", "fan", "1", "100"});
    ASSERT_EQ(fan.exitCode, 0) << fan.err;
    const ProcessResult r = watch.finish(60s);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto samples = parseSamples(r.out);
    ASSERT_EQ(samples.size(), 5u) << r.out;

    const Block& first = samples.front().at(1);
    const Block& last = samples.back().at(1);
    EXPECT_EQ(valueOf(first, "fan-mode"), "auto");
    EXPECT_EQ(valueOf(last, "fan-mode"), "manual");
    EXPECT_EQ(valueOf(last, "fan-level"), "100 rpm");
    // The fan runs down towards its set point without jumping there, and the GPU, cooled less,
    // does not get cooler.
    long previous = expectNumberWithin(first, "fan-speed", "rpm", 500, 5000);
    const long firstTemperature = expectNumberWithin(first, "temperature", "°C", 20, 110);
    bool slowed = false;
    for (size_t i = 1; i < samples.size(); ++i) {
        SCOPED_TRACE(i);
        const long rpm = expectNumberWithin(samples[i].at(1), "fan-speed", "rpm", 100, 5000);
        EXPECT_LE(rpm, previous);
        slowed = slowed || rpm < previous;
        previous = rpm;
    }
    EXPECT_TRUE(slowed);
    EXPECT_GT(previous, 100);
    EXPECT_GE(expectNumberWithin(last, "temperature", "°C", 20, 110), firstTemperature);
    // The other GPUs keep their automatic fans.
    EXPECT_EQ(valueOf(samples.back().at(0), "fan-mode"), "auto");
    EXPECT_EQ(valueOf(samples.back().at(2), "fan-mode"), "auto");
}

TEST_F(CliTest, InterruptEndsAWatchCleanly) {
    ChildProcess process(kQvctl, {"--simulate", "status", "--watch", "60000"}, simEnvironment(),
                         options());
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
    const std::vector<std::vector<std::string>> cases = {
        {"--watch", "0"},  {"--watch", "99"}, {"--watch", "86400001"}, {"--watch"},
        {"--watch", "1s"}, {"--count", "-1"}, {"--count", "0"},        {"--fast"}};
    for (const auto& args : cases) {
        std::vector<std::string> full = {"--simulate", "status"};
        full.insert(full.end(), args.begin(), args.end());
        const ProcessResult r = run(full);
        EXPECT_EQ(r.exitCode, 1) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "") << testing::PrintToString(args);
        EXPECT_NE(r.err, "") << testing::PrintToString(args);
    }
    // The period was once given in seconds: such a value is refused with the new spelling.
    const ProcessResult r = run({"--simulate", "status", "--watch", "2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--watch 2000"), std::string::npos) << r.err;
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

    r = runWith({"list"}, {{"QUORVEL_DRIVER", "/nonexistent-env.so"}});
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
    for (const char* word : {"usage: qvctl", "list", "status", "clocks", "set-clocks", "offset",
                             "power-limit", "fan", "--simulate", "--driver"}) {
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    }
}

TEST_F(CliTest, VersionAndAMistypedPresetNeedNoDriver) {
    ProcessResult r = run({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("qvctl ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("unknown"), std::string::npos) << "the build names the version";
    EXPECT_EQ(r.err, "");

    r = run({"--simulate=singel-1180", "list"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("qvctl: no simulator preset or file 'singel-1180'; presets: bios-f, "),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("single-1180"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("usage:"), std::string::npos) << "the presets, not the usage";
}

TEST_F(CliTest, VerboseOpensTheDebugChannelAsTheEnvironmentVariableDoes) {
    // Reading the core voltage writes the driver's voltage domains to the debug channel.
    ProcessResult quiet = run({"--simulate", "status"});
    EXPECT_EQ(quiet.err, "");

    ProcessResult r = run({"--simulate", "status", "--verbose"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Current voltage"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Current voltage"), std::string::npos);
    EXPECT_EQ(parseBlocks(r.out).size(), 3u);

    auto environment = simEnvironment();
    environment["QUORVEL_DEBUG"] = "1";
    r = runWith({"--simulate", "status"}, environment);
    EXPECT_NE(r.err.find("Current voltage"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace qv::test
