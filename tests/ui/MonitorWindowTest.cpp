// The monitor as a new user meets it: the main window's monitor button opens it over the
// simulated boards, its curves sample every second, the menu rebuilds it without losing what was
// sampled, and "Save" writes the log.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "UiTestSupport.h"
#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "monitor/CurveGeometry.h"
#include "monitor/MonitorLog.h"
#include "platform/Utf16.h"
#include "ui/CDlg_Monitor.h"
#include "ui/CNQVCurves.h"
#include "ui/CQuorvelHDDlg.h"

namespace qv::test {
namespace {

using monitor::kItemPower;
using monitor::kItemTemperature;

// Delivers what the window posted to itself.
void deliverPosted() {
    for (int i = 0; i < 5; ++i) {
        QApplication::sendPostedEvents();
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class MonitorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        instance_ = std::make_unique<platform::PosixSingleInstance>(machine_.lock.path());
        app::AppServices services = machine_.services();
        services.instance = instance_.get();
        app_ = std::make_unique<app::CQuorvelHDApp>(services);
        app_->InitInstance({});
        ASSERT_EQ(app_->startupEnd(), app::StartupEnd::kNoWindow);
        ASSERT_TRUE(app_->hardwareReady());
        window_ = std::make_unique<ui::CQuorvelHDDlg>(*app_);
        window_->sampleNow();  // the sampling loop's live values
    }

    ui::CDlg_Monitor* openFromTheButton() {
        auto* button = window_->findChild<QPushButton*>("monitorButton");
        EXPECT_NE(button, nullptr);
        if (button == nullptr) {
            return nullptr;
        }
        QTest::mouseClick(button, Qt::LeftButton);
        deliverPosted();
        return window_->monitorWindow();
    }

    AppMachine machine_;
    std::unique_ptr<platform::PosixSingleInstance> instance_;
    std::unique_ptr<app::CQuorvelHDApp> app_;
    std::unique_ptr<ui::CQuorvelHDDlg> window_;
};

TEST_F(MonitorWindowTest, TheButtonOpensCurvesForEveryGpuSampledEverySecond) {
    auto* button = window_->findChild<QPushButton*>("monitorButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip().toStdString(), lang::languageTable().text(lang::kTipMonitor));
    ui::CDlg_Monitor* monitor = openFromTheButton();
    ASSERT_NE(monitor, nullptr);
    EXPECT_TRUE(monitor->isVisible());
    EXPECT_TRUE(monitor->windowFlags().testFlag(Qt::FramelessWindowHint));

    ui::CNQVCurves* curves = monitor->curves();
    auto* timer = curves->findChild<QTimer*>("curveTimer");
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    const monitor::CurveModel& model = curves->model();
    const uint8_t gpus = app_->gpuLayer().gpuCount();
    ASSERT_GE(gpus, 1);
    // The first sample was taken as the window opened (a slow machine may have let the timer
    // take another since).
    const size_t taken = model.queue(0, kItemTemperature).count();
    EXPECT_GE(taken, 1u);
    for (uint8_t gpu = 0; gpu < gpus; ++gpu) {
        EXPECT_EQ(model.queue(gpu, kItemTemperature).count(), taken) << int(gpu);
        EXPECT_EQ(model.queue(gpu, kItemTemperature).newest()->value,
                  window_->dialogModel().entry(gpu).temperatureC);
    }
    EXPECT_FALSE(model.gpuHasSource(gpus));

    curves->sampleNow();
    EXPECT_EQ(model.queue(0, kItemTemperature).count(), taken + 1);
    // Every GPU draws its temperature in its own colour.
    const monitor::CurveGeometry geometry = monitor::computeCurveGeometry(model);
    size_t gpusDrawn = 0;
    for (const monitor::Stroke& stroke : geometry.strokes) {
        if (stroke.item == kItemTemperature) {
            ++gpusDrawn;
            EXPECT_EQ(stroke.points.front().x, model.plotRight());
        }
    }
    EXPECT_EQ(gpusDrawn, gpus);
    const QImage picture = curves->grab().toImage();
    EXPECT_EQ(picture.width(), model.width());
    // The stroke drawn last is not covered by another.
    const monitor::Stroke& last = geometry.strokes.back();
    EXPECT_EQ(picture.pixelColor(last.points.front().x, last.points.front().y),
              QColor(last.colour.r, last.colour.g, last.colour.b));
}

TEST_F(MonitorWindowTest, CurvesScrollOnePixelColumnPerSecond) {
    // Seconds from 23:59:00 onwards, across midnight.
    class Clock final : public platform::LocalTimeSource {
    public:
        platform::LocalDateTime now() override {
            const int s = 23 * 3600 + 59 * 60 + next_++;
            return {2026, 12, 8, (s / 3600) % 24, (s / 60) % 60, s % 60};
        }
        int next_ = 0;
    } clock;
    tuning::MonitorSession session(app_->gpuLayer(), window_->dialogModel(), &app_->registry(),
                                   monitor::MirrorHistory::process(),
                                   app_->dataFolder() + "/Monitor_Save");
    ui::CDlg_Monitor monitor(session, false, machine_.prompt, {}, nullptr, clock);
    monitor.show();
    ui::CNQVCurves* curves = monitor.curves();
    curves->sampleNow();
    const monitor::CurveModel& model = curves->model();
    const auto newestStroke = [&model] {
        const monitor::CurveGeometry geometry = monitor::computeCurveGeometry(model);
        for (const monitor::Stroke& stroke : geometry.strokes) {
            if (stroke.gpu == 0 && stroke.item == kItemTemperature) {
                return stroke.points;
            }
        }
        return std::vector<monitor::Point>{};
    };
    const std::vector<monitor::Point> before = newestStroke();
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(before.front().x, model.plotRight());
    for (int s = 0; s < 90; ++s) {
        window_->sampleNow();
        curves->sampleNow();
    }
    const std::vector<monitor::Point> after = newestStroke();
    ASSERT_FALSE(after.empty());
    // The first sample moved 90 columns to the left, past midnight.
    EXPECT_EQ(model.currentTime().hour, 0);
    int oldestX = model.plotRight();
    for (const monitor::CurveGeometry geometry = monitor::computeCurveGeometry(model);
         const monitor::Stroke& stroke : geometry.strokes) {
        if (stroke.gpu == 0 && stroke.item == kItemTemperature) {
            oldestX = std::min(oldestX, stroke.points.back().x);
        }
    }
    EXPECT_EQ(oldestX, model.plotRight() - 90);

    if (const char* folder = std::getenv("QV_SCREENSHOTS")) {
        EXPECT_TRUE(monitor.grab().save(QString::fromUtf8(folder) + "/monitor.png"));
    }
}

TEST_F(MonitorWindowTest, SwitchingAnItemRebuildsTheWindowWithItsHistory) {
    ui::CDlg_Monitor* monitor = openFromTheButton();
    ASSERT_NE(monitor, nullptr);
    for (int s = 0; s < 3; ++s) {
        monitor->curves()->sampleNow();
    }
    const size_t before = monitor->curves()->model().queue(0, kItemTemperature).count();
    ASSERT_GE(before, 4u);
    const int shownBefore = monitor->curves()->model().shownCount();
    const QPoint place(120, 80);
    monitor->move(place);

    const monitor::MonitorMenu menu = monitor->prepareMenu();
    ASSERT_TRUE(menu.items[kItemTemperature].enabled);
    monitor->runCommand(menu.items[kItemTemperature].command);
    deliverPosted();
    ui::CDlg_Monitor* rebuilt = window_->monitorWindow();
    ASSERT_NE(rebuilt, nullptr);
    EXPECT_TRUE(rebuilt->isVisible());
    EXPECT_EQ(rebuilt->pos(), place);
    const monitor::CurveModel& model = rebuilt->curves()->model();
    EXPECT_FALSE(model.item(kItemTemperature).shown);
    EXPECT_EQ(model.shownCount(), shownBefore - 1);
    // The samples taken before are there, and the new window's first sample after them.
    EXPECT_GE(model.queue(0, kItemTemperature).count(), before + 1);

    // The choice outlives the program.
    uint32_t stored = 0;
    ASSERT_TRUE(app_->registry().readValue(tuning::kValueMonitorItems, stored));
    EXPECT_EQ(stored & (1u << kItemTemperature), 0u);
}

TEST_F(MonitorWindowTest, SaveWritesTheLogAndAsksToOpenItWhenStopped) {
    ui::CDlg_Monitor* monitor = openFromTheButton();
    ASSERT_NE(monitor, nullptr);
    monitor->runCommand(monitor::kCommandSave);
    EXPECT_TRUE(monitor->prepareMenu().save.checked);
    EXPECT_FALSE(monitor->prepareMenu().monitorsEnabled);
    monitor->curves()->sampleNow();
    monitor->curves()->sampleNow();
    const std::string path = monitor->model().state().log.currentPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(std::filesystem::path(path).parent_path(),
              std::filesystem::path(app_->dataFolder()) / "Monitor_Save");

    monitor->runCommand(monitor::kCommandSave);  // the scripted prompt answers No
    ASSERT_FALSE(machine_.prompt.shown.empty());
    EXPECT_EQ(machine_.prompt.shown.back().text,
              lang::languageTable().text(lang::kTextOpenSavedFile));
    EXPECT_EQ(machine_.prompt.shown.back().buttons, platform::PromptButtons::kYesNo);

    const monitor::CurveModel& model = monitor->curves()->model();
    const std::string header = monitor::logHeaderLine(model.logColumns(), lang::languageTable());
    const std::string bytes = fileBytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::string headerBytes = platform::utf8ToUtf16Le(header);
    EXPECT_EQ(bytes.substr(2, headerBytes.size()), headerBytes);
    EXPECT_EQ(header.substr(0, 15), "Timestamp;GPU1-");
    // Two data lines, each ending in ";" CR LF.
    size_t lines = 0;
    for (size_t at = bytes.find(std::string(";\0\r\0\n\0", 6)); at != std::string::npos;
         at = bytes.find(std::string(";\0\r\0\n\0", 6), at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 2u);
}

TEST_F(MonitorWindowTest, TheRightButtonOnTheCurvesOpensTheMenu) {
    ui::CDlg_Monitor* monitor = openFromTheButton();
    ASSERT_NE(monitor, nullptr);
    monitor->runCommand(monitor::kCommandSave);  // logging: the item sub-menu is greyed
    QStringList entries;
    bool monitorsEnabled = true;
    bool saveChecked = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return;
        }
        for (QAction* action : menu->actions()) {
            entries << action->text();
            if (action->menu() != nullptr) {
                monitorsEnabled = action->menu()->isEnabled();
            }
            if (action->text().toStdString() == lang::languageTable().text(lang::kTextSave)) {
                saveChecked = action->isChecked();
            }
        }
        menu->close();
    });
    // The press and release land on the curves, which hand them to the window.
    QWidget* curves = monitor->curves();
    QTest::mouseClick(curves, Qt::RightButton, {}, QPoint(100, 100));
    const auto text = [](int row) { return QString::fromUtf8(lang::languageTable().text(row)); };
    EXPECT_EQ(entries, (QStringList{text(lang::kTextMonitors), text(lang::kTextSave),
                                    text(lang::kTextHide), text(lang::kTextClose)}));
    EXPECT_FALSE(monitorsEnabled);
    EXPECT_TRUE(saveChecked);
    monitor->runCommand(monitor::kCommandSave);
}

TEST_F(MonitorWindowTest, HideAndCloseHideTheWindowWithoutDestroyingIt) {
    ui::CDlg_Monitor* monitor = openFromTheButton();
    ASSERT_NE(monitor, nullptr);
    QTest::mouseClick(monitor->findChild<QPushButton*>("monitorCloseButton"), Qt::LeftButton);
    EXPECT_FALSE(monitor->isVisible());
    EXPECT_TRUE(monitor->model().state().hidden);
    EXPECT_EQ(window_->monitorWindow(), monitor);

    monitor->show();
    EXPECT_FALSE(monitor->close());
    EXPECT_FALSE(monitor->isVisible());

    monitor->show();
    monitor->runCommand(monitor::kCommandSave);
    const size_t asked = machine_.prompt.shown.size();
    monitor->runCommand(monitor::kCommandClose);
    EXPECT_FALSE(monitor->isVisible());
    EXPECT_FALSE(monitor->model().state().log.isOn());
    EXPECT_EQ(machine_.prompt.shown.size(), asked + 1);
}

TEST_F(MonitorWindowTest, ALogFolderThatCannotBeMadeIsToldOnceInTheWindow) {
    std::ofstream(app_->dataFolder() + "/Monitor_Save") << "a file in the folder's place";
    ui::CDlg_Monitor* monitor = openFromTheButton();
    ASSERT_NE(monitor, nullptr);
    monitor->runCommand(monitor::kCommandSave);
    EXPECT_FALSE(monitor->model().state().log.isOn());
    auto* problem = monitor->findChild<QLabel*>("monitorProblem");
    ASSERT_NE(problem, nullptr);
    EXPECT_TRUE(problem->text().contains("Monitor_Save"));
    const size_t asked = machine_.prompt.shown.size();
    monitor->curves()->sampleNow();
    monitor->curves()->sampleNow();
    EXPECT_EQ(machine_.prompt.shown.size(), asked);  // no message box per tick
}

}  // namespace
}  // namespace qv::test
