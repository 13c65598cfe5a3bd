// The temperature alarm's window: the alarm text and an OK button, modal. Only one is ever
// open; the alarm asks again on every tick while the card stays hot, and those asks are
// dropped while the window is up.
#pragma once

#include <QDialog>
#include <QString>

namespace qv::ui {

class CIndicateInstDialog final : public QDialog {
public:
    // Whether an alarm window is open now.
    static bool isOpen();
    // Opens the window with `text` and waits until it is closed; returns at once, doing
    // nothing, while another one is open or the program is ending. The window survives nothing
    // of `parent`: when the parent goes away the window closes with it and this returns.
    static void showAlarm(const QString& text, QWidget* parent);

private:
    CIndicateInstDialog(const QString& text, QWidget* parent);
};

}  // namespace qv::ui
