#include <gtest/gtest.h>

#include <sstream>

#include "gpu/ChipRegisters.h"
#include "gpu/DriverIds.h"
#include "gpu/GpuLayerTestSupport.h"

namespace qv::test {
namespace {

// One GPU per level-selection case. Each level's graphics base is 100 MHz times its position
// plus one, so the level a request lands on can be told from the base it reads.
struct SelectionCase {
    const char* name;
    uint32_t device;
    std::vector<std::pair<uint32_t, uint32_t>> levels;  // (identifier, flags)
    int kind;
    int expectedPosition;  // -1: no level
};

const std::vector<SelectionCase> kSelectionCases = {
    {"FourLevelsFlags4Id2TakesTheNext", 0x1080, {{0, 1}, {1, 2}, {2, 4}, {3, 0}}, 2, 3},
    {"FourLevelsFlags5Id2TakesLevel3", 0x1080, {{0, 1}, {1, 2}, {2, 5}, {3, 4}}, 2, 3},
    {"FourLevelsFlags5Id3TakesTheNext", 0x1080, {{0, 1}, {3, 5}, {1, 2}, {2, 0}}, 2, 2},
    {"FourLevelsFlags4OtherIdFallsToLevel0", 0x1080, {{0, 1}, {1, 4}, {2, 2}, {3, 0}}, 2, 0},
    {"FourLevelsFlags2IsTaken", 0x1080, {{0, 1}, {1, 2}, {2, 4}, {3, 0}}, 3, 1},
    {"FourLevelsOtherFlagsFallToLevel0", 0x1080, {{0, 0}, {1, 6}, {2, 2}, {3, 4}}, 3, 0},
    {"FourLevelsKind1TakesFirstFlags0Or1", 0x1080, {{0, 2}, {1, 1}, {2, 4}, {3, 0}}, 1, 1},
    {"FamilyCOtherSizeKind2TakesTheLast", 0x1080, {{0, 0}, {1, 4}, {2, 2}}, 2, 2},
    {"FamilyCOtherSizeKind3TakesFirstBit1", 0x1080, {{0, 0}, {1, 4}, {2, 2}}, 3, 2},
    {"OlderBoardKind2TakesFirstBit2", 0x05E0, {{0, 0}, {1, 4}, {2, 2}}, 2, 1},
    {"OlderBoardWithoutBit2FindsNothing", 0x05E0, {{0, 0}, {1, 2}}, 2, -1},
    {"SwappedBoardKind1UsesMask2", 0x1189, {{0, 1}, {1, 2}, {2, 4}}, 1, 1},
    {"SwappedBoardKind3UsesMask0", 0x1189, {{0, 2}, {1, 1}, {2, 4}}, 3, 1},
    {"Kind4IsTheFirstFlags0Or1", 0x05E0, {{0, 2}, {1, 0}}, 4, 1},
};

// The case's board, and a plain second board so that the background probe skips the BIOS dump.
std::string selectionConfig(const SelectionCase& c) {
    std::ostringstream out;
    out << "[gpu]\nname = " << c.name << "\ndevice = 0x" << std::hex << c.device << std::dec
        << "\n";
    for (size_t i = 0; i < c.levels.size(); ++i) {
        const uint32_t base = 100000 * static_cast<uint32_t>(i + 1);
        out << "level = " << c.levels[i].first << " flags=" << c.levels[i].second << "\n"
            << "clock = graphics " << base << " 50000 2000000\n"
            << "clock = memory " << base * 2 << " 50000 4000000\n";
    }
    out << "[gpu]\nname = Second\ndevice = 0x05E0\nlevel = 0 flags=0\n"
           "clock = graphics 300000 300000 300000\n";
    return out.str();
}

class GpuLayerLevelSelection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(GpuLayerLevelSelection, RequestLandsOnItsLevel) {
    const SelectionCase& c = GetParam();
    TempDir dir;
    LayerRig rig(writeConfig(dir, "levels.conf", selectionConfig(c)));
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    gpu::PerfClockRequest request;
    const int status = rig.layer->readLevelClocks(0, request, c.kind);
    if (c.expectedPosition < 0) {
        EXPECT_EQ(status, drv::kError);
        return;
    }
    ASSERT_EQ(status, drv::kOk);
    EXPECT_EQ(request.graphicsBase, 100000u * static_cast<uint32_t>(c.expectedPosition + 1));
}

INSTANTIATE_TEST_SUITE_P(Cases, GpuLayerLevelSelection, ::testing::ValuesIn(kSelectionCases),
                         [](const auto& param) { return std::string(param.param.name); });


class GpuLayerClocks : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
        rig.layer->waitForProbe();
        rig.sim().clearCounters();
    }
    LayerRig rig;
};

