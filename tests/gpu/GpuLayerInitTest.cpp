#include <gtest/gtest.h>

#include <filesystem>

#include "gpu/ChipRegisters.h"
#include "gpu/DriverIds.h"
#include "gpu/GpuLayerTestSupport.h"

namespace qv::test {
namespace {

using gpu::GpuLayer;
using gpu::GpuRecord;


bool trafficTo(const std::vector<QvSimI2cEvent>& log, uint32_t gpu, uint8_t port,
               uint8_t address) {
    for (const auto& e : log) {
        if (e.gpu == gpu && e.port == port && e.address == address) {
            return true;
        }
    }
    return false;
}

TEST(GpuLayerInit, DefaultBoardsAreIdentified) {
    LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    GpuLayer& layer = *rig.layer;
    ASSERT_EQ(layer.gpuCount(), 3);
    EXPECT_TRUE(layer.osMajorAbove5());

    const GpuRecord& kepler = layer.record(kGpuKepler);
    EXPECT_EQ(kepler.deviceIdText, "1180");
    EXPECT_TRUE(kepler.keplerClass);
    EXPECT_TRUE(kepler.hotKeyBoard);
    EXPECT_TRUE(kepler.familyC);
    EXPECT_FALSE(kepler.familyA);
    EXPECT_FALSE(kepler.familyB);
    EXPECT_FALSE(kepler.device1188);
    EXPECT_EQ(kepler.fanKind, gpu::kFanDriverCooler);

    const GpuRecord& b = layer.record(kGpu0E22);
    EXPECT_EQ(b.deviceIdText, "0e22");
    EXPECT_TRUE(b.familyB);
    EXPECT_TRUE(b.familyC);
    EXPECT_TRUE(b.device0E22);
    EXPECT_FALSE(b.keplerClass);
    EXPECT_EQ(b.fanKind, gpu::kFanSlot0Chip);

    const GpuRecord& a = layer.record(kGpu05E2);
    EXPECT_EQ(a.deviceIdText, "05e2");
    EXPECT_TRUE(a.familyA);
    EXPECT_FALSE(a.familyC);
    EXPECT_EQ(a.fanKind, gpu::kFanDriverCoolerPaused);

    for (uint8_t g = 0; g < 3; ++g) {
        const GpuRecord& r = layer.record(g);
        EXPECT_NE(r.handle, nullptr);
        EXPECT_NE(r.display, nullptr);
        EXPECT_NE(r.busWidth, 0u) << "GPU " << int(g);
        EXPECT_NE(r.memoryType, 0u) << "GPU " << int(g);
        std::string name;
        EXPECT_EQ(layer.boardName(g, name), drv::kOk);
        EXPECT_FALSE(name.empty());
        uint32_t cores = 0;
        EXPECT_EQ(layer.cudaCores(g, cores), 1);
        EXPECT_GT(cores, 0u);
        for (size_t s = 0; s < gpu::kI2cPortedSlots; ++s) {
            EXPECT_EQ(r.slots[s].port, gpu::kI2cSlotPorts[s]);
        }
    }
    // Every GPU shares the first display.
    EXPECT_EQ(layer.record(0).display, layer.record(2).display);
}

TEST(GpuLayerInit, ChipsFoundWhereTheBoardsHaveThem) {
    LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    const GpuRecord& kepler = rig.layer->record(kGpuKepler);
    EXPECT_EQ(kepler.slots[gpu::kSlotRegulator6].address, gpu::chip::kStepRegulatorAddress);
    EXPECT_FALSE(kepler.hasChip(gpu::kSlotFanChip0));
    EXPECT_FALSE(kepler.hasChip(gpu::kSlotFanChip1));
    EXPECT_FALSE(kepler.hasChip(gpu::kSlotRegulator2));

    const GpuRecord& b = rig.layer->record(kGpu0E22);
    EXPECT_EQ(b.slots[gpu::kSlotFanChip0].address, gpu::chip::kSlot0AddressPrimary);
    EXPECT_FALSE(b.hasChip(gpu::kSlotRegulator3));
    EXPECT_EQ(b.slots[gpu::kSlotRegulator6].address, gpu::chip::kStepRegulatorAddress);
    EXPECT_EQ(b.slots[gpu::kSlotRegulator7].address, gpu::chip::kRegulatorAddressE0);
    EXPECT_EQ(b.slots[gpu::kSlotChip8].address, gpu::chip::kSlot8Address);
    EXPECT_EQ(b.slots[gpu::kSlotPowerMonitor9].address, gpu::chip::kPowerMonitor9Address);
    EXPECT_EQ(b.slots[gpu::kSlotPowerMonitor10].address, gpu::chip::kPowerMonitor10Address);
    EXPECT_EQ(b.slots[gpu::kSlotPowerMonitor11].address, gpu::chip::kPowerMonitor11Address);

    const GpuRecord& a = rig.layer->record(kGpu05E2);
    EXPECT_EQ(a.slots[gpu::kSlotRegulator2].address, gpu::chip::kRegulatorAddressE0);
    EXPECT_EQ(a.slots[gpu::kSlotFanChip1].address, gpu::chip::kSlot1Address);
    EXPECT_FALSE(a.hasChip(gpu::kSlotFanChip0));
    EXPECT_FALSE(a.hasChip(gpu::kSlotRegulator7));
}

TEST(GpuLayerInit, ProbesSkipBoardsOutsideTheirDeviceSets) {
    LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.layer->waitForProbe();
    const auto log = rig.sim().i2cLog();
    // The slot-2 regulator is only looked for on family A devices, slot 7 only on its three.
    EXPECT_TRUE(trafficTo(log, kGpu05E2, 3, gpu::chip::kRegulatorAddressE0));
    EXPECT_FALSE(trafficTo(log, kGpuKepler, 3, gpu::chip::kRegulatorAddressE0));
    EXPECT_FALSE(trafficTo(log, kGpu0E22, 3, gpu::chip::kRegulatorAddressE0));
    EXPECT_TRUE(trafficTo(log, kGpu0E22, 0, gpu::chip::kRegulatorAddressE0));
    EXPECT_FALSE(trafficTo(log, kGpu05E2, 0, gpu::chip::kRegulatorAddressE0));
    // Slot 6 only on its device set, slot 3 on none of the default boards.
    EXPECT_FALSE(trafficTo(log, kGpu05E2, 0, gpu::chip::kStepRegulatorAddress));
    EXPECT_FALSE(trafficTo(log, kGpuKepler, 2, gpu::chip::kStepRegulatorAddress));
    // Slots 5 and 8-11 are looked for on every board.
    for (uint32_t g = 0; g < 3; ++g) {
        EXPECT_TRUE(trafficTo(log, g, 2, gpu::chip::kSlot5Address));
        EXPECT_TRUE(trafficTo(log, g, 0, gpu::chip::kSlot8Address));
        EXPECT_TRUE(trafficTo(log, g, 0, gpu::chip::kPowerMonitor9Address));
    }
}

// Boards of the probe device sets without the chips the probes look for, and boards with the
// chips the defaults lack.
constexpr const char* kProbeBoards = R"(
[gpu]
name = Family A without regulator
device = 0x05E2
level = 0 flags=0
clock = graphics 300000 300000 300000
[gpu]
name = Slot-7 board without regulator
device = 0x0E22
level = 0 flags=0
clock = graphics 300000 300000 300000
[gpu]
name = Slot-3 board with regulator
device = 0x0DE0
level = 0 flags=0
clock = graphics 300000 300000 300000
chip = slot3 step=4
chip = slot5 code=120
[gpu]
name = Slot-3 board without regulator
device = 0x0CA3
level = 0 flags=0
clock = graphics 300000 300000 300000
)";

TEST(GpuLayerInit, ProbesLeaveMissingChipsOut) {
    TempDir dir;
    LayerRig rig(writeConfig(dir, "probes.conf", kProbeBoards));
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    ASSERT_EQ(rig.layer->gpuCount(), 4);
    const auto log = rig.sim().i2cLog();
    EXPECT_TRUE(trafficTo(log, 0, 3, gpu::chip::kRegulatorAddressE0));
    EXPECT_FALSE(rig.layer->record(0).hasChip(gpu::kSlotRegulator2));
    EXPECT_TRUE(trafficTo(log, 1, 0, gpu::chip::kRegulatorAddressE0));
    EXPECT_FALSE(rig.layer->record(1).hasChip(gpu::kSlotRegulator7));
    EXPECT_FALSE(rig.layer->record(1).hasChip(gpu::kSlotRegulator6));

    const GpuRecord& withSlot3 = rig.layer->record(2);
    EXPECT_EQ(withSlot3.slots[gpu::kSlotRegulator3].address, gpu::chip::kStepRegulatorAddress);
    EXPECT_EQ(withSlot3.slots[gpu::kSlotRegulator5].address, gpu::chip::kSlot5Address);
    uint8_t step = 0;
    ASSERT_EQ(rig.sim().getRegister(2, 2, gpu::chip::kStepRegulatorAddress,
                                    gpu::chip::kStepRegulatorRegStep, &step),
              0);
    EXPECT_EQ(step, 4) << "the probe puts back the step it found";

    EXPECT_TRUE(trafficTo(log, 3, 2, gpu::chip::kStepRegulatorAddress));
    EXPECT_FALSE(rig.layer->record(3).hasChip(gpu::kSlotRegulator3));
    for (uint8_t g = 0; g < 4; ++g) {
        EXPECT_FALSE(rig.layer->record(g).hasChip(gpu::kSlotFanChip0));
        EXPECT_FALSE(rig.layer->record(g).hasChip(gpu::kSlotFanChip1));
        EXPECT_FALSE(rig.layer->record(g).hasChip(gpu::kSlotPowerMonitor9));
        EXPECT_EQ(rig.layer->record(g).fanKind, gpu::kFanDriverCooler);
    }
}

// The step sets the core voltage: proving the chip writes a changed step, reads it back and
// writes the original again, so that no start moves the voltage (slot 6 on the default 0x0e22,
// slot 3 on the board that carries it beside the slot-0 fan chip).
TEST(GpuLayerInit, StepRegulatorProbeGivesTheOriginalStepBack) {
    struct Case {
        const char* preset;
        uint32_t gpu;
        uint8_t port;
    };
    for (const Case& c : {Case{"", kGpu0E22, 0}, Case{"slot0-slot3", 0, 2}}) {
        SCOPED_TRACE(c.preset);
        LayerRig rig(c.preset);
        rig.loadDriver();
        const auto step = [&] {
            uint8_t value = 0xFF;
            EXPECT_EQ(rig.sim().getRegister(c.gpu, c.port, gpu::chip::kStepRegulatorAddress,
                                            gpu::chip::kStepRegulatorRegStep, &value),
                      0);
            return value;
        };
        const uint8_t before = step();
        ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
        rig.layer->waitForProbe();
        EXPECT_EQ(step(), before);

        std::vector<uint8_t> writes;
        for (const auto& e : rig.sim().i2cLog()) {
            if (e.gpu == c.gpu && e.port == c.port && e.write == 1 &&
                e.address == gpu::chip::kStepRegulatorAddress &&
                e.reg == gpu::chip::kStepRegulatorRegStep) {
                writes.push_back(e.data[0]);
            }
        }
        const uint8_t changed = before == 0 ? 1 : static_cast<uint8_t>(before - 1);
        EXPECT_EQ(writes, (std::vector<uint8_t>{changed, before}));
    }
}

TEST(GpuLayerInit, Slot0FanChipIsSetUp) {
    LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    const GpuRecord& b = rig.layer->record(kGpu0E22);
    ASSERT_EQ(b.fanKind, gpu::kFanSlot0Chip);
    EXPECT_TRUE(b.fanCapability == gpu::kFanCapability32 ||
                b.fanCapability == gpu::kFanCapability64);
    const uint32_t full = b.fanCapability == gpu::kFanCapability64 ? 3000 : 5500;
    EXPECT_EQ(b.fanRpmFull, full);
    EXPECT_EQ(b.fanRpm75, static_cast<uint32_t>(full * 0.75));
    EXPECT_EQ(b.fanRpm51, static_cast<uint32_t>(full * 0.51));
    EXPECT_EQ(b.fanTempLow, 50);
    EXPECT_EQ(b.fanTempHigh, 75);

    uint8_t config = 0, mode = 0;
    const uint8_t address = gpu::chip::kSlot0AddressPrimary;
    ASSERT_EQ(rig.sim().getRegister(kGpu0E22, 2, address, gpu::chip::kSlot0RegConfig, &config), 0);
    EXPECT_LT(config, 64) << "a configuration of 64 or more is written back with its low 6 bits";
    ASSERT_EQ(rig.sim().getRegister(kGpu0E22, 2, address, gpu::chip::kSlot0RegMode, &mode), 0);
    EXPECT_EQ(mode & gpu::chip::kSlot0ModeManualBit, 0) << "the manual bit is cleared at start";
}

TEST(GpuLayerInit, Slot0ChipCalibrationBringsItsReadingToTheGpu) {
    LayerRig rig;
    rig.loadDriver();
    rig.sim().freezeTime(1);
    rig.sim().setTemperature(kGpu0E22, 60);
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    uint8_t chipCelsius = 0;
    ASSERT_EQ(rig.layer->slot0ChipTemperature(kGpu0E22, chipCelsius), drv::kOk);
    EXPECT_NEAR(chipCelsius, 60, 1);
}

TEST(GpuLayerInit, CalibrationWithExactlyThreeGoodSamplesUsesTheMiddleOne) {
    LayerRig rig;
    rig.loadDriver();
    rig.sim().freezeTime(1);
    rig.sim().setTemperature(kGpu0E22, 55);
    const uint8_t address = gpu::chip::kSlot0AddressPrimary;
    const int8_t startOffset = 3;
    ASSERT_EQ(rig.sim().setRegister(kGpu0E22, 2, address, gpu::chip::kSlot0RegTemperatureOffset,
                                    static_cast<uint8_t>(startOffset)),
              0);
    // GPU 0 is a driver-cooled board: the first thermal read of the initialisation is the
    // calibration's. Five of its eight samples fail.
    rig.sim().injectStatus(drv::kGpuGetThermalSettings, drv::kError, 5);
    rig.sim().clearCounters();
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);

