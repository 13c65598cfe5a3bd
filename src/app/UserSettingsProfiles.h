// Profile files through the user settings file's writer and reader: what the profile slot
// buttons and the profile dialog save and load.
#pragma once

#include <string>

#include "app/UserSettingsFile.h"
#include "gpu/GpuLayer.h"
#include "settings/Profiles.h"

namespace qv::app {

class UserSettingsProfileStore final : public settings::ProfileStore {
public:
    // The application's user settings file gives the two shared values, takes the records read
    // from a profile and paces the load with its clock.
    UserSettingsProfileStore(gpu::GpuLayer& layer, UserSettingsFile& userSettings);

    // Writes the cards' current settings to `path`.
    int saveProfile(const std::string& path) override;
    // Reads `path` and applies it to the cards, then pauses kProfileLoadPauseMs before the
    // window shows the loaded settings.
    int loadProfile(const std::string& path) override;

private:
    gpu::GpuLayer& layer_;
    UserSettingsFile& userSettings_;
};

}  // namespace qv::app
