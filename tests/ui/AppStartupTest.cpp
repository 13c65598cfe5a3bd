#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QLabel>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "UiTestSupport.h"
#include "app/UserSettingsFile.h"
#include "gpu/GpuLayerTestSupport.h"
#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/ProgramLocation.h"
#include "platform/SingleInstance.h"
#include "settings/RegistryValues.h"
#include "settings/RegistryStoreFile.h"
#include "support/ChildProcess.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/QtMainWindowHost.h"
#include "ui/QuorvelTray.h"

namespace qv::test {
namespace {

using namespace std::chrono_literals;
using app::CQuorvelHDApp;
using app::StartupEnd;
using platform::PromptAnswer;
using platform::PromptButtons;
using platform::PromptIcon;

constexpr const char* kMissingDriver = "/nonexistent/libnvidia-api.so.1";

const char* text(int row) {
    return lang::languageTable().text(row);
}

// What the window looked like when it came up.
struct WindowSeen {
    bool ran = false;
    bool visible = false;
    bool minimized = false;
    std::vector<std::string> selector;
    bool selectorEnabled = false;
};

ui::QtMainWindowOptions recordAndEnd(WindowSeen& seen) {
    ui::QtMainWindowOptions options;
    options.afterShown = [&seen](ui::CQuorvelHDDlg& window) {
        seen.ran = true;
        seen.visible = window.isVisible();
        seen.minimized = window.isMinimized();
        auto* selector = window.findChild<QComboBox*>("gpuSelector");
        if (selector != nullptr) {
            for (int i = 0; i < selector->count(); ++i) {
                seen.selector.push_back(selector->itemText(i).toStdString());
            }
            seen.selectorEnabled = selector->isEnabled();
        }
        window.endDialog(0);
    };
    return options;
}

// Records what the application asks of the user settings file.
struct RecordingUserSettings final : app::UserSettingsApplier {
    int applySavedSettings(gpu::GpuLayer&) override { return 0; }
    int saveOrDelete(gpu::GpuLayer&, bool restore) override {
        kept.push_back(restore);
        return 0;
    }
    std::vector<bool> kept;
};

// One start on `machine` whose window ends as soon as it runs, with the real settings file.
struct WindowRun {
    explicit WindowRun(AppMachine& machine) : instance(machine.lock.path()) {
        app::AppServices services = machine.services();
        services.window = &host;
        services.instance = &instance;
        services.userSettings = &userSettings;
        app = std::make_unique<CQuorvelHDApp>(services);
        app->InitInstance({});
    }
    WindowSeen seen;
    ui::QtMainWindowHost host{recordAndEnd(seen)};
    platform::PosixSingleInstance instance;
    app::UserSettingsFile userSettings;
    std::unique_ptr<CQuorvelHDApp> app;
};

TEST(AppStartup, NormalStartRunsTheWindowOverTheSimulatedBoards) {
    AppMachine machine;
    WindowSeen seen;
    ui::QtMainWindowHost host(recordAndEnd(seen));
    platform::PosixSingleInstance instance(machine.lock.path());
    app::AppServices services = machine.services();
    services.window = &host;
    services.instance = &instance;
    CQuorvelHDApp app(services);
    EXPECT_FALSE(app.InitInstance({}));

    EXPECT_EQ(app.startupEnd(), StartupEnd::kWindowEnded);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_TRUE(machine.prompt.shown.empty());
    EXPECT_TRUE(app.hardwareReady());
    EXPECT_TRUE(app.fontsReady());
    EXPECT_EQ(machine.currentFolder(), machine.data.path());
    EXPECT_EQ(app.dataFolder(), machine.data.path());
    ASSERT_TRUE(seen.ran);
    EXPECT_TRUE(seen.visible);
    EXPECT_EQ(seen.selector,
              (std::vector<std::string>{"GeForce GTX 680", "GeForce GTX 460", "GeForce GTX 260"}));
    // The construction wrote the first-start values.
    EXPECT_TRUE(std::filesystem::exists(machine.config.file("settings.conf")));
    uint32_t password = 0;
    EXPECT_TRUE(machine.store.readValue(settings::kValueIphonePassWord, password));
    EXPECT_EQ(password, 570293u);
}

TEST(AppStartup, AnUnreadableSettingsStoreIsKeptAsideAndTheUserIsToldOnce) {
    AppMachine machine;
    // Larger than any store the program writes: it is not read, and never overwritten.
    const std::string settingsFile = machine.config.file("settings.conf");
    std::ofstream(settingsFile) << "RestoreUserSettings=0\n" << std::string(300 * 1024, '#');
    WindowRun run(machine);
    EXPECT_TRUE(run.seen.ran) << "the window still opens, on the default options";
    ASSERT_EQ(machine.prompt.shown.size(), 1u);
    EXPECT_EQ(machine.prompt.shown[0].icon, PromptIcon::kWarning);
    const std::string& said = machine.prompt.shown[0].text;
    EXPECT_NE(said.find("could not be read"), std::string::npos) << said;
    EXPECT_NE(said.find(settingsFile + ".unreadable-"), std::string::npos) << said;
    size_t kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(machine.config.path())) {
        kept += entry.path().filename().string().rfind("settings.conf.unreadable-", 0) == 0;
    }
    EXPECT_EQ(kept, 1u);
}

TEST(AppStartup, TheCardsSettingsAreKeptAtExitOnlyAfterAWindowOnWorkingCards) {
    for (const bool driverThere : {true, false}) {
        AppMachine machine;
        WindowSeen seen;
        ui::QtMainWindowHost host(recordAndEnd(seen));
        platform::PosixSingleInstance instance(machine.lock.path());
        RecordingUserSettings userSettings;
        app::AppServices services =
            driverThere ? machine.services() : machine.services(kMissingDriver);
        services.window = &host;
        services.instance = &instance;
        services.userSettings = &userSettings;
        CQuorvelHDApp app(services);
        app.InitInstance({});
        ASSERT_EQ(app.startupEnd(), StartupEnd::kWindowEnded);
        EXPECT_EQ(app.keepUserSettingsAtExit(), 0);
        if (driverThere) {
            EXPECT_EQ(userSettings.kept, std::vector<bool>{app.settings().restoreUserSettings});
        } else {
            // Without cards the file from the last good run is left alone.
            EXPECT_TRUE(userSettings.kept.empty());
        }
    }
}

TEST(AppStartup, DataFilesGoToEachUsersOwnDataFolderNeverBesideTheProgram) {
    // Two users, told apart by their home folders; the data folder is not named outright.
    TempDir firstHome, secondHome;
    for (TempDir* home : {&firstHome, &secondHome}) {
        AppMachine machine;
        machine.environment.clear(platform::kDataFolderEnvironment);
        machine.environment.clear("XDG_DATA_HOME");
        machine.environment.set("HOME", home->path());
        const std::string dataFolder = home->file(".local/share/quorvel");
        const bool firstUser = home == &firstHome;
        EXPECT_EQ(std::filesystem::exists(dataFolder + "/UserSettings.txt"), false)
            << "a new user starts without saved settings";

        WindowRun run(machine);
        ASSERT_EQ(run.app->startupEnd(), StartupEnd::kWindowEnded);
        EXPECT_EQ(run.app->keepUserSettingsAtExit(), 0);

        EXPECT_EQ(machine.currentFolder(), dataFolder);
        EXPECT_EQ(std::filesystem::status(dataFolder).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
        EXPECT_TRUE(std::filesystem::exists(dataFolder + "/UserSettings.txt")) << firstUser;
        EXPECT_TRUE(std::filesystem::is_empty(machine.program.path()))
            << "nothing is written beside the program";
    }
}

TEST(AppStartup, ASaveThatFailsAtTheEndIsShownToTheUser) {
    AppMachine machine;
    // The settings file's place is taken by a folder: the save cannot replace it.
    ASSERT_TRUE(std::filesystem::create_directory(machine.data.file("UserSettings.txt")));
    WindowRun run(machine);
    ASSERT_EQ(run.app->startupEnd(), StartupEnd::kWindowEnded);
    EXPECT_NE(run.app->keepUserSettingsAtExit(), 0);
    ASSERT_EQ(machine.prompt.shown.size(), 1u);
    EXPECT_EQ(machine.prompt.shown[0].icon, PromptIcon::kWarning);
    EXPECT_NE(machine.prompt.shown[0].text.find(machine.data.path()), std::string::npos);
}

TEST(AppStartup, StartWordsMinimiseOrHideTheWindow) {
    // SysTray presses the hide button: hidden in the notification area, or minimised where there
    // is none (as on the offscreen platform), so that the window stays reachable.
    const bool tray = ui::QuorvelTray::notificationAreaAvailable();
    const struct {
        const char* word;
        bool visible;
        bool minimized;
    } cases[] = {{"Normal", true, false}, {"minimize", true, true}, {"SYSTRAY", !tray, !tray}};
    for (const auto& c : cases) {
        AppMachine machine;
        WindowSeen seen;
        ui::QtMainWindowHost host(recordAndEnd(seen));
        platform::PosixSingleInstance instance(machine.lock.path());
        app::AppServices services = machine.services();
        services.window = &host;
        services.instance = &instance;
        CQuorvelHDApp app(services);
        app.InitInstance({c.word});
        ASSERT_TRUE(seen.ran) << c.word;
        EXPECT_EQ(seen.visible, c.visible) << c.word;
        EXPECT_EQ(seen.minimized, c.minimized) << c.word;
    }
}

TEST(AppStartup, DriverMissingWithoutAWordReportsAndStillOpensTheWindow) {
    AppMachine machine;
    WindowSeen seen;
    ui::QtMainWindowHost host(recordAndEnd(seen));
    platform::PosixSingleInstance instance(machine.lock.path());
    app::AppServices services = machine.services(kMissingDriver);
    services.window = &host;
    services.instance = &instance;
    CQuorvelHDApp app(services);
    app.InitInstance({});

    ASSERT_EQ(machine.prompt.shown.size(), 1u);
    EXPECT_EQ(machine.prompt.shown[0].caption, "Quorvel K");
    EXPECT_EQ(machine.prompt.shown[0].text, text(lang::kTextHardwareFailed));
    EXPECT_EQ(machine.prompt.shown[0].icon, PromptIcon::kError);
    EXPECT_EQ(app.hardwareStatus(), gpu::kInitHardwareFailure);
    ASSERT_TRUE(seen.ran);
    EXPECT_TRUE(seen.selector.empty());
    EXPECT_FALSE(seen.selectorEnabled);
    EXPECT_EQ(app.startupEnd(), StartupEnd::kWindowEnded);
}

TEST(AppStartup, DriverMissingWithAWordAsksWhetherToKeepTheRunEntry) {
    for (const PromptAnswer answer : {PromptAnswer::kYes, PromptAnswer::kNo}) {
        AppMachine machine;
        ui::QtMainWindowHost host;
        platform::PosixSingleInstance instance(machine.lock.path());
        ASSERT_TRUE(machine.store.writeRunEntry(machine.program.file("quorvel"), "SysTray"));
        machine.prompt.answerNext(PromptAnswer::kOk);
        machine.prompt.answerNext(answer);
        app::AppServices services = machine.services(kMissingDriver);
        services.window = &host;
        services.instance = &instance;
        CQuorvelHDApp app(services);
        app.InitInstance({"SysTray"});

        ASSERT_EQ(machine.prompt.shown.size(), 2u);
        EXPECT_EQ(machine.prompt.shown[0].text, text(lang::kTextHardwareFailed));
        EXPECT_EQ(machine.prompt.shown[1].text, text(lang::kTextRunAtNextReboot));
        EXPECT_EQ(machine.prompt.shown[1].icon, PromptIcon::kQuestion);
        EXPECT_EQ(machine.prompt.shown[1].buttons, PromptButtons::kYesNo);
        EXPECT_EQ(machine.prompt.shown[1].caption, "Quorvel K");
        std::string entry;
        EXPECT_EQ(machine.store.readRunEntry(entry), answer == PromptAnswer::kYes);
        EXPECT_EQ(host.runs(), 0);
        EXPECT_EQ(app.startupEnd(), StartupEnd::kHardwareFailure);
        EXPECT_EQ(app.exitCode(), 1);
    }
}

TEST(AppStartup, UnsupportedSystemShowsItsOwnText) {
    AppMachine machine;
    ui::QtMainWindowHost host;
    platform::PosixSingleInstance instance(machine.lock.path());
    FixedSystemInfo oldSystem(5, 0);
    machine.prompt.answerNext(PromptAnswer::kOk);
    machine.prompt.answerNext(PromptAnswer::kNo);
    app::AppServices services = machine.services();
    services.gpu.system = &oldSystem;
    services.window = &host;
    services.instance = &instance;
    CQuorvelHDApp app(services);
    app.InitInstance({"Minimize"});
    ASSERT_EQ(machine.prompt.shown.size(), 2u);
    EXPECT_EQ(machine.prompt.shown[0].text, text(lang::kTextUnsupportedSystem));
    EXPECT_EQ(machine.prompt.shown[0].icon, PromptIcon::kError);
    EXPECT_EQ(app.hardwareStatus(), gpu::kInitUnsupportedSystem);
    EXPECT_EQ(host.runs(), 0);
}

TEST(AppStartup, OnlyApplySettingsEndsWithoutAWindow) {
    for (const bool restore : {true, false}) {
        AppMachine machine;
        ui::QtMainWindowHost host;
        platform::PosixSingleInstance instance(machine.lock.path());
        ASSERT_TRUE(machine.store.writeValue(settings::kValueRestoreUserSettings, restore));
        app::AppServices services = machine.services();
        services.window = &host;
        services.instance = &instance;
        CQuorvelHDApp app(services);
        EXPECT_EQ(app.settings().restoreUserSettings, restore);
        app.InitInstance({"OnlyApplySettings"});
        EXPECT_EQ(app.startupEnd(), StartupEnd::kOnlyApplySettings);
        EXPECT_EQ(app.exitCode(), 0);
        EXPECT_EQ(host.runs(), 0);
        EXPECT_TRUE(machine.prompt.shown.empty());
    }
}

TEST(AppStartup, SecondStartBringsTheFirstForwardWithoutAMessage) {
    AppMachine machine;
    platform::PosixSingleInstance first(machine.lock.path());
    ASSERT_EQ(first.acquire(), platform::kInstanceOnly);

    ui::QtMainWindowHost host;
    platform::PosixSingleInstance instance(machine.lock.path());
    app::AppServices services = machine.services();
    services.window = &host;
    services.instance = &instance;
    CQuorvelHDApp app(services);
    app.InitInstance({});
    EXPECT_EQ(app.startupEnd(), StartupEnd::kOtherInstance);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_TRUE(machine.prompt.shown.empty());
    EXPECT_EQ(host.runs(), 0);
    EXPECT_EQ(app.hardwareStatus(), -1);  // the second start never touched the driver
    EXPECT_EQ(first.takeMessages(), std::vector<uint32_t>{platform::kInstanceShowWindow});
}

TEST(AppStartup, AnotherUsersInstanceIsReported) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to hold the lock as another user";
    }
    AppMachine machine;
    ASSERT_EQ(chmod(machine.lock.path().c_str(), 01777), 0);
    ChildProcess other("qv-instance-helper", {machine.lock.path(), "--uid", "65534"});
    ASSERT_TRUE(other.start());
    ASSERT_TRUE(other.waitForOutput("held\n", 10s)) << other.soFar().err;