    std::vector<int> differences;
    int8_t written = 0;
    bool sawWrite = false;
    for (const auto& e : rig.sim().i2cLog()) {
        if (e.gpu != kGpu0E22 || e.address != address || e.status != 0) {
            continue;
        }
        if (!e.write && e.reg == gpu::chip::kSlot0RegTemperature && !sawWrite) {
            differences.push_back(55 - e.data[0]);
        }
        if (e.write && e.reg == gpu::chip::kSlot0RegTemperatureOffset && !sawWrite) {
            written = static_cast<int8_t>(e.data[0]);
            sawWrite = true;
        }
    }
    ASSERT_EQ(differences.size(), 3u);
    ASSERT_TRUE(sawWrite);
    std::sort(differences.begin(), differences.end());
    EXPECT_EQ(written, differences[1] + startOffset);
}

TEST(GpuLayerInit, CalibrationNeedsThreeGoodSamples) {
    LayerRig rig;
    rig.loadDriver();
    rig.sim().injectStatus(drv::kGpuGetThermalSettings, drv::kError, 6);
    rig.sim().clearCounters();
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    for (const auto& e : rig.sim().i2cLog()) {
        EXPECT_FALSE(e.gpu == kGpu0E22 && e.write &&
                     e.reg == gpu::chip::kSlot0RegTemperatureOffset)
            << "no offset may be written from two samples";
    }
}

