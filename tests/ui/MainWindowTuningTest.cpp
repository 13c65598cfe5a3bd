#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <cmath>
#include <memory>
#include <set>
#include <thread>

#include "UiTestSupport.h"
#include "gpu/DriverIds.h"
#include "gpu/GpuRecord.h"
#include "gpu/Units.h"
#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/SingleInstance.h"
#include "settings/RegistryValues.h"
#include "support/SimHarness.h"
#include "tuning/ApplyController.h"
#include "tuning/MainDialogModel.h"
#include "ui/CIndicateInstDialog.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/Gauge.h"
#include "ui/MainWindowSkin.h"
#include "ui/QtPoster.h"

namespace qv::test {
namespace {

using platform::PromptAnswer;

constexpr int kCompletionTimeoutMs = 10000;

std::string text(int row) {
    return lang::languageTable().text(row);
}

// The window over the simulated boards, set up as start-up leaves it, shown but with its timers
// stopped so that the test decides when a tick runs. The application posts through a Qt poster,
// as the program's does.
class MainWindowTuningTest : public ::testing::Test {
protected:
    // Stored options the application reads when it is made.
    virtual void storeOptions() {}

    void SetUp() override {
        storeOptions();
        instance_ = std::make_unique<platform::PosixSingleInstance>(machine_.lock.path());
        app::AppServices services = machine_.services();
        services.instance = instance_.get();
        services.gpu.poster = &appPoster_;
        app_ = std::make_unique<app::CQuorvelHDApp>(services);
        app_->InitInstance({});
        ASSERT_TRUE(app_->hardwareReady());
        app_->gpuLayer().waitForProbe();
        window_ = std::make_unique<ui::CQuorvelHDDlg>(*app_);
        window_->show();
    }

