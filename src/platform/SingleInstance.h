// One running program per machine. The first start holds a machine-wide lock for the life of
// the process and listens on a local socket; a later start of the same user tells it to show its
// window and ends, a start of another user is refused.
//
// Messages travel as one line each: "show" (show the window normally and bring it to the
// front) or a message number in decimal (e.g. "2025", open the advanced panel).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace qv::platform {

inline constexpr const char* kInstanceName = "QVHD_App_Mutex";
inline constexpr const char* kInstanceFolderEnvironment = "QUORVEL_LOCK_DIR";
inline constexpr const char* kInstanceDefaultFolder = "/tmp";

// Results of acquire().
inline constexpr int kInstanceOnly = 0;            // this is the only instance; the lock is ours
inline constexpr int kInstanceBroughtForward = 1;  // another instance runs and was told to show
inline constexpr int kInstanceUnavailable = 2;     // the lock cannot be had (another user holds it)

// Messages between instances.
inline constexpr uint32_t kInstanceShowWindow = 1;
inline constexpr uint32_t kInstanceOpenAdvanced = 2025;

class SingleInstance {
public:
    virtual ~SingleInstance() = default;
    // Takes the lock, or tells the holder to show its window. One of the results above.
    virtual int acquire() = 0;
    // Readable when another start has sent something; -1 while this process holds no lock.
    virtual int listenDescriptor() const = 0;
    // The messages waiting, oldest first; never blocks for long.
    virtual std::vector<uint32_t> takeMessages() = 0;
};

// A lock file taken with flock() in a folder every user can reach, and an AF_UNIX socket whose
// name is derived from the lock file's path.
class PosixSingleInstance final : public SingleInstance {
public:
    static constexpr uint32_t kConnectWaitMs = 2000;  // the holder may still be starting
    static constexpr uint32_t kConnectRetryMs = 50;
    static constexpr int kReadWaitMs = 200;  // for a sender's whole line
    static constexpr size_t kMaxLineBytes = 32;
    static constexpr int kMaxSendersPerTake = 16;  // the rest wait for the next call

    // `folder`: where the lock file lives; empty means $QUORVEL_LOCK_DIR, else /tmp.
    explicit PosixSingleInstance(std::string folder = {}, Clock& clock = SystemClock::instance());
    ~PosixSingleInstance() override;
    PosixSingleInstance(const PosixSingleInstance&) = delete;
    PosixSingleInstance& operator=(const PosixSingleInstance&) = delete;

    int acquire() override;
    int listenDescriptor() const override { return listenFd_; }
    std::vector<uint32_t> takeMessages() override;

    // Sends one message to the running instance of this user. False when there is none, it
    // belongs to another user, or it cannot be reached.
    bool sendToRunning(uint32_t message);

    const std::string& lockPath() const { return lockPath_; }

private:
    int connectToHolder(uint32_t waitMs, bool& otherUser);
    std::string readLine(int fd);
    bool startListening();

    std::string lockPath_;
    Clock& clock_;
    int lockFd_ = -1;
    int listenFd_ = -1;
};

// Whether a connection comes from the user this process runs as: only when the system could
// tell who the peer is (`peerKnown`) and it is that same user.
bool instancePeerAccepted(bool peerKnown, uint32_t peerUid, uint32_t ownUid);

// The line that carries a message, without its line end; empty for a message that has none.
std::string instanceMessageLine(uint32_t message);
// The message a received line stands for; false for anything else.
bool parseInstanceMessageLine(const std::string& line, uint32_t& message);

}  // namespace qv::platform
