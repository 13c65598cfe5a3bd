// The count of fans the rules hold in manual mode, and their return to automatic at the end.
#include <gtest/gtest.h>

#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayerTestSupport.h"
#include "tuning/DrivenFans.h"

namespace qv::tuning {
namespace {

using test::kGpu0E22;
using test::kGpuKepler;

class RecordingLink final : public FanGuardLink {
public:
    void drivenFansChanged(const std::vector<uint8_t>& gpus) override { lists.push_back(gpus); }
    void farewell() override { ++farewells; }
    std::vector<std::vector<uint8_t>> lists;
    int farewells = 0;
};

TEST(DrivenFans, TheGuardHearsEachChangeOfTheListOnce) {
    RecordingLink link;
    DrivenFans fans(&link);
    fans.ruleDrives(2);
    fans.ruleDrives(2);  // already listed: nothing new to say
    fans.ruleDrives(0);
    fans.handedBack(1);  // never listed
    fans.handedBack(2);
    fans.ruleDrives(gpu::kMaxGpus);  // no such GPU
    EXPECT_EQ(link.lists, (std::vector<std::vector<uint8_t>>{{2}, {0, 2}, {0}}));
    EXPECT_TRUE(fans.drives(0));
    EXPECT_FALSE(fans.drives(2));
    EXPECT_FALSE(fans.drives(gpu::kMaxGpus));
}

TEST(DrivenFans, ReturnToAutomaticKeepsAFailedFanListedAndSaysFarewellOnlyWhenAllAreBack) {
    test::LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.layer->waitForProbe();
    RecordingLink link;
    DrivenFans fans(&link);
    for (const uint8_t gpu : {kGpuKepler, kGpu0E22}) {
        ASSERT_EQ(rig.layer->setFanLevel(gpu, gpu == kGpu0E22 ? 2000 : 70), drv::kOk);
        fans.ruleDrives(gpu);
    }
    const auto mode = [&](uint8_t gpu) {
        int value = 0;
        EXPECT_EQ(rig.layer->fanMode(gpu, value), drv::kOk);
        return value;
    };
    ASSERT_EQ(mode(kGpuKepler), gpu::GpuLayer::kFanModeManual);
    ASSERT_EQ(mode(kGpu0E22), gpu::GpuLayer::kFanModeManual);

    // The driver cooler refuses once; the slot-0 chip's fan goes back all the same.
    ASSERT_EQ(rig.sim().injectStatus(drv::kGpuSetCoolerLevels, -5, 1), 0);
    EXPECT_EQ(fans.returnToAutomatic(*rig.layer), -5);
    EXPECT_EQ(fans.gpus(), std::vector<uint8_t>{kGpuKepler});
    EXPECT_EQ(mode(kGpu0E22), gpu::GpuLayer::kFanModeAutomatic);
    EXPECT_EQ(link.lists.back(), std::vector<uint8_t>{kGpuKepler});
    EXPECT_EQ(link.farewells, 0) << "the guard must still return the refused fan";

    EXPECT_EQ(fans.returnToAutomatic(*rig.layer), drv::kOk);
    EXPECT_TRUE(fans.gpus().empty());
    EXPECT_EQ(mode(kGpuKepler), gpu::GpuLayer::kFanModeAutomatic);
    EXPECT_EQ(link.farewells, 1);
}

}  // namespace
}  // namespace qv::tuning
