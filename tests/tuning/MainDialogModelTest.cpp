#include <gtest/gtest.h>

#include <algorithm>

#include "gpu/ChipRegisters.h"
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayerTestSupport.h"
#include "lang/LanguageRows.h"
#include "tuning/MainDialogModel.h"

namespace qv::test {
namespace {

using tuning::ClockSlider;
using tuning::MainDialogModel;
using tuning::Slider;
using tuning::SliderState;
using tuning::StepDirection;

constexpr int k2D = gpu::kLevelKind2D;
constexpr int k3DLow = gpu::kLevelKind3DLow;
constexpr int k3DPerf = gpu::kLevelKind3DPerf;

struct Range {
    int min, max, pos;
    bool enabled;
};

void expectSlider(const SliderState& s, const Range& r, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(s.enabled, r.enabled);
    if (r.enabled) {
        EXPECT_EQ(s.min, r.min);
        EXPECT_EQ(s.max, r.max);
        EXPECT_EQ(s.pos, r.pos);
    }
}

struct Rig {
    explicit Rig(const std::string& config = "") : layerRig(config) {
        EXPECT_EQ(layerRig.layer->initialize(), gpu::kInitOk);
        layerRig.layer->waitForProbe();
        model = std::make_unique<MainDialogModel>(*layerRig.layer);
    }
    gpu::GpuLayer& layer() { return *layerRig.layer; }
    LayerRig layerRig;
    std::unique_ptr<MainDialogModel> model;
};

// ---- Ranges and enabling on the built-in boards ----------------------------------------------

struct BoardCase {
    const char* name;
    int gpu;
    int mode;
    Range gpuClock, shaderClock, memoryClock;
    Range coreVoltage;  // position checked only where the board reports it
    bool memoryVoltage;
    bool fan;
    bool keplerOffsets;
};

const std::vector<BoardCase> kBoardCases = {
    // A family C board's top level reports its core maxima raised by a fifth and its memory
    // maximum by half; on this board the top level's memory minimum is its base.
    {"Kepler3DPerf",
     kGpuKepler,
     k3DPerf,
     {540, 1442, 1006, true},
     {0, 0, 0, false},
     {3004, 5256, 3004, true},
     {825, 1200, 1175, true},
     true,
     true,
     true},
    // This board's 2D mode lives in the second level.
    {"Kepler2D",
     kGpuKepler,
     k2D,
     {324, 705, 540, true},
     {0, 0, 0, false},
     {810, 1620, 1620, true},
     {825, 1200, 1000, true},
     true,
     true,
     true},
    {"Gtx460In3DPerf",
     kGpu0E22,
     k3DPerf,
     {405, 1215, 675, true},
     {810, 2430, 1350, true},
     {900, 3600, 1800, true},
     {0, 25, 0, true},
     true,
     true,
     false},
    // The 2D level's memory clock has no range: that slider is off.
    {"Gtx460In2D",
     kGpu0E22,
     k2D,
     {50, 405, 50, true},
     {101, 810, 101, true},
     {0, 0, 0, false},
     {0, 25, 0, true},
     true,
     true,
     false},
    {"Gtx260In3DPerf",
     kGpu05E2,
     k3DPerf,
     {300, 800, 576, true},
     {600, 1700, 1242, true},
     {500, 1300, 999, true},
     {44, 76, 60, true},
     false,
     true,
     false},
    {"Gtx260In3DLowHasNoVoltage",
     kGpu05E2,
     k3DLow,
     {200, 576, 400, true},
     {400, 1242, 800, true},
     {100, 999, 300, true},
     {0, 0, 0, false},
     false,
     true,
     false},
};

class MainDialogModelBoards : public ::testing::TestWithParam<BoardCase> {};

TEST_P(MainDialogModelBoards, ControlsFollowTheBoard) {
    const BoardCase& c = GetParam();
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(c.gpu, true), drv::kOk);
    ASSERT_EQ(m.selectMode(c.mode, false, false), drv::kOk);
    const auto& ctl = m.controls();
    expectSlider(ctl.gpuClock, c.gpuClock, "gpu clock");
    expectSlider(ctl.shaderClock, c.shaderClock, "shader clock");
    expectSlider(ctl.memoryClock, c.memoryClock, "memory clock");
    EXPECT_EQ(ctl.coreVoltage.enabled, c.coreVoltage.enabled);
    if (c.coreVoltage.enabled || c.coreVoltage.max != 0) {
        EXPECT_EQ(ctl.coreVoltage.min, c.coreVoltage.min);
        EXPECT_EQ(ctl.coreVoltage.max, c.coreVoltage.max);
    }
    if (m.voltageControl(static_cast<uint8_t>(c.gpu)) == tuning::VoltageControl::kDriverTable) {
        EXPECT_EQ(ctl.coreVoltage.pos, c.coreVoltage.pos);  // the table's entry for the mode
    }
    EXPECT_EQ(ctl.memoryVoltage.enabled, c.memoryVoltage);
    EXPECT_EQ(ctl.fanSpeed.enabled, c.fan);
    EXPECT_EQ(ctl.fanMode.enabled, c.fan);
    EXPECT_EQ(ctl.gpuOffset.visible, c.keplerOffsets);
    EXPECT_EQ(ctl.gpuOffset.enabled, c.keplerOffsets);
    EXPECT_EQ(ctl.memoryOffset.enabled, c.keplerOffsets);
    EXPECT_EQ(m.pressedMode(), c.mode);
    EXPECT_TRUE(ctl.synchronous.enabled);
}

INSTANTIATE_TEST_SUITE_P(Cases, MainDialogModelBoards, ::testing::ValuesIn(kBoardCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(MainDialogModel, Slot2VoltageShowsTheCodeOfTheModesRegister) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpu05E2, true), drv::kOk);
    ASSERT_EQ(m.selectMode(k2D, false, false), drv::kOk);
    uint8_t code = 0;
    const int kindIndex = 0;  // kind 1
    ASSERT_EQ(rig.layer().voltageRegisterForKind(kGpu05E2, k2D), drv::kOk);
    ASSERT_EQ(rig.layer().readRegulatorCode(
                  kGpu05E2, rig.layer().record(kGpu05E2).regulatorCodeRegister[kindIndex], code),
              drv::kOk);
    EXPECT_EQ(m.controls().coreVoltage.pos, code);
    EXPECT_EQ(m.entry(kGpu05E2).voltageRangeMinMv,
              static_cast<int>(gpu::GpuLayer::regulatorCodeToMillivolts(44)));
    EXPECT_EQ(m.entry(kGpu05E2).voltageRangeMaxMv,
              static_cast<int>(gpu::GpuLayer::regulatorCodeToMillivolts(76)));
}

