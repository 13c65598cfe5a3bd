#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "settings/Profiles.h"
#include "support/SimHarness.h"

namespace qv::test {
namespace {

using settings::ProfileSlotResult;
using settings::ProfileSlots;

// Writes a file on save and reads it on load, recording each call. Saving and loading through
// the user settings file are tested with the application's store.
class FileStore final : public settings::ProfileStore {
public:
    int saveProfile(const std::string& path) override {
        calls.push_back("save " + path);
        std::ofstream out(path);
        return out ? 0 : -1;
    }
    int loadProfile(const std::string& path) override {
        calls.push_back("load " + path);
        return std::filesystem::exists(path) ? 0 : -1;
    }
    std::vector<std::string> calls;
};

TEST(ProfileFiles, SlotsAreNumberedFilesInTheProfileFolder) {
    EXPECT_EQ(settings::profileFolder("/opt/quorvel"), "/opt/quorvel/Profile");
    EXPECT_EQ(settings::profileSlotFile("/opt/quorvel", 1), "/opt/quorvel/Profile/1.ini");
    EXPECT_EQ(settings::profileSlotFile("/opt/quorvel", 5), "/opt/quorvel/Profile/5.ini");
    EXPECT_EQ(settings::profileSlotFile("/opt/quorvel", 0), "");
    EXPECT_EQ(settings::profileSlotFile("/opt/quorvel", 6), "");
    const std::string longFolder(600, 'q');
    EXPECT_EQ(settings::profileSlotFile(longFolder, 2), longFolder + "/Profile/2.ini");
}

TEST(ProfileSlots, TheSlotButtonsBlinkWhileASaveIsArmed) {
    TempDir program;
    FileStore store;
    ProfileSlots slots(program.path());
    slots.blinkTick();
    EXPECT_FALSE(slots.blinkLit()) << "no blinking before the save button";
    slots.pressSave();
    EXPECT_TRUE(slots.blinking());
    std::vector<bool> lit;
    for (int tick = 0; tick < 4; ++tick) {
        slots.blinkTick();
        lit.push_back(slots.blinkLit());
    }
    EXPECT_EQ(lit, (std::vector<bool>{true, false, true, false}));
    slots.blinkTick();
    slots.pressSlot(4, store);
    EXPECT_FALSE(slots.blinking());
    EXPECT_FALSE(slots.blinkLit()) << "the buttons show their normal image again";
}

TEST(ProfileSlots, AnUnknownSlotChangesNothing) {
    TempDir program;
    FileStore store;
    ProfileSlots slots(program.path());
    slots.pressSave();
    for (int slot : {0, 6, -1}) {
        EXPECT_EQ(slots.pressSlot(slot, store).action, ProfileSlotResult::Action::kNone);
    }
    EXPECT_TRUE(slots.saveArmed());
    EXPECT_TRUE(slots.blinking());
    EXPECT_TRUE(store.calls.empty());
}

TEST(ProfileSlots, ASaveWithoutAFolderFailsAndDisarms) {
    TempDir program;
    // A file where the profile folder should be.
    std::ofstream(program.file("Profile")) << "not a folder";
    FileStore store;
    ProfileSlots slots(program.path());
    slots.pressSave();
    const ProfileSlotResult result = slots.pressSlot(1, store);
    EXPECT_EQ(result.action, ProfileSlotResult::Action::kSaved);
    EXPECT_EQ(result.status, settings::kProfileError);
    EXPECT_TRUE(store.calls.empty());
    EXPECT_FALSE(slots.saveArmed());

    // A slot that was never saved still goes to the store, which reports the missing file.
    const ProfileSlotResult load = slots.pressSlot(5, store);
    EXPECT_EQ(load.action, ProfileSlotResult::Action::kLoaded);
    EXPECT_EQ(load.status, -1);
}

}  // namespace
}  // namespace qv::test
