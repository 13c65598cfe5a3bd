// Structures exchanged with the driver library. Every structure starts with its version word:
// the structure size in the low 16 bits, the version number above. Layouts follow the driver's
// published layouts where one exists; the private ones are ours.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv::drv {

struct PhysicalGpu;
struct Display;
struct DrsSession;
struct DrsProfile;
using PhysicalGpuHandle = PhysicalGpu*;
using DisplayHandle = Display*;
using DrsSessionHandle = DrsSession*;
using DrsProfileHandle = DrsProfile*;

template <typename T>
constexpr uint32_t makeVersion(uint32_t number) {
    static_assert(sizeof(T) < 0x10000, "driver structures fit the 16-bit size field");
    return static_cast<uint32_t>(sizeof(T)) | (number << 16);
}
constexpr uint32_t versionSize(uint32_t version) { return version & 0xFFFF; }
constexpr uint32_t versionNumber(uint32_t version) { return version >> 16; }

inline constexpr uint32_t kMaxPhysicalGpus = 64;
inline constexpr uint32_t kShortStringSize = 64;
using ShortString = char[kShortStringSize];

// ---- Memory -------------------------------------------------------------------------------
struct DisplayDriverMemoryInfo {
    uint32_t version;
    uint32_t dedicatedVideoMemoryKiB;
    uint32_t availableDedicatedVideoMemoryKiB;
    uint32_t systemVideoMemoryKiB;
    uint32_t sharedSystemMemoryKiB;
};
inline constexpr uint32_t kDisplayDriverMemoryInfoVersion = makeVersion<DisplayDriverMemoryInfo>(1);

// ---- Clocks -------------------------------------------------------------------------------
inline constexpr uint32_t kClockDomainGraphics = 0;
inline constexpr uint32_t kClockDomainMemory = 4;
inline constexpr uint32_t kClockDomainProcessor = 7;
inline constexpr uint32_t kMaxClockDomains = 32;
inline constexpr uint32_t kClockTypeCurrent = 0;
inline constexpr uint32_t kClockTypeBase = 1;
inline constexpr uint32_t kClockTypeBoost = 2;

struct ClockFrequencies {
    uint32_t version;
    uint32_t clockType;  // low 2 bits; the rest reserved
    struct Domain {
        uint32_t present;  // bit 0
        uint32_t frequencyKHz;
    } domain[kMaxClockDomains];
};
inline constexpr uint32_t kClockFrequenciesVersion = makeVersion<ClockFrequencies>(2);
static_assert(kClockFrequenciesVersion == 0x20108);

// Per-level clock table (private). A read with level -1 returns every level; a read with a
// level identifier returns that level alone in levels[0]. A write names the level by identifier
// and carries its data in levels[0].
inline constexpr uint32_t kPerfMaxLevels = 12;
inline constexpr uint32_t kPerfMaxClocksPerLevel = 32;
inline constexpr uint32_t kPerfClockFlagWrite = 0x1;
inline constexpr uint32_t kPerfLevelFlagBit1 = 0x2;
inline constexpr uint32_t kPerfLevelFlagBit2 = 0x4;
inline constexpr uint32_t kPerfLevelFlagWriting = 0x8;
inline constexpr int32_t kPerfAllLevels = -1;

struct PerfClock {
    uint32_t domain;
    uint32_t reserved;  // the driver's own word
    uint32_t currentKHz;
    uint32_t baseKHz;
    uint32_t minKHz;
    uint32_t maxKHz;
    uint32_t flags;  // bit 0: write this frequency
};
struct PerfLevel {
    uint32_t id;
    uint32_t flags;
    PerfClock clocks[kPerfMaxClocksPerLevel];
};
struct PerfClockTable {
    uint32_t version;
    uint32_t levelCount;
    uint32_t currentLevel;
    uint32_t clocksPerLevel;
    uint32_t extraCount;  // the driver's own count
    PerfLevel levels[kPerfMaxLevels];
};
inline constexpr uint32_t kPerfClockTableVersion = makeVersion<PerfClockTable>(1);
static_assert(kPerfClockTableVersion == 0x12A74);