TEST(MainDialogModel, PresetBoardsFanAndStepRange) {
    {
        Rig rig(presetPath("no-cooler"));
        ASSERT_EQ(rig.model->selectGpu(0, true), drv::kOk);
        EXPECT_FALSE(rig.model->controls().fanSpeed.enabled);
        EXPECT_FALSE(rig.model->controls().fanMode.enabled);
        // One GPU: synchronous adjustment cannot be switched on.
        EXPECT_FALSE(rig.model->controls().synchronous.enabled);
        EXPECT_FALSE(rig.model->setSynchronous(true));
        EXPECT_FALSE(rig.model->synchronous());
    }
    {
        Rig rig(presetPath("slot0-slot3"));
        ASSERT_EQ(rig.model->selectGpu(0, true), drv::kOk);
        const SliderState& v = rig.model->controls().coreVoltage;
        EXPECT_TRUE(v.enabled);
        EXPECT_EQ(v.min, 0);
        EXPECT_EQ(v.max, static_cast<int>(gpu::chip::kNarrowStepHigh));
    }
}

TEST(MainDialogModel, VoltageFromTheCardOrTheEntry) {
    // Slot-3 step regulator: the step the card holds, or the step stored in the entry.
    {
        Rig rig(presetPath("slot0-slot3"));
        auto& m = *rig.model;
        ASSERT_EQ(rig.layer().setStepRegulator(0, gpu::kSlotRegulator3, 2), drv::kOk);
        ASSERT_EQ(m.selectGpu(0, true), drv::kOk);
        EXPECT_EQ(m.controls().coreVoltage.pos, 2);
        m.moveSlider(Slider::kCoreVoltage, 1);
        ASSERT_EQ(m.selectGpu(0, false), drv::kOk);
        EXPECT_EQ(m.entry(0).voltageSetting[0], 1);
        EXPECT_EQ(m.controls().coreVoltage.pos, 1);
        ASSERT_EQ(m.selectGpu(0, true), drv::kOk);
        EXPECT_EQ(m.controls().coreVoltage.pos, 2);
    }
    // Slot-7 regulator: the code the card holds, or the mode's setting in the entry.
    {
        Rig rig;
        auto& m = *rig.model;
        ASSERT_EQ(
            rig.layer().writeRegister(kGpu0E22, gpu::kSlotRegulator7, gpu::chip::kSlot7RegCode, 9),
            drv::kOk);
        ASSERT_EQ(m.selectGpu(kGpu0E22, true), drv::kOk);
        ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);
        EXPECT_EQ(m.controls().coreVoltage.pos, 9);
        m.moveSlider(Slider::kCoreVoltage, 12);
        ASSERT_EQ(m.selectGpu(kGpu05E2, false), drv::kOk);
        ASSERT_EQ(m.selectGpu(kGpu0E22, false), drv::kOk);
        EXPECT_EQ(m.entry(kGpu0E22).voltageSetting[k3DPerf], 12);
        EXPECT_EQ(m.controls().coreVoltage.pos, 12);
    }
}

