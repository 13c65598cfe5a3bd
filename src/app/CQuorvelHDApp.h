// The application object: the one hardware layer of the process, the stored options, the start
// mode and the display fonts, and the start-up sequence that brings the program from its start
// to the running main window.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/AppFonts.h"
#include "app/FanGuardClient.h"
#include "app/MainWindowHost.h"
#include "app/UserSettingsApplier.h"
#include "gpu/DriverLoader.h"
#include "gpu/GpuLayer.h"
#include "platform/Beeper.h"
#include "platform/FontProvider.h"
#include "platform/PowerOff.h"
#include "platform/Prompt.h"
#include "platform/SingleInstance.h"
#include "settings/RegistrySettings.h"
#include "settings/RegistryStore.h"

namespace qv::app {

// Language-table rows of the start-up messages.

// Where start-up ended.
enum class StartupEnd {
    kNotStarted,
    kWindowEnded,          // the main window ran and ended
    kOtherInstance,        // another instance of this user runs and was told to show itself
    kInstanceUnavailable,  // the machine-wide lock is another user's
    kHardwareFailure,      // driver or system not usable, started with a start word
    kOnlyApplySettings,    // "OnlyApplySettings" ended before any window
    kNoWindow,             // no window host was given
};

// What the application is built from. Missing store or single-instance objects are made with
// their defaults; without a prompt no message is shown (and each is taken as dismissed).
struct AppServices {
    std::string driverLibrary;     // the driver library to load
    bool simulatedDriver = false;  // the library is the simulated driver
    gpu::GpuLayerServices gpu;     // workingFolder stays "."; it is the program folder
    settings::RegistryStore* store = nullptr;
    platform::Prompt* prompt = nullptr;
    platform::SingleInstance* instance = nullptr;
    platform::FontProvider* fonts = nullptr;
    MainWindowHost* window = nullptr;
    UserSettingsApplier* userSettings = nullptr;  // none: the restore step is left out
    std::string programFolder;                    // empty: the executable's folder
    // The user's data folder, made the current folder at start; empty: the one the environment
    // names (see platform/DataFolder.h).
    std::string dataFolder;
    std::string programPath;                      // for the Run entry; empty: the executable's path
    // The temperature alarm's tone and power-off; none: no tone, and the machine is never
    // turned off (tests).
    platform::Beeper* beeper = nullptr;
    platform::PowerOff* powerOff = nullptr;
    // The fan guard's executable, started through `launcher` when a rule first drives a fan;
    // empty (or no launcher): no guard, and only the endings the process sees return the fans.
    std::string fanGuardProgram;
    platform::ProcessLauncher* launcher = nullptr;
};

class CQuorvelHDApp {
public:
    // Reads every stored option (the start-up load); nothing else happens yet.
    explicit CQuorvelHDApp(AppServices services);
    ~CQuorvelHDApp();
    CQuorvelHDApp(const CQuorvelHDApp&) = delete;
    CQuorvelHDApp& operator=(const CQuorvelHDApp&) = delete;

    // The start-up sequence. `commandLine` is the arguments after the program name, with the
    // driver options already taken off. Always false: the process ends when it returns.
    bool InitInstance(const std::vector<std::string>& commandLine);

    StartupEnd startupEnd() const { return startupEnd_; }
    // The process's exit code for how start-up ended: 0 when the window ended normally, another
    // instance was brought forward, or "OnlyApplySettings" finished; 1 otherwise.
    int exitCode() const;
    // On the way out: keeps the cards' settings for the next start (or removes the file when the
    // user does not want them restored). Only a window that ran on working cards has settings to
    // keep; otherwise the file from the last good run stays as it is. A save that fails is shown
    // to the user. The applier's status, or 0 when nothing was to be kept.
    int keepUserSettingsAtExit();
    // While the window runs (its hide button and Quit): keeps the cards' settings for the next
    // start or removes the file, as the restore option says. Nothing (0) without cards.
    // The applier's status.
    int keepUserSettings();

    int startMode() const { return settings_.launchMode; }
    // The hardware layer's initialisation result; -1 before it ran.
    int hardwareStatus() const { return hardwareStatus_; }
    bool hardwareReady() const { return hardwareStatus_ == gpu::kInitOk; }
    bool simulatedDriver() const { return services_.simulatedDriver; }
    bool fontsReady() const { return fontsReady_; }
    const std::array<FontDefinition, kFontCount>& fonts() const { return fonts_; }

    gpu::GpuLayer& gpuLayer() { return layer_; }
    // The loaded driver library, for the display tool's own display calls.
    drv::DriverLoader& driverLoader() { return loader_; }
    settings::RegistrySettings& settings() { return settings_; }
    settings::RegistryStore& registry() { return *store_; }
    platform::SingleInstance& singleInstance() { return *instance_; }
    const std::string& programFolder() const { return programFolder_; }
    // The folder the data files are kept in (the current folder after InitInstance; "." when
    // no data folder could be used); empty before InitInstance.
    const std::string& dataFolder() const { return dataFolder_; }
    const std::string& programPath() const { return programPath_; }

    // The services the main window passes on to its parts.
    platform::Prompt* prompt() const { return services_.prompt; }
    platform::Clock& clock() const { return *services_.gpu.clock; }
    platform::Poster* gpuPoster() const { return services_.gpu.poster; }
    platform::Beeper* beeper() const { return services_.beeper; }
    platform::PowerOff* powerOff() const { return services_.powerOff; }
    UserSettingsApplier* userSettings() const { return services_.userSettings; }
    // Where the main window reports the fans its rules drive; nullptr without a guard.
    tuning::FanGuardLink* fanGuard() const { return fanGuard_.get(); }

    // Says once, with a warning, that the settings store could not be read and where it is now.
    void tellOfUnreadableStore();
    // Makes the data folder (when missing) the current folder.
    void enterDataFolder();
    // Shows a language-table text with caption text 0.
    platform::PromptAnswer showMessage(int textRow, platform::PromptIcon icon,
                                       platform::PromptButtons buttons);

private:
    bool endStartup(StartupEnd end);

    AppServices services_;
    std::unique_ptr<settings::RegistryStore> ownStore_;
    std::unique_ptr<platform::SingleInstance> ownInstance_;
    settings::RegistryStore* store_;
    platform::SingleInstance* instance_;
    std::string programFolder_;
    std::string dataFolder_;
    std::string programPath_;
    settings::RegistrySettings settings_;
    drv::DriverLoader loader_;
    gpu::GpuLayer layer_;
    std::unique_ptr<FanGuardClient> fanGuard_;
    int hardwareStatus_ = -1;
    bool fontsReady_ = false;
    std::array<FontDefinition, kFontCount> fonts_ = kFontDefinitions;
    StartupEnd startupEnd_ = StartupEnd::kNotStarted;
    int windowResult_ = 0;
};

}  // namespace qv::app
