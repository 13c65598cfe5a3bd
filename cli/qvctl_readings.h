// What `list` and `status` read from a GPU, as typed values: read once, then written as text
// blocks or as JSON. A value that could not be read is empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "JsonWriter.h"
#include "gpu/GpuLayer.h"
#include "tuning/PowerReadout.h"

namespace qv::cli {

struct ChipFact {
    size_t slot = 0;
    uint32_t port = 0;
    uint32_t address = 0;  // 8-bit device address
    const char* role = "";
};

struct BoardFacts {
    uint8_t gpu = 0;
    std::optional<std::string> name;
    std::optional<std::string> deviceId;  // 4 lower-case hexadecimal digits
    std::optional<std::string> biosVersion;
    std::vector<std::string> families;  // "A", "B", "C"
    bool keplerClass = false;
    bool hotKey = false;
    int clockTableStatus = 0;  // the driver's status; 0 when the table is usable
    gpu::FanControllerKind fanController = gpu::kFanDriverCooler;
    bool fanLevelInRpm = false;  // else percent
    std::vector<ChipFact> chips;
    std::optional<int64_t> memorySizeMiB;
    std::optional<std::string> memoryType;
    std::optional<int64_t> busWidthBits;
    std::optional<int64_t> cudaCores;
};

struct StatusReadings {
    uint8_t gpu = 0;
    std::optional<int64_t> levelKind;
    std::optional<int64_t> graphicsMHz;  // rounded from kHz
    std::optional<int64_t> memoryMHz;
    std::optional<int64_t> shaderMHz;
    // The same clocks as the driver gives them, for readers that need them exact.
    std::optional<int64_t> graphicsKHz;
    std::optional<int64_t> memoryKHz;
    std::optional<int64_t> shaderKHz;
    std::optional<int64_t> coreMillivolts;
    std::optional<int64_t> celsius;
    std::optional<bool> fanManual;
    std::optional<int64_t> fanLevel;  // in the unit fanLevelInRpm names
    bool fanLevelInRpm = false;
    std::optional<int64_t> fanRpm;
    std::optional<int64_t> loadPercent;
    std::optional<int64_t> boardWatts;
};

BoardFacts readBoard(gpu::GpuLayer& layer, uint8_t gpu);
StatusReadings readStatus(gpu::GpuLayer& layer, uint8_t gpu, tuning::BoardPower& power);

// The text blocks of `list` and `status`: "GPU n", then one "  key: value" line per value.
std::string formatBoard(const BoardFacts& facts);
std::string formatStatus(const StatusReadings& readings);

// The same as JSON objects, written into an array or under a key of `json`.
void writeBoardJson(JsonWriter& json, const BoardFacts& facts);
void writeStatusJson(JsonWriter& json, const StatusReadings& readings);

// The driver's status of an unusable clock table that means "no level of any kind".
bool clockTableHasNoUsableLevel(int status);

}  // namespace qv::cli
