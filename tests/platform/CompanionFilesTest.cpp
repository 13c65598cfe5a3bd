#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "gpu/DriverSelection.h"
#include "platform/CompanionFiles.h"
#include "platform/ProgramLocation.h"
#include "support/TempDir.h"

namespace qv::platform {
namespace {

using test::TempDir;

// A prefix with the program in bin/ and files placed where a test wants them.
class InstalledPrefix : public ::testing::Test {
protected:
    InstalledPrefix() { std::filesystem::create_directories(prefix_.file("bin")); }
    std::string bin() const { return prefix_.file("bin"); }
    std::string place(const std::string& relative) {
        const std::filesystem::path path = prefix_.file(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << "x";
        return path.string();
    }

    TempDir prefix_;
};

TEST_F(InstalledPrefix, CompanionsAreFoundBesideTheProgramFirstThenInThePrivateFolders) {
    // Nothing there: the place beside the program, where a build tree has it.
    EXPECT_EQ(findCompanionFile(bin(), "qv-readmem"), bin() + "/qv-readmem");

    const std::string exec = place("libexec/quorvel/qv-readmem");
    EXPECT_EQ(findCompanionFile(bin(), "qv-readmem"), exec);
    const std::string lib = place("lib/quorvel/qv-readmem");
    EXPECT_EQ(findCompanionFile(bin(), "qv-readmem"), lib);
    const std::string beside = place("bin/qv-readmem");
    EXPECT_EQ(findCompanionFile(bin(), "qv-readmem"), beside);
}

TEST_F(InstalledPrefix, ShippedDataAndCompanionsKeepToTheirOwnFolders) {
    place("share/quorvel/LiberationSans-Regular.ttf");
    place("lib/quorvel/libqvsim.so");
    EXPECT_EQ(findSharedDataFile(bin(), "LiberationSans-Regular.ttf"),
              prefix_.file("share/quorvel/LiberationSans-Regular.ttf"));
    EXPECT_EQ(findCompanionFile(bin(), "LiberationSans-Regular.ttf"),
              bin() + "/LiberationSans-Regular.ttf");
    EXPECT_EQ(findSharedDataFile(bin(), "libqvsim.so"), bin() + "/libqvsim.so");
}

TEST_F(InstalledPrefix, TheSimulatedDriverIsTheOneInstalledWithTheProgram) {
    const std::string library = place("lib/quorvel/libqvsim.so");
    // Its presets lie beside it.
    place("lib/quorvel/boards/six-gpus.conf");
    std::vector<std::string> args = {"--simulate=six-gpus", "list"};
    drv::DriverSelection selection;
    std::string error;
    ASSERT_EQ(drv::selectDriver(args, bin(), selection, error), drv::SelectionResult::kSelected)
        << error;
    EXPECT_EQ(selection.libraryPath, library);
    EXPECT_EQ(selection.simConfig, "six-gpus");
    EXPECT_EQ(args, std::vector<std::string>{"list"});
}

TEST(CompanionFiles, WithoutAProgramFolderTheBareNameIsLeftToTheSystemSearch) {
    EXPECT_EQ(findCompanionFile("", "libqvsim.so"), "libqvsim.so");
    EXPECT_EQ(findSharedDataFile("", "font.ttf"), "font.ttf");
}

}  // namespace
}  // namespace qv::platform
