#include "app/UserSettingsProfiles.h"

namespace qv::app {

UserSettingsProfileStore::UserSettingsProfileStore(gpu::GpuLayer& layer,
                                                   UserSettingsFile& userSettings)
    : layer_(layer), userSettings_(userSettings) {}

int UserSettingsProfileStore::saveProfile(const std::string& path) {
    const UserSettingsState& state = userSettings_.state();
    return writeUserSettings(layer_, state.horizonValue, state.verticalValue, path);
}

int UserSettingsProfileStore::loadProfile(const std::string& path) {
    const int status =
        readAndApplyUserSettings(layer_, userSettings_.clock(), userSettings_.state(), path);
    userSettings_.clock().sleepMs(settings::kProfileLoadPauseMs);
    return status;
}

}  // namespace qv::app
