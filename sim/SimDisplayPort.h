// The display-port receiver behind a simulated display, as the auxiliary channel sees it: the
// receiver's capability registers and, on displays with the multi-display adapter, the adapter's
// command mailbox.
#pragma once

#include <array>
#include <cstdint>

#include "SimConfig.h"
#include "gpu/DisplayPortAdapter.h"
#include "SimState.h"

namespace qv::sim {

inline constexpr uint32_t kDpcdCapsFirst = 0x000;
inline constexpr uint32_t kDpcdCapsEnd = 0x100;
inline constexpr uint8_t kDpcdRevision = 0x12;
inline constexpr uint8_t kDpcdMaxLinkRate = 0x14;  // 5.4 Gbit/s per lane
inline constexpr uint8_t kDpcdMaxLaneCount = 0x84;  // 4 lanes, enhanced framing

// The adapter's registers, as the program names them (gpu/DriverTypes.h).
inline constexpr uint32_t kAdapterFirst = 0x4A0;
inline constexpr uint32_t kAdapterEnd = 0x500;
inline constexpr uint32_t kAdapterMonitors = drv::kDpcdAdapterMonitors;
inline constexpr uint32_t kAdapterCapability = drv::kDpcdAdapterCapability;
inline constexpr uint8_t kAdapterMailboxPresent = drv::kAdapterCapMailboxPresent;
inline constexpr uint8_t kAdapterUnlocked = drv::kAdapterCapUnlocked;
inline constexpr uint32_t kAdapterCommand = drv::kDpcdAdapterCommand;
inline constexpr uint32_t kAdapterResult = drv::kDpcdAdapterCommand + 1;
inline constexpr uint8_t kAdapterGo = drv::kAdapterCommandGo;
inline constexpr uint32_t kAdapterLength = drv::kDpcdAdapterLength;
inline constexpr uint32_t kAdapterOffset = drv::kDpcdAdapterOffset;
inline constexpr uint32_t kAdapterWindow = drv::kDpcdAdapterData;
inline constexpr uint32_t kAdapterWindowSize = 32;

inline constexpr uint8_t kAdapterCmdUnlock = drv::kAdapterCommandUnlock;
inline constexpr uint8_t kAdapterCmdProbe = drv::kAdapterCommandProbe;
inline constexpr uint8_t kAdapterCmdInfo = drv::kAdapterCommandInfo;
inline constexpr uint8_t kAdapterCmdBezel = drv::kAdapterCommandBezel;
inline constexpr const char* kAdapterUnlockCode = drv::kAdapterUnlockCode;
inline constexpr uint32_t kAdapterInfoSize = 128;
inline constexpr uint32_t kAdapterFirmwareOffset = drv::kAdapterFirmwareOffset;
inline constexpr uint8_t kBezelHorizontal = drv::kAdapterBezelHorizontal;
inline constexpr uint8_t kBezelVertical = drv::kAdapterBezelVertical;

inline constexpr uint8_t kResultOk = 0;
inline constexpr uint8_t kResultBadCode = 1;
inline constexpr uint8_t kResultLocked = 2;
inline constexpr uint8_t kResultBadArgument = 3;
inline constexpr uint8_t kResultUnknownCommand = 4;

// Registers the adapter keeps only while the process runs.
struct AdapterRegisters {
    std::array<uint8_t, kAdapterEnd - kAdapterFirst> bytes{};
    uint32_t busyReads = 0;
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
