#include "lang/LanguageRows.h"
#include "ui/CQuorvelHDDlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <algorithm>
#include <cstdio>

#include "platform/DebugOutput.h"
#include "platform/ProgramLocation.h"
#include "platform/SingleInstance.h"
#include "tuning/MainDialogModelMessages.h"
#include "ui/CIndicateInstDialog.h"
#include "ui/FanCurvePanel.h"
#include "ui/Gauge.h"
#include "ui/MainWindowSkin.h"
#include "ui/MainWindowTexts.h"
#include "ui/OverlayWindow.h"
#include "ui/ProfileBar.h"
#include "ui/QtFonts.h"
#include "lang/CMultiLangSupp.h"

namespace qv::ui {

using namespace mainwindow;

CQuorvelHDDlg::CQuorvelHDDlg(app::CQuorvelHDApp& app, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      app_(app),
      dialog_(app.gpuLayer()),
      poster_(this),
      profileSlots_(app.programFolder()),
      fileChooser_(this),
      hotKeys_(app.gpuLayer(), dialog_, app.settings()) {
    setObjectName("mainWindow");
    model_.load(app_.gpuLayer(), app_.hardwareReady(), app_.simulatedDriver());
    setWindowTitle(QString::fromStdString(model_.caption()));

    setUpOverlay();

    tuning::SamplingServices sampling;
    sampling.store = &app_.registry();
    sampling.settings = &app_.settings();
    sampling.clock = &app_.clock();
    sampling.beeper = app_.beeper();
    sampling.powerOff = app_.powerOff();
    sampling.overlay = overlayWindow_.get();
    sampling.alarmTemplate = lang::languageTable().text(lang::kTextTemperatureTooHigh);
    sampling_ = std::make_unique<tuning::SamplingLoop>(app_.gpuLayer(), dialog_, sampling);

    tuning::ApplyServices applying;
    applying.poster = &poster_;
    applying.uiThreadId = platform::currentThreadId();
    applying.clock = &app_.clock();
    applying.prompt = app_.prompt() != nullptr ? app_.prompt() : &DismissingPrompt::instance();
    applying.text = [](int row) { return std::string(lang::languageTable().text(row)); };
    apply_ = std::make_unique<tuning::ApplyController>(app_.gpuLayer(), dialog_, applying);
    info_ = std::make_unique<tuning::InfoReadouts>(app_.gpuLayer(), dialog_);

    buildFrame();
    buildGauges();
    buildReadouts();
    buildInformationPanel();
    buildTuningControls();
    buildActionButtons();
    buildWidePart();
    buildProfileBar();

    // The first selection reads the card's current mode.
    if (model_.gpuOnShow() >= 0) {
        dialog_.selectGpu(model_.gpuOnShow(), true);
    }
    syncControls();
    updateInformation(tuning::kInfoAllFields);
    applyWidth();

    samplingTimer_ = new QTimer(this);
    samplingTimer_->setObjectName("samplingTimer");
    samplingTimer_->setInterval(static_cast<int>(tuning::kSamplingPeriodMs));
    connect(samplingTimer_, &QTimer::timeout, this, [this] { sampleNow(); });
    hoverTimer_ = new QTimer(this);
    hoverTimer_->setObjectName("hoverTimer");
    hoverTimer_->setInterval(static_cast<int>(tuning::kHoverPeriodMs));
    connect(hoverTimer_, &QTimer::timeout, this, [this] { hoverCheck(); });

    setUpMessages();
}

CQuorvelHDDlg::~CQuorvelHDDlg() {
    if (QtPoster* shared = dynamic_cast<QtPoster*>(app_.gpuPoster())) {
        shared->setHandler({});
    }
    poster_.setHandler({});
    hotKeyGrab_.uninstall();
    // The panels hold references to members that go before the window's children do.
    delete profileBar_;
    delete fanCurvePanel_;
    // A running worker is asked to stop and joined before the model goes.
    apply_.reset();
    if (overlayShared_.isOpen()) {
        overlayShared_.writeExit();
    }
}

// ---- Set-up -------------------------------------------------------------------------------------

void CQuorvelHDDlg::setUpOverlay() {
    if (overlayShared_.open() == platform::kOverlayOk) {
        overlayShared_.writeStartup(app_.settings().osdFramerateShow, app_.gpuLayer().gpuCount());
        const int hooks = overlayShared_.findHookOffsets();
        if (hooks != platform::kOverlayOk) {
            platform::debugOutput("main window: overlay hook offsets not found (%d)\n", hooks);
        }
    } else {
        platform::debugOutput("main window: no overlay record\n");
    }
    // Without the record the line still shows on the desktop.
    overlayWindow_ =
        std::make_unique<OverlayWindow>(overlayShared_.isOpen() ? &overlayShared_ : nullptr);
    overlayWindow_->setObjectName("overlayWindow");
}

void CQuorvelHDDlg::reloadFromCards() {
    if (dialog_.gpuOnShow() == tuning::kNoGpu) {
        return;
    }
    dialog_.selectGpu(dialog_.gpuOnShow(), true);
    syncControls();
    updateInformation(tuning::kInfoAllFields);
}

void CQuorvelHDDlg::setUpMessages() {
    const auto handler = [this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
        handlePostedMessage(message, wParam, lParam);
    };
    poster_.setHandler(handler);
    // The background probe reports through the poster the application was given.
    if (QtPoster* shared = dynamic_cast<QtPoster*>(app_.gpuPoster())) {
        shared->setHandler(handler);
    }
    const int grab = hotKeyGrab_.install(poster_, platform::currentThreadId());
    if (grab != platform::kHotKeyGrabOk) {
        platform::debugOutput("main window: hot keys not grabbed (%d)\n", grab);
    }
}

// ---- Window behaviour ---------------------------------------------------------------------------

void CQuorvelHDDlg::applyStartMode() {
    samplingTimer_->start();
    switch (tuning::MainFrameModel::startAction(app_.startMode())) {
        case tuning::StartAction::kMinimize:
            showMinimized();
            break;
        case tuning::StartAction::kHide:
            hide();
            break;
        case tuning::StartAction::kShowNormal:
            showNormal();
            break;
    }
    hoverTimer_->start();
}

bool CQuorvelHDDlg::samplingActive() const {
    return samplingTimer_->isActive();
}

bool CQuorvelHDDlg::hoverActive() const {
    return hoverTimer_->isActive();
}

void CQuorvelHDDlg::handleInstanceMessages(const std::vector<uint32_t>& messages) {
    for (uint32_t message : messages) {
        if (message == platform::kInstanceShowWindow) {
            showAndRaise();
        } else {
            // The advanced panel that message 2025 opens is not part of the window yet.
            platform::debugOutput("main window: message %u not handled\n", message);
        }
    }
}

void CQuorvelHDDlg::showAndRaise() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    raise();
    activateWindow();
    platform::debugOutput("main window: shown on request\n");
}

void CQuorvelHDDlg::endDialog(int result) {
    samplingTimer_->stop();
    hoverTimer_->stop();
    hide();
    if (endHandler_) {
        endHandler_(result);
    }
}

void CQuorvelHDDlg::applyWidth() {
    const int width = dialog_.dialogWidth();
    const bool wide = width > tuning::kDialogWidthNormal;
    for (QWidget* widget : wideWidgets_) {
        widget->setVisible(wide);
    }
    setFixedSize(width, skin::kWindowHeight);
    const int right = width - skin::kMargin;
    hideButton_->setGeometry(right - skin::kButtonSize,
                             (skin::kHeaderHeight - skin::kButtonSize) / 2, skin::kButtonSize,
                             skin::kButtonSize);
    minimizeButton_->setGeometry(hideButton_->x() - skin::kButtonGap - skin::kButtonSize,
                                 hideButton_->y(), skin::kButtonSize, skin::kButtonSize);
    const int statusLeft = tuning::kFrameWidth / 2;
    statusLine_->setGeometry(statusLeft, 0, minimizeButton_->x() - skin::kButtonGap - statusLeft,
                             skin::kHeaderHeight);
    overclockingButton_->setText(tableText(lang::kTextOverclock) +
                                 (wide ? QStringLiteral(" \u00ab") : QStringLiteral(" \u00bb")));
    update();
}

// ---- User actions -------------------------------------------------------------------------------

void CQuorvelHDDlg::showGpu(int index) {
    if (model_.selectGpu(app_.gpuLayer(), index)) {
        temperatureReadout_->setText(QString::fromStdString(model_.temperatureText()));
    }
    // A GPU shown for the first time loads from its card; later it comes back as it was left.
    const bool firstShowing =
        index >= 0 && dialog_.entry(static_cast<size_t>(index)).selectedMode == tuning::kNoMode;
    if (dialog_.selectGpu(index, firstShowing) == 0) {
        fanCurvePanel_->setGpuOnShow(index);
        syncControls();
        updateInformation(tuning::kInfoAllFields);
    }
}

void CQuorvelHDDlg::onClockSliderMoved(ClockSlider which, int pos) {
    dialog_.moveSlider(which, pos);
    syncControls();
}

void CQuorvelHDDlg::onSliderMoved(tuning::SliderState& state, int pos) {
    if (state.enabled) {
        state.setPos(pos);
    }
    syncControls();
}

void CQuorvelHDDlg::onStep(ClockSlider which, StepDirection direction, size_t size) {
    dialog_.step(which, direction, size);
    syncControls();
}

void CQuorvelHDDlg::onModePressed(int mode) {
    dialog_.selectMode(mode, false, true);
    syncControls();
    updateInformation(tuning::kInfoAllFields);
}

void CQuorvelHDDlg::onApply() {
    apply_->pressApply();
    syncControls();
}

void CQuorvelHDDlg::onReset() {
    apply_->reset();
    syncControls();
    updateInformation(tuning::kInfoAllFields);
}

void CQuorvelHDDlg::toggleOverclockingInterface(bool hotKeyUsed) {
    if (apply_->toggleOverclockingInterface(hotKeyUsed)) {
        applyWidth();
    }
}

void CQuorvelHDDlg::hoverCheck() {
    QWidget* under = childAt(mapFromGlobal(QCursor::pos()));
    if (under != nullptr && under == fanSpeed_.slider) {
        QToolTip::showText(QCursor::pos(), tableText(lang::kTipFan), fanSpeed_.slider);
    }
}

// ---- Posted messages ----------------------------------------------------------------------------

void CQuorvelHDDlg::handlePostedMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == tuning::kMessageCommand) {
        if (tuning::commandAction(static_cast<uint32_t>(wParam)) ==
            tuning::DialogAction::kApplyDone) {
            apply_->onApplyDone(static_cast<uint32_t>(wParam), lParam);
            syncControls();
            updateInformation(tuning::kInfoAllFields);
        }
        return;
    }
    if (message == gpu::kMessageProbeDone) {
        updateInformation(tuning::kInfoAllFields);
        return;
    }
    if (message == tuning::kHotKeyMessage) {
        onHotKey(static_cast<uint32_t>(wParam));
        return;
    }
    platform::debugOutput("main window: posted message %u not handled\n", message);
}