// P-states 2.0 (published layout, version 1).
inline constexpr uint32_t kPstates20MaxPstates = 16;
inline constexpr uint32_t kPstates20MaxClocks = 8;
inline constexpr uint32_t kPstates20MaxBaseVoltages = 4;
inline constexpr uint32_t kPstate0 = 0;
inline constexpr uint32_t kVoltageDomainCore = 0;
inline constexpr uint32_t kPstateClockTypeSingle = 0;
inline constexpr uint32_t kPstateClockTypeRange = 1;

struct Pstates20Param {
    int32_t value;
    int32_t min;
    int32_t max;
};
struct Pstates20Clock {
    uint32_t domainId;
    uint32_t typeId;
    uint32_t editable;  // bit 0
    Pstates20Param freqDeltaKHz;
    union {
        struct {
            uint32_t freqKHz;
        } single;
        struct {
            uint32_t minFreqKHz;
            uint32_t maxFreqKHz;
            uint32_t domainId;
            uint32_t minVoltageUv;
            uint32_t maxVoltageUv;
        } range;
    } data;
};
struct Pstates20BaseVoltage {
    uint32_t domainId;
    uint32_t editable;  // bit 0
    uint32_t voltUv;
    Pstates20Param voltDeltaUv;
};
struct Pstates20Pstate {
    uint32_t pstateId;
    uint32_t editable;
    Pstates20Clock clocks[kPstates20MaxClocks];
    Pstates20BaseVoltage baseVoltages[kPstates20MaxBaseVoltages];
};
struct Pstates20Info {
    uint32_t version;
    uint32_t editable;
    uint32_t numPstates;
    uint32_t numClocks;
    uint32_t numBaseVoltages;
    Pstates20Pstate pstates[kPstates20MaxPstates];
};
inline constexpr uint32_t kPstates20InfoVersion = makeVersion<Pstates20Info>(1);
static_assert(kPstates20InfoVersion == 0x11C94);

// Dynamic P-state utilisation (published layout).
inline constexpr uint32_t kUtilisationDomains = 8;
inline constexpr uint32_t kUtilisationGraphics = 0;
inline constexpr uint32_t kUtilisationFrameBuffer = 1;
inline constexpr uint32_t kUtilisationVideo = 2;
struct DynamicPstatesInfoEx {
    uint32_t version;
    uint32_t flags;  // bit 0: dynamic P-states enabled
    struct {
        uint32_t present;  // bit 0
        uint32_t percentage;
    } utilisation[kUtilisationDomains];
};
inline constexpr uint32_t kDynamicPstatesInfoExVersion = makeVersion<DynamicPstatesInfoEx>(1);
static_assert(kDynamicPstatesInfoExVersion == 0x10048);

// P-state information with the per-level voltages (published layout, version 2): the board's
// P-states in rising number (P0 first), each with its clocks and its voltages in millivolts. The
// read without flags gives the current values; the extended read with kPstatesInfoDefaults gives
// the driver's own defaults; the write takes the voltages of the P-states it lists.
inline constexpr uint32_t kPstatesInfoMaxPstates = 16;
inline constexpr uint32_t kPstatesInfoMaxClocks = 32;
inline constexpr uint32_t kPstatesInfoMaxVoltages = 16;
inline constexpr uint32_t kPstatesInfoCurrent = 0;
inline constexpr uint32_t kPstatesInfoDefaults = 1;  // the extended read's flags, bit 0

