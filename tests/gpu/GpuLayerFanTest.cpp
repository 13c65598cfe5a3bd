#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "gpu/ChipRegisters.h"
#include "gpu/DriverIds.h"
#include "gpu/GpuLayerTestSupport.h"

namespace qv::test {
namespace {

namespace chip = gpu::chip;

constexpr uint8_t kPort2 = 2;

class GpuLayerFan : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
        rig.layer->waitForProbe();
        rig.sim().clearCounters();
    }
    uint8_t slot0(uint8_t reg) {
        uint8_t value = 0;
        EXPECT_EQ(rig.sim().getRegister(kGpu0E22, kPort2, chip::kSlot0AddressPrimary, reg, &value),
                  0);
        return value;
    }
    // The register writes the simulator saw on one GPU's chip, in order.
    std::vector<std::pair<uint8_t, uint8_t>> writes(uint32_t gpu, uint8_t address) {
        std::vector<std::pair<uint8_t, uint8_t>> out;
        for (const auto& e : rig.sim().i2cLog()) {
            if (e.gpu == gpu && e.address == address && e.write && e.status == 0) {
                out.emplace_back(e.reg, e.data[0]);
            }
        }
        return out;
    }
    LayerRig rig;
};

TEST_F(GpuLayerFan, Slot0ChipManualLevelIsAnRpmPeriod) {
    ASSERT_EQ(rig.layer->setFanLevel(kGpu0E22, 3000), drv::kOk);
    const uint8_t mode = slot0(chip::kSlot0RegMode);
    EXPECT_NE(mode & chip::kSlot0ModeManual, 0);
    EXPECT_EQ(mode & chip::kSlot0ModeBit2, 0);
    const auto seen = writes(kGpu0E22, chip::kSlot0AddressPrimary);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].first, chip::kSlot0RegMode);
    EXPECT_EQ(seen[1], std::make_pair(chip::kSlot0RegPeriodHigh, uint8_t{500 >> 8}));
    EXPECT_EQ(seen[2], std::make_pair(chip::kSlot0RegPeriodLow, uint8_t{500 & 0xFF}));
    int mode2 = 0;
    ASSERT_EQ(rig.layer->fanMode(kGpu0E22, mode2), drv::kOk);
    EXPECT_EQ(mode2, gpu::GpuLayer::kFanModeManual);
    int32_t target = 0;
    ASSERT_EQ(rig.layer->fanSpeed(kGpu0E22, target, false), drv::kOk);
    EXPECT_EQ(target, 3000);
}

TEST_F(GpuLayerFan, Slot0ChipLevelZeroWritesAZeroPeriod) {
    ASSERT_EQ(rig.layer->setFanLevel(kGpu0E22, 0), drv::kOk);
    EXPECT_EQ(slot0(chip::kSlot0RegPeriodHigh), 0);
    EXPECT_EQ(slot0(chip::kSlot0RegPeriodLow), 0);
    int32_t target = -1;
    ASSERT_EQ(rig.layer->fanSpeed(kGpu0E22, target, false), drv::kOk);
    EXPECT_EQ(target, 0) << "a period of 0 reads as 0";
}

TEST_F(GpuLayerFan, Slot0ChipVeryLowLevelKeepsTheLargestPeriod) {
    ASSERT_EQ(rig.layer->setFanLevel(kGpu0E22, 10), drv::kOk);
    EXPECT_EQ(slot0(chip::kSlot0RegPeriodHigh), 0xFF);
    EXPECT_EQ(slot0(chip::kSlot0RegPeriodLow), 0xFF);
}

