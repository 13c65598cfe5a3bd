// What a simulated card remembers between calls and between processes: clocks and offsets
// written, cooler policy, power limit, chip registers, settings, and the physical snapshot with
// the model time it belongs to. Kept as a text file (SimStateStore) so that every process that
// loads the simulated driver sees the same cards.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "SimConfig.h"

namespace qv::sim {

inline constexpr uint32_t kStateFormat = 1;
inline constexpr size_t kChipRegisterCount = 256;
inline constexpr uint32_t kCoolerPolicyManual = 1;
inline constexpr int32_t kNoPinnedTemperature = -1000;

struct ChipState {
    std::array<uint8_t, kChipRegisterCount> regs{};
};

struct GpuState {
    std::vector<std::vector<uint32_t>> clockKHz;  // current frequency per level and clock
    std::vector<uint32_t> levelMv;  // core voltage per level, as the voltage table sets it
    int32_t graphicsOffsetKHz = 0;
    int32_t memoryOffsetKHz = 0;
    int32_t voltageOffsetUv = 0;
    uint32_t coolerPolicy = 0;  // kCoolerPolicyManual or an automatic policy
    uint32_t coolerLevel = 0;   // the manual level
    uint32_t powerLimit = 0;    // thousandths of a percent
    uint32_t load = 0;
    int32_t pinnedTempC = kNoPinnedTemperature;
    double temperatureC = 0.0;
    double fanRpm = 0.0;
    std::array<ChipState, kSlotCount> chips{};
};

struct DisplayState {
    bool unlocked = false;
    uint8_t bezelHorizontal = 0;
    uint8_t bezelVertical = 0;
    uint32_t savedModes = 0;
    bool trialActive = false;
};

struct SimState {
    uint64_t configHash = 0;
    int64_t modelNs = 0;        // model time at the anchor (or now, when frozen)
    int64_t anchorRealNs = 0;   // wall-clock time the model time was taken at
    bool frozen = false;
    int64_t physicsNs = 0;      // model time of the physical snapshot
    uint32_t drsFrameRate = 0;
    std::vector<GpuState> gpus;
    std::vector<DisplayState> displays;
};

// The state of freshly powered cards for `config`; with `settle`, temperature and fan are brought
// to rest for the starting load.
SimState initialState(const SimConfig& config, uint64_t configHash, int64_t realNowNs,
                      bool settle = true);

std::string serializeState(const SimState& state);

// Reads a state written by serializeState for the same configuration. Answers -1 with a reason
// for text that does not fit the configuration (another configuration, another format, damage).
int parseState(std::string_view text, const SimConfig& config, SimState& out, std::string& error);

}  // namespace qv::sim