struct PstatesInfo {
    uint32_t version;
    uint32_t flags;  // bit 0 performance monitor on, bit 1 dynamic capable, bit 2 dynamic on
    uint32_t numPstates;
    uint32_t numClocks;
    uint32_t numVoltages;
    struct Pstate {
        uint32_t pstateId;
        uint32_t flags;
        struct {
            uint32_t domainId;
            uint32_t flags;
            uint32_t freqKHz;
        } clocks[kPstatesInfoMaxClocks];
        struct Voltage {
            uint32_t domainId;
            uint32_t flags;
            uint32_t millivolts;
        } voltages[kPstatesInfoMaxVoltages];
    } pstates[kPstatesInfoMaxPstates];
};
inline constexpr uint32_t kPstatesInfoVersion = makeVersion<PstatesInfo>(2);
static_assert(kPstatesInfoVersion == 0x22494);

// ---- Thermal ------------------------------------------------------------------------------
inline constexpr uint32_t kThermalMaxSensors = 3;
inline constexpr int32_t kThermalAllSensors = 15;
inline constexpr uint32_t kThermalTargetNone = 0;
inline constexpr uint32_t kThermalTargetGpu = 1;
inline constexpr uint32_t kThermalTargetMemory = 2;
inline constexpr uint32_t kThermalTargetBoard = 8;
inline constexpr uint32_t kThermalControllerGpuInternal = 1;

struct ThermalSettings {
    uint32_t version;
    uint32_t count;
    struct {
        uint32_t controller;
        uint32_t defaultMinTemp;
        uint32_t defaultMaxTemp;
        uint32_t currentTemp;
        uint32_t target;
    } sensor[kThermalMaxSensors];
};
inline constexpr uint32_t kThermalSettingsVersion = makeVersion<ThermalSettings>(1);
static_assert(kThermalSettingsVersion == 0x10044);

// ---- Cooler -------------------------------------------------------------------------------
inline constexpr uint32_t kMaxCoolers = 20;
inline constexpr uint32_t kCoolerTargetAll = 7;
inline constexpr uint32_t kCoolerTypeFan = 1;
inline constexpr uint32_t kCoolerPolicyManual = 1;
inline constexpr uint32_t kCoolerPolicyPerf = 2;
inline constexpr uint32_t kCoolerPolicyDiscrete = 4;
inline constexpr uint32_t kCoolerPolicyContinuous = 8;

struct CoolerSettings {
    uint32_t version;
    uint32_t count;
    struct Cooler {
        uint32_t type;
        uint32_t controller;
        uint32_t defaultMinLevel;
        uint32_t defaultMaxLevel;
        uint32_t currentMinLevel;
        uint32_t currentMaxLevel;
        uint32_t currentLevel;
        uint32_t defaultPolicy;
        uint32_t currentPolicy;
        uint32_t target;
        uint32_t controlType;
        uint32_t active;
        uint32_t speedRpm;
        uint32_t speedSupported;
        uint32_t maxSpeedRpm;
        uint32_t minSpeedRpm;
    } cooler[kMaxCoolers];
};
inline constexpr uint32_t kCoolerSettingsVersion = makeVersion<CoolerSettings>(3);
static_assert(kCoolerSettingsVersion == 0x30508);

struct CoolerLevels {
    uint32_t version;
    struct {
        uint32_t level;
        uint32_t policy;
    } cooler[kMaxCoolers];
};
inline constexpr uint32_t kCoolerLevelsVersion = makeVersion<CoolerLevels>(1);
static_assert(kCoolerLevelsVersion == 0x100A4);

// ---- Voltage ------------------------------------------------------------------------------
struct VoltageDomainsStatus {
    uint32_t version;
    uint32_t flags;
    uint32_t count;
    struct {
        uint32_t domainId;
        uint32_t voltageUv;
    } entries[16];
};
inline constexpr uint32_t kVoltageDomainsStatusVersion = makeVersion<VoltageDomainsStatus>(1);
static_assert(kVoltageDomainsStatusVersion == 0x1008C);

