#include "platform/DebugOutput.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace qv::platform {

namespace {

// The environment is read once, on first use; a program may turn the channel on later.
std::atomic<bool>& enabledFlag() {
    static std::atomic<bool> enabled{std::getenv(kDebugEnvironment) != nullptr};
    return enabled;
}

}  // namespace

void enableDebugOutput() {
    enabledFlag().store(true, std::memory_order_relaxed);
    // The helper programs started from here (the ROM dump, the fan guard) say what they do too.
    setenv(kDebugEnvironment, "1", 1);
}

bool debugOutputEnabled() {
    return enabledFlag().load(std::memory_order_relaxed);
}

void debugOutput(const char* format, ...) {
    if (!debugOutputEnabled()) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

}  // namespace qv::platform
