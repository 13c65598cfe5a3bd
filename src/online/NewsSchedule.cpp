#include "online/NewsSchedule.h"

#include <algorithm>

namespace qv::online {

void NewsSchedule::setUp(bool newsSwitch) {
    timers_.startDelay = newsSwitch;
}

void NewsSchedule::switchTick(bool newsSwitch) {
    if (newsSwitch) {
        return;
    }
    timers_.startDelay = false;
    if (!userRequest_) {
        timers_.readinessCheck = false;
    }
}

bool NewsSchedule::startDelayEnded() {
    if (!timers_.startDelay) {
        return false;
    }
    timers_.startDelay = false;
    timers_.readinessCheck = true;
    return true;
}

void NewsSchedule::requestedByUser() {
    // The menu's fetch replaces the one still waiting.
    timers_.startDelay = false;
    timers_.readinessCheck = true;
    userRequest_ = true;
}

int NewsSchedule::readinessTick(const NewsRecord& record, bool fetchRunning) {
    if (!timers_.readinessCheck) {
        return 0;
    }
    if (!record.items[0].title.empty()) {
        timers_.readinessCheck = false;
        userRequest_ = false;
        itemToShow_ = 1;
        return itemToShow_;
    }
    if (!fetchRunning) {
        timers_.readinessCheck = false;
        userRequest_ = false;
    }
    return 0;
}

int chooseNewsItem(int itemToShow, const NewsRecord& record) {
    if (itemToShow >= 1 && itemToShow <= static_cast<int>(kNewsItems)) {
        return itemToShow;
    }
    return record.items[0].title.empty() ? 0 : 1;
}

NewsArea newsWindowPlace(const NewsArea& available, int risen) {
    risen = std::clamp(risen, 0, kNewsRisePixels);
    return {available.x + available.width - kNewsWindowWidth,
            available.y + available.height - risen, kNewsWindowWidth, kNewsWindowHeight};
}

double newsFadeIn(uint32_t elapsedMs) {
    return std::min<double>(1.0, static_cast<double>(elapsedMs) / kNewsFadeMs);
}

}  // namespace qv::online
