// What the window tests share: a scripted prompt, and a machine of its own for one start of the
// application (program folder, settings, lock folder and simulator state in temporary folders).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/CQuorvelHDApp.h"
#include "platform/DataFolder.h"
#include "platform/ProgramLocation.h"
#include "platform/Prompt.h"
#include "platform/SingleInstance.h"
#include "settings/FileRegistryStore.h"
#include "support/ScopedEnvironment.h"
#include "support/SimHarness.h"
#include "ui/QtFonts.h"

namespace qv::test {

// Answers prompts from a script and records what was asked.
class ScriptedPrompt final : public platform::Prompt {
public:
    struct Shown {
        std::string caption;
        std::string text;
        platform::PromptIcon icon;
        platform::PromptButtons buttons;
    };

    void answerNext(platform::PromptAnswer answer) { answers_.push_back(answer); }

    platform::PromptAnswer show(const std::string& caption, const std::string& text,
                                platform::PromptIcon icon,
                                platform::PromptButtons buttons) override {
        shown.push_back({caption, text, icon, buttons});
        if (answers_.empty()) {
            return platform::dismissedAnswer(buttons);
        }
        const platform::PromptAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    std::vector<Shown> shown;

private:
    std::deque<platform::PromptAnswer> answers_;
};

// One start of the application on a machine of its own. The current folder is put back
// afterwards, since start-up changes it.
class AppMachine {
public:
    AppMachine()
        : store(settings::StorePaths{config.file("settings.conf"),
                                     config.file("autostart/quorvel.desktop")}) {
        char buffer[4096];
        savedFolder_ = getcwd(buffer, sizeof(buffer)) != nullptr ? buffer : ".";
        environment.set("QUORVEL_SIM_STATE_DIR", simState.path());
        environment.clear("QUORVEL_SIM_CONFIG");
        environment.set(settings::kConfigFolderEnvironment, config.path());
        environment.set(platform::kDataFolderEnvironment, data.path());
    }
    ~AppMachine() {
        if (chdir(savedFolder_.c_str()) != 0) {
            ADD_FAILURE() << "cannot return to " << savedFolder_;
        }
    }
    AppMachine(const AppMachine&) = delete;
    AppMachine& operator=(const AppMachine&) = delete;

    // Services over the simulated driver (or `driverLibrary`), this machine's folders, the
    // scripted prompt and the real Qt fonts.
    app::AppServices services(const std::string& driverLibrary = simLibraryPath()) {
        app::AppServices s;
        s.driverLibrary = driverLibrary;
        s.simulatedDriver = driverLibrary == simLibraryPath();
        s.gpu.workingFolder = ".";
        s.store = &store;
        s.prompt = &prompt;
        s.fonts = &fonts;
        s.programFolder = program.path();
        s.programPath = program.file("quorvel");
        return s;
    }

    std::string currentFolder() const {
        char buffer[4096];
        return getcwd(buffer, sizeof(buffer)) != nullptr ? buffer : "";
    }

    TempDir program;
    TempDir config;
    TempDir data;
    TempDir lock;
    TempDir simState;
    ScopedEnvironment environment;
    settings::FileRegistryStore store;
    ScriptedPrompt prompt;
    ui::QtFontProvider fonts;

private:
    std::string savedFolder_;
};

// Adds `option` to the address sanitizer's options of a child process, after those this test
// program runs under (a build without the sanitizer ignores them).
inline void addSanitizerOption(std::map<std::string, std::string>& env, const char* option) {
    const char* inherited = std::getenv("ASAN_OPTIONS");
    std::string options = inherited != nullptr ? inherited : "";
    if (!options.empty()) {
        options += ':';
    }
    env["ASAN_OPTIONS"] = options + option;
}

// Folders of their own for one start of the window program as a separate process: settings,
// the instance lock, the simulator's state, its data files, its run-time folder and what it
// writes out; and the environment that points it there.
struct ProgramMachine {
    std::map<std::string, std::string> environment(bool debug = false) const {
        std::map<std::string, std::string> env = {
            {"QT_QPA_PLATFORM", "offscreen"},
            {settings::kConfigFolderEnvironment, config.path()},
            {platform::kInstanceFolderEnvironment, lock.path()},
            {"QUORVEL_SIM_STATE_DIR", simState.path()},
            {"QUORVEL_SIM_CONFIG", ""},
            {"XDG_RUNTIME_DIR", runtime.path()},
            {platform::kDataFolderEnvironment, data.path()},
        };
        if (debug) {
            env["QUORVEL_DEBUG"] = "1";
        }
        return env;
    }
    TempDir config;
    TempDir lock;
    TempDir simState;
    TempDir output;
    TempDir runtime;
    TempDir data;
};

}  // namespace qv::test
