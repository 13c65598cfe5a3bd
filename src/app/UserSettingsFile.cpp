#include "app/UserSettingsFile.h"

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/UserSettingsVoltage.h"
#include "gpu/ChipRegisters.h"
#include "gpu/DriverStatus.h"
#include "platform/AtomicFile.h"
#include "settings/CIni.h"

namespace qv::app {

namespace {

constexpr mode_t kFileMode = 0666;  // before the umask
constexpr char16_t kByteOrderMark = settings::CIni::kByteOrderMark;
constexpr uint32_t kLowByte = 0xFF;

// Appends a formatted line of ASCII text.
#if defined(__GNUC__)
void appendFormatted(std::u16string& out, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
#endif
void appendFormatted(std::u16string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        std::vector<char> line(static_cast<size_t>(length) + 1);
        std::vsnprintf(line.data(), line.size(), format, again);
        for (int i = 0; i < length; ++i) {
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(line[i])));
        }
    }
    va_end(again);
}

// The clock of a file domain in a level request: current value, minimum and maximum.
struct RequestClock {
    uint32_t* current;
    uint32_t minimum;
    uint32_t maximum;
};

RequestClock requestClock(gpu::PerfClockRequest& request, size_t clock) {
    switch (clock) {
        case kClockGpu:
            return {&request.graphicsCurrent, request.graphicsMin, request.graphicsMax};
        case kClockShader:
            return {&request.processorCurrent, request.processorMin, request.processorMax};
        default:
            return {&request.memoryCurrent, request.memoryMin, request.memoryMax};
    }
}

void appendGpuSection(gpu::GpuLayer& layer, uint8_t gpu, int32_t horizonValue,
                      int32_t verticalValue, std::u16string& out) {
    const GpuSettingsCapabilities caps = settingsCapabilities(layer, gpu);
    appendFormatted(out, kSectionFormat, gpu + 1, kKeyId, caps.identityText.c_str());
    if (caps.voltage.slot2Regulator) {
        learnRegulatorRegister(layer, gpu);
    }
    for (size_t mode = 0; mode < kModeCount; ++mode) {
        if (!caps.modePresent[mode]) {
            continue;
        }
        gpu::PerfClockRequest request;
        if (layer.readLevelClocks(gpu, request, levelKindOfMode(mode)) == drv::kOk) {
            for (size_t clock = 0; clock < kClockCount; ++clock) {
                if (caps.adjustable[mode][clock]) {
                    appendFormatted(out, kValueFormat, kClockKeys[mode][clock],
                                    static_cast<int32_t>(*requestClock(request, clock).current));
                }
            }
        }
        int32_t voltage = 0;
        if (caps.voltage.any() && kVoltageKeys[mode] != nullptr &&
            readFileVoltage(layer, gpu, caps, mode, voltage) == drv::kOk) {
            appendFormatted(out, kValueFormat, kVoltageKeys[mode], voltage);
        }
    }
    int fanMode = 0;
    const int32_t workMode =
        layer.fanMode(gpu, fanMode) == drv::kOk ? fanMode : kFanWorkModeUnreadable;
    appendFormatted(out, kValueFormat, kKeyFanWorkMode, workMode);
    if (workMode != kFanWorkModeAutomatic) {
        int32_t level = 0;
        if (layer.fanSpeed(gpu, level, false) != drv::kOk) {
            level = kFanSpeedUnreadable;
        }
        appendFormatted(out, kValueFormat, kKeyFanSpeed, level);
    }
    if (caps.alarmWritten) {
        uint8_t alarm = 0;
        const int32_t celsius = layer.readRegister(gpu, gpu::kSlotFanChip0,
                                                   kAlarmTemperatureRegister, alarm) == drv::kOk
                                    ? alarm
                                    : kAlarmTemperatureUnreadable;
        appendFormatted(out, kValueFormat, kKeyAlarmTemperature, celsius);
    }
    appendFormatted(out, kValueFormat, kKeyHorizonValue, horizonValue);
    appendFormatted(out, kValueFormat, kKeyVerticalValue, verticalValue);
}

// Writes a mode's clocks when the section has every clock the GPU adjusts in that mode and each
// lies within its limits; the level is written with the write flag set, then clear.
void applyModeClocks(gpu::GpuLayer& layer, uint8_t gpu, const GpuSettingsCapabilities& caps,
                     const UserSettingsSection& section, size_t mode) {
    bool anyClock = false;
    for (size_t clock = 0; clock < kClockCount; ++clock) {
        if (caps.adjustable[mode][clock]) {
            if (!section.clocks[mode][clock]) {
                return;
            }
            anyClock = true;
        }
    }
    if (!anyClock) {
        return;
    }
    const int kind = levelKindOfMode(mode);
    gpu::PerfClockRequest request;
    if (layer.readLevelClocks(gpu, request, kind) != drv::kOk) {
        return;
    }
    for (size_t clock = 0; clock < kClockCount; ++clock) {
        if (!caps.adjustable[mode][clock]) {
            continue;
        }
        const int64_t value = *section.clocks[mode][clock];
        const RequestClock target = requestClock(request, clock);
        if (value < target.minimum || value > target.maximum) {
            return;
        }
    }
    // A clock the GPU does not adjust in this mode keeps the value the level has now.
    for (size_t clock = 0; clock < kClockCount; ++clock) {
        if (caps.adjustable[mode][clock]) {
            *requestClock(request, clock).current =
                static_cast<uint32_t>(*section.clocks[mode][clock]);
        }
    }
    if (layer.writeLevelClocks(gpu, request, kind, 1) == drv::kOk) {
        layer.writeLevelClocks(gpu, request, kind, 0);
    }
}

