#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayerTestSupport.h"
#include "tuning/InfoReadouts.h"
#include "tuning/MainDialogModel.h"

namespace qv::test {
namespace {

using tuning::InfoField;
using tuning::InfoReadouts;
using tuning::MainDialogModel;

// A machine with the model showing one GPU, time standing still and the load where a test
// wants it.
struct Rig {
    explicit Rig(const std::string& config = "") : layerRig(config) {
        layerRig.loadDriver();
        sim().freezeTime(1);
        EXPECT_EQ(layer().initialize(), gpu::kInitOk);
        layer().waitForProbe();
        model = std::make_unique<MainDialogModel>(layer());
        readouts = std::make_unique<InfoReadouts>(layer(), *model);
    }
    gpu::GpuLayer& layer() { return *layerRig.layer; }
    const SimControl& sim() const { return layerRig.sim(); }
    void show(int gpu, uint32_t load) {
        ASSERT_EQ(sim().setLoad(static_cast<uint32_t>(gpu), load), drv::kOk);
        ASSERT_EQ(model->selectGpu(gpu, true), drv::kOk);
    }
    std::string text(uint32_t id) const {
        const InfoField* f = readouts->field(id);
        return f != nullptr ? f->text : "<no field>";
    }

    LayerRig layerRig;
    std::unique_ptr<MainDialogModel> model;
    std::unique_ptr<InfoReadouts> readouts;
};

// ---- Pure rules -----------------------------------------------------------------------------

TEST(InfoReadoutRules, MemoryUseText) {
    struct Case {
        uint32_t dedicatedKiB, availableKiB;
        const char* text;
    };
    const Case cases[] = {
        {2048 * 1024, 1536 * 1024, "512M/25%"},
        // No dedicated memory (a failed read): no division by zero.
        {0, 0, "  0M/0%"},
        // A driver reporting more available than dedicated has nothing in use, not 4 GiB.
        {1024 * 1024, 1024 * 1024 + 4096, "  0M/0%"},
        // The largest sizes do not overflow the percentage.
        {0xFFFFFC00u, 0, "4194303M/100%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tuning::memoryUseText(c.dedicatedKiB, c.availableKiB), c.text)
            << c.dedicatedKiB << " / " << c.availableKiB;
    }
}

TEST(InfoReadoutRules, ModePictureAndMemoryTypeName) {
    using tuning::modePictureForKind;
    EXPECT_EQ(modePictureForKind(gpu::kLevelKind3DPerf, false), tuning::kModePictureThreeBars);
    EXPECT_EQ(modePictureForKind(gpu::kLevelKind3DPerf, true), tuning::kModePictureThreeBars);
    EXPECT_EQ(modePictureForKind(gpu::kLevelKind2D, false), tuning::kModePictureOneBar);
    EXPECT_EQ(modePictureForKind(gpu::kLevelKind2D, true), tuning::kModePictureTwoBars);
    EXPECT_EQ(modePictureForKind(gpu::kLevelKind3DLow, false), tuning::kModePictureTwoBars);
    EXPECT_EQ(modePictureForKind(gpu::kLevelKind3DLow, true), tuning::kModePictureOneBar);
    EXPECT_EQ(modePictureForKind(gpu::kLevelKindFour, true), 0);
    EXPECT_STREQ(tuning::memoryTypeName(9), "LPDDR2");
    EXPECT_STREQ(tuning::memoryTypeName(10), "UNKNOWN");
}

// ---- The table --------------------------------------------------------------------------------

TEST(InfoReadoutTable, TwentyNineDistinctFieldsWithoutTheSpareSliderValue) {
    Rig rig;
    std::set<uint32_t> ids;
    for (const InfoField& f : rig.readouts->fields()) {
        ids.insert(f.id);
    }
    EXPECT_EQ(ids.size(), tuning::kInfoFieldCount);
    EXPECT_EQ(rig.readouts->fields().front().id, tuning::kInfoNone);
    EXPECT_EQ(rig.readouts->field(tuning::kInfoReserved150), nullptr);
}

// ---- Read-outs from the cards ----------------------------------------------------------------

TEST(InfoReadouts, KeplerBoardAtFullLoad) {
    Rig rig;
    rig.show(kGpuKepler, 100);
    rig.readouts->update(tuning::kInfoAllFields, false);

    EXPECT_EQ(rig.text(tuning::kInfoNone), "");
    EXPECT_EQ(rig.text(tuning::kInfoCudaCores), "1536 SP");
    EXPECT_EQ(rig.text(tuning::kInfoMemorySize), "2048 MB");
    EXPECT_EQ(rig.text(tuning::kInfoBusWidth), "256 Bit");
    EXPECT_EQ(rig.text(tuning::kInfoMemoryType), "GDDR5");
    // The top level runs: the driver's current frequencies; this board has no shader clock.
    EXPECT_EQ(rig.text(tuning::kInfoCurrentGpuClock), "1006MHz");
    EXPECT_EQ(rig.text(tuning::kInfoCurrentShaderClock), "   0MHz");
    EXPECT_EQ(rig.text(tuning::kInfoCurrentMemoryClock), "3004MHz");
    EXPECT_EQ(rig.text(tuning::kInfoGpuLoad), "100 %");
    EXPECT_EQ(rig.text(tuning::kInfoMemoryControllerLoad), "     60 %");
    // 64 MiB plus half the memory at full load.
    EXPECT_EQ(rig.text(tuning::kInfoMemoryUse), "1088M/53%");
    EXPECT_EQ(rig.readouts->modePicture(), tuning::kModePictureThreeBars);

    // Idle: 22 W of the board's 195 W is 11.282 % of its limit; 64 MiB in use.
    ASSERT_EQ(rig.sim().setLoad(kGpuKepler, 0), drv::kOk);
    rig.readouts->update(tuning::kInfoAllFields, false);
    EXPECT_EQ(rig.text(tuning::kInfoBoardPower), "11.28 %");
    EXPECT_EQ(rig.text(tuning::kInfoGpuLoad), "  0 %");
    EXPECT_EQ(rig.text(tuning::kInfoMemoryUse), " 64M/3%");
}

TEST(InfoReadouts, ClockTableBoardShowsTheLevelsItRunsAndThePerformanceLevel) {
    Rig rig;
    rig.show(kGpu0E22, 0);
    rig.readouts->update(tuning::kInfoAllFields, false);
    // The 2D level runs now; the 3D performance level is read on its own.
    EXPECT_EQ(rig.text(tuning::kInfoCurrentGpuClock), "  50MHz");
    EXPECT_EQ(rig.text(tuning::kInfoCurrentShaderClock), " 101MHz");
    EXPECT_EQ(rig.text(tuning::kInfoCurrentMemoryClock), "  67MHz");
    EXPECT_EQ(rig.text(tuning::kInfoPerfGpuClock), " 675MHz");
    EXPECT_EQ(rig.text(tuning::kInfoPerfShaderClock), "1350MHz");
    EXPECT_EQ(rig.text(tuning::kInfoPerfMemoryClock), "1800MHz");
    EXPECT_EQ(rig.text(tuning::kInfoBaseGpuClock), " 675MHz");
    EXPECT_EQ(rig.text(tuning::kInfoBaseShaderClock), "1350MHz");
    EXPECT_EQ(rig.text(tuning::kInfoBaseMemoryClock), "1800MHz");
    // This board answers no power topology: 0.
    EXPECT_EQ(rig.text(tuning::kInfoBoardPower), " 0.00 %");
    EXPECT_EQ(rig.readouts->modePicture(), tuning::kModePictureOneBar);

    // A write to the performance level shows as its current value; the base stays.
    gpu::PerfClockRequest request;
    ASSERT_EQ(rig.layer().readLevelClocks(kGpu0E22, request, gpu::kLevelKind3DPerf), drv::kOk);
    request.graphicsCurrent = 700000;
    request.processorCurrent = 1400000;
    request.memoryCurrent = 1900000;
    ASSERT_EQ(rig.layer().writeLevelClocks(kGpu0E22, request, gpu::kLevelKind3DPerf, 1), drv::kOk);
    rig.readouts->update(tuning::kInfoAllFields, false);
    EXPECT_EQ(rig.text(tuning::kInfoPerfGpuClock), " 700MHz");
    EXPECT_EQ(rig.text(tuning::kInfoPerfShaderClock), "1400MHz");
    EXPECT_EQ(rig.text(tuning::kInfoPerfMemoryClock), "1900MHz");
    EXPECT_EQ(rig.text(tuning::kInfoBaseGpuClock), " 675MHz");
}

// Which source the current clocks come from: a failing driver frequency query empties them on a
// Kepler-class board only.
TEST(InfoReadouts, CurrentClocksComeFromTheDriverOnKeplerBoardsOnly) {
    for (const int gpu : {kGpuKepler, kGpu0E22}) {
        SCOPED_TRACE(gpu);
        Rig rig;
        rig.show(gpu, 100);
        ASSERT_EQ(rig.sim().injectStatus(drv::kGpuGetAllClockFrequencies, drv::kError, -1),
                  drv::kOk);
        rig.readouts->update(tuning::kInfoAllFields, false);
        if (gpu == kGpuKepler) {
            EXPECT_EQ(rig.text(tuning::kInfoCurrentGpuClock), "   0MHz");
            EXPECT_EQ(rig.text(tuning::kInfoCurrentMemoryClock), "   0MHz");
        } else {
            EXPECT_EQ(rig.text(tuning::kInfoCurrentGpuClock), " 675MHz");
            EXPECT_EQ(rig.text(tuning::kInfoCurrentMemoryClock), "1800MHz");
        }
    }
}

TEST(InfoReadouts, EveryFailedReadShowsZero) {
    Rig rig;
    rig.show(kGpuKepler, 100);
    rig.readouts->update(tuning::kInfoAllFields, false);
    ASSERT_EQ(rig.text(tuning::kInfoGpuLoad), "100 %");
    for (const uint32_t id : {drv::kGpuGetAllClockFrequencies, drv::kGpuGetDynamicPstatesInfoEx,
                              drv::kGetMemoryInfo, drv::kGpuGetPerfClocks,
                              drv::kGpuClientPowerTopologyGetStatus, drv::kGpuGetGpuCoreCount}) {
        ASSERT_EQ(rig.sim().injectStatus(id, drv::kError, -1), drv::kOk);
    }
    rig.readouts->update(tuning::kInfoAllFields, false);
    EXPECT_EQ(rig.text(tuning::kInfoCudaCores), "  0 SP");
    EXPECT_EQ(rig.text(tuning::kInfoMemorySize), "0 MB");
    EXPECT_EQ(rig.text(tuning::kInfoMemoryUse), "  0M/0%");
    for (uint32_t id = tuning::kInfoCurrentGpuClock; id <= tuning::kInfoBaseMemoryClock; ++id) {
        EXPECT_EQ(rig.text(id), "   0MHz") << id;
    }
    EXPECT_EQ(rig.text(tuning::kInfoGpuLoad), "  0 %");
    EXPECT_EQ(rig.text(tuning::kInfoMemoryControllerLoad), "      0 %");
    EXPECT_EQ(rig.text(tuning::kInfoBoardPower), " 0.00 %");
    // Without the level kind the picture keeps what it showed.
    EXPECT_EQ(rig.readouts->modePicture(), tuning::kModePictureThreeBars);
}

TEST(InfoReadouts, MemorySizesFromABoardConfiguration) {
    TempDir dir;
    const std::string config = writeConfig(dir, "small.conf", R"(
[gpu]
name = Small Board
device = 0x0E22
memory_kib = 131072
memory_type = 7
bus_width = 128
level = 0 flags=4
clock = graphics 400000 300000 500000
clock = memory 900000 800000 1000000
cooler = none
)");
    Rig rig(config);
    rig.show(0, 0);
    rig.readouts->update(tuning::kInfoAllFields, false);
    EXPECT_EQ(rig.text(tuning::kInfoMemorySize), "128 MB");
    EXPECT_EQ(rig.text(tuning::kInfoMemoryUse), " 64M/50%");
    EXPECT_EQ(rig.text(tuning::kInfoMemoryType), "DDR3");
    EXPECT_EQ(rig.text(tuning::kInfoBusWidth), "128 Bit");
    // No core count configured: the query fails and shows 0.
    EXPECT_EQ(rig.text(tuning::kInfoCudaCores), "  0 SP");
}

// ---- Temperature and fan ---------------------------------------------------------------------

TEST(InfoReadouts, TemperatureTurnsRedAt111) {
    Rig rig;
    rig.show(kGpu0E22, 0);
    struct Case {
        int32_t celsius;
        const char* text;
        uint32_t colour;
    };
    for (const Case& c :
         {Case{65, " 65 °C", tuning::kInfoGrey}, Case{110, "110 °C", tuning::kInfoGrey},
          Case{111, "111 °C", tuning::kInfoRed}, Case{125, "125 °C", tuning::kInfoRed},
          Case{-1, "---", tuning::kInfoGrey}}) {
        rig.model->entry(kGpu0E22).temperatureC = c.celsius;
        rig.readouts->update(tuning::kInfoTemperature, false);
        const InfoField* f = rig.readouts->field(tuning::kInfoTemperature);
        EXPECT_EQ(f->text, c.text) << c.celsius;
        EXPECT_EQ(f->colour, c.colour) << c.celsius;
    }
}

TEST(InfoReadouts, FanPercentFromTheCoolerAndUntouchedWithoutOne) {
    {
        Rig rig;
        rig.show(kGpuKepler, 0);
        ASSERT_EQ(rig.layer().setFanLevel(kGpuKepler, 55), drv::kOk);
        rig.readouts->update(tuning::kInfoFanPercent, false);
        EXPECT_EQ(rig.text(tuning::kInfoFanPercent), "  55%");
    }
    {
        // The slot-0 fan chip is set in rpm: the panel shows the set point's share of the full
        // speed, never the rpm with a percent sign.
        Rig rig;
        rig.show(kGpu0E22, 0);
        const gpu::GpuRecord& record = rig.layer().record(kGpu0E22);
        ASSERT_TRUE(record.fanSetInRpm());
        ASSERT_GT(record.fanRpmFull, 0u);
        ASSERT_EQ(rig.layer().setFanLevel(kGpu0E22, record.percentToFanLevel(60)), drv::kOk);
        rig.readouts->update(tuning::kInfoFanPercent, false);
        EXPECT_EQ(rig.text(tuning::kInfoFanPercent), "  60%");
    }
    {
        Rig rig(presetPath("no-cooler"));
        ASSERT_EQ(rig.layer().record(0).fanKind, gpu::kFanNoCooler);
        rig.show(0, 0);
        auto& fields = rig.readouts->fields();
        auto fan = std::find_if(fields.begin(), fields.end(),
                                [](const InfoField& f) { return f.id == tuning::kInfoFanPercent; });
        ASSERT_NE(fan, fields.end());
        fan->text = "  40%";
        rig.readouts->update(tuning::kInfoAllFields, false);
        EXPECT_EQ(rig.text(tuning::kInfoFanPercent), "  40%");
    }
}

// ---- Slider values ---------------------------------------------------------------------------

TEST(InfoReadouts, SliderValuesOfAClockTableBoard) {
    Rig rig;
    rig.show(kGpu0E22, 0);
    ASSERT_EQ(rig.model->selectMode(gpu::kLevelKind3DPerf, false, false), drv::kOk);
    rig.model->moveSlider(tuning::Slider::kFan, 1850);  // the slot-0 fan chip's slider is in rpm
    rig.model->moveSlider(tuning::Slider::kCoreVoltage, 4);
    rig.model->moveSlider(tuning::Slider::kMemoryVoltage, 2);
    rig.readouts->update(tuning::kInfoAllFields, false);
    EXPECT_EQ(rig.text(tuning::kInfoGpuSliderValue), " 675MHz");
    EXPECT_EQ(rig.text(tuning::kInfoShaderSliderValue), "1350MHz");
    EXPECT_EQ(rig.text(tuning::kInfoMemorySliderValue), "1800MHz");
    EXPECT_EQ(rig.text(tuning::kInfoFanSliderValue), "1850");
    EXPECT_EQ(rig.text(tuning::kInfoCoreVoltageSliderValue), "+  4");
    EXPECT_EQ(rig.text(tuning::kInfoMemoryVoltageSliderValue), "+  2");
    // Hidden on this board, and the frame-rate target is off.
    EXPECT_EQ(rig.text(tuning::kInfoGpuOffsetSliderValue), "---");
    EXPECT_EQ(rig.text(tuning::kInfoMemoryOffsetSliderValue), "---");
    EXPECT_EQ(rig.text(tuning::kInfoFrameRateSliderValue), "---");

    rig.model->setFrameRateTarget(true);
    rig.model->moveSlider(tuning::Slider::kFrameRate, 60);
    rig.readouts->update(tuning::kInfoFrameRateSliderValue, false);
    EXPECT_EQ(rig.text(tuning::kInfoFrameRateSliderValue), " 60FPS");

    // The 2D level's memory clock cannot be adjusted: its slider has no value.
    ASSERT_EQ(rig.model->selectMode(gpu::kLevelKind2D, false, false), drv::kOk);
    rig.readouts->update(tuning::kInfoMemorySliderValue, false);
    EXPECT_EQ(rig.text(tuning::kInfoMemorySliderValue), "---");
}

TEST(InfoReadouts, SliderValuesOfAKeplerBoard) {
    Rig rig;
    rig.show(kGpuKepler, 0);
    ASSERT_EQ(rig.model->selectMode(gpu::kLevelKind3DPerf, false, false), drv::kOk);
    rig.model->moveSlider(tuning::Slider::kFan, 45);
    rig.model->moveSlider(tuning::Slider::kGpuOffset, -35);
    rig.model->moveSlider(tuning::Slider::kMemoryOffset, 250);
    rig.readouts->update(tuning::kInfoAllFields, false);
    EXPECT_EQ(rig.text(tuning::kInfoGpuSliderValue), "1006MHz");
    EXPECT_EQ(rig.text(tuning::kInfoShaderSliderValue), "---");
    EXPECT_EQ(rig.text(tuning::kInfoFanSliderValue), " 45");
    EXPECT_EQ(rig.text(tuning::kInfoGpuOffsetSliderValue), " -35 MHz");
    EXPECT_EQ(rig.text(tuning::kInfoMemoryOffsetSliderValue), " 250 MHz");
    // The slider holds the driver voltage table's 3D performance entry, in millivolts.
    EXPECT_EQ(rig.text(tuning::kInfoCoreVoltageSliderValue), "1.175V");
}

TEST(InfoReadouts, RegulatorCodeShowsAsVolts) {
    Rig rig;
    rig.show(kGpu05E2, 100);
    ASSERT_EQ(rig.model->selectMode(gpu::kLevelKind3DPerf, false, false), drv::kOk);
    ASSERT_TRUE(rig.model->controls().coreVoltage.enabled);
    rig.model->moveSlider(tuning::Slider::kCoreVoltage, 60);  // 450 mV + 60 x 12.5 mV
    rig.readouts->update(tuning::kInfoCoreVoltageSliderValue, false);
    EXPECT_EQ(rig.text(tuning::kInfoCoreVoltageSliderValue), "1.200V");
}

// ---- Selection and repaint -------------------------------------------------------------------

TEST(InfoReadouts, OnlyFieldsSharingABitWithTheMaskChange) {
    Rig rig;
    rig.show(kGpu0E22, 0);
    rig.model->entry(kGpu0E22).temperatureC = 70;
    rig.readouts->update(tuning::kInfoTemperature, false);
    for (const InfoField& f : rig.readouts->fields()) {
        const bool selected = (f.id & tuning::kInfoTemperature) != 0;
        EXPECT_EQ(f.text.empty(), !selected) << f.id;
    }
}

TEST(InfoReadouts, RepaintOnlyInvalidatesWithoutReading) {
    Rig rig;
    rig.sim().clearCounters();
    rig.readouts->update(tuning::kInfoAllFields, false);  // no GPU on show: nothing to read
    EXPECT_EQ(rig.sim().callCount(0), 0u);
    EXPECT_EQ(rig.text(tuning::kInfoGpuLoad), "");

    rig.show(kGpuKepler, 0);
    rig.readouts->update(tuning::kInfoAllFields, false);
    const std::string load = rig.text(tuning::kInfoGpuLoad);
    ASSERT_EQ(rig.sim().setLoad(kGpuKepler, 100), drv::kOk);
    rig.sim().clearCounters();

    rig.readouts->update(tuning::kInfoFrameRateSliderValue, true);
    EXPECT_TRUE(rig.readouts->field(tuning::kInfoFrameRateSliderValue)->invalidated);
    EXPECT_FALSE(rig.readouts->field(tuning::kInfoGpuLoad)->invalidated);
    EXPECT_FALSE(rig.readouts->modePictureInvalidated());

    rig.readouts->update(tuning::kInfoAllFields, true);
    EXPECT_EQ(rig.sim().callCount(0), 0u);
    EXPECT_EQ(rig.text(tuning::kInfoGpuLoad), load);
    EXPECT_TRUE(rig.readouts->modePictureInvalidated());
    EXPECT_TRUE(std::all_of(rig.readouts->fields().begin(), rig.readouts->fields().end(),
                            [](const InfoField& f) { return f.invalidated; }));

    rig.readouts->clearInvalidated();
    EXPECT_FALSE(rig.readouts->modePictureInvalidated());
    EXPECT_TRUE(std::none_of(rig.readouts->fields().begin(), rig.readouts->fields().end(),
                             [](const InfoField& f) { return f.invalidated; }));
}

}  // namespace
TEST(InfoReadouts, SliderValuesAloneReadNoCard) {
    Rig rig;
    rig.show(kGpu0E22, 0);
    rig.readouts->update(tuning::kInfoAllFields, false);
    const std::string load = rig.text(tuning::kInfoGpuLoad);
    ASSERT_TRUE(rig.model->controls().gpuClock.enabled);
    rig.model->moveSlider(tuning::Slider::kGpuClock, rig.model->controls().gpuClock.min);
    rig.sim().clearCounters();

    rig.readouts->updateSliderValues();
    EXPECT_EQ(rig.sim().callCount(0), 0u);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%4dMHz", rig.model->controls().gpuClock.min);
    EXPECT_EQ(rig.text(tuning::kInfoGpuSliderValue), expected);
    EXPECT_EQ(rig.text(tuning::kInfoGpuLoad), load);  // card fields keep their last texts
}

}  // namespace qv::test
