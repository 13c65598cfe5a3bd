#include <gtest/gtest.h>

#include <filesystem>

#include "app/UserSettingsProfiles.h"
#include "app/UserSettingsTestSupport.h"

namespace qv::test {
namespace {

using settings::ProfileSlotResult;

class UserSettingsProfiles : public UserSettingsMachine {
protected:
    int32_t keplerFan() {
        int mode = 0;
        int32_t level = 0;
        EXPECT_EQ(rig.layer->fanMode(kGpuKepler, mode), drv::kOk);
        EXPECT_EQ(rig.layer->fanSpeed(kGpuKepler, level, false), drv::kOk);
        return mode == gpu::GpuLayer::kFanModeManual ? level : -1;
    }

    TempDir program;
    app::UserSettingsFile userSettings{clock, path()};
    app::UserSettingsProfileStore store{*rig.layer, userSettings};
    settings::ProfileSlots slots{program.path()};
};

TEST_F(UserSettingsProfiles, SavingSlot3CreatesTheFolderAndTheFile) {
    ASSERT_FALSE(std::filesystem::exists(program.file("Profile")));
    userSettings.state().horizonValue = 5;
    slots.pressSave();
    const ProfileSlotResult result = slots.pressSlot(3, store);
    EXPECT_EQ(result.action, ProfileSlotResult::Action::kSaved);
    EXPECT_EQ(result.status, app::kUserSettingsOk);
    EXPECT_EQ(readBytes(program.file("Profile/3.ini")),
              app::encodeUserSettingsFile(app::userSettingsText(*rig.layer, 5, 0)));
}

TEST_F(UserSettingsProfiles, SaveThenTheSameSlotTwiceSavesOnceAndLoadsOnce) {
    ASSERT_EQ(rig.layer->setFanLevel(kGpuKepler, 65), drv::kOk);
    slots.pressSave();
    ASSERT_EQ(slots.pressSlot(3, store).action, ProfileSlotResult::Action::kSaved);
    ASSERT_EQ(rig.layer->setFanLevel(kGpuKepler, 90), drv::kOk);
    const ProfileSlotResult second = slots.pressSlot(3, store);
    EXPECT_EQ(second.action, ProfileSlotResult::Action::kLoaded);
    EXPECT_EQ(second.status, app::kUserSettingsOk);
    EXPECT_EQ(keplerFan(), 65) << "the second press loaded what the first saved";
    EXPECT_EQ(userSettings.state().records[kGpuKepler].fanSpeed, 65);
    // The manual fan level's pause, then the pause before the window shows the settings.
    EXPECT_EQ(clock.sleeps(),
              (std::vector<uint32_t>{app::kFanSettleMs, settings::kProfileLoadPauseMs}));
}

TEST_F(UserSettingsProfiles, ASlotNeverSavedLoadsNothingButStillPauses) {
    rig.sim().clearCounters();
    const ProfileSlotResult result = slots.pressSlot(1, store);
    EXPECT_EQ(result.action, ProfileSlotResult::Action::kLoaded);
    EXPECT_EQ(result.status, app::kUserSettingsFileError);
    EXPECT_EQ(calls(0), 0u);
    EXPECT_EQ(clock.sleeps(), (std::vector<uint32_t>{settings::kProfileLoadPauseMs}));
}

}  // namespace
}  // namespace qv::test
