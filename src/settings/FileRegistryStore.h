// The registry on a desktop without one: the values in a small text file under the user's
// configuration folder, the Run entry as an autostart file.
//
//   $QUORVEL_CONFIG_DIR/settings.conf           when QUORVEL_CONFIG_DIR is set (tests, portable
//   $QUORVEL_CONFIG_DIR/autostart/quorvel.desktop   installs), else
//   $XDG_CONFIG_HOME/quorvel/settings.conf      ($XDG_CONFIG_HOME defaults to ~/.config)
//   $XDG_CONFIG_HOME/autostart/quorvel.desktop
#pragma once

#include <string>

#include "settings/RegistryStore.h"

namespace qv::settings {

inline constexpr const char* kConfigFolderEnvironment = "QUORVEL_CONFIG_DIR";
inline constexpr const char* kSettingsFileName = "settings.conf";

struct StorePaths {
    std::string settingsFile;  // empty: no place to keep values (every read and write fails)
    std::string autostartFile;
};

// The paths from the environment, as listed above.
StorePaths defaultStorePaths();

class FileRegistryStore final : public RegistryStore {
public:
    explicit FileRegistryStore(StorePaths paths = defaultStorePaths());

    bool readValue(std::string_view name, uint32_t& value) override;
    bool writeValue(std::string_view name, uint32_t value) override;
    bool readRunEntry(std::string& commandText) override;
    bool writeRunEntry(const std::string& programPath, const std::string& word) override;
    bool deleteRunEntry() override;

    const StorePaths& paths() const { return paths_; }

private:
    StorePaths paths_;
};

}  // namespace qv::settings