// ---- Power (private layouts) ---------------------------------------------------------------
// Power values are in thousandths of a percent of the board's default limit.
struct PowerPoliciesInfo {
    uint32_t version;
    uint32_t flags;  // bit 0 valid, bits 8..15 entry count
    struct {
        uint32_t pstateId;
        uint32_t reserved0[2];
        uint32_t minPower;
        uint32_t reserved1;
        uint32_t defaultPower;
        uint32_t reserved2;
        uint32_t maxPower;
        uint32_t reserved3[3];
    } entries[4];
};
inline constexpr uint32_t kPowerPoliciesInfoVersion = makeVersion<PowerPoliciesInfo>(1);
static_assert(kPowerPoliciesInfoVersion == 0x100B8);

struct PowerPoliciesStatus {
    uint32_t version;
    uint32_t count;
    struct {
        uint32_t pstateId;
        uint32_t reserved0;
        uint32_t power;
        uint32_t reserved1;
    } entries[4];
};
inline constexpr uint32_t kPowerPoliciesStatusVersion = makeVersion<PowerPoliciesStatus>(1);
static_assert(kPowerPoliciesStatusVersion == 0x10048);

// Topology: entry 0 is the whole board, in thousandths of a percent of the default limit.
struct PowerTopologyStatus {
    uint32_t version;
    uint32_t count;
    struct {
        uint32_t domain;
        uint32_t reserved;
        uint32_t power;
        uint32_t reserved2;
    } entries[4];
};
inline constexpr uint32_t kPowerTopologyStatusVersion = makeVersion<PowerTopologyStatus>(1);

struct PowerTopologyInfo {
    uint32_t version;
    uint32_t count;
    struct {
        uint32_t domain;
        uint32_t defaultLimitMw;  // the board's default power limit in milliwatts
    } entries[4];
};
inline constexpr uint32_t kPowerTopologyInfoVersion = makeVersion<PowerTopologyInfo>(1);

// ---- I2C ----------------------------------------------------------------------------------
inline constexpr uint32_t kI2cSpeedKHz = 30;
struct I2cInfo {
    uint32_t version;
    uint32_t displayMask;
    uint8_t isDdcPort;  // the slot's port byte
    uint8_t deviceAddress;  // 8-bit address; bit 0 is the bus direction and always 0 here
    uint8_t* registerAddress;
    uint32_t registerAddressSize;
    uint8_t* data;
    uint32_t dataSize;
    uint32_t speedKHz;
};
inline constexpr uint32_t kI2cInfoVersion = makeVersion<I2cInfo>(1);

// ---- Display-port auxiliary channel (private) ----------------------------------------------
inline constexpr uint32_t kDpAuxOpRead = 0;
inline constexpr uint32_t kDpAuxOpWrite = 1;
struct DpAuxChannel {
    uint32_t version;
    uint32_t displayId;
    uint32_t operation;  // kDpAuxOpRead / kDpAuxOpWrite
    uint32_t address;
    uint32_t size;  // at most 16
    uint8_t data[16];
};
inline constexpr uint32_t kDpAuxChannelVersion = makeVersion<DpAuxChannel>(1);

// ---- Display driver version (published layout) ---------------------------------------------
struct DisplayDriverVersion {
    uint32_t version;
    uint32_t driverVersion;  // e.g. 30623 for 306.23
    uint32_t buildChangeListNumber;
    ShortString buildBranch;
    ShortString adapter;
};
inline constexpr uint32_t kDisplayDriverVersionVersion = makeVersion<DisplayDriverVersion>(1);
static_assert(kDisplayDriverVersionVersion == 0x1008C);

// ---- Displays (private) --------------------------------------------------------------------
struct DisplayPortInfo {
    uint32_t version;
    uint32_t displayId;
    uint32_t isDisplayPort;
    uint32_t maxLinkRate;
    uint32_t laneCount;
};
inline constexpr uint32_t kDisplayPortInfoVersion = makeVersion<DisplayPortInfo>(1);