    template <typename T>
    T* child(const char* name) {
        T* found = window_->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Processes events until `done` holds or the time is up.
    template <typename Done>
    bool pumpUntil(Done done) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > kCompletionTimeoutMs) {
                return false;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    bool prompted(const std::string& wanted) const {
        for (const auto& shown : machine_.prompt.shown) {
            if (shown.text == wanted) {
                return true;
            }
        }
        return false;
    }

    void selectGpu(int index) {
        child<QComboBox>("gpuSelector")->setCurrentIndex(index);
        ASSERT_EQ(window_->dialogModel().gpuOnShow(), index);
    }

    // A control function of the simulated driver the application has loaded.
    template <typename Function>
    Function simFunction(const char* name) {
        void* library = dlopen(simLibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
        EXPECT_NE(library, nullptr);
        auto* function = reinterpret_cast<Function>(dlsym(library, name));
        EXPECT_NE(function, nullptr) << name;
        dlclose(library);
        return function;
    }

    AppMachine machine_;
    ui::QtPoster appPoster_;
    std::unique_ptr<platform::PosixSingleInstance> instance_;
    std::unique_ptr<app::CQuorvelHDApp> app_;
    std::unique_ptr<ui::CQuorvelHDDlg> window_;
};

class MainWindowHotKeyTest : public MainWindowTuningTest {
protected:
    static constexpr uint32_t kBoostPercent = 80;
    void storeOptions() override {
        machine_.store.writeValue(settings::kValueHotKeyEnable, 1);
        machine_.store.writeValue(settings::kValueHotKeyFanSpeed, kBoostPercent);
    }
};

TEST_F(MainWindowTuningTest, ControlsDrawTheModelAndEveryWidgetIsNamed) {
    selectGpu(kGpu05E2);
    const tuning::MainDialogControls& c = window_->dialogModel().controls();
    auto* gpuSlider = child<QSlider>("gpuClockSlider");
    EXPECT_EQ(gpuSlider->minimum(), c.gpuClock.min);
    EXPECT_EQ(gpuSlider->maximum(), c.gpuClock.max);
    EXPECT_EQ(gpuSlider->value(), c.gpuClock.pos);
    EXPECT_EQ(gpuSlider->isEnabled(), c.gpuClock.enabled);
    EXPECT_EQ(child<QSlider>("fanSpeedSlider")->value(), c.fanSpeed.pos);
    EXPECT_EQ(child<QPushButton>("linkButton")->text().toStdString(), text(lang::kTextLinked));
    EXPECT_TRUE(child<QPushButton>("linkButton")->isChecked());
    EXPECT_EQ(child<QPushButton>("unlockMinButton")->text().toStdString(),
              text(lang::kTextUnlockMin));
    EXPECT_EQ(child<QPushButton>("applyButton")->text().toStdString(), text(lang::kTextApply));
    EXPECT_EQ(child<QPushButton>("mode3DPerfButton")->text().toStdString(),
              text(lang::kText3DPerf));
    // Exactly the pressed mode is highlighted.
    int highlighted = 0;
    for (const char* name : {"mode2DButton", "mode3DLowButton", "mode3DPerfButton"}) {
        highlighted += child<QPushButton>(name)->isChecked() ? 1 : 0;
    }
    EXPECT_EQ(highlighted, 1);
    // On every GPU: a mode button without a caption is never highlighted.
    for (int gpu = 0; gpu < 3; ++gpu) {
        selectGpu(gpu);
        for (const char* name : {"mode2DButton", "mode3DLowButton", "mode3DPerfButton"}) {
            auto* button = child<QPushButton>(name);
            if (button->text().isEmpty()) {
                EXPECT_FALSE(button->isChecked()) << name << " of GPU " << gpu;
            }
        }
    }
    selectGpu(kGpu05E2);
    // The slider's value text is the information field's.
    EXPECT_EQ(child<QLabel>("gpuClockValue")->text().toStdString(),
              window_->infoReadouts().field(tuning::kInfoGpuSliderValue)->text);
    EXPECT_EQ(child<QLabel>("infoField130")->text().toStdString(),
              window_->infoReadouts().field(tuning::kInfoCudaCores)->text);
    EXPECT_FALSE(child<QSlider>("gpuClockSlider")->toolTip().isEmpty());
    // The wide part waits for the overclocking interface.
    EXPECT_FALSE(child<QSlider>("gpuOffsetSlider")->isVisible());

    // Also the controls inside the embedded panels; Qt's own parts of its widgets (named "qt_..."
    // or without a name inside those) are not ours to name.
    const auto insideQtPart = [](QWidget* widget) {
        for (QWidget* p = widget->parentWidget(); p != nullptr; p = p->parentWidget()) {
            if (p->objectName().startsWith("qt_")) {
                return true;
            }
        }
        return false;
    };
    for (QWidget* widget : window_->findChildren<QWidget*>()) {
        if (insideQtPart(widget)) {
            continue;
        }
        if (qobject_cast<QAbstractButton*>(widget) != nullptr ||
            qobject_cast<QAbstractSlider*>(widget) != nullptr ||
            qobject_cast<QAbstractSpinBox*>(widget) != nullptr ||
            qobject_cast<QLabel*>(widget) != nullptr) {
            EXPECT_FALSE(widget->objectName().isEmpty())
                << widget->metaObject()->className() << " in "
                << widget->parentWidget()->objectName().toStdString();
        }
    }
    std::set<QString> names;
    for (QWidget* widget : window_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_FALSE(widget->objectName().isEmpty()) << widget->metaObject()->className();
        EXPECT_TRUE(names.insert(widget->objectName()).second)
            << widget->objectName().toStdString();
    }
}

TEST_F(MainWindowTuningTest, LinkedSliderApplyCompletesAndTheNextTickReadsTheClocksBack) {
    selectGpu(kGpu05E2);
    QTest::mouseClick(child<QPushButton>("mode3DPerfButton"), Qt::LeftButton);
    ASSERT_EQ(window_->dialogModel().pressedMode(), gpu::kLevelKind3DPerf);

    auto* gpuSlider = child<QSlider>("gpuClockSlider");
    auto* shaderSlider = child<QSlider>("shaderClockSlider");
    const int target = gpuSlider->value() + 50;
    gpuSlider->setValue(target);
    const double ratio = app_->gpuLayer().boostRatio(kGpu05E2, gpu::kLevelKind3DPerf);
    ASSERT_GT(ratio, 1.0);
    const int shaderTarget = static_cast<int>(std::trunc(target * ratio));
    EXPECT_EQ(window_->dialogModel().controls().gpuClock.pos, target);
    EXPECT_EQ(shaderSlider->value(), shaderTarget);

    QTest::mouseClick(child<QPushButton>("applyButton"), Qt::LeftButton);
    auto* applyButton = child<QPushButton>("applyButton");
    EXPECT_EQ(applyButton->text().toStdString(), text(lang::kTextCancel));
    EXPECT_FALSE(child<QPushButton>("resetButton")->isEnabled());
    ASSERT_TRUE(pumpUntil([&] { return prompted(text(lang::kTextApplyDone)); }))
        << "no completion arrived";
    EXPECT_EQ(applyButton->text().toStdString(), text(lang::kTextApply));
    EXPECT_TRUE(child<QPushButton>("resetButton")->isEnabled());
    EXPECT_EQ(window_->dialogModel().applyBusy(), tuning::kApplyIdle);

    window_->sampleNow();
    auto* gpuGauge = child<ui::Gauge>("gpuClockGauge");
    auto* shaderGauge = child<ui::Gauge>("shaderClockGauge");
    EXPECT_EQ(gpuGauge->text().toStdString(), std::to_string(target));
    EXPECT_EQ(shaderGauge->text().toStdString(), std::to_string(shaderTarget));
    EXPECT_EQ(gpuGauge->value(), target);

    // Reset puts the defaults back and reads them on the next tick.
    QTest::mouseClick(child<QPushButton>("linkButton"), Qt::LeftButton);
    EXPECT_FALSE(child<QPushButton>("linkButton")->isChecked());
    QTest::mouseClick(child<QPushButton>("resetButton"), Qt::LeftButton);
    const int defaultGpu = window_->dialogModel()
                               .entry(kGpu05E2)
                               .gpuTargetKHz[static_cast<size_t>(gpu::kLevelKind3DPerf)] /
                           gpu::kKHzPerMHz;
    EXPECT_NE(defaultGpu, target);
    EXPECT_EQ(gpuSlider->value(), defaultGpu);
    EXPECT_TRUE(child<QPushButton>("linkButton")->isChecked());
    window_->sampleNow();
    EXPECT_EQ(gpuGauge->text().toStdString(), std::to_string(defaultGpu));
}

TEST_F(MainWindowTuningTest, FailedClockWriteReportsTheFailureAndFreesTheButtons) {
    selectGpu(kGpu05E2);
    auto injectStatus = simFunction<decltype(&qvsim_inject_status)>("qvsim_inject_status");
    ASSERT_NE(injectStatus, nullptr);
    injectStatus(drv::kGpuSetPerfClocks, -1, -1);  // every clock write fails
    auto* gpuSlider = child<QSlider>("gpuClockSlider");
    gpuSlider->setValue(gpuSlider->value() + 10);
    QTest::mouseClick(child<QPushButton>("applyButton"), Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return prompted(text(lang::kTextApplyFailed)); }));
    EXPECT_FALSE(prompted(text(lang::kTextApplyDone)));
    EXPECT_EQ(machine_.prompt.shown.back().icon, platform::PromptIcon::kError);
    EXPECT_EQ(child<QPushButton>("applyButton")->text().toStdString(), text(lang::kTextApply));
    EXPECT_TRUE(child<QPushButton>("resetButton")->isEnabled());
    injectStatus(drv::kGpuSetPerfClocks, 0, 0);
}

TEST_F(MainWindowTuningTest, UnlinkedSliderMovesAloneAndUnlockWidensTheRange) {
    selectGpu(kGpu05E2);
    QTest::mouseClick(child<QPushButton>("mode3DPerfButton"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("linkButton"), Qt::LeftButton);
    EXPECT_EQ(child<QPushButton>("linkButton")->text().toStdString(), text(lang::kTextUnlinked));
    auto* gpuSlider = child<QSlider>("gpuClockSlider");
    auto* shaderSlider = child<QSlider>("shaderClockSlider");
    const int shaderBefore = shaderSlider->value();
    gpuSlider->setValue(gpuSlider->value() + 20);
    EXPECT_EQ(shaderSlider->value(), shaderBefore);

    // The step buttons move by the model's amounts: 1, 10, 20 on the GPU clock.
    const int before = gpuSlider->value();
    QTest::mouseClick(child<QPushButton>("gpuClockUp1"), Qt::LeftButton);
    EXPECT_EQ(gpuSlider->value(), before + 10);
    QTest::mouseClick(child<QPushButton>("gpuClockDown2"), Qt::LeftButton);
    EXPECT_EQ(gpuSlider->value(), before - 10);

    // Three GPUs: synchronous adjustment can be switched on.
    auto* sync = child<QPushButton>("synchronousButton");
    ASSERT_TRUE(sync->isEnabled());
    QTest::mouseClick(sync, Qt::LeftButton);
    EXPECT_TRUE(sync->isChecked());
    EXPECT_TRUE(window_->dialogModel().synchronous());

    const int max = gpuSlider->maximum();
    QTest::mouseClick(child<QPushButton>("unlockMaxButton"), Qt::LeftButton);
    EXPECT_EQ(gpuSlider->maximum(), max * 3 / 2);
    EXPECT_EQ(child<QPushButton>("unlockMaxButton")->text(), tuning::kRelockMaxCaption);
    QTest::mouseClick(child<QPushButton>("unlockMaxButton"), Qt::LeftButton);
    EXPECT_EQ(gpuSlider->maximum(), max);
}

TEST_F(MainWindowTuningTest, OverclockingButtonAsksOnceThenWidens) {
    auto* button = child<QPushButton>("overclockingButton");
    machine_.prompt.answerNext(PromptAnswer::kNo);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(machine_.prompt.shown.size(), 1u);
    EXPECT_EQ(machine_.prompt.shown[0].text, text(lang::kTextOverclockingQuestion));
    EXPECT_EQ(machine_.prompt.shown[0].caption, text(lang::kTextWarning));
    EXPECT_EQ(window_->width(), tuning::kDialogWidthNormal);

    machine_.prompt.answerNext(PromptAnswer::kYes);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(machine_.prompt.shown.size(), 2u);
    EXPECT_EQ(window_->width(), tuning::kDialogWidthOverclocking);
    EXPECT_TRUE(child<QSlider>("gpuOffsetSlider")->isVisible());
    EXPECT_TRUE(child<QPushButton>("frameRateToggle")->isVisible());

    // Later presses toggle without asking.
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(window_->width(), tuning::kDialogWidthNormal);
    EXPECT_FALSE(child<QSlider>("gpuOffsetSlider")->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(window_->width(), tuning::kDialogWidthOverclocking);
    EXPECT_EQ(machine_.prompt.shown.size(), 2u);
}

TEST_F(MainWindowTuningTest, FrameRateToggleEnablesItsSliderOnTheKeplerBoard) {
    selectGpu(0);
    machine_.prompt.answerNext(PromptAnswer::kYes);
    QTest::mouseClick(child<QPushButton>("overclockingButton"), Qt::LeftButton);
    auto* slider = child<QSlider>("frameRateSlider");
    auto* toggle = child<QPushButton>("frameRateToggle");
    const bool before = slider->isEnabled();
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_NE(slider->isEnabled(), before);
    EXPECT_EQ(slider->isEnabled(), window_->dialogModel().controls().frameRate.enabled);
    EXPECT_EQ(slider->minimum(), tuning::kFrameRateMin);
    EXPECT_EQ(slider->maximum(), tuning::kFrameRateMax);
}

TEST_F(MainWindowTuningTest, StartModeStartsTheTimersAndTheOverlayRecordIsWritten) {
    EXPECT_FALSE(window_->samplingActive());
    window_->applyStartMode();
    EXPECT_TRUE(window_->samplingActive());
    EXPECT_TRUE(window_->hoverActive());
    if (window_->overlayShared().isOpen()) {
        EXPECT_EQ(window_->overlayShared().gpuCount(), app_->gpuLayer().gpuCount());
        EXPECT_EQ(window_->overlayShared().runWord(), 1u);
    }
}

TEST_F(MainWindowTuningTest, HoverTimerShowsTheFanTipOverTheFanSlider) {
    window_->applyStartMode();
    auto* fan = child<QSlider>("fanSpeedSlider");
    QCursor::setPos(fan->mapToGlobal(fan->rect().center()));
    ASSERT_TRUE(pumpUntil([] { return QToolTip::isVisible(); }));
    EXPECT_EQ(QToolTip::text().toStdString(), text(159));  // the fan's tip
    QToolTip::hideText();
}

TEST_F(MainWindowTuningTest, ProbeCompletionFromAnotherThreadRefreshesTheInformationPanel) {
    selectGpu(0);
    auto* load = child<QLabel>("infoField144");
    const QString before = load->text();
    auto setLoad = simFunction<decltype(&qvsim_set_load)>("qvsim_set_load");
    ASSERT_NE(setLoad, nullptr);
    setLoad(0, 77);
    std::thread([this] { appPoster_.postThreadMessage(0, gpu::kMessageProbeDone, 0, 0); }).join();
    ASSERT_TRUE(pumpUntil([&] { return load->text().contains("77"); }))
        << "before " << before.toStdString() << ", now " << load->text().toStdString();
}

TEST_F(MainWindowTuningTest, AHotCardsTemperatureReadoutIsDrawnRed) {
    auto setTemperature = simFunction<decltype(&qvsim_set_temperature)>("qvsim_set_temperature");
    ASSERT_NE(setTemperature, nullptr);
    auto* readout = child<QLabel>("temperatureReadout");
    const QString normal = readout->styleSheet();
    setTemperature(0, 115);
    window_->sampleNow();
    EXPECT_EQ(readout->text(), "115");
    EXPECT_NE(readout->styleSheet(), normal);
    EXPECT_EQ(readout->styleSheet().toStdString(), ui::skin::kHotReadoutStyle);
    setTemperature(0, 60);
    window_->sampleNow();
    EXPECT_EQ(readout->styleSheet(), normal);
    setTemperature(0, -1000);
}

class MainWindowAlarmTest : public MainWindowTuningTest {
protected:
    void storeOptions() override {
        machine_.store.writeValue(settings::kValueTemperatureAlarmSet, 1);
        machine_.store.writeValue(settings::kValueTemperatureAlarmValue, 0);  // 95 degrees
    }
};

TEST_F(MainWindowAlarmTest, HotCardOpensOneAlarmWindowFromTheTick) {
    auto setTemperature = simFunction<decltype(&qvsim_set_temperature)>("qvsim_set_temperature");
    ASSERT_NE(setTemperature, nullptr);
    setTemperature(0, 100);
    std::string shown;
    int opened = 0;
    // The window is modal: look at it and close it from inside its own loop. A second tick
    // inside that loop must not open another one.
    QTimer::singleShot(50, window_.get(), [&] {
        ASSERT_TRUE(ui::CIndicateInstDialog::isOpen());
        QWidget* alarm = QApplication::activeModalWidget();
        ASSERT_NE(alarm, nullptr);
        ++opened;
        if (auto* label = alarm->findChild<QLabel*>("alarmText")) {
            shown = label->text().toStdString();
        }
        window_->sampleNow();
        opened += QApplication::activeModalWidget() != alarm ? 1 : 0;
        alarm->close();
    });
    window_->sampleNow();
    EXPECT_FALSE(ui::CIndicateInstDialog::isOpen());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(shown, "GPU 1 temperature is too high!!!");
    setTemperature(0, -1000);
}

TEST_F(MainWindowHotKeyTest, FanKeyBoostsTheFanOfTheHotKeyBoard) {
    selectGpu(0);
    ASSERT_TRUE(app_->gpuLayer().record(0).hotKeyBoard);
    auto* fanMode = child<QPushButton>("fanModeButton");
    ASSERT_EQ(fanMode->text().toStdString(), text(lang::kTextFanAuto));
    std::thread([this] {
        appPoster_.postThreadMessage(0, tuning::kHotKeyMessage, tuning::kHotKeyFan, 0);
    }).join();
    ASSERT_TRUE(
        pumpUntil([&] { return fanMode->text().toStdString() == text(lang::kTextFanManual); }));
    EXPECT_EQ(child<QSlider>("fanSpeedSlider")->value(), static_cast<int>(kBoostPercent));
    EXPECT_TRUE(child<QSlider>("fanSpeedSlider")->isEnabled());
    // Green: the fan boost is on.
    EXPECT_TRUE(child<QLabel>("hotKeyIndicator")->styleSheet().contains("rgb(0, 255, 0)"));
    // A second key within five seconds is ignored.
    appPoster_.postThreadMessage(0, tuning::kHotKeyMessage, tuning::kHotKeyFan, 0);
    QApplication::processEvents();
    EXPECT_EQ(fanMode->text().toStdString(), text(lang::kTextFanManual));
}

class MainWindowVoltageHotKeyTest : public MainWindowTuningTest {
protected:
    void storeOptions() override {
        machine_.store.writeValue(settings::kValueHotKeyEnable, 1);
        machine_.store.writeValue(settings::kValueHotKeyGpuOffset, 50);
        machine_.store.writeValue(settings::kValueHotKeySetVoltageHighest, 1);
    }
};

TEST_F(MainWindowVoltageHotKeyTest, ClockKeyWithHighestVoltageLiftsTheFirstPstate) {
    selectGpu(0);
    gpu::GpuLayer& layer = app_->gpuLayer();
    const auto firstPstateMv = [&] {
        drv::Pstates20Info info{};
        EXPECT_EQ(layer.pstates20Info(0, info), drv::kOk);
        const drv::Pstates20BaseVoltage& v = info.pstates[0].baseVoltages[0];
        return static_cast<int32_t>((int64_t{v.voltUv} + v.voltDeltaUv.value) / 1000);
    };
    const int32_t highest = tuning::driverTableMaxMillivolts(layer.record(0).deviceId());
    ASSERT_NE(firstPstateMv(), highest);
    appPoster_.postThreadMessage(0, tuning::kHotKeyMessage, tuning::kHotKeyClock, 0);
    ASSERT_TRUE(pumpUntil([&] { return firstPstateMv() == highest; }));
    EXPECT_EQ(window_->dialogModel().controls().coreVoltage.pos,
              window_->dialogModel().controls().coreVoltage.max);
    // Blue: the clock boost is on.
    EXPECT_TRUE(child<QLabel>("hotKeyIndicator")->styleSheet().contains("rgb(0, 0, 255)"));
}

TEST(MainWindowWithoutCards, OpensWithNothingToApplyAndTicksQuietly) {
    AppMachine machine;
    platform::PosixSingleInstance instance(machine.lock.path());
    app::AppServices services = machine.services("/nonexistent/libnvidia-api.so.1");
    services.instance = &instance;
    app::CQuorvelHDApp app(services);
    app.InitInstance({});
    ASSERT_FALSE(app.hardwareReady());
    ui::CQuorvelHDDlg window(app);
    window.show();
    for (const char* name : {"applyButton", "resetButton", "overclockingButton", "gpuClockSlider",
                             "fanSpeedSlider", "gpuClockUp0"}) {
        auto* widget = window.findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_FALSE(widget->isEnabled()) << name;
    }
    const size_t prompts = machine.prompt.shown.size();
    window.sampleNow();
    EXPECT_EQ(machine.prompt.shown.size(), prompts);
    EXPECT_EQ(window.findChild<ui::Gauge*>("gpuClockGauge")->value(), -1);
}

}  // namespace
}  // namespace qv::test
