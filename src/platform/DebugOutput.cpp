#include "platform/DebugOutput.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace qv::platform {

void debugOutput(const char* format, ...) {
    static const bool enabled = std::getenv("QUORVEL_DEBUG") != nullptr;
    if (!enabled) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

}  // namespace qv::platform
