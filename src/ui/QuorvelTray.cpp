#include "ui/QuorvelTray.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "lang/LanguageRows.h"
#include "tuning/TrayMenu.h"

namespace qv::ui {

namespace {

constexpr int kIconSize = 64;

// The program's mark: a rounded square in the window's colours with the letter Q.
QIcon programIcon() {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(40, 120, 200));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(2, 2, kIconSize - 4, kIconSize - 4), 12, 12);
    painter.setPen(QColor(96, 255, 128));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(kIconSize * 2 / 3);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("Q"));
    return QIcon(pixmap);
}

}  // namespace

QuorvelTray::QuorvelTray(const lang::CMultiLangSupp& texts, std::function<void(uint32_t)> onCommand,
                         QObject* parent)
    : QObject(parent), menu_(std::make_unique<QMenu>()), onCommand_(std::move(onCommand)) {
    menu_->setObjectName("trayMenu");
    for (const tuning::TrayMenuEntry& entry :
         tuning::trayMenu(texts, tuning::TrayWindows{true, true})) {
        if (entry.separator) {
            menu_->addSeparator();
            continue;
        }
        QAction* action = menu_->addAction(QString::fromStdString(entry.text));
        action->setObjectName(QStringLiteral("trayCommand%1").arg(entry.command));
        action->setEnabled(entry.enabled);
        const uint32_t command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { onCommand_(command); });
        actions_.emplace_back(command, action);
    }
    icon_ = new QSystemTrayIcon(programIcon(), this);
    icon_->setObjectName("trayIcon");
    icon_->setToolTip(QString::fromUtf8(texts.text(lang::kTextAppName)));
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A left click; the right click opens the menu by itself.
                if (reason == QSystemTrayIcon::Trigger) {
                    onCommand_(tuning::kTrayCommandMainWindow);
                }
            });
}

QuorvelTray::~QuorvelTray() = default;

void QuorvelTray::show() {
    icon_->show();
}

void QuorvelTray::remove() {
    icon_->hide();
}

bool QuorvelTray::iconVisible() const {
    return icon_->isVisible();
}

QAction* QuorvelTray::action(uint32_t command) const {
    for (const auto& [id, action] : actions_) {
        if (id == command) {
            return action;
        }
    }
    return nullptr;
}

bool QuorvelTray::notificationAreaAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace qv::ui
