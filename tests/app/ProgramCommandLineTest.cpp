// The window program's command line, read before the window toolkit starts.
#include <gtest/gtest.h>

#include "app/ProgramCommandLine.h"

namespace qv::test {
namespace {

using app::CommandLineAction;

const app::ToolkitOptions kToolkit = {{"-platform", "-style"}, {"-reverse"}};

app::ProgramCommandLine parse(const std::vector<std::string>& args) {
    return app::parseProgramCommandLine(args, kToolkit);
}

TEST(ProgramCommandLine, HelpAndVersionAnswerWhereverTheyStand) {
    struct Case {
        std::vector<std::string> args;
        CommandLineAction action;
    };
    const Case cases[] = {
        {{"--help"}, CommandLineAction::kHelp},
        {{"-h"}, CommandLineAction::kHelp},
        {{"--simulate", "Minimize", "--help"}, CommandLineAction::kHelp},
        {{"--version"}, CommandLineAction::kVersion},
        {{"-platform", "offscreen", "--version", "--help"}, CommandLineAction::kVersion},
        // An option before them that is wrong is reported first.
        {{"--bogus", "--help"}, CommandLineAction::kUsageError},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse(c.args).action, c.action) << ::testing::PrintToString(c.args);
    }
}

TEST(ProgramCommandLine, UnknownOptionsAndIncompleteOnesAreUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"Minimize", "-x"}, "unknown option '-x'"},
        {{"-"}, "unknown option '-'"},
        {{"-platform"}, "unknown option '-platform'"},  // the toolkit's, without its value
        {{"--simulate-typo"}, "unknown option '--simulate-typo'"},
        {{"--screenshot"}, "--screenshot needs a file name"},
        {{"--screenshot", ""}, "--screenshot needs a file name"},
        {{"--wide"}, "--wide goes with --screenshot"},
    };
    for (const Case& c : cases) {
        const app::ProgramCommandLine line = parse(c.args);
        EXPECT_EQ(line.action, CommandLineAction::kUsageError);
        EXPECT_EQ(line.error, c.error) << ::testing::PrintToString(c.args);
    }
}

TEST(ProgramCommandLine, OwnOptionsAreTakenToolkitOptionsSkippedTheRestKeptInOrder) {
    const app::ProgramCommandLine line =
        parse({"-platform", "offscreen", "--simulate=six-gpus", "--screenshot", "f.png", "--wide",
               "-style=fusion", "--reverse", "--verbose", "--advanced", "--driver", "-odd-path.so",
               "SysTray", "/Minimize"});
    ASSERT_EQ(line.action, CommandLineAction::kRun) << line.error;
    EXPECT_EQ(line.screenshotPath, "f.png");
    EXPECT_TRUE(line.wide);
    EXPECT_TRUE(line.verbose);
    EXPECT_TRUE(line.advanced);
    // The driver options go on to the driver selection; plain words stay start words.
    EXPECT_EQ(line.arguments, (std::vector<std::string>{"--simulate=six-gpus", "--driver",
                                                        "-odd-path.so", "SysTray", "/Minimize"}));

    const app::ProgramCommandLine plain = parse({});
    EXPECT_EQ(plain.action, CommandLineAction::kRun);
    EXPECT_FALSE(plain.verbose);
    EXPECT_FALSE(plain.advanced);
    EXPECT_TRUE(plain.arguments.empty());
}

}  // namespace
}  // namespace qv::test
