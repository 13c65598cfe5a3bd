// Writing a new video BIOS into one card with the vendor's command-line flash tool. The job runs
// on a worker thread of its own: it checks that the card can be told apart from the others, saves
// the card's current BIOS beside the chosen file, starts the tool for the card and the file,
// answers the tool's yes/no questions on its standard input while it runs, and reports one result
// code when it is done.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/LocalTime.h"
#include "platform/ProcessLauncher.h"

namespace qv::gpu {
class GpuLayer;
}

namespace qv::online {

// The tool's name when the settings store names none (the Linux build of the vendor's tool).
inline constexpr const char* kDefaultFlashTool = "nvflash";

// Result codes: 0 success; any other is a failure. Besides the tool's own exit codes:
inline constexpr int kFlashOk = 0;
inline constexpr int kFlashPrecheckFailed = 1;
inline constexpr int kFlashToolNotStarted = 2;
// The tool was still running when the job stopped waiting for it.
inline constexpr int kFlashStillRunning = 259;

// The tool's options besides the card index: passed on unchanged.
inline constexpr const char* kFlashIndexOption = "--index=";
inline constexpr std::array<const char*, 3> kFlashToolOptions = {"-4", "-5", "-6"};
// What answers any yes/no question the tool asks, and how often it is sent.
inline constexpr const char* kFlashAnswer = "y\n";
inline constexpr uint32_t kFlashAnswerPeriodMs = 800;
// How long the tool is given to start before it is first asked about.
inline constexpr uint32_t kFlashStartWaitMs = 500;
// The job stops waiting once more than this many minutes of the clock have begun since the
// start (by the minute of the local time, so 58 + 4 = 62 ends it).
inline constexpr int kFlashTimeLimitMinutes = 3;
// The most of the tool's output that is kept for the log.
inline constexpr size_t kFlashOutputLimit = 64 * 1024;

// The ROM-dump helper's options for a card other than the first and an output file of choice.
inline constexpr const char* kRomDumpGpuOption = "--gpu=";
inline constexpr const char* kRomDumpOutputOption = "--output=";
inline constexpr uint32_t kRomDumpPollMs = 100;
inline constexpr uint32_t kRomDumpLimitMs = 30000;
// The saved BIOS: "<chosen file>.gpu<N>-saved.rom", or with "-2", "-3", … before ".rom" when
// that exists, so an earlier copy is never overwritten.
inline constexpr const char* kSavedBiosInfix = ".gpu";
inline constexpr const char* kSavedBiosSuffix = "-saved";
inline constexpr const char* kSavedBiosExtension = ".rom";
inline constexpr int kSavedBiosMaxCopies = 1000;

struct FlashRequest {
    uint8_t gpu = 0;       // the program's GPU index
    std::string biosFile;  // the image to write
};

struct FlashOutcome {
    uint8_t gpu = 0;
    int result = kFlashPrecheckFailed;  // what the notice carries (low 16 bits)
    // The card's place among the GPUs in PCI bus order: the tool's --index.
    uint32_t toolIndex = 0;
    std::vector<std::string> toolArguments;
    bool toolStarted = false;
    // The job stopped waiting while the tool still ran; the tool was left running.
    bool stillRunning = false;
    std::string savedBios;  // where the card's BIOS was saved before the flash
    std::string output;     // what the tool wrote, for the log
    std::string failure;    // why the job failed before or while starting the tool
};

struct FlashServices {
    gpu::GpuLayer* layer = nullptr;
    platform::ProcessLauncher* launcher = &platform::PosixProcessLauncher::instance();
    platform::Clock* clock = &platform::SystemClock::instance();
    platform::LocalTimeSource* localTime = &platform::SystemLocalTime::instance();
    std::string toolProgram;                    // the tool, as resolveFlashTool finds it
    std::string romDumpProgram;                 // the ROM-dump helper
    std::vector<std::string> romDumpArguments;  // e.g. its option for the simulated driver
    uint32_t romDumpLimitMs = kRomDumpLimitMs;  // how long the helper is given
};

// The tool to start for `name`: a name with a '/' is taken as it is; otherwise the program's
// own folder is searched first, then each folder of `searchPath` (a PATH value). A name found
// nowhere is returned unchanged, so that starting it fails and the job reports 2.
std::string resolveFlashTool(const std::string& name, const std::string& programFolder,
                             const std::string& searchPath);

// A file name the job accepts as a BIOS image: one that ends in .rom or .nvr, in any case.
bool isBiosFileName(const std::string& path);

// The first free name for the saved BIOS of `toolIndex`'s card beside `biosFile`.
std::string savedBiosPath(const std::string& biosFile, uint32_t toolIndex);

class FlashJob {
public:
    using Done = std::function<void(const FlashOutcome&)>;

    explicit FlashJob(FlashServices services);
    // Asks a running worker to stop waiting for the tool (which is left running) and joins it.
    ~FlashJob();
    FlashJob(const FlashJob&) = delete;
    FlashJob& operator=(const FlashJob&) = delete;

    // Starts the worker and returns at once; `done` is called on the worker with the outcome.
    // False, and nothing started, while a flash runs.
    bool start(const FlashRequest& request, Done done);
    bool running() const;

    // One flash on the calling thread, start to end.
    FlashOutcome run(const FlashRequest& request, std::stop_token stop = {});

private:
    bool precheck(uint8_t gpu, FlashOutcome& outcome);
    bool saveCurrentBios(const FlashRequest& request, FlashOutcome& outcome, std::stop_token stop);
    void runTool(const FlashRequest& request, FlashOutcome& outcome, std::stop_token stop);
    // Minutes since `startMinute` by the local clock's minute, across the hour.
    int minutesSince(int startMinute);

    FlashServices services_;
    mutable std::mutex mutex_;
    bool running_ = false;
    std::jthread worker_;
};

}  // namespace qv::online
