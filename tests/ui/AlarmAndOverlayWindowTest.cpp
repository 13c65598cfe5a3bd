#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <memory>

#include "settings/FileRegistryStore.h"
#include "settings/RegistrySettings.h"
#include "settings/RegistryValues.h"
#include "support/TempDir.h"
#include "ui/CIndicateInstDialog.h"
#include "ui/OverlayWindow.h"

namespace qv::test {
namespace {

constexpr int kWaitMs = 3000;

// The alarm windows on screen now.
QList<QWidget*> alarmWindows() {
    QList<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == "alarmDialog" && widget->isVisible()) {
            found.push_back(widget);
        }
    }
    return found;
}

// Closes whatever modal window is left after a while, so that a failing test ends instead of
// hanging; stops with the test, so that it never touches another test's windows.
class ModalCloser {
public:
    ModalCloser() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        });
        timer_.start(kWaitMs);
    }

private:
    QTimer timer_;
};

TEST(AlarmWindow, IsNeverOpenTwice) {
    const ModalCloser closer;
    ASSERT_FALSE(ui::CIndicateInstDialog::isOpen());
    bool checked = false;
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(ui::CIndicateInstDialog::isOpen());
        // The next tick's alarm while this one is up: returns at once and opens nothing.
        ui::CIndicateInstDialog::showAlarm("GPU 2 temperature is too high!!!\n", nullptr);
        const QList<QWidget*> open = alarmWindows();
        ASSERT_EQ(open.size(), 1);
        auto* text = open[0]->findChild<QLabel*>("alarmText");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->text(), "GPU 1 temperature is too high!!!");
        EXPECT_EQ(open[0]->windowTitle(), "Quorvel K");
        auto* ok = open[0]->findChild<QPushButton*>("alarmOk");
        ASSERT_NE(ok, nullptr);
        checked = true;
        ok->click();
    });
    ui::CIndicateInstDialog::showAlarm("GPU 1 temperature is too high!!!\n", nullptr);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(ui::CIndicateInstDialog::isOpen());
    EXPECT_TRUE(alarmWindows().isEmpty());
}

TEST(AlarmWindow, ParentGoingAwayClosesItWithoutHarm) {
    const ModalCloser closer;
    auto* parent = new QWidget;
    parent->show();
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(alarmWindows().size(), 1);
        delete parent;
    });
    ui::CIndicateInstDialog::showAlarm("GPU 1 temperature is too high!!!\n", parent);
    EXPECT_FALSE(ui::CIndicateInstDialog::isOpen());
    EXPECT_TRUE(alarmWindows().isEmpty());

    // The next alarm opens a window again.
    bool opened = false;
    QTimer::singleShot(0, [&] {
        opened = alarmWindows().size() == 1;
        QApplication::activeModalWidget()->close();
    });
    ui::CIndicateInstDialog::showAlarm("again", nullptr);
    EXPECT_TRUE(opened);
}

// A shared overlay record of the test's own, removed afterwards.
class OverlayWindowTest : public ::testing::Test {
protected:
    static std::string uniqueName() {
        static std::atomic<int> counter{0};
        return "/quorvel-test-overlay-" + std::to_string(getpid()) + "-" +
               std::to_string(counter++);
    }
    void SetUp() override { ASSERT_EQ(shared.open(), platform::kOverlayOk); }
    void TearDown() override { shared.unlink(); }

    platform::OverlayShared shared{uniqueName()};
};

TEST_F(OverlayWindowTest, ShowsTextAndHandsItOverHidesWhenEmpty) {
    ui::OverlayWindow window(&shared);
    window.setMovable(false);  // as while the user is in another program
    EXPECT_FALSE(window.isVisible());
    const std::string text = "ZENTRAX QUORVEL K \nTEMP.:65\rC\n";
    window.setOverlayText(text);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.shownText(), QString::fromUtf8("ZENTRAX QUORVEL K \nTEMP.:65\u00B0C"));
    EXPECT_EQ(shared.text(), text);
    EXPECT_EQ(shared.sequence(), 1u);
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(screen->availableGeometry().contains(window.geometry().topLeft()));
    EXPECT_LT(window.geometry().left() - screen->availableGeometry().left(), 50);
    EXPECT_LT(window.geometry().top() - screen->availableGeometry().top(), 50);
    EXPECT_GT(window.width(), 0);
    // The text is drawn on a see-through window: its corner stays clear, the text does not.
    const QImage image = window.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, image.height() - 1).alpha(), 0);
    bool drawn = false;
    for (int y = 0; y < image.height() && !drawn; ++y) {
        for (int x = 0; x < image.width() && !drawn; ++x) {
            drawn = image.pixelColor(x, y).alpha() == 255;
        }
    }
    EXPECT_TRUE(drawn);

    // Clicks and focus go through to the windows below; it floats over them.
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));

    window.setOverlayText("");
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(shared.text(), "");
    EXPECT_EQ(shared.sequence(), 2u);

    // A two-GPU text shows both blocks.
    window.setOverlayText("ZENTRAX QUORVEL K \nGPU0 TEMP.:50\rC\nGPU1 TEMP.:61\rC\n");
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.shownText().count('\n'), 2);
    EXPECT_TRUE(window.shownText().endsWith(QString::fromUtf8("61\u00B0C")));
}

