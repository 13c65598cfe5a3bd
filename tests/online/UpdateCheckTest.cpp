// The update check end to end against a real server: the version file's rules, the pages of the
// dialog it leads to, and the worker that reports through the poster.
#include <gtest/gtest.h>

#include <filesystem>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageId.h"
#include "online/UpdateCheck.h"
#include "online/UpdateDialogModel.h"
#include "online/VersionFile.h"
#include "platform/QueuePoster.h"
#include "platform/Utf16.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

namespace qv::online {
namespace {

using test::LocalHttpServer;

constexpr uint32_t kUiThread = 7;
constexpr uint32_t kWaitMs = 10000;

std::string versionFile(const std::string& version, const std::string& url,
                        const std::string& info) {
    return "[Version]\r\nVersion=" + version + "\r\n[URL]\r\nURL=" + url +
           "\r\n[INFO]\r\nINFO=" + info + "\r\n";
}

class UpdateCheckTest : public ::testing::Test {
protected:
    UpdateCheckResult check(const std::string& file) {
        server.serve(kVersionFilePath, file);
        return checkForUpdate(server.address() + kVersionFilePath, versionFileLimits(),
                              temporary.path());
    }
    bool temporaryFolderEmpty() const { return std::filesystem::is_empty(temporary.path()); }

    LocalHttpServer server;
    test::TempDir temporary;
};

TEST_F(UpdateCheckTest, SameVersionIsNoUpdateAndTheFileIsDeleted) {
    ASSERT_NE(server.port(), 0);
    const UpdateCheckResult result = check(versionFile("33030", "https://x.test/d", "|a|b"));
    EXPECT_EQ(result.outcome, UpdateOutcome::kNoUpdate);
    EXPECT_EQ(result.serverVersion, 33030);
    EXPECT_TRUE(result.items.empty());
    EXPECT_TRUE(temporaryFolderEmpty());
}

TEST_F(UpdateCheckTest, NewerVersionListsTheItemsAfterEachBar) {
    const UpdateCheckResult result = check(versionFile("33031", "https://x.test/d", "a|b|c"));
    EXPECT_EQ(result.outcome, UpdateOutcome::kNewer);
    EXPECT_EQ(result.downloadUrl, "https://x.test/d");
    EXPECT_EQ(result.items, (std::vector<std::string>{"b", "c"}));
    EXPECT_TRUE(temporaryFolderEmpty());
}

TEST_F(UpdateCheckTest, InfoWithoutBarListsNothingButStillOffersTheDownload) {
    const UpdateCheckResult result = check(versionFile("40000", "https://x.test/d", "no bars"));
    EXPECT_EQ(result.outcome, UpdateOutcome::kNewer);
    EXPECT_TRUE(result.items.empty());
}

TEST_F(UpdateCheckTest, Utf16FileAndMissingVersionKey) {
    const std::string utf16 = "\xFF\xFE" + platform::utf8ToUtf16Le(versionFile(
                                               "33031", "https://x.test/ü", "|neu: Lüfter"));
    UpdateCheckResult result = check(utf16);
    EXPECT_EQ(result.outcome, UpdateOutcome::kNewer);
    EXPECT_EQ(result.downloadUrl, "https://x.test/ü");
    EXPECT_EQ(result.items, (std::vector<std::string>{"neu: Lüfter"}));

    result = check("[URL]\r\nURL=https://x.test/d\r\n");
    EXPECT_EQ(result.outcome, UpdateOutcome::kNoUpdate);
    EXPECT_EQ(result.serverVersion, kMissingVersion);
}

TEST_F(UpdateCheckTest, ServerDownOrFileMissingOrTooLargeIsANetworkFailure) {
    EXPECT_EQ(checkForUpdate(LocalHttpServer::deadAddress() + kVersionFilePath, versionFileLimits(),
                             temporary.path())
                  .outcome,
              UpdateOutcome::kNetworkFailure);
    EXPECT_EQ(checkForUpdate(server.address() + "/nothing", versionFileLimits(), temporary.path())
                  .outcome,
              UpdateOutcome::kNetworkFailure);
    const UpdateCheckResult big = check(versionFile("99999", "", std::string(70000, '|')));
    EXPECT_EQ(big.outcome, UpdateOutcome::kNetworkFailure);
    EXPECT_EQ(big.downloadStatus, kDownloadTooLarge);
    EXPECT_TRUE(temporaryFolderEmpty());
}

TEST(VersionFileTest, FieldsAreCutToTheirSizes) {
    const VersionFile file = parseVersionFile(
        versionFile("33031", "https://x.test/" + std::string(200, 'u'), std::string(2000, 'i')));
    EXPECT_EQ(file.url.size(), kMaxVersionUrlUnits);
    EXPECT_EQ(file.info.size(), kMaxVersionInfoUnits);
    EXPECT_EQ(splitInfoItems("|"), (std::vector<std::string>{""}));
    EXPECT_EQ(splitInfoItems("x||y"), (std::vector<std::string>{"", "y"}));
}

TEST(UpdateCheckerTest, WorkerPostsWhenTheCheckEnds) {
    LocalHttpServer server;
    server.serve(kVersionFilePath, versionFile("33031", "https://x.test/d", "|one"));
    platform::QueuePoster poster;
    UpdateChecker checker(poster, kUiThread);
    ASSERT_TRUE(checker.start(server.address() + kVersionFilePath));
    const auto message = poster.take(kWaitMs);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->message, kMessageUpdateChecked);
    EXPECT_EQ(message->threadId, kUiThread);
    const auto result = checker.takeResult();
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->items, (std::vector<std::string>{"one"}));
    EXPECT_FALSE(checker.takeResult().has_value());
}