TEST_F(GpuLayerClocks, TopLevelOfFamilyCBoardsReportsRaisedMaxima) {
    // The Kepler board's 3D PERF request lands on its level 3 (flags 5 on level 2 with mask 4),
    // the top level of a four-level table: maxima raised, memory minimum taken from its base.
    gpu::PerfClockRequest perf;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpuKepler, perf, gpu::kLevelKind3DPerf), drv::kOk);
    EXPECT_EQ(perf.levelMask, 4u);
    EXPECT_EQ(perf.graphicsMax, static_cast<uint32_t>(1202000 * 1.2));
    EXPECT_EQ(perf.memoryMax, static_cast<uint32_t>(3504000 * 1.5));
    EXPECT_EQ(perf.memoryMin, perf.memoryBase);
    // The 3D Low level of the same board is not the top one.
    gpu::PerfClockRequest low;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpuKepler, low, gpu::kLevelKind3DLow), drv::kOk);
    EXPECT_EQ(low.levelMask, 0u) << "2D and 3D Low swap masks on this board";
    // An older board's top level keeps its maxima.
    gpu::PerfClockRequest older;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpu05E2, older, gpu::kLevelKind3DPerf), drv::kOk);
    EXPECT_EQ(older.graphicsMax, 800000u);
    EXPECT_EQ(older.processorMax, 1700000u);
    EXPECT_EQ(older.memoryMin, 500000u);
}

TEST_F(GpuLayerClocks, WrittenLevelIsWhatTheBoardThenReports) {
    gpu::PerfClockRequest request;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpu05E2, request, gpu::kLevelKind3DPerf), drv::kOk);
    request.graphicsCurrent = 700000;
    request.processorCurrent = 1500000;
    request.memoryCurrent = 1100000;
    ASSERT_EQ(rig.layer->writeLevelClocks(kGpu05E2, request, gpu::kLevelKind3DPerf, 1), drv::kOk);
    EXPECT_EQ(request.mode, 1u);
    EXPECT_EQ(request.writeFlag, 1u);
    gpu::PerfClockRequest back;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpu05E2, back, gpu::kLevelKind3DPerf), drv::kOk);
    EXPECT_EQ(back.graphicsCurrent, 700000u);
    EXPECT_EQ(back.processorCurrent, 1500000u);
    EXPECT_EQ(back.memoryCurrent, 1100000u);
    // Another level is untouched.
    gpu::PerfClockRequest idle;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpu05E2, idle, gpu::kLevelKind2D), drv::kOk);
    EXPECT_EQ(idle.graphicsCurrent, 300000u);
}

TEST_F(GpuLayerClocks, ZeroMemoryIsWrittenAs1000WhereTheBoardNeedsIt) {
    ASSERT_TRUE(rig.layer->record(kGpu05E2).memoryWriteAs1000);
    gpu::PerfClockRequest request;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpu05E2, request, gpu::kLevelKind2D), drv::kOk);
    request.memoryCurrent = 0;
    ASSERT_EQ(rig.layer->writeLevelClocks(kGpu05E2, request, gpu::kLevelKind2D, 0), drv::kOk);
    gpu::PerfClockRequest back;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpu05E2, back, gpu::kLevelKind2D), drv::kOk);
    EXPECT_EQ(back.memoryCurrent, 1000u);
}

TEST_F(GpuLayerClocks, RefusedWriteCountsAsSuccessAndUnknownKindsFail) {
    rig.sim().injectStatus(drv::kGpuSetPerfClocks, drv::kSetNotAllowed, 1);
    gpu::PerfClockRequest request;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpu05E2, request, gpu::kLevelKind3DPerf), drv::kOk);
    EXPECT_EQ(rig.layer->writeLevelClocks(kGpu05E2, request, gpu::kLevelKind3DPerf, 1), drv::kOk);
    rig.sim().injectStatus(drv::kGpuSetPerfClocks, drv::kInvalidArgument, 1);
    EXPECT_EQ(rig.layer->writeLevelClocks(kGpu05E2, request, gpu::kLevelKind3DPerf, 1),
              drv::kInvalidArgument);
    rig.sim().clearCounters();
    EXPECT_EQ(rig.layer->writeLevelClocks(kGpu05E2, request, 5, 1), drv::kError);
    EXPECT_EQ(rig.layer->writeLevelClocks(kGpu05E2, request, 0, 1), drv::kError);
    EXPECT_EQ(rig.sim().callCount(0), 0u);
}

