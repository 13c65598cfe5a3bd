// The commands of qvctl and the pieces they share: exit codes, strict number parsing and the
// text blocks that describe a GPU.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "gpu/GpuLayer.h"

namespace qv::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;        // bad command line
inline constexpr int kExitDriver = 2;       // the driver library could not be loaded or used
inline constexpr int kExitUnsupported = 3;  // the system is not supported
inline constexpr int kExitFailed = 4;       // a hardware operation failed

inline constexpr const char* kProgramName = "qvctl";
inline constexpr const char* kNotAvailable = "n/a";

// Parses a decimal number without sign, spaces or trailing characters, at most `maximum`.
bool parseUnsigned(std::string_view text, uint32_t maximum, uint32_t& value);

// Parses a GPU index and checks it against the layer's GPU count; prints the reason on failure.
bool parseGpuIndex(std::string_view text, const gpu::GpuLayer& layer, uint8_t& gpu);

// Name of a fan controller kind as the documentation lists it.
const char* fanControllerName(gpu::FanControllerKind kind);

// "GPU n" and the board facts, one "  key: value" line each.
std::string formatBoard(gpu::GpuLayer& layer, uint8_t gpu);
// "GPU n" and the live readings, one "  key: value" line each; unreadable values are "n/a".
std::string formatStatus(gpu::GpuLayer& layer, uint8_t gpu);

// Every GPU's board block, with the GPU count first.
int runList(gpu::GpuLayer& layer, std::FILE* out);
// `args` are the words after "status".
int runStatus(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);
// `args` are the words after "fan".
int runFan(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);

// Prints a message prefixed with the program name on standard error.
void reportError(const std::string& message);

}  // namespace qv::cli
