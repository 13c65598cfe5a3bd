#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "lang/LanguageId.h"
#include "settings/FileRegistryStore.h"
#include "settings/PasswordChange.h"
#include "settings/RegistryStoreFile.h"
#include "settings/RegistryValues.h"
#include "support/TempDir.h"

namespace qv::settings {
namespace {

using platform::PromptIcon;

class RecordingPrompt final : public platform::Prompt {
public:
    struct Shown {
        std::string caption;
        std::string text;
        PromptIcon icon;
    };
    platform::PromptAnswer show(const std::string& caption, const std::string& text,
                                PromptIcon icon, platform::PromptButtons buttons) override {
        shown.push_back({caption, text, icon});
        return platform::dismissedAnswer(buttons);
    }
    std::vector<Shown> shown;
};

// The real file store, whose writes can be made to fail as a full disk would.
class FailingWriteStore final : public RegistryStore {
public:
    explicit FailingWriteStore(StorePaths paths) : store_(std::move(paths)) {}
    bool readValue(std::string_view name, uint32_t& value) override {
        return store_.readValue(name, value);
    }
    bool writeValue(std::string_view name, uint32_t value) override {
        return !failWrites && store_.writeValue(name, value);
    }
    bool readRunEntry(std::string& text) override { return store_.readRunEntry(text); }
    bool writeRunEntry(const std::string& path, const std::string& word) override {
        return store_.writeRunEntry(path, word);
    }
    bool deleteRunEntry() override { return store_.deleteRunEntry(); }
    bool failWrites = false;

private:
    FileRegistryStore store_;
};

class PasswordChangeTest : public ::testing::Test {
protected:
    PasswordChangeTest() : store_({dir_.file("settings.conf"), dir_.file("autostart/q.desktop")}) {}

    // A first start: the start-up load writes the default password.
    void freshInstallation() { loadRegistrySettings(store_, settings_); }

    uint32_t storedOnDisk() {
        std::ifstream in(dir_.file("settings.conf"));
        std::stringstream text;
        text << in.rdbuf();
        uint32_t value = 0xDEADBEEF;
        EXPECT_TRUE(RegistryStoreFile::parse(text.str()).find(kValueIphonePassWord, value));
        return value;
    }

    PasswordOutcome change(const std::string& original, const std::string& next) {
        return changePassword({original, next, next}, store_, settings_);
    }

