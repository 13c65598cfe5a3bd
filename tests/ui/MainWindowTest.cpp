#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <vector>

#include "UiTestSupport.h"
#include "platform/SingleInstance.h"
#include "tuning/MainFrameModel.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/QuorvelTray.h"

namespace qv::test {
namespace {

// The application started far enough for its window: hardware and fonts ready, no window run.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        instance_ = std::make_unique<platform::PosixSingleInstance>(machine_.lock.path());
        app::AppServices services = machine_.services();
        services.instance = instance_.get();
        app_ = std::make_unique<app::CQuorvelHDApp>(services);
        app_->InitInstance({});  // no window host: ends after the fonts
        ASSERT_EQ(app_->startupEnd(), app::StartupEnd::kNoWindow);
        ASSERT_TRUE(app_->hardwareReady());
        window_ = std::make_unique<ui::CQuorvelHDDlg>(*app_);
    }

    template <typename T>
    T* child(const char* name) {
        T* found = window_->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    AppMachine machine_;
    std::unique_ptr<platform::PosixSingleInstance> instance_;
    std::unique_ptr<app::CQuorvelHDApp> app_;
    std::unique_ptr<ui::CQuorvelHDDlg> window_;
};

TEST_F(MainWindowTest, BorderlessFrameWithCaptionSelectorAndDigitalReadout) {
    window_->applyStartMode();
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(window_->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window_->width(), tuning::kDialogWidthNormal);
    EXPECT_EQ(window_->windowTitle(), "Quorvel K");
    EXPECT_EQ(child<QLabel>("captionLabel")->text(), "Quorvel K");

    auto* selector = child<QComboBox>("gpuSelector");
    ASSERT_EQ(selector->count(), 3);
    EXPECT_EQ(selector->itemText(0), "GeForce GTX 680");
    EXPECT_EQ(selector->itemText(2), "GeForce GTX 260");
    EXPECT_EQ(selector->currentIndex(), 0);

    auto* status = child<QLabel>("statusLine");
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), tuning::kSimulatedNotice);

    auto* readout = child<QLabel>("temperatureReadout");
    EXPECT_EQ(readout->text().toStdString(), window_->controller().view().temperatureText);
    EXPECT_NE(window_->controller().view().temperatureText, tuning::kMissingValueText);
    // The read-out really draws with the seven-segment family, not a substitute.
    EXPECT_EQ(QFontInfo(readout->font()).family(), "DSEG7 Classic");
    EXPECT_EQ(QFontInfo(child<QLabel>("temperatureLabel")->font()).family(), "Liberation Sans");

    // Every widget can be found by name.
    for (QWidget* widget : window_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_FALSE(widget->objectName().isEmpty()) << widget->metaObject()->className();
    }
}

TEST_F(MainWindowTest, SelectingAGpuReadsItsTemperature) {
    window_->applyStartMode();
    auto* selector = child<QComboBox>("gpuSelector");
    auto* readout = child<QLabel>("temperatureReadout");
    selector->setCurrentIndex(2);
    EXPECT_EQ(window_->controller().view().gpuOnShow, 2);
    EXPECT_EQ(readout->text().toStdString(), window_->controller().view().temperatureText);
}

TEST_F(MainWindowTest, ButtonsMinimiseAndHideAndCloseOnlyHides) {
    window_->applyStartMode();
    QTest::mouseClick(child<QPushButton>("minimizeButton"), Qt::LeftButton);
    EXPECT_TRUE(window_->isMinimized());

    window_->showAndRaise();
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(window_->isMinimized());

    // Hidden in the notification area, or minimised where there is none (the offscreen
    // platform), so that the window can be brought back.
    const auto putAway = [this] {
        return ui::QuorvelTray::notificationAreaAvailable() ? !window_->isVisible()
                                                            : window_->isMinimized();
    };
    QTest::mouseClick(child<QPushButton>("hideButton"), Qt::LeftButton);
    EXPECT_TRUE(putAway());

    window_->handleInstanceMessages({platform::kInstanceShowWindow});
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(window_->isMinimized());

    int ended = 0;
    window_->setEndHandler([&](int) { ++ended; });
    EXPECT_FALSE(window_->close());  // refused: the window is put away instead
    EXPECT_TRUE(putAway());
    EXPECT_EQ(ended, 0);
}