class UpdateDialogModelTest : public ::testing::Test {
protected:
    lang::CMultiLangSupp texts{lang::kLanguageIdEnglishUnitedStates};
    UpdateDialogModel model{texts, "https://www.example.test/products"};
};

TEST_F(UpdateDialogModelTest, WelcomePageThenOneCheckAtATime) {
    const UpdateDialogView& view = model.view();
    EXPECT_EQ(view.caption, "Online Update");
    EXPECT_EQ(view.welcomeTitle, "Welcome to the online update.");
    EXPECT_EQ(view.welcomeHint, "Click Next to begin check for updates.");
    EXPECT_TRUE(view.next.visible && view.next.enabled);
    EXPECT_FALSE(view.ok.visible || view.download.visible);
    EXPECT_TRUE(model.beginCheck());
    EXPECT_FALSE(model.view().next.enabled);
    EXPECT_FALSE(model.beginCheck());
}

TEST_F(UpdateDialogModelTest, EachOutcomeHasItsPage) {
    UpdateCheckResult failed;
    ASSERT_TRUE(model.beginCheck());
    model.finishCheck(failed);
    EXPECT_EQ(model.view().page, UpdatePage::kFailure);
    EXPECT_EQ(model.view().failureText, "Network connection failed. Please check the network");
    EXPECT_TRUE(model.view().ok.visible && model.view().ok.enabled);
    EXPECT_FALSE(model.view().next.visible || model.view().next.enabled);
    EXPECT_FALSE(model.beginCheck());

    UpdateDialogModel none(texts, "");
    UpdateCheckResult same;
    same.outcome = UpdateOutcome::kNoUpdate;
    none.finishCheck(same);
    EXPECT_EQ(none.view().page, UpdatePage::kNoUpdate);
    EXPECT_EQ(none.view().versionText, "Hope you'll continue to focus on our product updates.");
    EXPECT_FALSE(none.view().cancel.enabled);
    EXPECT_EQ(none.view().ok.text, "OK");

    UpdateDialogModel found(texts, "");
    UpdateCheckResult newer;
    newer.outcome = UpdateOutcome::kNewer;
    newer.downloadUrl = "https://x.test/d";
    newer.items = {"b", "c"};
    found.finishCheck(newer);
    EXPECT_EQ(found.view().page, UpdatePage::kUpdateFound);
    EXPECT_EQ(found.view().items, newer.items);
    EXPECT_TRUE(found.view().download.visible && found.view().download.enabled);
    EXPECT_TRUE(found.view().cancel.enabled);
    EXPECT_EQ(found.downloadUrl(), "https://x.test/d");
}

}  // namespace
}  // namespace qv::online
