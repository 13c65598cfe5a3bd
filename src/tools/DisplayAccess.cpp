#include "tools/DisplayAccess.h"

#include <algorithm>
#include <cstring>

#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"

namespace qv::tools {

int DisplayAccess::start() {
    std::lock_guard guard(lock_);
    if (state_ == State::kShutDown) {
        return kDisplayAccessShutDown;
    }
    enumerateLocked();
    state_ = State::kStarted;
    return drv::kOk;
}

void DisplayAccess::enumerateLocked() {
    displays_.clear();
    for (const uint32_t enumId :
         {drv::kEnumNvidiaDisplayHandle, drv::kEnumNvidiaUnattachedDisplayHandle}) {
        for (uint32_t index = 0; displays_.size() < kMaxDisplays; ++index) {
            drv::DisplayHandle handle = nullptr;
            if (driver_.call<drv::EnumNvidiaDisplayHandleFn>(enumId, index, &handle) != drv::kOk) {
                break;
            }
            Entry entry{handle, 0};
            drv::DisplayPortInfo info{};
            info.version = drv::kDisplayPortInfoVersion;
            if (driver_.call<drv::GetDisplayPortInfoFn>(drv::kGetDisplayPortInfo, handle, 0u,
                                                        &info) == drv::kOk) {
                entry.id = info.displayId;
            }
            displays_.push_back(entry);
        }
    }
}

void DisplayAccess::shutDown() {
    std::lock_guard guard(lock_);
    state_ = State::kShutDown;
    displays_.clear();
}

size_t DisplayAccess::displayCount() const {
    std::lock_guard guard(lock_);
    return displays_.size();
}

int DisplayAccess::usable(size_t index, Entry& entry) const {
    if (state_ == State::kNotStarted) {
        return kDisplayAccessNotStarted;
    }
    if (state_ == State::kShutDown) {
        return kDisplayAccessShutDown;
    }
    if (index >= displays_.size()) {
        return drv::kInvalidArgument;
    }
    entry = displays_[index];
    return drv::kOk;
}

int DisplayAccess::transfer(const Entry& entry, uint32_t operation, uint32_t address,
                            uint8_t* data, uint32_t size) {
    while (size > 0) {
        const uint32_t piece = std::min(size, kAuxTransferBytes);
        drv::DpAuxChannel request{};
        request.version = drv::kDpAuxChannelVersion;
        request.displayId = entry.id;
        request.operation = operation;
        request.address = address;
        request.size = piece;
        if (operation == drv::kDpAuxOpWrite) {
            std::memcpy(request.data, data, piece);
        }
        const int status = driver_.call<drv::DispDpAuxChannelControlFn>(
            drv::kDispDpAuxChannelControl, entry.handle, &request);
        if (status != drv::kOk) {
            if (drv::needsReenumeration(status)) {
                enumerateLocked();
            }
            return status;
        }
        if (operation == drv::kDpAuxOpRead) {
            std::memcpy(data, request.data, piece);
        }
        address += piece;
        data += piece;
        size -= piece;
    }
    return drv::kOk;
}

int DisplayAccess::readDpcd(size_t index, uint32_t address, uint8_t* data, uint32_t size) {
    std::lock_guard guard(lock_);
    Entry entry;
    if (const int status = usable(index, entry); status != drv::kOk) {
        return status;
    }
    return transfer(entry, drv::kDpAuxOpRead, address, data, size);
}

int DisplayAccess::writeDpcd(size_t index, uint32_t address, const uint8_t* data, uint32_t size) {
    std::lock_guard guard(lock_);
    Entry entry;
    if (const int status = usable(index, entry); status != drv::kOk) {
        return status;
    }
    // The transfer only reads from the buffer when it writes.
    return transfer(entry, drv::kDpAuxOpWrite, address, const_cast<uint8_t*>(data), size);
}

int DisplayAccess::displayId(size_t index, uint32_t& id) const {
    std::lock_guard guard(lock_);
    Entry entry;
    if (const int status = usable(index, entry); status != drv::kOk) {
        return status;
    }
    id = entry.id;
    return drv::kOk;
}

int DisplayAccess::tryCustomDisplay(size_t index, const drv::CustomDisplay& display) {
    std::lock_guard guard(lock_);
    Entry entry;
    if (const int status = usable(index, entry); status != drv::kOk) {
        return status;
    }
    const uint32_t id = entry.id;
    drv::CustomDisplay copy = display;
    copy.version = drv::kCustomDisplayVersion;
    return driver_.call<drv::DispTryCustomDisplayFn>(drv::kDispTryCustomDisplay,
                                                    static_cast<const uint32_t*>(&id), 1u, &copy);
}

int DisplayAccess::saveCustomDisplay(size_t index) {
    std::lock_guard guard(lock_);
    Entry entry;
    if (const int status = usable(index, entry); status != drv::kOk) {
        return status;
    }
    const uint32_t id = entry.id;
    return driver_.call<drv::DispSaveCustomDisplayFn>(
        drv::kDispSaveCustomDisplay, static_cast<const uint32_t*>(&id), 1u, 1u, 1u);
}

}  // namespace qv::tools
