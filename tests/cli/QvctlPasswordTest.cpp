#include <fstream>

#include "cli/CliFixture.h"
#include "platform/CompanionFiles.h"
#include "settings/FileRegistryStore.h"
#include "settings/RegistryValues.h"

namespace qv::test {
namespace {

class QvctlPassword : public CliTest {
protected:
    // qvctl password set with `input` as its standard input, on this test's settings store.
    ProcessResult setPassword(const std::string& input) {
        const std::string inputFile = config_.file("input");
        std::ofstream(inputFile, std::ios::binary) << input;
        return ChildProcess::run(
            "/bin/sh",
            {"-c", "exec \"$0\" password set < \"$1\"",
             platform::executableFolder() + "/" + kQvctl, inputFile},
            {{settings::kConfigFolderEnvironment, config_.path()}}, options(), kQvctlTimeout);
    }
    uint32_t stored() {
        settings::FileRegistryStore store(settings::StorePaths{
            config_.file(settings::kSettingsFileName), config_.file("autostart/quorvel.desktop")});
        uint32_t value = 0xDEADBEEF;
        EXPECT_TRUE(store.readValue(settings::kValueIphonePassWord, value));
        return value;
    }
    TempDir config_;
};

TEST_F(QvctlPassword, ChangesThePasswordFromStandardInput) {
    ProcessResult r = setPassword("570293\n0012\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "password changed\n");
    EXPECT_EQ(stored(), 12u);
    r = setPassword("0012\r\n99\r\n99\r\n");
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("Password error!"), std::string::npos) << r.err;
    r = setPassword("12\r\n99\r\n99\r\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(stored(), 99u);
}

TEST_F(QvctlPassword, RefusesWhatIsNotANewPassword) {
    struct Case {
        const char* input;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {"570293\n12ab\n", 1, "must be a number"},
        {"570293\n99999999999\n", 1, "must be a number"},
        {"570293\n\n", 1, "Please input password:"},
        {"570293\n12\n13\n", 1, "confirmed password are different"},
        {"570293\n", 1, "one per line"},
        {"", 1, "one per line"},
    };
    for (const Case& c : cases) {
        const ProcessResult r = setPassword(c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.input;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.input << ": " << r.err;
        EXPECT_EQ(stored(), 570293u) << c.input;
    }
}

TEST_F(QvctlPassword, TakesNoPasswordFromTheCommandLine) {
    const ProcessResult r = runWith({"password", "set", "570293", "12"},
                                    {{settings::kConfigFolderEnvironment, config_.path()}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("standard input"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace qv::test
