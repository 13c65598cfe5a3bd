// The simulated driver's operations on the built-in boards, through the program's loader.
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "SimFixture.h"

namespace qv::simtest {
namespace {

using namespace qv::drv;

using SimOperations = SimTest;


TEST_F(SimOperations, AnswersEveryOperationAndNothingElse) {
    void* module = dlopen(simLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr);
    auto query = reinterpret_cast<QueryInterfaceFn>(dlsym(module, "nvapi_QueryInterface"));
    ASSERT_NE(query, nullptr);
    std::set<void*> seen;
    for (uint32_t id : kAllOperations) {
        void* fn = query(id);
        EXPECT_NE(fn, nullptr) << std::hex << id;
        seen.insert(fn);
    }
    EXPECT_EQ(seen.size(), std::size(kAllOperations));
    EXPECT_EQ(query(0x12345678u), nullptr);

    sim().hideId(kGpuGetTachReading, 1);
    EXPECT_EQ(query(kGpuGetTachReading), nullptr);
    sim().hideId(kGpuGetTachReading, 0);
    EXPECT_NE(query(kGpuGetTachReading), nullptr);
    dlclose(module);
}

TEST_F(SimOperations, CallsBeforeInitialiseAnswerNotInitialised) {
    void* module = dlopen(simLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    auto query = reinterpret_cast<QueryInterfaceFn>(dlsym(module, "nvapi_QueryInterface"));
    auto enumerate = reinterpret_cast<EnumPhysicalGpusFn>(query(kEnumPhysicalGpus));
    PhysicalGpuHandle handles[kMaxPhysicalGpus] = {};
    uint32_t count = 0;
    EXPECT_EQ(enumerate(handles, &count), kApiNotInitialized);
    auto unload = reinterpret_cast<UnloadFn>(query(kUnload));
    EXPECT_EQ(unload(), kApiNotInitialized);
    dlclose(module);
}

TEST_F(SimOperations, BoardIdentityOfTheBuiltInBoards) {
    const auto handles = gpus();
    ASSERT_EQ(handles.size(), 3u);
    struct Expected {
        const char* name;
        uint32_t device;
        uint32_t cores;
        uint32_t memoryType;
        uint32_t busWidth;
    };
    const Expected expected[] = {{"GeForce GTX 680", 0x1180, 1536, 8, 256},
                                 {"GeForce GTX 460", 0x0E22, 336, 8, 256},
                                 {"GeForce GTX 260", 0x05E2, 216, 5, 448}};
    std::set<uint32_t> buses;
    for (size_t i = 0; i < handles.size(); ++i) {
        char name[kShortStringSize] = {};
        EXPECT_EQ(call<GpuGetFullNameFn>(kGpuGetFullName, handles[i], name), kOk);
        EXPECT_STREQ(name, expected[i].name);
        uint32_t device = 0, sub = 0, rev = 0, ext = 0;
        EXPECT_EQ(call<GpuGetPciIdentifiersFn>(kGpuGetPciIdentifiers, handles[i], &device, &sub, &rev, &ext), kOk);
        EXPECT_EQ(device, (expected[i].device << 16) | 0x10DEu);
        char text[16];
        std::snprintf(text, sizeof(text), "%08x", device);
        EXPECT_EQ(std::strtoul(std::string(text, 4).c_str(), nullptr, 16), expected[i].device);
        uint32_t cores = 0, type = 9, width = 0, location = 0, bus = 0;
        EXPECT_EQ(call<GpuGetGpuCoreCountFn>(kGpuGetGpuCoreCount, handles[i], &cores), kOk);
        EXPECT_EQ(cores, expected[i].cores);
        EXPECT_EQ(call<GpuGetMemoryTypeFn>(kGpuGetMemoryType, handles[i], &type), kOk);
        EXPECT_EQ(type, expected[i].memoryType);
        EXPECT_EQ(call<GpuGetBusWidthAndLocationFn>(kGpuGetBusWidthAndLocation, handles[i], &width, &location), kOk);
        EXPECT_EQ(width, expected[i].busWidth);
        EXPECT_EQ(call<GpuGetBusIdFn>(kGpuGetBusId, handles[i], &bus), kOk);
        buses.insert(bus);
    }
    EXPECT_EQ(buses.size(), 3u);
    EXPECT_EQ(call<GpuGetFullNameFn>(kGpuGetFullName, handles[0], nullptr), kInvalidArgument);
}

TEST_F(SimOperations, DisplaysAndMemoryInformation) {
    gpus();
    const DisplayHandle first = display(0);
    DisplayHandle again = nullptr;
    EXPECT_EQ(call<EnumNvidiaDisplayHandleFn>(kEnumNvidiaDisplayHandle, 0u, &again), kOk);
    EXPECT_EQ(first, again);
    DisplayHandle none = nullptr;
    // Three attached displays (two on GPU 0, one on GPU 1) and GPU 2's unattached one.
    EXPECT_EQ(call<EnumNvidiaDisplayHandleFn>(kEnumNvidiaDisplayHandle, 2u, &none), kOk);
    EXPECT_EQ(call<EnumNvidiaDisplayHandleFn>(kEnumNvidiaDisplayHandle, 3u, &none), kEndEnumeration);
    EXPECT_EQ(call<EnumNvidiaUnattachedDisplayHandleFn>(kEnumNvidiaUnattachedDisplayHandle, 0u, &none),
              kOk);
    EXPECT_EQ(call<EnumNvidiaUnattachedDisplayHandleFn>(kEnumNvidiaUnattachedDisplayHandle, 1u, &none),
              kEndEnumeration);

    char name[kShortStringSize] = {};
    EXPECT_EQ(call<GetAssociatedNvidiaDisplayNameFn>(kGetAssociatedNvidiaDisplayName, first, name), kOk);
    EXPECT_STREQ(name, "\\\\.\\DISPLAY1");
    DisplayHandle byName = nullptr;
    EXPECT_EQ(call<GetAssociatedNvidiaDisplayHandleFn>(kGetAssociatedNvidiaDisplayHandle, name, &byName), kOk);
    EXPECT_EQ(byName, first);
    uint32_t id = 0;
    EXPECT_EQ(call<DispGetDisplayIdByDisplayNameFn>(kDispGetDisplayIdByDisplayName, name, &id), kOk);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(call<DispGetDisplayIdByDisplayNameFn>(kDispGetDisplayIdByDisplayName, "\\\\.\\DISPLAY9", &id),
              kNvidiaDeviceNotFound);

    auto memory = versioned<DisplayDriverMemoryInfo>(kDisplayDriverMemoryInfoVersion);
    EXPECT_EQ(call<GetMemoryInfoFn>(kGetMemoryInfo, first, &memory), kOk);
    EXPECT_EQ(memory.dedicatedVideoMemoryKiB >> 10, 2048u);
    EXPECT_LT(memory.availableDedicatedVideoMemoryKiB, memory.dedicatedVideoMemoryKiB);
    memory.version = kDisplayDriverMemoryInfoVersion + 1;
    EXPECT_EQ(call<GetMemoryInfoFn>(kGetMemoryInfo, first, &memory), kIncompatibleStructVersion);

    auto version = versioned<DisplayDriverVersion>(kDisplayDriverVersionVersion);
    EXPECT_EQ(call<GetDisplayDriverVersionFn>(kGetDisplayDriverVersion, first, &version), kOk);
    EXPECT_EQ(version.driverVersion, 31061u);
    PhysicalGpuHandle fromDisplay[kMaxPhysicalGpus] = {};
    uint32_t count = 0;
    EXPECT_EQ(call<GetPhysicalGpusFromDisplayFn>(kGetPhysicalGpusFromDisplay, first, fromDisplay, &count), kOk);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(fromDisplay[0], gpus()[0]);
}

TEST_F(SimOperations, FourLevelTableOfTheKeplerBoard) {
    const auto gpu = gpus()[kGpuKepler];
    const PerfClockTable all = table(gpu);
    ASSERT_EQ(all.levelCount, 4u);
    const uint32_t flags[] = {1, 2, 5, 4};
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(all.levels[i].id, i);
        EXPECT_EQ(all.levels[i].flags, flags[i]);
        EXPECT_EQ(all.levels[i].clocks[0].domain, kClockDomainGraphics);
        EXPECT_EQ(all.levels[i].clocks[1].domain, kClockDomainMemory);
    }
    EXPECT_EQ(all.clocksPerLevel, 2u);
    EXPECT_EQ(all.currentLevel, 0u) << "idle load runs the lowest level";

    const PerfClockTable one = table(gpu, 3);
    EXPECT_EQ(one.levelCount, 1u);
    EXPECT_EQ(one.levels[0].id, 3u);
    EXPECT_EQ(one.levels[0].clocks[0].baseKHz, 1006000u);

    auto bad = std::make_unique<PerfClockTable>();
    bad->version = kPerfClockTableVersion;
    EXPECT_EQ(call<GpuGetPerfClocksFn>(kGpuGetPerfClocks, gpu, 7, bad.get()), kInvalidArgument);
    bad->version = kPerfClockTableVersion - 1;
    EXPECT_EQ(call<GpuGetPerfClocksFn>(kGpuGetPerfClocks, gpu, -1, bad.get()), kIncompatibleStructVersion);
}

TEST_F(SimOperations, LevelWriteChangesMarkedClocksWithinTheirRange) {
    const auto gpu = gpus()[kGpu0E22];
    PerfClockTable request = table(gpu, 2);
    request.levels[0].flags = kPerfLevelFlagWriting;
    request.levels[0].clocks[0].currentKHz = 700000;  // graphics, marked
    request.levels[0].clocks[0].flags = kPerfClockFlagWrite;
    request.levels[0].clocks[1].currentKHz = 1400000;  // processor, not marked
    request.levels[0].clocks[2].currentKHz = 9000000;  // memory, above its maximum
    request.levels[0].clocks[2].flags = kPerfClockFlagWrite;
    EXPECT_EQ(call<GpuSetPerfClocksFn>(kGpuSetPerfClocks, gpu, 2u, &request), kOk);

    const PerfClockTable after = table(gpu, 2);
    EXPECT_EQ(after.levels[0].flags, 4u) << "the level keeps its kind";
    EXPECT_EQ(after.levels[0].clocks[0].currentKHz, 700000u);
    EXPECT_EQ(after.levels[0].clocks[1].currentKHz, 1350000u);
    EXPECT_EQ(after.levels[0].clocks[2].currentKHz, 2400000u);
    EXPECT_EQ(after.levels[0].clocks[0].baseKHz, 675000u);

    // A fixed clock (no range) takes what it is given, such as the 1000 kHz memory stand-in.
    PerfClockTable idle = table(gpu, 0);
    idle.levels[0].clocks[2].currentKHz = 1000;
    idle.levels[0].clocks[2].flags = kPerfClockFlagWrite;
    EXPECT_EQ(call<GpuSetPerfClocksFn>(kGpuSetPerfClocks, gpu, 0u, &idle), kOk);
    EXPECT_EQ(table(gpu, 0).levels[0].clocks[2].currentKHz, 1000u);

    request.levels[0].id = 1;  // names another level than the one addressed
    EXPECT_EQ(call<GpuSetPerfClocksFn>(kGpuSetPerfClocks, gpu, 2u, &request), kInvalidArgument);
}

TEST_F(SimOperations, CurrentLevelAndClocksFollowLoad) {
    const auto handles = gpus();
    auto clocks = versioned<ClockFrequencies>(kClockFrequenciesVersion);
    EXPECT_EQ(call<GpuGetAllClockFrequenciesFn>(kGpuGetAllClockFrequencies, handles[kGpu0E22], &clocks), kOk);
    EXPECT_EQ(clocks.domain[kClockDomainGraphics].frequencyKHz, 50625u);
    EXPECT_EQ(clocks.domain[kClockDomainProcessor].present & 1, 1u);
    uint32_t pstate = 0;
    EXPECT_EQ(call<GpuGetCurrentPstateFn>(kGpuGetCurrentPstate, handles[kGpu0E22], &pstate), kOk);
    EXPECT_EQ(pstate, 12u);

    sim().setLoad(kGpu0E22, 100);
    EXPECT_EQ(call<GpuGetAllClockFrequenciesFn>(kGpuGetAllClockFrequencies, handles[kGpu0E22], &clocks), kOk);
    EXPECT_EQ(clocks.domain[kClockDomainGraphics].frequencyKHz, 675000u);
    EXPECT_EQ(clocks.domain[kClockDomainMemory].frequencyKHz, 1800000u);
    EXPECT_EQ(table(handles[kGpu0E22]).currentLevel, 2u);
    EXPECT_EQ(call<GpuGetCurrentPstateFn>(kGpuGetCurrentPstate, handles[kGpu0E22], &pstate), kOk);
    EXPECT_EQ(pstate, 0u);

    auto load = versioned<DynamicPstatesInfoEx>(kDynamicPstatesInfoExVersion);
    EXPECT_EQ(call<GpuGetDynamicPstatesInfoExFn>(kGpuGetDynamicPstatesInfoEx, handles[kGpu0E22], &load), kOk);
    EXPECT_EQ(load.utilisation[kUtilisationGraphics].percentage, 100u);

    // Base and boost clocks of the Kepler board, whatever the load.
    clocks.clockType = kClockTypeBoost;
    EXPECT_EQ(call<GpuGetAllClockFrequenciesFn>(kGpuGetAllClockFrequencies, handles[kGpuKepler], &clocks), kOk);
    EXPECT_EQ(clocks.domain[kClockDomainGraphics].frequencyKHz, 1058000u);
    EXPECT_EQ(clocks.domain[kClockDomainProcessor].present, 0u);
    clocks.clockType = kClockTypeBase;
    EXPECT_EQ(call<GpuGetAllClockFrequenciesFn>(kGpuGetAllClockFrequencies, handles[kGpuKepler], &clocks), kOk);
    EXPECT_EQ(clocks.domain[kClockDomainGraphics].frequencyKHz, 1006000u);
}

TEST_F(SimOperations, PstatesTwoOffsetsMoveTheTopLevel) {
    const auto handles = gpus();
    const auto gpu = handles[kGpuKepler];
    auto info = std::make_unique<Pstates20Info>();
    info->version = kPstates20InfoVersion;
    ASSERT_EQ(call<GpuGetPstates20Fn>(kGpuGetPstates20, gpu, info.get()), kOk);
    EXPECT_EQ(info->numPstates, 4u);
    EXPECT_EQ(info->pstates[0].pstateId, 0u);
    EXPECT_EQ(info->pstates[0].clocks[0].freqDeltaKHz.min, -135000);
    EXPECT_EQ(info->pstates[0].baseVoltages[0].voltUv, 1175000u);

    auto request = std::make_unique<Pstates20Info>();
    request->version = kPstates20InfoVersion;
    request->numPstates = 1;
    request->numClocks = 1;
    request->pstates[0].pstateId = 0;
    request->pstates[0].clocks[0].domainId = kClockDomainGraphics;
    request->pstates[0].clocks[0].freqDeltaKHz.value = 100000;
    EXPECT_EQ(call<GpuSetPstates20Fn>(kGpuSetPstates20, gpu, request.get()), kOk);
    request->numClocks = 0;
    request->numBaseVoltages = 1;
    request->pstates[0].baseVoltages[0].domainId = kVoltageDomainCore;
    request->pstates[0].baseVoltages[0].voltDeltaUv.value = 25000;
    EXPECT_EQ(call<GpuSetPstates20Fn>(kGpuSetPstates20, gpu, request.get()), kOk);
    request->pstates[0].baseVoltages[0].voltDeltaUv.value = 500000;  // beyond the range
    EXPECT_EQ(call<GpuSetPstates20Fn>(kGpuSetPstates20, gpu, request.get()), kInvalidArgument);

    sim().setLoad(kGpuKepler, 100);
    auto clocks = versioned<ClockFrequencies>(kClockFrequenciesVersion);
    EXPECT_EQ(call<GpuGetAllClockFrequenciesFn>(kGpuGetAllClockFrequencies, gpu, &clocks), kOk);
    EXPECT_EQ(clocks.domain[kClockDomainGraphics].frequencyKHz, 1106000u);
    auto volts = versioned<VoltageDomainsStatus>(kVoltageDomainsStatusVersion);
    EXPECT_EQ(call<GpuGetVoltageDomainsStatusFn>(kGpuGetVoltageDomainsStatus, gpu, &volts), kOk);
    EXPECT_EQ(volts.count, 1u);
    EXPECT_EQ(volts.entries[0].voltageUv, 1175000u + 25000u);
    ASSERT_EQ(call<GpuGetPstates20Fn>(kGpuGetPstates20, gpu, info.get()), kOk);
    EXPECT_EQ(info->pstates[0].clocks[0].freqDeltaKHz.value, 100000);
    EXPECT_EQ(info->pstates[0].baseVoltages[0].voltDeltaUv.value, 25000);

    // The whole table read back and written again is accepted and changes nothing.
    EXPECT_EQ(call<GpuSetPstates20Fn>(kGpuSetPstates20, gpu, info.get()), kOk);
    EXPECT_EQ(call<GpuGetPstates20Fn>(kGpuGetPstates20, handles[kGpu0E22], info.get()), kNotSupported);
}

// The voltage table: P0 first with its voltages; a write takes the voltages of the P-states it
// lists, the extended read with the defaults flag still gives the configured ones, the core
// voltage follows the level's new voltage, and a bad request changes nothing.
TEST_F(SimOperations, VoltageTableReadsWritesAndKeepsItsDefaults) {
    const auto handles = gpus();
    PhysicalGpuHandle gpu = handles[kGpuKepler];
    auto table = std::make_unique<PstatesInfo>();
    table->version = kPstatesInfoVersion;
    ASSERT_EQ(call<GpuGetPstatesInfoFn>(kGpuGetPstatesInfo, gpu, table.get()), kOk);
    ASSERT_EQ(table->numVoltages, 1u);
    EXPECT_EQ(table->pstates[0].voltages[0].millivolts, 1175u);  // P0, the 3D performance level
    EXPECT_EQ(table->pstates[3].voltages[0].millivolts, 987u);   // P8, the 2D level

    table->pstates[0].voltages[0].millivolts = 1200;
    table->pstates[3].voltages[0].millivolts = 950;
    ASSERT_EQ(call<GpuSetPstatesInfoFn>(kGpuSetPstatesInfo, gpu, table.get()), kOk);
    auto back = std::make_unique<PstatesInfo>();
    back->version = kPstatesInfoVersion;
    ASSERT_EQ(call<GpuGetPstatesInfoFn>(kGpuGetPstatesInfo, gpu, back.get()), kOk);
    EXPECT_EQ(back->pstates[0].voltages[0].millivolts, 1200u);
    EXPECT_EQ(back->pstates[3].voltages[0].millivolts, 950u);
    ASSERT_EQ(call<GpuGetPstatesInfoExFn>(kGpuGetPstatesInfoEx, gpu, back.get(),
                                          kPstatesInfoDefaults),
              kOk);
    EXPECT_EQ(back->pstates[0].voltages[0].millivolts, 1175u);
    EXPECT_EQ(back->pstates[3].voltages[0].millivolts, 987u);

    // P-states 2.0 report the level's new voltage as its base.
    auto p20 = std::make_unique<Pstates20Info>();
    p20->version = kPstates20InfoVersion;
    ASSERT_EQ(call<GpuGetPstates20Fn>(kGpuGetPstates20, gpu, p20.get()), kOk);
    EXPECT_EQ(p20->pstates[0].baseVoltages[0].voltUv, 1200000u);

    // An unknown P-state or a voltage out of bounds is refused as a whole.
    table->pstates[3].voltages[0].millivolts = 900;
    table->pstates[0].voltages[0].millivolts = 5000;
    EXPECT_EQ(call<GpuSetPstatesInfoFn>(kGpuSetPstatesInfo, gpu, table.get()), kInvalidArgument);
    table->pstates[0].voltages[0].millivolts = 1100;
    table->pstates[1].pstateId = 7;
    EXPECT_EQ(call<GpuSetPstatesInfoFn>(kGpuSetPstatesInfo, gpu, table.get()), kInvalidArgument);
    ASSERT_EQ(call<GpuGetPstatesInfoFn>(kGpuGetPstatesInfo, gpu, back.get()), kOk);
    EXPECT_EQ(back->pstates[0].voltages[0].millivolts, 1200u);
    EXPECT_EQ(back->pstates[3].voltages[0].millivolts, 950u);
}

TEST_F(SimOperations, PstateQueriesAndDisplayPortInformation) {
    const auto handles = gpus();
    auto info = std::make_unique<PstatesInfo>();
    info->version = kPstatesInfoVersion;
    EXPECT_EQ(call<GpuGetPstatesInfoFn>(kGpuGetPstatesInfo, handles[kGpuKepler], info.get()), kOk);
    ASSERT_EQ(info->numPstates, 4u);
    EXPECT_EQ(info->pstates[0].pstateId, 0u);
    EXPECT_EQ(info->pstates[3].pstateId, 8u);
    auto infoEx = std::make_unique<PstatesInfo>();
    infoEx->version = kPstatesInfoVersion;
    EXPECT_EQ(call<GpuGetPstatesInfoExFn>(kGpuGetPstatesInfoEx, handles[kGpu0E22], infoEx.get(),
                                          kPstatesInfoCurrent),
              kOk);
    EXPECT_EQ(infoEx->numPstates, 3u);
    EXPECT_EQ(infoEx->pstates[2].pstateId, 12u);

    auto dp = versioned<DisplayPortInfo>(kDisplayPortInfoVersion);
    EXPECT_EQ(call<GetDisplayPortInfoFn>(kGetDisplayPortInfo, display(1), 0u, &dp), kOk);
    EXPECT_EQ(dp.isDisplayPort, 1u);
    EXPECT_EQ(dp.laneCount, 4u);
    EXPECT_EQ(call<GetDisplayPortInfoFn>(kGetDisplayPortInfo, display(0), 0u, &dp), kOk);
    EXPECT_EQ(dp.isDisplayPort, 0u);
}

TEST_F(SimOperations, ThermalSensorsAndTheIdleTemperature) {
    const auto gpu = gpus()[kGpuKepler];
    auto all = versioned<ThermalSettings>(kThermalSettingsVersion);
    EXPECT_EQ(call<GpuGetThermalSettingsFn>(kGpuGetThermalSettings, gpu, kThermalAllSensors, &all), kOk);
    ASSERT_EQ(all.count, 1u);
    EXPECT_EQ(all.sensor[0].target, kThermalTargetGpu);
    EXPECT_GT(all.sensor[0].currentTemp, 30u);
    EXPECT_LT(all.sensor[0].currentTemp, 60u);
    auto one = versioned<ThermalSettings>(kThermalSettingsVersion);
    EXPECT_EQ(call<GpuGetThermalSettingsFn>(kGpuGetThermalSettings, gpu, 0, &one), kOk);
    EXPECT_EQ(one.sensor[0].currentTemp, all.sensor[0].currentTemp);
    EXPECT_EQ(call<GpuGetThermalSettingsFn>(kGpuGetThermalSettings, gpu, 3, &one), kInvalidArgument);
    one.version = 0x10040;
    EXPECT_EQ(call<GpuGetThermalSettingsFn>(kGpuGetThermalSettings, gpu, 0, &one), kIncompatibleStructVersion);
}

TEST_F(SimOperations, DriverCoolerManualAndAutomatic) {
    const auto handles = gpus();
    sim().freezeTime(1);
    const auto gpu = handles[kGpuKepler];
    CoolerSettings s = cooler(gpu);
    ASSERT_EQ(s.count, 1u);
    EXPECT_EQ(s.cooler[0].type, kCoolerTypeFan);
    EXPECT_EQ(s.cooler[0].currentMinLevel, 30u);
    EXPECT_EQ(s.cooler[0].currentMaxLevel, 100u);
    EXPECT_NE(s.cooler[0].currentPolicy, kCoolerPolicyManual);
    const uint32_t autoLevel = s.cooler[0].currentLevel;
    const int before = temperature(gpu);
    uint32_t rpmBefore = 0;
    EXPECT_EQ(call<GpuGetTachReadingFn>(kGpuGetTachReading, gpu, &rpmBefore), kOk);

    EXPECT_EQ(setCooler(gpu, 100, kCoolerPolicyManual), kOk);
    s = cooler(gpu);
    EXPECT_EQ(s.cooler[0].currentLevel, 100u);
    EXPECT_EQ(s.cooler[0].currentPolicy, kCoolerPolicyManual);
    sim().advanceTimeMs(30000);
    uint32_t rpm = 0;
    EXPECT_EQ(call<GpuGetTachReadingFn>(kGpuGetTachReading, gpu, &rpm), kOk);
    EXPECT_GT(rpm, rpmBefore);
    EXPECT_NEAR(rpm, 4200u, 50u);
    EXPECT_LT(temperature(gpu), before);

    EXPECT_EQ(setCooler(gpu, 10, kCoolerPolicyManual), kOk);
    EXPECT_EQ(cooler(gpu).cooler[0].currentLevel, 30u) << "held at the cooler's minimum";
    EXPECT_EQ(setCooler(gpu, 0, kCoolerPolicyPerf), kOk);
    s = cooler(gpu);
    EXPECT_EQ(s.cooler[0].currentPolicy, kCoolerPolicyPerf);
    EXPECT_NEAR(s.cooler[0].currentLevel, autoLevel, 5u);
    EXPECT_EQ(setCooler(gpu, 50, 3), kInvalidArgument) << "not a single policy";

    // The board without a driver cooler lists none and has no tachometer.
    EXPECT_EQ(cooler(handles[kGpu0E22]).count, 0u);
    EXPECT_EQ(setCooler(handles[kGpu0E22], 50, kCoolerPolicyManual), kNotSupported);
    EXPECT_EQ(call<GpuGetTachReadingFn>(kGpuGetTachReading, handles[kGpu0E22], &rpm), kNotSupported);
}

TEST_F(SimOperations, TemperatureFollowsLoadAndFanWithTime) {
    const auto gpu = gpus()[kGpuKepler];
    sim().freezeTime(1);
    const int idle = temperature(gpu);
    sim().setLoad(kGpuKepler, 100);
    sim().advanceTimeMs(1000);
    const int early = temperature(gpu);
    sim().advanceTimeMs(120000);
    const int hot = temperature(gpu);
    EXPECT_GE(early, idle);
    EXPECT_LT(early, hot) << "the temperature takes its time";
    EXPECT_GT(hot, 65);
    EXPECT_LT(hot, 100);
    // The automatic policy answered the heat with more fan.
    EXPECT_GT(cooler(gpu).cooler[0].currentLevel, 50u);

    EXPECT_EQ(sim().setTemperature(kGpuKepler, 97), kOk);
    sim().advanceTimeMs(60000);
    EXPECT_EQ(temperature(gpu), 97);
    EXPECT_EQ(sim().setTemperature(kGpuKepler, -1000), kOk);
    sim().advanceTimeMs(120000);
    EXPECT_NEAR(temperature(gpu), hot, 2);
}

TEST_F(SimOperations, FrozenTimeHoldsATemperatureThatIsStillRising) {
    const auto gpu = gpus()[kGpuKepler];
    sim().freezeTime(1);
    sim().setLoad(kGpuKepler, 100);
    sim().advanceTimeMs(1000);  // a second into the climb, rising by degrees per second
    const int rising = temperature(gpu);

    // Real time passes, model time does not: the reading stays where it was.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < until) {
        ASSERT_EQ(temperature(gpu), rising);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    // Thawed, the same climb goes on by itself.
    sim().freezeTime(0);
    EXPECT_TRUE(test::waitUntil([&] { return temperature(gpu) > rising; }))
        << "the temperature no longer moves, so freezing it proved nothing";
}

TEST_F(SimOperations, PowerPoliciesAndTopology) {
    const auto handles = gpus();
    const auto gpu = handles[kGpuKepler];
    sim().freezeTime(1);
    auto info = versioned<PowerPoliciesInfo>(kPowerPoliciesInfoVersion);
    EXPECT_EQ(call<GpuPowerPoliciesGetInfoFn>(kGpuClientPowerPoliciesGetInfo, gpu, &info), kOk);
    EXPECT_EQ(info.entries[0].minPower, 32000u);
    EXPECT_EQ(info.entries[0].defaultPower, 100000u);
    EXPECT_EQ(info.entries[0].maxPower, 132000u);

    auto status = versioned<PowerPoliciesStatus>(kPowerPoliciesStatusVersion);
    EXPECT_EQ(call<GpuPowerPoliciesGetStatusFn>(kGpuClientPowerPoliciesGetStatus, gpu, &status), kOk);
    EXPECT_EQ(status.entries[0].power, 100000u);
    status.entries[0].power = 150000;
    EXPECT_EQ(call<GpuPowerPoliciesSetStatusFn>(kGpuClientPowerPoliciesSetStatus, gpu, &status), kOk);
    EXPECT_EQ(call<GpuPowerPoliciesGetStatusFn>(kGpuClientPowerPoliciesGetStatus, gpu, &status), kOk);
    EXPECT_EQ(status.entries[0].power, 132000u) << "held at the policy's maximum";

    auto topology = versioned<PowerTopologyStatus>(kPowerTopologyStatusVersion);
    sim().setLoad(kGpuKepler, 100);
    EXPECT_EQ(call<GpuPowerTopologyGetStatusFn>(kGpuClientPowerTopologyGetStatus, gpu, &topology), kOk);
    const uint32_t unlimited = topology.entries[0].power;
    EXPECT_GT(unlimited, 80000u);
    status.entries[0].power = 50000;
    EXPECT_EQ(call<GpuPowerPoliciesSetStatusFn>(kGpuClientPowerPoliciesSetStatus, gpu, &status), kOk);
    EXPECT_EQ(call<GpuPowerTopologyGetStatusFn>(kGpuClientPowerTopologyGetStatus, gpu, &topology), kOk);
    EXPECT_EQ(topology.entries[0].power, 50000u) << "power held at the limit";

    auto topologyInfo = versioned<PowerTopologyInfo>(kPowerTopologyInfoVersion);
    EXPECT_EQ(call<GpuPowerTopologyGetInfoFn>(kGpuClientPowerTopologyGetInfo, gpu, &topologyInfo), kOk);
    EXPECT_EQ(topologyInfo.entries[0].defaultLimitMw, 195000u);
    EXPECT_EQ(call<GpuPowerPoliciesGetInfoFn>(kGpuClientPowerPoliciesGetInfo, handles[kGpu05E2], &info),
              kNotSupported);
}

TEST_F(SimOperations, DriverSettingsSessionKeepsTheFrameRateLimit) {
    gpus();
    DrsSessionHandle session = nullptr;
    DrsProfileHandle profile = nullptr;
    ASSERT_EQ(call<DrsCreateSessionFn>(kDrsCreateSession, &session), kOk);
    EXPECT_EQ(call<DrsGetBaseProfileFn>(kDrsGetBaseProfile, session, &profile), kError) << "not loaded yet";
    EXPECT_EQ(call<DrsLoadSettingsFn>(kDrsLoadSettings, session), kOk);
    EXPECT_EQ(call<DrsGetBaseProfileFn>(kDrsGetBaseProfile, session, &profile), kOk);
    auto setting = versioned<DrsSetting>(kDrsSettingVersion);
    setting.settingId = kDrsSettingFrameRateLimit;
    setting.settingType = kDrsSettingTypeDword;
    setting.value = 60u + 0xF0000000u;
    EXPECT_EQ(call<DrsSetSettingFn>(kDrsSetSetting, session, profile, &setting), kOk);
    EXPECT_EQ(call<DrsSaveSettingsFn>(kDrsSaveSettings, session), kOk);
    EXPECT_EQ(call<DrsDestroySessionFn>(kDrsDestroySession, session), kOk);
    EXPECT_EQ(call<DrsDestroySessionFn>(kDrsDestroySession, session), kInvalidHandle);
    EXPECT_NE(readFile(sim().statePath()).find("drs 4026531900\n"), std::string::npos);
}

TEST_F(SimOperations, DisplayPortAdapterMailbox) {
    gpus();
    auto aux = [&](DisplayHandle d, uint32_t op, uint32_t address, std::vector<uint8_t> bytes, size_t size) {
        auto request = versioned<DpAuxChannel>(kDpAuxChannelVersion);
        request.operation = op;
        request.address = address;
        request.size = static_cast<uint32_t>(size);
        std::copy(bytes.begin(), bytes.end(), request.data);
        const int status = call<DispDpAuxChannelControlFn>(kDispDpAuxChannelControl, d, &request);
        return std::make_pair(status, std::vector<uint8_t>(request.data, request.data + size));
    };
    EXPECT_EQ(aux(display(0), kDpAuxOpRead, 0x4B0, {}, 2).first, kNotSupported);
    const DisplayHandle box = display(1);
    auto cap = aux(box, kDpAuxOpRead, 0x4B0, {}, 2);
    ASSERT_EQ(cap.first, kOk);
    EXPECT_EQ(cap.second[0] & 0x04, 0x04);
    EXPECT_EQ(cap.second[1] & 0x01, 0x00);
    auto command = [&](uint8_t code, uint32_t length, uint32_t offset, std::vector<uint8_t> data) {
        if (!data.empty()) {
            EXPECT_EQ(aux(box, kDpAuxOpWrite, 0x4C0, data, data.size()).first, kOk);
        }
        EXPECT_EQ(aux(box, kDpAuxOpWrite, 0x4BC, {uint8_t(offset), 0}, 2).first, kOk);
        EXPECT_EQ(aux(box, kDpAuxOpWrite, 0x4B8, {uint8_t(length), 0}, 2).first, kOk);
        EXPECT_EQ(aux(box, kDpAuxOpWrite, 0x4B2, {uint8_t(code | 0x80)}, 1).first, kOk);
        std::vector<uint8_t> state;
        for (int polls = 0; polls < 5; ++polls) {
            state = aux(box, kDpAuxOpRead, 0x4B2, {}, 2).second;
            if ((state[0] & 0x80) == 0) {
                break;
            }
        }
        EXPECT_EQ(state[0] & 0x80, 0);
        return state[1];
    };
    EXPECT_EQ(command(0x30, 13, 95, {}), 2) << "locked";
    EXPECT_EQ(command(1, 6, 0, {'P', 'L', 'I', 'N', 'T', 'X'}), 1) << "wrong unlock code";
    EXPECT_EQ(command(1, 6, 0, {'P', 'L', 'I', 'N', 'T', 'H'}), 0);
    EXPECT_EQ(aux(box, kDpAuxOpRead, 0x4B1, {}, 1).second[0] & 1, 1);
    EXPECT_EQ(command(0x30, 13, 95, {}), 0);
    auto firmware = aux(box, kDpAuxOpRead, 0x4C0, {}, 13).second;
    EXPECT_EQ(std::string(firmware.begin(), firmware.end()), "VX-3 FW 1.0.4");
    EXPECT_EQ(aux(box, kDpAuxOpRead, 0x4A6, {}, 1).second[0], 3);
    EXPECT_EQ(command(0x60, 2, 0, {2, 7}), 0);
    EXPECT_EQ(command(0x60, 2, 0, {9, 7}), 3) << "unknown selector";
    auto request = versioned<DpAuxChannel>(kDpAuxChannelVersion);
    request.size = 17;
    EXPECT_EQ(call<DispDpAuxChannelControlFn>(kDispDpAuxChannelControl, box, &request), kInvalidArgument);
}

TEST_F(SimOperations, CustomDisplayTrySaveRevert) {
    gpus();
    uint32_t id = 0;
    ASSERT_EQ(call<DispGetDisplayIdByDisplayNameFn>(kDispGetDisplayIdByDisplayName, "\\\\.\\DISPLAY2", &id), kOk);
    auto custom = versioned<CustomDisplay>(kCustomDisplayVersion);
    custom.width = 5760;
    custom.height = 1080;
    custom.depth = 32;
    custom.xRatio = custom.yRatio = 1.0f;
    EXPECT_EQ(call<DispTryCustomDisplayFn>(kDispTryCustomDisplay, &id, 1u, &custom), kInvalidArgument)
        << "an all-zero timing";
    custom.timing.fields[0] = 5760;
    EXPECT_EQ(call<DispSaveCustomDisplayFn>(kDispSaveCustomDisplay, &id, 1u, 0u, 0u), kError) << "nothing tried";
    EXPECT_EQ(call<DispTryCustomDisplayFn>(kDispTryCustomDisplay, &id, 1u, &custom), kOk);
    EXPECT_EQ(call<DispSaveCustomDisplayFn>(kDispSaveCustomDisplay, &id, 1u, 0u, 0u), kOk);
    EXPECT_EQ(call<DispTryCustomDisplayFn>(kDispTryCustomDisplay, &id, 1u, &custom), kOk);
    EXPECT_EQ(call<DispRevertCustomDisplayTrialFn>(kDispRevertCustomDisplayTrial, &id, 1u), kOk);
    EXPECT_EQ(call<DispSaveCustomDisplayFn>(kDispSaveCustomDisplay, &id, 1u, 0u, 0u), kError);
    custom.width = 100000;
    EXPECT_EQ(call<DispTryCustomDisplayFn>(kDispTryCustomDisplay, &id, 1u, &custom), kInvalidArgument);
    uint32_t unknown = 0xDEAD;
    EXPECT_EQ(call<DispRevertCustomDisplayTrialFn>(kDispRevertCustomDisplayTrial, &unknown, 1u), kInvalidArgument);
}

TEST_F(SimOperations, HooksBracketEveryCall) {
    gpus();
    sim().clearCounters();
    uint32_t pstate = 0;
    const auto gpu = gpus()[0];
    EXPECT_EQ(call<GpuGetCurrentPstateFn>(kGpuGetCurrentPstate, gpu, &pstate), kOk);
    EXPECT_EQ(call<GpuGetTachReadingFn>(kGpuGetTachReading, gpus()[1], &pstate), kNotSupported);
    const auto log = sim().hookLog();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[2].id, kGpuGetCurrentPstate);
    EXPECT_EQ(log[2].isExit, 0u);
    EXPECT_EQ(log[3].id, kGpuGetCurrentPstate);
    EXPECT_EQ(log[3].isExit, 1u);
    EXPECT_EQ(log[7].id, kGpuGetTachReading);
    EXPECT_EQ(log[7].result, kNotSupported);
    EXPECT_EQ(sim().hookCalls(), 4u);
    EXPECT_EQ(sim().callCount(kEnumPhysicalGpus), 2u);
    EXPECT_EQ(sim().callCount(0), 4u);
}

TEST_F(SimOperations, InjectedStatusesOnceCountedAndAlways) {
    const auto gpu = gpus()[0];
    uint32_t pstate = 0;
    auto get = [&] { return call<GpuGetCurrentPstateFn>(kGpuGetCurrentPstate, gpu, &pstate); };
    sim().injectStatus(kGpuGetCurrentPstate, kError, 1);
    EXPECT_EQ(get(), kError);
    EXPECT_EQ(get(), kOk);
    sim().injectStatus(kGpuGetCurrentPstate, kNotSupported, 2);
    EXPECT_EQ(get(), kNotSupported);
    EXPECT_EQ(get(), kNotSupported);
    EXPECT_EQ(get(), kOk);
    sim().injectStatus(kGpuGetCurrentPstate, kHandleInvalidated, -1);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(get(), kHandleInvalidated);
    }
    sim().injectStatus(kGpuGetCurrentPstate, 0, 0);
    EXPECT_EQ(get(), kOk);

