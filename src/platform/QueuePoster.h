// A poster that queues messages for a thread that drains them itself (the command-line tool,
// tests); the window implements its own on top of its event loop.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/Poster.h"

namespace qv::platform {

struct PostedMessage {
    uint32_t threadId = 0;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

class QueuePoster final : public Poster {
public:
    bool postThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) override;
    // The oldest message, waiting at most `timeoutMs` for one to arrive.
    std::optional<PostedMessage> take(uint32_t timeoutMs);
    size_t pending() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<PostedMessage> queue_;
};

}  // namespace qv::platform
