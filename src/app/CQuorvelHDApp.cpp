#include "app/CQuorvelHDApp.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/DataFolder.h"
#include "platform/DebugOutput.h"
#include "platform/ProgramLocation.h"
#include "settings/FileRegistryStore.h"
#include "settings/StartArguments.h"

namespace qv::app {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

std::unique_ptr<settings::RegistryStore> makeStoreIfMissing(settings::RegistryStore* given) {
    return given != nullptr ? nullptr : std::make_unique<settings::FileRegistryStore>();
}

std::unique_ptr<platform::SingleInstance> makeInstanceIfMissing(platform::SingleInstance* given) {
    return given != nullptr ? nullptr : std::make_unique<platform::PosixSingleInstance>();
}

// Where the data files go when no data folder can be used.
constexpr const char* kCurrentFolder = ".";

}  // namespace

CQuorvelHDApp::CQuorvelHDApp(AppServices services)
    : services_(std::move(services)),
      ownStore_(makeStoreIfMissing(services_.store)),
      ownInstance_(makeInstanceIfMissing(services_.instance)),
      store_(services_.store != nullptr ? services_.store : ownStore_.get()),
      instance_(services_.instance != nullptr ? services_.instance : ownInstance_.get()),
      programFolder_(services_.programFolder),
      programPath_(services_.programPath),
      loader_(services_.driverLibrary, *services_.gpu.clock),
      layer_(loader_, services_.gpu) {
    if (programPath_.empty()) {
        programPath_ = platform::executablePath();
    }
    if (programFolder_.empty()) {
        programFolder_ = platform::folderOf(programPath_);
    }
    if (!services_.fanGuardProgram.empty() && services_.launcher != nullptr) {
        fanGuard_ = std::make_unique<FanGuardClient>(*services_.launcher,
                                                     services_.fanGuardProgram,
                                                     services_.driverLibrary);
    }
    settings::loadRegistrySettings(*store_, settings_);
}

CQuorvelHDApp::~CQuorvelHDApp() {
    layer_.waitForProbe();
}

platform::PromptAnswer CQuorvelHDApp::showMessage(int textRow, platform::PromptIcon icon,
                                                  platform::PromptButtons buttons) {
    if (services_.prompt == nullptr) {
        return platform::dismissedAnswer(buttons);
    }
    const lang::CMultiLangSupp& texts = lang::languageTable();
    return services_.prompt->show(texts.text(lang::kTextAppName), texts.text(textRow), icon,
                                  buttons);
}

void CQuorvelHDApp::enterDataFolder() {
    dataFolder_ = services_.dataFolder.empty() ? platform::userDataFolder() : services_.dataFolder;
    if (dataFolder_.empty()) {
        // Nowhere to keep them: the files go to the folder the program was started in.
        std::fprintf(stderr, "quorvel: no data folder (HOME is not set); files the program saves "
                             "go to the current folder\n");
        dataFolder_ = kCurrentFolder;
        return;
    }
    const int made = platform::makeDataFolder(dataFolder_);
    if (made != 0 || !platform::setCurrentFolder(dataFolder_)) {
        std::fprintf(stderr, "quorvel: cannot use the data folder %s (%s); files the program "
                             "saves go to the current folder\n",
                     dataFolder_.c_str(), std::strerror(made != 0 ? made : errno));
        dataFolder_ = kCurrentFolder;
    }
}

void CQuorvelHDApp::tellOfUnreadableStore() {
    const settings::UnreadableStore unreadable = store_->unreadableStore();
    if (!unreadable.found || settings_.launchMode == settings::kStartModeOnlyApplySettings ||
        services_.prompt == nullptr) {
        return;
    }
    std::string text = "The settings file could not be read, so the options start from their "
                       "default values.\n";
    text += unreadable.savedAside
                ? "The old file was kept as " + unreadable.keptAs + "."
                : "The file " + unreadable.keptAs +
                      " was left as it is; changes are kept for this run only.";
    services_.prompt->show(lang::languageTable().text(lang::kTextAppName), text,
                           platform::PromptIcon::kWarning, platform::PromptButtons::kOk);
}

bool CQuorvelHDApp::endStartup(StartupEnd end) {
    startupEnd_ = end;
    return false;
}

