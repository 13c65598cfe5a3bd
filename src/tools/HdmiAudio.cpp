#include "tools/HdmiAudio.h"

#include <utility>

#include "platform/DebugOutput.h"

namespace qv::tools {

HdmiAudio::HdmiAudio(HdmiAudioServices services) : services_(std::move(services)) {}

void HdmiAudio::detect() {
    cardFound_ = services_.playbackDevices && hasHdmiAudio(services_.playbackDevices());
    SoundServerState state;
    readServer(state);
}

int HdmiAudio::readServer(SoundServerState& state) {
    const int status =
        services_.server != nullptr ? services_.server->readState(state) : kSoundServerUnavailable;
    sinkFound_ = status == kSoundServerOk && findHdmiAudioSink(state) != nullptr;
    return status;
}

std::optional<AutoSelectStep> HdmiAudio::check(bool autoSelect) {
    if (!autoSelect || services_.server == nullptr) {
        return std::nullopt;
    }
    SoundServerState state;
    const int status = readServer(state);
    const AutoSelectStep step = autoSelect_.run(state, *services_.server);
    noteCheck(step, status);
    return step;
}

void HdmiAudio::noteCheck(std::optional<AutoSelectStep> step, int serverStatus) {
    if (step == lastStep_ && serverStatus == lastServerStatus_) {
        return;
    }
    lastStep_ = step;
    lastServerStatus_ = serverStatus;
    if (serverStatus != kSoundServerOk) {
        platform::debugOutput("HDMI audio: no sound server (%d)\n", serverStatus);
    } else if (step) {
        platform::debugOutput("HDMI audio: default-device check %d\n", static_cast<int>(*step));
    }
}

bool HdmiAudio::selectNow() {
    SoundServerState state;
    if (services_.server == nullptr || readServer(state) != kSoundServerOk) {
        return false;
    }
    return selectHdmiSinkNow(state, *services_.server);
}

std::optional<SpeakerTest::Pass> HdmiAudio::play(const std::vector<size_t>& speakers) {
    if (services_.player == nullptr || services_.server == nullptr || !services_.clipPath) {
        return std::nullopt;
    }
    std::vector<ClipPart> parts;
    for (size_t speaker : speakers) {
        if (speaker >= kSpeakerCount) {
            return std::nullopt;
        }
        ClipPart part;
        part.position = kSpeakerTable[speaker].position;
        const std::string path = services_.clipPath(kSpeakerTable[speaker].clip);
        const int read = readWaveClip(path, part.clip);
        if (read != kWaveOk) {
            platform::debugOutput("HDMI audio: clip %s not read (%d)\n", path.c_str(), read);
            return std::nullopt;
        }
        parts.push_back(std::move(part));
    }
    // The stream is opened only where a server answers, so that none is ever started for it.
    SoundServerState state;
    if (readServer(state) != kSoundServerOk) {
        return std::nullopt;
    }
    const int played = services_.player->play(std::move(parts));
    if (played != kPlayOk) {
        platform::debugOutput("HDMI audio: clips not played (%d)\n", played);
        return std::nullopt;
    }
    return speakers_.startLights(speakers);
}

std::optional<SpeakerTest::Pass> HdmiAudio::playAll() {
    std::vector<size_t> all;
    for (size_t i = 0; i < kSpeakerCount; ++i) {
        all.push_back(i);
    }
    return play(all);
}

}  // namespace qv::tools
