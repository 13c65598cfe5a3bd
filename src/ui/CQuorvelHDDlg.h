// The main window: a borderless skinned frame with the caption, the minimise and hide buttons,
// the GPU selector, the gauges and read-outs of the GPU on show, the information panel, and every
// tuning control of the main dialog model; the wide part holds the overclocking controls. The
// frame's rules are MainFrameModel's, the controls' MainDialogModel's, the periodic reading
// SamplingLoop's, the writing to the cards ApplyController's and the read-out texts
// InfoReadouts'. The window draws their state and forwards the user's actions to them.
#pragma once

#include <QPoint>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/CQuorvelHDApp.h"
#include "app/UserSettingsFile.h"
#include "app/UserSettingsProfiles.h"
#include "platform/HotKeyGrab.h"
#include "platform/OverlayShared.h"
#include "settings/Profiles.h"
#include "tuning/ApplyRun.h"
#include "tuning/HotKeyEffects.h"
#include "tuning/InfoReadouts.h"
#include "tuning/MainDialogModel.h"
#include "tuning/MainFrameModel.h"
#include "tuning/SamplingLoop.h"
#include "ui/QtFileChooser.h"
#include "ui/QtPoster.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace qv::ui {

class FanCurvePanel;
class Gauge;
class OverlayWindow;
class ProfileBar;

class CQuorvelHDDlg final : public QWidget {
public:
    // The window's gauges, left to right.
    enum GaugeIndex : size_t {
        kGaugeGpuClock,
        kGaugeShaderClock,
        kGaugeMemoryClock,
        kGaugeTemperature,
        kGaugeFan,
        kGaugeVoltage,
        kGaugePower,
        kGaugeCount
    };

    explicit CQuorvelHDDlg(app::CQuorvelHDApp& app, QWidget* parent = nullptr);
    ~CQuorvelHDDlg() override;

    // Shows, minimises or hides the window as the start mode asks, with the sampling timer
    // started before and the hover timer after.
    void applyStartMode();
    // Messages from later starts of the program.
    void handleInstanceMessages(const std::vector<uint32_t>& messages);
    // Shows the window normally and brings it to the front, also from hidden or minimised.
    void showAndRaise();
    // Ends the window's run with a result; the host's loop returns it.
    void endDialog(int result);
    void setEndHandler(std::function<void(int)> handler) { endHandler_ = std::move(handler); }

    // One sampling tick, as the sampling timer runs it.
    void sampleNow();
    // The overclocking interface button; `hotKeyUsed` takes the place of the question's Yes.
    void toggleOverclockingInterface(bool hotKeyUsed = false);
    // A message posted to the window (the Apply worker, the probe, the hot keys).
    void handlePostedMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

    const tuning::MainFrameModel& model() const { return model_; }
    const tuning::MainDialogModel& dialogModel() const { return dialog_; }
    const tuning::ApplyController& applyController() const { return *apply_; }
    const tuning::InfoReadouts& infoReadouts() const { return *info_; }
    const platform::OverlayShared& overlayShared() const { return overlayShared_; }
    bool samplingActive() const;
    bool hoverActive() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // One slider with its name, value text and (for the clocks) step buttons.
    struct SliderRow {
        QLabel* label = nullptr;
        QSlider* slider = nullptr;
        QLabel* value = nullptr;
        uint32_t valueField = 0;  // the information field that holds the value text
        std::array<QPushButton*, tuning::MainDialogModel::kStepSizes> down{};
        std::array<QPushButton*, tuning::MainDialogModel::kStepSizes> up{};
    };

    void buildFrame();
    void buildGauges();
    void buildReadouts();
    void buildInformationPanel();
    void buildTuningControls();
    void buildClockRow(SliderRow& row, tuning::ClockSlider which, const char* name, int textRow,
                       int tipRow, int top);
    void buildPlainRow(SliderRow& row, const char* name, int textRow, int tipRow, QRect labelBox,
                       QRect sliderBox, QRect valueBox);
    void buildActionButtons();
    void buildWidePart();
    void setUpOverlay();
    void buildProfileBar();
    void setUpMessages();
    QPushButton* makeButton(const char* name, int tipRow);
    QLabel* makeLabel(const char* name, const QString& text, QRect box, int fontNumber,
                      const char* style);

