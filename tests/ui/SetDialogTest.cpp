#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "UiTestSupport.h"
#include "platform/SingleInstance.h"
#include "settings/OptionsDialogModel.h"
#include "ui/CPasswordDlg.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/CSetDialog.h"
#include "ui/CViewDlg.h"

namespace qv::test {
namespace {

using namespace settings::options;

// The application started far enough for its main window, on the built-in boards or a preset.
class SetDialogTest : public ::testing::Test {
protected:
    void start(const std::string& preset = "") {
        if (!preset.empty()) {
            machine_.environment.set("QUORVEL_SIM_CONFIG", presetPath(preset));
        }
        instance_ = std::make_unique<platform::PosixSingleInstance>(machine_.lock.path());
        app::AppServices services = machine_.services();
        services.instance = instance_.get();
        app_ = std::make_unique<app::CQuorvelHDApp>(services);
        app_->InitInstance({});
        ASSERT_EQ(app_->startupEnd(), app::StartupEnd::kNoWindow);
        ASSERT_TRUE(app_->hardwareReady());
        window_ = std::make_unique<ui::CQuorvelHDDlg>(*app_);
    }

    // Runs the Settings button's dialog; `inside` acts on it while it runs.
    int runSettings(const std::function<void(ui::CSetDialog&)>& inside) {
        auto* button = window_->findChild<QPushButton*>("settingsButton");
        EXPECT_NE(button, nullptr);
        return window_->openSettings([&](ui::CSetDialog& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog, inside] { inside(dialog); });
        });
    }

    template <typename T>
    static T* widget(ui::CSetDialog& dialog, int id) {
        auto* found = qobject_cast<T*>(dialog.controlWidget(id));
        EXPECT_NE(found, nullptr) << id;
        return found;
    }

    uint32_t stored(const char* name) {
        uint32_t value = 0xDEAD;
        EXPECT_TRUE(machine_.store.readValue(name, value)) << name;
        return value;
    }

    AppMachine machine_;
    std::unique_ptr<platform::PosixSingleInstance> instance_;
    std::unique_ptr<app::CQuorvelHDApp> app_;
    std::unique_ptr<ui::CQuorvelHDDlg> window_;
};

TEST_F(SetDialogTest, SettingsButtonOpensTheDialogAndOkSavesWhatTheControlsShow) {
    start();
    auto* button = window_->findChild<QPushButton*>("settingsButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), "Settings");
    bool seen = false;
    const int result = runSettings([&](ui::CSetDialog& dialog) {
        seen = true;
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.isModal());
        EXPECT_EQ(dialog.windowTitle(), "Settings");
        EXPECT_EQ(widget<QAbstractButton>(dialog, kStartRunInTray)->text(),
                  "Run and minimize to system tray");
        EXPECT_TRUE(widget<QAbstractButton>(dialog, kStartRunInTray)->isChecked());
        EXPECT_EQ(widget<QGroupBox>(dialog, kGroupFanControl)->title(), "Advanced Fan Control");
        // The simulated multi-display adapter on the second display answers the probe, so its
        // group is there and its button opens the timing tool.
        EXPECT_TRUE(dialog.controlWidget(kGroupVexa)->isVisible());
        EXPECT_TRUE(dialog.controlWidget(kVexaSetting)->isEnabled());
        // Custom mode clicked: its lists open, Silent mode is cleared.
        auto* lowList = widget<QComboBox>(dialog, kTempLowList);
        EXPECT_FALSE(lowList->isEnabled());
        widget<QAbstractButton>(dialog, kCustomMode)->click();
        EXPECT_TRUE(lowList->isEnabled());
        EXPECT_EQ(lowList->count(), 2);
        lowList->setCurrentIndex(1);
        Q_EMIT lowList->activated(1);
        EXPECT_EQ(dialog.model().control(kTempLowList).selected, 1);
        widget<QAbstractButton>(dialog, kOsdFramerate)->click();
        widget<QAbstractButton>(dialog, kStartDoNotRun)->click();
        EXPECT_FALSE(widget<QAbstractButton>(dialog, kStartRunInTray)->isChecked());
        widget<QAbstractButton>(dialog, kOk)->click();
    });
    EXPECT_TRUE(seen);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(stored("HighSet"), 1u);
    EXPECT_EQ(stored("TemplowSet"), 2u);
    EXPECT_EQ(app_->settings().highSet, 1);
    EXPECT_EQ(stored("OSDFramerateShow"), 1u);
    if (window_->overlayShared().isOpen()) {
        EXPECT_EQ(window_->overlayShared().frameRateShown(), 1u);
    }
    EXPECT_EQ(app_->settings().runMode, settings::kStartModeDoNotRun);
    std::string run;
    EXPECT_FALSE(machine_.store.readRunEntry(run));
}

