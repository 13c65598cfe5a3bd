// Hands messages from worker threads to the user-interface thread.
#pragma once

#include <cstdint>

namespace qv::platform {

class Poster {
public:
    virtual ~Poster() = default;
    // Queues a thread message for the thread with the given identifier; false when it cannot.
    virtual bool postThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam,
                                   intptr_t lParam) = 0;
};

}  // namespace qv::platform