void CQuorvelHDDlg::onHotKey(uint32_t key) {
    const tuning::HotKeyOutcome outcome = hotKeys_.onKey(key, app_.clock().tickMs());
    if (!outcome.accepted) {
        return;
    }
    showHotKeyIndicator(outcome.indicator);
    syncControls();
    update();
}

void CQuorvelHDDlg::showHotKeyIndicator(const tuning::HotKeyIndicator& indicator) {
    hotKeyIndicator_->setStyleSheet(
        QStringLiteral("background-color: rgb(%1, %2, %3); border-radius: %4px;")
            .arg(indicator.red)
            .arg(indicator.green)
            .arg(indicator.blue)
            .arg(kHotKeyIndicatorSize / 2));
}

// ---- Drawing the models -------------------------------------------------------------------------

void CQuorvelHDDlg::syncSlider(QSlider* slider, const tuning::SliderState& state) {
    const QSignalBlocker blocker(slider);
    slider->setRange(state.min, state.max);
    slider->setValue(state.pos);
    slider->setEnabled(state.enabled);
    slider->setVisible(state.visible);
}

void CQuorvelHDDlg::syncButton(QPushButton* button, const tuning::ButtonState& state,
                               bool checkable) {
    const QSignalBlocker blocker(button);
    button->setText(captionOf(state));
    button->setEnabled(state.enabled);
    if (checkable) {
        button->setChecked(state.pressed);
    }
}

