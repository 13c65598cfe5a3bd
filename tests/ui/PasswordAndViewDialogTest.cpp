#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <cstdlib>

#include "lang/LanguageId.h"
#include "settings/RegistryValues.h"
#include "support/SimHarness.h"
#include "ui/CPasswordDlg.h"
#include "ui/CViewDlg.h"
#include "ui/UiTestSupport.h"

namespace qv {
namespace {

using test::ScriptedPrompt;

// Where QV_SCREENSHOTS names a folder, the pictures for the documentation go there as well.
void keepPicture(QWidget& window, const char* name) {
    if (const char* folder = std::getenv("QV_SCREENSHOTS"); folder != nullptr && *folder != 0) {
        EXPECT_TRUE(window.grab().save(QString::fromLocal8Bit(folder) + "/" + name)) << name;
    }
}

template <typename Widget>
Widget* child(QWidget& window, const char* name) {
    auto* found = window.findChild<Widget*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class PasswordDialogTest : public ::testing::Test {
protected:
    PasswordDialogTest()
        : store_({dir_.file("settings.conf"), dir_.file("autostart/quorvel.desktop")}),
          english_(lang::kLanguageIdEnglishUnitedStates) {
        settings::loadRegistrySettings(store_, settings_);
    }
    void type(ui::CPasswordDlg& dialog, const char* original, const char* next,
              const char* confirm) {
        child<QLineEdit>(dialog, "originalPassword")->setText(original);
        child<QLineEdit>(dialog, "newPassword")->setText(next);
        child<QLineEdit>(dialog, "confirmPassword")->setText(confirm);
    }

    test::TempDir dir_;
    settings::FileRegistryStore store_;
    settings::RegistrySettings settings_;
    ScriptedPrompt prompt_;
    lang::CMultiLangSupp english_;
};

TEST_F(PasswordDialogTest, CaptionsFieldsAndOkThatClosesOnlyOnAChange) {
    ui::CPasswordDlg dialog(store_, settings_, prompt_, english_);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Change Password");
    EXPECT_EQ(child<QLineEdit>(dialog, "newPassword")->maxLength(), 63);
    EXPECT_EQ(child<QPushButton>(dialog, "passwordOk")->text(), "OK");
    keepPicture(dialog, "password-dialog.png");

    type(dialog, "570293", "12ab", "12ab");
    QTest::mouseClick(child<QPushButton>(dialog, "passwordOk"), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(prompt_.shown.size(), 1u);
    EXPECT_EQ(prompt_.shown[0].text, settings::kTextPasswordNotANumber);

    type(dialog, "570293", "0012", "0012");
    QTest::mouseClick(child<QPushButton>(dialog, "passwordOk"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    uint32_t stored = 0;
    EXPECT_TRUE(store_.readValue(settings::kValueIphonePassWord, stored));
    EXPECT_EQ(stored, 12u);
    EXPECT_EQ(settings_.iphonePassWord, 12);
}

TEST_F(PasswordDialogTest, CancelChangesNothing) {
    ui::CPasswordDlg dialog(store_, settings_, prompt_, english_);
    dialog.show();
    type(dialog, "570293", "1", "1");
    QTest::mouseClick(child<QPushButton>(dialog, "passwordCancel"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(settings_.iphonePassWord, 570293);
    EXPECT_TRUE(prompt_.shown.empty());
}

TEST(ViewDialogTest, DrawsTheToolAndForwardsTheUsersInput) {
    test::SimSession session;
    test::FakeClock clock;
    ScriptedPrompt prompt;
    ui::CViewDlg dialog(session.loader(), prompt, nullptr, clock);
    dialog.show();
    auto* list = child<QListWidget>(dialog, "timingList");
    ASSERT_EQ(list->count(), 11);  // three across: 1920x1200 fits at neither rate
    EXPECT_EQ(list->item(0)->text(), "2400X600@60Hz 97.5MHz 8 bits");
    EXPECT_EQ(child<QLabel>(dialog, "statusLine")->text(), "FirmWare Version:VX-3 FW 1.0.4");
    EXPECT_TRUE(child<QPushButton>(dialog, "applyBezel")->isEnabled());
    EXPECT_EQ(child<QComboBox>(dialog, "debugMode")->currentText(), "PA action");

    list->setCurrentRow(1);
    EXPECT_EQ(child<QLineEdit>(dialog, "activeWidth")->text(), "3072");
    EXPECT_FALSE(child<QLineEdit>(dialog, "activeWidth")->isEnabled());
    list->setCurrentRow(list->count() - 1);
    auto* width = child<QLineEdit>(dialog, "activeWidth");
    EXPECT_TRUE(width->isEnabled());
    keepPicture(dialog, "view-dialog.png");

    width->clear();
    QTest::keyClicks(width, "abc");
    QTest::mouseClick(child<QPushButton>(dialog, "setTiming"), Qt::LeftButton);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, tools::kTextSetFailed);

    child<QSlider>(dialog, "horizontalBezel")->setValue(17);
    EXPECT_EQ(child<QLabel>(dialog, "horizontalBezelValue")->text(), "17");
    QTest::mouseClick(child<QPushButton>(dialog, "applyBezel"), Qt::LeftButton);
    EXPECT_EQ(child<QLineEdit>(dialog, "debugData")->text(), "03 0");
    EXPECT_EQ(prompt.shown.size(), 1u);
}

}  // namespace
}  // namespace qv
