#include "ui/NewsPresenter.h"

#include <QTimer>

#include "platform/DebugOutput.h"
#include "platform/ProgramLocation.h"
#include "ui/CNews.h"

namespace qv::ui {

NewsPresenter::NewsPresenter(std::string dataFolder, std::function<bool()> newsSwitch,
                             std::function<online::OnlineHosts()> hosts, QObject* parent,
                             LinkOpener opener)
    : QObject(parent),
      newsSwitch_(std::move(newsSwitch)),
      hosts_(std::move(hosts)),
      opener_(std::move(opener)),
      poster_(this),
      service_(std::make_unique<online::NewsService>(poster_, platform::currentThreadId(),
                                                     std::move(dataFolder))) {
    switchTimer_ = new QTimer(this);
    switchTimer_->setObjectName("newsSwitchTimer");
    switchTimer_->setInterval(static_cast<int>(online::kNewsSwitchPeriodMs));
    connect(switchTimer_, &QTimer::timeout, this, [this] {
        schedule_.switchTick(newsSwitch_());
        syncTimers();
    });
    startDelayTimer_ = new QTimer(this);
    startDelayTimer_->setObjectName("newsStartTimer");
    startDelayTimer_->setSingleShot(true);
    startDelayTimer_->setInterval(static_cast<int>(online::kNewsStartDelayMs));
    connect(startDelayTimer_, &QTimer::timeout, this, [this] {
        if (schedule_.startDelayEnded()) {
            startFetch();
        }
        syncTimers();
    });
    readinessTimer_ = new QTimer(this);
    readinessTimer_->setObjectName("newsReadinessTimer");
    readinessTimer_->setInterval(static_cast<int>(online::kNewsCheckPeriodMs));
    connect(readinessTimer_, &QTimer::timeout, this, &NewsPresenter::readinessTick);
    // The end of a fetch is checked at once rather than on the next tick.
    poster_.setHandler([this](uint32_t message, uintptr_t, intptr_t) {
        if (message == online::kMessageNewsFetched && readinessTimer_->isActive()) {
            readinessTick();
        }
    });
}

NewsPresenter::~NewsPresenter() {
    poster_.setHandler({});
    service_.reset();
    // The pop-up has no parent window; it goes with the window that opened it.
    delete window_.data();
}

void NewsPresenter::start() {
    schedule_.setUp(newsSwitch_());
    switchTimer_->start();
    syncTimers();
}

void NewsPresenter::requestNews() {
    schedule_.requestedByUser();
    startFetch();
    syncTimers();
    readinessTick();
}

CNews* NewsPresenter::window() const {
    return window_.data();
}

bool NewsPresenter::switchTimerActive() const {
    return switchTimer_->isActive();
}

void NewsPresenter::setStartDelay(int milliseconds) {
    startDelayTimer_->setInterval(milliseconds);
}

void NewsPresenter::startFetch() {
    if (!service_->startFetch(hosts_())) {
        platform::debugOutput("news: a fetch is still running\n");
    }
}

void NewsPresenter::readinessTick() {
    const int item = schedule_.readinessTick(service_->record(), service_->fetching());
    syncTimers();
    if (item != 0) {
        openWindow(item);
    }
}

void NewsPresenter::syncTimers() {
    const online::NewsTimers& wanted = schedule_.timers();
    if (wanted.startDelay != startDelayTimer_->isActive()) {
        wanted.startDelay ? startDelayTimer_->start() : startDelayTimer_->stop();
    }
    if (wanted.readinessCheck != readinessTimer_->isActive()) {
        wanted.readinessCheck ? readinessTimer_->start() : readinessTimer_->stop();
    }
}

void NewsPresenter::openWindow(int itemToShow) {
    const online::NewsRecord record = service_->record();
    const int item = online::chooseNewsItem(itemToShow, record);
    if (item == 0) {
        return;
    }
    if (window_ != nullptr) {
        window_->close();
    }
    const size_t index = static_cast<size_t>(item);
    window_ = new CNews(record.items[index - 1], online::newsPicturePath(service_->folder(), index),
                        opener_);
    window_->popUp();
    platform::debugOutput("news: item %d shown\n", item);
}

}  // namespace qv::ui
