// The installed tree: `cmake --install` of this build into a prefix of the test's own, then the
// installed programs run from there, with nothing of the build tree beside them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/CompanionFiles.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "tools/SpeakerTest.h"

namespace qv::test {
namespace {

constexpr std::chrono::seconds kToolTimeout{60};
constexpr const char* kPrivateFolder = "lib/quorvel";
constexpr const char* kMetainfoFile = "share/metainfo/org.quorvel.QuorvelK.metainfo.xml";
constexpr const char* kDesktopFile = "share/applications/quorvel.desktop";
constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

// The full path of a program on PATH; empty when there is none.
std::string onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

ChildProcess::Result runTool(const std::string& program, const std::vector<std::string>& args,
                             const std::string& folder = "") {
    return ChildProcess::run(program, args, {}, {ChildInherit::kAll, folder}, kToolTimeout);
}

class InstalledTree : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(root_.path().empty());
        const ChildProcess::Result r =
            runTool(QV_CMAKE_COMMAND, {"--install", QV_BUILD_DIR, "--prefix", prefix()});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    }
    std::string prefix() const { return root_.file("prefix"); }
    std::string installed(const std::string& relative) const { return prefix() + "/" + relative; }
    bool has(const std::string& relative) const {
        return std::filesystem::exists(installed(relative));
    }

    TempDir root_;
};

TEST_F(InstalledTree, ProgramsRunFromThePrefixWithTheirCompanionsInThePrivateFolder) {
    for (const char* program : {"bin/qvctl", "lib/quorvel/qv-readmem", "lib/quorvel/qv-fan-guard",
                                "lib/quorvel/libqvsim.so", "lib/quorvel/boards/six-gpus.conf"}) {
        EXPECT_TRUE(has(program)) << program;
    }
    EXPECT_EQ(has("bin/quorvel"), QV_INSTALLS_GUI != 0);
    // The phone bridge's state file templates, with the data the program ships.
    EXPECT_TRUE(has("share/quorvel/PCInfo.xml"));
    EXPECT_TRUE(has("share/quorvel/PyrandelInfo.xml"));
    // Nothing of the build's own: tests, helpers and the simulator beside the programs.
    EXPECT_FALSE(has("bin/quorvel_tests"));
    EXPECT_FALSE(has("bin/libqvsim.so"));
    EXPECT_FALSE(has("bin/boards"));

    // The installed qvctl answers as the built one does, on the built-in boards and on a preset
    // that only the installed presets folder holds.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--simulate", "list"},
          std::vector<std::string>{"--simulate=six-gpus", "list"}}) {
        const ChildProcess::Result built = runTool("qvctl", args);
        const ChildProcess::Result r = runTool(installed("bin/qvctl"), args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_NE(r.out.find("gpu-count: "), std::string::npos) << r.out;
        EXPECT_EQ(r.out, built.out) << args[0];
    }

    // The ROM-dump helper loads the simulated driver lying beside it.
    TempDir work;
    const ChildProcess::Result dump =
        runTool(installed(std::string(kPrivateFolder) + "/qv-readmem"), {"--simulate"}, work.path());
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_TRUE(std::filesystem::exists(work.file("PMOut")));
}

TEST_F(InstalledTree, DesktopIntegrationAndManualPagesAreInTheirUsualPlaces) {
    if (QV_INSTALLS_GUI == 0) {
        GTEST_SKIP() << "built without the window program";
    }
    EXPECT_TRUE(has(kDesktopFile));
    EXPECT_TRUE(has(kMetainfoFile));
    EXPECT_TRUE(has("share/icons/hicolor/scalable/apps/quorvel.svg"));
    if (QV_INSTALLS_ICON_SIZES != 0) {
        for (const int size : kIconSizes) {
            const std::string folder = std::to_string(size) + "x" + std::to_string(size);
            EXPECT_TRUE(has("share/icons/hicolor/" + folder + "/apps/quorvel.png")) << folder;
        }
    }
    if (QV_INSTALLS_MAN_PAGES != 0) {
        EXPECT_TRUE(has("share/man/man1/quorvel.1"));
        EXPECT_TRUE(has("share/man/man1/qvctl.1"));
    }
    // The speaker test's clips, where the installed program looks for its shipped data.
    for (const tools::SpeakerEntry& speaker : tools::kSpeakerTable) {
        const std::string clip = std::string("share/quorvel/") + speaker.clip;
        EXPECT_TRUE(has(clip)) << clip;
        EXPECT_EQ(std::filesystem::weakly_canonical(
                      platform::findSharedDataFile(installed("bin"), speaker.clip)),
                  std::filesystem::weakly_canonical(installed(clip)));
    }

    if (const std::string validator = onPath("desktop-file-validate"); !validator.empty()) {
        const ChildProcess::Result r = runTool(validator, {installed(kDesktopFile)});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(r.out + r.err, "") << "desktop-file-validate has remarks";
    } else {
        std::printf("desktop-file-validate not found: the desktop entry was not validated\n");
    }
    if (const std::string appstream = onPath("appstreamcli"); !appstream.empty()) {
        const ChildProcess::Result r =
            runTool(appstream, {"validate", "--no-net", installed(kMetainfoFile)});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    } else {
        std::printf("appstreamcli not found: the metainfo file was not validated\n");
    }
}

// The systemd units name the installed qvctl, and systemd's own checker finds nothing to say about
// them where it is at hand (a container without systemd has no systemd-analyze).
TEST_F(InstalledTree, SystemdUnitsRunTheInstalledQvctlAndVerify) {
    const std::string unitFolder = installed("lib/systemd/system");
    for (const char* unit : {"quorvel-exporter.service", "quorvel-apply.service"}) {
        std::ifstream in(unitFolder + "/" + unit);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_NE(text.str().find("\nExecStart=" + installed("bin/qvctl") + " "), std::string::npos)
            << unit << ":\n" << text.str();
    }
    const std::string analyze = onPath("systemd-analyze");
    if (analyze.empty()) {
        GTEST_SKIP() << "systemd-analyze not found: the systemd units were not verified";
    }
    const std::vector<std::string> units = {unitFolder + "/quorvel-exporter.service",
                                            unitFolder + "/quorvel-apply.service"};
    std::vector<std::string> args = {"verify", "--man=no"};
    args.insert(args.end(), units.begin(), units.end());
    const ChildProcess::Result r = runTool(analyze, args);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out + r.err, "") << "systemd-analyze verify has remarks";

    // The checker does speak up here: a misspelt setting is reported.
    TempDir folder;
    std::ifstream in(units[0]);
    std::stringstream text;
    text << in.rdbuf();
    std::string broken = text.str();
    broken.replace(broken.find("Restart=on-failure"), 7, "Restrat");
    std::ofstream(folder.file("quorvel-exporter.service")) << broken;
    const ChildProcess::Result bad =
        runTool(analyze, {"verify", "--man=no", folder.file("quorvel-exporter.service")});
    EXPECT_NE(bad.out + bad.err, "");
}

}  // namespace
}  // namespace qv::test
