// Our overlay on the desktop: the overlay line in an outlined font in the top-left corner of the
// screen, in a frameless window that stays on top, takes no focus and lets every click through
// to the windows below it. The same text goes into the shared overlay record, where an in-game
// renderer can take it.
#pragma once

#include <QString>
#include <QWidget>
#include <string>

#include "platform/OverlayShared.h"
#include "tuning/SamplingLoop.h"

namespace qv::ui {

class OverlayWindow final : public QWidget, public tuning::OverlaySink {
public:
    // `shared` may be null or closed: then the text is only shown here.
    explicit OverlayWindow(platform::OverlayShared* shared, QWidget* parent = nullptr);

    // Hands the text to the shared record and shows it; an empty text hides the window.
    void setOverlayText(const std::string& text) override;

    // The text as drawn: the carriage return before "C" made a degree sign.
    const QString& shownText() const { return shownText_; }
    // The overlay line as drawn from the overlay text.
    static QString displayText(const std::string& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void placeAndSize();

    platform::OverlayShared* shared_;
    QString shownText_;
};

}  // namespace qv::ui
