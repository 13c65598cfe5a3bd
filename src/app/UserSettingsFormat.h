// The user settings file: its name, sections, keys and line formats, what decides which lines a
// GPU has, and the parsing side of reading it (no hardware involved).
//
// The file is UTF-16LE with a byte-order mark and CR LF line ends: one section "[GpuN]" per GPU
// (N counted from 1) whose first line is the GPU's identity text "Id=0e22", then "Key=value"
// lines with signed decimal values. Profile files have the same format.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/UserSettingsRecord.h"
#include "gpu/GpuLayer.h"
#include "settings/CIni.h"

namespace qv::app {

// Resolved against the current folder, which start-up makes the program folder.
inline constexpr const char* kUserSettingsFileName = "UserSettings.txt";

// Line formats: the section line with the Id line, and every other line.
inline constexpr const char* kSectionFormat = "[Gpu%d]\r\n%s=%s\r\n";
inline constexpr const char* kValueFormat = "%s=%d\r\n";
// Section name of a GPU: the prefix and the GPU's number counted from 1.
inline constexpr const char* kSectionPrefix = "Gpu";

inline constexpr const char* kKeyId = "Id";
// The Id is compared over at most this many characters.
inline constexpr size_t kIdMaxChars = 8;

// Clock work modes in the order the file lists them: 2D, 3D low power, 3D performance.
inline constexpr size_t kModeCount = 3;
inline constexpr size_t kMode2D = 0;
inline constexpr size_t kMode3DLow = 1;
inline constexpr size_t kMode3DPerformance = 2;
// Clock domains in the order the file lists them: GPU (graphics), shader, memory.
inline constexpr size_t kClockCount = 3;
inline constexpr size_t kClockGpu = 0;
inline constexpr size_t kClockShader = 1;
inline constexpr size_t kClockMemory = 2;

// [mode][clock]. The shader key of the 3D performance mode is spelled as stored files have it.
inline constexpr std::array<std::array<const char*, kClockCount>, kModeCount> kClockKeys = {{
    {"Gpu2DClock", "Shader2DClock", "Memory2DClock"},
    {"Gpu3DLowPowerClock", "Shader3DLowPowerClock", "Memory3DLowPowerClock"},
    {"Gpu3DPerformanceClock", "Shader3DPerformaceClock", "Memory3DPerformanceClock"},
}};
// [mode]; the 3D low-power mode has no voltage line.
inline constexpr std::array<const char*, kModeCount> kVoltageKeys = {"Gpu2DVolt", nullptr,
                                                                     "Gpu3DPerformanceVolt"};
inline constexpr const char* kKeyFanWorkMode = "FanWorkMode";
inline constexpr const char* kKeyFanSpeed = "FanSpeed";
inline constexpr const char* kKeyAlarmTemperature = "AlarmTemperature";
inline constexpr const char* kKeyHorizonValue = "HorizonValue";
inline constexpr const char* kKeyVerticalValue = "VerticalValue";

// Written when a value cannot be read from the card.
inline constexpr int32_t kFanWorkModeUnreadable = 255;
inline constexpr int32_t kFanSpeedUnreadable = 40;
inline constexpr int32_t kAlarmTemperatureUnreadable = 90;

inline constexpr int32_t kFanWorkModeAutomatic = gpu::GpuLayer::kFanModeAutomatic;
inline constexpr int32_t kFanWorkModeManual = gpu::GpuLayer::kFanModeManual;
// After a manual fan level is set, the next card is touched only after this pause.
inline constexpr uint32_t kFanSettleMs = 100;

inline constexpr int kValueRadix = 10;

// The level kind (1, 3, 2) of a mode index.
constexpr int levelKindOfMode(size_t mode) {
    return gpu::kLevelKindOrder[mode];
}

// Which voltage controls a GPU has. The first one that applies, in this order, serves a mode.
struct VoltageControls {
    bool slot2Regulator = false;  // code per mode, 450 mV + 12.5 mV per code
    bool slot7Regulator = false;  // same conversion; used when applying only
    bool slot3Regulator = false;  // a step 0-10, the same for every mode
    bool driverTable = false;     // the driver's voltage table of family C boards

    bool any() const { return slot2Regulator || slot7Regulator || slot3Regulator || driverTable; }
};

// What of the file applies to one GPU, from the hardware layer's record of it.
struct GpuSettingsCapabilities {
    std::string identityText;  // four lower-case hexadecimal digits
    std::array<bool, kModeCount> modePresent{};
    // [mode][clock]: the clock has a range in that mode's level, so it can be set there.
    std::array<std::array<bool, kClockCount>, kModeCount> adjustable{};
    VoltageControls voltage;
    bool alarmWritten = false;  // slot-0 fan chip driving the fan, no slot-3 regulator
    bool alarmApplied = false;  // slot-0 fan chip, no slot-3 regulator
};

GpuSettingsCapabilities settingsCapabilities(const gpu::GpuLayer& layer, uint8_t gpu);

// The lines of one "[GpuN]" section, as far as the file has them.
struct UserSettingsSection {
    std::optional<std::u16string> id;  // at most kIdMaxChars code units
    std::array<std::array<std::optional<int32_t>, kClockCount>, kModeCount> clocks{};
    std::array<std::optional<int32_t>, kModeCount> voltages{};
    std::optional<int32_t> fanWorkMode;
    std::optional<int32_t> fanSpeed;
    std::optional<int32_t> alarmTemperature;
    std::optional<int32_t> horizonValue;
    std::optional<int32_t> verticalValue;
};

// "Gpu" followed by the number.
std::string sectionName(int gpuNumber);
UserSettingsSection readSection(const settings::CIni& ini, int gpuNumber);
// The section is meant for this GPU: its Id equals the identity text, ignoring case.
bool sectionMatches(const UserSettingsSection& section, std::string_view identityText);
// Copies into `record` what the section holds that applies to the GPU: the clocks it adjusts,
// the voltages when it has a voltage control, the fan work mode, the fan speed only with work
// mode 2, the alarm temperature where the alarm chip takes it.
void fillRecord(const UserSettingsSection& section, const GpuSettingsCapabilities& gpu,
                UserSettingsRecord& record);
// The whole reading side without hardware: for each GPU described, in order, its section when
// it matches fills its record (the first kUserSettingsRecordCount GPUs have one) and the two
// shared values (the last matching section wins).
void parseUserSettings(const settings::CIni& ini, std::span<const GpuSettingsCapabilities> gpus,
                       UserSettingsState& state);

// The record's clock of a mode and domain.
int32_t& recordClock(UserSettingsRecord& record, size_t mode, size_t clock);
// The record's voltage of a mode; nullptr for the 3D low-power mode.
int32_t* recordVoltage(UserSettingsRecord& record, size_t mode);

// Regulator codes and the millivolts the file holds: mV = 450 + 12.5 x code, truncated.
int32_t regulatorCodeToFileMillivolts(uint32_t code);
// The code nearest to a file value (the lower one on a tie); -1 below the lowest code's half
// step. A value written for a code always reads back as that code.
int64_t fileMillivoltsToRegulatorCode(int32_t millivolts);

}  // namespace qv::app
