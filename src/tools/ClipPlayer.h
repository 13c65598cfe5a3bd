// Plays the speaker test's clips through the sound server: one 7.1 stream to the default sink,
// each clip on its speaker's channel and silence on the others, the clips one after another.
// The stream is written on a thread of the player's own, so the window never waits for it.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tools/SpeakerTest.h"
#include "tools/WaveClip.h"

namespace qv::tools {

inline constexpr int kPlayOk = 0;
inline constexpr int kPlayNoServer = -1;  // the stream could not be opened
inline constexpr int kPlayBadClip = -2;   // nothing to play, or clips of different rates

struct ClipPart {
    SpeakerPosition position = SpeakerPosition::kFrontLeft;
    WaveClip clip;
};

class ClipPlayer {
public:
    // `serverAddress` names the server ("unix:/path/native"); empty for the desktop's own.
    explicit ClipPlayer(std::string serverAddress = {});
    ~ClipPlayer();
    ClipPlayer(const ClipPlayer&) = delete;
    ClipPlayer& operator=(const ClipPlayer&) = delete;

    // Stops what is playing, then starts the parts. The stream is opened before this returns,
    // so a missing server is reported here. The stream that played before ends on its own
    // thread: a server may hold a write for a good part of a second, and the window does not
    // wait for that.
    int play(std::vector<ClipPart> parts);
    // Ends the playing stream and waits for its thread.
    void stop();
    bool playing() const { return current_ && current_->playing.load(); }

private:
    struct Run {
        std::atomic<bool> playing{true};
        std::jthread thread;
    };
    // Asks the current stream to end, without waiting; ended runs are joined on the way.
    void retire();

    std::string serverAddress_;
    std::unique_ptr<Run> current_;
    std::vector<std::unique_ptr<Run>> retired_;
};

}  // namespace qv::tools
