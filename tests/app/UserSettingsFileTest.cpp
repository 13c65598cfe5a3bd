#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/UserSettingsFile.h"
#include "app/UserSettingsTestSupport.h"
#include "app/UserSettingsVoltage.h"

namespace qv::test {
namespace {

namespace chip = gpu::chip;

constexpr int32_t kHorizon = 12;
constexpr int32_t kVertical = -3;

using UserSettingsWriter = UserSettingsMachine;

TEST_F(UserSettingsWriter, WritesEveryBoardsCurrentValuesInOrder) {
    ASSERT_EQ(rig.sim().setRegister(kGpu0E22, kPort2, chip::kSlot0AddressPrimary,
                                    app::kAlarmTemperatureRegister, 85),
              0);
    ASSERT_EQ(app::writeUserSettings(*rig.layer, kHorizon, kVertical, path()),
              app::kUserSettingsOk);
    const std::string expected =
        // Kepler board: kind 1 addresses the level with bit 1 on this device, kind 3 the first
        // level; no shader clock, no voltage line (its driver table is not read), fan automatic.
        "[Gpu1]\r\nId=1180\r\n"
        "Gpu2DClock=540000\r\nMemory2DClock=1620000\r\nGpu2DVolt=1000\r\n"
        "Gpu3DLowPowerClock=324000\r\nMemory3DLowPowerClock=324000\r\n"
        "Gpu3DPerformanceClock=1006000\r\nMemory3DPerformanceClock=3004000\r\n"
        "Gpu3DPerformanceVolt=1175\r\n"
        "FanWorkMode=1\r\nHorizonValue=12\r\nVerticalValue=-3\r\n"
        // The 2D memory clock has no range on this board, so it is not written.
        "[Gpu2]\r\nId=0e22\r\n"
        "Gpu2DClock=50625\r\nShader2DClock=101250\r\n"
        "Gpu3DLowPowerClock=405000\r\nShader3DLowPowerClock=810000\r\n"
        "Memory3DLowPowerClock=324000\r\n"
        "Gpu3DPerformanceClock=675000\r\nShader3DPerformaceClock=1350000\r\n"
        "Memory3DPerformanceClock=1800000\r\n"
        "FanWorkMode=1\r\nAlarmTemperature=85\r\nHorizonValue=12\r\nVerticalValue=-3\r\n"
        // Slot-2 regulator: the 2D code register (the level the card runs at) holds code 48.
        "[Gpu3]\r\nId=05e2\r\n"
        "Gpu2DClock=300000\r\nShader2DClock=600000\r\nGpu2DVolt=1050\r\n"
        "Gpu3DLowPowerClock=400000\r\nShader3DLowPowerClock=800000\r\n"
        "Memory3DLowPowerClock=300000\r\n"
        "Gpu3DPerformanceClock=576000\r\nShader3DPerformaceClock=1242000\r\n"
        "Memory3DPerformanceClock=999000\r\n"
        "FanWorkMode=1\r\nHorizonValue=12\r\nVerticalValue=-3\r\n";
    EXPECT_EQ(readBytes(path()), utf16File(widen(expected)));
}

TEST_F(UserSettingsWriter, ManualFanWritesItsLevelAndPresetsStandForUnreadableValues) {
    ASSERT_EQ(rig.layer->setFanLevel(kGpuKepler, 70), drv::kOk);
    ASSERT_EQ(rig.layer->setFanLevel(kGpu0E22, 2000), drv::kOk);
    // The slot-0 chip stops answering: its fan work mode, fan level and alarm temperature
    // cannot be read.
    const std::u16string before = app::userSettingsText(*rig.layer, 0, 0);
    EXPECT_NE(before.find(u"[Gpu1]"), std::u16string::npos);
    EXPECT_NE(before.find(u"FanWorkMode=2\r\nFanSpeed=70\r\n"), std::u16string::npos);
    EXPECT_NE(before.find(u"FanWorkMode=2\r\nFanSpeed=2000\r\n"), std::u16string::npos);

    ASSERT_EQ(rig.sim().injectStatus(drv::kI2cRead, drv::kError, -1), 0);
    ASSERT_EQ(rig.sim().injectStatus(drv::kI2cReadEx, drv::kError, -1), 0);
    const std::u16string text = app::userSettingsText(*rig.layer, 0, 0);
    const size_t gpu2 = text.find(u"[Gpu2]");
    const size_t gpu3 = text.find(u"[Gpu3]");
    ASSERT_LT(gpu2, gpu3);
    const std::u16string section = text.substr(gpu2, gpu3 - gpu2);
    EXPECT_NE(section.find(u"FanWorkMode=255\r\nFanSpeed=40\r\nAlarmTemperature=90\r\n"),
              std::u16string::npos)
        << std::string(section.begin(), section.end());
}

TEST_F(UserSettingsWriter, AFailedWriteLeavesTheOldFile) {
    // A file name so long that the temporary file beside it cannot be created.
    const std::string target = files.file(std::string(250, 'u'));
    writeBytes(target, "old contents");
    EXPECT_EQ(app::writeUserSettings(*rig.layer, 0, 0, target), app::kUserSettingsFileError);
    EXPECT_EQ(readBytes(target), "old contents");
    EXPECT_EQ(app::writeUserSettings(*rig.layer, 0, 0, files.file("missing/UserSettings.txt")),
              app::kUserSettingsFileError);
}

TEST_F(UserSettingsWriter, SaveOrDeleteFollowsTheRestoreOption) {
    EXPECT_EQ(app::saveOrDeleteUserSettings(*rig.layer, false, 0, 0, path()), app::kUserSettingsOk)
        << "no file to delete is fine";
    EXPECT_EQ(app::saveOrDeleteUserSettings(*rig.layer, true, 4, 5, path()), app::kUserSettingsOk);
    const std::string written = readBytes(path());
    EXPECT_EQ(written, app::encodeUserSettingsFile(app::userSettingsText(*rig.layer, 4, 5)));
    EXPECT_EQ(app::saveOrDeleteUserSettings(*rig.layer, false, 4, 5, path()), app::kUserSettingsOk);
    struct stat info {};
    EXPECT_NE(::stat(path().c_str(), &info), 0) << "the file is deleted";
}

using UserSettingsReader = UserSettingsMachine;

TEST_F(UserSettingsReader, RestoresWhatWasSavedOnEveryBoard) {
    setLevel(kGpuKepler, gpu::kLevelKind3DPerf, 1100000, 0, 3200000);
    ASSERT_EQ(rig.layer->setFanLevel(kGpuKepler, 70), drv::kOk);
    setLevel(kGpu0E22, gpu::kLevelKind2D, 100000, 200000, 67500);
    ASSERT_EQ(rig.layer->setFanLevel(kGpu0E22, 2000), drv::kOk);
    setLevel(kGpu05E2, gpu::kLevelKind3DLow, 450000, 900000, 350000);
    ASSERT_EQ(rig.layer->writeRegulatorCode(kGpu05E2, chip::kSlot2RegCode0, 50), drv::kOk);
    ASSERT_EQ(app::writeUserSettings(*rig.layer, kHorizon, kVertical, path()),
              app::kUserSettingsOk);

    setLevel(kGpuKepler, gpu::kLevelKind3DPerf, 900000, 0, 2000000);
    ASSERT_EQ(rig.layer->setFanAutomatic(kGpuKepler), drv::kOk);
    setLevel(kGpu0E22, gpu::kLevelKind2D, 300000, 600000, 67500);
    ASSERT_EQ(rig.layer->setFanAutomatic(kGpu0E22), drv::kOk);
    setLevel(kGpu05E2, gpu::kLevelKind3DLow, 500000, 1000000, 400000);
    ASSERT_EQ(rig.layer->writeRegulatorCode(kGpu05E2, chip::kSlot2RegCode0, 56), drv::kOk);

    ASSERT_EQ(apply(), app::kUserSettingsOk);

    SecondLayer board;
    const gpu::PerfClockRequest kepler = level(*board.layer, kGpuKepler, gpu::kLevelKind3DPerf);
    EXPECT_EQ(kepler.graphicsCurrent, 1100000u);
    EXPECT_EQ(kepler.memoryCurrent, 3200000u);
    int mode = 0;
    int32_t fan = 0;
    ASSERT_EQ(board.layer->fanMode(kGpuKepler, mode), drv::kOk);
    ASSERT_EQ(board.layer->fanSpeed(kGpuKepler, fan, false), drv::kOk);
    EXPECT_EQ(mode, gpu::GpuLayer::kFanModeManual);
    EXPECT_EQ(fan, 70);

    const gpu::PerfClockRequest low = level(*board.layer, kGpu0E22, gpu::kLevelKind2D);
    EXPECT_EQ(low.graphicsCurrent, 100000u);
    EXPECT_EQ(low.processorCurrent, 200000u);
    EXPECT_EQ(low.memoryCurrent, 67500u) << "the clock without a range keeps its value";
    ASSERT_EQ(board.layer->fanMode(kGpu0E22, mode), drv::kOk);
    ASSERT_EQ(board.layer->fanSpeed(kGpu0E22, fan, false), drv::kOk);
    EXPECT_EQ(mode, gpu::GpuLayer::kFanModeManual);
    EXPECT_EQ(fan, 2000);

    const gpu::PerfClockRequest family = level(*board.layer, kGpu05E2, gpu::kLevelKind3DLow);
    EXPECT_EQ(family.graphicsCurrent, 450000u);
    EXPECT_EQ(family.processorCurrent, 900000u);
    EXPECT_EQ(family.memoryCurrent, 350000u);
    uint8_t code = 0;
    ASSERT_EQ(board.layer->readRegulatorCode(kGpu05E2, chip::kSlot2RegCode0, code), drv::kOk);
    EXPECT_EQ(code, 50);

    EXPECT_EQ(state.horizonValue, kHorizon);
    EXPECT_EQ(state.verticalValue, kVertical);
    EXPECT_EQ(state.records[kGpuKepler].gpuClock3DPerformance, 1100000);
    EXPECT_EQ(state.records[kGpuKepler].fanWorkMode, app::kFanWorkModeManual);
    EXPECT_EQ(state.records[kGpuKepler].fanSpeed, 70);
    EXPECT_EQ(state.records[kGpu0E22].shaderClock2D, 200000);
    EXPECT_EQ(state.records[kGpu0E22].memoryClock2D, 0) << "not adjustable in 2D";
    EXPECT_EQ(state.records[kGpu05E2].gpuVoltage2D, 1075);
    // Each manual fan level is followed by the pause.
    EXPECT_EQ(clock.sleeps(), (std::vector<uint32_t>{app::kFanSettleMs, app::kFanSettleMs}));
}

TEST_F(UserSettingsReader, AnotherCardInASlotIsLeftAlone) {
    // Made on a machine whose second card was another model; the Id of the first is in
    // upper case.
    writeText(
        "[Gpu1]\r\nId=1180\r\nGpu3DPerformanceClock=1100000\r\n"
        "Memory3DPerformanceClock=3200000\r\nFanWorkMode=2\r\nFanSpeed=80\r\n"
        "HorizonValue=1\r\nVerticalValue=2\r\n"
        "[Gpu2]\r\nId=0e21\r\nGpu2DClock=100000\r\nShader2DClock=200000\r\n"
        "FanWorkMode=2\r\nFanSpeed=2000\r\nAlarmTemperature=70\r\n"
        "HorizonValue=8\r\nVerticalValue=9\r\n"
        "[Gpu3]\r\nId=05E2\r\nGpu3DLowPowerClock=450000\r\nShader3DLowPowerClock=900000\r\n"
        "Memory3DLowPowerClock=350000\r\n");
    const uint8_t alarmBefore =
        chipRegister(kGpu0E22, kPort2, chip::kSlot0AddressPrimary, app::kAlarmTemperatureRegister);
    const gpu::PerfClockRequest before = level(kGpu0E22, gpu::kLevelKind2D);
    rig.sim().clearCounters();
    ASSERT_EQ(apply(), app::kUserSettingsOk);

    EXPECT_EQ(level(kGpuKepler, gpu::kLevelKind3DPerf).graphicsCurrent, 1100000u);
    EXPECT_EQ(level(kGpu05E2, gpu::kLevelKind3DLow).graphicsCurrent, 450000u);
    const gpu::PerfClockRequest after = level(kGpu0E22, gpu::kLevelKind2D);
    EXPECT_EQ(after.graphicsCurrent, before.graphicsCurrent);
    EXPECT_EQ(after.processorCurrent, before.processorCurrent);
    int mode = 0;
    ASSERT_EQ(rig.layer->fanMode(kGpu0E22, mode), drv::kOk);
    EXPECT_EQ(mode, gpu::GpuLayer::kFanModeAutomatic);
    EXPECT_EQ(
        chipRegister(kGpu0E22, kPort2, chip::kSlot0AddressPrimary, app::kAlarmTemperatureRegister),
        alarmBefore);
    for (const QvSimI2cEvent& e : rig.sim().i2cLog()) {
        EXPECT_FALSE(e.gpu == kGpu0E22 && e.write) << "register " << int(e.reg) << " written";
    }
    EXPECT_EQ(state.records[kGpu0E22], app::UserSettingsRecord{});
    EXPECT_EQ(state.horizonValue, 1) << "the skipped section's values are not taken";
    EXPECT_EQ(state.verticalValue, 2);
}

TEST_F(UserSettingsReader, AClockAboveItsMaximumLeavesTheModeButNotTheRest) {
    const gpu::PerfClockRequest perf = level(kGpu05E2, gpu::kLevelKind3DPerf);
    const std::string section =
        "[Gpu3]\r\nId=05e2\r\nGpu2DVolt=1100\r\n"
        "Gpu3DPerformanceClock=" +
        std::to_string(perf.graphicsMax + 1) +
        "\r\nShader3DPerformaceClock=" + std::to_string(perf.processorMax) +
        "\r\nMemory3DPerformanceClock=" + std::to_string(perf.memoryMin) +
        "\r\nFanWorkMode=2\r\nFanSpeed=60\r\n";
    writeText(section);
    ASSERT_EQ(apply(), app::kUserSettingsOk);
    EXPECT_EQ(calls(drv::kGpuSetPerfClocks), 0u);
    const gpu::PerfClockRequest after = level(kGpu05E2, gpu::kLevelKind3DPerf);
    EXPECT_EQ(after.graphicsCurrent, perf.graphicsCurrent);
    EXPECT_EQ(after.processorCurrent, perf.processorCurrent);
    EXPECT_EQ(after.memoryCurrent, perf.memoryCurrent);
    EXPECT_EQ(chipRegister(kGpu05E2, kPort3, chip::kRegulatorAddressE0, chip::kSlot2RegCode0), 52)
        << "1100 mV is code 52";
    int mode = 0;
    int32_t fan = 0;
    ASSERT_EQ(rig.layer->fanMode(kGpu05E2, mode), drv::kOk);
    ASSERT_EQ(rig.layer->fanSpeed(kGpu05E2, fan, false), drv::kOk);
    EXPECT_EQ(mode, gpu::GpuLayer::kFanModeManual);
    EXPECT_EQ(fan, 60);
    EXPECT_EQ(state.records[kGpu05E2].gpuClock3DPerformance,
              static_cast<int32_t>(perf.graphicsMax + 1))
        << "the record holds what the file says";

    // On the limits themselves the level is written, with the write flag set and then clear.
    writeText("[Gpu3]\r\nId=05e2\r\nGpu3DPerformanceClock=" + std::to_string(perf.graphicsMax) +
              "\r\nShader3DPerformaceClock=" + std::to_string(perf.processorMax) +
              "\r\nMemory3DPerformanceClock=" + std::to_string(perf.memoryMin) + "\r\n");
    rig.sim().clearCounters();
    ASSERT_EQ(apply(), app::kUserSettingsOk);
    EXPECT_EQ(calls(drv::kGpuSetPerfClocks), 2u);
    const gpu::PerfClockRequest written = level(kGpu05E2, gpu::kLevelKind3DPerf);
    EXPECT_EQ(written.graphicsCurrent, perf.graphicsMax);
    EXPECT_EQ(written.processorCurrent, perf.processorMax);
    EXPECT_EQ(written.memoryCurrent, perf.memoryMin);
}

TEST_F(UserSettingsReader, AModeWithAMissingClockIsNotWritten) {
    writeText(
        "[Gpu3]\r\nId=05e2\r\nGpu3DPerformanceClock=600000\r\n"
        "Memory3DPerformanceClock=1000000\r\n");
    ASSERT_EQ(apply(), app::kUserSettingsOk);
    EXPECT_EQ(calls(drv::kGpuSetPerfClocks), 0u);
}

TEST_F(UserSettingsReader, FanLinesFollowTheWorkMode) {
    struct Case {
        const char* lines;
        uint64_t coolerCalls;  // the manual level is sent twice
        std::vector<uint32_t> sleeps;
    };
    const Case cases[] = {
        {"", 0, {}},
        {"FanWorkMode=2\r\n", 0, {}},                 // only the range is read
        {"FanWorkMode=2\r\nFanSpeed=20\r\n", 0, {}},  // below the range of 30-100
        {"FanWorkMode=2\r\nFanSpeed=101\r\n", 0, {}},
        {"FanWorkMode=2\r\nFanSpeed=30\r\n", 2, {app::kFanSettleMs}},
        {"FanWorkMode=1\r\nFanSpeed=30\r\n", 1, {}},
        {"FanWorkMode=3\r\nFanSpeed=30\r\n", 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        writeText(std::string("[Gpu1]\r\nId=1180\r\n") + c.lines);
        rig.sim().clearCounters();
        FakeClock paced;
        EXPECT_EQ(app::readAndApplyUserSettings(*rig.layer, paced, state, path()),
                  app::kUserSettingsOk);
        EXPECT_EQ(calls(drv::kGpuSetCoolerLevels), c.coolerCalls);
        EXPECT_EQ(paced.sleeps(), c.sleeps);
    }
}

TEST_F(UserSettingsReader, AFileEditedAndSavedAsUtf8IsApplied) {
    writeBytes(path(), "\xEF\xBB\xBF[Gpu1]\nId=1180\nFanWorkMode=2\nFanSpeed=57\n");
    FakeClock paced;
    EXPECT_EQ(app::readAndApplyUserSettings(*rig.layer, paced, state, path()),
              app::kUserSettingsOk);
    EXPECT_EQ(calls(drv::kGpuSetCoolerLevels), 2u);
    int mode = 0;
    ASSERT_EQ(rig.layer->fanMode(kGpuKepler, mode), drv::kOk);
    EXPECT_EQ(mode, gpu::GpuLayer::kFanModeManual);
}

TEST_F(UserSettingsReader, TheLastMatchingSectionGivesTheSharedValues) {
    writeText(
        "[Gpu1]\r\nId=1180\r\nHorizonValue=1\r\nVerticalValue=2\r\n"
        "[Gpu2]\r\nId=0e22\r\nHorizonValue=3\r\nVerticalValue=4\r\n"
        "[Gpu3]\r\nId=05e2\r\nHorizonValue=5\r\nVerticalValue=6\r\n");
    ASSERT_EQ(apply(), app::kUserSettingsOk);
    EXPECT_EQ(state.horizonValue, 5);
    EXPECT_EQ(state.verticalValue, 6);

    // A section without the values leaves those of the sections before it.
    writeText(
        "[Gpu1]\r\nId=1180\r\nHorizonValue=7\r\nVerticalValue=8\r\n"
        "[Gpu3]\r\nId=05e2\r\nVerticalValue=9\r\n");
    ASSERT_EQ(apply(), app::kUserSettingsOk);
    EXPECT_EQ(state.horizonValue, 7);
    EXPECT_EQ(state.verticalValue, 9);
}

TEST_F(UserSettingsReader, AlarmAndSlot7VoltageAreWrittenToTheirChips) {
    writeText(
        "[Gpu2]\r\nId=0e22\r\nGpu2DVolt=500\r\nGpu3DPerformanceVolt=762\r\n"
        "AlarmTemperature=300\r\n");
    ASSERT_EQ(apply(), app::kUserSettingsOk);
    // 762 mV is code 25 (24.96), the top of the regulator's 0-25; the 2D value came first.
    EXPECT_EQ(chipRegister(kGpu0E22, kPort0, chip::kRegulatorAddressE0, gpu::chip::kSlot7RegCode),
              25);
    EXPECT_EQ(
        chipRegister(kGpu0E22, kPort2, chip::kSlot0AddressPrimary, app::kAlarmTemperatureRegister),
        300 & 0xFF)
        << "the low byte";
    EXPECT_EQ(state.records[kGpu0E22].gpuVoltage2D, 500);
    EXPECT_EQ(state.records[kGpu0E22].alarmTemperature, 300);

    // Out of the regulator's range, or below its lowest voltage: nothing is written.
    writeText("[Gpu2]\r\nId=0e22\r\nGpu3DPerformanceVolt=770\r\nGpu2DVolt=440\r\n");
    rig.sim().clearCounters();
    ASSERT_EQ(apply(), app::kUserSettingsOk);
    for (const QvSimI2cEvent& e : rig.sim().i2cLog()) {
        EXPECT_FALSE(e.write && e.address == chip::kRegulatorAddressE0);
    }
}

TEST_F(UserSettingsReader, AMissingFileFailsAndChangesNothing) {
    EXPECT_EQ(apply(), app::kUserSettingsFileError);
    EXPECT_EQ(calls(0), 0u);
    EXPECT_EQ(state, app::UserSettingsState{});
}

TEST_F(UserSettingsReader, TheApplierServesStartUpAndQuit) {
    app::UserSettingsFile file(clock, path());
    file.state().horizonValue = 21;
    file.state().verticalValue = 22;
    ASSERT_EQ(file.saveOrDelete(*rig.layer, true), app::kUserSettingsOk);
    app::UserSettingsFile next(clock, path());
    app::UserSettingsApplier& applier = next;
    ASSERT_EQ(applier.applySavedSettings(*rig.layer), app::kUserSettingsOk);
    EXPECT_EQ(next.state().horizonValue, 21);
    EXPECT_EQ(next.state().verticalValue, 22);
    ASSERT_EQ(next.saveOrDelete(*rig.layer, false), app::kUserSettingsOk);
    EXPECT_EQ(applier.applySavedSettings(*rig.layer), app::kUserSettingsFileError);
}

TEST(UserSettingsStartUp, SettingsAppliedDuringTheProbeSurviveIt) {
    // The probe drives the slot-1 chip's fan for a moment, then puts back what it found; the
    // file is applied right after initialisation, as start-up does.
    LayerRig rig;
    TempDir files;
    const std::string path = files.file("UserSettings.txt");
    writeBytes(path, utf16File(u"[Gpu3]\r\nId=05e2\r\nFanWorkMode=2\r\nFanSpeed=60\r\n"));
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    FakeClock clock;
    app::UserSettingsState state;
    ASSERT_EQ(app::readAndApplyUserSettings(*rig.layer, clock, state, path), app::kUserSettingsOk);
    rig.layer->waitForProbe();
    int mode = 0;
    int32_t level = 0;
    ASSERT_EQ(rig.layer->fanMode(kGpu05E2, mode), drv::kOk);
    ASSERT_EQ(rig.layer->fanSpeed(kGpu05E2, level, false), drv::kOk);
    EXPECT_EQ(mode, gpu::GpuLayer::kFanModeManual);
    EXPECT_EQ(level, 60);
}

class UserSettingsStepRegulator : public UserSettingsMachine {
protected:
    UserSettingsStepRegulator() : UserSettingsMachine("slot0-slot3") {}
};

TEST_F(UserSettingsStepRegulator, TheStepIsWrittenForBothModesAndPutBack) {
    constexpr uint8_t kGpu = 0;
    ASSERT_EQ(rig.layer->setStepRegulator(kGpu, gpu::kSlotRegulator3, 4), drv::kOk);
    const std::u16string text = app::userSettingsText(*rig.layer, 0, 0);
    EXPECT_NE(text.find(u"Gpu2DVolt=4\r\n"), std::u16string::npos);
    EXPECT_NE(text.find(u"Gpu3DPerformanceVolt=4\r\n"), std::u16string::npos);
    EXPECT_EQ(text.find(u"AlarmTemperature"), std::u16string::npos)
        << "no alarm line beside the slot-3 regulator";

    writeText("[Gpu1]\r\nId=0de0\r\nGpu2DVolt=263\r\nAlarmTemperature=70\r\n");
    ASSERT_EQ(apply(), app::kUserSettingsOk);
    EXPECT_EQ(chipRegister(kGpu, kPort2, chip::kStepRegulatorAddress, chip::kStepRegulatorRegStep),
              7)
        << "the low byte of 263";
    for (const QvSimI2cEvent& e : rig.sim().i2cLog()) {
        EXPECT_FALSE(e.write && e.address == chip::kSlot0AddressPrimary);
    }
}

// Three boards that have every line of the file: all clocks with ranges in every mode, the
// slot-2 regulator, the slot-0 fan chip driving the fan.
std::string fullBoards() {
    std::string text;
    for (int bus = 1; bus <= 3; ++bus) {
        text += "[gpu]\nname = Full Board\ndevice = 0x05E2\nbus = " + std::to_string(bus) +
                "\n"
                "level = 0 flags=0\n"
                "clock = graphics 300000 200000 400000\n"
                "clock = processor 600000 400000 800000\n"
                "clock = memory 500000 300000 700000\n"
                "level = 1 flags=2\n"
                "clock = graphics 400000 300000 500000\n"
                "clock = processor 800000 600000 1000000\n"
                "clock = memory 700000 500000 900000\n"
                "level = 2 flags=4\n"
                "clock = graphics 576000 400000 800000\n"
                "clock = processor 1242000 800000 1700000\n"
                "clock = memory 999000 700000 1300000\n"
                "cooler = none\nfan_control = slot0\ntachometer = no\n"
                "chip = slot0 address=0x5C capability=64\n"
                "chip = slot2 codes=48,52,54,61\n";
    }
    return text;
}

class UserSettingsFullBoards : public UserSettingsMachine {
protected:
    UserSettingsFullBoards() : UserSettingsMachine(fullBoards()) {}

    void SetUp() override {
        UserSettingsMachine::SetUp();
        ASSERT_EQ(rig.layer->gpuCount(), 3);
        learnCodeRegisters(*rig.layer);
        for (uint8_t g = 0; g < 3; ++g) {
            ASSERT_EQ(rig.layer->setFanLevel(g, 2000 + 500 * g), drv::kOk);
        }
    }
    // The slot-2 code registers are learnt from the level each card runs at: the 2D level at
    // load 0, the 3D performance level at full load.
    void learnCodeRegisters(gpu::GpuLayer& layer) {
        for (uint8_t g = 0; g < 3; ++g) {
            for (uint32_t load : {0u, 100u}) {
                ASSERT_EQ(rig.sim().setLoad(g, load), 0);
                uint32_t graphics = 0, processor = 0, memory = 0;
                int kind = 0;
                ASSERT_EQ(layer.currentClocksAndKind(g, graphics, processor, memory, kind),
                          drv::kOk);
            }
        }
    }
};

TEST_F(UserSettingsFullBoards, ALongFileOfThreeFullSectionsRoundTrips) {
    const std::u16string saved = app::userSettingsText(*rig.layer, kHorizon, kVertical);
    EXPECT_GT(saved.size(), 1000u) << "the text has no fixed bound";
    const std::string section =
        "Id=05e2\r\nGpu2DClock=300000\r\nShader2DClock=600000\r\nMemory2DClock=500000\r\n"
        "Gpu2DVolt=1050\r\nGpu3DLowPowerClock=400000\r\nShader3DLowPowerClock=800000\r\n"
        "Memory3DLowPowerClock=700000\r\nGpu3DPerformanceClock=576000\r\n"
        "Shader3DPerformaceClock=1242000\r\nMemory3DPerformanceClock=999000\r\n"
        "Gpu3DPerformanceVolt=1125\r\nFanWorkMode=2\r\nFanSpeed=";
    for (int g = 0; g < 3; ++g) {
        const std::string lines = "[Gpu" + std::to_string(g + 1) + "]\r\n" + section +
                                  std::to_string(2000 + 500 * g) +
                                  "\r\nAlarmTemperature=90\r\nHorizonValue=12\r\n"
                                  "VerticalValue=-3\r\n";
        EXPECT_NE(saved.find(widen(lines)), std::u16string::npos) << lines;
    }
    ASSERT_EQ(app::writeUserSettings(*rig.layer, kHorizon, kVertical, path()),
              app::kUserSettingsOk);

    // Everything changed on every card, then the file is applied.
    for (uint8_t g = 0; g < 3; ++g) {
        setLevel(g, gpu::kLevelKind2D, 350000, 700000, 600000);
        setLevel(g, gpu::kLevelKind3DLow, 450000, 900000, 800000);
        setLevel(g, gpu::kLevelKind3DPerf, 700000, 1500000, 1200000);
        ASSERT_EQ(rig.layer->writeRegulatorCode(g, chip::kSlot2RegCode0, 44), drv::kOk);
        ASSERT_EQ(rig.layer->writeRegulatorCode(g, chip::kSlot2RegCode0 + 2, 70), drv::kOk);
        ASSERT_EQ(rig.layer->setFanAutomatic(g), drv::kOk);
        ASSERT_EQ(rig.sim().setRegister(g, kPort2, chip::kSlot0AddressPrimary,
                                        app::kAlarmTemperatureRegister, 70),
                  0);
    }
    ASSERT_NE(app::userSettingsText(*rig.layer, kHorizon, kVertical), saved);
    ASSERT_EQ(apply(), app::kUserSettingsOk);
    SecondLayer board;
    learnCodeRegisters(*board.layer);
    EXPECT_EQ(app::userSettingsText(*board.layer, kHorizon, kVertical), saved);
    for (const app::UserSettingsRecord& record : state.records) {
        EXPECT_EQ(record.memoryClock2D, 500000);
        EXPECT_EQ(record.gpuVoltage3DPerformance, 1125);
        EXPECT_EQ(record.alarmTemperature, 90);
    }
}

}  // namespace
}  // namespace qv::test
