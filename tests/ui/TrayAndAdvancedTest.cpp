// The window's life in the notification area (hide, Quit, the tray menu) and the advanced control
// dialog that message 2025 opens, on the offscreen platform over the simulated boards. The
// offscreen platform has no notification area, so hiding minimises here; the tray menu's
// entries and commands are driven through its actions.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "UiTestSupport.h"
#include "app/UserSettingsFile.h"
#include "gpu/DriverStatus.h"
#include "gpu/DriverTypes.h"
#include "lang/LanguageRows.h"
#include "platform/SingleInstance.h"
#include "tuning/AdvancedPanel.h"
#include "tuning/MainDialogModelMessages.h"
#include "tuning/TrayMenu.h"
#include "ui/CAdvanceDlg.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/QuorvelTray.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
constexpr qint64 kWaitMs = 30000;

const char* text(int row) {
    return lang::languageTable().text(row);
}

class TrayAndAdvancedTest : public ::testing::Test {
protected:
    void SetUp() override {
        instance_ = std::make_unique<platform::PosixSingleInstance>(machine_.lock.path());
        app::AppServices services = machine_.services();
        services.instance = instance_.get();
        services.userSettings = &userSettings_;
        app_ = std::make_unique<app::CQuorvelHDApp>(services);
        app_->InitInstance({});
        ASSERT_TRUE(app_->hardwareReady());
        app_->gpuLayer().waitForProbe();
        window_ = std::make_unique<ui::CQuorvelHDDlg>(*app_);
        window_->setEndHandler([this](int) { ended_ = true; });
        window_->show();
    }

    template <typename T>
    T* child(QWidget* parent, const char* name) {
        T* found = parent->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    template <typename Done>
    bool pumpUntil(Done done) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > kWaitMs) {
                return false;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    fs::path settingsFile() const {
        return fs::path(machine_.data.path()) / app::kUserSettingsFileName;
    }
    void trayCommand(uint32_t command) {
        QAction* action = window_->tray()->action(command);
        ASSERT_NE(action, nullptr) << command;
        action->trigger();
    }

    AppMachine machine_;
    app::UserSettingsFile userSettings_;
    std::unique_ptr<platform::PosixSingleInstance> instance_;
    std::unique_ptr<app::CQuorvelHDApp> app_;
    std::unique_ptr<ui::CQuorvelHDDlg> window_;
    bool ended_ = false;
};

TEST_F(TrayAndAdvancedTest, HideKeepsOrDeletesTheSettingsFileAndTheWindowStaysReachable) {
    ASSERT_FALSE(ui::QuorvelTray::notificationAreaAvailable());
    app_->settings().restoreUserSettings = true;
    QTest::mouseClick(child<QPushButton>(window_.get(), "hideButton"), Qt::LeftButton);
    EXPECT_TRUE(fs::exists(settingsFile()));
    // No notification area: minimised rather than hidden, so it can be brought back.
    EXPECT_TRUE(window_->isMinimized());
    EXPECT_FALSE(ended_);

    window_->showAndRaise();
    app_->settings().restoreUserSettings = false;
    window_->close();  // the window's own close acts as the hide button
    EXPECT_FALSE(fs::exists(settingsFile()));
    EXPECT_TRUE(window_->isMinimized());
    EXPECT_FALSE(ended_);
}

TEST_F(TrayAndAdvancedTest, TrayMenuOffersTheFiveEntriesAllEnabled) {
    ui::QuorvelTray* tray = window_->tray();
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(tray->iconVisible());
    std::vector<std::string> entries;
    int separators = 0;
    for (QAction* action : tray->menu()->actions()) {
        if (action->isSeparator()) {
            ++separators;
        } else {
            entries.push_back(action->text().toStdString());
        }
    }
    EXPECT_EQ(separators, 2);
    EXPECT_EQ(entries, (std::vector<std::string>{text(lang::kTextMainWindow), text(lang::kTextNews),
                                                 text(lang::kTextCheckForUpdate),
                                                 text(lang::kTextAbout), text(lang::kTextQuit)}));
    EXPECT_TRUE(tray->action(tuning::kTrayCommandMainWindow)->isEnabled());
    EXPECT_TRUE(tray->action(tuning::kTrayCommandNews)->isEnabled());
    EXPECT_TRUE(tray->action(tuning::kTrayCommandCheckForUpdate)->isEnabled());
    EXPECT_TRUE(tray->action(tuning::kTrayCommandQuit)->isEnabled());

    window_->showMinimized();
    trayCommand(tuning::kTrayCommandMainWindow);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(window_->isMinimized());
}

TEST_F(TrayAndAdvancedTest, QuitIsIgnoredWhileApplyRunsThenEndsWithEverySettledStep) {
    app_->settings().restoreUserSettings = true;
    QTest::mouseClick(child<QPushButton>(window_.get(), "applyButton"), Qt::LeftButton);
    ASSERT_TRUE(window_->applyController().running());

    // The worker's completion is not handled yet: the run is still under way.
    trayCommand(tuning::kTrayCommandQuit);
    EXPECT_TRUE(window_->tray()->iconVisible());
    EXPECT_FALSE(fs::exists(settingsFile()));
    EXPECT_EQ(window_->overlayShared().exitByte(), 0);

    ASSERT_TRUE(pumpUntil([&] { return !window_->applyController().running(); }));
    EXPECT_FALSE(ended_);
    trayCommand(tuning::kTrayCommandQuit);
    EXPECT_FALSE(window_->tray()->iconVisible());
    EXPECT_TRUE(fs::exists(settingsFile()));
    if (window_->overlayShared().isOpen()) {
        EXPECT_EQ(window_->overlayShared().exitByte(), 1);
        EXPECT_EQ(window_->overlayShared().runWord(), 0u);
    }
    // The run ends once the menu that chose Quit has closed.
    EXPECT_TRUE(pumpUntil([&] { return ended_; }));
}

TEST_F(TrayAndAdvancedTest, QuitWithTheRestoreOptionOffRemovesTheSettingsFile) {
    app_->settings().restoreUserSettings = true;
    window_->pressHide();
    ASSERT_TRUE(fs::exists(settingsFile()));
    app_->settings().restoreUserSettings = false;
    window_->quit();
    EXPECT_FALSE(fs::exists(settingsFile()));
    EXPECT_TRUE(pumpUntil([&] { return ended_; }));
}

TEST_F(TrayAndAdvancedTest, EnterInAControlPressesNoButton) {
    auto* apply = child<QPushButton>(window_.get(), "applyButton");
    apply->setFocus();
    QTest::keyClick(apply, Qt::Key_Return);
    QTest::keyClick(apply, Qt::Key_Enter);
    EXPECT_FALSE(window_->applyController().running());
}

TEST_F(TrayAndAdvancedTest, Message2025MakesTheDialogOnceAndShowsItEveryTime) {
    EXPECT_EQ(window_->advancedDialog(), nullptr);
    window_->handleInstanceMessages({platform::kInstanceOpenAdvanced});
    ui::CAdvanceDlg* dialog = window_->advancedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->width(), tuning::kAdvancedNarrowWidth);
    EXPECT_TRUE(dialog->refreshActive());

