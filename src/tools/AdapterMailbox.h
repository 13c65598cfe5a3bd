// Commands to the multi-display adapter through its mailbox in the DPCD registers of the
// display it sits on: the data goes into the data window, offset and length into their
// registers, then the command code with the go bit; the adapter clears the busy bit when it is
// done and leaves its result beside the code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/Clock.h"
#include "tools/DisplayAccess.h"

namespace qv::tools {

// A command whose busy bit did not clear in time.
inline constexpr int kMailboxTimedOut = -1;

// How a caller talks to the mailbox.
struct MailboxStyle {
    uint32_t registerBytes;  // how many bytes of the length and offset registers are written
    uint32_t pieceBytes;     // the most data one command moves; 0: all of it at once
    uint32_t busyLimitMs;    // how long the busy bit may stay set
    uint32_t pollPauseMs;    // the pause between two reads of the command register
};

// The options dialog's probe: four-byte registers, 32-byte pieces, up to 10 s per command.
inline constexpr MailboxStyle kProbeMailbox{4, 32, 10000, 10};
// The display tool's own commands: two-byte registers, whole commands. A box that has not
// answered within 2 s is taken as gone, so that the window does not hang on it for long.
inline constexpr MailboxStyle kToolMailbox{2, 0, 2000, 5};

class AdapterMailbox {
public:
    AdapterMailbox(DisplayAccess& displays, size_t display, platform::Clock& clock,
                   MailboxStyle style)
        : displays_(displays), display_(display), clock_(clock), style_(style) {}

    // Every command answers 0 on success, the adapter's own non-zero result code, the failed
    // transfer's (negative) driver status, or kMailboxTimedOut.
    int writeCommand(uint8_t code, uint32_t offset, std::span<const uint8_t> data);
    int readCommand(uint8_t code, uint32_t offset, std::span<uint8_t> data);

    // Command 1 with the unlock code.
    int unlock();
    // Unlock, then the firmware version text (trailing blanks and zero bytes removed).
    int readFirmwareVersion(std::string& text);

    // The capability register: whether the mailbox is there and whether it is unlocked.
    int readCapability(bool& present, bool& unlocked);
    // The adapter's monitors across, as the register holds it.
    int readMonitorCount(uint8_t& count);

private:
    int writeRegister(uint32_t address, uint32_t value);
    int go(uint8_t code);

    DisplayAccess& displays_;
    size_t display_;
    platform::Clock& clock_;
    MailboxStyle style_;
};

}  // namespace qv::tools
