// `qvctl save-settings FILE` and `qvctl apply-settings FILE`: the user settings file of the
// window program (or a profile file), written from the cards and put back on them.
#include <cstdio>
#include <string>
#include <vector>

#include "app/UserSettingsFile.h"
#include "app/UserSettingsFormat.h"
#include "platform/Clock.h"
#include "qvctl_commands.h"
#include "settings/CIni.h"

namespace qv::cli {

namespace {

std::vector<app::GpuSettingsCapabilities> capabilitiesOf(const gpu::GpuLayer& layer) {
    std::vector<app::GpuSettingsCapabilities> gpus;
    for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
        gpus.push_back(app::settingsCapabilities(layer, gpu));
    }
    return gpus;
}

// The file's text as printed: ASCII stays, anything else becomes '?', and line ends are "\n".
std::string printable(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit == u'\r') {
            continue;
        }
        out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return out;
}

bool checkFileArgument(const char* command, const std::vector<std::string>& args) {
    if (args.size() == 1 && !args[0].empty()) {
        return true;
    }
    reportError(std::string(command) + " needs one file name (qvctl " + command + " FILE)");
    return false;
}

}  // namespace

int runSaveSettings(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out) {
    if (!checkFileArgument("save-settings", args)) {
        return kExitUsage;
    }
    const std::string& path = args[0];
    // The window's horizontal and vertical values are not qvctl's: those of the file being
    // replaced are kept (0 for a new file).
    app::UserSettingsState kept;
    settings::CIni previous;
    if (previous.Load(path)) {
        app::parseUserSettings(previous, capabilitiesOf(layer), kept);
        previous.Close();
    }
    const std::u16string text = app::userSettingsText(layer, kept.horizonValue, kept.verticalValue);
    if (app::writeUserSettingsText(text, path) != app::kUserSettingsOk) {
        reportError("cannot write the settings file '" + path + "'");
        return kExitFailed;
    }
    if (std::fputs(printable(text).c_str(), out) < 0) {
        return kExitFailed;
    }
    return kExitOk;
}

int runApplySettings(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out) {
    if (!checkFileArgument("apply-settings", args)) {
        return kExitUsage;
    }
    const std::string& path = args[0];
    settings::CIni ini;
    if (!ini.Load(path)) {
        reportError("cannot read the settings file '" + path + "'");
        return kExitFailed;
    }
    std::string report;
    for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
        const app::UserSettingsSection section = app::readSection(ini, gpu + 1);
        const std::string id = layer.deviceIdText(gpu);
        report += format("GPU %d\n", gpu);
        appendLine(report, "device-id", id);
        if (!section.id) {
            appendLine(report, "settings", "none in the file");
        } else if (!app::sectionMatches(section, id)) {
            appendLine(report, "settings",
                       "skipped, the file's section is for device " + printable(*section.id));
        } else {
            appendLine(report, "settings", "applied");
        }
        if (gpu + 1 < layer.gpuCount()) {
            report += '\n';
        }
    }
    ini.Close();
    app::UserSettingsState state;
    const int status =
        app::readAndApplyUserSettings(layer, platform::SystemClock::instance(), state, path);
    if (status != app::kUserSettingsOk) {
        reportError("cannot read the settings file '" + path + "'");
        return kExitFailed;
    }
    if (std::fputs(report.c_str(), out) < 0) {
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace qv::cli
