// qvctl check-update against a server of the test's own, named in qvctl's settings store.
#include "cli/CliFixture.h"
#include "online/UpdateCheck.h"
#include "settings/FileRegistryStore.h"
#include "settings/RegistryValues.h"
#include "support/LocalHttpServer.h"

namespace qv::test {
namespace {

class QvctlCheckUpdate : public CliTest {
protected:
    ProcessResult checkUpdate(const std::string& server) {
        settings::FileRegistryStore store(settings::StorePaths{
            config_.file(settings::kSettingsFileName), config_.file("autostart/quorvel.desktop")});
        EXPECT_TRUE(store.writeText(settings::kValueUpdateServer, server));
        return runWith({"check-update"}, {{settings::kConfigFolderEnvironment, config_.path()}});
    }
    LocalHttpServer server_;
    TempDir config_;
};

TEST_F(QvctlCheckUpdate, ExitCodeSaysWhetherThereIsANewerVersion) {
    ASSERT_NE(server_.port(), 0);
    server_.serve(online::kVersionFilePath,
                  "[Version]\nVersion=33031\n[URL]\nURL=https://x.test/get\n[INFO]\nINFO=a|b|c\n");
    ProcessResult r = checkUpdate(server_.address());
    EXPECT_EQ(r.exitCode, 10) << r.err;
    EXPECT_EQ(r.out,
              "this version: 33030\nnewest version: 33031\ndownload: https://x.test/get\n"
              "changes:\n  b\n  c\n");

    server_.serve(online::kVersionFilePath, "[Version]\nVersion=33030\n");
    r = checkUpdate(server_.address());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "this version: 33030\nnewest version: 33030\nno update\n");
}

TEST_F(QvctlCheckUpdate, ServerDownIsExitTwo) {
    const ProcessResult r = checkUpdate(LocalHttpServer::deadAddress());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("network connection failed"), std::string::npos) << r.err;
    EXPECT_NE(runWith({"check-update", "now"}, {}).exitCode, 0);
}

}  // namespace
}  // namespace qv::test