bool CQuorvelHDApp::InitInstance(const std::vector<std::string>& commandLine) {
    // 1. Relative file names of the program's data files resolve against the user's data folder.
    enterDataFolder();

    // 2. The start word.
    settings_.launchMode = settings::parseCommandLine(commandLine);

    // 3. One instance per machine.
    const int instance = instance_->acquire();
    if (instance == platform::kInstanceBroughtForward) {
        return endStartup(StartupEnd::kOtherInstance);
    }
    if (instance != platform::kInstanceOnly) {
        showMessage(lang::kTextStartedByOtherUser, platform::PromptIcon::kError,
                    platform::PromptButtons::kOk);
        return endStartup(StartupEnd::kInstanceUnavailable);
    }

    // A settings store that could not be read was kept aside and the options started on their
    // defaults; the user hears of it once, unless nobody is there to read it (apply and quit).
    tellOfUnreadableStore();

    // 4. The hardware layer, told which thread is the user-interface thread.
    hardwareStatus_ = layer_.initialize();
    layer_.setUiThreadId(platform::currentThreadId());

    if (hardwareStatus_ != gpu::kInitOk) {
        // 5. Driver or system not usable.
        showMessage(hardwareStatus_ == gpu::kInitUnsupportedSystem ? lang::kTextUnsupportedSystem
                                                                   : lang::kTextHardwareFailed,
                    platform::PromptIcon::kError, platform::PromptButtons::kOk);
        if (settings_.launchMode != settings::kStartModeNone) {
            // Started with a word, normally at logon: the user decides whether to try again at
            // the next one.
            if (showMessage(lang::kTextRunAtNextReboot, platform::PromptIcon::kQuestion,
                            platform::PromptButtons::kYesNo) == platform::PromptAnswer::kNo) {
                settings::deleteRunEntry(*store_);
            }
            return endStartup(StartupEnd::kHardwareFailure);
        }
        // Without a word the window still opens, without working cards.
    } else {
        // 6. The saved hardware settings go back on the cards.
        if (settings_.restoreUserSettings && services_.userSettings != nullptr) {
            const int restored = services_.userSettings->applySavedSettings(layer_);
            if (restored != 0) {
                platform::debugOutput("start-up: saved settings not applied (%d)\n", restored);
            }
        }
        if (settings_.launchMode == settings::kStartModeOnlyApplySettings) {
            return endStartup(StartupEnd::kOnlyApplySettings);
        }
    }

    // 7. The display fonts; the window opens without them too.
    fontsReady_ = services_.fonts != nullptr && setUpFonts(*services_.fonts, programFolder_) == 0;
    if (!fontsReady_) {
        showMessage(lang::kTextAddFontFailed, platform::PromptIcon::kError,
                    platform::PromptButtons::kOk);
    }

    // 8 and 9. The main window, until it ends.
    if (services_.window == nullptr) {
        return endStartup(StartupEnd::kNoWindow);
    }
    windowResult_ = services_.window->runMainWindow(*this);
    return endStartup(StartupEnd::kWindowEnded);
}

int CQuorvelHDApp::keepUserSettingsAtExit() {
    if (startupEnd_ != StartupEnd::kWindowEnded) {
        return 0;
    }
    return keepUserSettings();
}

int CQuorvelHDApp::keepUserSettings() {
    if (gpuLayer().gpuCount() == 0 || services_.userSettings == nullptr) {
        return 0;
    }
    const int status =
        services_.userSettings->saveOrDelete(gpuLayer(), settings_.restoreUserSettings);
    if (status != 0 && settings_.restoreUserSettings && services_.prompt != nullptr) {
        // The user asked for the settings to come back at the next start: a save that failed
        // must not pass unnoticed.
        services_.prompt->show(lang::languageTable().text(lang::kTextAppName),
                               "The hardware settings could not be saved for the next start.\n"
                               "Folder: " + dataFolder_,
                               platform::PromptIcon::kWarning, platform::PromptButtons::kOk);
    }
    return status;
}

int CQuorvelHDApp::exitCode() const {
    switch (startupEnd_) {
        case StartupEnd::kWindowEnded:
            return windowResult_ == 0 ? kExitOk : kExitFailure;
        case StartupEnd::kOtherInstance:
        case StartupEnd::kOnlyApplySettings:
            return kExitOk;
        case StartupEnd::kNotStarted:
        case StartupEnd::kInstanceUnavailable:
        case StartupEnd::kHardwareFailure:
        case StartupEnd::kNoWindow:
            break;
    }
    return kExitFailure;
}

}  // namespace qv::app