TEST_F(GpuLayerFan, Slot0ChipAutomaticWritesTheCurvePoints) {
    ASSERT_EQ(rig.layer->setFanLevel(kGpu0E22, 3000), drv::kOk);
    rig.sim().clearCounters();
    ASSERT_EQ(rig.layer->setFanAutomatic(kGpu0E22), drv::kOk);
    const gpu::GpuRecord& r = rig.layer->record(kGpu0E22);
    EXPECT_EQ(slot0(chip::kSlot0RegMode) & (chip::kSlot0ModeManual | chip::kSlot0ModeBit2), 0);
    const uint8_t temps[] = {75, 50, 0, 0};
    for (uint8_t i = 0; i < 4; ++i) {
        EXPECT_EQ(slot0(static_cast<uint8_t>(chip::kSlot0RegTemperaturePoint0 + i)), temps[i]);
    }
    const uint32_t rpms[] = {r.fanRpmFull, r.fanRpm75, r.fanRpm51, r.fanRpm51, r.fanRpm51};
    for (uint8_t i = 0; i < 5; ++i) {
        EXPECT_EQ(slot0(static_cast<uint8_t>(chip::kSlot0RegRpmPoint0 + i)),
                  (1500000 / rpms[i]) >> 4);
    }
    const auto seen = writes(kGpu0E22, chip::kSlot0AddressPrimary);
    EXPECT_EQ(seen.size(), 1u + 4u + 5u);
}

TEST_F(GpuLayerFan, Slot0ChipAutomaticStopsAtTheFirstFailedWrite) {
    rig.sim().injectStatus(drv::kI2cWrite, drv::kError, -1);
    rig.sim().injectStatus(drv::kI2cWriteEx, drv::kError, -1);
    EXPECT_EQ(rig.layer->setFanAutomatic(kGpu0E22), drv::kError);
    EXPECT_EQ(rig.sim().callCount(drv::kI2cWrite), 1u);
    EXPECT_EQ(rig.sim().callCount(drv::kI2cWriteEx), 1u);
}

TEST_F(GpuLayerFan, Slot0ManualBitAndTemperatureNeedTheChip) {
    EXPECT_EQ(rig.layer->setSlot0ManualBit(kGpuKepler, true), drv::kNotSupported);
    uint8_t celsius = 0;
    EXPECT_EQ(rig.layer->slot0ChipTemperature(kGpuKepler, celsius), drv::kNotSupported);
    int8_t offset = 0;
    EXPECT_EQ(rig.layer->readSlot0TemperatureOffset(kGpuKepler, offset), drv::kNotSupported);
    ASSERT_EQ(rig.layer->setSlot0ManualBit(kGpu0E22, true), drv::kOk);
    EXPECT_NE(slot0(chip::kSlot0RegMode) & chip::kSlot0ModeManualBit, 0);
    ASSERT_EQ(rig.layer->setSlot0ManualBit(kGpu0E22, false), drv::kOk);
    EXPECT_EQ(slot0(chip::kSlot0RegMode) & chip::kSlot0ModeManualBit, 0);
}

TEST_F(GpuLayerFan, DriverCoolerManualAndAutomatic) {
    ASSERT_EQ(rig.layer->setFanLevel(kGpuKepler, 80), drv::kOk);
    EXPECT_EQ(rig.sim().callCount(drv::kGpuSetCoolerLevels), 2u) << "sent twice";
    int mode = 0;
    ASSERT_EQ(rig.layer->fanMode(kGpuKepler, mode), drv::kOk);
    EXPECT_EQ(mode, gpu::GpuLayer::kFanModeManual);
    int32_t percent = 0;
    ASSERT_EQ(rig.layer->fanSpeed(kGpuKepler, percent, false), drv::kOk);
    EXPECT_EQ(percent, 80);

    ASSERT_EQ(rig.layer->setFanAutomatic(kGpuKepler), drv::kOk);
    ASSERT_EQ(rig.layer->fanMode(kGpuKepler, mode), drv::kOk);
    EXPECT_EQ(mode, gpu::GpuLayer::kFanModeAutomatic);
    EXPECT_TRUE(rig.layer->fanReadsRpm(kGpuKepler));
    int32_t rpm = 0;
    EXPECT_EQ(rig.layer->fanSpeed(kGpuKepler, rpm, true), drv::kOk);
}

TEST_F(GpuLayerFan, CachedLevelIsUnknownUntilTheModeIsRead) {
    rig.layer->record(kGpuKepler).cachedFanLevel = -1;
    int32_t percent = 0;
    EXPECT_EQ(rig.layer->fanSpeed(kGpuKepler, percent, false), drv::kError);
    rig.sim().injectStatus(drv::kGpuGetCoolerSettings, drv::kError, 1);
    int mode = 0;
    EXPECT_EQ(rig.layer->fanMode(kGpuKepler, mode), drv::kError);
    EXPECT_EQ(rig.layer->record(kGpuKepler).cachedFanLevel, -1);
}

