#include "settings/RegistrySettings.h"

#include <iterator>
#include <type_traits>
#include <variant>

#include "settings/RegistryValues.h"

namespace qv::settings {

namespace {

// How a stored number becomes its member.
enum class ValueKind {
    kFlag,    // bool members and the three fan mode switches: any non-zero number is 1
    kNumber,  // stored unchanged, without a range check
};

struct LoadedValue {
    const char* name;
    std::variant<bool RegistrySettings::*, int RegistrySettings::*> member;
    ValueKind kind;
    bool writeBack;  // the default is written when the value is missing
};

// The start-up load, in its order.
const LoadedValue kStartupValues[] = {
    {kValueIphonePassWord, &RegistrySettings::iphonePassWord, ValueKind::kNumber, true},
    {kValueTemperatureAlarmValue, &RegistrySettings::temperatureAlarmValue, ValueKind::kNumber,
     true},
    {kValueTemperatureAlarmSet, &RegistrySettings::temperatureAlarmSet, ValueKind::kFlag, true},
    {kValueOsdClockShow, &RegistrySettings::osdClockShow, ValueKind::kFlag, false},
    {kValueOsdTempShow, &RegistrySettings::osdTempShow, ValueKind::kFlag, false},
    {kValueOsdFramerateShow, &RegistrySettings::osdFramerateShow, ValueKind::kFlag, false},
    {kValueOsdFanSpeedShow, &RegistrySettings::osdFanSpeedShow, ValueKind::kFlag, false},
    {kValueFanTempSet, &RegistrySettings::fanTempSet, ValueKind::kFlag, false},
    {kValueRestoreUserSettings, &RegistrySettings::restoreUserSettings, ValueKind::kFlag, false},
    {kValueAutoUpdate, &RegistrySettings::autoUpdate, ValueKind::kFlag, false},
    {kValueSamplingPeriod, &RegistrySettings::samplingPeriod, ValueKind::kNumber, true},
    {kValueHighSet, &RegistrySettings::highSet, ValueKind::kFlag, false},
    {kValueHighSet2, &RegistrySettings::highSet2, ValueKind::kFlag, false},
    {kValueHighSet3, &RegistrySettings::highSet3, ValueKind::kFlag, false},
    {kValueFanSpeedTest, &RegistrySettings::fanSpeedTest, ValueKind::kNumber, false},
    {kValueFansSet, &RegistrySettings::fansSet, ValueKind::kNumber, true},
    {kValueFansHighSet, &RegistrySettings::fansHighSet, ValueKind::kNumber, true},
    {kValueTempSet, &RegistrySettings::tempSet, ValueKind::kNumber, true},
    {kValueTemplowSet, &RegistrySettings::templowSet, ValueKind::kNumber, true},
    {kValueNewsSwitch, &RegistrySettings::newsSwitch, ValueKind::kFlag, false},
    {kValueHotKeyEnable, &RegistrySettings::hotKeyEnable, ValueKind::kNumber, false},
    {kValueHotKeyFanSpeed, &RegistrySettings::hotKeyFanSpeed, ValueKind::kNumber, false},
    {kValueHotKeyGpuOffset, &RegistrySettings::hotKeyGpuOffset, ValueKind::kNumber, false},
    {kValueHotKeySetVoltageHighest, &RegistrySettings::hotKeySetVoltageHighest, ValueKind::kNumber,
     false},
    {kValueOsdPositionX, &RegistrySettings::osdPositionX, ValueKind::kNumber, false},
    {kValueOsdPositionY, &RegistrySettings::osdPositionY, ValueKind::kNumber, false},
};

constexpr int kHotKeyFanSpeeds[] = {40, 50, 60, 70, 80, 90};
constexpr int kHotKeyFanSpeedOther = 100;
constexpr int kHotKeyGpuOffsetStep = 100;
constexpr int kHotKeyGpuOffsetLastIndex = 6;
constexpr int kHotKeyGpuOffsetOther = 100;

// Derived Custom-mode numbers from the stored (1-based) indices.
constexpr int kLowTemperatureBase = 9;
constexpr int kLowFanBase = 2;
constexpr int kHighTemperatureBase = 15;
constexpr int kHighFanBase = 7;
constexpr int kDegreesPerStep = 5;
constexpr int kLowFanPercentPerStep = 5;
constexpr int kHighFanPercentPerStep = 10;

uint32_t storedNumber(int value) {
    return static_cast<uint32_t>(value);
}

void readInto(RegistryStore& store, const LoadedValue& value, RegistrySettings& settings) {
    uint32_t raw = 0;
    const bool read = store.readValue(value.name, raw);
    std::visit(
        [&](auto member) {
            auto& field = settings.*member;
            using Field = std::remove_reference_t<decltype(field)>;
            if (read) {
                if constexpr (std::is_same_v<Field, bool>) {
                    field = raw != 0;
                } else if (value.kind == ValueKind::kFlag) {
                    field = raw != 0 ? 1 : 0;
                } else {
                    field = static_cast<int>(raw);  // the 32 bits as they are
                }
            } else if (value.writeBack) {
                store.writeValue(value.name, storedNumber(static_cast<int>(field)));
            }
        },
        value.member);
}

void store(RegistryStore& registry, const char* name, int value, int& member) {
    member = value;
    registry.writeValue(name, storedNumber(value));
}

void storeFlag(RegistryStore& registry, const char* name, bool checked, bool& member) {
    member = checked;
    registry.writeValue(name, checked ? 1u : 0u);
}

void storeFlag(RegistryStore& registry, const char* name, bool checked, int& member) {
    store(registry, name, checked ? 1 : 0, member);
}

}  // namespace

void loadRegistrySettings(RegistryStore& store, RegistrySettings& settings) {
    settings = RegistrySettings{};
    for (const LoadedValue& value : kStartupValues) {
        readInto(store, value, settings);
    }
}

void readHdmiAutoSet(RegistryStore& store, RegistrySettings& settings) {
    uint32_t raw = 0;
    if (store.readValue(kValueHdmiAutoSet, raw)) {
        settings.hdmiAutoSet = raw != 0;
    }
}

bool writeRunEntry(RegistryStore& store, const std::string& programPath, int mode) {
    const char* word = startArgumentWord(mode);
    if (word == nullptr) {
        return false;
    }
    return store.writeRunEntry(programPath, word);
}

bool deleteRunEntry(RegistryStore& store) {
    return store.deleteRunEntry();
}

bool readRunEntry(RegistryStore& store, RegistrySettings& settings) {
    std::string text;
    if (!store.readRunEntry(text)) {
        return false;
    }
    const size_t blank = text.find_last_of(' ');
    if (blank == std::string::npos || blank == 0) {
        return false;
    }
    settings.runMode = parseStartArgument(std::string_view(text).substr(blank + 1));
    return true;
}

bool saveOsdPosition(RegistryStore& registry, RegistrySettings& settings, int x, int y) {
    settings.osdPositionX = x;
    settings.osdPositionY = y;
    const bool xWritten = registry.writeValue(kValueOsdPositionX, storedNumber(x));
    const bool yWritten = registry.writeValue(kValueOsdPositionY, storedNumber(y));
    return xWritten && yWritten;
}

int hotKeyFanSpeedForIndex(int index) {
    constexpr int count = static_cast<int>(std::size(kHotKeyFanSpeeds));
    return (index >= 0 && index < count) ? kHotKeyFanSpeeds[index] : kHotKeyFanSpeedOther;
}

int hotKeyGpuOffsetForIndex(int index) {
    return (index >= 1 && index <= kHotKeyGpuOffsetLastIndex) ? (index + 1) * kHotKeyGpuOffsetStep
                                                              : kHotKeyGpuOffsetOther;
}

void saveOptions(const OptionsChoices& choices, RegistryStore& registry,
                 const std::string& programPath, RegistrySettings& settings) {
    // 1. The check boxes.
    storeFlag(registry, kValueRestoreUserSettings, choices.restoreUserSettings,
              settings.restoreUserSettings);
    storeFlag(registry, kValueAutoUpdate, choices.autoUpdate, settings.autoUpdate);
    storeFlag(registry, kValueHdmiAutoSet, choices.hdmiAutoSet, settings.hdmiAutoSet);
    storeFlag(registry, kValueFanTempSet, choices.fanTempSet, settings.fanTempSet);
    storeFlag(registry, kValueOsdClockShow, choices.osdClockShow, settings.osdClockShow);
    storeFlag(registry, kValueOsdTempShow, choices.osdTempShow, settings.osdTempShow);
    storeFlag(registry, kValueOsdFanSpeedShow, choices.osdFanSpeedShow, settings.osdFanSpeedShow);
    storeFlag(registry, kValueOsdFramerateShow, choices.osdFramerateShow,
              settings.osdFramerateShow);
    storeFlag(registry, kValueNewsSwitch, choices.newsSwitch, settings.newsSwitch);
    storeFlag(registry, kValueHighSet, choices.highSet, settings.highSet);
    storeFlag(registry, kValueHighSet2, choices.highSet2, settings.highSet2);
    storeFlag(registry, kValueHighSet3, choices.highSet3, settings.highSet3);
    storeFlag(registry, kValueFanSpeedTest, choices.fanSpeedTest, settings.fanSpeedTest);

    // 2. The Custom-mode lists, only while Custom mode is checked.
    if (choices.highSet) {
        store(registry, kValueTemplowSet, choices.templowIndex + 1, settings.templowSet);
        store(registry, kValueFansSet, choices.fansIndex + 1, settings.fansSet);
        store(registry, kValueFansHighSet, choices.fansHighIndex + 1, settings.fansHighSet);
        store(registry, kValueTempSet, choices.tempIndex + 1, settings.tempSet);
        settings.customLowTemperature =
            kDegreesPerStep * (settings.templowSet + kLowTemperatureBase);
        settings.customLowFan = kLowFanPercentPerStep * (settings.fansSet + kLowFanBase);
        settings.customHighTemperature =
            kDegreesPerStep * (settings.tempSet + kHighTemperatureBase);
        settings.customHighFan = kHighFanPercentPerStep * (settings.fansHighSet + kHighFanBase);
    }

    // 3. The alarm; its temperature only while it is on.
    storeFlag(registry, kValueTemperatureAlarmSet, choices.temperatureAlarmSet,
              settings.temperatureAlarmSet);
    if (choices.temperatureAlarmSet) {
        store(registry, kValueTemperatureAlarmValue, choices.temperatureAlarmIndex,
              settings.temperatureAlarmValue);
    }

    // 4. Curve drawing.
    store(registry, kValueSamplingPeriod,
          choices.curveDrawingEnabled ? choices.samplingPeriodIndex + 1 : 0,
          settings.samplingPeriod);

    // 5. The first checked start choice decides the Run entry.
    for (size_t i = 0; i < choices.startChoices.size(); ++i) {
        if (!choices.startChoices[i]) {
            continue;
        }
        const int mode = kStartModeDoNotRun + static_cast<int>(i);
        if (mode == kStartModeDoNotRun) {
            deleteRunEntry(registry);
        } else {
            writeRunEntry(registry, programPath, mode);
        }
        settings.runMode = mode;
        break;
    }

    // 6. Hot keys.
    storeFlag(registry, kValueHotKeyEnable, choices.hotKeyEnable, settings.hotKeyEnable);
    storeFlag(registry, kValueHotKeySetVoltageHighest, choices.hotKeySetVoltageHighest,
              settings.hotKeySetVoltageHighest);
    store(registry, kValueHotKeyFanSpeed, hotKeyFanSpeedForIndex(choices.hotKeyFanSpeedIndex),
          settings.hotKeyFanSpeed);
    store(registry, kValueHotKeyGpuOffset, hotKeyGpuOffsetForIndex(choices.hotKeyGpuOffsetIndex),
          settings.hotKeyGpuOffset);
}

}  // namespace qv::settings
