// The HDMI audio feature in one place: whether the card's HDMI audio device is there, the
// window's 3200 ms default-device check, and the speaker test (which clip plays on a click or
// on Play, and which speakers are lit). The HDMI page draws this state and forwards its input.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/ClipPlayer.h"
#include "tools/HdmiAudioDevices.h"
#include "tools/HdmiAutoSelect.h"
#include "tools/SoundServer.h"
#include "tools/SpeakerTest.h"

namespace qv::tools {

// Shown on the HDMI page when no HDMI audio device is found. English only: the language table
// has no row for it.
inline constexpr const char* kTextNoHdmiDevice = "No HDMI audio device found";

struct HdmiAudioServices {
    SoundServer* server = nullptr;
    ClipPlayer* player = nullptr;
    // The full path of a shipped clip file, by its name.
    std::function<std::string(const std::string&)> clipPath;
    // The system's playback devices (the sound cards' devices).
    std::function<std::vector<PlaybackDevice>()> playbackDevices = listPlaybackDevices;
};

class HdmiAudio {
public:
    explicit HdmiAudio(HdmiAudioServices services);

    // Looks again for the device, among the sound cards and the sound server's sinks.
    void detect();
    // A sound card's device or a sink of the sound server is the card's HDMI audio.
    bool present() const { return cardFound_ || sinkFound_; }

    // The 3200 ms check. With `autoSelect` off it does nothing (and asks the server nothing);
    // otherwise it asks the server and runs the make-default rule.
    std::optional<AutoSelectStep> check(bool autoSelect);
    // The page's "Auto Select HDMI Device": makes the HDMI audio sink the default now.
    bool selectNow();

    // The speaker a left-button release at a point of the main window asks for; none when the
    // point is on no speaker (or on an edge), and the click is the window's.
    std::optional<size_t> speakerAt(int x, int y) const { return SpeakerTest::speakerAt(x, y); }
    // Plays the speakers' clips one after another and schedules their lights; no answer (and
    // no light) when the clips cannot be read or there is no sound server.
    std::optional<SpeakerTest::Pass> play(const std::vector<size_t>& speakers);
    // Every speaker in table order (the page's Play).
    std::optional<SpeakerTest::Pass> playAll();
    SpeakerTest::Pass highlightTick() { return speakers_.highlightTick(); }

    const SpeakerTest& speakers() const { return speakers_; }

private:
    // Reads the server's state and notes whether it has the HDMI audio sink.
    int readServer(SoundServerState& state);
    void noteCheck(std::optional<AutoSelectStep> step, int serverStatus);

    HdmiAudioServices services_;
    HdmiAutoSelect autoSelect_;
    SpeakerTest speakers_;
    bool cardFound_ = false;
    bool sinkFound_ = false;
    // What the last check found, so that a diagnostic line is written on a change only.
    std::optional<AutoSelectStep> lastStep_;
    int lastServerStatus_ = kSoundServerOk;
};

}  // namespace qv::tools
