#include "app/UserSettingsFormat.h"

#include <cstdio>

namespace qv::app {

namespace {

constexpr int32_t kRegulatorBaseMv = 450;
// 12.5 mV per code, kept as a fraction so that the arithmetic stays exact.
constexpr int32_t kRegulatorStepNumerator = 25;
constexpr int32_t kRegulatorStepDenominator = 2;

// The domain selector of the layer's limit tables for a clock of the file.
constexpr std::array<int, kClockCount> kClockSelectors = {
    gpu::kSelectorGraphics, gpu::kSelectorProcessor, gpu::kSelectorMemory};

char16_t foldAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

std::optional<int32_t> readInt(const settings::CIni& ini, const std::string& section,
                               const char* key) {
    int32_t value = 0;
    if (!ini.GetInt(section, key, value, kValueRadix)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

GpuSettingsCapabilities settingsCapabilities(const gpu::GpuLayer& layer, uint8_t gpu) {
    const gpu::GpuRecord& r = layer.record(gpu);
    GpuSettingsCapabilities caps;
    caps.identityText = layer.deviceIdText(gpu);
    for (size_t mode = 0; mode < kModeCount; ++mode) {
        caps.modePresent[mode] = r.hasLevelKind(levelKindOfMode(mode));
        for (size_t clock = 0; clock < kClockCount; ++clock) {
            const gpu::ClockRange& range =
                r.clockLimits[mode][static_cast<size_t>(kClockSelectors[clock])];
            bool settable = caps.modePresent[mode] && range.maxKHz != 0;
            if (clock == kClockShader) {
                settable = settable && r.processorDomainPresent;
            }
            caps.adjustable[mode][clock] = settable;
        }
    }
    caps.voltage.slot2Regulator = r.hasChip(gpu::kSlotRegulator2);
    caps.voltage.slot7Regulator = r.hasChip(gpu::kSlotRegulator7);
    caps.voltage.slot3Regulator = r.hasChip(gpu::kSlotRegulator3);
    // The driver's table serves only the family C boards without a regulator of their own, as
    // in the main window.
    caps.voltage.driverTable =
        r.familyC && !caps.voltage.slot7Regulator && !caps.voltage.slot3Regulator;
    caps.alarmApplied = r.hasChip(gpu::kSlotFanChip0) && !r.hasChip(gpu::kSlotRegulator3);
    caps.alarmWritten = caps.alarmApplied && r.fanSetInRpm();
    return caps;
}

std::string sectionName(int gpuNumber) {
    char name[32];
    std::snprintf(name, sizeof(name), "%s%d", kSectionPrefix, gpuNumber);
    return name;
}

UserSettingsSection readSection(const settings::CIni& ini, int gpuNumber) {
    const std::string section = sectionName(gpuNumber);
    UserSettingsSection out;
    std::u16string id;
    if (ini.GetString(section, kKeyId, id, kIdMaxChars)) {
        out.id = std::move(id);
    }
    for (size_t mode = 0; mode < kModeCount; ++mode) {
        for (size_t clock = 0; clock < kClockCount; ++clock) {
            out.clocks[mode][clock] = readInt(ini, section, kClockKeys[mode][clock]);
        }
        if (kVoltageKeys[mode] != nullptr) {
            out.voltages[mode] = readInt(ini, section, kVoltageKeys[mode]);
        }
    }
    out.fanWorkMode = readInt(ini, section, kKeyFanWorkMode);
    out.fanSpeed = readInt(ini, section, kKeyFanSpeed);
    out.alarmTemperature = readInt(ini, section, kKeyAlarmTemperature);
    out.horizonValue = readInt(ini, section, kKeyHorizonValue);
    out.verticalValue = readInt(ini, section, kKeyVerticalValue);
    return out;
}

bool sectionMatches(const UserSettingsSection& section, std::string_view identityText) {
    if (!section.id || section.id->size() != identityText.size()) {
        return false;
    }
    for (size_t i = 0; i < identityText.size(); ++i) {
        const auto wanted = static_cast<char16_t>(static_cast<unsigned char>(identityText[i]));
        if (foldAscii((*section.id)[i]) != foldAscii(wanted)) {
            return false;
        }
    }
    return true;
}

int32_t& recordClock(UserSettingsRecord& record, size_t mode, size_t clock) {
    static_assert(kModeCount == 3 && kClockCount == 3);
    std::array<std::array<int32_t*, kModeCount>, kClockCount> fields = {{
        {&record.gpuClock2D, &record.gpuClock3DLow, &record.gpuClock3DPerformance},
        {&record.shaderClock2D, &record.shaderClock3DLow, &record.shaderClock3DPerformance},
        {&record.memoryClock2D, &record.memoryClock3DLow, &record.memoryClock3DPerformance},
    }};
    return *fields[clock][mode];
}

int32_t* recordVoltage(UserSettingsRecord& record, size_t mode) {
    switch (mode) {
        case kMode2D:
            return &record.gpuVoltage2D;
        case kMode3DPerformance:
            return &record.gpuVoltage3DPerformance;
        default:
            return nullptr;
    }
}

void fillRecord(const UserSettingsSection& section, const GpuSettingsCapabilities& gpu,
                UserSettingsRecord& record) {
    for (size_t mode = 0; mode < kModeCount; ++mode) {
        if (!gpu.modePresent[mode]) {
            continue;
        }
        for (size_t clock = 0; clock < kClockCount; ++clock) {
            if (gpu.adjustable[mode][clock] && section.clocks[mode][clock]) {
                recordClock(record, mode, clock) = *section.clocks[mode][clock];
            }
        }
        int32_t* voltage = recordVoltage(record, mode);
        if (voltage != nullptr && gpu.voltage.any() && section.voltages[mode]) {
            *voltage = *section.voltages[mode];
        }
    }
    if (section.fanWorkMode) {
        record.fanWorkMode = *section.fanWorkMode;
        if (*section.fanWorkMode == kFanWorkModeManual && section.fanSpeed) {
            record.fanSpeed = *section.fanSpeed;
        }
    }
    if (gpu.alarmApplied && section.alarmTemperature) {
        record.alarmTemperature = *section.alarmTemperature;
    }
}

void parseUserSettings(const settings::CIni& ini, std::span<const GpuSettingsCapabilities> gpus,
                       UserSettingsState& state) {
    for (size_t index = 0; index < gpus.size(); ++index) {
        const UserSettingsSection section = readSection(ini, static_cast<int>(index + 1));
        if (!sectionMatches(section, gpus[index].identityText)) {
            continue;
        }
        if (index < state.records.size()) {
            fillRecord(section, gpus[index], state.records[index]);
        }
        if (section.horizonValue) {
            state.horizonValue = *section.horizonValue;
        }
        if (section.verticalValue) {
            state.verticalValue = *section.verticalValue;
        }
    }
}

int32_t regulatorCodeToFileMillivolts(uint32_t code) {
    return kRegulatorBaseMv +
           static_cast<int32_t>(code) * kRegulatorStepNumerator / kRegulatorStepDenominator;
}

int64_t fileMillivoltsToRegulatorCode(int32_t millivolts) {
    // The nearest code (within half a step, the lower one on a tie), so that the truncated
    // millivolts of an odd code come back as that code.
    const int64_t twice =
        (static_cast<int64_t>(millivolts) - kRegulatorBaseMv) * kRegulatorStepDenominator +
        kRegulatorStepNumerator / 2;
    return twice < 0 ? -1 : twice / kRegulatorStepNumerator;
}

}  // namespace qv::app
