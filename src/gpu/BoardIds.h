// PCI device IDs that decide a board's family, chips and clock handling.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace qv::gpu {

inline constexpr std::array<uint16_t, 6> kFamilyA = {0x05E0, 0x05E2, 0x05E3,
                                                     0x05E6, 0x0A65, 0x0CA3};
inline constexpr std::array<uint16_t, 18> kFamilyB = {
    0x0A20, 0x0A60, 0x0A65, 0x0CA3, 0x06CD, 0x06C0, 0x06C4, 0x0E22, 0x0DC4,
    0x1080, 0x1081, 0x1200, 0x1201, 0x1244, 0x0DE0, 0x0DE1, 0x1245, 0x1205};
inline constexpr std::array<uint16_t, 20> kFamilyC = {
    0x06CD, 0x06C0, 0x06C4, 0x0E22, 0x0DC4, 0x1080, 0x1081, 0x1200, 0x1201, 0x1244,
    0x0DE0, 0x0DE1, 0x1245, 0x1205, 0x1180, 0x1189, 0x0FC1, 0x1188, 0x0F00, 0x104A};
inline constexpr std::array<uint16_t, 3> kSlot2ProbeSet = {0x05E2, 0x05E3, 0x05E6};
inline constexpr std::array<uint16_t, 3> kSlot7ProbeSet = {0x0E22, 0x1200, 0x1244};
inline constexpr std::array<uint16_t, 3> kSlot3ProbeSet = {0x0CA3, 0x0DE0, 0x0DE1};
// Boards whose slot-3 step regulator takes the narrow step range.
inline constexpr std::array<uint16_t, 2> kNarrowStepBoards = {0x0DE0, 0x0DE1};
inline constexpr std::array<uint16_t, 5> kSlot6ProbeSet = {0x0E22, 0x1200, 0x1244, 0x1080,
                                                           0x1180};
inline constexpr std::array<uint16_t, 4> kKeplerClass = {0x1180, 0x1189, 0x0FC1, 0x1188};
inline constexpr std::array<uint16_t, 3> kHotKeyBoards = {0x1180, 0x1189, 0x1188};
// Boards whose 2D and 3D Low levels swap places in the level selection.
inline constexpr std::array<uint16_t, 2> kSwappedLowLevels = {0x1180, 0x1189};

inline constexpr uint16_t kDevice0E22 = 0x0E22;
inline constexpr uint16_t kDevice0DC4 = 0x0DC4;
inline constexpr uint16_t kDevice1188 = 0x1188;

template <size_t N>
constexpr bool inSet(const std::array<uint16_t, N>& set, uint32_t device) {
    return std::find(set.begin(), set.end(), device) != set.end();
}

// Memory type codes as the driver reports them, with their display names.
inline constexpr std::array<const char*, 10> kMemoryTypeNames = {
    "UNKNOWN", "SDRAM", "DDR1", "DDR2", "GDDR2", "GDDR3", "GDDR4", "DDR3", "GDDR5", "LPDDR2"};

constexpr const char* memoryTypeName(uint32_t code) {
    return code < kMemoryTypeNames.size() ? kMemoryTypeNames[code] : kMemoryTypeNames[0];
}

}  // namespace qv::gpu
