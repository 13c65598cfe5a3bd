// The main window's Settings button and the options dialog it opens.
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <string>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/DebugOutput.h"
#include "remote/RemoteStateFiles.h"
#include "tools/AdapterProbe.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/CPasswordDlg.h"
#include "ui/CSetDialog.h"
#include "ui/CViewDlg.h"
#include "ui/MainWindowSkin.h"
#include "ui/MainWindowTexts.h"
#include "ui/QtFonts.h"

namespace qv::ui {

using namespace mainwindow;

void CQuorvelHDDlg::buildSettingsButton() {
    settingsButton_ = makeButton("settingsButton", lang::kTipSettings);
    // A gear, as the caption bar's other buttons carry signs rather than words.
    settingsButton_->setText(QStringLiteral("\u2699"));
    settingsButton_->setAccessibleName(tableText(lang::kTextSettings));
    settingsButton_->setFont(toQFont(app::fontDefinition(app::kFontTitle)));
    connect(settingsButton_, &QPushButton::clicked, this, [this] { openSettings(); });
}

void CQuorvelHDDlg::placeSettingsButton() {
    if (settingsButton_ == nullptr) {
        return;
    }
    // Left of the monitor button; made before it, so Tab reaches it first, in reading order.
    settingsButton_->setGeometry(monitorButton_->x() - skin::kButtonGap - skin::kButtonSize,
                                 monitorButton_->y(), skin::kButtonSize, skin::kButtonSize);
    // The status line ends before the button.
    const QRect status = statusLine_->geometry();
    statusLine_->setGeometry(status.x(), status.y(),
                             std::max(0, settingsButton_->x() - skin::kButtonGap - status.x()),
                             status.height());
}

int CQuorvelHDDlg::openSettings(const std::function<void(CSetDialog&)>& prepare) {
    settings::OptionsDialogServices services;
    services.layer = &app_.gpuLayer();
    services.store = &app_.registry();
    services.settings = &app_.settings();
    services.texts = &lang::languageTable();
    services.prompt = app_.prompt();
    services.programPath = app_.programPath();
    services.sendFanCommand = [this](const fan::FanCommand& command) {
        controller_->sampling().sendFanCommand(command);
    };
    services.manualChannelFlag = &manualChannelFlag_;
    // The multi-display adapter answers through its mailbox or its group is hidden.
    services.probeVexaAdapter = [this] {
        std::string firmware;
        return tools::probeAdapter(app_.driverLoader(), app_.clock(), firmware) == 0;
    };
    services.openViewDialog = [this] {
        if (app_.prompt() != nullptr) {
            CViewDlg::run(app_.driverLoader(), *app_.prompt(), this);
        }
    };
    services.openPasswordDialog = [this] {
        if (app_.prompt() != nullptr) {
            CPasswordDlg::run(app_.registry(), app_.settings(), *app_.prompt(), this);
        }
    };
    const int gpuOnShow = controller_->dialog().gpuOnShow();
    CSetDialog dialog(static_cast<uint8_t>(gpuOnShow >= 0 ? gpuOnShow : 0), std::move(services),
                      this);
    if (prepare) {
        prepare(dialog);
    }
    const int result = dialog.exec();
    // The options take effect from the next sample; the overlay's frame-rate switch and the
    // hot-key grab follow at once.
    if (result == QDialog::Accepted && overlayShared_.isOpen()) {
        overlayShared_.setFrameRateShown(app_.settings().osdFramerateShow);
    }
    followHotKeyGrab();
    followRemoteBridge();
    return result;
}

void CQuorvelHDDlg::followRemoteBridge() {
    const remote::RemoteSettings wanted = remote::readRemoteSettings(app_.registry());
    if (wanted.enabled) {
        // The state files must exist for the bridge to write them; a fresh installation gets
        // the shipped templates.
        remote::installStateFileTemplates(app_.dataFolder());
    }
    const int status = remote_->follow(wanted);
    if (status != remote::kServerOk) {
        platform::debugOutput("main window: remote bridge not started (%d)\n", status);
    }
}

}  // namespace qv::ui