TEST(MainDialogModel, DriverTableMaximaByDevice) {
    const std::vector<std::pair<uint32_t, int>> cases = {
        {0x06C0, 1125}, {0x0DC4, 1200}, {0x1080, 1350}, {0x1081, 1350},
        {0x1200, 1300}, {0x1201, 1300}, {0x1244, 1300}, {0x0DE0, 1300},
        {0x0DE1, 1300}, {0x1180, 1200}, {0x0000, 1200}};
    for (const auto& [device, mv] : cases) {
        EXPECT_EQ(tuning::driverTableMaxMillivolts(device), mv) << std::hex << device;
    }
}

TEST(MainDialogModel, BadSelectionsChangeNothing) {
    Rig rig;
    auto& m = *rig.model;
    EXPECT_EQ(m.selectMode(k2D, false, false), drv::kInvalidArgument);  // no GPU on show yet
    EXPECT_EQ(m.selectGpu(3, true), drv::kInvalidArgument);
    EXPECT_EQ(m.selectGpu(-1, true), drv::kInvalidArgument);
    EXPECT_EQ(m.gpuOnShow(), tuning::kNoGpu);
    ASSERT_EQ(m.selectGpu(kGpu05E2, true), drv::kOk);
    const int mode = m.entry(kGpu05E2).selectedMode;
    EXPECT_EQ(m.selectMode(4, false, false), drv::kInvalidArgument);
    EXPECT_EQ(m.selectMode(0, false, false), drv::kInvalidArgument);
    EXPECT_EQ(m.entry(kGpu05E2).selectedMode, mode);
}

// ---- Link rule -------------------------------------------------------------------------------