TEST_F(SetDialogTest, CancelWritesNothing) {
    start();
    const int result = runSettings([](ui::CSetDialog& dialog) {
        widget<QAbstractButton>(dialog, kOsdFramerate)->click();
        widget<QAbstractButton>(dialog, kAutoUpdate)->click();
        widget<QAbstractButton>(dialog, kCancel)->click();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    uint32_t value = 0;
    EXPECT_FALSE(machine_.store.readValue("OSDFramerateShow", value));
    EXPECT_FALSE(machine_.store.readValue("AutoUpdate", value));
    EXPECT_FALSE(app_->settings().osdFramerateShow);
}

// The modal window a button opened, closed again once it has been looked at.
template <typename Dialog>
void closeOpenedDialog(QString& title, bool& seen) {
    QTimer::singleShot(0, [&title, &seen] {
        if (auto* opened = dynamic_cast<Dialog*>(QApplication::activeModalWidget())) {
            seen = true;
            title = opened->windowTitle();
            opened->reject();
        }
    });
}

TEST_F(SetDialogTest, ItsButtonsOpenThePasswordDialogAndTheDisplayTimingTool) {
    start();
    QString passwordTitle;
    bool passwordSeen = false;
    bool timingSeen = false;
    QString timingTitle;
    runSettings([&](ui::CSetDialog& dialog) {
        closeOpenedDialog<ui::CPasswordDlg>(passwordTitle, passwordSeen);
        widget<QAbstractButton>(dialog, kChangePassword)->click();
        closeOpenedDialog<ui::CViewDlg>(timingTitle, timingSeen);
        widget<QAbstractButton>(dialog, kVexaSetting)->click();
        widget<QAbstractButton>(dialog, kCancel)->click();
    });
    EXPECT_TRUE(passwordSeen);
    EXPECT_EQ(passwordTitle, "Change Password");
    EXPECT_TRUE(timingSeen);
    // Closing either changes nothing in the store.
    uint32_t value = 0;
    EXPECT_FALSE(machine_.store.readValue("IphonePassWord", value) && value != 570293u);
}

TEST_F(SetDialogTest, WirelessBoardRunsTheStatusTimerAndIsDrawnForTheDocumentation) {
    start("single-0e22");
    runSettings([](ui::CSetDialog& dialog) {
        EXPECT_EQ(widget<QLabel>(dialog, kWirelessFirmware)->text(), "USA (2.1.7)");
        auto* status =
            dialog.findChild<QTimer*>(QStringLiteral("optionsTimer%1").arg(kTimerWirelessStatus));
        ASSERT_NE(status, nullptr);
        EXPECT_TRUE(status->isActive());
        EXPECT_EQ(status->interval(), 1000);
        dialog.fireTimer(kTimerWirelessStatus);
        EXPECT_EQ(widget<QLabel>(dialog, kWirelessChannel)->text(), "1");
        EXPECT_TRUE(widget<QPushButton>(dialog, kFanTestButton)->isEnabled());
        const QImage picture = dialog.grab().toImage();
        EXPECT_FALSE(picture.isNull());
        if (const char* folder = std::getenv("QV_SCREENSHOTS"); folder != nullptr && *folder != 0) {
            EXPECT_TRUE(picture.save(QString::fromLocal8Bit(folder) + "/options-dialog.png"));
        }
        widget<QAbstractButton>(dialog, kCancel)->click();
        EXPECT_FALSE(status->isActive()) << "the timers end with the dialog";
    });
}

}  // namespace
}  // namespace qv::test
