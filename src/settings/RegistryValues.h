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

// Text values: the servers of the online services (an http or https address without a path;
// defaults in online/OnlineHosts.h) and the name or path of the BIOS flash tool.
inline constexpr const char* kValueUpdateServer = "UpdateServer";
inline constexpr const char* kValueDownloadServer = "DownloadServer";
inline constexpr const char* kValueWebServer = "WebServer";
inline constexpr const char* kValueSupportServer = "SupportServer";
inline constexpr const char* kValueProductPage = "ProductPage";
inline constexpr const char* kValueFlashTool = "FlashTool";

// The remote control bridge: off (0) unless switched on, the address it listens on (text) and
// its TCP port.
inline constexpr const char* kValueRemoteBridge = "RemoteBridge";
inline constexpr const char* kValueRemoteListenAddress = "RemoteListenAddress";
inline constexpr const char* kValueRemotePort = "RemotePort";

}  // namespace qv::settings