struct CustomTiming {
    uint32_t fields[22];  // the display tool's timing record
};
struct CustomDisplay {
    uint32_t version;
    uint32_t width;
    uint32_t height;
    uint32_t depth;
    uint32_t colorFormat;
    float xRatio;
    float yRatio;
    CustomTiming timing;
};
inline constexpr uint32_t kCustomDisplayVersion = makeVersion<CustomDisplay>(1);

// ---- Driver settings sessions (private reduced layout) --------------------------------------
inline constexpr uint32_t kDrsSettingFrameRateLimit = 0x10834FEE;
inline constexpr uint32_t kDrsSettingTypeDword = 0;
struct DrsSetting {
    uint32_t version;
    uint32_t settingId;
    uint32_t settingType;
    uint32_t value;
};
inline constexpr uint32_t kDrsSettingVersion = makeVersion<DrsSetting>(1);

// ---- Function types of every operation -----------------------------------------------------
extern "C" {
using QueryInterfaceFn = void* (*)(uint32_t id);
using InitializeFn = int (*)();
using UnloadFn = int (*)();
using CallEntryHookFn = void (*)(uint32_t id);
using CallExitHookFn = void (*)(uint32_t id, int result);

using EnumPhysicalGpusFn = int (*)(PhysicalGpuHandle handles[kMaxPhysicalGpus], uint32_t* count);
using EnumNvidiaDisplayHandleFn = int (*)(uint32_t index, DisplayHandle* handle);
using GpuGetFullNameFn = int (*)(PhysicalGpuHandle gpu, char name[kShortStringSize]);
using GpuGetPciIdentifiersFn = int (*)(PhysicalGpuHandle gpu, uint32_t* deviceId,
                                       uint32_t* subSystemId, uint32_t* revisionId,
                                       uint32_t* extDeviceId);
using GpuGetBusIdFn = int (*)(PhysicalGpuHandle gpu, uint32_t* busId);
using GpuGetGpuCoreCountFn = int (*)(PhysicalGpuHandle gpu, uint32_t* count);
using GetMemoryInfoFn = int (*)(DisplayHandle display, DisplayDriverMemoryInfo* info);
using GpuGetMemoryTypeFn = int (*)(PhysicalGpuHandle gpu, uint32_t* typeCode);
using GpuGetBusWidthAndLocationFn = int (*)(PhysicalGpuHandle gpu, uint32_t* widthBits,
                                            uint32_t* location);
using GetAssociatedNvidiaDisplayNameFn = int (*)(DisplayHandle display,
                                                 char name[kShortStringSize]);
using GetAssociatedNvidiaDisplayHandleFn = int (*)(const char* name, DisplayHandle* display);
using DispGetDisplayIdByDisplayNameFn = int (*)(const char* name, uint32_t* displayId);

using GpuGetAllClockFrequenciesFn = int (*)(PhysicalGpuHandle gpu, ClockFrequencies* clocks);
using GpuGetCurrentPstateFn = int (*)(PhysicalGpuHandle gpu, uint32_t* pstate);
using GpuGetPstatesInfoFn = int (*)(PhysicalGpuHandle gpu, PstatesInfo* info);
using GpuGetPstatesInfoExFn = int (*)(PhysicalGpuHandle gpu, PstatesInfo* info, uint32_t flags);
using GpuSetPstatesInfoFn = int (*)(PhysicalGpuHandle gpu, const PstatesInfo* info);
using GpuGetPstates20Fn = int (*)(PhysicalGpuHandle gpu, Pstates20Info* info);
using GpuSetPstates20Fn = int (*)(PhysicalGpuHandle gpu, const Pstates20Info* info);
using GpuGetPerfClocksFn = int (*)(PhysicalGpuHandle gpu, int32_t level, PerfClockTable* table);
using GpuSetPerfClocksFn = int (*)(PhysicalGpuHandle gpu, uint32_t levelId,
                                   const PerfClockTable* table);
using GpuGetDynamicPstatesInfoExFn = int (*)(PhysicalGpuHandle gpu, DynamicPstatesInfoEx* info);

using GpuGetThermalSettingsFn = int (*)(PhysicalGpuHandle gpu, int32_t sensorIndex,
                                        ThermalSettings* settings);
using GpuGetTachReadingFn = int (*)(PhysicalGpuHandle gpu, uint32_t* rpm);
using GpuGetCoolerSettingsFn = int (*)(PhysicalGpuHandle gpu, uint32_t coolerTarget,
                                       CoolerSettings* settings);
using GpuSetCoolerLevelsFn = int (*)(PhysicalGpuHandle gpu, uint32_t coolerIndex,
                                     const CoolerLevels* levels);
using GpuGetVoltageDomainsStatusFn = int (*)(PhysicalGpuHandle gpu, VoltageDomainsStatus* st);
using GpuPowerTopologyGetStatusFn = int (*)(PhysicalGpuHandle gpu, PowerTopologyStatus* st);
using GpuPowerTopologyGetInfoFn = int (*)(PhysicalGpuHandle gpu, PowerTopologyInfo* info);
using GpuPowerPoliciesGetInfoFn = int (*)(PhysicalGpuHandle gpu, PowerPoliciesInfo* info);
using GpuPowerPoliciesGetStatusFn = int (*)(PhysicalGpuHandle gpu, PowerPoliciesStatus* st);
using GpuPowerPoliciesSetStatusFn = int (*)(PhysicalGpuHandle gpu,
                                            const PowerPoliciesStatus* st);

using I2cReadFn = int (*)(PhysicalGpuHandle gpu, I2cInfo* info);
using I2cWriteFn = int (*)(PhysicalGpuHandle gpu, I2cInfo* info);
using I2cReadExFn = int (*)(PhysicalGpuHandle gpu, I2cInfo* info, uint32_t* exFlags);
using I2cWriteExFn = int (*)(PhysicalGpuHandle gpu, I2cInfo* info, uint32_t* exFlags);
using DispDpAuxChannelControlFn = int (*)(DisplayHandle display, DpAuxChannel* request);

using GetDisplayDriverVersionFn = int (*)(DisplayHandle display, DisplayDriverVersion* version);
using EnumNvidiaUnattachedDisplayHandleFn = int (*)(uint32_t index, DisplayHandle* handle);
using GetPhysicalGpusFromDisplayFn = int (*)(DisplayHandle display,
                                             PhysicalGpuHandle handles[kMaxPhysicalGpus],
                                             uint32_t* count);
using GetDisplayPortInfoFn = int (*)(DisplayHandle display, uint32_t outputId,
                                     DisplayPortInfo* info);
using DispTryCustomDisplayFn = int (*)(const uint32_t* displayIds, uint32_t count,
                                       CustomDisplay* displays);
using DispSaveCustomDisplayFn = int (*)(const uint32_t* displayIds, uint32_t count,
                                        uint32_t isThisOutputIdOnly, uint32_t isThisMonitorIdOnly);
using DispRevertCustomDisplayTrialFn = int (*)(const uint32_t* displayIds, uint32_t count);

using DrsCreateSessionFn = int (*)(DrsSessionHandle* session);
using DrsDestroySessionFn = int (*)(DrsSessionHandle session);
using DrsLoadSettingsFn = int (*)(DrsSessionHandle session);
using DrsSaveSettingsFn = int (*)(DrsSessionHandle session);
using DrsSetSettingFn = int (*)(DrsSessionHandle session, DrsProfileHandle profile,
                                DrsSetting* setting);
using DrsGetBaseProfileFn = int (*)(DrsSessionHandle session, DrsProfileHandle* profile);
using DrsGetSettingFn = int (*)(DrsSessionHandle session, DrsProfileHandle profile,
                                uint32_t settingId, DrsSetting* setting);
}

}  // namespace qv::drv
