// The main window: a borderless skinned frame with the caption, the minimise and hide buttons,
// the GPU selector, the gauges and read-outs of the GPU on show, the information panel, and every
// tuning control; the wide part holds the overclocking controls. Every rule is the
// MainWindowController's: the window forwards the user's actions and timers to it and draws the
// view record it keeps.
#pragma once

#include <QPoint>
#include <QPointer>
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
#include "remote/RemoteService.h"
#include "settings/Profiles.h"
#include "tuning/GadgetInstall.h"
#include "tuning/MainWindowController.h"
#include "tuning/MonitorSession.h"
#include "ui/QtFileChooser.h"
#include "ui/QtPoster.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace qv::ui {

class CSetDialog;
class CDlg_Monitor;
class CAdvanceDlg;
class CUpdateDlg;
class FanCurvePanel;
class NewsPresenter;
class Gauge;
class HdmiPage;
class OverlayWindow;
class ProfileBar;
class QuorvelTray;

class CQuorvelHDDlg final : public QWidget {
public:
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
    // The overclocking interface button; `confirmed` (or a hot key used) takes the place of the
    // question's Yes.
    void toggleOverclockingInterface(bool confirmed = false);
    // A message posted to the window (the Apply worker, the probe, the hot keys).
    void handlePostedMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

    // Message 0x7E8: closes the monitor window if one is open and opens a new one; with
    // `copyHistories` the curves start with the samples taken so far.
    void openMonitor(bool copyHistories);
    CDlg_Monitor* monitorWindow() const;

    const tuning::MainWindowController& controller() const { return *controller_; }
    const tuning::MainDialogModel& dialogModel() const { return controller_->dialog(); }
    const tuning::ApplyController& applyController() const {
        return controller_->applyController();
    }
    const tuning::InfoReadouts& infoReadouts() const { return controller_->infoReadouts(); }
    const platform::OverlayShared& overlayShared() const { return overlayShared_; }
    // The Settings button: the options dialog for the GPU on show, run modally. `prepare`, when
    // given, sees the dialog before it runs (tests answer it there).
    int openSettings(const std::function<void(CSetDialog&)>& prepare = {});
    const tuning::GadgetInstallResult& gadget() const { return gadget_; }

    // The hide button (and the window's close): keeps or removes the user settings file as the
    // restore option says, then hides the window, or minimises it where no notification area
    // could bring it back.
    void pressHide();
    // The tray menu's Quit: nothing while an Apply run is under way; otherwise the tray icon
    // goes, the user settings are kept or removed, the overlay is told to stop, the hot keys are
    // released and the window's run ends.
    void quit();
    // Message 2025: the advanced control dialog, made on the first request and kept, shown and
    // raised on every one.
    void openAdvanced();
    CAdvanceDlg* advancedDialog() const { return advancedDialog_; }
    // The BIOS button: a file for the GPU on show, checked and confirmed, then the flash with
    // the wait window up until its notice comes.
    void pressBios();
    // The BIOS search button: the support site's page for the GPU on show, in the browser.
    void openBiosSearch();
    // Where the BIOS button asks for its file (the system's file dialog unless a test sets
    // another; null puts that back).
    void setBiosFileChooser(platform::FileChooser* chooser);
    // The wait window while a flash runs; null otherwise.
    QWidget* biosWaitWindow() const { return biosWaitWindow_; }
    QuorvelTray* tray() const { return tray_; }
    // The tray menu's Check for update: the online update dialog, run modally. `prepare`, when
    // given, sees the dialog before it runs.
    void openUpdate(const std::function<void(CUpdateDlg&)>& prepare = {});
    // The news timers and window (the tray menu's News entry asks it).
    NewsPresenter* news() const { return news_; }
    // The HDMI page over the tuning area, shown and hidden by the caption line's HDMI button.
    HdmiPage* hdmiPage() const { return hdmiPage_; }
    void showHdmiPage(bool show);
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
        tuning::Slider id = tuning::Slider::kGpuClock;
        QLabel* label = nullptr;
        QSlider* slider = nullptr;
        QLabel* value = nullptr;
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
    void buildPlainRow(SliderRow& row, tuning::Slider id, const char* name, int textRow, int tipRow,
                       QRect labelBox, QRect sliderBox, QRect valueBox);
    void buildActionButtons();
    void buildWidePart();
    void setUpOverlay();
    void buildProfileBar();
    void buildSettingsButton();
    void placeSettingsButton();
    // Tab visits every control in reading order (the normal part row by row, then the
    // overclocking part), and each control has a name and a description for assistive tools.
    void setUpKeyboardAndNames();
    void setUpMessages();
    // The monitor button of the caption line; it posts 0x7E8.
    void buildMonitorButton();
    void setUpTray();
    void setUpNews();
    // The caption line's HDMI button, made first so that Tab reaches it before the buttons to
    // its right, and placed once the keyboard order is set (as they are).
    void buildHdmiButton();
    void placeHdmiButton();
    void buildHdmiPage();
    // The sidebar gadget's files, on the one system that has a sidebar.
    void installGadget();
    // The BIOS and BIOS search buttons, at the end of the Unlock row.
    void buildBiosButtons();
    void placeBiosButtons();
    // The BIOS buttons and the wait window from the view record.
    void renderBios(const tuning::MainWindowView& view);
    void closeBiosWaitWindow();
    // The flash job's services: the tool the settings name, the ROM-dump helper beside the program.
    online::FlashServices flashServices() const;
    // Takes or releases Ctrl+N and Ctrl+M as the controller says.
    void followHotKeyGrab();
    QPushButton* makeButton(const char* name, int tipRow);
    QLabel* makeLabel(const char* name, const QString& text, QRect box, int fontNumber,
                      const char* style);