TEST_F(GpuLayerFan, Slot1ChipReadsPercentFromItsDutyRegister) {
    rig.sim().freezeTime(1);
    uint8_t duty = 0;
    ASSERT_EQ(rig.sim().getRegister(kGpu05E2, kPort2, chip::kSlot1Address, chip::kSlot1RegDutyKind1,
                                    &duty),
              0);
    int32_t percent = 0;
    ASSERT_EQ(rig.layer->fanSpeed(kGpu05E2, percent, false), drv::kOk);
    EXPECT_EQ(percent, static_cast<int32_t>(duty / 255.0 * 100.0));
    int32_t rpm = 0;
    ASSERT_EQ(rig.layer->fanSpeed(kGpu05E2, rpm, true), drv::kOk);
    EXPECT_TRUE(rpm == 0 || rpm >= 100);
}

TEST(GpuLayerFanSlot1, Kind2LevelHundredGivesFullDuty) {
    LayerRig rig("bios-f");
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.layer->waitForProbe();
    ASSERT_EQ(rig.layer->record(0).fanKind, gpu::kFanSlot1Chip);
    const int32_t saved = rig.layer->record(0).savedFanConfig;
    ASSERT_NE(saved, -1);
    ASSERT_EQ(rig.layer->setFanLevel(0, 100), drv::kOk);
    uint8_t duty = 0, mode = 0, config = 0;
    rig.sim().getRegister(0, kPort2, chip::kSlot1Address, chip::kSlot1RegDutyKind2, &duty);
    rig.sim().getRegister(0, kPort2, chip::kSlot1Address, chip::kSlot1RegMode, &mode);
    EXPECT_EQ(duty, 255);  // 100 / 0.39 = 256, capped
    EXPECT_EQ(mode & chip::kSlot1ModeManualBits, chip::kSlot1ModeManualBits);
    int fanMode = 0;
    ASSERT_EQ(rig.layer->fanMode(0, fanMode), drv::kOk);
    EXPECT_EQ(fanMode, gpu::GpuLayer::kFanModeManual);

    ASSERT_EQ(rig.layer->setFanAutomatic(0), drv::kOk);
    rig.sim().getRegister(0, kPort2, chip::kSlot1Address, chip::kSlot1RegMode, &mode);
    rig.sim().getRegister(0, kPort2, chip::kSlot1Address, chip::kSlot1RegConfigKind2, &config);
    EXPECT_EQ(mode & chip::kSlot1ModeManualBits, 0);
    EXPECT_EQ(config, static_cast<uint8_t>(saved));
    ASSERT_EQ(rig.layer->fanMode(0, fanMode), drv::kOk);
    EXPECT_EQ(fanMode, gpu::GpuLayer::kFanModeAutomatic);
}

// The "-F" BIOS names the slot-1 chip as the fan's controller, but this board has no such chip:
// every fan operation answers "not supported" and puts nothing on the bus or to the cooler.
TEST(GpuLayerFanSlot1, Kind2WithoutTheChipSendsNothing) {
    std::ifstream preset(presetPath("bios-f"));
    std::string text, line;
    while (std::getline(preset, line)) {
        if (line.rfind("chip = slot1", 0) != 0 && line.rfind("fan_control", 0) != 0) {
            text += line + "\n";
        }
    }
    TempDir dir;
    LayerRig rig(writeConfig(dir, "no-slot1.conf", text));
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.layer->waitForProbe();
    ASSERT_EQ(rig.layer->record(0).fanKind, gpu::kFanSlot1Chip);
    ASSERT_FALSE(rig.layer->record(0).hasChip(gpu::kSlotFanChip1));
    for (const auto& e : rig.sim().i2cLog()) {
        EXPECT_NE(e.address, 0) << "register " << int(e.reg) << " at the general-call address";
    }

    rig.sim().clearCounters();
    int mode = 0;
    int32_t value = 0;
    EXPECT_EQ(rig.layer->fanMode(0, mode), drv::kNotSupported);
    EXPECT_EQ(rig.layer->fanSpeed(0, value, false), drv::kNotSupported);
    EXPECT_EQ(rig.layer->fanSpeed(0, value, true), drv::kNotSupported);
    EXPECT_EQ(rig.layer->setFanLevel(0, 60), drv::kNotSupported);
    EXPECT_EQ(rig.layer->setFanAutomatic(0), drv::kNotSupported);
    uint8_t reg = 0;
    EXPECT_EQ(rig.layer->readRegister(0, gpu::kSlotFanChip1, chip::kSlot1RegMode, reg),
              drv::kNotSupported);
    EXPECT_EQ(rig.sim().i2cLogCount(), 0u);
    EXPECT_EQ(rig.sim().callCount(drv::kGpuSetCoolerLevels), 0u);
}