    // User actions.
    void showGpu(int index);
    void onClockSliderMoved(tuning::ClockSlider which, int pos);
    void onSliderMoved(tuning::SliderState& state, int pos);
    void onStep(tuning::ClockSlider which, tuning::StepDirection direction, size_t size);
    void onModePressed(int mode);
    void onApply();
    void onReset();
    void onHotKey(uint32_t key);
    void hoverCheck();

    // Drawing the models' state.
    // Every widget from the models; with the slider value texts.
    void syncControls();
    void syncWidgets();
    void syncSlider(QSlider* slider, const tuning::SliderState& state);
    void syncButton(QPushButton* button, const tuning::ButtonState& state, bool checkable);
    void showSample(const tuning::SampleResult& result);
    void showGauges(const tuning::SampleDisplay& display);
    void showInformation();
    void updateInformation(uint32_t mask);
    void applyWidth();
    void showHotKeyIndicator(const tuning::HotKeyIndicator& indicator);
    // After a profile load: the controls show what the cards now have.
    void reloadFromCards();

    app::CQuorvelHDApp& app_;
    tuning::MainFrameModel model_;
    tuning::MainDialogModel dialog_;
    QtPoster poster_;
    platform::OverlayShared overlayShared_;
    std::unique_ptr<OverlayWindow> overlayWindow_;
    // The application's user settings file, or one of the window's own when it has none.
    std::unique_ptr<app::UserSettingsFile> ownUserSettings_;
    std::unique_ptr<app::UserSettingsProfileStore> profileStore_;
    settings::ProfileSlots profileSlots_;
    QtFileChooser fileChooser_;
    std::unique_ptr<tuning::SamplingLoop> sampling_;
    std::unique_ptr<tuning::ApplyController> apply_;
    std::unique_ptr<tuning::InfoReadouts> info_;
    tuning::HotKeyEffects hotKeys_;
    platform::HotKeyGrab hotKeyGrab_;

    QComboBox* gpuSelector_ = nullptr;
    QPushButton* synchronousButton_ = nullptr;
    QLabel* temperatureReadout_ = nullptr;
    QLabel* modePicture_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* fanModeLabel_ = nullptr;
    QLabel* hotKeyIndicator_ = nullptr;
    QPushButton* minimizeButton_ = nullptr;
    QPushButton* hideButton_ = nullptr;
    std::array<Gauge*, kGaugeCount> gauges_{};
    // Information fields by id, drawn from InfoReadouts.
    std::vector<std::pair<uint32_t, QLabel*>> infoLabels_;

    QPushButton* mode2D_ = nullptr;
    QPushButton* mode3DLow_ = nullptr;
    QPushButton* mode3DPerf_ = nullptr;
    QPushButton* linkButton_ = nullptr;
    QPushButton* unlockMinButton_ = nullptr;
    QPushButton* unlockMaxButton_ = nullptr;
    QPushButton* fanModeButton_ = nullptr;
    QPushButton* frameRateToggle_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QPushButton* overclockingButton_ = nullptr;
    SliderRow gpuClock_, shaderClock_, memoryClock_;
    SliderRow fanSpeed_, coreVoltage_, memoryVoltage_;
    SliderRow gpuOffset_, memoryOffset_, frameRate_;
    std::vector<QWidget*> wideWidgets_;
    FanCurvePanel* fanCurvePanel_ = nullptr;
    ProfileBar* profileBar_ = nullptr;

    QTimer* samplingTimer_ = nullptr;
    QTimer* hoverTimer_ = nullptr;
    bool dragging_ = false;
    QPoint dragOffset_;
    std::function<void(int)> endHandler_;
};

}  // namespace qv::ui