    // User actions.
    void showGpu(int index);
    void onStep(tuning::ClockSlider which, tuning::StepDirection direction, size_t size);
    void onModePressed(int mode);
    void onApply();
    void onReset();
    void hoverCheck();

    // Every widget from the controller's view record.
    void render();
    void renderSlider(const SliderRow& row, const tuning::SliderView& view);
    void renderButton(QPushButton* button, const tuning::ButtonView& view, bool checkable);
    void renderGauges(const tuning::MainWindowView& view);
    void renderInformation(const tuning::MainWindowView& view);
    void applyWidth(const tuning::MainWindowView& view);
    void showHotKeyIndicator(const tuning::HotKeyIndicator& indicator);
    // After a profile load: the controls show what the cards now have.
    void reloadFromCards();
    // Starts or stops the phone bridge as the settings store says.
    void followRemoteBridge();

    app::CQuorvelHDApp& app_;
    QtPoster poster_;
    platform::OverlayShared overlayShared_;
    std::unique_ptr<OverlayWindow> overlayWindow_;
    // The application's user settings file, or one of the window's own when it has none.
    std::unique_ptr<app::UserSettingsFile> ownUserSettings_;
    std::unique_ptr<app::UserSettingsProfileStore> profileStore_;
    settings::ProfileSlots profileSlots_;
    QtFileChooser fileChooser_;
    // Hands the BIOS button's question to the system's dialog or a test's chooser.
    struct BiosChooser final : platform::FileChooser {
        std::string saveFile(const std::string& folder, const std::string& filter,
                             const std::string& extension) override {
            return target->saveFile(folder, filter, extension);
        }
        std::string openFile(const std::string& folder, const std::string& filter) override {
            return target->openFile(folder, filter);
        }
        platform::FileChooser* target = nullptr;
    } biosChooser_;
    // The phone bridge; outlives the controller, whose remote session uses it.
    std::unique_ptr<remote::RemoteService> remote_;
    std::unique_ptr<tuning::MainWindowController> controller_;
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
    QPushButton* settingsButton_ = nullptr;
    QPushButton* biosButton_ = nullptr;
    QPushButton* biosSearchButton_ = nullptr;
    QPointer<QWidget> biosWaitWindow_;
    // The wireless module's manual-channel flag, kept while the program runs.
    int manualChannelFlag_ = 0;
    QPushButton* monitorButton_ = nullptr;
    // Made when the monitor first opens; outlives each monitor window.
    std::unique_ptr<tuning::MonitorSession> monitorSession_;
    QPointer<CDlg_Monitor> monitor_;
    std::array<Gauge*, tuning::kGaugeCount> gauges_{};
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
    QuorvelTray* tray_ = nullptr;
    CAdvanceDlg* advancedDialog_ = nullptr;
    NewsPresenter* news_ = nullptr;
    HdmiPage* hdmiPage_ = nullptr;
    QPushButton* hdmiButton_ = nullptr;
    tuning::GadgetInstallResult gadget_;

    QTimer* samplingTimer_ = nullptr;
    QTimer* hoverTimer_ = nullptr;
    bool dragging_ = false;
    QPoint dragOffset_;
    std::function<void(int)> endHandler_;
};

}  // namespace qv::ui
