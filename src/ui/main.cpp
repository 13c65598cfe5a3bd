// quorvel: the window program. Takes its own options off the command line, picks the driver
// library and hands the rest to the application object's start-up.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/CQuorvelHDApp.h"
#include "app/FanGuard.h"
#include "app/ProgramCommandLine.h"
#include "app/UserSettingsFile.h"
#include "gpu/DriverSelection.h"
#include "platform/Beeper.h"
#include "platform/CompanionFiles.h"
#include "platform/DebugOutput.h"
#include "platform/PowerOff.h"
#include "platform/ProcessLauncher.h"
#include "platform/SingleInstance.h"
#include "platform/Version.h"
#include "settings/FileRegistryStore.h"
#include "ui/AppLook.h"
#include "ui/QtFonts.h"
#include "ui/QtMainWindowHost.h"
#include "ui/QtPoster.h"
#include "ui/QtPrompt.h"

namespace {

constexpr int kExitUsage = 2;

// The options Qt takes off the command line itself (QGuiApplication and QApplication).
const qv::app::ToolkitOptions kQtOptions = {
    {"-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry",
     "-qwindowicon", "-qwindowtitle", "-session", "-display", "-geometry", "-style", "-stylesheet",
     "-qmljsdebugger", "-dialogs", "-fontengine"},
    {"-reverse", "-widgetcount"},
};

constexpr const char* kShortUsage =
    "usage: quorvel [--simulate[=CONFIG]] [--driver PATH] [--screenshot FILE [--wide]]\n"
    "               [--advanced] [--verbose] [Normal|Minimize|SysTray|OnlyApplySettings]\n"
    "       quorvel --help | --version\n";

void printUsage(std::FILE* out) {
    std::fprintf(
        out, "%s%s", kShortUsage,
        "\n"
        "  --simulate[=CONFIG]  use the simulated driver that comes with the program; CONFIG\n"
        "                       is a preset name or a board configuration file\n"
        "  --driver PATH        load this driver library\n"
        "  --screenshot FILE    draw the window into a PNG file once it is up, then end\n"
        "  --wide               with --screenshot: show the overclocking controls first\n"
        "  --advanced           open the advanced control dialog (in the running program,\n"
        "                       when there is one; Ctrl+Shift+A in the main window)\n"
        "  --verbose            developer diagnostics on standard error\n"
        "  -h, --help           show this help\n"
        "  --version            show the version\n"
        "\n"
        "Qt's own options (-platform NAME, ...) are accepted as well.\n"
        "exit codes: 0 success, 1 start failed, 2 bad command line\n");
}

}  // namespace

int main(int argc, char** argv) {
    // Everything that needs no display is decided before Qt is started: help, version and a bad
    // command line answer on a machine without one, and a mistake opens no window.
    const std::vector<std::string> words(argv + 1, argv + argc);
    const qv::app::ProgramCommandLine commandLine =
        qv::app::parseProgramCommandLine(words, kQtOptions);
    switch (commandLine.action) {
        case qv::app::CommandLineAction::kHelp:
            printUsage(stdout);
            return 0;
        case qv::app::CommandLineAction::kVersion:
            std::printf("%s %s\n", qv::app::kProgramName, qv::platform::kVersionText);
            return 0;
        case qv::app::CommandLineAction::kUsageError:
            std::fprintf(stderr, "quorvel: %s\n%s", commandLine.error.c_str(), kShortUsage);
            return kExitUsage;
        case qv::app::CommandLineAction::kRun:
            break;
    }
    if (commandLine.verbose) {
        qv::platform::enableDebugOutput();
    }
    std::vector<std::string> args = commandLine.arguments;
    qv::drv::DriverSelection selection;
    std::string error;
    const qv::drv::SelectionResult selected =
        qv::drv::selectDriver(args, qv::platform::executableFolder(), selection, error);
    if (selected != qv::drv::SelectionResult::kSelected) {
        std::fprintf(stderr, "quorvel: %s\n", error.c_str());
        // A mistyped preset gets the list of presets, not the usage.
        if (selected == qv::drv::SelectionResult::kMalformedOption) {
            std::fputs(kShortUsage, stderr);
        }
        return kExitUsage;
    }
    qv::drv::applySelection(selection);

    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    qv::ui::applyAppLook(application);

    const std::string& screenshot = commandLine.screenshotPath;
    const bool wide = commandLine.wide;
    qv::ui::QtPrompt prompt(screenshot.empty());
    qv::ui::QtFontProvider fonts;
    qv::ui::QtMainWindowOptions options;
    options.screenshotPath = screenshot;
    options.screenshotWide = wide;
    options.openAdvanced = commandLine.advanced;
    qv::ui::QtMainWindowHost host(options);
    qv::settings::FileRegistryStore store;
    qv::platform::PosixSingleInstance instance;
    qv::app::UserSettingsFile userSettings;

    // The background probe's completion reaches the window through this poster.
    qv::ui::QtPoster poster;
    qv::platform::LogindPowerOff powerOff(qv::platform::PosixProcessLauncher::instance());

    qv::app::AppServices services;
    services.gpu.poster = &poster;
    services.beeper = &qv::platform::ConsoleBeeper::instance();
    // A screenshot run never turns the machine off.
    services.powerOff = screenshot.empty() ? &powerOff : nullptr;
    services.driverLibrary = selection.libraryPath;
    services.simulatedDriver = selection.simulated;
    services.store = &store;
    services.prompt = &prompt;
    services.instance = &instance;
    services.fonts = &fonts;
    services.window = &host;
    services.userSettings = &userSettings;
    services.fanGuardProgram = qv::platform::companionFile(qv::app::kFanGuardProgramName);
    services.launcher = &qv::platform::PosixProcessLauncher::instance();

    qv::app::CQuorvelHDApp app(services);
    app.InitInstance(args);
    if (commandLine.advanced && app.startupEnd() == qv::app::StartupEnd::kOtherInstance &&
        !instance.sendToRunning(qv::platform::kInstanceOpenAdvanced)) {
        std::fprintf(stderr, "quorvel: the running program did not take the request\n");
    }
    if (app.keepUserSettingsAtExit() < 0) {
        std::fprintf(stderr, "quorvel: the settings for the next start could not be saved\n");
    }
    if (!screenshot.empty() && !host.screenshotSaved()) {
        std::fprintf(stderr, "quorvel: no screenshot was taken\n");
        return 1;
    }
    return app.exitCode();
}
