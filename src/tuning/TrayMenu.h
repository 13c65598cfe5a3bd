// The program's life in the notification area: the tray icon's menu, what hiding the window
// does, and Quit, the one way the program ends on the user's request.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "lang/CMultiLangSupp.h"

namespace qv::tuning {

inline constexpr uint32_t kTrayIconId = 110;
// The menu's commands.
inline constexpr uint32_t kTrayCommandMainWindow = 1260;
inline constexpr uint32_t kTrayCommandNews = 32777;
inline constexpr uint32_t kTrayCommandCheckForUpdate = 1670;
inline constexpr uint32_t kTrayCommandAbout = 32775;
inline constexpr uint32_t kTrayCommandQuit = 1261;
inline constexpr size_t kTrayMenuPositions = 7;

struct TrayMenuEntry {
    bool separator = false;
    uint32_t command = 0;
    std::string text;  // in the user's language
    bool enabled = false;
};

// Which windows the menu can open besides the main window and the about box.
struct TrayWindows {
    bool news = false;
    bool update = false;
};

// The seven positions of the menu, separators at 2 and 5. News and Check for update are disabled
// while their windows are missing.
std::array<TrayMenuEntry, kTrayMenuPositions> trayMenu(const lang::CMultiLangSupp& texts,
                                                       TrayWindows windows);

// What the hide button (or closing the window) does after the settings were kept: hide where the
// notification area can bring the window back, else minimise, so the window stays reachable.
enum class HideAction { kHide, kMinimize };
HideAction hideAction(bool notificationAreaAvailable);

// The about box's text: the program, its version, what it is.
std::string aboutText(const char* version);

// Quit's steps, carried out by the window.
class QuitSteps {
public:
    virtual ~QuitSteps() = default;
    virtual void removeTrayIcon() = 0;
    virtual void keepUserSettings() = 0;
    // The overlay record's show flag cleared and its exit flag set.
    virtual void stopOverlay() = 0;
    // The global hot keys are given back to the desktop.
    virtual void releaseHotKeys() = 0;
    virtual void endRun() = 0;
};

// Quit: ignored (false) while an Apply run is under way; otherwise the steps in order (true).
bool runQuit(bool applyRunning, QuitSteps& steps);

}  // namespace qv::tuning
