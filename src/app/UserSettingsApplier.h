// Puts the saved hardware settings (UserSettings.txt) back on the cards at start-up, and keeps
// the cards' settings for the next start on the way out.
//
// UserSettingsFile (app/UserSettingsFile.h) is the program's applier. Start-up given no applier
// leaves the restore step out, so nothing is restored and "OnlyApplySettings" applies nothing.
#pragma once

#include "gpu/GpuLayer.h"

namespace qv::app {

class UserSettingsApplier {
public:
    virtual ~UserSettingsApplier() = default;
    // Reads the file and applies it to the cards. 0 on success, negative on failure.
    virtual int applySavedSettings(gpu::GpuLayer& layer) = 0;
    // Saves the cards' settings for the next start, or removes the file when the user does not
    // want them restored. 0 on success, negative on failure.
    virtual int saveOrDelete(gpu::GpuLayer& layer, bool restoreUserSettings) = 0;
};

}  // namespace qv::app
