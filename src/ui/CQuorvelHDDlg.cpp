#include "ui/CQuorvelHDDlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QKeySequence>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <algorithm>
#include <cstdio>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/DataFolder.h"
#include "platform/DebugOutput.h"
#include "platform/ProgramLocation.h"
#include "platform/SingleInstance.h"
#include "platform/SystemInfo.h"
#include "platform/Version.h"
#include "tuning/MainDialogModelMessages.h"
#include "ui/CDlg_Monitor.h"
#include "tuning/TrayMenu.h"
#include "ui/CAdvanceDlg.h"
#include "ui/CIndicateInstDialog.h"
#include "ui/FanCurvePanel.h"
#include "ui/Gauge.h"
#include "ui/HdmiPage.h"
#include "ui/MainWindowSkin.h"
#include "ui/MainWindowTexts.h"
#include "ui/NewsPresenter.h"
#include "ui/OverlayWindow.h"
#include "ui/ProfileBar.h"
#include "ui/QtFonts.h"
#include "ui/QuorvelTray.h"

namespace qv::ui {

using namespace mainwindow;

namespace {
// Whether the temperature read-out is drawn hot; kept on the label so the style changes only
// when the state does.
constexpr const char* kHotProperty = "hot";
// Opens the advanced control dialog, as message 2025 does.
constexpr QKeyCombination kAdvancedShortcut(Qt::CTRL | Qt::SHIFT, Qt::Key_A);
}  // namespace

CQuorvelHDDlg::CQuorvelHDDlg(app::CQuorvelHDApp& app, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      app_(app),
      poster_(this),
      profileSlots_(app.dataFolder()),
      fileChooser_(this) {
    setObjectName("mainWindow");
    setUpOverlay();

    tuning::MainWindowServices services;
    services.store = &app_.registry();
    services.settings = &app_.settings();
    services.clock = &app_.clock();
    services.beeper = app_.beeper();
    services.powerOff = app_.powerOff();
    services.overlay = overlayWindow_.get();
    services.poster = &poster_;
    services.uiThreadId = platform::currentThreadId();
    services.prompt = app_.prompt() != nullptr ? app_.prompt() : &DismissingPrompt::instance();
    services.fanGuard = app_.fanGuard();
    services.hardwareReady = app_.hardwareReady();
    services.simulated = app_.simulatedDriver();
    biosChooser_.target = &fileChooser_;
    services.fileChooser = &biosChooser_;
    services.biosFolder = platform::homeFolder();
    services.flash = flashServices();
    remote_ = std::make_unique<remote::RemoteService>(app_.clock(), &poster_,
                                                      services.uiThreadId);
    services.bridge = &remote_->bridge();
    services.remoteFolder = app_.dataFolder();
    services.blinkSwitch = [this] { return profileSlots_.blinking(); };
    controller_ = std::make_unique<tuning::MainWindowController>(app_.gpuLayer(), services);
    setWindowTitle(QString::fromStdString(controller_->view().caption));

    // Before the frame's minimise and hide buttons: the title bar's buttons take the keyboard in
    // the order they are made, left to right.
    buildHdmiButton();
    buildSettingsButton();
    buildMonitorButton();
    buildFrame();
    buildGauges();
    buildReadouts();
    buildInformationPanel();
    buildTuningControls();
    buildBiosButtons();
    buildActionButtons();
    buildWidePart();
    buildProfileBar();
    buildHdmiPage();
    setUpKeyboardAndNames();
    placeHdmiButton();
    installGadget();
    setUpTray();
    setUpNews();

    controller_->start();
    render();

    samplingTimer_ = new QTimer(this);
    samplingTimer_->setObjectName("samplingTimer");
    samplingTimer_->setInterval(static_cast<int>(tuning::kSamplingPeriodMs));
    connect(samplingTimer_, &QTimer::timeout, this, [this] { sampleNow(); });
    hoverTimer_ = new QTimer(this);
    hoverTimer_->setObjectName("hoverTimer");
    hoverTimer_->setInterval(static_cast<int>(tuning::kHoverPeriodMs));
    connect(hoverTimer_, &QTimer::timeout, this, [this] { hoverCheck(); });

    setUpMessages();
    followRemoteBridge();
}

CQuorvelHDDlg::~CQuorvelHDDlg() {
    // No phone command may arrive while the window goes.
    remote_->stop();
    if (QtPoster* shared = dynamic_cast<QtPoster*>(app_.gpuPoster())) {
        shared->setHandler({});
    }
    poster_.setHandler({});
    hotKeyGrab_.uninstall();
    // The monitor window reads the monitor session, which goes with the members.
    delete monitor_;
    // The panels hold references to members that go before the window's children do.
    delete profileBar_;
    delete fanCurvePanel_;
    // A running Apply worker is asked to stop and joined before the models go.
    controller_.reset();
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
    overlayWindow_ = std::make_unique<OverlayWindow>(
        overlayShared_.isOpen() ? &overlayShared_ : nullptr, &app_.registry(), &app_.settings());
    overlayWindow_->setObjectName("overlayWindow");
    overlayWindow_->setAvoidedWindow(this);
}

void CQuorvelHDDlg::reloadFromCards() {
    controller_->reloadFromCards();
    render();
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
    followHotKeyGrab();
}

void CQuorvelHDDlg::installGadget() {
    // There is no system folder for the state file's copy outside Windows.
    tuning::GadgetFolders folders;
    folders.programFolder = app_.programFolder();
    folders.userProfile = platform::homeFolder();
    gadget_ = tuning::installGadget(platform::HostSystemInfo::instance(), folders);
}

void CQuorvelHDDlg::setUpTray() {
    tray_ = new QuorvelTray(
        lang::languageTable(),
        [this](uint32_t command) {
            switch (command) {
                case tuning::kTrayCommandMainWindow:
                    showAndRaise();
                    break;
                case tuning::kTrayCommandNews:
                    news_->requestNews();
                    break;
                case tuning::kTrayCommandCheckForUpdate:
                    openUpdate();
                    break;
                case tuning::kTrayCommandAbout:
                    QMessageBox::about(
                        this, tableText(lang::kTextAbout),
                        QString::fromStdString(tuning::aboutText(platform::kVersionText)));
                    break;
                case tuning::kTrayCommandQuit:
                    quit();
                    break;
                default:
                    break;
            }
        },
        this);
    tray_->show();
    // The key that opens the advanced control dialog, beside the tray's ways in.
    auto* shortcut = new QShortcut(QKeySequence(kAdvancedShortcut), this);
    shortcut->setObjectName("advancedShortcut");
    connect(shortcut, &QShortcut::activated, this, [this] { openAdvanced(); });
}

void CQuorvelHDDlg::followHotKeyGrab() {
    switch (controller_->hotKeyGrabAction()) {
        case tuning::HotKeyGrabAction::kGrab: {
            const int grab = hotKeyGrab_.install(poster_, platform::currentThreadId());
            if (grab != platform::kHotKeyGrabOk) {
                platform::debugOutput("main window: hot keys not grabbed (%d)\n", grab);
            }
            break;
        }
        case tuning::HotKeyGrabAction::kRelease:
            hotKeyGrab_.uninstall();
            platform::debugOutput("main window: hot keys released\n");
            break;
        case tuning::HotKeyGrabAction::kNone:
            break;
    }
}

// ---- Window behaviour ---------------------------------------------------------------------------

void CQuorvelHDDlg::applyStartMode() {
    samplingTimer_->start();
    news_->start();
    hdmiPage_->startChecks();
    switch (tuning::MainFrameModel::startAction(app_.startMode())) {
        case tuning::StartAction::kMinimize:
            showMinimized();
            break;
        case tuning::StartAction::kHide:
            pressHide();
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
        } else if (message == platform::kInstanceOpenAdvanced) {
            openAdvanced();
        } else {
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

void CQuorvelHDDlg::pressHide() {
    const int kept = app_.keepUserSettings();
    if (kept != 0) {
        platform::debugOutput("main window: user settings not kept (%d)\n", kept);
    }
    if (tuning::hideAction(QuorvelTray::notificationAreaAvailable()) == tuning::HideAction::kHide) {
        hide();
        platform::debugOutput("main window: hidden in the notification area\n");
    } else {
        // Without a notification area a hidden window could only come back through a second
        // start of the program.
        showMinimized();
        platform::debugOutput("main window: minimised, there is no notification area\n");
    }
}

void CQuorvelHDDlg::quit() {
    struct Steps final : tuning::QuitSteps {
        explicit Steps(CQuorvelHDDlg& window) : w(window) {}
        void removeTrayIcon() override { w.tray_->remove(); }
        void keepUserSettings() override { w.app_.keepUserSettings(); }
        void stopOverlay() override {
            if (w.overlayShared_.isOpen()) {
                w.overlayShared_.writeExit();
            }
            w.overlayWindow_->hide();
        }
        void releaseHotKeys() override { w.hotKeyGrab_.uninstall(); }
        void endRun() override {
            // Once the menu that chose Quit has closed.
            QTimer::singleShot(0, &w, [window = &w] { window->endDialog(0); });
        }
        CQuorvelHDDlg& w;
    } steps(*this);
    if (!tuning::runQuit(controller_->busy(), steps)) {
        platform::debugOutput("main window: quit ignored while the cards are being written\n");
    }
}

void CQuorvelHDDlg::openAdvanced() {
    if (advancedDialog_ == nullptr) {
        advancedDialog_ = new CAdvanceDlg(app_.gpuLayer(), this);
        advancedDialog_->move(frameGeometry().topRight());
    }
    advancedDialog_->showAndRaise();
    platform::debugOutput("main window: advanced control dialog shown\n");
}

void CQuorvelHDDlg::endDialog(int result) {
    samplingTimer_->stop();
    hoverTimer_->stop();
    hdmiPage_->stopTimers();
    hide();
    if (endHandler_) {
        endHandler_(result);
    }
}

void CQuorvelHDDlg::applyWidth(const tuning::MainWindowView& view) {
    if (width() == view.width && height() == skin::kWindowHeight) {
        return;
    }
    for (QWidget* widget : wideWidgets_) {
        widget->setVisible(view.wide);
    }
    setFixedSize(view.width, skin::kWindowHeight);
    const int right = view.width - skin::kMargin;
    hideButton_->setGeometry(right - skin::kButtonSize,
                             (skin::kHeaderHeight - skin::kButtonSize) / 2, skin::kButtonSize,
                             skin::kButtonSize);
    minimizeButton_->setGeometry(hideButton_->x() - skin::kButtonGap - skin::kButtonSize,
                                 hideButton_->y(), skin::kButtonSize, skin::kButtonSize);
    monitorButton_->setGeometry(minimizeButton_->x() - skin::kButtonGap - skin::kButtonSize,
                                hideButton_->y(), skin::kButtonSize, skin::kButtonSize);
    const int statusLeft = tuning::kDialogWidthNormal / 2;
    statusLine_->setGeometry(statusLeft, 0, monitorButton_->x() - skin::kButtonGap - statusLeft,
                             skin::kHeaderHeight);
    placeSettingsButton();
    update();
}

// ---- User actions -------------------------------------------------------------------------------

void CQuorvelHDDlg::showGpu(int index) {
    controller_->showGpu(index);
    fanCurvePanel_->setGpuOnShow(controller_->view().gpuOnShow);
    render();
}

void CQuorvelHDDlg::onStep(ClockSlider which, StepDirection direction, size_t size) {
    controller_->step(which, direction, size);
    render();
}

void CQuorvelHDDlg::onModePressed(int mode) {
    controller_->pressMode(mode);
    render();
}

void CQuorvelHDDlg::onApply() {
    controller_->pressApply();
    render();
}

void CQuorvelHDDlg::onReset() {
    controller_->pressReset();
    render();
}

void CQuorvelHDDlg::toggleOverclockingInterface(bool confirmed) {
    controller_->toggleOverclockingInterface(confirmed);
    render();
}

void CQuorvelHDDlg::hoverCheck() {
    QWidget* under = childAt(mapFromGlobal(QCursor::pos()));
    if (under != nullptr && under == fanSpeed_.slider) {
        QToolTip::showText(QCursor::pos(), tableText(lang::kTipFan), fanSpeed_.slider);
    }
}

// ---- Posted messages ----------------------------------------------------------------------------

void CQuorvelHDDlg::handlePostedMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    const tuning::DialogAction action =
        tuning::dialogAction(message, static_cast<uint32_t>(wParam));
    if (action == tuning::DialogAction::kOpenMonitor ||
        action == tuning::DialogAction::kOpenMonitorWithHistories) {
        openMonitor(action == tuning::DialogAction::kOpenMonitorWithHistories);
        return;
    }
    if (action == tuning::DialogAction::kOpenAdvanced) {
        openAdvanced();
        return;
    }
    // The wait window goes before the flash's result is shown.
    if (message == tuning::kMessageCommand &&
        tuning::commandAction(static_cast<uint32_t>(wParam)) == tuning::DialogAction::kFlashDone) {
        closeBiosWaitWindow();
    }
    controller_->handlePostedMessage(message, wParam, lParam);
    render();
    followHotKeyGrab();
}

void CQuorvelHDDlg::showHotKeyIndicator(const tuning::HotKeyIndicator& indicator) {
    hotKeyIndicator_->setStyleSheet(
        QStringLiteral("background-color: rgb(%1, %2, %3); border-radius: %4px;")
            .arg(indicator.red)
            .arg(indicator.green)
            .arg(indicator.blue)
            .arg(kHotKeyIndicatorSize / 2));
}

void CQuorvelHDDlg::sampleNow() {
    const std::optional<std::string> alarm = controller_->tick(CIndicateInstDialog::isOpen());
    render();
    // The options can change while the program runs.
    followHotKeyGrab();
    // The overlay line keeps clear of this window where it moved or showed since the last tick.
    overlayWindow_->followPlacement();
    if (alarm) {
        // Modal: ticks go on inside it, and a second window is never opened.
        CIndicateInstDialog::showAlarm(QString::fromStdString(*alarm), this);
    }
}

// ---- Drawing the view record --------------------------------------------------------------------

void CQuorvelHDDlg::renderSlider(const SliderRow& row, const tuning::SliderView& view) {
    const QSignalBlocker blocker(row.slider);
    row.slider->setRange(view.min, view.max);
    row.slider->setValue(view.pos);
    row.slider->setEnabled(view.enabled);
    row.slider->setVisible(view.visible);
    row.value->setText(QString::fromStdString(view.valueText));
}

void CQuorvelHDDlg::renderButton(QPushButton* button, const tuning::ButtonView& view,
                                 bool checkable) {
    const QSignalBlocker blocker(button);
    button->setText(QString::fromStdString(view.caption));
    button->setEnabled(view.enabled);
    if (checkable) {
        button->setChecked(view.checked);
    }
}

void CQuorvelHDDlg::render() {
    const tuning::MainWindowView& view = controller_->view();
    for (const SliderRow* row :
         {&gpuClock_, &shaderClock_, &memoryClock_, &fanSpeed_, &coreVoltage_, &memoryVoltage_,
          &gpuOffset_, &memoryOffset_, &frameRate_}) {
        renderSlider(*row, view.sliders[static_cast<size_t>(row->id)]);
    }
    for (const SliderRow* row : {&gpuClock_, &shaderClock_, &memoryClock_}) {
        for (size_t i = 0; i < tuning::MainDialogModel::kStepSizes; ++i) {
            row->down[i]->setEnabled(view.stepButtonsEnabled);
            row->up[i]->setEnabled(view.stepButtonsEnabled);
        }
    }
    renderButton(mode2D_, view.mode2D, true);
    renderButton(mode3DLow_, view.mode3DLow, true);
    renderButton(mode3DPerf_, view.mode3DPerf, true);
    renderButton(linkButton_, view.link, true);
    renderButton(synchronousButton_, view.synchronous, true);
    renderButton(unlockMinButton_, view.unlockMin, false);
    renderButton(unlockMaxButton_, view.unlockMax, false);
    renderButton(fanModeButton_, view.fanMode, false);
    renderButton(frameRateToggle_, view.frameRateToggle, true);
    renderButton(applyButton_, view.apply, false);
    renderButton(resetButton_, view.reset, false);
    renderButton(overclockingButton_, view.overclocking, false);
    profileBar_->setSaveEnabled(view.profileSaveEnabled);

    temperatureReadout_->setText(QString::fromStdString(view.temperatureText));
    if (temperatureReadout_->property(kHotProperty).toBool() != view.temperatureHot) {
        temperatureReadout_->setProperty(kHotProperty, view.temperatureHot);
        temperatureReadout_->setStyleSheet(view.temperatureHot ? skin::kHotReadoutStyle
                                                               : skin::kReadoutStyle);
    }
    fanModeLabel_->setText(QString::fromStdString(view.fanModeText));
    renderGauges(view);
    renderInformation(view);
    showHotKeyIndicator(view.hotKeyIndicator);
    renderBios(view);
    applyWidth(view);
}

void CQuorvelHDDlg::renderGauges(const tuning::MainWindowView& view) {
    for (size_t i = 0; i < tuning::kGaugeCount; ++i) {
        const tuning::GaugeView& gauge = view.gauges[i];
        QColor colour = skin::kDigitColour;
        if (gauge.tone == tuning::GaugeTone::kMissing) {
            colour = skin::kLabelColour;
        } else if (gauge.tone == tuning::GaugeTone::kReadout) {
            colour = skin::fromColourRef(gauge.colour);
        }
        gauges_[i]->setScaleMax(gauge.scaleMax);
        gauges_[i]->setReading(gauge.value, QString::fromStdString(gauge.text), colour);
    }
}

void CQuorvelHDDlg::renderInformation(const tuning::MainWindowView& view) {
    for (const auto& [id, label] : infoLabels_) {
        const auto field =
            std::find_if(view.information.begin(), view.information.end(),
                         [id = id](const tuning::InfoField& f) { return f.id == id; });
        if (field == view.information.end() || label == nullptr) {
            continue;
        }
        label->setText(QString::fromStdString(field->text));
        label->setStyleSheet(QStringLiteral("color: %1;").arg(infoColour(field->colour).name()));
    }
    modePicture_->setText(modePictureText(view.modePicture));
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
    // Closing acts as the hide button; the program keeps running.
    event->ignore();
    pressHide();
}

}  // namespace qv::ui
