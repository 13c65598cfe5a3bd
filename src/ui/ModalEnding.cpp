#include "ui/ModalEnding.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace qv::ui {

namespace {

// The user-interface thread only.
bool ending = false;

}  // namespace

void endModalWindows() {
    ending = true;
    // Closing one window can close others with it (its children), so the list is watched.
    std::vector<QPointer<QDialog>> open;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog->isVisible()) {
            open.emplace_back(dialog);
        }
    }
    for (const QPointer<QDialog>& dialog : open) {
        if (!dialog.isNull()) {
            // Leaves the dialog's own loop with "rejected", as the window's close button does.
            dialog->done(QDialog::Rejected);
        }
    }
}

bool programEnding() {
    return ending;
}

void clearProgramEnding() {
    ending = false;
}

}  // namespace qv::ui