TEST_F(GpuLayerClocks, CurrentClocksFollowTheCurrentLevel) {
    EXPECT_FALSE(rig.layer->fourLevelTableSeen());
    for (uint8_t g = 0; g < 3; ++g) {
        uint32_t graphics = 0, processor = 0, memory = 0;
        int kind = -1;
        ASSERT_EQ(rig.layer->currentClocksAndKind(g, graphics, processor, memory, kind), drv::kOk);
        EXPECT_GT(graphics, 0u);
        EXPECT_GT(memory, 0u);
        EXPECT_GE(kind, 1);
        EXPECT_LE(kind, 4);
        EXPECT_EQ(processor != 0, rig.layer->record(g).processorDomainPresent);
    }
    EXPECT_TRUE(rig.layer->fourLevelTableSeen());
    EXPECT_TRUE(rig.layer->record(kGpuKepler).fourLevelTable);
    EXPECT_FALSE(rig.layer->record(kGpu05E2).fourLevelTable);
    // Under full load the boards climb to their performance level.
    rig.sim().freezeTime(1);
    rig.sim().setLoad(kGpu05E2, 100);
    uint32_t graphics = 0, processor = 0, memory = 0;
    int kind = 0;
    ASSERT_EQ(rig.layer->currentClocksAndKind(kGpu05E2, graphics, processor, memory, kind),
              drv::kOk);
    EXPECT_EQ(kind, gpu::kLevelKind3DPerf);
    EXPECT_EQ(graphics, 576000u);
    // The slot-2 regulator learnt its code register for that kind on the way.
    EXPECT_NE(rig.layer->record(kGpu05E2).regulatorCodeRegister[1], 0);
}

TEST_F(GpuLayerClocks, Pstates20OffsetsMoveP0AndLeaveStandardOutputAlone) {
    testing::internal::CaptureStdout();
    ASSERT_EQ(rig.layer->setGraphicsOffset(kGpuKepler, 100000), drv::kOk);
    ASSERT_EQ(rig.layer->setMemoryOffset(kGpuKepler, 200000), drv::kOk);
    ASSERT_EQ(rig.layer->setCoreVoltageOffset(kGpuKepler, 25000), drv::kOk);
    rig.sim().injectStatus(drv::kGpuSetPstates20, drv::kInvalidArgument, 1);
    EXPECT_EQ(rig.layer->setGraphicsOffset(kGpuKepler, 1), drv::kInvalidArgument);
    const std::string out = testing::internal::GetCapturedStdout();
    // What the driver said goes to the debug channel: standard output belongs to qvctl's
    // results and, for the window, to the terminal it was started from.
    EXPECT_EQ(out, "");
    drv::Pstates20Info info;
    ASSERT_EQ(rig.layer->pstates20Info(kGpuKepler, info), drv::kOk);
    const drv::Pstates20Pstate& p0 = info.pstates[0];
    EXPECT_EQ(p0.pstateId, drv::kPstate0);
    bool sawGraphics = false, sawMemory = false;
    for (uint32_t i = 0; i < info.numClocks; ++i) {
        if (p0.clocks[i].domainId == drv::kClockDomainGraphics) {
            EXPECT_EQ(p0.clocks[i].freqDeltaKHz.value, 100000);
            sawGraphics = true;
        }
        if (p0.clocks[i].domainId == drv::kClockDomainMemory) {
            EXPECT_EQ(p0.clocks[i].freqDeltaKHz.value, 200000);
            sawMemory = true;
        }
    }
    EXPECT_TRUE(sawGraphics && sawMemory);
    ASSERT_GE(info.numBaseVoltages, 1u);
    EXPECT_EQ(p0.baseVoltages[0].voltDeltaUv.value, 25000);
}

