// qvctl's clock levels, P0 offsets and power limit on the simulator's built-in boards: what one
// process writes, the next one reads back; what is refused leaves the board as it was.
#include <gtest/gtest.h>

#include "cli/CliFixture.h"

namespace qv::test {
namespace {

// Every level with its limits and boost ratio, as `clocks` lists them on each preset, is
// compared whole in QvctlRecordedTest.

TEST_F(CliTest, SetClocksIsReadBackByALaterProcess) {
    struct Case {
        std::string gpu, kind, graphics, shader, memory;
    };
    // The last case sits exactly on the level's limits: graphics at its maximum, shader and
    // memory at their minimum.
    const std::vector<Case> cases = {{"2", "2", "700", "1500", "1100"},
                                     {"1", "3", "500", "1000", "900"},
                                     {"0", "1", "600", "0", "1000"},
                                     {"2", "3", "576", "400", "100"}};
    for (const Case& c : cases) {
        SCOPED_TRACE("GPU " + c.gpu + " kind " + c.kind);
        const int gpu = std::stoi(c.gpu);
        const std::string prefix = "kind-" + c.kind + "-";
        const Block before = parseBlocks(outputOf({"--simulate", "clocks", c.gpu}))[gpu];

        const ProcessResult set =
            run({"--simulate", "set-clocks", c.gpu, c.kind, c.graphics, c.shader, c.memory});
        ASSERT_EQ(set.exitCode, 0) << set.err;
        Block written = parseBlocks(set.out)[gpu];
        EXPECT_EQ(written[prefix + "graphics"].rfind("current " + c.graphics + " MHz,", 0), 0u)
            << written[prefix + "graphics"];
        EXPECT_EQ(written[prefix + "memory"].rfind("current " + c.memory + " MHz,", 0), 0u)
            << written[prefix + "memory"];
        if (gpu == 0) {
            EXPECT_EQ(written[prefix + "shader"], "n/a");
            EXPECT_NE(written["note"].find("no shader clock"), std::string::npos);
        } else {
            EXPECT_EQ(written[prefix + "shader"].rfind("current " + c.shader + " MHz,", 0), 0u)
                << written[prefix + "shader"];
            EXPECT_EQ(written.count("note"), 0u) << written["note"];
        }

        Block after = parseBlocks(outputOf({"--simulate", "clocks", c.gpu}))[gpu];
        for (const char* domain : {"graphics", "memory", "shader"}) {
            EXPECT_EQ(after[prefix + domain], written[prefix + domain]) << domain;
        }
        // Base and limits stay; the other levels are untouched.
        for (const auto& [key, value] : before) {
            const bool changedLevel = key.rfind(prefix, 0) == 0 && key != prefix + "boost-ratio";
            if (!changedLevel) {
                EXPECT_EQ(after[key], value) << key;
            }
        }
    }
}

TEST_F(CliTest, SetClocksAboveTheDriversRangeShowsWhatTheBoardHolds) {
    // The raised maximum of a family C top level is accepted; the driver then holds the level
    // at its own maximum, and the output says so.
    const ProcessResult set = run({"--simulate", "set-clocks", "1", "2", "1215", "2000", "2000"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    Block written = parseBlocks(set.out)[1];
    EXPECT_EQ(written["kind-2-graphics"].rfind("current 1012.5 MHz,", 0), 0u)
        << written["kind-2-graphics"];
    EXPECT_EQ(written["note"],
              "the board reports the graphics clock at 1012.5 MHz, not the 1215 MHz written");
}

TEST_F(CliTest, RefusedClockRequestsWriteNothing) {
    std::map<int, std::string> before;
    for (int gpu = 0; gpu < 3; ++gpu) {
        before[gpu] = outputOf({"--simulate", "clocks", std::to_string(gpu)});
    }
    const std::vector<std::vector<std::string>> cases = {
        {"2", "2", "801", "1500", "1100"},   // graphics above the maximum
        {"2", "2", "700", "599", "1100"},    // shader below the minimum
        {"2", "2", "700", "1500", "1301"},   // memory above the maximum
        {"2", "2", "299", "599", "499"},     // all three out
        {"1", "2", "1216", "2000", "2000"},  // above the raised maximum
        {"0", "3", "600", "0", "400"},       // memory of a level whose range is one frequency
        {"1", "1", "100", "200", "70"},      // a domain without range takes only its own clock
        {"1", "4", "100", "200", "68"},      // no fourth level on a three-level table
        {"2", "5", "700", "1500", "1100"},   {"2", "0", "700", "1500", "1100"},
        {"3", "2", "700", "1500", "1100"},   {"2", "2", "7e2", "1500", "1100"},
        {"2", "2", "-700", "1500", "1100"},  {"2", "2", "700", "1500"},
        {"2", "2", "100001", "1500", "1100"}};
    for (const auto& args : cases) {
        std::vector<std::string> full = {"--simulate", "set-clocks"};
        full.insert(full.end(), args.begin(), args.end());
        const ProcessResult r = run(full);
        EXPECT_EQ(r.exitCode, 1) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "") << testing::PrintToString(args);
        EXPECT_NE(r.err, "") << testing::PrintToString(args);
    }
    for (int gpu = 0; gpu < 3; ++gpu) {
        EXPECT_EQ(outputOf({"--simulate", "clocks", std::to_string(gpu)}), before[gpu]) << gpu;
    }

    // The message names every refused value with the range it missed.
    const ProcessResult r = run({"--simulate", "set-clocks", "2", "2", "801", "1500", "1301"});
    EXPECT_NE(r.err.find("graphics clock 801 MHz is outside the range of the level of kind 2: "
                         "300 to 800 MHz"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("memory clock 1301 MHz"), std::string::npos) << r.err;
}

// ---- offsets ---------------------------------------------------------------------------------

TEST_F(CliTest, OffsetsOnTheKeplerBoardOutliveTheProcess) {
    ProcessResult r = run({"--simulate", "offset", "0", "graphics", "50"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The layer's own report of the write does not reach qvctl's output.
    EXPECT_EQ(r.out.find("succeeded"), std::string::npos) << r.out;
    EXPECT_EQ(parseBlocks(r.out)[0]["graphics-offset"], "+50 MHz (range -135 to +135 MHz)");

    r = run({"--simulate", "offset", "0", "memory", "-100"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = run({"--simulate", "offset", "0", "voltage", "+25"});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    Block offsets = parseBlocks(outputOf({"--simulate", "offset", "0"}))[0];
    EXPECT_EQ(offsets["graphics-offset"], "+50 MHz (range -135 to +135 MHz)");
    EXPECT_EQ(offsets["memory-offset"], "-100 MHz (range -500 to +1000 MHz)");
    EXPECT_EQ(offsets["voltage-offset"], "+25 mV (range -50 to +100 mV)");

    // P0 is the top level: its clocks now run at base + offset.
    Block levels = parseBlocks(outputOf({"--simulate", "clocks", "0"}))[0];
    EXPECT_EQ(levels["kind-2-graphics"].rfind("current 1056 MHz,", 0), 0u)
        << levels["kind-2-graphics"];
    EXPECT_EQ(levels["kind-2-memory"].rfind("current 2904 MHz,", 0), 0u) << levels["kind-2-memory"];
}

TEST_F(CliTest, OffsetsAreRefusedOffKeplerBoardsAndOutsideTheirRange) {
    for (const char* gpu : {"1", "2"}) {
        const ProcessResult r = run({"--simulate", "offset", gpu, "graphics", "50"});
        EXPECT_EQ(r.exitCode, 4) << gpu;
        EXPECT_EQ(r.out, "") << gpu;
        EXPECT_NE(r.err.find("not a Kepler-class board"), std::string::npos) << r.err;
    }
    const std::vector<std::vector<std::string>> cases = {
        {"0", "graphics", "136"}, {"0", "voltage", "-51"},  {"0", "clock", "5"},
        {"0", "graphics", "abc"}, {"0", "graphics", "+-5"}, {"0", "graphics"},
        {"0", "memory", "100001"}};
    for (const auto& args : cases) {
        std::vector<std::string> full = {"--simulate", "offset"};
        full.insert(full.end(), args.begin(), args.end());
        const ProcessResult r = run(full);
        EXPECT_EQ(r.exitCode, 1) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "") << testing::PrintToString(args);
        EXPECT_NE(r.err, "") << testing::PrintToString(args);
    }
    Block offsets = parseBlocks(outputOf({"--simulate", "offset", "0"}))[0];
    EXPECT_EQ(offsets["graphics-offset"], "0 MHz (range -135 to +135 MHz)");
    EXPECT_EQ(offsets["voltage-offset"], "0 mV (range -50 to +100 mV)");
}

// ---- power limit -----------------------------------------------------------------------------

TEST_F(CliTest, PowerLimitIsRaisedToTheBoardsMaximumAndStays) {
    Block limit = parseBlocks(outputOf({"--simulate", "power-limit", "0"}))[0];
    EXPECT_EQ(limit["power-limit"], "100 %");
    EXPECT_EQ(limit["power-limit-default"], "100 %");
    EXPECT_EQ(limit["power-limit-min"], "32 %");
    EXPECT_EQ(limit["power-limit-max"], "132 %");

    Block raised = parseBlocks(outputOf({"--simulate", "power-limit", "0", "raise"}))[0];
    EXPECT_EQ(raised["power-limit-before"], "100 %");
    EXPECT_EQ(raised["power-limit"], "132 %");

    limit = parseBlocks(outputOf({"--simulate", "power-limit", "0"}))[0];
    EXPECT_EQ(limit["power-limit"], "132 %");
}

TEST_F(CliTest, PowerLimitOfABoardWithoutPolicyFailsWithTheDriverStatus) {
    ProcessResult r = run({"--simulate", "power-limit", "1", "raise"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("driver status -104"), std::string::npos) << r.err;

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{}, {"0", "lower"}, {"5"}, {"0", "raise", "x"}}) {
        std::vector<std::string> full = {"--simulate", "power-limit"};
        full.insert(full.end(), args.begin(), args.end());
        r = run(full);
        EXPECT_EQ(r.exitCode, 1) << testing::PrintToString(args);
        EXPECT_NE(r.err, "");
    }
}

}  // namespace
}  // namespace qv::test
