// The rows of the language table that the program names, each defined once. A row's text is
// read with languageTable().text(row); the comment gives the English text where the name alone
// does not say it.
#pragma once

namespace qv::lang {

// ---- Message boxes and start-up -----------------------------------------------------------------
inline constexpr int kTextAppName = 0;  // "Quorvel K", the caption of every message box
inline constexpr int kTextHardwareFailed = 2;
inline constexpr int kTextAddFontFailed = 3;
inline constexpr int kTextTemperatureTooHigh = 5;  // the alarm's template, "%d" for the GPU
inline constexpr int kTextOk = 51;
inline constexpr int kTextCancel = 52;
inline constexpr int kTextUnsupportedSystem = 53;
inline constexpr int kTextStartedByOtherUser = 61;
inline constexpr int kTextRunAtNextReboot = 77;
inline constexpr int kTextPleaseSelectGpu = 94;
inline constexpr int kTextWarning = 255;

// ---- Apply, Reset, profiles and the overclocking interface --------------------------------------
inline constexpr int kTextOverclock = 1;
inline constexpr int kTextApplyDone = 6;
inline constexpr int kTextApplyFailed = 7;
inline constexpr int kTextApply = 14;
inline constexpr int kTextApplyCanceled = 59;
inline constexpr int kTextReset = 62;
inline constexpr int kTextProfileCaption = 115;  // "Profile"
inline constexpr int kTextSave = 116;
inline constexpr int kTextLoad = 117;  // also the fan curve's button that takes the boxes over
inline constexpr int kTextVoltageQuestion = 184;
inline constexpr int kTextOverclockingQuestion = 251;

// ---- Controls and read-outs of the main window ---------------------------------------------------
inline constexpr int kTextLinked = 10;
inline constexpr int kTextUnlinked = 11;
inline constexpr int kTextClockWorkMode = 12;
inline constexpr int kTextGpuClock = 18;
inline constexpr int kTextMemoryClock = 19;
inline constexpr int kTextShaderClock = 20;
inline constexpr int kTextTemperature = 21;
inline constexpr int kTextFanSpeed = 22;
inline constexpr int kTextGpuVoltage = 23;
inline constexpr int kTextPower = 24;
inline constexpr int kTextMemoryVoltage = 25;
inline constexpr int kTextFanAuto = 29;
inline constexpr int kTextFanManual = 30;
inline constexpr int kText2D = 34;
inline constexpr int kText3DLow = 36;
inline constexpr int kText3DPerf = 37;
inline constexpr int kTextGpu = 43;
inline constexpr int kTextShaderShort = 44;
inline constexpr int kTextMemoryShort = 45;
inline constexpr int kTextMinimize = 176;
inline constexpr int kTextCudaCores = 182;
inline constexpr int kTextDegrees = 190;
inline constexpr int kTextMemorySize = 221;
inline constexpr int kTextBusWidth = 222;
inline constexpr int kTextMemoryType = 223;
inline constexpr int kTextCurrentClock = 225;
inline constexpr int kTextDefaultClock = 227;
inline constexpr int kTextGpuLoad = 228;
inline constexpr int kTextUsage = 229;
inline constexpr int kTextMcu = 230;
inline constexpr int kTextTdp = 232;
inline constexpr int kTextUnlockMin = 235;
inline constexpr int kTextUnlockMax = 236;
inline constexpr int kTextHide = 245;
inline constexpr int kTextGpuOffset = 248;
inline constexpr int kTextMemoryOffset = 249;
inline constexpr int kTextFrameRate = 250;
inline constexpr int kTextHotKey = 257;

// ---- The monitor window -------------------------------------------------------------------------
inline constexpr int kTextFanRpm = 187;  // "FanSpeed"; fan rpm in the Chinese columns
inline constexpr int kTextMonitors = 244;
inline constexpr int kTextClose = 246;
inline constexpr int kTextOpenSavedFile = 247;  // "Open Saved File?"
// ---- The notification area's menu ----------------------------------------------------------------
inline constexpr int kTextAbout = 13;
inline constexpr int kTextMainWindow = 69;
inline constexpr int kTextQuit = 70;
inline constexpr int kTextCheckForUpdate = 196;
inline constexpr int kTextNews = 219;

// ---- BIOS flashing and the BIOS search link ------------------------------------------------------
inline constexpr int kTextBiosFileExtension = 63;  // "Extension BIOS file name must be .ROM or .NVR!"
inline constexpr int kTextBiosFlashFailed = 64;    // "%d": the GPU counted from 1
inline constexpr int kTextBiosFlashDone = 65;      // the same
inline constexpr int kTextBiosFlashWait = 68;      // the same
inline constexpr int kTextBiosFlashQuestion = 114;  // "%s": the chosen file
inline constexpr int kTipBiosFlash = 164;
inline constexpr int kTipBiosSearch = 171;

// ---- The fan curve ------------------------------------------------------------------------------
inline constexpr int kTextCurveAxisTemperature = 233;  // the chart's temperature axis (degrees C)
inline constexpr int kTextSpeedPercent = 234;          // "Speed(%)", also the chart's speed axis
inline constexpr int kTextCurveAuto = 239;
inline constexpr int kTextCurveCustom = 240;
inline constexpr int kTextCurveToolTip = 242;  // the chart's tool tip: the two modes

// ---- Tool tips ----------------------------------------------------------------------------------
inline constexpr int kTipLink = 155;
inline constexpr int kTipGpuClock = 156;
inline constexpr int kTipShaderClock = 157;
inline constexpr int kTipMemoryClock = 158;
inline constexpr int kTipFan = 159;
inline constexpr int kTipCoreVoltage = 160;
inline constexpr int kTipProfile = 161;
inline constexpr int kTipApply = 162;
inline constexpr int kTipReset = 163;
inline constexpr int kTip2D = 168;
inline constexpr int kTip3DLow = 169;
inline constexpr int kTip3DPerf = 170;
inline constexpr int kTipTemperature = 172;
inline constexpr int kTipMonitor = 166;
inline constexpr int kTipCudaCores = 173;
inline constexpr int kTipSynchronous = 174;
inline constexpr int kTipOverclocking = 241;
inline constexpr int kTipMemoryVoltage = 243;
inline constexpr int kTipGpuOffset = 252;
inline constexpr int kTipMemoryOffset = 253;
inline constexpr int kTipFrameRate = 254;

// ---- The options dialog and the fan speed test --------------------------------------------------
inline constexpr int kTextSaveSettingsBeforeQuit = 72;
inline constexpr int kTextSettings = 75;  // the options dialog's caption
inline constexpr int kTextDoNotRun = 78;  // the five start choices follow in order
inline constexpr int kTextRestart = 83;
inline constexpr int kTextSaveHardwareSettings = 85;
inline constexpr int kTextCurveDrawing = 106;
inline constexpr int kTextEnable = 107;
inline constexpr int kTextSamplingPeriod = 108;
inline constexpr int kTextSeconds = 109;
inline constexpr int kTextAutoUpdate = 112;
inline constexpr int kTextChangePassword = 124;  // also the password dialog's caption
inline constexpr int kTextHdmiDefaultDevice = 154;
inline constexpr int kTextFanTempAssociated = 183;
inline constexpr int kTextTempLow = 185;
inline constexpr int kTextTempOver = 186;
inline constexpr int kTextHighFanSpeed = 187;
inline constexpr int kTextLowFanSpeed = 188;
inline constexpr int kTextCustomMode = 191;
inline constexpr int kTextSilentMode = 192;
inline constexpr int kTextPerformanceMode = 193;
inline constexpr int kTextAdvancedFanControl = 194;
inline constexpr int kTextIphoneControl = 195;
inline constexpr int kTextFanSpeedWarning = 214;  // reference and measured rpm, "%d" twice
inline constexpr int kTextFanSpeedOk = 215;       // the same
inline constexpr int kTextDriverTooOld = 216;
inline constexpr int kTextCurrentChannels = 218;
inline constexpr int kTextNewsPopUp = 220;
inline constexpr int kTextGpuVoltageHighest = 256;
inline constexpr int kTipSettings = 175;
// ---- The online update dialog and the news ------------------------------------------------------
inline constexpr int kTextOnlineUpdate = 197;  // the dialog's caption
inline constexpr int kTextNext = 198;
inline constexpr int kTextDownload = 199;
inline constexpr int kTextUpdateWelcome = 200;
inline constexpr int kTextUpdateCanHelp = 201;
inline constexpr int kTextUpdateUsesInternet = 202;
inline constexpr int kTextUpdateClickNext = 203;
inline constexpr int kTextUpdateThanks = 204;
inline constexpr int kTextUpdateNone = 205;
inline constexpr int kTextUpdateFollow = 206;
inline constexpr int kTextUpdateKeepFollowing = 207;
inline constexpr int kTextUpdateFound = 208;
inline constexpr int kTextUpdateUpdates = 209;
inline constexpr int kTextUpdateDetails = 210;
inline constexpr int kTextUpdateNetworkFailed = 211;

// ---- The remote-control password dialog --------------------------------------------------------
inline constexpr int kTextOriginalPassword = 125;
inline constexpr int kTextNewPassword = 126;
inline constexpr int kTextConfirmPassword = 127;
inline constexpr int kTextPleaseInputPassword = 129;  // the new password is empty
inline constexpr int kTextPasswordError = 130;
inline constexpr int kTextPasswordsDiffer = 131;

}  // namespace qv::lang
