// The fan speed reference file: one section per GPU with the GPU's device id and the fan speed
// measured at 100 % on this machine, "[Gpu<n>]", "Id=<device id>", "100Speed=<rpm>", in UTF-16LE
// with a byte-order mark and CR LF line ends. Every section holds the same speed: the one
// measured on the GPU that was tested.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qv::fan {

inline constexpr const char* kFanSpeedFileName = "FanSpeed.ini";
inline constexpr const char* kFanSpeedSectionFormat = "Gpu%d";
inline constexpr const char* kFanSpeedIdKey = "Id";
inline constexpr const char* kFanSpeedKey = "100Speed";
// References kept in memory: the first three GPUs.
inline constexpr size_t kFanSpeedReferenceGpus = 3;
// Room for a device id read from the file (the id itself has four characters).
inline constexpr size_t kFanSpeedIdCapacity = 8;

using FanSpeedReferences = std::array<uint32_t, kFanSpeedReferenceGpus>;

// Reads the file and takes, for each GPU whose section's "Id" equals its device id (ignoring
// case), the section's "100Speed" into `references`. A speed that is not a plain decimal number
// that fits 32 bits is not taken. True when at least one reference was taken; false (nothing
// changed) for a missing, unreadable or malformed file.
bool readFanSpeedReferences(const std::string& path, std::span<const std::string> deviceIds,
                            FanSpeedReferences& references);

// The same for file contents already in memory.
bool readFanSpeedReferencesFromBytes(std::string_view bytes, std::span<const std::string> deviceIds,
                                     FanSpeedReferences& references);

// The whole file's bytes for these GPUs (in enumeration order), each with `rpm`.
std::string fanSpeedReferenceFile(std::span<const std::string> deviceIds, uint32_t rpm);

// Writes the file whole (a temporary file renamed over the old one). 0 or the errno that
// stopped it; the old file is then untouched.
int writeFanSpeedReferences(const std::string& path, std::span<const std::string> deviceIds,
                            uint32_t rpm);

}  // namespace qv::fan
