// Names of the stored option values.
#pragma once

namespace qv::settings {

inline constexpr const char* kValueRestoreUserSettings = "RestoreUserSettings";
inline constexpr const char* kValueSamplingPeriod = "SamplingPeriod";
inline constexpr const char* kValueAutoUpdate = "AutoUpdate";
inline constexpr const char* kValueHdmiAutoSet = "HdmiAutoSet";
inline constexpr const char* kValueFanTempSet = "FanTempSet";
inline constexpr const char* kValueOsdClockShow = "OSDClockShow";
inline constexpr const char* kValueOsdTempShow = "OSDTempShow";
inline constexpr const char* kValueOsdFramerateShow = "OSDFramerateShow";
inline constexpr const char* kValueOsdFanSpeedShow = "OSDFanSpeedShow";
inline constexpr const char* kValueOsdPositionX = "OSDPositionX";
inline constexpr const char* kValueOsdPositionY = "OSDPositionY";
inline constexpr const char* kValueHighSet = "HighSet";
inline constexpr const char* kValueHighSet2 = "HighSet2";
inline constexpr const char* kValueHighSet3 = "HighSet3";
inline constexpr const char* kValueTemplowSet = "TemplowSet";
inline constexpr const char* kValueFansSet = "FansSet";
inline constexpr const char* kValueTempSet = "TempSet";
inline constexpr const char* kValueFansHighSet = "FansHighSet";
inline constexpr const char* kValueFanSpeedTest = "FanSpeedTest";
inline constexpr const char* kValueTemperatureAlarmSet = "TemperatureAlarmSet";
inline constexpr const char* kValueTemperatureAlarmValue = "TemperatureAlarmValue";
inline constexpr const char* kValueHotKeyEnable = "HotKeyEnable";
inline constexpr const char* kValueHotKeyFanSpeed = "HotKeyFanSpeed";
inline constexpr const char* kValueHotKeyGpuOffset = "HotKeyGPUOffset";
inline constexpr const char* kValueHotKeySetVoltageHighest = "HotKeySetVoltageHighest";
inline constexpr const char* kValueNewsSwitch = "NewsSwitch";
inline constexpr const char* kValueIphonePassWord = "IphonePassWord";

}  // namespace qv::settings
