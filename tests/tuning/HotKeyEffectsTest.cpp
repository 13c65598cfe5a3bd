#include <gtest/gtest.h>

#include "gpu/DriverStatus.h"
#include "gpu/GpuLayerTestSupport.h"
#include "lang/LanguageRows.h"
#include "tuning/HotKeyEffects.h"

namespace qv::tuning {
namespace {

using test::kGpuKepler;

constexpr uint64_t kStart = 100000;

struct EffectsRig {
    EffectsRig() {
        EXPECT_EQ(rig.layer->initialize(), gpu::kInitOk);
        rig.layer->waitForProbe();
        model = std::make_unique<MainDialogModel>(*rig.layer);
        EXPECT_EQ(model->selectGpu(kGpuKepler, true), drv::kOk);
        stored.hotKeyEnable = 1;
        stored.hotKeyFanSpeed = 80;
        stored.hotKeyGpuOffset = 60;
        stored.hotKeySetVoltageHighest = 1;
        effects = std::make_unique<HotKeyEffects>(*rig.layer, *model, stored, &drivenFans);
    }
    uint32_t fanLevel() {
        drv::CoolerSettings table{};
        EXPECT_EQ(rig.layer->readCoolerTable(kGpuKepler, &table), drv::kOk);
        return table.cooler[0].currentLevel;
    }
    drv::Pstates20Pstate firstPstate() {
        drv::Pstates20Info info{};
        EXPECT_EQ(rig.layer->pstates20Info(kGpuKepler, info), drv::kOk);
        return info.pstates[0];
    }

    test::LayerRig rig;
    std::unique_ptr<MainDialogModel> model;
    settings::RegistrySettings stored;
    DrivenFans drivenFans;
    std::unique_ptr<HotKeyEffects> effects;
};

TEST(HotKeyEffects, FanKeyBoostsTheFanAndTheSecondPressHandsItBack) {
    EffectsRig r;
    ASSERT_TRUE(r.effects->onKey(kHotKeyFan, kStart).accepted);
    EXPECT_EQ(r.fanLevel(), 80u);
    EXPECT_EQ(r.drivenFans.gpus(), std::vector<uint8_t>{kGpuKepler}) << "returned at the end";
    EXPECT_EQ(r.model->controls().fanMode.captionRow, lang::kTextFanManual);
    EXPECT_TRUE(r.model->controls().fanSpeed.enabled);
    EXPECT_EQ(r.model->controls().fanSpeed.pos, 80);

    // Within five seconds nothing happens; after them the boost ends.
    EXPECT_FALSE(r.effects->onKey(kHotKeyFan, kStart + kHotKeyDebounceMs - 1).accepted);
    ASSERT_TRUE(r.effects->onKey(kHotKeyFan, kStart + kHotKeyDebounceMs).accepted);
    EXPECT_EQ(r.effects->state(), kHotKeyStateNone);
    int mode = 0;
    ASSERT_EQ(r.rig.layer->fanMode(kGpuKepler, mode), drv::kOk);
    EXPECT_EQ(mode, gpu::GpuLayer::kFanModeAutomatic);
    EXPECT_TRUE(r.drivenFans.gpus().empty());
    EXPECT_EQ(r.model->controls().fanSpeed.pos, static_cast<int>(kHotKeyRestoredFanLevel));
    EXPECT_FALSE(r.model->controls().fanSpeed.enabled);
    EXPECT_EQ(r.model->controls().fanMode.captionRow, lang::kTextFanAuto);
}

TEST(HotKeyEffects, ClockKeyOffsetsAndLiftsTheVoltageThenPutsBothBack) {
    EffectsRig r;
    const drv::Pstates20Pstate before = r.firstPstate();
    ASSERT_TRUE(r.effects->onKey(kHotKeyClock, kStart).accepted);
    const drv::Pstates20Pstate boosted = r.firstPstate();
    EXPECT_EQ(boosted.clocks[0].freqDeltaKHz.value, 60 * 1000);
    EXPECT_EQ(r.model->controls().gpuOffset.pos, 60);
    const int64_t boostedMv =
        (int64_t{boosted.baseVoltages[0].voltUv} + boosted.baseVoltages[0].voltDeltaUv.value) /
        1000;
    EXPECT_EQ(boostedMv, driverTableMaxMillivolts(r.rig.layer->record(kGpuKepler).deviceId()));

    ASSERT_TRUE(r.effects->onKey(kHotKeyClock, kStart + kHotKeyDebounceMs).accepted);
    const drv::Pstates20Pstate after = r.firstPstate();
    EXPECT_EQ(after.clocks[0].freqDeltaKHz.value, 0);
    EXPECT_EQ(after.baseVoltages[0].voltDeltaUv.value, before.baseVoltages[0].voltDeltaUv.value);
    EXPECT_EQ(r.model->controls().gpuOffset.pos, 0);
}

TEST(HotKeyEffects, SwitchedOffTheKeysDoNothing) {
    EffectsRig r;
    r.stored.hotKeyEnable = 0;
    const uint32_t level = r.fanLevel();
    EXPECT_FALSE(r.effects->onKey(kHotKeyFan, kStart).accepted);
    EXPECT_FALSE(r.effects->onKey(kHotKeyClock, kStart + kHotKeyDebounceMs).accepted);
    EXPECT_EQ(r.fanLevel(), level);
    EXPECT_EQ(r.firstPstate().clocks[0].freqDeltaKHz.value, 0);
    EXPECT_FALSE(r.effects->hotKeyUsed());
}

}  // namespace
}  // namespace qv::tuning
