// The main window's news timers: the option's timer (44), the delayed start-up fetch and the
// readiness check, the fetch on its worker, and the news window opened when item 1 is there.
// When to do what is NewsSchedule's; this class only runs the timers it asks for.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "online/NewsFetch.h"
#include "online/NewsSchedule.h"
#include "online/OnlineHosts.h"
#include "ui/QtPoster.h"
#include "ui/WebLinkOpener.h"

class QTimer;

namespace qv::ui {

class CNews;

class NewsPresenter final : public QObject {
public:
    // `newsSwitch` answers the option's current value; `hosts` the servers at the time of a fetch.
    NewsPresenter(std::string dataFolder, std::function<bool()> newsSwitch,
                  std::function<online::OnlineHosts()> hosts, QObject* parent = nullptr,
                  LinkOpener opener = openWebLink);
    ~NewsPresenter() override;

    // The main window was set up: the option's timer starts, and with the option on the
    // delayed fetch.
    void start();
    // The tray menu's News entry.
    void requestNews();

    const online::NewsSchedule& schedule() const { return schedule_; }
    const online::NewsService& service() const { return *service_; }
    CNews* window() const;
    bool switchTimerActive() const;
    // The delay before the automatic fetch (tests shorten it).
    void setStartDelay(int milliseconds);

private:
    void startFetch();
    void readinessTick();
    void syncTimers();
    void openWindow(int item);

    std::function<bool()> newsSwitch_;
    std::function<online::OnlineHosts()> hosts_;
    LinkOpener opener_;
    online::NewsSchedule schedule_;
    QtPoster poster_;
    std::unique_ptr<online::NewsService> service_;
    QTimer* switchTimer_ = nullptr;
    QTimer* startDelayTimer_ = nullptr;
    QTimer* readinessTimer_ = nullptr;
    QPointer<CNews> window_;
};

}  // namespace qv::ui
