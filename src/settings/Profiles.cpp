#include "settings/Profiles.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"

namespace qv::settings {

namespace {

constexpr mode_t kFolderMode = 0777;  // before the umask

}  // namespace

std::string profileFolder(const std::string& dataFolder) {
    return dataFolder + "/" + kProfileFolderName;
}

std::string profileSlotFile(const std::string& dataFolder, int slot) {
    if (slot < kProfileFirstSlot || slot > kProfileLastSlot) {
        return {};
    }
    const int length =
        std::snprintf(nullptr, 0, kProfileSlotFileFormat, dataFolder.c_str(), slot);
    if (length <= 0) {
        return {};
    }
    std::vector<char> path(static_cast<size_t>(length) + 1);
    std::snprintf(path.data(), path.size(), kProfileSlotFileFormat, dataFolder.c_str(), slot);
    return std::string(path.data(), static_cast<size_t>(length));
}

int createProfileFolder(const std::string& dataFolder) {
    return platform::makeFolders(profileFolder(dataFolder), kFolderMode) == 0 ? kProfileOk
                                                                                 : kProfileError;
}

ProfileSlots::ProfileSlots(std::string dataFolder) : dataFolder_(std::move(dataFolder)) {}

void ProfileSlots::pressSave() {
    saveArmed_ = true;
    blinking_ = true;
}

void ProfileSlots::blinkTick() {
    if (blinking_) {
        blinkLit_ = !blinkLit_;
    }
}

ProfileSlotResult ProfileSlots::pressSlot(int slot, ProfileStore& store) {
    ProfileSlotResult result;
    result.path = profileSlotFile(dataFolder_, slot);
    if (result.path.empty()) {
        return result;
    }
    blinking_ = false;
    blinkLit_ = false;
    if (saveArmed_) {
        result.action = ProfileSlotResult::Action::kSaved;
        result.status = createProfileFolder(dataFolder_);
        if (result.status == kProfileOk) {
            result.status = store.saveProfile(result.path);
        }
    } else {
        result.action = ProfileSlotResult::Action::kLoaded;
        result.status = store.loadProfile(result.path);
    }
    saveArmed_ = false;
    return result;
}

}  // namespace qv::settings
