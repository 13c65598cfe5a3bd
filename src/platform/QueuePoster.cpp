#include "platform/QueuePoster.h"

#include <chrono>

namespace qv::platform {

bool QueuePoster::postThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam,
                                    intptr_t lParam) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({threadId, message, wParam, lParam});
    }
    arrived_.notify_all();
    return true;
}

std::optional<PostedMessage> QueuePoster::take(uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return !queue_.empty(); })) {
        return std::nullopt;
    }
    PostedMessage m = queue_.front();
    queue_.pop_front();
    return m;
}

size_t QueuePoster::pending() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

}  // namespace qv::platform