TEST_F(GpuLayerClocks, TopLevelReadAndWrittenBackUnchangedStaysPut) {
    ASSERT_EQ(rig.layer->setGraphicsOffset(kGpuKepler, 100000), drv::kOk);
    gpu::PerfClockRequest before;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpuKepler, before, gpu::kLevelKind3DPerf), drv::kOk);
    gpu::PerfClockRequest request = before;
    ASSERT_EQ(rig.layer->writeLevelClocks(kGpuKepler, request, gpu::kLevelKind3DPerf, 1),
              drv::kOk);
    gpu::PerfClockRequest after;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpuKepler, after, gpu::kLevelKind3DPerf), drv::kOk);
    EXPECT_EQ(after.graphicsCurrent, before.graphicsCurrent)
        << "the P0 offset must not pile up in the stored clock";
    EXPECT_EQ(after.memoryCurrent, before.memoryCurrent);
}

TEST_F(GpuLayerClocks, FrameRateLimitGoesThroughASettingsSession) {
    ASSERT_EQ(rig.layer->setFrameRateLimit(60, false), drv::kOk);
    const std::vector<uint32_t> expected = {drv::kDrsCreateSession, drv::kDrsLoadSettings,
                                            drv::kDrsGetBaseProfile, drv::kDrsSetSetting,
                                            drv::kDrsSaveSettings, drv::kDrsDestroySession};
    std::vector<uint32_t> seen;
    for (const auto& e : rig.sim().hookLog()) {
        if (!e.isExit) {
            seen.push_back(e.id);
        }
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(rig.layer->setFrameRateLimit(0, true), drv::kOk);

    // The first failing step is the answer, and the session is closed all the same.
    rig.sim().clearCounters();
    rig.sim().injectStatus(drv::kDrsLoadSettings, drv::kApiNotInitialized, 1);
    EXPECT_EQ(rig.layer->setFrameRateLimit(60, false), drv::kApiNotInitialized);
    EXPECT_EQ(rig.sim().callCount(drv::kDrsSetSetting), 0u);
    EXPECT_EQ(rig.sim().callCount(drv::kDrsDestroySession), 1u);
}

TEST_F(GpuLayerClocks, DriverCoreVoltageIsTheFirstDomain) {
    testing::internal::CaptureStdout();
    uint32_t microvolts = 0;
    ASSERT_EQ(rig.layer->driverCoreVoltage(kGpuKepler, microvolts), drv::kOk);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_GT(microvolts, 500000u);
    EXPECT_LT(microvolts, 1500000u);
    EXPECT_EQ(out, "") << "read every sampling tick: the domains go to the debug channel";
}

TEST_F(GpuLayerClocks, RegulatorVoltageFromTheBoardsChips) {
    rig.sim().freezeTime(1);
    float volts = 0;
    ASSERT_EQ(rig.layer->regulatorVoltage(kGpu05E2, volts), drv::kOk);
    uint8_t select = 0, code = 0;
    ASSERT_EQ(rig.sim().getRegister(kGpu05E2, 3, 0xE0, 0x1C, &select), 0);
    ASSERT_EQ(rig.sim().getRegister(kGpu05E2, 3, 0xE0,
                                    static_cast<uint8_t>(0x15 + ((select >> 4) & 3)), &code),
              0);
    EXPECT_FLOAT_EQ(volts, (450.0f + 12.5f * (code & 0x7F)) / 1000.0f);

    uint8_t raw = 0;
    ASSERT_EQ(rig.layer->regulatorVoltage(kGpu0E22, volts), drv::kOk);
    ASSERT_EQ(rig.sim().getRegister(kGpu0E22, 2, 0x5C, 0x13, &raw), 0);
    EXPECT_FLOAT_EQ(volts, raw * 0.008f * 1.47f);
    float rail = 0;
    ASSERT_EQ(rig.layer->slot0RailValue(kGpu0E22, rail), drv::kOk);
    ASSERT_EQ(rig.sim().getRegister(kGpu0E22, 2, 0x5C, 0x12, &raw), 0);
    EXPECT_FLOAT_EQ(rail, raw * 0.008f * 6.55f);
    EXPECT_EQ(rig.layer->regulatorVoltage(kGpuKepler, volts), drv::kNotSupported);
}

TEST_F(GpuLayerClocks, RegulatorCodesChangeTheCoreVoltage) {
    rig.sim().freezeTime(1);
    uint8_t select = 0;
    ASSERT_EQ(rig.sim().getRegister(kGpu05E2, 3, 0xE0, 0x1C, &select), 0);
    const auto active = static_cast<uint8_t>(0x15 + ((select >> 4) & 3));
    ASSERT_EQ(rig.layer->writeRegulatorCode(kGpu05E2, active, 0x80 | 60), drv::kOk);
    uint8_t code = 0;
    ASSERT_EQ(rig.layer->readRegulatorCode(kGpu05E2, active, code), drv::kOk);
    EXPECT_EQ(code, 60) << "codes keep seven bits";
    float volts = 0;
    ASSERT_EQ(rig.layer->regulatorVoltage(kGpu05E2, volts), drv::kOk);
    EXPECT_FLOAT_EQ(volts, 1.2f);
    EXPECT_EQ(rig.layer->writeRegulatorCode(kGpu0E22, active, 60), drv::kNotSupported);
}

TEST(GpuLayerVoltageCodes, ConversionBothWays) {
    EXPECT_FLOAT_EQ(gpu::GpuLayer::regulatorCodeToMillivolts(0), 450.0f);
    EXPECT_FLOAT_EQ(gpu::GpuLayer::regulatorCodeToMillivolts(60), 1200.0f);
    EXPECT_FLOAT_EQ(gpu::GpuLayer::regulatorCodeToMillivolts(127), 2037.5f);
    EXPECT_EQ(gpu::GpuLayer::regulatorMillivoltsToCode(1200.0f), 60);
    EXPECT_EQ(gpu::GpuLayer::regulatorMillivoltsToCode(1206.25f), 60) << "within 6.25 mV";
    EXPECT_EQ(gpu::GpuLayer::regulatorMillivoltsToCode(1193.75f), 59) << "the first code wins";
    EXPECT_EQ(gpu::GpuLayer::regulatorMillivoltsToCode(400.0f), -1);
    EXPECT_EQ(gpu::GpuLayer::regulatorMillivoltsToCode(2100.0f), -1);
}

TEST_F(GpuLayerClocks, CodeRangesAndSteps) {
    uint32_t low = 99, high = 99;
    EXPECT_EQ(rig.layer->voltageCodeRange(kGpu05E2, low, high, gpu::kLevelKind2D), 1);
    EXPECT_EQ(low, 44u);
    EXPECT_EQ(high, 76u);
    EXPECT_EQ(rig.layer->voltageCodeRange(kGpu05E2, low, high, gpu::kLevelKind3DLow), 0);
    EXPECT_EQ(rig.layer->voltageCodeRange(kGpu0E22, low, high, gpu::kLevelKind2D), 1);
    EXPECT_EQ(high, 25u) << "the slot-7 regulator";
    EXPECT_EQ(rig.layer->voltageCodeRange(kGpuKepler, low, high, gpu::kLevelKind2D), 0);
    EXPECT_EQ(rig.layer->slot6CodeRange(kGpuKepler, low, high), 1);
    EXPECT_EQ(high, 10u);

    ASSERT_EQ(rig.layer->setStepRegulator(kGpuKepler, gpu::kSlotRegulator6, 15), drv::kOk);
    uint8_t step = 0;
    ASSERT_EQ(rig.sim().getRegister(kGpuKepler, 0, 0x60, 1, &step), 0);
    EXPECT_EQ(step, 10);
    ASSERT_EQ(rig.layer->setStepRegulator(kGpuKepler, gpu::kSlotRegulator6, -3), drv::kOk);
    ASSERT_EQ(rig.sim().getRegister(kGpuKepler, 0, 0x60, 1, &step), 0);
    EXPECT_EQ(step, 0);
    EXPECT_EQ(rig.layer->setStepRegulator(kGpuKepler, gpu::kSlotRegulator3, 5),
              drv::kNotSupported);
}

TEST_F(GpuLayerClocks, Slot0CurrentFallsBackToTheSameGpusLastReading) {
    float first = -1;
    ASSERT_EQ(rig.layer->slot0CurrentValue(kGpu0E22, first), drv::kOk);
    EXPECT_GE(first, 0.0f);
    rig.sim().clearCounters();
    rig.sim().injectStatus(drv::kI2cRead, drv::kError, -1);
    rig.sim().injectStatus(drv::kI2cReadEx, drv::kError, -1);
    float again = -1;
    EXPECT_EQ(rig.layer->slot0CurrentValue(kGpu0E22, again), drv::kOk);
    EXPECT_FLOAT_EQ(again, first);
    EXPECT_EQ(rig.sim().callCount(drv::kI2cRead), 1u) << "a failed read ends the re-reads";
    EXPECT_EQ(rig.layer->slot0CurrentValue(kGpuKepler, again), drv::kNotSupported);
}

TEST_F(GpuLayerClocks, PowerMonitorsAndPowerLimit) {
    uint16_t reading = 0;
    ASSERT_EQ(rig.layer->powerMonitorReading(kGpu0E22, gpu::kSlotPowerMonitor9, reading), drv::kOk);
    uint8_t high = 0, low = 0;
    rig.sim().freezeTime(1);
    ASSERT_EQ(rig.layer->powerMonitorReading(kGpu0E22, gpu::kSlotPowerMonitor9, reading), drv::kOk);
    const auto log = rig.sim().i2cLog();
    ASSERT_FALSE(log.empty());
    high = log.back().data[0];
    low = log.back().data[1];
    EXPECT_EQ(reading, (high << 8) | low);
    EXPECT_EQ(log.back().reg, 3);
    EXPECT_EQ(log.back().size, 2);
    EXPECT_EQ(rig.layer->powerMonitorReading(kGpuKepler, gpu::kSlotPowerMonitor9, reading),
              drv::kNotSupported);

    drv::PowerPoliciesInfo info{};
    info.version = drv::kPowerPoliciesInfoVersion;
    ASSERT_EQ(rig.layer->powerPoliciesInfo(kGpuKepler, info), drv::kOk);
    ASSERT_EQ(rig.layer->raisePowerLimit(kGpuKepler), drv::kOk);
    drv::PowerPoliciesStatus status{};
    status.version = drv::kPowerPoliciesStatusVersion;
    ASSERT_EQ(rig.layer->powerPoliciesStatus(kGpuKepler, status), drv::kOk);
    EXPECT_EQ(status.entries[0].power, info.entries[0].maxPower);
    EXPECT_EQ(status.entries[0].power, 132000u);
    // A board without power policies has nothing to raise.
    EXPECT_NE(rig.layer->raisePowerLimit(kGpu0E22), drv::kOk);
}

// ---- Board questions -----------------------------------------------------------------------

TEST_F(GpuLayerClocks, LevelKindsAndFanUnitOfTheBuiltInBoards) {
    const gpu::GpuRecord& older = rig.layer->record(kGpu05E2);
    for (const int kind : gpu::kLevelKindOrder) {
        EXPECT_TRUE(older.hasLevelKind(kind)) << kind;
    }
    EXPECT_FALSE(older.hasLevelKind(gpu::kNoLevelKind));
    EXPECT_FALSE(older.hasLevelKind(gpu::kLevelKindFour));
    EXPECT_EQ(older.firstPresentLevelKind(), gpu::kLevelKind2D);

    // The fourth level counts once the current level has been read.
    const gpu::GpuRecord& kepler = rig.layer->record(kGpuKepler);
    EXPECT_FALSE(kepler.hasTableLevel(gpu::kLevelKindFour));
    EXPECT_TRUE(kepler.hasTableLevel(gpu::kLevelKind3DPerf));
    int kind = gpu::kNoLevelKind;
    ASSERT_EQ(rig.layer->currentLevelKind(kGpuKepler, kind), drv::kOk);
    EXPECT_TRUE(kepler.hasTableLevel(gpu::kLevelKindFour));
    EXPECT_FALSE(kepler.hasLevelKind(gpu::kLevelKindFour));
    EXPECT_FALSE(older.hasTableLevel(gpu::kLevelKindFour));

    EXPECT_TRUE(rig.layer->record(kGpu0E22).fanSetInRpm()) << "the slot-0 fan chip";
    EXPECT_FALSE(older.fanSetInRpm()) << "the slot-1 fan chip";
    EXPECT_FALSE(kepler.fanSetInRpm()) << "the driver cooler";
}

TEST(GpuLayerBoardQuestions, FirstPresentKindFollowsTheOrder2DThen3DLowThen3DPerf) {
    TempDir dir;
    LayerRig rig(writeConfig(dir, "kinds.conf",
                             "[gpu]\nname = NoIdle\ndevice = 0x05E0\n"
                             "level = 0 flags=4\nclock = graphics 500000 400000 600000\n"
                             "level = 1 flags=2\nclock = graphics 400000 300000 500000\n"
                             "[gpu]\nname = Second\ndevice = 0x05E0\n"
                             "level = 0 flags=0\nclock = graphics 300000 300000 300000\n"));
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    EXPECT_EQ(rig.layer->record(0).firstPresentLevelKind(), gpu::kLevelKind3DLow);
    EXPECT_FALSE(rig.layer->record(0).hasLevelKind(gpu::kLevelKind2D));
    EXPECT_EQ(rig.layer->record(1).firstPresentLevelKind(), gpu::kLevelKind2D);
    // A board without any kind fails initialisation; an empty record answers none.
    EXPECT_EQ(gpu::GpuRecord{}.firstPresentLevelKind(), gpu::kNoLevelKind);
}

TEST_F(GpuLayerClocks, CurrentModeIsOneOfTheThreeKindsOrNone) {
    rig.sim().freezeTime(1);
    rig.sim().setLoad(kGpuKepler, 60);  // the third of four levels: the fourth level's kind
    int kind = gpu::kNoLevelKind;
    ASSERT_EQ(rig.layer->currentLevelKind(kGpuKepler, kind), drv::kOk);
    EXPECT_EQ(kind, gpu::kLevelKindFour);
    EXPECT_EQ(rig.layer->currentMode(kGpuKepler), gpu::kNoLevelKind);
    rig.sim().setLoad(kGpuKepler, 100);
    EXPECT_EQ(rig.layer->currentMode(kGpuKepler), gpu::kLevelKind3DPerf);
    rig.sim().setLoad(kGpuKepler, 0);
    EXPECT_EQ(rig.layer->currentMode(kGpuKepler), gpu::kLevelKind2D);

    rig.sim().injectStatus(drv::kGpuGetPerfClocks, drv::kError, 1);
    EXPECT_EQ(rig.layer->currentLevelKind(kGpuKepler, kind), drv::kError);
    rig.sim().injectStatus(drv::kGpuGetPerfClocks, drv::kError, 1);
    EXPECT_EQ(rig.layer->currentMode(kGpuKepler), gpu::kNoLevelKind);
    EXPECT_EQ(rig.layer->currentMode(gpu::kMaxGpus + 1), gpu::kNoLevelKind);
}

TEST_F(GpuLayerClocks, CoreVoltageRangeOfEachRegulator) {
    uint32_t low = 99, high = 99;
    ASSERT_TRUE(rig.layer->coreVoltageRange(kGpu05E2, gpu::kLevelKind3DPerf, low, high));
    EXPECT_EQ(low, 44u);
    EXPECT_EQ(high, 76u);
    EXPECT_FALSE(rig.layer->coreVoltageRange(kGpu05E2, gpu::kLevelKind3DLow, low, high))
        << "the slot-2 regulator has no code register for 3D Low";
    ASSERT_TRUE(rig.layer->coreVoltageRange(kGpu0E22, gpu::kLevelKind3DLow, low, high));
    EXPECT_EQ(high, 25u) << "the slot-7 regulator serves every kind";
    EXPECT_FALSE(rig.layer->coreVoltageRange(kGpuKepler, gpu::kLevelKind2D, low, high))
        << "a memory regulator alone is no core voltage control";
    EXPECT_FALSE(rig.layer->coreVoltageRange(gpu::kMaxGpus + 1, gpu::kLevelKind2D, low, high));
}

TEST(GpuLayerBoardQuestions, StepRegulatorRangeIsNarrowOnlyOnTheBoardsThatNeedIt) {
    uint32_t low = 99, high = 99;
    {
        LayerRig rig("slot0-slot3");  // 0x0DE0
        ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
        rig.layer->waitForProbe();
        ASSERT_TRUE(rig.layer->coreVoltageRange(0, gpu::kLevelKind3DPerf, low, high));
        EXPECT_EQ(low, 0u);
        EXPECT_EQ(high, gpu::chip::kNarrowStepHigh);
    }
    TempDir dir;
    LayerRig rig(writeConfig(dir, "regulators.conf",
                             "[gpu]\nname = Step\ndevice = 0x0CA3\nlevel = 0 flags=0\n"
                             "clock = graphics 300000 300000 300000\nchip = slot3 step=0\n"
                             "[gpu]\nname = Slot5\ndevice = 0x05E0\nlevel = 0 flags=0\n"
                             "clock = graphics 300000 300000 300000\nchip = slot5 code=127\n"));
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    ASSERT_TRUE(rig.layer->coreVoltageRange(0, gpu::kLevelKind2D, low, high));
    EXPECT_EQ(high, gpu::chip::kStepCodeHigh);
    // The slot-5 regulator has a code range but is not a core voltage control.
    ASSERT_EQ(rig.layer->voltageCodeRange(1, low, high, gpu::kLevelKind2D), 1);
    EXPECT_FALSE(rig.layer->coreVoltageRange(1, gpu::kLevelKind2D, low, high));
}

TEST_F(GpuLayerClocks, KindRegulatorCodeGoesThroughTheLearntRegister) {
    rig.sim().freezeTime(1);
    rig.sim().setLoad(kGpu05E2, 100);
    ASSERT_EQ(rig.layer->setKindRegulatorCode(kGpu05E2, gpu::kLevelKind3DPerf, 0x80 | 58),
              drv::kOk);
    uint8_t select = 0;
    ASSERT_EQ(rig.sim().getRegister(kGpu05E2, 3, 0xE0, 0x1C, &select), 0);
    const auto active = static_cast<uint8_t>(0x15 + ((select >> 4) & 3));
    EXPECT_EQ(rig.layer->record(kGpu05E2).regulatorCodeRegisterOf(gpu::kLevelKind3DPerf), active);
    uint8_t code = 0;
    ASSERT_EQ(rig.sim().getRegister(kGpu05E2, 3, 0xE0, active, &code), 0);
    EXPECT_EQ(code, 58) << "codes keep seven bits";
    code = 0;
    ASSERT_EQ(rig.layer->kindRegulatorCode(kGpu05E2, gpu::kLevelKind3DPerf, code), drv::kOk);
    EXPECT_EQ(code, 58);

    rig.sim().clearCounters();
    EXPECT_EQ(rig.layer->kindRegulatorCode(kGpu05E2, gpu::kLevelKind3DLow, code),
              drv::kNotSupported);
    EXPECT_EQ(rig.layer->setKindRegulatorCode(kGpu05E2, gpu::kLevelKind3DLow, 50),
              drv::kNotSupported);
    EXPECT_EQ(rig.sim().i2cLogCount(), 0u) << "a kind without a code register touches nothing";
    EXPECT_EQ(rig.layer->kindRegulatorCode(kGpu0E22, gpu::kLevelKind2D, code), drv::kNotSupported);
    EXPECT_EQ(rig.layer->kindRegulatorCode(gpu::kMaxGpus + 1, gpu::kLevelKind2D, code),
              drv::kNotSupported);
}

TEST_F(GpuLayerClocks, ReplaceLevelClocksWritesOnlyTheDomainsAskedFor) {
    gpu::PerfClockRequest before;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpu05E2, before, gpu::kLevelKind3DPerf), drv::kOk);
    gpu::LevelClockChange change;
    change.graphicsKHz = 700000;
    gpu::LevelClockStep failed = gpu::LevelClockStep::kRead;
    ASSERT_EQ(rig.layer->replaceLevelClocks(kGpu05E2, gpu::kLevelKind3DPerf, change, 0, &failed),
              drv::kOk);
    EXPECT_EQ(failed, gpu::LevelClockStep::kNone);
    gpu::PerfClockRequest after;
    ASSERT_EQ(rig.layer->readLevelClocks(kGpu05E2, after, gpu::kLevelKind3DPerf), drv::kOk);
    EXPECT_EQ(after.graphicsCurrent, 700000u);
    EXPECT_EQ(after.processorCurrent, before.processorCurrent);
    EXPECT_EQ(after.memoryCurrent, before.memoryCurrent);

    rig.sim().clearCounters();
    rig.sim().injectStatus(drv::kGpuGetPerfClocks, drv::kError, 1);
    change.memoryKHz = 900000;
    EXPECT_EQ(rig.layer->replaceLevelClocks(kGpu05E2, gpu::kLevelKind3DPerf, change, 0, &failed),
              drv::kError);
    EXPECT_EQ(failed, gpu::LevelClockStep::kRead);
    EXPECT_EQ(rig.sim().callCount(drv::kGpuSetPerfClocks), 0u) << "nothing is written blind";

    rig.sim().injectStatus(drv::kGpuSetPerfClocks, drv::kInvalidArgument, 1);
    EXPECT_EQ(rig.layer->replaceLevelClocks(kGpu05E2, gpu::kLevelKind3DPerf, change, 0, &failed),
              drv::kInvalidArgument);
    EXPECT_EQ(failed, gpu::LevelClockStep::kWrite);
    ASSERT_EQ(rig.layer->readLevelClocks(kGpu05E2, after, gpu::kLevelKind3DPerf), drv::kOk);
    EXPECT_EQ(after.memoryCurrent, before.memoryCurrent);
}

}  // namespace
}  // namespace qv::test