TEST(GpuLayerInit, Slot1ChipMakesThePausedDriverCooler) {
    LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    const GpuRecord& a = rig.layer->record(kGpu05E2);
    EXPECT_EQ(a.fanKind, gpu::kFanDriverCoolerPaused);
    uint32_t minimum = 0, maximum = 0;
    ASSERT_EQ(rig.layer->fanDutyRange(kGpu05E2, minimum, maximum), drv::kOk);
    EXPECT_EQ(maximum, 100u) << "with a slot-1 chip the duty maximum stays 100";
    uint8_t unlock = 0;
    ASSERT_EQ(rig.sim().getRegister(kGpu05E2, 2, gpu::chip::kSlot1Address,
                                    gpu::chip::kSlot1RegUnlock, &unlock),
              0);
    EXPECT_EQ(unlock, 'U');
}

TEST(GpuLayerInit, DriverCoolerBoardsTakeTheirDutyRangeFromTheCooler) {
    LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    const GpuRecord& kepler = rig.layer->record(kGpuKepler);
    uint32_t minimum = 0, maximum = 0;
    ASSERT_EQ(rig.layer->fanDutyRange(kGpuKepler, minimum, maximum), drv::kOk);
    ASSERT_GE(kepler.coolers.count, 1u);
    EXPECT_EQ(minimum, kepler.coolers.cooler[0].currentMinLevel);
    EXPECT_EQ(maximum, kepler.coolers.cooler[0].currentMaxLevel);
    EXPECT_LT(minimum, maximum);
}

