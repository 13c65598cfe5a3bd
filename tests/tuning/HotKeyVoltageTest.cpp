#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayerTestSupport.h"
#include "tuning/HotKeyVoltage.h"
#include "tuning/MainDialogModel.h"

namespace qv::tuning {
namespace {

using test::kGpuKepler;

std::string readText(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

int32_t entryMv(gpu::GpuLayer& layer, int kind) {
    int32_t mv = -1;
    EXPECT_EQ(layer.voltageTableEntry(kGpuKepler, kind, mv), drv::kOk);
    return mv;
}

TEST(HotKeyVoltage, BoostLiftsTheFirstPstateToTheSliderMaximumAndTheEndPutsItBack) {
    test::LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    gpu::GpuLayer& layer = *rig.layer;
    drv::PstatesInfo own{};  // a user's own table
    ASSERT_EQ(layer.readVoltageTable(kGpuKepler, own), drv::kOk);
    ASSERT_EQ(gpu::GpuLayer::setTableEntry(own, gpu::kLevelKind3DPerf, 1150), drv::kOk);
    ASSERT_EQ(layer.writeVoltageTable(kGpuKepler, own), drv::kOk);

    SavedBoostVoltage saved;
    ASSERT_EQ(saveBoostVoltage(layer, kGpuKepler, 1000, saved), drv::kOk);
    EXPECT_TRUE(saved.saved);
    EXPECT_EQ(saved.table.pstates[0].voltages[0].millivolts, 1150u);
    EXPECT_EQ(saved.sliderPos, 1000);

    const int32_t highest = driverTableMaxMillivolts(layer.record(kGpuKepler).deviceId());
    int32_t reached = 0;
    ASSERT_EQ(raiseBoostVoltage(layer, kGpuKepler, highest, reached), drv::kOk);
    EXPECT_EQ(reached, highest);
    EXPECT_EQ(entryMv(layer, gpu::kLevelKind3DPerf), highest);
    EXPECT_EQ(entryMv(layer, gpu::kLevelKind2D), 1000);  // only the first P-state moves

    ASSERT_EQ(restoreBoostVoltage(layer, kGpuKepler, saved), drv::kOk);
    EXPECT_EQ(entryMv(layer, gpu::kLevelKind3DPerf), 1150);
}

TEST(HotKeyVoltage, ARefusedWriteIsAFailureAndNothingKeptRestoresNothing) {
    test::LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.sim().injectStatus(drv::kGpuSetPstatesInfo, drv::kError, 1);
    int32_t reached = -7;
    EXPECT_EQ(raiseBoostVoltage(*rig.layer, kGpuKepler, 1200, reached), drv::kError);
    EXPECT_EQ(reached, -7);
    EXPECT_EQ(entryMv(*rig.layer, gpu::kLevelKind3DPerf), 1175);
    EXPECT_EQ(restoreBoostVoltage(*rig.layer, kGpuKepler, SavedBoostVoltage{}),
              drv::kInvalidArgument);
}

TEST(HotKeyVoltage, BoardsWithoutAVoltageTableKeepNothing) {
    // The GTX 460 preset with a driver that lists no voltages.
    test::TempDir dir;
    const std::string text = readText(test::presetPath("single-0e22")) + "voltage_table = no\n";
    test::LayerRig rig(test::writeConfig(dir, "no-table.conf", text));
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    SavedBoostVoltage saved;
    EXPECT_NE(saveBoostVoltage(*rig.layer, 0, 3, saved), drv::kOk);
    EXPECT_FALSE(saved.saved);
    int32_t reached = -7;
    EXPECT_NE(raiseBoostVoltage(*rig.layer, 0, 1200, reached), drv::kOk);
    EXPECT_EQ(reached, -7);
}

}  // namespace
}  // namespace qv::tuning