    sim().injectStatus(kInitialize, kError, 1);
    loader().unload();
    EXPECT_EQ(loader().load(), kError);
}

TEST_F(SimOperations, SettingsMadeBeforeTheFirstLoadHold) {
    // A fresh state folder is a fresh machine; what a test sets up before loading stays.
    sim().injectStatus(kEnumPhysicalGpus, kNvidiaDeviceNotFound, 1);
    sim().hideId(kGpuGetTachReading, 1);
    PhysicalGpuHandle handles[kMaxPhysicalGpus] = {};
    uint32_t count = 0;
    EXPECT_EQ(call<EnumPhysicalGpusFn>(kEnumPhysicalGpus, handles, &count), kNvidiaDeviceNotFound);
    uint32_t rpm = 0;
    EXPECT_EQ(call<GpuGetTachReadingFn>(kGpuGetTachReading, gpus()[0], &rpm), kNoImplementation);
}

TEST_F(SimOperations, LatencyDelaysEachCall) {
    const auto gpu = gpus()[0];
    uint32_t pstate = 0;
    sim().setLatencyUs(kGpuGetCurrentPstate, 20000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(call<GpuGetCurrentPstateFn>(kGpuGetCurrentPstate, gpu, &pstate), kOk);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
    EXPECT_EQ(sim().setLatencyUs(0, 20000000), kInvalidArgument);
}

TEST_F(SimOperations, InvalidatedHandlesUntilEnumeratedAgain) {
    const auto old = gpus();
    const DisplayHandle oldDisplay = display(0);
    uint32_t pstate = 0;
    ASSERT_EQ(sim().invalidateHandles(kExpectedPhysicalGpuHandle), kOk);
    EXPECT_EQ(call<GpuGetCurrentPstateFn>(kGpuGetCurrentPstate, old[0], &pstate), kExpectedPhysicalGpuHandle);
    auto memory = versioned<DisplayDriverMemoryInfo>(kDisplayDriverMemoryInfoVersion);
    EXPECT_EQ(call<GetMemoryInfoFn>(kGetMemoryInfo, oldDisplay, &memory), kExpectedPhysicalGpuHandle);
    const auto fresh = gpus();
    ASSERT_EQ(fresh.size(), old.size());
    EXPECT_NE(fresh[0], old[0]);
    EXPECT_EQ(call<GpuGetCurrentPstateFn>(kGpuGetCurrentPstate, fresh[0], &pstate), kOk);
    EXPECT_EQ(call<GpuGetCurrentPstateFn>(kGpuGetCurrentPstate, old[0], &pstate), kExpectedPhysicalGpuHandle);
    EXPECT_EQ(sim().invalidateHandles(-5), kInvalidArgument);
    EXPECT_EQ(call<GpuGetCurrentPstateFn>(kGpuGetCurrentPstate, nullptr, &pstate), kInvalidArgument);
    EXPECT_EQ(call<GpuGetCurrentPstateFn>(kGpuGetCurrentPstate, reinterpret_cast<PhysicalGpuHandle>(oldDisplay),
                                          &pstate),
              kExpectedPhysicalGpuHandle);
}

}  // namespace
}  // namespace qv::simtest