const std::string kLine = "ZENTRAX QUORVEL K \nTEMP.:65\rC FAN:45%\n";

bool clickThrough(const QWidget& window) {
    return window.windowFlags().testFlag(Qt::WindowTransparentForInput) &&
           window.testAttribute(Qt::WA_TransparentForMouseEvents);
}

// The line with a settings file of its own.
class OverlayPlaceTest : public ::testing::Test {
protected:
    OverlayPlaceTest() { settings::loadRegistrySettings(store, settings); }

    QRect usable() const { return QGuiApplication::primaryScreen()->availableGeometry(); }

    TempDir folder;
    settings::FileRegistryStore store{
        settings::StorePaths{folder.file("settings.conf"), folder.file("quorvel.desktop")}};
    settings::RegistrySettings settings;
};

TEST_F(OverlayPlaceTest, KeepsClearOfTheMainWindowWhileItShows) {
    QWidget mainWindow(nullptr, Qt::Window | Qt::FramelessWindowHint);
    mainWindow.setGeometry(QRect(usable().topLeft(), QSize(300, 200)));
    mainWindow.show();
    ui::OverlayWindow window(nullptr, &store, &settings);
    window.setAvoidedWindow(&mainWindow);
    window.setOverlayText(kLine);
    EXPECT_FALSE(window.frameGeometry().intersects(mainWindow.frameGeometry()));
    EXPECT_TRUE(usable().contains(window.geometry()));

    // Hidden, the main window covers nothing: the line goes back to the corner.
    mainWindow.hide();
    window.followPlacement();
    EXPECT_EQ(window.pos(), usable().topLeft() + QPoint(8, 8));
}

TEST_F(OverlayPlaceTest, DraggedWhileMovableAndPutThereAtTheNextStart) {
    QPoint dropped;
    {
        ui::OverlayWindow window(nullptr, &store, &settings);
        window.setMovable(false);
        window.setOverlayText(kLine);
        EXPECT_TRUE(clickThrough(window));
        const QPoint start = window.pos();
        // Not movable: a press starts nothing.
        QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseMove(&window, QPoint(60, 50));
        QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, QPoint(60, 50));
        EXPECT_EQ(window.pos(), start);

        window.setMovable(true);
        EXPECT_FALSE(clickThrough(window));
        EXPECT_TRUE(window.isVisible());
        // The backdrop shows what can be taken.
        const QImage image = window.grab().toImage();
        EXPECT_GT(image.pixelColor(0, image.height() - 1).alpha(), 0);

        QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseMove(&window, QPoint(105, 85));
        EXPECT_EQ(window.pos(), start + QPoint(100, 80));
        // A tick while dragging leaves the window where the mouse has it.
        window.setOverlayText("ZENTRAX QUORVEL K \nTEMP.:66\rC FAN:45%\n");
        EXPECT_EQ(window.pos(), start + QPoint(100, 80));
        // The window moved under the mouse: the release is at the same place on the desktop.
        QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        dropped = window.pos();
        EXPECT_EQ(dropped, start + QPoint(100, 80));
        EXPECT_EQ(settings.osdPositionX, dropped.x());
        EXPECT_EQ(settings.osdPositionY, dropped.y());

        window.setMovable(false);
        EXPECT_TRUE(clickThrough(window));
        EXPECT_TRUE(window.isVisible());
    }
    settings::RegistrySettings next;
    settings::loadRegistrySettings(store, next);
    ui::OverlayWindow again(nullptr, &store, &next);
    again.setOverlayText(kLine);
    EXPECT_EQ(again.pos(), dropped);
}

TEST_F(OverlayPlaceTest, AStoredPlaceOffEveryScreenFallsBackToTheCorner) {
    ASSERT_TRUE(settings::saveOsdPosition(store, settings, usable().right() + 4000, 40));
    ui::OverlayWindow window(nullptr, &store, &settings);
    window.setOverlayText(kLine);
    EXPECT_EQ(window.pos(), usable().topLeft() + QPoint(8, 8));
}

TEST(OverlayWindow, WorksWithoutASharedRecord) {
    platform::OverlayShared closed("/quorvel-test-overlay-never-opened");
    for (platform::OverlayShared* shared :
         {static_cast<platform::OverlayShared*>(nullptr), &closed}) {
        ui::OverlayWindow window(shared);
        window.setOverlayText("ZENTRAX QUORVEL K \n");
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.shownText(), "ZENTRAX QUORVEL K ");
        window.setOverlayText("");
        EXPECT_FALSE(window.isVisible());
    }
    EXPECT_FALSE(closed.isOpen());
}

}  // namespace
}  // namespace qv::test
