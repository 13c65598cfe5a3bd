#include <gtest/gtest.h>

#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayerTestSupport.h"
#include "tuning/HotKeyVoltage.h"
#include "tuning/MainDialogModel.h"

namespace qv::tuning {
namespace {

using test::kGpuKepler;

int32_t firstCoreVoltageMv(gpu::GpuLayer& layer) {
    drv::Pstates20Info info{};
    EXPECT_EQ(layer.pstates20Info(kGpuKepler, info), drv::kOk);
    const drv::Pstates20BaseVoltage& v = info.pstates[0].baseVoltages[0];
    return static_cast<int32_t>((int64_t{v.voltUv} + v.voltDeltaUv.value) / 1000);
}

TEST(HotKeyVoltage, BoostLiftsTheFirstPstateToTheSliderMaximumAndTheEndPutsItBack) {
    test::LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    gpu::GpuLayer& layer = *rig.layer;
    ASSERT_EQ(layer.setCoreVoltageOffset(kGpuKepler, -12500), drv::kOk);  // a user's own setting
    const int32_t before = firstCoreVoltageMv(layer);

    SavedBoostVoltage saved;
    ASSERT_EQ(saveBoostVoltage(layer, kGpuKepler, 1000, saved), drv::kOk);
    EXPECT_TRUE(saved.saved);
    EXPECT_EQ(saved.deltaUv, -12500);
    EXPECT_EQ(saved.sliderPos, 1000);

    const int32_t highest = driverTableMaxMillivolts(layer.record(kGpuKepler).deviceId());
    int32_t reached = 0;
    ASSERT_EQ(raiseBoostVoltage(layer, kGpuKepler, highest, reached), drv::kOk);
    EXPECT_EQ(reached, highest);
    EXPECT_EQ(firstCoreVoltageMv(layer), highest);

    ASSERT_EQ(restoreBoostVoltage(layer, kGpuKepler, saved), drv::kOk);
    EXPECT_EQ(firstCoreVoltageMv(layer), before);
}

TEST(HotKeyVoltage, ABeyondRangeTargetStopsAtTheTopOfTheDriversRange) {
    test::LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    drv::Pstates20Info info{};
    ASSERT_EQ(rig.layer->pstates20Info(kGpuKepler, info), drv::kOk);
    const drv::Pstates20BaseVoltage& v = info.pstates[0].baseVoltages[0];
    const int32_t top = static_cast<int32_t>((int64_t{v.voltUv} + v.voltDeltaUv.max) / 1000);

    int32_t reached = 0;
    EXPECT_EQ(raiseBoostVoltage(*rig.layer, kGpuKepler, top + 500, reached), drv::kOk);
    EXPECT_EQ(reached, top);  // held to the driver's range, which the card accepts

    // Nothing was kept: there is nothing to restore.
    EXPECT_EQ(restoreBoostVoltage(*rig.layer, kGpuKepler, SavedBoostVoltage{}), drv::kInvalidArgument);
}

TEST(HotKeyVoltage, BoardsWithoutPstates20KeepNothing) {
    test::LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    const uint8_t gtx460 = 1;
    SavedBoostVoltage saved;
    EXPECT_NE(saveBoostVoltage(*rig.layer, gtx460, 3, saved), drv::kOk);
    EXPECT_FALSE(saved.saved);
    int32_t reached = -7;
    EXPECT_NE(raiseBoostVoltage(*rig.layer, gtx460, 1200, reached), drv::kOk);
    EXPECT_EQ(reached, -7);
}

}  // namespace
}  // namespace qv::tuning