void CQuorvelHDDlg::syncWidgets() {
    const tuning::MainDialogControls& c = dialog_.controls();
    syncSlider(gpuClock_.slider, c.gpuClock);
    syncSlider(shaderClock_.slider, c.shaderClock);
    syncSlider(memoryClock_.slider, c.memoryClock);
    syncSlider(fanSpeed_.slider, c.fanSpeed);
    syncSlider(coreVoltage_.slider, c.coreVoltage);
    syncSlider(memoryVoltage_.slider, c.memoryVoltage);
    syncSlider(gpuOffset_.slider, c.gpuOffset);
    syncSlider(memoryOffset_.slider, c.memoryOffset);
    syncSlider(frameRate_.slider, c.frameRate);
    for (SliderRow* row : {&gpuClock_, &shaderClock_, &memoryClock_}) {
        for (size_t i = 0; i < tuning::MainDialogModel::kStepSizes; ++i) {
            row->down[i]->setEnabled(dialog_.gpuOnShow() != tuning::kNoGpu);
            row->up[i]->setEnabled(dialog_.gpuOnShow() != tuning::kNoGpu);
        }
    }
    for (auto [button, state] : {std::pair{mode2D_, &c.mode2D}, std::pair{mode3DLow_, &c.mode3DLow},
                                 std::pair{mode3DPerf_, &c.mode3DPerf}}) {
        syncButton(button, *state, true);
        // A mode button without a caption is never shown highlighted.
        if (state->captionEmpty()) {
            const QSignalBlocker blocker(button);
            button->setChecked(false);
        }
    }
    syncButton(linkButton_, c.link, true);
    syncButton(synchronousButton_, c.synchronous, true);
    if (synchronousButton_->text().isEmpty()) {
        synchronousButton_->setText(QString::fromLatin1(kSynchronousCaption));
    }
    syncButton(unlockMinButton_, c.unlockMin, false);
    syncButton(unlockMaxButton_, c.unlockMax, false);
    syncButton(fanModeButton_, c.fanMode, false);
    syncButton(frameRateToggle_, c.frameRateToggle, true);
    if (frameRateToggle_->text().isEmpty()) {
        frameRateToggle_->setText(QString::fromLatin1(kFrameRateCaption));
    }

    const tuning::ApplyButtons buttons = apply_->buttons();
    syncButton(applyButton_, buttons.apply, false);
    syncButton(resetButton_, buttons.reset, false);
    profileBar_->setSaveEnabled(buttons.profileSave.enabled);
    overclockingButton_->setEnabled(buttons.overclocking.enabled);
}