void applyFan(gpu::GpuLayer& layer, platform::Clock& clock, uint8_t gpu,
              const UserSettingsSection& section) {
    if (!section.fanWorkMode) {
        return;
    }
    if (*section.fanWorkMode == kFanWorkModeAutomatic) {
        layer.setFanAutomatic(gpu);
        return;
    }
    if (*section.fanWorkMode != kFanWorkModeManual) {
        return;
    }
    uint32_t minimum = 0;
    uint32_t maximum = 0;
    if (layer.fanDutyRange(gpu, minimum, maximum) != drv::kOk || !section.fanSpeed) {
        return;
    }
    const int64_t level = *section.fanSpeed;
    if (level < minimum || level > maximum) {
        return;
    }
    layer.setFanLevel(gpu, static_cast<uint32_t>(level));
    clock.sleepMs(kFanSettleMs);
}

void applyGpuSection(gpu::GpuLayer& layer, platform::Clock& clock, uint8_t gpu,
                     const GpuSettingsCapabilities& caps, const UserSettingsSection& section,
                     UserSettingsState& state) {
    if (gpu < state.records.size()) {
        fillRecord(section, caps, state.records[gpu]);
    }
    if (caps.voltage.slot2Regulator) {
        learnRegulatorRegister(layer, gpu);
    }
    for (size_t mode = 0; mode < kModeCount; ++mode) {
        if (!caps.modePresent[mode]) {
            continue;
        }
        applyModeClocks(layer, gpu, caps, section, mode);
        if (caps.voltage.any() && section.voltages[mode]) {
            applyFileVoltage(layer, gpu, caps, mode, *section.voltages[mode]);
        }
    }
    if (section.horizonValue) {
        state.horizonValue = *section.horizonValue;
    }
    if (section.verticalValue) {
        state.verticalValue = *section.verticalValue;
    }
    applyFan(layer, clock, gpu, section);
    if (caps.alarmApplied && section.alarmTemperature) {
        layer.writeRegister(
            gpu, gpu::kSlotFanChip0, kAlarmTemperatureRegister,
            static_cast<uint8_t>(static_cast<uint32_t>(*section.alarmTemperature) & kLowByte));
    }
}

}  // namespace

std::u16string userSettingsText(gpu::GpuLayer& layer, int32_t horizonValue, int32_t verticalValue) {
    std::u16string text;
    for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
        appendGpuSection(layer, gpu, horizonValue, verticalValue, text);
    }
    return text;
}

std::string encodeUserSettingsFile(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(2 * (text.size() + 1));
    const auto put = [&bytes](char16_t unit) {
        bytes.push_back(static_cast<char>(unit & kLowByte));
        bytes.push_back(static_cast<char>((unit >> 8) & kLowByte));
    };
    put(kByteOrderMark);
    for (const char16_t unit : text) {
        put(unit);
    }
    return bytes;
}

int writeUserSettingsText(std::u16string_view text, const std::string& path) {
    return platform::writeFileAtomically(path, encodeUserSettingsFile(text), kFileMode) == 0
               ? kUserSettingsOk
               : kUserSettingsFileError;
}

int writeUserSettings(gpu::GpuLayer& layer, int32_t horizonValue, int32_t verticalValue,
                      const std::string& path) {
    return writeUserSettingsText(userSettingsText(layer, horizonValue, verticalValue), path);
}

int readAndApplyUserSettings(gpu::GpuLayer& layer, platform::Clock& clock, UserSettingsState& state,
                             const std::string& path) {
    settings::CIni ini;
    if (!ini.Load(path, false)) {
        return kUserSettingsFileError;
    }
    // Right after initialisation the layer's background probe may still be driving a fan for
    // a moment and then put back what it found; the file's settings come after it.
    layer.waitForProbe();
    for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
        const GpuSettingsCapabilities caps = settingsCapabilities(layer, gpu);
        const UserSettingsSection section = readSection(ini, gpu + 1);
        // Another card in this slot: its settings never move to a different model.
        if (!sectionMatches(section, caps.identityText)) {
            continue;
        }
        applyGpuSection(layer, clock, gpu, caps, section, state);
    }
    ini.Close();
    return kUserSettingsOk;
}

int saveOrDeleteUserSettings(gpu::GpuLayer& layer, bool restoreUserSettings, int32_t horizonValue,
                             int32_t verticalValue, const std::string& path) {
    if (restoreUserSettings) {
        return writeUserSettings(layer, horizonValue, verticalValue, path);
    }
    std::error_code error;
    std::filesystem::remove(path, error);
    return error ? kUserSettingsFileError : kUserSettingsOk;
}

UserSettingsFile::UserSettingsFile(platform::Clock& clock, std::string path)
    : clock_(clock), path_(std::move(path)) {}

int UserSettingsFile::applySavedSettings(gpu::GpuLayer& layer) {
    return readAndApplyUserSettings(layer, clock_, state_, path_);
}

int UserSettingsFile::save(gpu::GpuLayer& layer) {
    return writeUserSettings(layer, state_.horizonValue, state_.verticalValue, path_);
}

int UserSettingsFile::saveOrDelete(gpu::GpuLayer& layer, bool restoreUserSettings) {
    return saveOrDeleteUserSettings(layer, restoreUserSettings, state_.horizonValue,
                                    state_.verticalValue, path_);
}

}  // namespace qv::app
