// The main window's side of the monitor: the monitor button and message 0x7E8.
#include <QPushButton>

#include "app/AppFonts.h"
#include "lang/LanguageRows.h"
#include "monitor/MonitorLog.h"
#include "platform/ProgramLocation.h"
#include "tuning/MainDialogModelMessages.h"
#include "ui/CDlg_Monitor.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/MainWindowTexts.h"
#include "ui/QtFonts.h"

namespace qv::ui {

using namespace mainwindow;

void CQuorvelHDDlg::buildMonitorButton() {
    monitorButton_ = makeButton("monitorButton", lang::kTipMonitor);
    // A small curve: the window the button opens.
    monitorButton_->setText(QStringLiteral("\u223f"));
    monitorButton_->setAccessibleName(tableText(lang::kTextMonitors));
    monitorButton_->setFont(toQFont(app::fontDefinition(app::kFontTitle)));
    connect(monitorButton_, &QPushButton::clicked, this, [this] {
        poster_.postThreadMessage(platform::currentThreadId(), tuning::kMessageOpenMonitor, 0, 0);
    });
}

CDlg_Monitor* CQuorvelHDDlg::monitorWindow() const {
    return monitor_;
}

void CQuorvelHDDlg::openMonitor(bool copyHistories) {
    if (!monitorSession_) {
        monitorSession_ = std::make_unique<tuning::MonitorSession>(
            app_.gpuLayer(), controller_->dialog(), &app_.registry(),
            monitor::MirrorHistory::process(),
            app_.dataFolder() + "/" + monitor::kMonitorSaveFolder);
    }
    QPoint place;
    const bool hadWindow = monitor_ != nullptr;
    if (hadWindow) {
        place = monitor_->pos();
        delete monitor_;
    }
    platform::Prompt& prompt =
        app_.prompt() != nullptr ? *app_.prompt() : DismissingPrompt::instance();
    monitor_ = new CDlg_Monitor(
        *monitorSession_, copyHistories, prompt,
        [this] {
            poster_.postThreadMessage(platform::currentThreadId(), tuning::kMessageOpenMonitor,
                                      tuning::kMonitorCopyHistories, 0);
        },
        this);
    if (hadWindow) {
        monitor_->move(place);
    }
    monitorSession_->state().hidden = false;
    monitor_->show();
    monitor_->raise();
}

}  // namespace qv::ui