// Two kinds: 2D with the shader base `shader2DBase` over a 300 MHz GPU clock, 3D performance
// with the shader at twice the GPU clock.
std::string linkConfig(uint32_t shader2DBase) {
    return "[gpu]\nname = Linked\ndevice = 0x05E0\n"
           "level = 0 flags=0\n"
           "clock = graphics 300000 100000 700000\n"
           "clock = processor " +
           std::to_string(shader2DBase) +
           " 0 2000000\n"
           "clock = memory 500000 100000 900000\n"
           "level = 1 flags=4\n"
           "clock = graphics 600000 100000 1000000\n"
           "clock = processor 1200000 100000 2500000\n"
           "clock = memory 900000 100000 1200000\n";
}

struct LinkCase {
    const char* name;
    uint32_t shader2DBase;  // the 2D ratio is this over 300 000
    int mode;
    bool linked;
    ClockSlider moved;
    int pos;
    int expectGpu, expectShader;
    // The layer holds no ratio for the mode, as when its level could not be read at start-up.
    bool ratioUnknown = false;
};

const std::vector<LinkCase> kLinkCases = {
    {"GpuPullsShaderByTwo", 600000, k3DPerf, true, ClockSlider::kGpu, 751, 751, 1502},
    {"ShaderPullsGpuTruncated", 600000, k3DPerf, true, ClockSlider::kShader, 1503, 751, 1503},
    {"PressedModeGivesTheRatio", 900000, k2D, true, ClockSlider::kGpu, 401, 401, 1203},
    {"PressedModeGivesTheRatioShaderSide", 900000, k2D, true, ClockSlider::kShader, 1000, 333,
     1000},
    {"UnlinkedLeavesPartner", 600000, k3DPerf, false, ClockSlider::kGpu, 751, 751, 1200},
    {"PartnerStopsAtItsMaximum", 600000, k3DPerf, true, ClockSlider::kGpu, 1000, 1000, 2000},
    {"UnknownRatioCountsAsOne", 600000, k3DPerf, true, ClockSlider::kGpu, 555, 555, 555, true},
    {"UnknownRatioShaderSide", 600000, k3DPerf, true, ClockSlider::kShader, 444, 444, 444, true},
    {"MemoryMovesNothing", 600000, k3DPerf, true, ClockSlider::kMemory, 1000, 600, 1200},
};

class MainDialogModelLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(MainDialogModelLink, PartnerFollowsByTheBoostRatio) {
    const LinkCase& c = GetParam();
    TempDir dir;
    Rig rig(writeConfig(dir, "link.conf", linkConfig(c.shader2DBase)));
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(0, true), drv::kOk);
    ASSERT_EQ(m.selectMode(c.mode, false, false), drv::kOk);
    if (c.ratioUnknown) {
        rig.layer().record(0).boostRatio[static_cast<size_t>(gpu::levelKindIndex(c.mode))] = 0.0f;
    }
    m.setLinked(c.linked);
    m.moveSlider(c.moved, c.pos);
    EXPECT_EQ(m.controls().gpuClock.pos, c.expectGpu);
    EXPECT_EQ(m.controls().shaderClock.pos, c.expectShader);
}

INSTANTIATE_TEST_SUITE_P(Cases, MainDialogModelLink, ::testing::ValuesIn(kLinkCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(MainDialogModel, SliderOfAnUnadjustedDomainStaysEmpty) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);  // graphics and memory clocks only
    ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);
    m.moveSlider(ClockSlider::kGpu, 1100);
    m.moveSlider(ClockSlider::kShader, 900);
    EXPECT_EQ(m.controls().gpuClock.pos, 1100);
    EXPECT_EQ(m.controls().shaderClock.pos, 0);
    EXPECT_FALSE(m.controls().shaderClock.enabled);
    ASSERT_EQ(m.selectMode(k2D, false, true), drv::kOk);
    EXPECT_EQ(m.entry(kGpuKepler).gpuTargetKHz[k3DPerf], 1100000);
    EXPECT_EQ(m.entry(kGpuKepler).shaderTargetKHz[k3DPerf], 0);
}

// ---- Step buttons ----------------------------------------------------------------------------

