#include "ui/CDlg_Monitor.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <cstring>

#include "app/AppFonts.h"
#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "ui/CNQVCurves.h"
#include "ui/CNQVStatusBase.h"
#include "ui/MainWindowSkin.h"
#include "ui/QtFonts.h"

namespace qv::ui {
namespace {

constexpr int kButtonSize = 24;
const QColor kSkinTop(44, 48, 58);
const QColor kSkinBottom(24, 26, 32);
const QColor kSkinEdge(70, 76, 90);

QString tableText(int row) {
    return QString::fromUtf8(lang::languageTable().text(row));
}

}  // namespace

CDlg_Monitor::CDlg_Monitor(tuning::MonitorSession& session, bool copyHistories,
                           platform::Prompt& prompt, std::function<void()> rebuild, QWidget* owner,
                           platform::LocalTimeSource& time)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint),
      session_(session),
      model_(session.state()),
      prompt_(prompt),
      rebuild_(std::move(rebuild)) {
    setObjectName("monitorWindow");
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(tableText(lang::kTextAppName));
    setFixedSize(kMonitorWidth, kMonitorHeight);

    auto* caption = new QLabel(tableText(lang::kTextAppName), this);
    caption->setObjectName("monitorCaption");
    caption->setStyleSheet(skin::kTextStyle);
    caption->setFont(toQFont(app::fontDefinition(app::kFontTitle)));
    caption->setGeometry(kMonitorMargin * 2, 0, kMonitorWidth / 3, kMonitorCaptionHeight);
    caption->setAttribute(Qt::WA_TransparentForMouseEvents);

    problemLine_ = new QLabel(this);
    problemLine_->setObjectName("monitorProblem");
    problemLine_->setStyleSheet(skin::kNoticeStyle);
    problemLine_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    problemLine_->setGeometry(kMonitorWidth / 3, 0,
                              kMonitorWidth * 2 / 3 - kButtonSize - kMonitorMargin * 3,
                              kMonitorCaptionHeight);
    problemLine_->setAttribute(Qt::WA_TransparentForMouseEvents);

    closeButton_ = new QPushButton(QStringLiteral("\u00d7"), this);
    closeButton_->setObjectName("monitorCloseButton");
    closeButton_->setStyleSheet(skin::kButtonStyle);
    closeButton_->setToolTip(tableText(lang::kTextHide));
    closeButton_->setAccessibleName(tableText(lang::kTextHide));
    closeButton_->setGeometry(kMonitorWidth - kMonitorMargin - kButtonSize,
                              (kMonitorCaptionHeight - kButtonSize) / 2, kButtonSize, kButtonSize);
    connect(closeButton_, &QPushButton::clicked, this,
            [this] { runCommand(monitor::kCommandHide); });

    const QSize panelSize(kMonitorWidth - 2 * kMonitorMargin,
                          kMonitorHeight - kMonitorCaptionHeight - kMonitorMargin);
    panel_ = new CNQVStatusBase(session_, copyHistories, time, panelSize, this);
    panel_->move(kMonitorMargin, kMonitorCaptionHeight);
    panel_->curves()->setAfterTick([this](monitor::LogTickResult) { afterTick(); });
}

CNQVCurves* CDlg_Monitor::curves() const {
    return panel_->curves();
}

void CDlg_Monitor::afterTick() {
    const std::optional<monitor::LogProblem> problem = session_.state().log.takeProblem();
    if (!problem) {
        return;
    }
    // Said once, in the window's caption line: a message box every second would bury the user.
    problemLine_->setText(QString::fromStdString(problem->path) + QStringLiteral(": ") +
                          QString::fromLocal8Bit(std::strerror(problem->error)));
    problemLine_->setToolTip(problemLine_->text());
}

void CDlg_Monitor::runCommand(uint32_t command) {
    const bool wasOn = session_.state().log.isOn();
    const monitor::MonitorCommandOutcome outcome = model_.command(command);
    if (!wasOn && session_.state().log.isOn()) {
        problemLine_->clear();
    } else if (command == monitor::kCommandSave && !wasOn) {
        afterTick();  // the folder could not be made: say why at once
    }
    if (outcome.shownChanged) {
        session_.saveShown();
    }
    if (outcome.askOpenSaved) {
        askToOpenSavedFile();
    }
    if (outcome.hide) {
        hide();
    }
    if (outcome.rebuild && rebuild_) {
        rebuild_();
    }
}

void CDlg_Monitor::askToOpenSavedFile() {
    const platform::PromptAnswer answer =
        prompt_.show(lang::languageTable().text(lang::kTextAppName),
                     lang::languageTable().text(lang::kTextOpenSavedFile),
                     platform::PromptIcon::kQuestion, platform::PromptButtons::kYesNo);
    const std::string& path = session_.state().log.currentPath();
    if (answer == platform::PromptAnswer::kYes && !path.empty()) {
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QFileInfo(QString::fromStdString(path)).absoluteFilePath()));
    }
}

QMenu* CDlg_Monitor::buildMenu(const monitor::MonitorMenu& menu) {
    auto* popup = new QMenu(this);
    popup->setObjectName("monitorMenu");
    QMenu* monitors = popup->addMenu(tableText(lang::kTextMonitors));
    monitors->setObjectName("monitorsMenu");
    monitors->setEnabled(menu.monitorsEnabled);
    const auto add = [this](QMenu* into, const monitor::MenuEntry& entry) {
        QAction* action = into->addAction(tableText(entry.captionRow));
        action->setCheckable(true);
        action->setChecked(entry.checked);
        action->setEnabled(entry.enabled);
        const uint32_t command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
    };
    for (const monitor::MenuEntry& entry : menu.items) {
        add(monitors, entry);
    }
    add(popup, menu.save);
    popup->addAction(tableText(menu.hide.captionRow), this,
                     [this, command = menu.hide.command] { runCommand(command); });
    popup->addAction(tableText(menu.close.captionRow), this,
                     [this, command = menu.close.command] { runCommand(command); });
    return popup;
}

void CDlg_Monitor::openMenu(const QPoint& globalPosition) {
    QMenu* popup = buildMenu(model_.prepareMenu());
    popup->exec(globalPosition);
    popup->deleteLater();
}

void CDlg_Monitor::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient skin(0, 0, 0, height());
    skin.setColorAt(0, kSkinTop);
    skin.setColorAt(1, kSkinBottom);
    painter.fillRect(rect(), skin);
    painter.setPen(kSkinEdge);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CDlg_Monitor::mousePressEvent(QMouseEvent* event) {
    const QPoint at = mapFromGlobal(event->globalPosition().toPoint());
    if (event->button() == Qt::LeftButton && windowState() == Qt::WindowNoState &&
        at.y() < monitor::kDragZoneHeight) {
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    event->accept();
}

void CDlg_Monitor::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton) != 0) {
        move(event->globalPosition().toPoint() - dragOffset_);
    }
    event->accept();
}

void CDlg_Monitor::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    if (event->button() == Qt::RightButton) {
        openMenu(event->globalPosition().toPoint());
    }
    event->accept();
}

void CDlg_Monitor::closeEvent(QCloseEvent* event) {
    // Closing the window from the desktop does what "Hide" does; the window lives on.
    event->ignore();
    runCommand(monitor::kCommandHide);
}

}  // namespace qv::ui