void CQuorvelHDDlg::syncControls() {
    syncWidgets();
    if (dialog_.gpuOnShow() == tuning::kNoGpu) {
        return;
    }
    info_->updateSliderValues();
    showInformation();
}

void CQuorvelHDDlg::updateInformation(uint32_t mask) {
    if (dialog_.gpuOnShow() == tuning::kNoGpu) {
        return;
    }
    info_->update(mask, false);
    showInformation();
}

void CQuorvelHDDlg::showInformation() {
    const auto setField = [this](QLabel* label, uint32_t id) {
        const tuning::InfoField* field = info_->field(id);
        if (field == nullptr || label == nullptr) {
            return;
        }
        label->setText(QString::fromStdString(field->text));
        const QColor colour = infoColour(field->colour);
        label->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
    };
    for (const auto& [id, label] : infoLabels_) {
        setField(label, id);
    }
    for (SliderRow* row : {&gpuClock_, &shaderClock_, &memoryClock_, &fanSpeed_, &coreVoltage_,
                           &memoryVoltage_, &gpuOffset_, &memoryOffset_, &frameRate_}) {
        const tuning::InfoField* field = info_->field(row->valueField);
        if (field != nullptr) {
            row->value->setText(QString::fromStdString(field->text));
        }
    }
    modePicture_->setText(modePictureText(info_->modePicture()));
    info_->clearInvalidated();
}

void CQuorvelHDDlg::sampleNow() {
    if (dialog_.gpuOnShow() == tuning::kNoGpu) {
        return;
    }
    const tuning::SampleResult result = sampling_->tick(CIndicateInstDialog::isOpen());
    showSample(result);
    // The tick stores the controls into the entries and may move the fan controls.
    syncWidgets();
    updateInformation(tuning::kInfoAllFields);
    if (result.alarmWindowMessage) {
        // Modal: ticks go on inside it, and a second window is never opened.
        CIndicateInstDialog::showAlarm(QString::fromStdString(*result.alarmWindowMessage), this);
    }
}

void CQuorvelHDDlg::showSample(const tuning::SampleResult& result) {
    const tuning::SampleDisplay& display = result.display;
    const tuning::GpuUiEntry& entry = dialog_.entry(static_cast<size_t>(dialog_.gpuOnShow()));
    if (entry.temperatureC >= 0) {
        char text[16];
        std::snprintf(text, sizeof(text), "%3d", entry.temperatureC);
        temperatureReadout_->setText(QString::fromLatin1(text));
    } else {
        temperatureReadout_->setText(QString::fromUtf8(skin::kMissingText));
    }
    if (display.fanModeRow >= 0) {
        fanModeLabel_->setText(tableText(display.fanModeRow));
    } else {
        fanModeLabel_->clear();
    }
    showGauges(display);
}

