// Writing the cards' hardware settings to the user settings file (or a profile file) and putting
// them back: clocks per mode, GPU voltage, fan work mode and level, alarm temperature.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/UserSettingsApplier.h"
#include "app/UserSettingsFormat.h"
#include "app/UserSettingsRecord.h"
#include "gpu/GpuLayer.h"
#include "platform/Clock.h"

namespace qv::app {

inline constexpr int kUserSettingsOk = 0;
inline constexpr int kUserSettingsFileError = -1;  // cannot be created, loaded or deleted

// The file's text for every GPU of the layer as the cards are now, without the byte-order mark.
// Lines whose value cannot be read are left out; the fan work mode, fan speed and alarm
// temperature are written with their presets (255, 40, 90) instead.
std::u16string userSettingsText(gpu::GpuLayer& layer, int32_t horizonValue, int32_t verticalValue);
// The bytes of a file: the byte-order mark and the text, UTF-16LE.
std::string encodeUserSettingsFile(std::u16string_view text);

// Writes a text made by userSettingsText as the whole file (a temporary file beside it, renamed
// over it). kUserSettingsOk, or kUserSettingsFileError when it cannot be written; the old file
// is then as it was.
int writeUserSettingsText(std::u16string_view text, const std::string& path);
// The cards' current settings written with writeUserSettingsText.
int writeUserSettings(gpu::GpuLayer& layer, int32_t horizonValue, int32_t verticalValue,
                      const std::string& path = kUserSettingsFileName);

// Reads the file and applies every section whose Id matches its GPU; fills `state` (the records
// of the first three GPUs, the two shared values). kUserSettingsOk, also when nothing matched;
// kUserSettingsFileError only when the file cannot be loaded. The clock paces the fan changes.
// Waits for the layer's background probe first, which may be driving a fan when start-up
// applies the file.
int readAndApplyUserSettings(gpu::GpuLayer& layer, platform::Clock& clock, UserSettingsState& state,
                             const std::string& path = kUserSettingsFileName);

// What leaving the program does with the file: with the restore option on, the file is written;
// with it off, the file is deleted (a file that is not there is fine).
int saveOrDeleteUserSettings(gpu::GpuLayer& layer, bool restoreUserSettings, int32_t horizonValue,
                             int32_t verticalValue,
                             const std::string& path = kUserSettingsFileName);

// The user settings file as the application keeps it: start-up applies it through the
// UserSettingsApplier interface, the hide button and "Quit" save or delete it, and the records
// and the two shared values stay here for the window.
class UserSettingsFile final : public UserSettingsApplier {
public:
    explicit UserSettingsFile(platform::Clock& clock = platform::SystemClock::instance(),
                              std::string path = kUserSettingsFileName);

    // Start-up (and "OnlyApplySettings"): reads the file and applies it.
    int applySavedSettings(gpu::GpuLayer& layer) override;
    // Writes the file with the cards' current values and the two shared values kept here.
    int save(gpu::GpuLayer& layer);
    // Hide button and "Quit": save with the restore option on, delete the file with it off.
    int saveOrDelete(gpu::GpuLayer& layer, bool restoreUserSettings) override;

    UserSettingsState& state() { return state_; }
    const UserSettingsState& state() const { return state_; }
    const std::string& path() const { return path_; }
    platform::Clock& clock() { return clock_; }

private:
    platform::Clock& clock_;
    std::string path_;
    UserSettingsState state_;
};

}  // namespace qv::app