TEST(GpuLayerInit, ClockLimitsAndBoostRatios) {
    LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    for (uint8_t g = 0; g < 3; ++g) {
        const GpuRecord& r = rig.layer->record(g);
        bool any = false;
        for (bool present : r.levelKindPresent) {
            any = any || present;
        }
        EXPECT_TRUE(any);
        uint32_t minimum = 0, maximum = 0;
        EXPECT_EQ(rig.layer->overallLimits(g, minimum, maximum, gpu::kSelectorGraphics), 1);
        EXPECT_GT(minimum, 0u);
        EXPECT_GT(maximum, minimum);
    }
    // The family A board has a shader domain, so its ratio is that of the shader to the core.
    const GpuRecord& a = rig.layer->record(kGpu05E2);
    EXPECT_TRUE(a.processorDomainPresent);
    gpu::PerfClockRequest perf;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpu05E2, perf, gpu::kLevelKind3DPerf), drv::kOk);
    ASSERT_NE(perf.graphicsBase, 0u);
    EXPECT_FLOAT_EQ(rig.layer->boostRatio(kGpu05E2, gpu::kLevelKind3DPerf),
                    static_cast<float>(perf.processorBase) / perf.graphicsBase);
    EXPECT_FLOAT_EQ(rig.layer->boostRatio(kGpu05E2, 5), 2.2f);
    uint32_t minimum = 0, maximum = 0;
    EXPECT_EQ(rig.layer->clockLimits(kGpu05E2, minimum, maximum, 3, gpu::kLevelKind2D), 0);
    EXPECT_EQ(rig.layer->clockLimits(kGpu05E2, minimum, maximum, 0, 4), 0);
    gpu::PerfClockRequest unknown;
    rig.sim().clearCounters();
    EXPECT_EQ(rig.layer->readLevelClocks(kGpu05E2, unknown, 5), drv::kError);
    EXPECT_EQ(rig.sim().callCount(0), 0u) << "an unknown kind never reaches the driver";
}