TEST(GpuLayerFanNone, EveryFanOperationRefusesABoardWithoutCooler) {
    LayerRig rig("no-cooler");
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    EXPECT_EQ(rig.layer->setFanLevel(0, 50), drv::kNotSupported);
    EXPECT_EQ(rig.layer->setFanAutomatic(0), drv::kNotSupported);
    int32_t value = 0;
    EXPECT_EQ(rig.layer->fanSpeed(0, value, false), drv::kNotSupported);
}

// Each reading says its unit: the level in percent on every board, the speed in rpm from the
// fan chip's tachometer or, where the chip has none, the driver's.
TEST_F(GpuLayerFan, ReadingsComeInTheUnitTheyName) {
    gpu::GpuLayer& layer = *rig.layer;
    for (const uint8_t gpu : {kGpuKepler, kGpu0E22, kGpu05E2}) {
        SCOPED_TRACE(static_cast<int>(gpu));
        ASSERT_EQ(layer.setFanLevel(gpu, layer.record(gpu).percentToFanLevel(60)), drv::kOk);
        int mode = 0;
        ASSERT_EQ(layer.fanMode(gpu, mode), drv::kOk);  // the driver cooler's level comes with it
        int32_t percent = -1;
        ASSERT_EQ(layer.fanPercent(gpu, percent), drv::kOk);
        EXPECT_NEAR(percent, 60, 1);
        ASSERT_TRUE(layer.fanReadsRpm(gpu));
        int32_t rpm = -1;
        ASSERT_EQ(layer.fanRpm(gpu, rpm), drv::kOk);
        EXPECT_GT(rpm, 100) << "a speed in rpm, not a duty";
    }
    int32_t none = -1;
    EXPECT_EQ(layer.fanRpm(gpu::kMaxGpus, none), drv::kInvalidArgument);
}

// A slot-1 fan chip without its tachometer wire answers a duty where a speed is asked; the
// speed then comes from the driver's tachometer, never the duty with an rpm unit.
TEST(GpuLayerFanSpeed, ASlot1ChipWithoutItsTachometerTakesTheDriversSpeed) {
    std::ifstream in(presetPath("single-05e2"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"tachometer = no", "tachometer = yes"},
          {"chip = slot1 tach=yes", "chip = slot1 tach=no"}}) {
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    }
    TempDir dir;
    LayerRig rig(writeConfig(dir, "untached.conf", text));
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.layer->waitForProbe();
    gpu::GpuLayer& layer = *rig.layer;
    ASSERT_EQ(layer.record(0).fanCapability & gpu::kFanCapabilityTachometer, 0u);
    ASSERT_EQ(layer.setFanLevel(0, 40), drv::kOk);
    int32_t duty = -1;
    ASSERT_EQ(layer.fanSpeed(0, duty, true), drv::kOk);
    ASSERT_TRUE(layer.fanReadsRpm(0));
    int32_t rpm = -1;
    ASSERT_EQ(layer.fanRpm(0, rpm), drv::kOk);
    EXPECT_GT(rpm, 100);
    EXPECT_NE(rpm, duty) << "the chip's duty is no speed";
}

}  // namespace
}  // namespace qv::test