struct StepCase {
    const char* name;
    bool linked;
    ClockSlider slider;
    StepDirection direction;
    size_t size;
    int gpuDelta, shaderDelta, memoryDelta;
};

const std::vector<StepCase> kStepCases = {
    {"Gpu1PullsShader2", true, ClockSlider::kGpu, StepDirection::kUp, 0, 1, 2, 0},
    {"Gpu10PullsShader20", true, ClockSlider::kGpu, StepDirection::kDown, 1, -10, -20, 0},
    {"Gpu20PullsShader40", true, ClockSlider::kGpu, StepDirection::kUp, 2, 20, 40, 0},
    {"Shader2PullsGpu1", true, ClockSlider::kShader, StepDirection::kDown, 0, -1, -2, 0},
    {"Shader10PullsGpu5", true, ClockSlider::kShader, StepDirection::kUp, 1, 5, 10, 0},
    {"Shader20PullsGpu10", true, ClockSlider::kShader, StepDirection::kUp, 2, 10, 20, 0},
    {"Memory20Alone", true, ClockSlider::kMemory, StepDirection::kDown, 2, 0, 0, -20},
    {"UnlinkedGpuAlone", false, ClockSlider::kGpu, StepDirection::kUp, 1, 10, 0, 0},
    {"UnlinkedShaderAlone", false, ClockSlider::kShader, StepDirection::kDown, 2, 0, -20, 0},
    {"SizeOutOfRangeDoesNothing", true, ClockSlider::kGpu, StepDirection::kUp, 3, 0, 0, 0},
};

class MainDialogModelSteps : public ::testing::TestWithParam<StepCase> {};

TEST_P(MainDialogModelSteps, SliderAndPartnerMove) {
    const StepCase& c = GetParam();
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpu05E2, false), drv::kOk);
    ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);  // 576 / 1242 / 999 MHz
    m.setLinked(c.linked);
    const auto before = m.controls();
    m.step(c.slider, c.direction, c.size);
    EXPECT_EQ(m.controls().gpuClock.pos - before.gpuClock.pos, c.gpuDelta);
    EXPECT_EQ(m.controls().shaderClock.pos - before.shaderClock.pos, c.shaderDelta);
    EXPECT_EQ(m.controls().memoryClock.pos - before.memoryClock.pos, c.memoryDelta);
}

INSTANTIATE_TEST_SUITE_P(Cases, MainDialogModelSteps, ::testing::ValuesIn(kStepCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(MainDialogModel, StepsStopAtTheSliderEnds) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpu05E2, false), drv::kOk);
    ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);
    m.moveSlider(ClockSlider::kMemory, 1295);
    m.step(ClockSlider::kMemory, StepDirection::kUp, 2);
    EXPECT_EQ(m.controls().memoryClock.pos, 1300);
}

TEST(MainDialogModel, KeplerStepsMoveOffsetsAndFrameRate) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);
    const auto before = m.controls();
    m.step(ClockSlider::kGpu, StepDirection::kUp, 1);
    m.step(ClockSlider::kMemory, StepDirection::kDown, 2);
    // The frame-rate slider moves only while its toggle is on.
    m.step(ClockSlider::kShader, StepDirection::kUp, 2);
    EXPECT_EQ(m.controls().frameRate.pos, before.frameRate.pos);
    m.setFrameRateTarget(true);
    m.step(ClockSlider::kShader, StepDirection::kUp, 2);
    const auto& after = m.controls();
    EXPECT_EQ(after.gpuOffset.pos, before.gpuOffset.pos + 10);
    EXPECT_EQ(after.memoryOffset.pos, before.memoryOffset.pos - 20);
    EXPECT_EQ(after.frameRate.pos, tuning::kFrameRateMin + 20);
    EXPECT_EQ(after.gpuClock.pos, before.gpuClock.pos);
    EXPECT_EQ(after.shaderClock.pos, before.shaderClock.pos);
    EXPECT_EQ(after.memoryClock.pos, before.memoryClock.pos);
    EXPECT_EQ(after.memoryOffset.min, tuning::kMemoryOffsetMinMHz);
    EXPECT_EQ(after.memoryOffset.max, tuning::kMemoryOffsetMaxMHz);
}

