// Which driver library and board configuration the command line picks, and how a simulator
// configuration that names nothing is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "gpu/DriverSelection.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace qv::test {
namespace {

using drv::SelectionResult;

// A program folder with a simulator beside it and two presets.
struct ProgramFolder {
    ProgramFolder() {
        std::filesystem::create_directory(folder.file("boards"));
        for (const char* preset : {"zeta", "alpha"}) {
            std::ofstream(folder.file(std::string("boards/") + preset + ".conf")) << "[gpu]\n";
        }
        std::ofstream(folder.file("boards/notes.txt")) << "not a preset\n";
    }
    SelectionResult select(std::vector<std::string> args, drv::DriverSelection& selection,
                           std::string& error) const {
        return drv::selectDriver(args, folder.path(), selection, error);
    }
    TempDir folder;
};

TEST(DriverSelection, PresetsAndFilesAreTakenAsTheSimulatorTakesThem) {
    ProgramFolder program;
    drv::DriverSelection selection;
    std::string error;

    ASSERT_EQ(program.select({"--simulate=alpha"}, selection, error), SelectionResult::kSelected);
    EXPECT_TRUE(selection.simulated);
    EXPECT_EQ(selection.simConfig, "alpha");
    EXPECT_EQ(selection.libraryPath, program.folder.path() + "/" + drv::kSimulatedDriverLibrary);

    // A file given relative to the current folder is handed on by its absolute path: the window
    // program changes its current folder before the driver reads the configuration.
    TempDir elsewhere;
    const std::string file = elsewhere.file("mine.conf");
    std::ofstream(file) << "[gpu]\n";
    const std::string relative =
        std::filesystem::relative(file, std::filesystem::current_path()).string();
    ASSERT_EQ(program.select({"--simulate=" + relative}, selection, error),
              SelectionResult::kSelected)
        << error;
    EXPECT_EQ(std::filesystem::path(selection.simConfig), std::filesystem::path(file));
}

TEST(DriverSelection, AConfigurationThatNamesNothingListsThePresets) {
    ProgramFolder program;
    drv::DriverSelection selection;
    std::string error;
    for (const std::string& config : {std::string("alhpa"), std::string("boards/alpha"),
                                      std::string("/nonexistent/alpha.conf")}) {
        EXPECT_EQ(program.select({"--simulate=" + config, "list"}, selection, error),
                  SelectionResult::kUnknownSimConfig)
            << config;
        EXPECT_EQ(error, "no simulator preset or file '" + config + "'; presets: alpha, zeta");
    }

    TempDir bare;
    std::vector<std::string> args = {"--simulate=x"};
    ASSERT_EQ(drv::selectDriver(args, bare.path(), selection, error),
              SelectionResult::kUnknownSimConfig);
    EXPECT_NE(error.find("presets: none in " + bare.path() + "/boards"), std::string::npos)
        << error;
}

TEST(DriverSelection, DriverOptionsComeOffTheArgumentsAndDriverWins) {
    ProgramFolder program;
    ScopedEnvironment environment;
    environment.clear(drv::kDriverEnvironment);
    drv::DriverSelection selection;
    std::string error;

    std::vector<std::string> args = {"status", "--driver", "/x/lib.so", "--simulate=typo", "-v"};
    // --driver decides, so the simulator's configuration is not looked at.
    ASSERT_EQ(drv::selectDriver(args, program.folder.path(), selection, error),
              SelectionResult::kSelected);
    EXPECT_EQ(args, (std::vector<std::string>{"status", "-v"}));
    EXPECT_EQ(selection.libraryPath, "/x/lib.so");
    EXPECT_FALSE(selection.simulated);

    args = {"--driver"};
    EXPECT_EQ(drv::selectDriver(args, program.folder.path(), selection, error),
              SelectionResult::kMalformedOption);

    args = {};
    ASSERT_EQ(drv::selectDriver(args, program.folder.path(), selection, error),
              SelectionResult::kSelected);
    EXPECT_EQ(selection.source, "default");
}

}  // namespace
}  // namespace qv::test
