// The display-port receiver behind a simulated display, as the auxiliary channel sees it: the
// receiver's capability registers and, on displays with the multi-display adapter, the adapter's
// command mailbox.
#pragma once

#include <array>
#include <cstdint>

#include "SimConfig.h"
#include "SimState.h"

namespace qv::sim {

inline constexpr uint32_t kDpcdCapsFirst = 0x000;
inline constexpr uint32_t kDpcdCapsEnd = 0x100;
inline constexpr uint8_t kDpcdRevision = 0x12;
inline constexpr uint8_t kDpcdMaxLinkRate = 0x14;  // 5.4 Gbit/s per lane
inline constexpr uint8_t kDpcdMaxLaneCount = 0x84;  // 4 lanes, enhanced framing

inline constexpr uint32_t kAdapterFirst = 0x4A0;
inline constexpr uint32_t kAdapterEnd = 0x500;
inline constexpr uint32_t kAdapterMonitors = 0x4A6;
inline constexpr uint32_t kAdapterCapability = 0x4B0;
inline constexpr uint8_t kAdapterMailboxPresent = 0x04;
inline constexpr uint8_t kAdapterUnlocked = 0x01;
inline constexpr uint32_t kAdapterCommand = 0x4B2;
inline constexpr uint32_t kAdapterResult = 0x4B3;
inline constexpr uint8_t kAdapterGo = 0x80;
inline constexpr uint32_t kAdapterLength = 0x4B8;
inline constexpr uint32_t kAdapterOffset = 0x4BC;
inline constexpr uint32_t kAdapterWindow = 0x4C0;
inline constexpr uint32_t kAdapterWindowSize = 32;

inline constexpr uint8_t kAdapterCmdUnlock = 0x01;
inline constexpr uint8_t kAdapterCmdProbe = 0x04;
inline constexpr uint8_t kAdapterCmdInfo = 0x30;
inline constexpr uint8_t kAdapterCmdBezel = 0x60;
inline constexpr const char* kAdapterUnlockCode = "PLINTH";
inline constexpr uint32_t kAdapterInfoSize = 128;
inline constexpr uint32_t kAdapterFirmwareOffset = 95;
inline constexpr uint8_t kBezelHorizontal = 2;
inline constexpr uint8_t kBezelVertical = 3;

inline constexpr uint8_t kResultOk = 0;
inline constexpr uint8_t kResultBadCode = 1;
inline constexpr uint8_t kResultLocked = 2;
inline constexpr uint8_t kResultBadArgument = 3;
inline constexpr uint8_t kResultUnknownCommand = 4;

// Registers the adapter keeps only while the process runs.
struct AdapterRegisters {
    std::array<uint8_t, kAdapterEnd - kAdapterFirst> bytes{};
    uint8_t busyReads = 0;
};

class DisplayPortSink {
public:
    DisplayPortSink(const DisplayConfig& config, DisplayState& state, AdapterRegisters& regs)
        : config_(config), state_(state), regs_(regs) {}

    // 0, or -104 for an address the receiver does not answer. `changed` reports a change of
    // what the adapter keeps across processes (unlock, bezel correction).
    int read(uint32_t address, uint8_t* data, uint32_t size);
    int write(uint32_t address, const uint8_t* data, uint32_t size, bool& changed);

private:
    bool answers(uint32_t address, uint32_t size) const;
    uint8_t readByte(uint32_t address);
    void execute(uint8_t code, bool& changed);
    uint32_t word32(uint32_t address) const;

    const DisplayConfig& config_;
    DisplayState& state_;
    AdapterRegisters& regs_;
};

}  // namespace qv::sim
