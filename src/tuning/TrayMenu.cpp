#include "tuning/TrayMenu.h"

#include "lang/LanguageRows.h"

namespace qv::tuning {

namespace {

TrayMenuEntry entry(const lang::CMultiLangSupp& texts, int row, uint32_t command, bool enabled) {
    return {false, command, texts.text(row), enabled};
}

}  // namespace

std::array<TrayMenuEntry, kTrayMenuPositions> trayMenu(const lang::CMultiLangSupp& texts,
                                                       TrayWindows windows) {
    const TrayMenuEntry separator{true, 0, {}, false};
    return {entry(texts, lang::kTextMainWindow, kTrayCommandMainWindow, true),
            entry(texts, lang::kTextNews, kTrayCommandNews, windows.news),
            separator,
            entry(texts, lang::kTextCheckForUpdate, kTrayCommandCheckForUpdate, windows.update),
            entry(texts, lang::kTextAbout, kTrayCommandAbout, true),
            separator,
            entry(texts, lang::kTextQuit, kTrayCommandQuit, true)};
}

HideAction hideAction(bool notificationAreaAvailable) {
    return notificationAreaAvailable ? HideAction::kHide : HideAction::kMinimize;
}

std::string aboutText(const char* version) {
    return std::string("Quorvel K ") + version +
           "\n\nTunes and monitors NVIDIA graphics cards: clocks per performance mode, "
           "P-state offsets, core voltage, power target and fan, with a live read-out of "
           "clocks, temperature, fan speed, voltage, load and board power.";
}

bool runQuit(bool applyRunning, QuitSteps& steps) {
    if (applyRunning) {
        return false;
    }
    steps.removeTrayIcon();
    steps.keepUserSettings();
    steps.stopOverlay();
    steps.releaseHotKeys();
    steps.endRun();
    return true;
}

}  // namespace qv::tuning
