#include <gtest/gtest.h>

#include <memory>

#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayerTestSupport.h"

namespace qv::gpu {
namespace {

using test::kGpu0E22;
using test::kGpuKepler;

// A table of `count` P-states whose voltages are 1000, 1001, … in rising order.
std::unique_ptr<drv::PstatesInfo> tableOf(uint32_t count) {
    auto t = std::make_unique<drv::PstatesInfo>();
    t->version = drv::kPstatesInfoVersion;
    t->numPstates = count;
    t->numVoltages = 1;
    for (uint32_t p = 0; p < count; ++p) {
        t->pstates[p].voltages[0].millivolts = 1000 + p;
    }
    return t;
}

// Where each mode's entry sits: four P-states put the extra level second and serve 2D from the
// third; other tables hold 3D low power second and 2D third.
TEST(GpuLayerVoltageTable, EntriesFollowTheLayoutOfTheTable) {
    struct Case {
        uint32_t count;
        int kind;
        int32_t mv;  // -1: no entry
    };
    const Case cases[] = {
        {4, kLevelKind3DPerf, 1000}, {4, kLevelKindFour, 1001}, {4, kLevelKind3DLow, 1002},
        {4, kLevelKind2D, 1002},     {3, kLevelKind3DPerf, 1000}, {3, kLevelKind3DLow, 1001},
        {3, kLevelKind2D, 1002},     {3, kLevelKindFour, -1},     {2, kLevelKind2D, -1},
        {0, kLevelKind3DPerf, -1},   {4, kNoLevelKind, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " P-states, kind " << c.kind);
        auto t = tableOf(c.count);
        int32_t mv = -1;
        EXPECT_EQ(GpuLayer::tableEntry(*t, c.kind, mv) == drv::kOk, c.mv >= 0);
        EXPECT_EQ(mv, c.mv);
        EXPECT_EQ(GpuLayer::setTableEntry(*t, c.kind, 1234) == drv::kOk, c.mv >= 0);
    }
}

TEST(GpuLayerVoltageTable, AZeroFirstVoltageGivesWayToTheSecondAndNoVoltagesNoEntry) {
    auto t = tableOf(3);
    t->numVoltages = 2;
    t->pstates[2].voltages[0].millivolts = 0;
    t->pstates[2].voltages[1].millivolts = 950;
    int32_t mv = 0;
    ASSERT_EQ(GpuLayer::tableEntry(*t, kLevelKind2D, mv), drv::kOk);
    EXPECT_EQ(mv, 950);
    ASSERT_EQ(GpuLayer::setTableEntry(*t, kLevelKind2D, 975), drv::kOk);
    ASSERT_EQ(GpuLayer::tableEntry(*t, kLevelKind2D, mv), drv::kOk);
    EXPECT_EQ(mv, 975);
    EXPECT_EQ(GpuLayer::setTableEntry(*t, kLevelKind2D, 0), drv::kInvalidArgument);

    t->numVoltages = 0;
    EXPECT_EQ(GpuLayer::tableEntry(*t, kLevelKind3DPerf, mv), drv::kNotSupported);
}

// A written table is read back as written; the defaults read still gives the driver's own.
TEST(GpuLayerVoltageTable, WrittenTableReadsBackAndTheDefaultsStay) {
    test::LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), kInitOk);
    GpuLayer& layer = *rig.layer;
    auto table = std::make_unique<drv::PstatesInfo>();
    ASSERT_EQ(layer.readVoltageTable(kGpu0E22, *table), drv::kOk);
    EXPECT_EQ(table->numPstates, 3u);
    ASSERT_EQ(GpuLayer::setTableEntry(*table, kLevelKind2D, 900), drv::kOk);
    ASSERT_EQ(layer.writeVoltageTable(kGpu0E22, *table), drv::kOk);

    int32_t mv = 0;
    ASSERT_EQ(layer.voltageTableEntry(kGpu0E22, kLevelKind2D, mv), drv::kOk);
    EXPECT_EQ(mv, 900);
    ASSERT_EQ(layer.voltageTableEntry(kGpu0E22, kLevelKind3DPerf, mv), drv::kOk);
    EXPECT_EQ(mv, 1012);
    ASSERT_EQ(layer.readVoltageTable(kGpu0E22, *table, true), drv::kOk);
    ASSERT_EQ(GpuLayer::tableEntry(*table, kLevelKind2D, mv), drv::kOk);
    EXPECT_EQ(mv, 875);

    // The Kepler board's four P-states: 3D performance P0 at 1175 mV, 2D from P5 at 1000 mV.
    ASSERT_EQ(layer.voltageTableEntry(kGpuKepler, kLevelKind3DPerf, mv), drv::kOk);
    EXPECT_EQ(mv, 1175);
    ASSERT_EQ(layer.voltageTableEntry(kGpuKepler, kLevelKind2D, mv), drv::kOk);
    EXPECT_EQ(mv, 1000);

    // A table of another version never reaches the driver.
    table->version = drv::kPstates20InfoVersion;
    EXPECT_EQ(layer.writeVoltageTable(kGpu0E22, *table), drv::kIncompatibleStructVersion);
}

}  // namespace
}  // namespace qv::gpu