TEST(GpuLayerInit, GpuWithoutAnyDisplayHasNoMemoryFacts) {
    TempDir dir;
    LayerRig rig(writeConfig(dir, "headless.conf", R"(
[display]
name = \\.\DISPLAY1
gpu = 0
[gpu]
name = With display
device = 0x05E0
level = 0 flags=0
clock = graphics 300000 300000 300000
[gpu]
name = Headless
device = 0x05E0
level = 0 flags=0
clock = graphics 300000 300000 300000
)"));
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    drv::DisplayDriverMemoryInfo memory{};
    EXPECT_EQ(rig.layer->memoryInfo(0, memory), drv::kOk);
    EXPECT_EQ(rig.layer->memoryInfo(1, memory), drv::kNotSupported)
        << "the first GPU's memory must not stand in for another's";
}

TEST(GpuLayerInit, FiveGpusAtMost) {
    LayerRig rig("six-gpus");
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    EXPECT_EQ(rig.layer->gpuCount(), gpu::kMaxGpus);
    for (uint8_t g = 0; g < gpu::kMaxGpus; ++g) {
        EXPECT_NE(rig.layer->record(g).handle, nullptr);
    }
    uint32_t bus = 0;
    EXPECT_EQ(rig.layer->busOrder(5, bus), drv::kInvalidArgument);
}

TEST(GpuLayerInit, MissingDriverIsAHardwareFailure) {
    TempDir dir;
    drv::DriverLoader loader(dir.file("libnothing.so"));
    gpu::GpuLayer layer(loader);
    EXPECT_EQ(layer.initialize(), gpu::kInitHardwareFailure);
    EXPECT_EQ(layer.gpuCount(), 0);
}

TEST(GpuLayerInit, FailedEnumerationIsAHardwareFailure) {
    LayerRig rig;
    rig.loadDriver();
    rig.sim().injectStatus(drv::kEnumPhysicalGpus, drv::kNvidiaDeviceNotFound, 1);
    EXPECT_EQ(rig.layer->initialize(), gpu::kInitHardwareFailure);
}

TEST(GpuLayerInit, GpuWithoutClockTableIsAHardwareFailure) {
    LayerRig rig("no-clock-table");
    EXPECT_EQ(rig.layer->initialize(), gpu::kInitHardwareFailure);
}

TEST(GpuLayerInit, FailedClockTableReadIsAHardwareFailure) {
    LayerRig rig;
    rig.loadDriver();
    rig.sim().injectStatus(drv::kGpuGetPerfClocks, drv::kError, 1);
    EXPECT_EQ(rig.layer->initialize(), gpu::kInitHardwareFailure);
}

TEST(GpuLayerInit, SystemsOlderThanTheOldestSupportedAreRefused) {
    for (const auto& [major, minor, expected] :
         {std::tuple{4u, 9u, gpu::kInitUnsupportedSystem},
          std::tuple{5u, 0u, gpu::kInitUnsupportedSystem}, std::tuple{5u, 1u, gpu::kInitOk},
          std::tuple{6u, 0u, gpu::kInitOk}}) {
        FixedSystemInfo system(major, minor);
        LayerRig rig("", &system);
        EXPECT_EQ(rig.layer->initialize(), expected) << major << "." << minor;
        if (expected == gpu::kInitOk) {
            EXPECT_EQ(rig.layer->osMajorAbove5(), major > 5);
        }
    }
}

TEST(GpuLayerInit, BothSlot0AndSlot3KeepTheDriverCooler) {
    LayerRig rig("slot0-slot3");
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    const GpuRecord& r = rig.layer->record(0);
    EXPECT_TRUE(r.hasChip(gpu::kSlotFanChip0));
    EXPECT_EQ(r.slots[gpu::kSlotRegulator3].address, gpu::chip::kStepRegulatorAddress);
    EXPECT_EQ(r.fanKind, gpu::kFanDriverCooler);
    EXPECT_GE(r.coolers.count, 1u) << "the driver's cooler table was read";
}

TEST(GpuLayerInit, BoardWithoutCooler) {
    LayerRig rig("no-cooler");
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    EXPECT_EQ(rig.layer->record(0).fanKind, gpu::kFanNoCooler);
    int mode = 0;
    EXPECT_EQ(rig.layer->fanMode(0, mode), drv::kError);
}

TEST(GpuLayerInit, StaleHandlesAreReplacedByEnumeratingAgain) {
    LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.layer->waitForProbe();
    const auto oldHandle = rig.layer->record(1).handle;
    rig.sim().invalidateHandles(drv::kHandleInvalidated);
    int32_t celsius = 0;
    const int status = rig.layer->gpuTemperature(1, celsius);
    EXPECT_EQ(status, drv::kHandleInvalidated);
    rig.layer->reenumerateOnStatus(status);
    EXPECT_NE(rig.layer->record(1).handle, oldHandle);
    EXPECT_EQ(rig.layer->gpuTemperature(1, celsius), drv::kOk);
    // Other failures leave the handles alone.
    const auto current = rig.layer->record(1).handle;
    rig.layer->reenumerateOnStatus(drv::kError);
    EXPECT_EQ(rig.layer->record(1).handle, current);
}

TEST(GpuLayerInit, BoardFactsForTheDialog) {
    LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    // Each GPU reports its own memory, also the one whose display is unattached.
    const uint32_t expectedMb[] = {2048, 1024, 896};
    for (uint8_t g = 0; g < 3; ++g) {
        drv::DisplayDriverMemoryInfo memory{};
        ASSERT_EQ(rig.layer->memoryInfo(g, memory), drv::kOk);
        EXPECT_EQ(memory.dedicatedVideoMemoryKiB >> 10, expectedMb[g]) << "GPU " << int(g);
    }
    uint32_t displayId = 0;
    EXPECT_EQ(rig.layer->displayId(0, displayId), drv::kOk);
    EXPECT_NE(displayId, 0u);
    // The flash tool's bus order: sorted bus numbers.
    std::vector<uint32_t> order;
    for (uint8_t i = 0; i < 3; ++i) {
        uint32_t bus = 0;
        ASSERT_EQ(rig.layer->busOrder(i, bus), drv::kOk);
        order.push_back(bus);
    }
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    rig.sim().injectStatus(drv::kGpuGetBusWidthAndLocation, drv::kError, 1);
    EXPECT_EQ(rig.layer->readBusWidth(0), 0u);
    EXPECT_EQ(rig.layer->record(0).busWidth, 0u);
}

}  // namespace
}  // namespace qv::test
