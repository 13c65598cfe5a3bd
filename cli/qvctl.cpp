// qvctl: the command-line tool over the hardware layer. Lists the GPUs, shows live readings,
// reads and sets clock levels, offsets, the power limit and the fan, on the real driver or on
// the simulated one.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "gpu/DriverLoader.h"
#include "gpu/DriverSelection.h"
#include "platform/CompanionFiles.h"
#include "gpu/GpuLayer.h"
#include "platform/DebugOutput.h"
#include "platform/Version.h"
#include "qvctl_commands.h"

namespace {

using qv::cli::kExitDriver;
using qv::cli::kExitOk;
using qv::cli::kExitUnsupported;
using qv::cli::kExitUsage;
using qv::cli::OutputFormat;
using qv::cli::reportError;

constexpr int kTempFolderAttempts = 8;
constexpr const char* kVerboseOption = "--verbose";
constexpr const char* kVersionOption = "--version";

void printUsage(std::FILE* out) {
    std::fprintf(out, "%s",
                 "usage: qvctl [--simulate[=CONFIG]] [--driver PATH] [--json] [--verbose]\n"
                 "             COMMAND [ARGUMENTS]\n"
                 "\n"
                 "commands:\n"
                 "  list                                 board facts of every GPU\n"
                 "  status [--watch MS] [--count N]      level kind, clocks, voltage,\n"
                 "                                       temperature, fan, load and power;\n"
                 "                                       --watch repeats every MS milliseconds\n"
                 "  clocks GPU                           every clock level: current, base,\n"
                 "                                       minimum and maximum, boost ratios\n"
                 "  set-clocks GPU KIND GPU_MHZ SHADER_MHZ MEM_MHZ\n"
                 "                                       new clocks for the level of KIND\n"
                 "                                       (1 2D, 2 3D PERF, 3 3D Low, 4 4th)\n"
                 "  offset GPU [graphics|memory|voltage VALUE]\n"
                 "                                       P0 offsets of a Kepler-class board\n"
                 "                                       (MHz, MHz, mV)\n"
                 "  power-limit GPU [raise]              the power limit, or raise it to the\n"
                 "                                       highest the board allows\n"
                 "  fan GPU LEVEL|auto                   fixed fan level (percent; an rpm set\n"
                 "                                       point on a slot-0 fan chip), or\n"
                 "                                       automatic fan control\n"
                 "  fan-test GPU                         fan at 100 % for 3 s, measured and\n"
                 "                                       compared with its reference in\n"
                 "                                       FanSpeed.ini (exit 3: >10 % slower)\n"
                 "  save-settings FILE                   write every GPU's clocks, voltage, fan\n"
                 "                                       and alarm temperature to FILE\n"
                 "  apply-settings FILE                  put the settings of FILE back on the\n"
                 "                                       GPUs it was written for\n"
                 "  password set                         new remote-control password; the\n"
                 "                                       original and the new one are read\n"
                 "                                       from standard input, one per line\n"
                 "  remote HOST[:PORT] [--password-file FILE] status|select|set-clocks|fan|apply\n"
                 "                                       the phone remote control's commands\n"
                 "                                       (password on standard input or in\n"
                 "                                       FILE; see docs/remote-protocol.md)\n"
                 "  exporter [--listen ADDR:PORT] [--period MS]\n"
                 "                                       serve the readings for Prometheus at\n"
                 "                                       /metrics (default 127.0.0.1:9437,\n"
                 "                                       read every 1000 ms) until stopped\n"
                 "  log [--period MS] [--items LIST] [--out FILE] [--count N]\n"
                 "                                       the monitor log: one line of every\n"
                 "                                       GPU's values per period, into FILE or\n"
                 "                                       a new file under Monitor_Save\n"
                 "  check-update                         the newest version on the update server\n"
                 "                                       and its changes (exit 10: newer than\n"
                 "                                       this one; 2: server not reached)\n"
                 "\n"
                 "options:\n"
                 "  --simulate[=CONFIG]  use the simulated driver that comes with qvctl;\n"
                 "                       CONFIG is a preset name or a board configuration file\n"
                 "  --driver PATH        load this driver library (otherwise $QUORVEL_DRIVER,\n"
                 "                       else the platform's driver library)\n"
                 "  --json               list and status: one JSON document (status --watch:\n"
                 "                       one JSON object per line and sample)\n"
                 "  --verbose            developer diagnostics on standard error\n"
                 "  -h, --help           show this help\n"
                 "  --version            show the version\n"
                 "\n"
                 "exit codes: 0 success, 1 bad command line, 2 driver library not usable,\n"
                 "            3 unsupported system, 4 hardware operation failed,\n"
                 "            5 remote: no connection or login failed\n"
                 "            (check-update: 0 no newer version, 10 newer version,\n"
                 "            2 update server not reached)\n");
}

std::string describeSource(const qv::drv::DriverSelection& selection) {
    if (selection.source == "--driver") {
        return "given with --driver";
    }
    if (selection.source == qv::drv::kDriverEnvironment) {
        return std::string("named by the ") + qv::drv::kDriverEnvironment + " environment variable";
    }
    if (selection.simulated) {
        std::string text = "the simulated driver chosen with --simulate";
        if (!selection.simConfig.empty()) {
            text += ", board configuration '" + selection.simConfig + "'";
        }
        return text;
    }
    return "the platform's default driver library; use --driver PATH or --simulate for another";
}

// A private folder for the BIOS dump of the background probe, so that no dump file is left
// in the folder qvctl was started from. Removed when qvctl ends.
class ProbeFolder {
public:
    ProbeFolder() {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        if (ec) {
            return;
        }
        std::random_device random;
        for (int attempt = 0; attempt < kTempFolderAttempts && path_.empty(); ++attempt) {
            char name[32];
            std::snprintf(name, sizeof(name), "qvctl-%08x%08x", random(), random());
            const std::filesystem::path candidate = base / name;
            if (std::filesystem::create_directory(candidate, ec) && !ec) {
                std::filesystem::permissions(candidate, std::filesystem::perms::owner_all, ec);
                path_ = candidate.string();
            }
        }
    }
    ~ProbeFolder() {
        if (!path_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(path_, ec);
        }
    }
    ProbeFolder(const ProbeFolder&) = delete;
    ProbeFolder& operator=(const ProbeFolder&) = delete;

