// What an Apply run tells the phone bridge: whether the phone asked for the run, its result
// when it did, and a locally requested run that succeeded (the phone's state files then follow).
#pragma once

namespace qv::tuning {

class ApplyRemoteLink {
public:
    virtual ~ApplyRemoteLink() = default;
    virtual bool remoteApplyPending() const = 0;
    // The phone's run ended: clears the request and sends the phone its reply.
    virtual void remoteApplyDone(bool succeeded) = 0;
    // A run the user started succeeded.
    virtual void localApplyDone() = 0;
};

}  // namespace qv::tuning
