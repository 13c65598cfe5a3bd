// Interface IDs of the driver operations, as resolved through nvapi_QueryInterface.
#pragma once

#include <cstdint>

namespace qv::drv {

// Loader and session.
inline constexpr uint32_t kInitialize = 0x0150E828;
inline constexpr uint32_t kUnload = 0xD22BDD7E;
inline constexpr uint32_t kCallEntryHook = 0x33C7358C;
inline constexpr uint32_t kCallExitHook = 0x593E8644;

// Enumeration and board information.
inline constexpr uint32_t kEnumPhysicalGpus = 0xE5AC921F;
inline constexpr uint32_t kEnumNvidiaDisplayHandle = 0x9ABDD40D;
inline constexpr uint32_t kGpuGetFullName = 0xCEEE8E9F;
inline constexpr uint32_t kGpuGetPciIdentifiers = 0x2DDFB66E;
inline constexpr uint32_t kGpuGetBusId = 0x1BE0B8E5;
inline constexpr uint32_t kGpuGetGpuCoreCount = 0xC7026A87;
inline constexpr uint32_t kGetMemoryInfo = 0x774AA982;
inline constexpr uint32_t kGpuGetMemoryType = 0x57F7CAAC;
inline constexpr uint32_t kGpuGetBusWidthAndLocation = 0x11104158;
inline constexpr uint32_t kGetAssociatedNvidiaDisplayName = 0x22A78B05;
inline constexpr uint32_t kGetAssociatedNvidiaDisplayHandle = 0x35C29134;
inline constexpr uint32_t kDispGetDisplayIdByDisplayName = 0xAE457190;

// Clocks and performance states.
inline constexpr uint32_t kGpuGetAllClockFrequencies = 0xDCB616C3;
inline constexpr uint32_t kGpuGetCurrentPstate = 0x927DA4F6;
inline constexpr uint32_t kGpuGetPstatesInfo = 0x843C0256;
inline constexpr uint32_t kGpuGetPstatesInfoEx = 0xBA94C56E;
inline constexpr uint32_t kGpuSetPstatesInfo = 0xCDF27911;
inline constexpr uint32_t kGpuGetPstates20 = 0x6FF81213;
inline constexpr uint32_t kGpuSetPstates20 = 0x0F4DAE6B;
inline constexpr uint32_t kGpuGetPerfClocks = 0x1EA54A3B;
inline constexpr uint32_t kGpuSetPerfClocks = 0x07BCF4AC;
inline constexpr uint32_t kGpuGetDynamicPstatesInfoEx = 0x60DED2ED;

// Thermal, cooler, voltage, power.
inline constexpr uint32_t kGpuGetThermalSettings = 0xE3640A56;
inline constexpr uint32_t kGpuGetTachReading = 0x5F608315;
inline constexpr uint32_t kGpuGetCoolerSettings = 0xDA141340;
inline constexpr uint32_t kGpuSetCoolerLevels = 0x891FA0AE;
inline constexpr uint32_t kGpuGetVoltageDomainsStatus = 0xC16C7E2C;
inline constexpr uint32_t kGpuClientPowerTopologyGetStatus = 0xEDCF624E;
inline constexpr uint32_t kGpuClientPowerTopologyGetInfo = 0xA4DFD3F2;
inline constexpr uint32_t kGpuClientPowerPoliciesGetInfo = 0x34206D86;
inline constexpr uint32_t kGpuClientPowerPoliciesGetStatus = 0x70916171;
inline constexpr uint32_t kGpuClientPowerPoliciesSetStatus = 0xAD95F5ED;

// I2C and display-port auxiliary channel.
inline constexpr uint32_t kI2cRead = 0x2FDE12C5;
inline constexpr uint32_t kI2cWrite = 0xE812EB07;
inline constexpr uint32_t kI2cReadEx = 0x4D7B0709;
inline constexpr uint32_t kI2cWriteEx = 0x283AC65A;
inline constexpr uint32_t kDispDpAuxChannelControl = 0x8EB56969;

// Display driver and displays.
inline constexpr uint32_t kGetDisplayDriverVersion = 0xF951A4D1;
inline constexpr uint32_t kEnumNvidiaUnattachedDisplayHandle = 0x63F9799E;
inline constexpr uint32_t kGetPhysicalGpusFromDisplay = 0xEE1370CF;
inline constexpr uint32_t kGetDisplayPortInfo = 0xD995937E;
inline constexpr uint32_t kDispTryCustomDisplay = 0xAFC4833E;
inline constexpr uint32_t kDispSaveCustomDisplay = 0xBF6C1762;
inline constexpr uint32_t kDispRevertCustomDisplayTrial = 0xA9062C78;

// Driver settings sessions.
inline constexpr uint32_t kDrsCreateSession = 0x0694D52E;
inline constexpr uint32_t kDrsDestroySession = 0xDAD9CFF8;
inline constexpr uint32_t kDrsLoadSettings = 0x375DBD6B;
inline constexpr uint32_t kDrsSaveSettings = 0xFCBC7E14;
inline constexpr uint32_t kDrsSetSetting = 0x577DD202;
inline constexpr uint32_t kDrsGetBaseProfile = 0xDA8466A0;
inline constexpr uint32_t kDrsGetSetting = 0x73BF8338;

// Every operation the driver library is expected to answer (the loader's table).
inline constexpr uint32_t kAllOperations[] = {
    kInitialize, kUnload, kCallEntryHook, kCallExitHook, kEnumPhysicalGpus,
    kEnumNvidiaDisplayHandle, kGpuGetFullName, kGpuGetPciIdentifiers, kGpuGetBusId,
    kGpuGetGpuCoreCount, kGetMemoryInfo, kGpuGetMemoryType, kGpuGetBusWidthAndLocation,
    kGetAssociatedNvidiaDisplayName, kGetAssociatedNvidiaDisplayHandle,
    kDispGetDisplayIdByDisplayName, kGpuGetAllClockFrequencies, kGpuGetCurrentPstate,
    kGpuGetPstatesInfo, kGpuGetPstatesInfoEx, kGpuSetPstatesInfo, kGpuGetPstates20,
    kGpuSetPstates20, kGpuGetPerfClocks, kGpuSetPerfClocks, kGpuGetDynamicPstatesInfoEx,
    kGpuGetThermalSettings, kGpuGetTachReading, kGpuGetCoolerSettings, kGpuSetCoolerLevels,
    kGpuGetVoltageDomainsStatus, kGpuClientPowerTopologyGetStatus,
    kGpuClientPowerTopologyGetInfo, kGpuClientPowerPoliciesGetInfo,
    kGpuClientPowerPoliciesGetStatus, kGpuClientPowerPoliciesSetStatus, kI2cRead, kI2cWrite,
    kI2cReadEx, kI2cWriteEx, kDispDpAuxChannelControl, kGetDisplayDriverVersion,
    kEnumNvidiaUnattachedDisplayHandle, kGetPhysicalGpusFromDisplay, kGetDisplayPortInfo,
    kDispTryCustomDisplay, kDispSaveCustomDisplay, kDispRevertCustomDisplayTrial,
    kDrsCreateSession, kDrsDestroySession, kDrsLoadSettings, kDrsSaveSettings, kDrsSetSetting,
    kDrsGetBaseProfile, kDrsGetSetting,
};

}  // namespace qv::drv
