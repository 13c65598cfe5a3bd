#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/AutostartEntry.h"
#include "settings/FileRegistryStore.h"
#include "settings/RegistryStoreFile.h"
#include "support/ScopedEnvironment.h"
#include "support/SimHarness.h"

namespace qv::settings {
namespace {

using test::ScopedEnvironment;
using test::TempDir;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

StorePaths pathsIn(const TempDir& dir) {
    return {dir.file("config/settings.conf"), dir.file("config/autostart/quorvel.desktop")};
}

TEST(FileRegistryStorePaths, OverrideThenXdgThenHome) {
    ScopedEnvironment env;
    env.set(kConfigFolderEnvironment, "/portable/cfg");
    env.set("XDG_CONFIG_HOME", "/xdg");
    StorePaths paths = defaultStorePaths();
    EXPECT_EQ(paths.settingsFile, "/portable/cfg/settings.conf");
    EXPECT_EQ(paths.autostartFile, "/portable/cfg/autostart/quorvel.desktop");

    env.clear(kConfigFolderEnvironment);
    paths = defaultStorePaths();
    EXPECT_EQ(paths.settingsFile, "/xdg/quorvel/settings.conf");
    EXPECT_EQ(paths.autostartFile, "/xdg/autostart/quorvel.desktop");

    // A relative XDG_CONFIG_HOME is invalid and ignored.
    env.set("XDG_CONFIG_HOME", "relative");
    env.set("HOME", "/home/someone");
    paths = defaultStorePaths();
    EXPECT_EQ(paths.settingsFile, "/home/someone/.config/quorvel/settings.conf");
    EXPECT_EQ(paths.autostartFile, "/home/someone/.config/autostart/quorvel.desktop");
}

TEST(FileRegistryStore, TextAndNumberWritesKeepEachOther) {
    TempDir dir;
    FileRegistryStore store(pathsIn(dir));
    std::string text;
    EXPECT_FALSE(store.readText("NewsHost", text));
    ASSERT_TRUE(store.writeValue("NewsSwitch", 1));
    ASSERT_TRUE(store.writeText("NewsHost", "https://news.example"));
    EXPECT_FALSE(store.writeText("NewsHost", "two\nlines"));
    ASSERT_TRUE(store.writeValue("NewsSwitch", 0));

    FileRegistryStore reopened(pathsIn(dir));
    ASSERT_TRUE(reopened.readText("newshost", text));
    EXPECT_EQ(text, "https://news.example");
    uint32_t value = 9;
    ASSERT_TRUE(reopened.readValue("NewsSwitch", value));
    EXPECT_EQ(value, 0u);
}

TEST(FileRegistryStore, FirstWriteCreatesThePrivateFileAndLaterWritesKeepOtherValues) {
    TempDir dir;
    FileRegistryStore store(pathsIn(dir));
    uint32_t value = 77;
    EXPECT_FALSE(store.readValue("HighSet", value));
    EXPECT_EQ(value, 77u);

    ASSERT_TRUE(store.writeValue("HighSet", 1));
    ASSERT_TRUE(store.writeValue("IphonePassWord", 570293));
    ASSERT_TRUE(store.writeValue("highset", 0));
    struct stat info {};
    ASSERT_EQ(stat(store.paths().settingsFile.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    EXPECT_TRUE(store.readValue("HIGHSET", value));
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(store.readValue("IphonePassWord", value));
    EXPECT_EQ(value, 570293u);
    // Only the settings file is left in the folder: no temporary files.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("config"))) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, 1u);
}

TEST(FileRegistryStore, DamagedFileKeepsItsReadableValuesAndIsRepairedByAWrite) {
    TempDir dir;
    FileRegistryStore store(pathsIn(dir));
    writeText(store.paths().settingsFile,
              std::string("\x01\xff garbage\nTempSet=3\nFansSet=banana\n\0\0\0\n", 40));
    uint32_t value = 0;
    EXPECT_TRUE(store.readValue("TempSet", value));
    EXPECT_EQ(value, 3u);
    value = 9;
    EXPECT_FALSE(store.readValue("FansSet", value));
    EXPECT_EQ(value, 9u);

    ASSERT_TRUE(store.writeValue("FansSet", 2));
    const RegistryStoreFile file = RegistryStoreFile::parse(readText(store.paths().settingsFile));
    EXPECT_EQ(file.skippedLines(), 0u);
    EXPECT_EQ(file.entries(), (std::vector<RegistryStoreFile::Entry>{{"TempSet", 3}, {"FansSet", 2}}));
}

// The files of `folder` whose names start with `prefix`.
std::vector<std::string> filesStartingWith(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

// A store too large to be ours is never overwritten: it is kept under a stamped name, the store
// starts again on defaults, and it says so.
TEST(FileRegistryStore, OversizedStoreIsKeptAsideAndTheStoreStartsAgain) {
    TempDir dir;
    FileRegistryStore store(pathsIn(dir));
    const std::string big = "RestoreUserSettings=0\nHighSet=1\nIphonePassWord=1234\n" +
                            std::string(kMaxSettingsFileBytes, '#') + "\n";
    writeText(store.paths().settingsFile, big);
    EXPECT_FALSE(store.unreadableStore().found);
    uint32_t value = 5;
    EXPECT_FALSE(store.readValue("HighSet", value));
    EXPECT_EQ(value, 5u);

    const UnreadableStore problem = store.unreadableStore();
    EXPECT_TRUE(problem.found);
    EXPECT_TRUE(problem.savedAside);
    const std::string folder = dir.file("config");
    const auto aside = filesStartingWith(folder, "settings.conf.unreadable-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(aside[0], problem.keptAs);
    EXPECT_EQ(readText(aside[0]), big);

    ASSERT_TRUE(store.writeValue("TempSet", 2));
    EXPECT_EQ(RegistryStoreFile::parse(readText(store.paths().settingsFile)).entries(),
              (std::vector<RegistryStoreFile::Entry>{{"TempSet", 2}}));
    EXPECT_EQ(readText(aside[0]), big);

    // A second store that meets another unreadable file keeps it beside the first.
    writeText(store.paths().settingsFile, big);
    FileRegistryStore again(pathsIn(dir));
    EXPECT_FALSE(again.readValue("TempSet", value));
    EXPECT_EQ(filesStartingWith(folder, "settings.conf.unreadable-").size(), 2u);
}

// A store that can be neither read nor moved is left exactly as it is; the values live in
// memory for the run.
TEST(FileRegistryStore, UnreadableStoreThatCannotBeMovedIsNeverWritten) {
    TempDir dir;
    // A name so long that no stamped name fits beside it.
    const std::string path = dir.file("config/" + std::string(240, 's'));
    const std::string big = "HighSet=1\n" + std::string(kMaxSettingsFileBytes, '#') + "\n";
    writeText(path, big);
    FileRegistryStore store(StorePaths{path, dir.file("config/autostart/quorvel.desktop")});
    EXPECT_FALSE(store.writeValue("TempSet", 3)) << "only kept for this run";
    uint32_t value = 0;
    EXPECT_TRUE(store.readValue("TempSet", value));
    EXPECT_EQ(value, 3u);
    EXPECT_FALSE(store.readValue("HighSet", value));
    EXPECT_EQ(readText(path), big);
    EXPECT_EQ(filesStartingWith(dir.file("config"), std::string(240, 's')).size(), 1u);
    const UnreadableStore problem = store.unreadableStore();
    EXPECT_TRUE(problem.found);
    EXPECT_FALSE(problem.savedAside);
    EXPECT_EQ(problem.keptAs, path);

    // A folder where the file should be is not ours to move: nothing is written, nothing breaks.
    TempDir other;
    std::filesystem::create_directories(other.file("config/settings.conf"));
    FileRegistryStore blocked(pathsIn(other));
    EXPECT_FALSE(blocked.writeValue("TempSet", 1));
    EXPECT_TRUE(std::filesystem::is_directory(other.file("config/settings.conf")));
    EXPECT_TRUE(blocked.unreadableStore().found);
    EXPECT_FALSE(blocked.unreadableStore().savedAside);

    FileRegistryStore nowhere(StorePaths{});
    EXPECT_FALSE(nowhere.writeValue("TempSet", 1));
    EXPECT_FALSE(nowhere.readValue("TempSet", value));
    EXPECT_FALSE(nowhere.writeRunEntry("/usr/bin/quorvel", "SysTray"));
    EXPECT_TRUE(nowhere.deleteRunEntry());
    EXPECT_FALSE(nowhere.unreadableStore().found);
}

TEST(FileRegistryStore, RunEntryIsAnAutostartFileWithPathAndWord) {
    TempDir dir;
    FileRegistryStore store(pathsIn(dir));
    std::string text;
    EXPECT_FALSE(store.readRunEntry(text));
    EXPECT_TRUE(store.deleteRunEntry());  // none there: not an error

    ASSERT_TRUE(store.writeRunEntry("/usr/lib/quorvel/quorvel", "SysTray"));
    const std::string file = readText(store.paths().autostartFile);
    EXPECT_NE(file.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(file.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(file.find("\nExec=/usr/lib/quorvel/quorvel SysTray\n"), std::string::npos);
    ASSERT_TRUE(store.readRunEntry(text));
    EXPECT_EQ(text, "/usr/lib/quorvel/quorvel SysTray");

    EXPECT_TRUE(store.deleteRunEntry());
    EXPECT_FALSE(std::filesystem::exists(store.paths().autostartFile));
    EXPECT_FALSE(store.readRunEntry(text));
    EXPECT_TRUE(store.deleteRunEntry());
}

TEST(FileRegistryStore, ExecLineQuotesPathsThatNeedIt) {
    std::string exec;
    ASSERT_TRUE(autostartExecValue("/opt/my apps/quorvel", "Minimize", exec));
    EXPECT_EQ(exec, "\"/opt/my apps/quorvel\" Minimize");
    ASSERT_TRUE(autostartExecValue("/opt/100%/a\"b$c", "Normal", exec));
    // Quoted with \" and \$ inside, then each backslash doubled for the file; % doubled.
    EXPECT_EQ(exec, "\"/opt/100%%/a\\\\\"b\\\\$c\" Normal");
    EXPECT_FALSE(autostartExecValue("/opt/new\nline/quorvel", "Normal", exec));
    EXPECT_FALSE(autostartExecValue("", "Normal", exec));
}

TEST(FileRegistryStore, RunEntryLongerThanTheReadLimitIsNeitherWrittenNorRead) {
    TempDir dir;
    FileRegistryStore store(pathsIn(dir));
    const std::string longPath = "/" + std::string(kRunEntryMaxBytes, 'p');
    EXPECT_FALSE(store.writeRunEntry(longPath, "SysTray"));
    EXPECT_FALSE(std::filesystem::exists(store.paths().autostartFile));

    const std::string fits = "/" + std::string(kRunEntryMaxBytes - 9, 'p');  // + " SysTray"
    ASSERT_TRUE(store.writeRunEntry(fits, "SysTray"));
    std::string text;
    ASSERT_TRUE(store.readRunEntry(text));
    EXPECT_EQ(text.size(), kRunEntryMaxBytes);

    writeText(store.paths().autostartFile, "[Desktop Entry]\nExec=" + longPath + " SysTray\n");
    EXPECT_FALSE(store.readRunEntry(text));
}

TEST(FileRegistryStore, HiddenOrForeignEntriesReadAsNone) {
    std::string exec;
    EXPECT_FALSE(readAutostartExec("[Desktop Entry]\nExec=/q SysTray\nHidden=true\n", exec));
    EXPECT_FALSE(readAutostartExec("[Other Group]\nExec=/q SysTray\n", exec));
    EXPECT_FALSE(readAutostartExec("Exec=/q SysTray\n", exec));
    ASSERT_TRUE(
        readAutostartExec("# made by hand\n[Desktop Entry]\r\nName=Q\r\n  Exec = /q  SysTray \r\n"
                          "[Desktop Action x]\nExec=/other Normal\n",
                          exec));
    EXPECT_EQ(exec, "/q  SysTray ");
}

}  // namespace
}  // namespace qv::settings