TEST_F(MainWindowTest, DraggingTheBackgroundMovesTheWindowButControlsKeepTheirPresses) {
    window_->applyStartMode();
    window_->move(100, 100);
    const QPoint start = window_->pos();
    // A press on the caption text (a static, not a control) reaches the window.
    auto* caption = child<QLabel>("captionLabel");
    const QPoint press = caption->geometry().center();
    ASSERT_EQ(window_->childAt(press), caption);
    QTest::mousePress(caption, Qt::LeftButton, Qt::NoModifier,
                      caption->mapFrom(window_.get(), press));
    QTest::mouseMove(window_.get(), press + QPoint(30, 40));
    QTest::mouseRelease(window_.get(), Qt::LeftButton, Qt::NoModifier, press + QPoint(30, 40));
    EXPECT_EQ(window_->pos(), start + QPoint(30, 40));

    auto* selector = child<QComboBox>("gpuSelector");
    const QPoint before = window_->pos();
    QTest::mousePress(selector, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseMove(window_.get(), selector->geometry().topLeft() + QPoint(60, 60));
    QTest::mouseRelease(selector, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    selector->hidePopup();
    EXPECT_EQ(window_->pos(), before);
}

TEST_F(MainWindowTest, TabVisitsEveryControlInReadingOrderAndEachHasAName) {
    window_->applyStartMode();
    const auto reachable = [this](QWidget* w) {
        return (w->focusPolicy() & Qt::TabFocus) != 0 && w->isVisibleTo(window_.get()) &&
               w->isEnabled() && !w->isWindow();
    };
    std::vector<QWidget*> expected;
    for (QWidget* w : window_->findChildren<QWidget*>()) {
        if (reachable(w)) {
            expected.push_back(w);
        }
    }
    ASSERT_GT(expected.size(), 20u);

    // The focus chain from the window, as Tab walks it.
    std::vector<QWidget*> visited;
    for (QWidget* w = window_->nextInFocusChain(); w != window_.get(); w = w->nextInFocusChain()) {
        if (reachable(w)) {
            visited.push_back(w);
        }
        ASSERT_LT(visited.size(), 1000u);
    }
    EXPECT_EQ(visited.size(), expected.size()) << "every control is reached once";
    // Reading order in the normal part: each control is on the line of the one before (and to
    // its right) or on a lower line.
    for (size_t i = 1; i < visited.size(); ++i) {
        const QPoint a = visited[i - 1]->mapTo(window_.get(), visited[i - 1]->rect().center());
        const QPoint b = visited[i]->mapTo(window_.get(), visited[i]->rect().center());
        const bool sameLine = std::abs(a.y() - b.y()) < 10;
        EXPECT_TRUE(sameLine ? b.x() > a.x() : b.y() > a.y())
            << visited[i - 1]->objectName().toStdString() << " then "
            << visited[i]->objectName().toStdString();
    }
    const auto indexOf = [&](const char* name) {
        for (size_t i = 0; i < visited.size(); ++i) {
            if (visited[i]->objectName() == QLatin1String(name)) {
                return static_cast<int>(i);
            }
        }
        ADD_FAILURE() << name << " is not reached";
        return -1;
    };
    EXPECT_LT(indexOf("gpuSelector"), indexOf("gpuClockSlider"));
    EXPECT_LT(indexOf("gpuClockSlider"), indexOf("memoryClockSlider"));
    EXPECT_LT(indexOf("memoryVoltageSlider"), indexOf("applyButton"));

    for (QWidget* w : visited) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << w->objectName().toStdString();
    }
    QAccessibleInterface* slider =
        QAccessible::queryAccessibleInterface(child<QSlider>("gpuClockSlider"));
    EXPECT_EQ(slider->text(QAccessible::Name).toStdString(), "GPU Clock");
    EXPECT_FALSE(slider->text(QAccessible::Description).isEmpty());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(child<QPushButton>("gpuClockDown2"))
                  ->text(QAccessible::Name)
                  .toStdString(),
              "GPU Clock <<<");
}

TEST_F(MainWindowTest, SlidersFollowTheKeysThroughTheModel) {
    window_->applyStartMode();
    auto* slider = child<QSlider>("gpuClockSlider");
    ASSERT_TRUE(slider->isEnabled());
    const auto& model = window_->controller().view().sliders[0];
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(slider->value(), slider->maximum());
    EXPECT_EQ(model.pos, slider->maximum());
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(model.pos, slider->minimum());
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(model.pos, slider->minimum() + 1);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(model.pos, slider->minimum() + 1 + slider->pageStep());
}

TEST_F(MainWindowTest, OverlayLineIsOnByDefaultAndKeepsClearOfTheWindow) {
    window_->applyStartMode();
    // Partly off the left edge of the (small) test screen, over its top-left corner: the line
    // has room only right of the window.
    const QRect usable = QGuiApplication::primaryScreen()->availableGeometry();
    window_->move(usable.topLeft() - QPoint(300, 0));
    window_->sampleNow();
    QWidget* overlay = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == "overlayWindow") {
            overlay = widget;
        }
    }
    ASSERT_NE(overlay, nullptr);
    // A new user's settings show the temperature and the fan.
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_FALSE(overlay->frameGeometry().intersects(window_->frameGeometry()));
    EXPECT_TRUE(usable.contains(overlay->frameGeometry()));

    // Moved away, the window leaves the corner to the line at the next tick.
    window_->move(usable.topLeft() + QPoint(400, 0));
    window_->sampleNow();
    EXPECT_EQ(overlay->pos(), usable.topLeft() + QPoint(8, 8));
}

}  // namespace
}  // namespace qv::test
