// Whether a multi-display adapter answers on any display: the options dialog shows its group
// for the adapter only when this succeeds.
#pragma once

#include <string>

#include "gpu/DriverLoader.h"
#include "platform/Clock.h"

namespace qv::tools {

// Unlocks each display's mailbox with the unlock code and reads the firmware version through
// it (probe style: four-byte registers, 32-byte pieces, 10 s per command), until one answers.
// 0 with `firmware` set, or the last failure: a driver status, the adapter's result code, or
// kMailboxTimedOut (also when no display is there to ask).
int probeAdapter(drv::DriverLoader& driver, platform::Clock& clock, std::string& firmware);

}  // namespace qv::tools
