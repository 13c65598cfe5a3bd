// Time source of the program: tick count and sleeping. Tests drive a fake one.
#pragma once

#include <cstdint>

namespace qv::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, monotonic.
    virtual uint64_t tickMs() = 0;
    virtual void sleepMs(uint32_t ms) = 0;
};

// The real monotonic clock.
class SystemClock final : public Clock {
public:
    uint64_t tickMs() override;
    void sleepMs(uint32_t ms) override;
    static SystemClock& instance();
};

}  // namespace qv::platform
