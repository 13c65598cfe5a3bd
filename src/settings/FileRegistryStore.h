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
#include "settings/RegistryStoreFile.h"

namespace qv::settings {

inline constexpr const char* kConfigFolderEnvironment = "QUORVEL_CONFIG_DIR";
inline constexpr const char* kSettingsFileName = "settings.conf";
// A settings file that cannot be read is renamed to "settings.conf.unreadable-<time stamp>".
inline constexpr const char* kUnreadableSettingsTag = "unreadable";

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
    bool readText(std::string_view name, std::string& text) override;
    bool writeText(std::string_view name, std::string_view text) override;
    bool readRunEntry(std::string& commandText) override;
    bool writeRunEntry(const std::string& programPath, const std::string& word) override;
    bool deleteRunEntry() override;

    UnreadableStore unreadableStore() const override { return unreadable_; }

    const StorePaths& paths() const { return paths_; }

private:
    // The values now in the store. A file that is there but cannot be read is never
    // overwritten: it is renamed aside and the store starts again without it, or, when it
    // cannot be moved, the values live in memory for the rest of the run.
    RegistryStoreFile load();
    void setAside(int readError);
    // Reads the file again, lets `change` edit it and writes it back whole.
    template <typename Change>
    bool update(Change change);

    StorePaths paths_;
    UnreadableStore unreadable_;
    bool inMemory_ = false;
    RegistryStoreFile memory_;
};

}  // namespace qv::settings
