// The program's icon in the notification area and its menu. Left click shows the main window;
// the menu (right click) offers the main window, News, Check for update, About and Quit in the
// user's language. What each command does is the main window's.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "lang/CMultiLangSupp.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace qv::ui {

class QuorvelTray final : public QObject {
public:
    // `onCommand` receives the menu's command ids; a left click on the icon arrives as the
    // main-window command.
    QuorvelTray(const lang::CMultiLangSupp& texts, std::function<void(uint32_t)> onCommand,
                QObject* parent = nullptr);
    ~QuorvelTray() override;

    void show();
    // Quit's first step; the icon does not come back.
    void remove();
    bool iconVisible() const;

    QMenu* menu() const { return menu_.get(); }
    // The menu entry of a command; nullptr for one the menu does not have.
    QAction* action(uint32_t command) const;

    // Whether the desktop has a notification area the icon can go into.
    static bool notificationAreaAvailable();

private:
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* icon_ = nullptr;
    std::vector<std::pair<uint32_t, QAction*>> actions_;
    std::function<void(uint32_t)> onCommand_;
};

}  // namespace qv::ui
