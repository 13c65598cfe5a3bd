// Diagnostic lines for developers. Nothing in the program reads them; they appear on standard
// error only when QUORVEL_DEBUG is set, so that normal runs stay quiet.
#pragma once

namespace qv::platform {

void debugOutput(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qv::platform
