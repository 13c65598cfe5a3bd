// Ending the program while a modal window runs its own event loop. A modal window (the alarm
// window, a message box, a file chooser) keeps the main loop from returning until it closes, so
// a request to end the program closes every open one first, and no new one opens afterwards:
// the program then ends at once, through its normal exit steps.
#pragma once

namespace qv::ui {

// Marks the program as ending and closes every open modal window as if it was dismissed.
void endModalWindows();
// Set once endModalWindows() ran: prompts answer as dismissed and the alarm window stays shut.
bool programEnding();
// A new run of the main window starts with no ending requested.
void clearProgramEnding();

}  // namespace qv::ui
