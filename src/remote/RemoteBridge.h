// The bridge's process-wide state: three connection slots (0 receives the broadcast packets,
// 1 and 2 are the phone connections), the two client-connected flags, the slot-2-free flag, the
// remote-apply-pending flag and the client time-out (timer 5). It sends the framed packets
// through a transport (the connection component) and queues the phones' commands for the
// user-interface thread. The connection worker and the user-interface thread both use it, so
// every member is behind one lock, and the transport is never called while it is held.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "remote/RemotePacket.h"

namespace qv::remote {

inline constexpr size_t kSlotCount = 3;
inline constexpr size_t kBroadcastSlot = 0;
inline constexpr size_t kFirstClientSlot = 1;
inline constexpr size_t kSecondClientSlot = 2;
// An empty slot.
inline constexpr uint32_t kNoHandle = 0;
// Timer 5: a logged-in client that sends no command for this long times out.
inline constexpr uint32_t kTimerClientTimeOut = 5;
inline constexpr uint64_t kClientTimeOutMs = 30000;
// Shown when a connected client timed out; the same in every language.
inline constexpr const char* kClientOverTimeText = "Client OverTime! ";
// Posted to the user-interface thread when commands wait in the queue.
inline constexpr uint32_t kMessageRemoteCommand = 0x0BE1;
// Commands waiting for the user-interface thread; a phone that sends more waits for replies.
inline constexpr size_t kCommandQueueMax = 16;

// Where the bridge's packets go: the connection component.
class RemoteTransport {
public:
    virtual ~RemoteTransport() = default;
    // Queues `bytes` on the connection `handle`; nothing happens for an unknown handle.
    virtual void send(uint32_t handle, const std::string& bytes) = 0;
    // Closes the connection `handle` after what is queued on it.
    virtual void close(uint32_t handle) = 0;
};

// A checked command from a logged-in phone.
struct RemoteCommand {
    uint32_t handle = kNoHandle;
    uint8_t type = 0;
    std::string body;
};

class RemoteBridge {
public:
    void setTransport(RemoteTransport* transport);

    // ---- Slots and flags (the connection component) --------------------------------------------
    uint32_t slot(size_t index) const;
    void fillSlot(size_t index, uint32_t handle);
    // A connection ended: its slot empties; with no phone left both client flags clear and
    // timer 5 stops.
    void connectionClosed(uint32_t handle);
    // A phone logged in: both client flags set and timer 5 (re)starts at `nowMs`.
    void clientLoggedIn(uint64_t nowMs);
    bool clientConnected() const;
    bool slot2Free() const;

    // ---- Commands ------------------------------------------------------------------------------
    // False when the queue is full (the command is dropped and its connection should close).
    bool pushCommand(RemoteCommand command);
    std::vector<RemoteCommand> takeCommands();

    // ---- Packets -------------------------------------------------------------------------------
    // Types 15, 16 and 32: to slots 0, 1 and 2.
    void sendToAllSlots(uint8_t type);
    // Type 17 with the state file to slots 1 and 2; kStateFileTooLong or kStateFileUnreadable
    // sends nothing.
    int sendStateFile(const std::string& path);
    // Type 17 to one connection (the answer to a phone's command).
    int sendStateFileTo(uint32_t handle, const std::string& path);
    void sendTo(uint32_t handle, const std::string& bytes);

    // ---- Apply ---------------------------------------------------------------------------------
    bool remoteApplyPending() const;
    void setRemoteApplyPending(bool pending);
    // The end of a phone's apply: the flag clears and 15 (succeeded) or 16 goes out.
    void applyResult(bool succeeded);

    // ---- Timer 5 -------------------------------------------------------------------------------
    bool timerRunning() const;
    // A command arrived: the time-out counts from `nowMs` again.
    void noteActivity(uint64_t nowMs);
    // Timer 5 has run its period at `nowMs`.
    bool timerDue(uint64_t nowMs) const;
    // The time-out: type 32 to slots 0-2, slots 1 and 2 closed and emptied, slot 2 marked free;
    // true when a client was connected (the flags clear, the timer stops, and the caller shows
    // kClientOverTimeText).
    bool clientTimeOut();

private:
    mutable std::mutex mutex_;
    RemoteTransport* transport_ = nullptr;
    std::array<uint32_t, kSlotCount> slots_{};
    std::array<bool, 2> clientConnected_{};
    bool slot2Free_ = false;
    bool remoteApplyPending_ = false;
    bool timerRunning_ = false;
    uint64_t lastActivityMs_ = 0;
    std::deque<RemoteCommand> commands_;
};

}  // namespace qv::remote
