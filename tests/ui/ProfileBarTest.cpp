#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/UserSettingsProfiles.h"
#include "app/UserSettingsTestSupport.h"
#include "lang/LanguageRows.h"
#include "ui/CQVProfileDlg.h"
#include "ui/ProfileBar.h"
#include "ui/ProfileMessages.h"
#include "ui/UiTestSupport.h"

namespace qv::test {
namespace {

constexpr uint32_t kEnglish = 0x0409;
constexpr int kWaitMs = 3000;

// Counts what reaches the real profile store.
class CountingStore final : public settings::ProfileStore {
public:
    explicit CountingStore(settings::ProfileStore& inner) : inner_(inner) {}
    int saveProfile(const std::string& path) override {
        ++saves;
        return inner_.saveProfile(path);
    }
    int loadProfile(const std::string& path) override {
        ++loads;
        return inner_.loadProfile(path);
    }
    int saves = 0;
    int loads = 0;

private:
    settings::ProfileStore& inner_;
};

// Answers file dialogs from a script. Like a real file dialog it may leave the process in the
// folder it browsed to.
class ScriptedChooser final : public platform::FileChooser {
public:
    std::string saveFile(const std::string& initialFolder, const std::string& filter,
                         const std::string& defaultExtension) override {
        asked.push_back({initialFolder, filter, defaultExtension});
        return answer();
    }
    std::string openFile(const std::string& initialFolder, const std::string& filter) override {
        asked.push_back({initialFolder, filter, ""});
        return answer();
    }

    struct Asked {
        std::string folder, filter, extension;
    };
    std::vector<Asked> asked;
    std::string nextPath;      // empty: cancel
    std::string browseFolder;  // the folder the dialog leaves current, when set

private:
    std::string answer() {
        if (!browseFolder.empty()) {
            EXPECT_EQ(chdir(browseFolder.c_str()), 0);
        }
        return nextPath;
    }
};

std::string currentFolder() {
    char buffer[4096];
    return getcwd(buffer, sizeof(buffer)) != nullptr ? buffer : "";
}

class ProfileBarTest : public UserSettingsMachine {
protected:
    ProfileBarTest() : savedFolder_(currentFolder()) {}
    ~ProfileBarTest() override { EXPECT_EQ(chdir(savedFolder_.c_str()), 0); }

    void SetUp() override {
        UserSettingsMachine::SetUp();
        bar = std::make_unique<ui::ProfileBar>(slots, counting, texts, chooser);
        bar->setPrompt(prompt);
        bar->setLoadedHandler([this] {
            ++loadedRuns;
            loadedAfterMs = sinceLoad.elapsed();
        });
        bar->show();
    }

    QPushButton* button(const char* name) {
        auto* found = bar->findChild<QPushButton*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    std::string slotFile(int slot) { return settings::profileSlotFile(program.path(), slot); }

    TempDir program;
    TempDir elsewhere;
    app::UserSettingsFile userSettings{clock, path()};
    app::UserSettingsProfileStore store{*rig.layer, userSettings};
    CountingStore counting{store};
    settings::ProfileSlots slots{program.path()};
    lang::CMultiLangSupp texts{kEnglish};
    ScriptedPrompt prompt;
    ScriptedChooser chooser;
    std::unique_ptr<ui::ProfileBar> bar;
    int loadedRuns = 0;
    qint64 loadedAfterMs = -1;
    QElapsedTimer sinceLoad;

private:
    std::string savedFolder_;
};

TEST_F(ProfileBarTest, SaveArmedSlotSavesOnceThenTheSameSlotLoadsOnce) {
    EXPECT_EQ(button("profileSlot3")->text(), "3");
    EXPECT_EQ(button("profileSave")->text(), "Save");
    ASSERT_FALSE(std::filesystem::exists(program.file("Profile")));

    button("profileSave")->click();
    EXPECT_TRUE(bar->blinkTimer().isActive());
    EXPECT_EQ(bar->blinkTimer().interval(), 500);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->slotsLit(); }, kWaitMs)) << "the slots blink";

    button("profileSlot3")->click();
    EXPECT_FALSE(bar->blinkTimer().isActive());
    EXPECT_FALSE(bar->slotsLit());
    EXPECT_EQ(counting.saves, 1);
    EXPECT_EQ(counting.loads, 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(slotFile(3)));
    EXPECT_EQ(slotFile(3), program.file("Profile/3.ini"));

    sinceLoad.start();
    button("profileSlot3")->click();
    EXPECT_EQ(counting.saves, 1);
    EXPECT_EQ(counting.loads, 1);
    EXPECT_EQ(loadedRuns, 0) << "the window shows the loaded settings only after the pause";
    ASSERT_TRUE(QTest::qWaitFor([&] { return loadedRuns == 1; }, kWaitMs));
    EXPECT_GE(loadedAfterMs, 90);
    EXPECT_TRUE(prompt.shown.empty());
    QTest::qWait(150);
    EXPECT_EQ(loadedRuns, 1);
}

