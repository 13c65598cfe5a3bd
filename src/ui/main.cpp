// quorvel: the window program. Takes its own options off the command line, picks the driver
// library and hands the rest to the application object's start-up.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/CQuorvelHDApp.h"
#include "app/FanGuard.h"
#include "app/UserSettingsFile.h"
#include "gpu/DriverSelection.h"
#include "platform/Beeper.h"
#include "platform/CompanionFiles.h"
#include "platform/PowerOff.h"
#include "platform/ProcessLauncher.h"
#include "platform/SingleInstance.h"
#include "settings/FileRegistryStore.h"
#include "ui/QtFonts.h"
#include "ui/QtMainWindowHost.h"
#include "ui/QtPoster.h"
#include "ui/QtPrompt.h"

namespace {

constexpr int kExitUsage = 2;
constexpr const char* kScreenshotOption = "--screenshot";
constexpr const char* kWideOption = "--wide";

void printUsage(std::FILE* out) {
    std::fprintf(
        out, "%s",
        "usage: quorvel [--simulate[=CONFIG]] [--driver PATH] [--screenshot FILE [--wide]]\n"
        "               [Normal|Minimize|SysTray|OnlyApplySettings]\n"
        "\n"
        "  --simulate[=CONFIG]  use the simulated driver that comes with the program\n"
        "  --driver PATH        load this driver library\n"
        "  --screenshot FILE    draw the window into a PNG file once it is up, then end\n"
        "  --wide               with --screenshot: show the overclocking controls first\n"
        "  -h, --help           show this help\n");
}

// Takes "--screenshot FILE" off the arguments. False when FILE is missing.
bool takeScreenshotOption(std::vector<std::string>& args, std::string& path) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != kScreenshotOption) {
            continue;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            return false;
        }
        path = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        return true;
    }
    return true;
}

// Takes "--wide" off the arguments; true when it was there.
bool takeWideOption(std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == kWideOption) {
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);  // takes Qt's own options off argv
    QApplication::setQuitOnLastWindowClosed(false);

    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
        printUsage(stdout);
        return 0;
    }
    std::string screenshot;
    if (!takeScreenshotOption(args, screenshot)) {
        std::fprintf(stderr, "quorvel: --screenshot needs a file name\n");
        printUsage(stderr);
        return kExitUsage;
    }
    const bool wide = takeWideOption(args);
    if (wide && screenshot.empty()) {
        std::fprintf(stderr, "quorvel: --wide goes with --screenshot\n");
        printUsage(stderr);
        return kExitUsage;
    }
    qv::drv::DriverSelection selection;
    std::string error;
    if (!qv::drv::selectDriver(args, qv::drv::executableFolder(), selection, error)) {
        std::fprintf(stderr, "quorvel: %s\n", error.c_str());
        printUsage(stderr);
        return kExitUsage;
    }
    qv::drv::applySelection(selection);

    qv::ui::QtPrompt prompt(screenshot.empty());
    qv::ui::QtFontProvider fonts;
    qv::ui::QtMainWindowOptions options;
    options.screenshotPath = screenshot;
    options.screenshotWide = wide;
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
    if (app.keepUserSettingsAtExit() < 0) {
        std::fprintf(stderr, "quorvel: the settings for the next start could not be saved\n");
    }
    if (!screenshot.empty() && !host.screenshotSaved()) {
        std::fprintf(stderr, "quorvel: no screenshot was taken\n");
        return 1;
    }
    return app.exitCode();
}