// ---- Unlocking the limits --------------------------------------------------------------------

TEST(MainDialogModel, UnlockWidensAndRelockRestores) {
    TempDir dir;
    // GPU maximum 700 MHz, shader 1401 MHz (x1.5 = 2101.5, truncated), memory 900 MHz.
    Rig rig(writeConfig(dir, "unlock.conf",
                        "[gpu]\nname = Unlock\ndevice = 0x05E0\nlevel = 0 flags=4\n"
                        "clock = graphics 500000 200000 700000\n"
                        "clock = processor 1000000 400000 1401000\n"
                        "clock = memory 800000 300000 900000\n"));
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(0, true), drv::kOk);
    const auto& ctl = m.controls();
    EXPECT_EQ(ctl.unlockMax.captionRow, lang::kTextUnlockMax);
    EXPECT_EQ(ctl.unlockMin.captionRow, lang::kTextUnlockMin);

    m.moveSlider(ClockSlider::kGpu, 650);  // not applied: the position returns to the clock
    m.toggleUnlockMax();
    EXPECT_TRUE(m.unlockMaximum());
    EXPECT_STREQ(ctl.unlockMax.fixedCaption, tuning::kRelockMaxCaption);
    EXPECT_EQ(ctl.gpuClock.max, 1050);
    EXPECT_EQ(ctl.shaderClock.max, 2101);
    EXPECT_EQ(ctl.memoryClock.max, 1350);
    EXPECT_EQ(ctl.gpuClock.min, 200);
    EXPECT_EQ(ctl.gpuClock.pos, 500);

    m.toggleUnlockMin();
    EXPECT_STREQ(ctl.unlockMin.fixedCaption, tuning::kRelockMinCaption);
    EXPECT_EQ(ctl.gpuClock.min, 0);
    EXPECT_EQ(ctl.shaderClock.min, 0);
    EXPECT_EQ(ctl.memoryClock.min, 0);
    EXPECT_EQ(ctl.gpuClock.max, 1050);

    m.toggleUnlockMax();
    m.toggleUnlockMin();
    EXPECT_EQ(ctl.unlockMax.captionRow, lang::kTextUnlockMax);
    EXPECT_EQ(ctl.unlockMax.fixedCaption, nullptr);
    EXPECT_EQ(ctl.unlockMin.captionRow, lang::kTextUnlockMin);
    EXPECT_EQ(ctl.gpuClock.min, 200);
    EXPECT_EQ(ctl.gpuClock.max, 700);
    EXPECT_EQ(ctl.shaderClock.max, 1401);
    EXPECT_EQ(ctl.gpuClock.pos, 500);
}

// ---- Storing, restoring and refreshing targets -----------------------------------------------

