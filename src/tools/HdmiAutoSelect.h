// Making the HDMI audio output the desktop's default playback sink, as the window's 3200 ms
// check does while the option for it is on. The output is made the default once; when it is the
// default (made so by the program or found so), the check is done for this run of the program,
// so a user who picks another default afterwards keeps it.
#pragma once

#include "tools/SoundServer.h"

namespace qv::tools {

enum class AutoSelectStep {
    kNoHdmiSink,      // the server has no HDMI audio sink (or could not be asked)
    kAlreadyDefault,  // it was the default already; nothing was changed
    kMadeDefault,     // it is now the default
    kSetFailed,       // the server refused; the next check tries again
    kDone,            // done earlier in this run; the default is the user's
};

class HdmiAutoSelect {
public:
    // One check on what the server reported in `state`.
    AutoSelectStep run(const SoundServerState& state, SoundServer& server);
    bool done() const { return done_; }

private:
    bool done_ = false;
};

// Makes the HDMI audio sink of `state` the default now, whatever came before (the page's
// button); false when there is none or the server refused.
bool selectHdmiSinkNow(const SoundServerState& state, SoundServer& server);

}  // namespace qv::tools
