// The requests to end the program that arrive as signals (SIGTERM, SIGINT, SIGHUP), turned into
// a descriptor that an event loop can watch, so that the program ends through its normal path.
#pragma once

namespace qv::platform {

// Installs the handlers once and answers the descriptor that becomes readable when a signal
// arrives; -1 when the system refuses.
int terminationSignalDescriptor();

// The signal that arrived (reading it from the descriptor); 0 when none is waiting.
int takeTerminationSignal();

}  // namespace qv::platform