    test::TempDir dir_;
    FailingWriteStore store_;
    RegistrySettings settings_;
};

TEST_F(PasswordChangeTest, DefaultAcceptedThenLeadingZerosStoredAsTheirNumber) {
    freshInstallation();
    EXPECT_EQ(change("570293", "0012"), PasswordOutcome::kChanged);
    EXPECT_EQ(storedOnDisk(), 12u);
    EXPECT_EQ(settings_.iphonePassWord, 12);
    // The stored number is compared as its decimal text.
    EXPECT_EQ(change("570293", "99"), PasswordOutcome::kWrongOriginal);
    EXPECT_EQ(change("012", "99"), PasswordOutcome::kWrongOriginal);
    EXPECT_EQ(change("0012", "99"), PasswordOutcome::kWrongOriginal);
    EXPECT_EQ(change("12", "99"), PasswordOutcome::kChanged);
    EXPECT_EQ(storedOnDisk(), 99u);
}

TEST_F(PasswordChangeTest, NewPasswordThatIsNotAWholeNumberIsRefusedAndNothingChanges) {
    freshInstallation();
    for (const char* bad : {"12ab", "ab", "99999999999", "4294967296", " 12", "+12", "-1", "1 2",
                            "12\n"}) {
        EXPECT_EQ(change("570293", bad), PasswordOutcome::kNewNotANumber) << bad;
    }
    EXPECT_EQ(storedOnDisk(), 570293u);
    EXPECT_EQ(settings_.iphonePassWord, 570293);
    EXPECT_EQ(change("570293", "4294967295"), PasswordOutcome::kChanged);
    EXPECT_EQ(storedOnDisk(), 4294967295u);
    EXPECT_EQ(change("4294967295", "0"), PasswordOutcome::kChanged);
    EXPECT_EQ(storedOnDisk(), 0u);
}

TEST_F(PasswordChangeTest, ChecksRunInTheirOrder) {
    freshInstallation();
    // A differing confirmation is reported before the original is looked at.
    EXPECT_EQ(changePassword({"wrong", "1", "2"}, store_, settings_),
              PasswordOutcome::kConfirmDiffers);
    // The original is checked before the new text.
    EXPECT_EQ(changePassword({"wrong", "", ""}, store_, settings_),
              PasswordOutcome::kWrongOriginal);
    EXPECT_EQ(changePassword({"570293", "", ""}, store_, settings_), PasswordOutcome::kNewEmpty);
    EXPECT_EQ(changePassword({"wrong", "ab", "ab"}, store_, settings_),
              PasswordOutcome::kWrongOriginal);
    // Fields hold 63 characters: what is beyond them is not part of the password.
    const std::string long63(63, '7');
    EXPECT_EQ(changePassword({"570293", long63 + "1", long63 + "2"}, store_, settings_),
              PasswordOutcome::kNewNotANumber);
}

TEST_F(PasswordChangeTest, ComparesWithTheStoreNotTheMember) {
    freshInstallation();
    ASSERT_TRUE(store_.writeValue(kValueIphonePassWord, 4711));
    EXPECT_EQ(settings_.iphonePassWord, 570293);
    EXPECT_EQ(change("570293", "1"), PasswordOutcome::kWrongOriginal);
    EXPECT_EQ(change("4711", "1"), PasswordOutcome::kChanged);
}

TEST_F(PasswordChangeTest, UnreadableStoredValueAcceptsNoOriginal) {
    // No start-up load: the store holds no password at all.
    for (const char* original : {"", "0", "570293"}) {
        EXPECT_EQ(change(original, "1"), PasswordOutcome::kWrongOriginal) << original;
    }
    uint32_t value = 0;
    EXPECT_FALSE(store_.readValue(kValueIphonePassWord, value));
}

TEST_F(PasswordChangeTest, FailedWriteKeepsTheOldPasswordInMemoryAndStore) {
    freshInstallation();
    store_.failWrites = true;
    EXPECT_EQ(change("570293", "12"), PasswordOutcome::kStoreWriteFailed);
    EXPECT_EQ(settings_.iphonePassWord, 570293);
    EXPECT_EQ(storedOnDisk(), 570293u);
    store_.failWrites = false;
    EXPECT_EQ(change("570293", "12"), PasswordOutcome::kChanged);
}

TEST_F(PasswordChangeTest, DialogShowsEachMessageWithItsIconAndStaysOpen) {
    freshInstallation();
    const lang::CMultiLangSupp english(lang::kLanguageIdEnglishUnitedStates);
    RecordingPrompt prompt;
    PasswordDialogModel dialog(store_, settings_, prompt, english);
    EXPECT_FALSE(dialog.pressOk({"570293", "1", "2"}));
    EXPECT_FALSE(dialog.pressOk({"1", "2", "2"}));
    EXPECT_FALSE(dialog.pressOk({"570293", "", ""}));
    EXPECT_FALSE(dialog.pressOk({"570293", "12ab", "12ab"}));
    store_.failWrites = true;
    EXPECT_FALSE(dialog.pressOk({"570293", "12", "12"}));
    store_.failWrites = false;
    ASSERT_EQ(prompt.shown.size(), 5u);
    const std::pair<std::string, PromptIcon> expected[] = {
        {"New password and confirmed password are different!", PromptIcon::kError},
        {"Password error!", PromptIcon::kError},
        {"Please input password:", PromptIcon::kInformation},
        {kTextPasswordNotANumber, PromptIcon::kError},
        {kTextPasswordNotSaved, PromptIcon::kError},
    };
    for (size_t i = 0; i < prompt.shown.size(); ++i) {
        EXPECT_EQ(prompt.shown[i].caption, "Quorvel K");
        EXPECT_EQ(prompt.shown[i].text, expected[i].first);
        EXPECT_EQ(prompt.shown[i].icon, expected[i].second);
    }
    EXPECT_TRUE(dialog.pressOk({"570293", "12", "12"}));
    EXPECT_EQ(prompt.shown.size(), 5u);
    EXPECT_EQ(storedOnDisk(), 12u);
}

}  // namespace
}  // namespace qv::settings
