// The profile buttons of the main window: five numbered slots, the save button beside them, and
// "Profile", which opens the profile dialog. The save button arms a save and makes the slots
// blink until one is pressed; that slot is saved, any other press of a slot loads it. The
// machine behind the buttons is ProfileSlots.
//
// After every load (a slot's or the dialog's), also a failed one, the loaded handler runs
// kProfileLoadPauseMs later: the window then shows and applies the loaded settings. A save or
// load that fails is reported in a message.
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "platform/FileChooser.h"
#include "platform/Prompt.h"
#include "settings/Profiles.h"
#include "ui/QtPrompt.h"
#include "lang/CMultiLangSupp.h"

class QPushButton;

namespace qv::ui {

class ProfileBar final : public QWidget {
public:
    ProfileBar(settings::ProfileSlots& slots, settings::ProfileStore& store,
               const lang::CMultiLangSupp& texts, platform::FileChooser& chooser,
               QWidget* parent = nullptr);

    // Where failures are reported; message boxes of the bar's own until this is called.
    void setPrompt(platform::Prompt& prompt) { prompt_ = &prompt; }
    // The Apply run disables the save button while it runs.
    void setSaveEnabled(bool enabled);
    void setLoadedHandler(std::function<void()> handler) { loadedHandler_ = std::move(handler); }

    // The buttons' work, also for callers without a click.
    void pressSave();
    void pressSlot(int slot);
    void openProfileDialog();

    // Whether the slot buttons show their second image now (blinking).
    bool slotsLit() const { return slots_.blinkLit(); }
    const QTimer& blinkTimer() const { return blinkTimer_; }

private:
    void blinkTick();
    void showBlink();
    void scheduleLoaded();

    settings::ProfileSlots& slots_;
    settings::ProfileStore& store_;
    const lang::CMultiLangSupp& texts_;
    platform::FileChooser& chooser_;
    QtPrompt ownPrompt_;
    platform::Prompt* prompt_ = &ownPrompt_;
    std::function<void()> loadedHandler_;
    std::array<QPushButton*, settings::kProfileLastSlot> slotButtons_{};
    QPushButton* saveButton_ = nullptr;
    QPushButton* profileButton_ = nullptr;
    // The window's timer kProfileBlinkTimerId.
    QTimer blinkTimer_;
};

}  // namespace qv::ui
