// qvctl's save-settings and apply-settings, run as a user runs them.
#include <gtest/gtest.h>

#include "app/UserSettingsTestSupport.h"
#include "cli/CliFixture.h"

namespace qv::test {
namespace {

TEST_F(CliTest, SavedSettingsComeBackAfterChangesInOtherRuns) {
    TempDir files;
    const std::string file = files.file("settings.txt");
    ASSERT_EQ(run({"--simulate", "fan", "0", "70"}).exitCode, 0);
    const std::string saved = outputOf({"--simulate", "save-settings", file});
    EXPECT_NE(saved.find("[Gpu1]\nId=1180\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("FanWorkMode=2\nFanSpeed=70\n"), std::string::npos) << saved;
    // The file is the window program's: UTF-16 with a byte-order mark and CR LF line ends.
    std::string text;
    for (char c : saved) {
        if (c == '\n') {
            text += '\r';
        }
        text += c;
    }
    EXPECT_EQ(readBytes(file), utf16File(widen(text)));

    ASSERT_EQ(run({"--simulate", "fan", "0", "auto"}).exitCode, 0);
    ASSERT_EQ(run({"--simulate", "set-clocks", "2", "2", "700", "1400", "1100"}).exitCode, 0);
    const std::string applied = outputOf({"--simulate", "apply-settings", file});
    EXPECT_EQ(applied,
              "GPU 0\n  device-id: 1180\n  settings: applied\n\n"
              "GPU 1\n  device-id: 0e22\n  settings: applied\n\n"
              "GPU 2\n  device-id: 05e2\n  settings: applied\n");
    EXPECT_EQ(outputOf({"--simulate", "save-settings", files.file("again.txt")}), saved);
}

TEST_F(CliTest, SaveSettingsKeepsTheWindowsSharedValues) {
    TempDir files;
    const std::string file = files.file("settings.txt");
    writeBytes(file, utf16File(u"[Gpu1]\r\nId=1180\r\nHorizonValue=7\r\nVerticalValue=-8\r\n"));
    const std::string saved = outputOf({"--simulate", "save-settings", file});
    EXPECT_NE(saved.find("HorizonValue=7\nVerticalValue=-8\n[Gpu2]"), std::string::npos) << saved;
}

TEST_F(CliTest, ApplySettingsSkipsSectionsOfOtherCards) {
    TempDir files;
    const std::string file = files.file("settings.txt");
    writeBytes(file, utf16File(u"[Gpu1]\r\nId=0E22\r\nFanWorkMode=2\r\nFanSpeed=2000\r\n"));
    EXPECT_EQ(outputOf({"--simulate=single-1180", "apply-settings", file}),
              "GPU 0\n  device-id: 1180\n  settings: skipped, the file's section is for device "
              "0E22\n");
    EXPECT_EQ(outputOf({"--simulate=single-0e22", "apply-settings", file}),
              "GPU 0\n  device-id: 0e22\n  settings: applied\n");
    writeBytes(file, utf16File(u"[Gpu2]\r\nId=1180\r\n"));
    EXPECT_EQ(outputOf({"--simulate=single-1180", "apply-settings", file}),
              "GPU 0\n  device-id: 1180\n  settings: none in the file\n");
}

TEST_F(CliTest, SettingsCommandsReportBadFiles) {
    TempDir files;
    EXPECT_EQ(run({"--simulate", "save-settings"}).exitCode, 1);
    EXPECT_EQ(run({"--simulate", "apply-settings", "a", "b"}).exitCode, 1);
    const ProcessResult missing = run({"--simulate", "apply-settings", files.file("none.txt")});
    EXPECT_EQ(missing.exitCode, 4);
    EXPECT_NE(missing.err.find("cannot read the settings file"), std::string::npos);
    const ProcessResult unwritable =
        run({"--simulate", "save-settings", files.file("no/such/folder.txt")});
    EXPECT_EQ(unwritable.exitCode, 4);
    EXPECT_NE(unwritable.err.find("cannot write the settings file"), std::string::npos);
    EXPECT_EQ(unwritable.out, "");
}

}  // namespace
}  // namespace qv::test
