#include <gtest/gtest.h>

#include "gpu/DriverStatus.h"
#include "gpu/GpuLayerTestSupport.h"
#include "tuning/PowerReadout.h"

namespace qv::tuning {
namespace {

struct MonitorCase {
    std::array<uint32_t, 3> readings;
    uint32_t device;
    int kind;
    uint32_t watts;
};

TEST(PowerMonitors, SumScaledByDeviceAndLevelKind) {
    const MonitorCase cases[] = {
        // 10000 steps x 0.0049 = 49 W on a plain device, any kind.
        {{4000, 3000, 3000}, 0x0E22, gpu::kLevelKind2D, 49},
        {{4000, 3000, 3000}, 0x0E22, gpu::kLevelKind3DLow, 49},
        // Slot 11 counts 1.5 times on 0x1080, 0x1081, 0x1086: 7000 + 4500 = 11500 -> 56.35.
        {{4000, 3000, 3000}, 0x1080, gpu::kLevelKind3DPerf, 56},
        {{4000, 3000, 3000}, 0x1086, gpu::kLevelKind2D, 56},
        // Overreading devices in kinds 1 and 2: 10000 / 1.1 = 9090 -> 44.54.
        {{4000, 3000, 3000}, 0x1245, gpu::kLevelKind2D, 44},
        {{4000, 3000, 3000}, 0x0DC4, gpu::kLevelKind3DPerf, 44},
        {{4000, 3000, 3000}, 0x0DC4, gpu::kLevelKind3DLow, 49},
        {{4000, 3000, 3000}, 0x1244, gpu::kLevelKindFour, 49},
        // Odd slot-11 reading: 1.5 x 3 = 4.5 truncated with the sum.
        {{0, 0, 3}, 0x1081, gpu::kLevelKind3DLow, 0},
        {{1000, 0, 1}, 0x1081, gpu::kLevelKind3DLow, 4},  // 1001.5 -> 1001 x 0.0049
        // Two full 16-bit readings do not wrap: 131070 steps = 642 W.
        {{0xFFFF, 0xFFFF, 0}, 0x0E22, gpu::kLevelKind3DLow, 642},
        {{0, 0, 0}, 0x0E22, gpu::kLevelKind2D, 0},
    };
    for (const MonitorCase& c : cases) {
        EXPECT_EQ(monitorWatts(c.readings, c.device, c.kind), c.watts)
            << std::hex << c.device << std::dec << " kind " << c.kind << " readings "
            << c.readings[0] << "," << c.readings[1] << "," << c.readings[2];
    }
}

TEST(PowerEstimate, RootMeanSquareScaledBySenseResistorAndEfficiency) {
    // Ten samples of current x rail = 1: sqrt(10 / 10) x 0.95 / 0.025 = 38 W.
    EXPECT_DOUBLE_EQ(estimateWatts(10.0, 10), 38.0);
    EXPECT_DOUBLE_EQ(estimateWatts(40.0, 10), 76.0);
    EXPECT_DOUBLE_EQ(estimateWatts(0.0, 10), 0.0);
    EXPECT_DOUBLE_EQ(estimateWatts(5.0, 0), 0.0);
    // The seed alone: 0.025 x 10 x 0.025 / 0.9025.
    EXPECT_NEAR(kEstimateSeed, 0.006925208, 1e-9);
    EXPECT_NEAR(estimateWatts(kEstimateSeed, 10), 1.0, 1e-9);
}

TEST(BoardPowerRead, MonitorBoardOnTheSimulator) {
    test::LayerRig rig;
    rig.loadDriver();
    ASSERT_EQ(rig.sim().setLoad(1, 100), 0);
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.layer->waitForProbe();
    ASSERT_TRUE(usesPowerMonitors(rig.layer->record(1)));
    BoardPower power;
    PowerReading reading;
    ASSERT_EQ(power.read(*rig.layer, 1, gpu::kLevelKind3DLow, reading), drv::kOk);
    EXPECT_NEAR(reading.watts, 150.0, 10.0);  // the simulated monitors wander a little
    EXPECT_FALSE(reading.gaugeLive);
    uint32_t watts = 7;
    EXPECT_EQ(power.read(*rig.layer, 9, gpu::kLevelKind2D, watts), drv::kInvalidArgument);
    EXPECT_EQ(watts, 7u);
}

TEST(BoardPowerRead, EstimateBoardOnTheSimulator) {
    test::LayerRig rig("slot0-slot3");
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.layer->waitForProbe();
    ASSERT_TRUE(usesPowerEstimate(rig.layer->record(0)));
    EXPECT_FALSE(usesPowerMonitors(rig.layer->record(0)));
    BoardPower power;
    PowerReading reading;
    ASSERT_EQ(power.read(*rig.layer, 0, gpu::kLevelKind2D, reading), drv::kOk);
    EXPECT_GE(reading.watts, 5u);
    EXPECT_LE(reading.watts, 62u);
    EXPECT_TRUE(reading.gaugeLive);
}

}  // namespace
}  // namespace qv::tuning
