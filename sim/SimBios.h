// The video BIOS image of a simulated board: an option ROM with the usual header, the PCI data
// structure naming the board, the board's version text and filler, checksummed to zero.
#pragma once

#include <cstdint>
#include <vector>

#include "SimConfig.h"

namespace qv::sim {

inline constexpr uint8_t kRomSignature0 = 0x55;
inline constexpr uint8_t kRomSignature1 = 0xAA;
inline constexpr size_t kRomPciDataPointer = 0x18;
inline constexpr size_t kRomPciDataOffset = 0x60;
inline constexpr size_t kRomBoardTextOffset = 0x80;
inline constexpr size_t kRomVersionTextOffset = 0x120;
inline constexpr uint8_t kRomClassDisplay = 0x03;
inline constexpr uint8_t kRomLastImage = 0x80;

std::vector<uint8_t> biosImage(const GpuConfig& gpu);

}  // namespace qv::sim