TEST(MainDialogModel, ModeAndGpuChangesStoreTheSliders) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpu05E2, true), drv::kOk);
    ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);
    m.setLinked(false);
    m.moveSlider(ClockSlider::kGpu, 700);
    m.moveSlider(ClockSlider::kMemory, 1100);
    m.moveSlider(ClockSlider::kShader, 1300);

    // Without the store flag the moved sliders are dropped.
    ASSERT_EQ(m.selectMode(k2D, false, false), drv::kOk);
    EXPECT_EQ(m.entry(kGpu05E2).gpuTargetKHz[k3DPerf], 0);
    ASSERT_EQ(m.selectMode(k3DPerf, false, false), drv::kOk);
    m.moveSlider(ClockSlider::kGpu, 700);
    m.moveSlider(ClockSlider::kShader, 1300);
    m.moveSlider(ClockSlider::kMemory, 1100);
    ASSERT_EQ(m.selectMode(k2D, false, true), drv::kOk);
    const tuning::GpuUiEntry& e = m.entry(kGpu05E2);
    EXPECT_EQ(e.gpuTargetKHz[k3DPerf], 700000);
    EXPECT_EQ(e.shaderTargetKHz[k3DPerf], 1300000);
    EXPECT_EQ(e.memoryTargetKHz[k3DPerf], 1100000);
    EXPECT_EQ(e.selectedMode, k2D);
    EXPECT_TRUE(m.controls().mode2D.pressed);
    EXPECT_FALSE(m.controls().mode3DPerf.pressed);

    // Leaving the GPU stores its 2D sliders and link flag; coming back restores mode and link.
    m.moveSlider(ClockSlider::kGpu, 300);
    m.setFanAutomatic(false);
    ASSERT_EQ(m.selectGpu(kGpu0E22, false), drv::kOk);
    EXPECT_EQ(e.gpuTargetKHz[k2D], 300000);
    EXPECT_EQ(e.linked, 0);
    EXPECT_EQ(e.fanAutomatic, 0);
    EXPECT_TRUE(m.controls().link.pressed);  // the other GPU is still linked
    EXPECT_EQ(m.controls().link.captionRow, lang::kTextLinked);
    ASSERT_EQ(m.selectGpu(kGpu05E2, false), drv::kOk);
    EXPECT_EQ(m.pressedMode(), k2D);
    EXPECT_FALSE(m.controls().link.pressed);
    EXPECT_EQ(m.controls().link.captionRow, lang::kTextUnlinked);
    EXPECT_EQ(m.controls().fanMode.captionRow, lang::kTextFanManual);
}

TEST(MainDialogModel, RefreshReadsTheClocksTheCardsNowHave) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpu0E22, true), drv::kOk);
    gpu::PerfClockRequest request;
    ASSERT_EQ(rig.layer().readLevelClocks(kGpu0E22, request, k3DPerf), drv::kOk);
    request.graphicsCurrent = 702000;
    request.processorCurrent = 1404000;
    request.memoryCurrent = 1900000;
    ASSERT_EQ(rig.layer().writeLevelClocks(kGpu0E22, request, k3DPerf, 0), drv::kOk);
    ASSERT_EQ(rig.layer().readLevelClocks(kGpu0E22, request, k3DPerf), drv::kOk);
    ASSERT_EQ(request.graphicsCurrent, 702000u);

    ASSERT_EQ(m.selectMode(k3DPerf, true, false), drv::kOk);
    const tuning::GpuUiEntry& e = m.entry(kGpu0E22);
    EXPECT_EQ(e.gpuTargetKHz[k3DPerf], 702000);
    EXPECT_EQ(e.shaderTargetKHz[k3DPerf], static_cast<int32_t>(request.processorCurrent));
    EXPECT_EQ(e.memoryTargetKHz[k3DPerf], static_cast<int32_t>(request.memoryCurrent));
    EXPECT_EQ(m.controls().gpuClock.pos, 702);
    // Every GPU's targets were read, the slot-2 board's voltage codes with them.
    const tuning::GpuUiEntry& other = m.entry(kGpu05E2);
    EXPECT_EQ(other.gpuTargetKHz[k3DPerf], 576000);
    EXPECT_EQ(other.memoryTargetKHz[k3DLow], 300000);
    EXPECT_GE(other.voltageSetting[k2D], 44);
    EXPECT_LE(other.voltageSetting[k3DPerf], 76);
    EXPECT_NE(other.selectedMode, tuning::kNoMode);
}