    child<QPushButton>(dialog, "closeButton")->click();
    EXPECT_FALSE(dialog->isVisible());
    // The posted message and a second start only bring the same dialog back.
    window_->handlePostedMessage(tuning::kMessageOpenAdvanced, 0, 0);
    EXPECT_EQ(window_->advancedDialog(), dialog);
    EXPECT_TRUE(dialog->isVisible());
    window_->handleInstanceMessages({platform::kInstanceOpenAdvanced});
    EXPECT_EQ(window_->advancedDialog(), dialog);
    EXPECT_EQ(window_->findChildren<QWidget*>("advanceDialog").size(), 1);
    // Its timer keeps going while it is hidden.
    dialog->hide();
    EXPECT_TRUE(dialog->refreshActive());
}

TEST_F(TrayAndAdvancedTest, ShortcutOpensTheAdvancedDialog) {
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_NE(window_->advancedDialog(), nullptr);
    EXPECT_TRUE(window_->advancedDialog()->isVisible());
}

TEST_F(TrayAndAdvancedTest, AdvancedDialogShowsTheBoardAndWritesWhatItsButtonsSay) {
    window_->openAdvanced();
    ui::CAdvanceDlg* dialog = window_->advancedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(child<QLabel>(dialog, "powerRange")->text(),
              "(Min:32000---Max:132000---Default:100000)");
    EXPECT_EQ(child<QLabel>(dialog, "graphicsOffsetRange")->text(),
              "(Min:-135000---Max:135000---Default:0)");
    EXPECT_EQ(child<QLabel>(dialog, "voltageOffsetRange")->text(), "(Min:-50000---Max:100000)");

    child<QPushButton>(dialog, "widthButton")->click();
    EXPECT_EQ(dialog->width(), tuning::kAdvancedWideWidth);
    EXPECT_EQ(child<QPushButton>(dialog, "widthButton")->text(), tuning::kAdvancedNarrow);
    auto* voltage = child<QSlider>(dialog, "voltageOffsetSlider");
    voltage->setValue(-2);
    EXPECT_EQ(child<QLabel>(dialog, "voltageOffsetValue")->text(), "-25000");
    child<QPushButton>(dialog, "voltageOffsetApply")->click();
    drv::Pstates20Info info{};
    ASSERT_EQ(app_->gpuLayer().pstates20Info(0, info), drv::kOk);
    EXPECT_EQ(info.pstates[0].baseVoltages[0].voltDeltaUv.value, -25000);

    // Reset, back at the narrow width, still writes every value.
    child<QPushButton>(dialog, "widthButton")->click();
    EXPECT_EQ(dialog->width(), tuning::kAdvancedNarrowWidth);
    child<QPushButton>(dialog, "resetButton")->click();
    ASSERT_EQ(app_->gpuLayer().pstates20Info(0, info), drv::kOk);
    EXPECT_EQ(info.pstates[0].baseVoltages[0].voltDeltaUv.value, 0);
    EXPECT_EQ(voltage->value(), 0);

    // The clock type is read at the next refresh.
    dialog->refreshNow();
    auto* graphics = child<QLineEdit>(dialog, "graphicsClockField");
    const QString current = graphics->text();
    EXPECT_TRUE(current.endsWith("MHz"));
    child<QComboBox>(dialog, "clockTypeSelector")->setCurrentIndex(2);
    EXPECT_EQ(graphics->text(), current);
    dialog->refreshNow();
    EXPECT_NE(graphics->text(), current);
}

}  // namespace
}  // namespace qv::test
