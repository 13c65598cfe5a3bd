// Profiles: copies of every GPU's hardware settings in files of their own, in the format of the
// user settings file. Five numbered slots live in "<program folder>/Profile" as "1.ini" to
// "5.ini"; the profile dialog may name any file.
//
// The slot buttons and the save button beside them work as one small machine: the save button
// arms a save and makes the slot buttons blink; the next slot pressed is saved (and the save is
// disarmed), any other slot press loads that slot.
#pragma once

#include <cstdint>
#include <string>

namespace qv::settings {

inline constexpr const char* kProfileFolderName = "Profile";
// Program folder, then the slot number.
inline constexpr const char* kProfileSlotFileFormat = "%s/Profile/%d.ini";
inline constexpr int kProfileFirstSlot = 1;
inline constexpr int kProfileLastSlot = 5;
// The window's timer that blinks the slot buttons while a save is armed.
inline constexpr uint32_t kProfileBlinkTimerId = 79;
inline constexpr uint32_t kProfileBlinkPeriodMs = 500;
// After a profile is loaded, the window waits this long before it shows the loaded settings.
inline constexpr uint32_t kProfileLoadPauseMs = 100;
// The argument of the window's "apply loaded settings" step after a load.
inline constexpr int kProfileApplyFromSlot = 1;
inline constexpr int kProfileApplyFromDialog = 0;

inline constexpr int kProfileOk = 0;
inline constexpr int kProfileError = -1;

// "<program folder>/Profile".
std::string profileFolder(const std::string& dataFolder);
// The numbered file of a slot; empty for a slot outside 1-5.
std::string profileSlotFile(const std::string& dataFolder, int slot);
// Creates the profile folder (an existing one is fine). kProfileOk or kProfileError.
int createProfileFolder(const std::string& dataFolder);

// Saving and loading a profile file; the application gives the user settings file's writer and
// reader. Both answer a status (0 success, negative failure).
class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    virtual int saveProfile(const std::string& path) = 0;
    // Reads the file and applies it to the cards.
    virtual int loadProfile(const std::string& path) = 0;
};

// What a press on a slot button did.
struct ProfileSlotResult {
    enum class Action { kNone, kSaved, kLoaded };
    Action action = Action::kNone;  // kNone: no such slot, nothing happened
    int status = kProfileOk;        // of the save or load
    std::string path;
};

class ProfileSlots {
public:
    explicit ProfileSlots(std::string dataFolder);

    // The save button: arms a save and starts the blinking.
    void pressSave();
    // A tick of the blink timer: the slot buttons switch between their two images.
    void blinkTick();
    // A slot button (1-5): stops the blinking; saves to the slot's file (creating the profile
    // folder first) when a save is armed, else loads it. The save is disarmed either way. After
    // a load the window applies the loaded settings (kProfileApplyFromSlot), also when the load
    // failed.
    ProfileSlotResult pressSlot(int slot, ProfileStore& store);

    bool saveArmed() const { return saveArmed_; }
    // Whether the blink timer runs.
    bool blinking() const { return blinking_; }
    // Which of the two images the slot buttons show: false is the normal one.
    bool blinkLit() const { return blinkLit_; }
    const std::string& dataFolder() const { return dataFolder_; }

private:
    std::string dataFolder_;
    bool saveArmed_ = false;
    bool blinking_ = false;
    bool blinkLit_ = false;
};

}  // namespace qv::settings