    ui::QtMainWindowHost host;
    platform::PosixSingleInstance instance(machine.lock.path());
    app::AppServices services = machine.services();
    services.window = &host;
    services.instance = &instance;
    CQuorvelHDApp app(services);
    app.InitInstance({});
    ASSERT_EQ(machine.prompt.shown.size(), 1u);
    EXPECT_EQ(machine.prompt.shown[0].text, text(lang::kTextStartedByOtherUser));
    EXPECT_EQ(machine.prompt.shown[0].icon, PromptIcon::kError);
    EXPECT_EQ(app.startupEnd(), StartupEnd::kInstanceUnavailable);
    EXPECT_EQ(app.exitCode(), 1);
    EXPECT_EQ(host.runs(), 0);
    other.sendSignal(SIGKILL);
}

TEST(AppStartup, FontsThatCannotBeMadeAvailableAreReportedAndTheWindowStillRuns) {
    AppMachine machine;
    WindowSeen seen;
    ui::QtMainWindowHost host(recordAndEnd(seen));
    platform::PosixSingleInstance instance(machine.lock.path());
    app::AppServices services = machine.services();
    services.fonts = nullptr;
    services.window = &host;
    services.instance = &instance;
    CQuorvelHDApp app(services);
    app.InitInstance({});
    ASSERT_EQ(machine.prompt.shown.size(), 1u);
    EXPECT_EQ(machine.prompt.shown[0].text, text(lang::kTextAddFontFailed));
    EXPECT_EQ(machine.prompt.shown[0].icon, PromptIcon::kError);
    EXPECT_FALSE(app.fontsReady());
    EXPECT_TRUE(seen.ran);
}

}  // namespace
}  // namespace qv::test
