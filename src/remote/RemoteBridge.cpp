#include "remote/RemoteBridge.h"

#include "remote/RemoteStateFiles.h"

namespace qv::remote {

void RemoteBridge::setTransport(RemoteTransport* transport) {
    std::lock_guard lock(mutex_);
    transport_ = transport;
}

uint32_t RemoteBridge::slot(size_t index) const {
    std::lock_guard lock(mutex_);
    return index < kSlotCount ? slots_[index] : kNoHandle;
}

void RemoteBridge::fillSlot(size_t index, uint32_t handle) {
    std::lock_guard lock(mutex_);
    if (index < kSlotCount) {
        slots_[index] = handle;
        if (index == kSecondClientSlot && handle != kNoHandle) {
            slot2Free_ = false;
        }
    }
}

void RemoteBridge::connectionClosed(uint32_t handle) {
    if (handle == kNoHandle) {
        return;
    }
    std::lock_guard lock(mutex_);
    for (uint32_t& held : slots_) {
        if (held == handle) {
            held = kNoHandle;
        }
    }
    if (slots_[kFirstClientSlot] == kNoHandle && slots_[kSecondClientSlot] == kNoHandle) {
        clientConnected_ = {false, false};
        timerRunning_ = false;
    }
}

void RemoteBridge::clientLoggedIn(uint64_t nowMs) {
    std::lock_guard lock(mutex_);
    clientConnected_ = {true, true};
    timerRunning_ = true;
    lastActivityMs_ = nowMs;
}

bool RemoteBridge::clientConnected() const {
    std::lock_guard lock(mutex_);
    return clientConnected_[0] && clientConnected_[1];
}

bool RemoteBridge::slot2Free() const {
    std::lock_guard lock(mutex_);
    return slot2Free_;
}

bool RemoteBridge::pushCommand(RemoteCommand command) {
    std::lock_guard lock(mutex_);
    if (commands_.size() >= kCommandQueueMax) {
        return false;
    }
    commands_.push_back(std::move(command));
    return true;
}

std::vector<RemoteCommand> RemoteBridge::takeCommands() {
    std::lock_guard lock(mutex_);
    std::vector<RemoteCommand> taken(std::make_move_iterator(commands_.begin()),
                                     std::make_move_iterator(commands_.end()));
    commands_.clear();
    return taken;
}

void RemoteBridge::sendToAllSlots(uint8_t type) {
    std::array<uint32_t, kSlotCount> slots{};
    RemoteTransport* transport = nullptr;
    {
        std::lock_guard lock(mutex_);
        slots = slots_;
        transport = transport_;
    }
    if (transport == nullptr) {
        return;
    }
    const std::string packet = encodePacket(type);
    for (const uint32_t handle : slots) {
        if (handle != kNoHandle) {
            transport->send(handle, packet);
        }
    }
}

int RemoteBridge::sendStateFile(const std::string& path) {
    std::string bytes;
    const int status = readStateFile(path, bytes);
    if (status != kStateFileOk) {
        return status;
    }
    const std::string packet = encodePacket(kTypeStateFile, bytes);
    for (const size_t index : {kFirstClientSlot, kSecondClientSlot}) {
        const uint32_t handle = slot(index);
        if (handle != kNoHandle) {
            sendTo(handle, packet);
        }
    }
    return kStateFileOk;
}

int RemoteBridge::sendStateFileTo(uint32_t handle, const std::string& path) {
    std::string bytes;
    const int status = readStateFile(path, bytes);
    if (status == kStateFileOk) {
        sendTo(handle, encodePacket(kTypeStateFile, bytes));
    }
    return status;
}

void RemoteBridge::sendTo(uint32_t handle, const std::string& bytes) {
    RemoteTransport* transport = nullptr;
    {
        std::lock_guard lock(mutex_);
        transport = transport_;
    }
    if (transport != nullptr && handle != kNoHandle) {
        transport->send(handle, bytes);
    }
}

bool RemoteBridge::remoteApplyPending() const {
    std::lock_guard lock(mutex_);
    return remoteApplyPending_;
}

void RemoteBridge::setRemoteApplyPending(bool pending) {
    std::lock_guard lock(mutex_);
    remoteApplyPending_ = pending;
}

void RemoteBridge::applyResult(bool succeeded) {
    setRemoteApplyPending(false);
    sendToAllSlots(succeeded ? kTypeApplySucceeded : kTypeApplyFailed);
}

bool RemoteBridge::timerRunning() const {
    std::lock_guard lock(mutex_);
    return timerRunning_;
}

void RemoteBridge::noteActivity(uint64_t nowMs) {
    std::lock_guard lock(mutex_);
    lastActivityMs_ = nowMs;
}

bool RemoteBridge::timerDue(uint64_t nowMs) const {
    std::lock_guard lock(mutex_);
    return timerRunning_ && nowMs - lastActivityMs_ >= kClientTimeOutMs;
}

bool RemoteBridge::clientTimeOut() {
    sendToAllSlots(kTypeClientTimeOut);
    std::array<uint32_t, 2> closing{};
    RemoteTransport* transport = nullptr;
    bool wasConnected = false;
    {
        std::lock_guard lock(mutex_);
        closing = {slots_[kFirstClientSlot], slots_[kSecondClientSlot]};
        // Both client slots end up empty. Moving slot 2's handle into slot 1 after closing it
        // would leave slot 1 naming a closed connection, whose number a later connection may
        // reuse, so later packets would reach a stranger.
        slots_[kFirstClientSlot] = kNoHandle;
        slots_[kSecondClientSlot] = kNoHandle;
        slot2Free_ = true;
        wasConnected = clientConnected_[0];
        if (wasConnected) {
            clientConnected_ = {false, false};
            timerRunning_ = false;
        }
        transport = transport_;
    }
    if (transport != nullptr) {
        for (const uint32_t handle : closing) {
            if (handle != kNoHandle) {
                transport->close(handle);
            }
        }
    }
    return wasConnected;
}

}  // namespace qv::remote
