// Our overlay on the desktop: the overlay line in an outlined font, in a frameless window that
// stays on top and takes no focus. By default it stands near the top-left corner of the screen
// the main window is on, clear of the main window. It lets every click through to the windows
// below, except while one of the program's own windows is the active window: then it shows a
// faint backdrop and can be dragged with the left mouse button, and the place it is dropped at
// is kept for the next start. The same text goes into the shared overlay record, where an
// in-game renderer can take it.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/OverlayShared.h"
#include "settings/RegistrySettings.h"
#include "settings/RegistryStore.h"
#include "tuning/OverlayPlacement.h"
#include "tuning/SamplingLoop.h"

namespace qv::ui {

class OverlayWindow final : public QWidget, public tuning::OverlaySink {
public:
    // `shared` may be null or closed: then the text is only shown here. The place the user
    // chose is read from `settings` and a new one written to `store` and `settings`; without
    // them a place chosen by dragging lasts for this run.
    explicit OverlayWindow(platform::OverlayShared* shared,
                           settings::RegistryStore* store = nullptr,
                           settings::RegistrySettings* settings = nullptr,
                           QWidget* parent = nullptr);

    // Hands the text to the shared record and shows it; an empty text hides the window.
    void setOverlayText(const std::string& text) override;

    // The window the line keeps clear of by default (the main window).
    void setAvoidedWindow(QWidget* window) { avoided_ = window; }
    // Whether the line takes the mouse and can be dragged; follows whether one of the program's
    // windows is active.
    void setMovable(bool movable);
    bool movable() const { return placement_.movable(); }
    const tuning::OverlayPlacement& placement() const { return placement_; }
    // Puts the window where the placement says (the user's place, else the default place).
    void followPlacement();

    // The text as drawn: the carriage return before "C" made a degree sign.
    const QString& shownText() const { return shownText_; }
    // The overlay line as drawn from the overlay text.
    static QString displayText(const std::string& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void placeAndSize();
    // The screens, the primary one first, and the avoided window's frame, as the rules take them.
    std::vector<tuning::OverlayScreen> screens() const;
    tuning::OverlayRect avoidedFrame() const;
    tuning::OverlaySize lineSize() const;

    platform::OverlayShared* shared_;
    tuning::OverlayPlacement placement_;
    QPointer<QWidget> avoided_;
    QString shownText_;
};

}  // namespace qv::ui
