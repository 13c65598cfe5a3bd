// Diagnostic lines for developers. Nothing in the program reads them; they appear on standard
// error only when the channel is on, so that normal runs stay quiet. The channel is on when
// QUORVEL_DEBUG is set, or once a program turns it on (its --verbose option).
#pragma once

namespace qv::platform {

inline constexpr const char* kDebugEnvironment = "QUORVEL_DEBUG";

void debugOutput(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Turns the channel on for the rest of the process, whatever the environment says, and for the
// programs it starts afterwards (through QUORVEL_DEBUG). Call it before other threads run.
void enableDebugOutput();
bool debugOutputEnabled();

}  // namespace qv::platform
