// What the hardware layer knows about one GPU.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "gpu/DriverTypes.h"
#include "gpu/Units.h"

namespace qv::gpu {

// Which path drives a GPU's fan.
enum FanControllerKind : int32_t {
    kFanDriverCooler = 0,
    kFanDriverCoolerPaused = 1,  // driver cooler, 20 ms pause before each access; slot-1 chip
    kFanSlot1Chip = 2,
    kFanSlot0Chip = 3,
    kFanNoCooler = 4,
};

// I2C chip slots and where each one sits on the GPU's bus.
enum I2cSlot : uint8_t {
    kSlotFanChip0 = 0,
    kSlotFanChip1 = 1,
    kSlotRegulator2 = 2,
    kSlotRegulator3 = 3,
    kSlotUnused4 = 4,
    kSlotRegulator5 = 5,
    kSlotRegulator6 = 6,
    kSlotRegulator7 = 7,
    kSlotChip8 = 8,
    kSlotPowerMonitor9 = 9,
    kSlotPowerMonitor10 = 10,
    kSlotPowerMonitor11 = 11,
    kSlotWireless = 12,  // the wireless display module, looked for when asked
};
inline constexpr size_t kI2cSlotCount = 15;
inline constexpr size_t kI2cPortedSlots = 12;
inline constexpr std::array<uint8_t, kI2cPortedSlots> kI2cSlotPorts = {2, 2, 3, 2, 3, 2,
                                                                       0, 0, 0, 0, 0, 0};

struct I2cDeviceSlot {
    uint8_t port = 0;
    uint8_t address = 0;  // 0: no chip
    uint8_t scratch[32] = {};
};

// Level kinds of the per-level clock table, and their index in per-kind arrays (order 1, 3, 2).
inline constexpr int kLevelKind2D = 1;
inline constexpr int kLevelKind3DPerf = 2;
inline constexpr int kLevelKind3DLow = 3;
inline constexpr int kLevelKindFour = 4;
// What the current-level read gives for a level of none of the kinds.
inline constexpr int kNoLevelKind = 0;
inline constexpr std::array<int, 3> kLevelKindOrder = {kLevelKind2D, kLevelKind3DLow,
                                                       kLevelKind3DPerf};
// Index of a kind (1, 3, 2) in the per-kind arrays; -1 for any other kind.
constexpr int levelKindIndex(int kind) {
    switch (kind) {
        case kLevelKind2D:
            return 0;
        case kLevelKind3DLow:
            return 1;
        case kLevelKind3DPerf:
            return 2;
        default:
            return -1;
    }
}
// Index of a kind (1, 2) in the slot-2 regulator's code registers; -1 for a kind without one.
constexpr int slot2RegisterIndex(int kind) {
    return kind == kLevelKind2D ? 0 : kind == kLevelKind3DPerf ? 1 : -1;
}

// Clock domain selectors of the limits operations.
inline constexpr int kSelectorGraphics = 0;
inline constexpr int kSelectorMemory = 1;
inline constexpr int kSelectorProcessor = 2;

struct ClockRange {
    uint32_t minKHz = 0;
    uint32_t maxKHz = 0;
};

inline constexpr uint32_t kFanCapabilityTachometer = 0x1;
inline constexpr uint32_t kFanCapability32 = 32;
inline constexpr uint32_t kFanCapability64 = 64;

struct GpuRecord {
    drv::PhysicalGpuHandle handle = nullptr;
    drv::DisplayHandle display = nullptr;
    int32_t cachedFanLevel = -1;
    int32_t savedFanConfig = -1;
    std::array<I2cDeviceSlot, kI2cSlotCount> slots{};
    std::array<bool, 3> levelKindPresent{};  // kinds 1, 3, 2
    bool processorDomainPresent = false;
    int clockTableStatus = 0;  // the clock table's scan at initialisation; not 0: unreadable
    bool memoryWriteAs1000 = false;
    FanControllerKind fanKind = kFanDriverCooler;
    uint32_t fanCapability = 0;
    drv::CoolerSettings coolers{};
    std::unique_ptr<std::timed_mutex> i2cMutex;
    // clockLimits[kind index][selector]
    std::array<std::array<ClockRange, 3>, 3> clockLimits{};
    // Fan-chip parameters. The last two words double as the fan duty range (maximum, minimum)
    // in percent on boards that use the driver cooler.
    uint8_t fanTempLow = 50;
    uint8_t fanTempHigh = 75;
    uint32_t fanRpm75 = 0;
    uint32_t fanRpmFull = 0;
    uint32_t fanRpm51 = 0;
    std::string deviceIdText;           // 4 hexadecimal digits, e.g. "0e22"
    std::string biosVersion;            // up to 16 characters
    std::array<float, 3> boostRatio{};  // kinds 1, 3, 2
    bool familyA = false;
    bool familyB = false;
    bool familyC = false;
    bool fourLevelTable = false;
    bool device0E22 = false;
    bool device0DC4 = false;
    uint32_t memoryType = 0;
    uint32_t busWidth = 0;
    bool fanCurveEnabled = false;
    bool keplerClass = false;
    bool hotKeyBoard = false;
    bool device1188 = false;
    // Code register of the slot-2 regulator per level kind (index 0: kind 1, 1: kind 2); 0 until
    // learnt.
    std::array<uint8_t, 2> regulatorCodeRegister{};
    // The last good slot-0 current reading, returned when a read fails.
    float lastSlot0Current = 0.0f;
    bool haveSlot0Current = false;

    bool hasChip(I2cSlot slot) const { return slots[slot].address != 0; }
    uint32_t deviceId() const;

    // Whether the clock table has a level of kind 1, 2 or 3.
    bool hasLevelKind(int kind) const {
        const int index = levelKindIndex(kind);
        return index >= 0 && levelKindPresent[static_cast<size_t>(index)];
    }
    // Whether the clock table has a level of `kind`, the fourth level included: that one is
    // known once the current level has been read.
    bool hasTableLevel(int kind) const {
        return kind == kLevelKindFour ? fourLevelTable : hasLevelKind(kind);
    }
    // The first kind the table has, in the order 1, 3, 2; kNoLevelKind for none.
    int firstPresentLevelKind() const {
        for (const int kind : kLevelKindOrder) {
            if (hasLevelKind(kind)) {
                return kind;
            }
        }
        return kNoLevelKind;
    }
    // The slot-0 fan chip takes a speed in rpm; every other cooler a level in percent.
    bool fanSetInRpm() const { return fanKind == kFanSlot0Chip; }
    // Whether a level in the controller's unit converts to and from percent through the fan's
    // full speed: a fan set in rpm whose full speed is known.
    bool fanLevelScaled() const { return fanSetInRpm() && fanRpmFull != 0; }
    // A level in the controller's unit as percent of the full speed, and back.
    int32_t fanLevelToPercent(int64_t level) const {
        return fanLevelScaled() ? percentOf(level, fanRpmFull) : static_cast<int32_t>(level);
    }
    uint32_t percentToFanLevel(uint32_t percent) const {
        return fanLevelScaled() ? partOf(percent, fanRpmFull) : percent;
    }
    // The slot-2 regulator's code register of a kind (1 or 2); 0 while not learnt, and for any
    // other kind.
    uint8_t regulatorCodeRegisterOf(int kind) const {
        const int index = slot2RegisterIndex(kind);
        return index < 0 ? 0 : regulatorCodeRegister[static_cast<size_t>(index)];
    }
};

inline constexpr size_t kBiosVersionMaxChars = 16;

}  // namespace qv::gpu
