// The commands of qvctl and the pieces they share: exit codes, strict number parsing and the
// text blocks that describe a GPU.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "gpu/GpuLayer.h"
#include "gpu/Units.h"
#include "tuning/PowerReadout.h"

namespace qv::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;        // bad command line
inline constexpr int kExitDriver = 2;       // the driver library could not be loaded or used
inline constexpr int kExitUnsupported = 3;  // the system is not supported
inline constexpr int kExitFailed = 4;       // a hardware operation failed
// remote: no connection to the program, or the login failed.
inline constexpr int kExitRemote = 5;
// fan-test: the fan is more than 10 % slower than its reference.
inline constexpr int kExitFanSlower = 3;

inline constexpr const char* kProgramName = "qvctl";
inline constexpr const char* kJsonOption = "--json";

// How `list` and `status` write their answer: text blocks, or JSON (see docs/qvctl.md).
enum class OutputFormat { kText, kJson };
inline constexpr const char* kNotAvailable = "n/a";

// Parses a decimal number without sign, spaces or trailing characters, at most `maximum`.
bool parseUnsigned(std::string_view text, uint32_t maximum, uint32_t& value);
// Parses a decimal number with an optional sign, within -limit..limit.
bool parseSigned(std::string_view text, int32_t limit, int32_t& value);

// Parses a GPU index and checks it against the layer's GPU count; prints the reason on failure.
bool parseGpuIndex(std::string_view text, const gpu::GpuLayer& layer, uint8_t& gpu);

// Name of a fan controller kind as the documentation lists it.
const char* fanControllerName(gpu::FanControllerKind kind);
// Name of a clock level kind: "2D", "3D Low", "3D PERF", "4th level"; "none" for 0.
const char* levelKindName(int kind);

// printf into a string.
#if defined(__GNUC__)
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
#else
std::string format(const char* pattern, ...);
#endif
// "  key: value\n".
void appendLine(std::string& out, const std::string& key, const std::string& value);
// A value given in thousandths, as a decimal without trailing zeros: 1012500 -> "1012.5".
std::string thousandthsText(int64_t thousandths);
// The same with a sign on non-zero values: "+50", "-12.5", "0".
std::string signedThousandthsText(int64_t thousandths);

// Board power from the board's own measuring chips (one object per process).
using BoardPower = tuning::BoardPower;

// "GPU n" and the board facts, one "  key: value" line each.
std::string formatBoard(gpu::GpuLayer& layer, uint8_t gpu);
// "GPU n" and the live readings, one "  key: value" line each; unreadable values are "n/a".
std::string formatStatus(gpu::GpuLayer& layer, uint8_t gpu, BoardPower& power);

// Every GPU's board block, with the GPU count first.
int runList(gpu::GpuLayer& layer, std::FILE* out, OutputFormat format);
// `args` are the words after the command name in each of these.
int runStatus(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out,
              OutputFormat format);
int runFan(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);
int runFanTest(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);
int runClocks(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);
int runSetClocks(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);
int runOffset(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);
int runPowerLimit(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);
int runSaveSettings(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);
int runApplySettings(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);
// `password set`: needs no driver; the passwords come from `in`.
inline constexpr const char* kPasswordCommand = "password";
int runPassword(const std::vector<std::string>& args, std::FILE* in, std::FILE* out);
// `check-update`: needs no driver. Exit 0 no newer version, kExitNewerVersion a newer one,
// kExitNetworkFailed when the version file could not be fetched.
inline constexpr const char* kCheckUpdateCommand = "check-update";
inline constexpr int kExitNetworkFailed = 2;
inline constexpr int kExitNewerVersion = 10;
int runCheckUpdate(const std::vector<std::string>& args, std::FILE* out);
// `remote HOST[:PORT] COMMAND`: needs no driver; the password comes from a file or `in`.
inline constexpr const char* kRemoteCommand = "remote";
int runRemote(const std::vector<std::string>& args, std::FILE* in, std::FILE* out);
// Serves the GPUs' readings for Prometheus until SIGINT or SIGTERM.
int runExporter(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);
// The monitor log of every GPU, one line per period (see docs/qvctl.md).
int runLog(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out);

// Prints a message prefixed with the program name on standard error.
void reportError(const std::string& message);
// Prints "what failed (driver status N)" and answers kExitFailed.
int reportDriverFailure(const std::string& what, int status);

}  // namespace qv::cli