    // Empty when no folder could be made; the probe then works in the current folder.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

using CommandFunction = int (*)(qv::gpu::GpuLayer&, const std::vector<std::string>&, std::FILE*);
// A command that can answer in JSON as well as in text.
using FormattedCommandFunction = int (*)(qv::gpu::GpuLayer&, const std::vector<std::string>&,
                                         std::FILE*, OutputFormat);

struct Command {
    const char* name;
    CommandFunction function;            // null for a formatted command
    FormattedCommandFunction formatted;  // null for a text-only command
};

int runListCommand(qv::gpu::GpuLayer& layer, const std::vector<std::string>& rest, std::FILE* out,
                   OutputFormat format) {
    if (!rest.empty()) {
        reportError("list takes no arguments");
        return kExitUsage;
    }
    return qv::cli::runList(layer, out, format);
}

constexpr Command kCommands[] = {
    {"list", nullptr, runListCommand},
    {"status", nullptr, qv::cli::runStatus},
    {"clocks", qv::cli::runClocks, nullptr},
    {"set-clocks", qv::cli::runSetClocks, nullptr},
    {"offset", qv::cli::runOffset, nullptr},
    {"power-limit", qv::cli::runPowerLimit, nullptr},
    {"fan", qv::cli::runFan, nullptr},
    {"fan-test", qv::cli::runFanTest, nullptr},
    {"save-settings", qv::cli::runSaveSettings, nullptr},
    {"apply-settings", qv::cli::runApplySettings, nullptr},
    {"exporter", qv::cli::runExporter, nullptr},
    {"log", qv::cli::runLog, nullptr},
};

const Command* findCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

// Takes every `option` off args, wherever it stands; true when there was one.
bool takeFlag(std::vector<std::string>& args, const char* option) {
    const auto end = std::remove(args.begin(), args.end(), option);
    const bool found = end != args.end();
    args.erase(end, args.end());
    return found;
}

int run(std::vector<std::string> args) {
    qv::drv::DriverSelection selection;
    std::string error;
    const qv::drv::SelectionResult selected =
        qv::drv::selectDriver(args, qv::platform::executableFolder(), selection, error);
    if (selected != qv::drv::SelectionResult::kSelected) {
        reportError(error);
        // A mistyped preset gets the list of presets, not the whole usage.
        if (selected == qv::drv::SelectionResult::kMalformedOption) {
            printUsage(stderr);
        }
        return kExitUsage;
    }
    // Like the driver options, these may stand anywhere on the command line.
    if (takeFlag(args, kVerboseOption)) {
        qv::platform::enableDebugOutput();
    }
    const OutputFormat format =
        takeFlag(args, qv::cli::kJsonOption) ? OutputFormat::kJson : OutputFormat::kText;
    if (args.empty()) {
        printUsage(stderr);
        return kExitUsage;
    }
    const std::string command = args.front();
    if (command == "-h" || command == "--help" || command == "help") {
        printUsage(stdout);
        return kExitOk;
    }
    if (command == kVersionOption) {
        std::printf("%s %s\n", qv::cli::kProgramName, qv::platform::kVersionText);
        return kExitOk;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    // The password lives in the settings store alone: no driver is loaded for it.
    if (command == qv::cli::kPasswordCommand) {
        if (format == OutputFormat::kJson) {
            reportError(std::string(qv::cli::kJsonOption) + " goes with list and status, not with " +
                        command);
            return kExitUsage;
        }
        return qv::cli::runPassword(rest, stdin, stdout);
    }
    // The update check asks the network alone.
    if (command == qv::cli::kCheckUpdateCommand) {
        if (format == OutputFormat::kJson) {
            reportError(std::string(qv::cli::kJsonOption) + " goes with list and status, not with " +
                        command);
            return kExitUsage;
        }
        return qv::cli::runCheckUpdate(rest, stdout);
    }
    if (command == qv::cli::kRemoteCommand) {
        return qv::cli::runRemote(rest, stdin, stdout);
    }
    const Command* found = findCommand(command);
    if (found == nullptr) {
        reportError("unknown command '" + command + "'");
        printUsage(stderr);
        return kExitUsage;
    }
    if (format == OutputFormat::kJson && found->formatted == nullptr) {
        reportError(std::string(qv::cli::kJsonOption) + " goes with list and status, not with " +
                    command);
        return kExitUsage;
    }
    qv::drv::applySelection(selection);
    ProbeFolder probeFolder;
    qv::drv::DriverLoader loader(selection.libraryPath);
    qv::gpu::GpuLayerServices services;
    // One board with an unreadable clock table must not hide the others.
    services.keepGpusWithoutClockTable = true;
    if (!probeFolder.path().empty()) {
        services.workingFolder = probeFolder.path();
    }
    qv::gpu::GpuLayer layer(loader, services);
    const int init = layer.initialize();
    if (init == qv::gpu::kInitUnsupportedSystem) {
        reportError("this operating system is not supported");
        return kExitUnsupported;
    }
    if (init != qv::gpu::kInitOk) {
        std::string why = loader.lastError();
        if (why.empty()) {
            why = "the driver answered, but GPU enumeration failed";
        }
        reportError("cannot use the driver library '" + selection.libraryPath + "' (" +
                    describeSource(selection) + "): " + why);
        return kExitDriver;
    }
    // The probe fills the BIOS versions and drives the fan for a moment on some boards;
    // nothing is read or set before it has finished.
    layer.waitForProbe();
    return found->formatted != nullptr ? found->formatted(layer, rest, stdout, format)
                                       : found->function(layer, rest, stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return run(std::move(args));
}