TEST_F(ProfileBarTest, FailuresAreReportedAndALoadStillShowsItsSettings) {
    // A slot never saved: said so, and the window still runs its apply step.
    button("profileSlot2")->click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, "Quorvel K");
    EXPECT_EQ(prompt.shown[0].text, ui::profileSlotEmptyText(2));
    EXPECT_EQ(prompt.shown[0].icon, platform::PromptIcon::kError);
    EXPECT_TRUE(QTest::qWaitFor([&] { return loadedRuns == 1; }, kWaitMs));

    // A file in the way of the profile folder: the save fails and says where.
    std::ofstream(program.file("Profile")) << "not a folder";
    button("profileSave")->click();
    button("profileSlot4")->click();
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[1].text, ui::profileSaveFailedText(slotFile(4)));
    EXPECT_FALSE(slots.saveArmed());
}

TEST_F(ProfileBarTest, ApplyRunDisablesTheSaveButton) {
    bar->setSaveEnabled(false);
    EXPECT_FALSE(button("profileSave")->isEnabled());
    bar->pressSave();
    EXPECT_FALSE(slots.saveArmed());
    EXPECT_FALSE(bar->blinkTimer().isActive());
    bar->setSaveEnabled(true);
    bar->pressSave();
    EXPECT_TRUE(slots.saveArmed());
}

TEST_F(ProfileBarTest, DialogStaysOpenOnCancelAndKeepsTheCurrentFolderAcrossCancelAndSave) {
    const std::string before = currentFolder();
    ui::CQVProfileDlg dialog(counting, program.path(), texts, chooser, prompt);
    EXPECT_EQ(dialog.windowTitle(), "Profile");
    dialog.show();
    chooser.browseFolder = elsewhere.path();

    dialog.findChild<QPushButton*>("profileDialogSave")->click();
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0].folder, program.file("Profile"));
    EXPECT_EQ(chooser.asked[0].filter, "INI file(*.ini)");
    EXPECT_EQ(chooser.asked[0].extension, "ini");
    EXPECT_TRUE(std::filesystem::is_directory(program.file("Profile")));
    EXPECT_EQ(currentFolder(), before);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.outcome(), ui::CQVProfileDlg::Outcome::kNone);
    EXPECT_EQ(counting.saves, 0);

    chooser.nextPath = program.file("Profile/evening.ini");
    dialog.findChild<QPushButton*>("profileDialogSave")->click();
    EXPECT_EQ(currentFolder(), before);
    EXPECT_EQ(counting.saves, 1);
    EXPECT_TRUE(std::filesystem::is_regular_file(chooser.nextPath));
    EXPECT_EQ(dialog.outcome(), ui::CQVProfileDlg::Outcome::kSaved);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(ProfileBarTest, ProfileButtonLoadsThroughTheDialogThenShowsTheSettings) {
    ASSERT_EQ(settings::createProfileFolder(program.path()), settings::kProfileOk);
    ASSERT_EQ(store.saveProfile(program.file("Profile/night.ini")), app::kUserSettingsOk);
    chooser.nextPath = program.file("Profile/night.ini");
    chooser.browseFolder = elsewhere.path();
    const std::string before = currentFolder();

    bool dialogSeen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<ui::CQVProfileDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialogSeen = true;
        sinceLoad.start();
        dialog->findChild<QPushButton*>("profileDialogLoad")->click();
    });
    // Closes a dialog the click above did not, so that a failure cannot hang the test.
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    closer.start(kWaitMs);
    button("profileDialogButton")->click();

    EXPECT_TRUE(dialogSeen);
    EXPECT_EQ(counting.loads, 1);
    EXPECT_EQ(currentFolder(), before);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loadedRuns == 1; }, kWaitMs));
    EXPECT_GE(loadedAfterMs, 90);
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(bar->findChildren<QDialog*>("profileDialog").size(), 0) << "the dialog is gone";
}

// Lightness of a grabbed picture's pixel, 0 to 255.
int lightness(const QImage& image, int x, int y) {
    return image.pixelColor(x, y).lightness();
}

// Where QV_SCREENSHOTS names a folder, the pictures for the documentation go there as well.
void keepPicture(const QImage& image, const char* name) {
    if (const char* folder = std::getenv("QV_SCREENSHOTS"); folder != nullptr && *folder != 0) {
        EXPECT_TRUE(image.save(QString::fromLocal8Bit(folder) + "/" + name)) << name;
    }
}

TEST_F(ProfileBarTest, MessageBoxesAndTheProfileDialogShareTheMainWindowsDarkLook) {
    ui::CQVProfileDlg dialog(counting, program.path(), texts, chooser, prompt);
    dialog.show();
    const QImage dialogPicture = dialog.grab().toImage();
    keepPicture(dialogPicture, "profile-dialog.png");

    QMessageBox box(QMessageBox::Warning, "Quorvel K",
                    QString::fromStdString(texts.text(lang::kTextApplyFailed)), QMessageBox::Ok);
    box.show();
    const QImage boxPicture = box.grab().toImage();
    keepPicture(boxPicture, "message-box.png");

    for (const QImage* picture : {&dialogPicture, &boxPicture}) {
        ASSERT_FALSE(picture->isNull());
        // The background is dark, the text light.
        EXPECT_LT(lightness(*picture, 3, 3), 70);
        EXPECT_LT(lightness(*picture, picture->width() - 4, picture->height() - 4), 70);
    }
    EXPECT_GT(box.palette().color(QPalette::WindowText).lightness(), 180);
    EXPECT_GT(dialog.palette().color(QPalette::ButtonText).lightness(), 180);
}

}  // namespace
}  // namespace qv::test
