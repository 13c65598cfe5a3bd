// The monitor window: a borderless dark window that holds the curve panel. It drags by its upper
// part, opens its context menu on the right button (the items drawn, the log, Hide, Close) and
// asks its owner to rebuild it when the items change. Every rule is the MonitorWindowModel's.
#pragma once

#include <QPoint>
#include <QWidget>
#include <functional>

#include "monitor/MonitorWindowModel.h"
#include "platform/LocalTime.h"
#include "platform/Prompt.h"
#include "tuning/MonitorSession.h"

class QLabel;
class QMenu;
class QPushButton;

namespace qv::ui {

class CNQVStatusBase;
class CNQVCurves;

// The window's size; the panel below its caption line holds 800 samples of history.
inline constexpr int kMonitorWidth = 880;
inline constexpr int kMonitorHeight = 660;
inline constexpr int kMonitorCaptionHeight = 32;
inline constexpr int kMonitorMargin = 8;

class CDlg_Monitor final : public QWidget {
public:
    // `rebuild` asks the owner for a new window with the histories copied in (0x7E8 with 1).
    CDlg_Monitor(tuning::MonitorSession& session, bool copyHistories, platform::Prompt& prompt,
                 std::function<void()> rebuild, QWidget* owner,
                 platform::LocalTimeSource& time = platform::SystemLocalTime::instance());

    // The menu as it would open now, and a command from it.
    monitor::MonitorMenu prepareMenu() { return model_.prepareMenu(); }
    void runCommand(uint32_t command);
    // The context menu at a point on the screen (what the right button does); returns when it
    // closes.
    void openMenu(const QPoint& globalPosition);

    CNQVCurves* curves() const;
    const monitor::MonitorWindowModel& model() const { return model_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QMenu* buildMenu(const monitor::MonitorMenu& menu);
    void afterTick();
    void askToOpenSavedFile();

    tuning::MonitorSession& session_;
    monitor::MonitorWindowModel model_;
    platform::Prompt& prompt_;
    std::function<void()> rebuild_;
    CNQVStatusBase* panel_ = nullptr;
    QLabel* problemLine_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    bool dragging_ = false;
    QPoint dragOffset_;
};

}  // namespace qv::ui
