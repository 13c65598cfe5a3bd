// When the news is fetched and shown. With the news option on, the main window fetches a short
// while after start-up and then checks every second whether item 1 has a title; the first time it
// has, the news window opens and the check stops. The tray menu's News entry asks for the same at
// once. The option's own timer (every second) stops the automatic fetch and check while the
// option is off; what the user asked for from the menu still ends.
#pragma once

#include <cstdint>
#include <string>

#include "online/NewsFile.h"

namespace qv::online {

// Id and period of the timer that follows the news option.
inline constexpr int kNewsSwitchTimerId = 44;
inline constexpr uint32_t kNewsSwitchPeriodMs = 1000;
// How long after start-up the automatic fetch begins, so the program's start is not slowed.
inline constexpr uint32_t kNewsStartDelayMs = 15000;
inline constexpr uint32_t kNewsCheckPeriodMs = 1000;

struct NewsTimers {
    bool startDelay = false;      // the automatic fetch is waiting for its moment
    bool readinessCheck = false;  // checking every kNewsCheckPeriodMs whether item 1 is there
    bool operator==(const NewsTimers&) const = default;
};

class NewsSchedule {
public:
    // The main window was set up.
    void setUp(bool newsSwitch);
    // The option's timer: with the option off the automatic timers stop.
    void switchTick(bool newsSwitch);
    // The start delay has passed: true when the fetch is to start now.
    bool startDelayEnded();
    // The tray menu's News entry: the fetch is to start now (true when it was not already
    // waiting for one).
    void requestedByUser();
    // The readiness check's tick: the item to open the news window with (1), or 0. Once item 1
    // has a title the check stops; it stops too when the fetch has ended without one.
    int readinessTick(const NewsRecord& record, bool fetchRunning);

    const NewsTimers& timers() const { return timers_; }
    // The item the news window shows (process-wide in the window program): 1..3, or 0.
    int itemToShow() const { return itemToShow_; }

private:
    NewsTimers timers_;
    bool userRequest_ = false;
    int itemToShow_ = 0;
};

// The item the news window shows for `itemToShow`: that item when it is 1, 2 or 3; otherwise
// item 1 when its title is not empty; 0 when there is none to show.
int chooseNewsItem(int itemToShow, const NewsRecord& record);

// The news window's size and motion: it rises from the bottom-right corner of the screen's
// available area one pixel per 1 ms tick until it has risen 151 pixels, fading in over 1000 ms;
// closing fades it out over 1000 ms.
inline constexpr int kNewsWindowWidth = 300;
inline constexpr int kNewsWindowHeight = 150;
inline constexpr int kNewsRisePixels = 151;
inline constexpr uint32_t kNewsRiseTickMs = 1;
inline constexpr uint32_t kNewsFadeMs = 1000;

struct NewsArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const NewsArea&) const = default;
};

// The window's place after it has risen `risen` pixels (0..151) in the available area.
NewsArea newsWindowPlace(const NewsArea& available, int risen);
// Opacity 0..1 `elapsedMs` into a fade in (or 1 minus it for a fade out).
double newsFadeIn(uint32_t elapsedMs);

}  // namespace qv::online
