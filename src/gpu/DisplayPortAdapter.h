// What the program and the driver library agree on about the multi-display adapter: its command
// mailbox in the DPCD registers of the DisplayPort output it sits on, and the timing record the
// display tool hands to the driver's custom-display calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv::drv {

// ---- The adapter's command mailbox (multi-byte registers are little-endian) -----------------
inline constexpr uint32_t kDpcdAdapterMonitors = 0x4A6;     // monitors across, 1 byte
inline constexpr uint32_t kDpcdAdapterCapability = 0x4B0;   // 2 bytes
inline constexpr uint8_t kAdapterCapMailboxPresent = 0x04;  // byte 0
inline constexpr uint8_t kAdapterCapUnlocked = 0x01;        // byte 1
// Written: the command code with kAdapterCommandGo. Read back: byte 0 the code with
// kAdapterCommandGo as the busy bit, byte 1 the result (0 success).
inline constexpr uint32_t kDpcdAdapterCommand = 0x4B2;
inline constexpr uint8_t kAdapterCommandGo = 0x80;
inline constexpr uint32_t kDpcdAdapterLength = 0x4B8;  // the command data's length
inline constexpr uint32_t kDpcdAdapterOffset = 0x4BC;  // the command data's offset
inline constexpr uint32_t kDpcdAdapterData = 0x4C0;    // the data window

inline constexpr uint8_t kAdapterCommandUnlock = 0x01;
inline constexpr uint8_t kAdapterCommandProbe = 0x04;
inline constexpr uint8_t kAdapterCommandInfo = 0x30;
inline constexpr uint8_t kAdapterCommandBezel = 0x60;
inline constexpr const char* kAdapterUnlockCode = "PLINTH";
inline constexpr uint32_t kAdapterProbeLength = 2;
inline constexpr uint32_t kAdapterFirmwareOffset = 95;  // within the information block
inline constexpr uint32_t kAdapterFirmwareLength = 13;
inline constexpr uint8_t kAdapterBezelHorizontal = 2;
inline constexpr uint8_t kAdapterBezelVertical = 3;

// ---- The words of CustomTiming that carry a value; the others are 0 -------------------------
inline constexpr size_t kTimingHorizontalVisible = 0;
inline constexpr size_t kTimingHorizontalTotal = 1;
inline constexpr size_t kTimingHorizontalSyncWidth = 2;
inline constexpr size_t kTimingHorizontalFrontPorch = 3;
inline constexpr size_t kTimingHorizontalSyncPolarity = 4;
inline constexpr size_t kTimingVerticalVisible = 5;
inline constexpr size_t kTimingVerticalTotal = 6;
inline constexpr size_t kTimingVerticalSyncWidth = 7;
inline constexpr size_t kTimingVerticalFrontPorch = 8;
inline constexpr size_t kTimingVerticalSyncPolarity = 9;
inline constexpr size_t kTimingPixelClockHz = 10;

}  // namespace qv::drv
