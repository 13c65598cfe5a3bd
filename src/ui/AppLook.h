// One look for every window of the program: the main window's dark colours become the
// application's palette on the Fusion style, so message boxes, file choosers and dialogs match
// the main window instead of following the desktop's (often light) theme.
#pragma once

class QApplication;

namespace qv::ui {

void applyAppLook(QApplication& application);

}  // namespace qv::ui
