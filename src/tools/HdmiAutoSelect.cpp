#include "tools/HdmiAutoSelect.h"

namespace qv::tools {

AutoSelectStep HdmiAutoSelect::run(const SoundServerState& state, SoundServer& server) {
    if (done_) {
        return AutoSelectStep::kDone;
    }
    const SoundSink* hdmi = findHdmiAudioSink(state);
    if (hdmi == nullptr) {
        return AutoSelectStep::kNoHdmiSink;
    }
    if (state.defaultSink == hdmi->name) {
        done_ = true;
        return AutoSelectStep::kAlreadyDefault;
    }
    if (server.setDefaultSink(hdmi->name) != kSoundServerOk) {
        return AutoSelectStep::kSetFailed;
    }
    done_ = true;
    return AutoSelectStep::kMadeDefault;
}

bool selectHdmiSinkNow(const SoundServerState& state, SoundServer& server) {
    const SoundSink* hdmi = findHdmiAudioSink(state);
    return hdmi != nullptr && server.setDefaultSink(hdmi->name) == kSoundServerOk;
}

}  // namespace qv::tools
