// The stored options as plain members, loaded once at start-up and written back by the options
// dialog; the Run entry; the options dialog's save.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "settings/RegistryStore.h"
#include "settings/StartArguments.h"

namespace qv::settings {

inline constexpr int kDefaultSamplingPeriod = 1;
inline constexpr int kDefaultFanIndex = 1;
inline constexpr int kDefaultIphonePassword = 570293;
// "OSDPositionX" / "OSDPositionY" when the user has not placed the overlay line (stored as
// 2147483648). Any other pair is a desktop position, negative numbers as their 32 bits.
inline constexpr int kOsdPositionNotSet = std::numeric_limits<int32_t>::min();

struct RegistrySettings {
    int runMode = kStartModeSysTray;  // what the Run entry says
    int launchMode = kStartModeNone;  // this process's own start word

    bool restoreUserSettings = true;
    int samplingPeriod = kDefaultSamplingPeriod;  // 0 = curve drawing off, else 1-10 s
    bool autoUpdate = true;
    bool hdmiAutoSet = true;
    bool fanTempSet = false;
    bool osdClockShow = false;
    bool osdTempShow = true;
    bool osdFramerateShow = false;
    bool osdFanSpeedShow = true;
    // Where the user put the overlay line's window (its top-left corner on the desktop); both
    // kOsdPositionNotSet: the default place.
    int osdPositionX = kOsdPositionNotSet;
    int osdPositionY = kOsdPositionNotSet;
    int highSet = 0;                     // fan Custom mode
    int highSet2 = 0;                    // fan Silent mode
    int highSet3 = 0;                    // fan Performance mode
    int templowSet = kDefaultFanIndex;   // 1-2
    int fansSet = kDefaultFanIndex;      // 1-3
    int tempSet = kDefaultFanIndex;      // 1-3
    int fansHighSet = kDefaultFanIndex;  // 1-3
    int fanSpeedTest = 0;
    bool temperatureAlarmSet = false;
    int temperatureAlarmValue = 0;  // 0-4: 95-99 degrees
    int hotKeyEnable = 0;
    int hotKeyFanSpeed = 0;
    int hotKeyGpuOffset = 0;
    int hotKeySetVoltageHighest = 0;
    bool newsSwitch = true;
    int iphonePassWord = kDefaultIphonePassword;

    // Custom-mode numbers the options dialog derives when it saves the four fan indices.
    int customLowTemperature = 0;   // degrees
    int customLowFan = 0;           // percent
    int customHighTemperature = 0;  // degrees
    int customHighFan = 0;          // percent
};

// The start-up load: every value read in its fixed order; a value that reads replaces its member
// (bool members and the three fan mode switches as 0/1, the others unchanged, unchecked); a
// value that does not keeps the default, and for the eight write-back values the default is
// written at once. "HdmiAutoSet" is not read here.
void loadRegistrySettings(RegistryStore& store, RegistrySettings& settings);

// "HdmiAutoSet", which the options dialog reads each time it opens.
void readHdmiAutoSet(RegistryStore& store, RegistrySettings& settings);

// Writes the Run entry for a mode 2-5 ("program-path word"); other modes do nothing and answer
// false.
bool writeRunEntry(RegistryStore& store, const std::string& programPath, int mode);
bool deleteRunEntry(RegistryStore& store);
// The word after the Run entry's last blank into settings.runMode (0 for an unknown or empty
// word). False, with runMode unchanged, when there is no entry or it has no blank after its
// first character.
bool readRunEntry(RegistryStore& store, RegistrySettings& settings);

// What the options dialog holds when OK is pressed.
struct OptionsChoices {
    bool restoreUserSettings = false;
    bool autoUpdate = false;
    bool hdmiAutoSet = false;
    bool fanTempSet = false;
    bool osdClockShow = false;
    bool osdTempShow = false;
    bool osdFanSpeedShow = false;
    bool osdFramerateShow = false;
    bool newsSwitch = false;
    bool highSet = false;   // Custom mode
    bool highSet2 = false;  // Silent mode
    bool highSet3 = false;  // Performance mode
    bool fanSpeedTest = false;
    // Selected list indices (0-based) of the Custom-mode lists.
    int templowIndex = 0;
    int fansIndex = 0;
    int fansHighIndex = 0;
    int tempIndex = 0;
    bool temperatureAlarmSet = false;
    int temperatureAlarmIndex = 0;
    bool curveDrawingEnabled = false;
    int samplingPeriodIndex = 0;
    // The five start choices in table order: do not run, run, minimise, tray, apply and quit.
    std::array<bool, 5> startChoices{};
    bool hotKeyEnable = false;
    bool hotKeySetVoltageHighest = false;
    int hotKeyFanSpeedIndex = 0;
    int hotKeyGpuOffsetIndex = 0;
};

// The place the user dragged the overlay line to (or kOsdPositionNotSet twice to forget it):
// members and stored values change together. False when a value could not be written; the
// members still change, as for every other option.
bool saveOsdPosition(RegistryStore& store, RegistrySettings& settings, int x, int y);

// The options dialog's OK, in its fixed order: members and stored values change together; a
// value that cannot be written is lost while its member still changes.
void saveOptions(const OptionsChoices& choices, RegistryStore& store,
                 const std::string& programPath, RegistrySettings& settings);

// The fan percent and clock offset the hot-key lists stand for.
int hotKeyFanSpeedForIndex(int index);
int hotKeyGpuOffsetForIndex(int index);

}  // namespace qv::settings
