// Which folder the user's data files go to.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/DataFolder.h"
#include "support/TempDir.h"

namespace qv::test {
namespace {

TEST(DataFolder, TheOverrideThenXdgDataHomeThenTheHomeFolder) {
    const struct {
        const char* override;
        const char* xdgDataHome;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/portable/data", "/x", "/home/a", "/portable/data"},
        {"", "/x/share", "/home/a", "/x/share/quorvel"},
        {nullptr, nullptr, "/home/a", "/home/a/.local/share/quorvel"},
        // A relative XDG_DATA_HOME is not a base folder; neither is a relative home.
        {nullptr, "share", "/home/a", "/home/a/.local/share/quorvel"},
        {nullptr, "", "/home/a", "/home/a/.local/share/quorvel"},
        {nullptr, nullptr, "home/a", ""},
        {nullptr, nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::dataFolderFrom(c.override, c.xdgDataHome, c.home), c.expected)
            << (c.override ? c.override : "-") << " " << (c.xdgDataHome ? c.xdgDataHome : "-")
            << " " << (c.home ? c.home : "-");
    }
}

TEST(DataFolder, IsMadeWithItsParentsForItsOwnerOnly) {
    TempDir home;
    const std::string folder = home.file(".local/share/quorvel");
    ASSERT_EQ(platform::makeDataFolder(folder), 0);
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_EQ(platform::makeDataFolder(folder), 0) << "an existing folder is fine";
    // A file in the way is reported, not replaced.
    const std::string blocked = home.file("blocked");
    { std::ofstream(blocked) << "x"; }
    EXPECT_NE(platform::makeDataFolder(blocked + "/quorvel"), 0);
}

}  // namespace
}  // namespace qv::test
