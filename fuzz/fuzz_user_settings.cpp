// Feeds arbitrary bytes to the reading side of the user settings file: the reader's parse into
// the per-GPU records and the shared values, without a driver. It checks what the reader
// promises: a section whose Id does not match leaves its GPU's record untouched, only what the
// GPU can take reaches its record, and the fan speed is taken only with work mode 2.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/UserSettingsFormat.h"
#include "settings/CIni.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::vector<qv::app::GpuSettingsCapabilities> machine() {
    std::vector<qv::app::GpuSettingsCapabilities> gpus(5);
    // Everything settable.
    gpus[0].identityText = "05e2";
    gpus[0].modePresent = {true, true, true};
    for (auto& mode : gpus[0].adjustable) {
        mode = {true, true, true};
    }
    gpus[0].voltage.slot2Regulator = true;
    gpus[0].alarmApplied = true;
    // Nothing settable but the fan.
    gpus[1].identityText = "0e22";
    // Some modes and clocks, a step regulator.
    gpus[2].identityText = "1180";
    gpus[2].modePresent = {true, false, true};
    gpus[2].adjustable[0] = {true, false, false};
    gpus[2].adjustable[2] = {true, false, true};
    gpus[2].voltage.slot3Regulator = true;
    gpus[3] = gpus[0];
    gpus[4] = gpus[1];
    return gpus;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qv::settings::CIni ini;
    if (!ini.LoadFromBytes(std::string(reinterpret_cast<const char*>(data), size))) {
        return 0;
    }
    static const std::vector<qv::app::GpuSettingsCapabilities> gpus = machine();
    qv::app::UserSettingsState state;
    qv::app::parseUserSettings(ini, gpus, state);

    bool anyMatch = false;
    for (size_t g = 0; g < gpus.size(); ++g) {
        const qv::app::UserSettingsSection section =
            qv::app::readSection(ini, static_cast<int>(g + 1));
        check(!section.id || section.id->size() <= qv::app::kIdMaxChars);
        const bool matches = qv::app::sectionMatches(section, gpus[g].identityText);
        anyMatch = anyMatch || matches;
        if (g >= state.records.size()) {
            continue;
        }
        qv::app::UserSettingsRecord record = state.records[g];
        if (!matches) {
            check(record == qv::app::UserSettingsRecord{});
            continue;
        }
        for (size_t mode = 0; mode < qv::app::kModeCount; ++mode) {
            for (size_t clock = 0; clock < qv::app::kClockCount; ++clock) {
                if (!gpus[g].modePresent[mode] || !gpus[g].adjustable[mode][clock]) {
                    check(qv::app::recordClock(record, mode, clock) == 0);
                }
            }
        }
        if (!gpus[g].voltage.any()) {
            check(record.gpuVoltage2D == 0 && record.gpuVoltage3DPerformance == 0);
        }
        if (record.fanWorkMode != qv::app::kFanWorkModeManual) {
            check(record.fanSpeed == 0);
        }
        if (!gpus[g].alarmApplied) {
            check(record.alarmTemperature == 0);
        }
    }
    if (!anyMatch) {
        check(state.horizonValue == 0 && state.verticalValue == 0);
    }
    return 0;
}