void CQuorvelHDDlg::showGauges(const tuning::SampleDisplay& display) {
    const tuning::GpuUiEntry& entry = dialog_.entry(static_cast<size_t>(dialog_.gpuOnShow()));
    const tuning::MainDialogControls& c = dialog_.controls();
    // The clock gauges show the selected mode's clocks, whose read-outs are plain MHz numbers.
    const auto clockGauge = [&](size_t index, const tuning::Readout& readout,
                                const tuning::SliderState& slider) {
        Gauge* gauge = gauges_[index];
        gauge->setScaleMax(slider.max > 0 ? slider.max : kClockScaleFallbackMHz);
        const QString digits = QString::fromStdString(readout.text);
        bool number = false;
        const int valueMHz = digits.trimmed().toInt(&number);
        if (!display.clocksShown || !number) {
            gauge->setReading(-1, QString::fromUtf8(skin::kMissingText), skin::kLabelColour);
            return;
        }
        gauge->setReading(valueMHz, digits, skin::fromColourRef(readout.colour));
    };
    clockGauge(kGaugeGpuClock, display.gpuClock, c.gpuClock);
    clockGauge(kGaugeShaderClock, display.shaderClock, c.shaderClock);
    clockGauge(kGaugeMemoryClock, display.memoryClock, c.memoryClock);
    gauges_[kGaugeTemperature]->setReading(entry.temperatureC, numberOrMissing(entry.temperatureC),
                                           skin::kDigitColour);
    gauges_[kGaugeFan]->setReading(entry.fanPercent, numberOrMissing(entry.fanPercent),
                                   skin::kDigitColour);
    if (!display.coreVoltage.text.empty()) {
        gauges_[kGaugeVoltage]->setReading(entry.coreVoltageMv,
                                           QString::fromStdString(display.coreVoltage.text),
                                           skin::fromColourRef(display.coreVoltage.colour));
    } else if (!display.vidVoltage.empty()) {
        gauges_[kGaugeVoltage]->setReading(
            entry.coreVoltageMv, QString::fromStdString(display.vidVoltage), skin::kDigitColour);
    } else {
        gauges_[kGaugeVoltage]->setReading(-1, QString::fromUtf8(skin::kMissingText),
                                           skin::kLabelColour);
    }
    gauges_[kGaugePower]->setReading(entry.powerW, numberOrMissing(entry.powerW),
                                     skin::kDigitColour);
}

// ---- Painting and the borderless frame ----------------------------------------------------------

void CQuorvelHDDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0, skin::kBackgroundTop);
    background.setColorAt(1, skin::kBackgroundBottom);
    painter.fillRect(rect(), background);
    painter.fillRect(QRect(0, 0, width(), skin::kHeaderHeight), skin::kHeaderColour);
    painter.setPen(skin::kEdgeColour);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawLine(0, skin::kHeaderHeight, width(), skin::kHeaderHeight);
    // The information panel and the tuning area sit on darker panels.
    const QRect infoPanel(skin::kMargin - 6, skin::kInfoTop - 4,
                          skin::kNarrowRight - skin::kMargin + 12, 4 * skin::kInfoRowHeight + 8);
    painter.fillRect(infoPanel, skin::kPanelColour);
    painter.fillRect(temperatureReadout_->geometry().adjusted(-2, -2, 2, 2), skin::kEdgeColour);
    painter.fillRect(temperatureReadout_->geometry(), skin::kReadoutBackground);
    if (width() > tuning::kDialogWidthNormal) {
        const int divider = tuning::kDialogWidthNormal;
        painter.drawLine(divider, skin::kHeaderHeight, divider, height());
    }
}

void CQuorvelHDDlg::mousePressEvent(QMouseEvent* event) {
    const bool normal = !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized));
    if (event->button() != Qt::LeftButton ||
        !tuning::MainFrameModel::isDragPoint(event->position().toPoint().y(), normal)) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The window manager moves the window where it can; elsewhere the window follows the mouse.
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) {
        event->accept();
        return;
    }
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
}

void CQuorvelHDDlg::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void CQuorvelHDDlg::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

void CQuorvelHDDlg::closeEvent(QCloseEvent* event) {
    // Closing only hides the window; the program keeps running.
    event->ignore();
    hide();
}

}  // namespace qv::ui