TEST(MainDialogModel, FanSliderFromTheCardOrTheEntry) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(rig.layer().setFanLevel(kGpu05E2, 66), drv::kOk);
    ASSERT_EQ(m.selectGpu(kGpu05E2, true), drv::kOk);
    int32_t level = -1;
    ASSERT_EQ(rig.layer().fanSpeed(kGpu05E2, level, false), drv::kOk);
    EXPECT_EQ(m.controls().fanSpeed.pos, level);

    m.moveSlider(Slider::kFan, 77);
    ASSERT_EQ(m.selectGpu(kGpu0E22, false), drv::kOk);
    EXPECT_EQ(m.entry(kGpu05E2).fanSetting, 77);
    ASSERT_EQ(m.selectGpu(kGpu05E2, false), drv::kOk);
    EXPECT_EQ(m.controls().fanSpeed.pos, 77);
    ASSERT_EQ(m.selectGpu(kGpu05E2, true), drv::kOk);
    EXPECT_EQ(m.controls().fanSpeed.pos, level);
}

TEST(MainDialogModel, LoadedFromTheCardTheFanRowShowsWhatTheCardDoes) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);
    ASSERT_TRUE(m.controls().fanMode.pressed) << "the card starts automatic";
    // Saved settings or a profile put the card to manual 57 % behind the window's back.
    ASSERT_EQ(rig.layer().setFanLevel(kGpuKepler, 57), drv::kOk);
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);
    EXPECT_FALSE(m.controls().fanMode.pressed);
    EXPECT_EQ(m.controls().fanMode.captionRow, lang::kTextFanManual);
    EXPECT_EQ(m.controls().fanSpeed.pos, 57);
    EXPECT_EQ(m.entry(kGpuKepler).fanAutomatic, 0);

    // And back: automatic on the card shows as automatic.
    ASSERT_EQ(rig.layer().setFanAutomatic(kGpuKepler), drv::kOk);
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);
    EXPECT_TRUE(m.controls().fanMode.pressed);
    EXPECT_EQ(m.controls().fanMode.captionRow, lang::kTextFanAuto);
}

TEST(MainDialogModel, FanRangeIsTheCoolersRange) {
    Rig rig;
    // Levels in percent on the driver coolers; rpm on the slot-0 fan chip.
    const std::vector<std::pair<int, std::pair<int, int>>> cases = {
        {kGpuKepler, {30, 100}}, {kGpu0E22, {1530, 3000}}, {kGpu05E2, {40, 100}}};
    for (const auto& [gpuIndex, range] : cases) {
        ASSERT_EQ(rig.model->selectGpu(gpuIndex, true), drv::kOk);
        EXPECT_EQ(rig.model->controls().fanSpeed.min, range.first) << gpuIndex;
        EXPECT_EQ(rig.model->controls().fanSpeed.max, range.second) << gpuIndex;
    }
    int32_t rpm = -1;
    ASSERT_EQ(rig.layer().fanSpeed(kGpu0E22, rpm, true), drv::kOk);
    ASSERT_EQ(rig.model->selectGpu(kGpu0E22, true), drv::kOk);
    // The simulated fan keeps turning between the two reads.
    constexpr int kRpmDrift = 50;
    EXPECT_NEAR(rig.model->controls().fanSpeed.pos, std::clamp(rpm, 1530, 3000), kRpmDrift);
}

TEST(MainDialogModel, StoreWithRefreshReadsEveryFan) {
    Rig rig;
    auto& m = *rig.model;
    ASSERT_EQ(m.selectGpu(kGpuKepler, true), drv::kOk);
    ASSERT_EQ(rig.layer().setFanLevel(kGpu05E2, 72), drv::kOk);
    int32_t level = -1;
    ASSERT_EQ(rig.layer().fanSpeed(kGpu05E2, level, false), drv::kOk);
    EXPECT_EQ(m.entry(kGpu05E2).fanSetting, -1);
    m.storeSettingsOfGpuOnShow(true);
    EXPECT_EQ(m.entry(kGpu05E2).fanSetting, level);
    EXPECT_EQ(m.entry(kGpu05E2).fanAutomatic, 0);
    // The GPU on show takes its fan choice from the controls.
    EXPECT_EQ(m.entry(kGpuKepler).fanAutomatic, 1);
}

}  // namespace
}  // namespace qv::test
