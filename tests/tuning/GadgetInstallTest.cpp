// The sidebar gadget step with a system that reports the version under test and temporary folders
// standing for the program folder, the user profile and the Windows folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "gpu/GpuLayerTestSupport.h"
#include "support/TempDir.h"
#include "tuning/GadgetInstall.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using tuning::GadgetFolders;
using tuning::installGadget;

std::string contentOf(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class GadgetInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path source = fs::path(program_.path()) / tuning::kGadgetFolderName;
        fs::create_directory(source);
        for (const char* name : tuning::kGadgetFiles) {
            std::ofstream(source / name) << "gadget file " << name;
        }
        std::ofstream(fs::path(program_.path()) / tuning::kGadgetStateFile) << "<state/>";
        // The profile has the sidebar's folders; the gadget's own folder is missing.
        fs::create_directories(fs::path(profile_.path()) / tuning::kGadgetsUnderProfile);
        folders_ = {program_.path(), profile_.path(), windows_.path()};
    }

    fs::path target() const {
        return fs::path(profile_.path()) / tuning::kGadgetsUnderProfile / tuning::kGadgetFolderName;
    }
    fs::path stateCopy() const { return fs::path(windows_.path()) / tuning::kGadgetStateFile; }

    TempDir program_, profile_, windows_;
    GadgetFolders folders_;
};

TEST_F(GadgetInstallTest, FirstStartOnWindows7CopiesTheSevenFilesAndTheStateFile) {
    std::ofstream(stateCopy()) << "old state";
    FixedSystemInfo windows7(6, 1);
    const tuning::GadgetInstallResult result = installGadget(windows7, folders_);

    EXPECT_TRUE(result.ran);
    EXPECT_TRUE(result.folderCreated);
    EXPECT_EQ(result.filesCopied, 8);
    EXPECT_EQ(result.stateFilePath, stateCopy().string());
    for (const char* name : tuning::kGadgetFiles) {
        EXPECT_EQ(contentOf(target() / name), std::string("gadget file ") + name);
    }
    // An existing copy is replaced.
    EXPECT_EQ(contentOf(stateCopy()), "<state/>");
}

TEST_F(GadgetInstallTest, ASecondStartFindsTheFolderAndCopiesNothingEvenWhenFilesWereDeleted) {
    FixedSystemInfo windows7(6, 1);
    ASSERT_TRUE(installGadget(windows7, folders_).folderCreated);
    fs::remove(target() / "gadget.html");
    fs::remove(stateCopy());

    const tuning::GadgetInstallResult again = installGadget(windows7, folders_);
    EXPECT_TRUE(again.ran);
    EXPECT_FALSE(again.folderCreated);
    EXPECT_EQ(again.filesCopied, 0);
    EXPECT_EQ(again.stateFilePath, stateCopy().string());
    EXPECT_FALSE(fs::exists(target() / "gadget.html"));
    EXPECT_FALSE(fs::exists(stateCopy()));
}

TEST_F(GadgetInstallTest, OnlyWindows7HasTheSidebar) {
    struct Case {
        uint32_t major, minor;
        bool sidebar;
    };
    for (const Case c :
         {Case{6, 1, true}, Case{7, 0, true}, Case{6, 0, false}, Case{6, 2, false},
          Case{6, 3, false}, Case{10, 0, false}, Case{5, 1, false}, Case{0, 0, false}}) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        EXPECT_EQ(tuning::systemHasSidebar({c.major, c.minor}), c.sidebar);
    }
    FixedSystemInfo windows8(6, 2);
    const tuning::GadgetInstallResult result = installGadget(windows8, folders_);
    EXPECT_FALSE(result.ran);
    EXPECT_FALSE(fs::exists(target()));
    EXPECT_FALSE(fs::exists(stateCopy()));
    // This system is not taken for the one with the sidebar.
    EXPECT_FALSE(tuning::systemHasSidebar(platform::HostSystemInfo::instance().osVersion()));
}

TEST_F(GadgetInstallTest, FailuresAreSilentAndLeaveTheRestInPlace) {
    FixedSystemInfo windows7(6, 1);
    // Missing sources: the folder is made, the files that exist are copied.
    fs::remove(fs::path(program_.path()) / tuning::kGadgetFolderName / "cpu.png");
    fs::remove(fs::path(program_.path()) / tuning::kGadgetStateFile);
    const tuning::GadgetInstallResult partial = installGadget(windows7, folders_);
    EXPECT_TRUE(partial.folderCreated);
    EXPECT_EQ(partial.filesCopied, 6);
    EXPECT_FALSE(fs::exists(target() / "cpu.png"));

    // A profile without the sidebar's folders: one level is made, never the whole path.
    TempDir bareProfile;
    const tuning::GadgetInstallResult none =
        installGadget(windows7, {program_.path(), bareProfile.path(), windows_.path()});
    EXPECT_FALSE(none.folderCreated);
    EXPECT_EQ(none.filesCopied, 0);
    EXPECT_FALSE(fs::exists(fs::path(bareProfile.path()) / "AppData"));

    // No system folder (every system but Windows): nothing at all.
    const tuning::GadgetInstallResult noSystem =
        installGadget(windows7, {program_.path(), profile_.path(), ""});
    EXPECT_FALSE(noSystem.ran);
}

}  // namespace
}  // namespace qv::test
