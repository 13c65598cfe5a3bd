#include "online/FlashJob.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string_view>

#include "gpu/GpuLayer.h"

namespace qv::online {

namespace {

constexpr std::array<std::string_view, 2> kBiosExtensions = {".rom", ".nvr"};
constexpr int kMinutesPerHour = 60;
constexpr uint32_t kResultMask = 0xFFFF;

bool endsWithNoCase(std::string_view text, std::string_view end) {
    if (text.size() < end.size()) {
        return false;
    }
    return std::equal(end.begin(), end.end(), text.end() - static_cast<ptrdiff_t>(end.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

bool isExecutable(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

bool exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

}  // namespace

std::string resolveFlashTool(const std::string& name, const std::string& programFolder,
                             const std::string& searchPath) {
    if (name.empty() || name.find('/') != std::string::npos) {
        return name;
    }
    if (!programFolder.empty() && isExecutable(programFolder + "/" + name)) {
        return programFolder + "/" + name;
    }
    size_t begin = 0;
    while (begin <= searchPath.size()) {
        size_t end = searchPath.find(':', begin);
        if (end == std::string::npos) {
            end = searchPath.size();
        }
        // An empty entry would mean the current folder; the tool is never taken from there.
        const std::string folder = searchPath.substr(begin, end - begin);
        if (!folder.empty() && folder.front() == '/' && isExecutable(folder + "/" + name)) {
            return folder + "/" + name;
        }
        begin = end + 1;
    }
    return name;
}

bool isBiosFileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string::npos
                                      ? std::string_view(path)
                                      : std::string_view(path).substr(slash + 1);
    return std::any_of(kBiosExtensions.begin(), kBiosExtensions.end(), [&](std::string_view ext) {
        return name.size() > ext.size() && endsWithNoCase(name, ext);
    });
}

std::string savedBiosPath(const std::string& biosFile, uint32_t toolIndex) {
    const std::string stem =
        biosFile + kSavedBiosInfix + std::to_string(toolIndex) + kSavedBiosSuffix;
    std::string path = stem + kSavedBiosExtension;
    for (int copy = 2; exists(path) && copy <= kSavedBiosMaxCopies; ++copy) {
        path = stem + "-" + std::to_string(copy) + kSavedBiosExtension;
    }
    return exists(path) ? std::string() : path;
}

FlashJob::FlashJob(FlashServices services) : services_(std::move(services)) {}

FlashJob::~FlashJob() {
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

bool FlashJob::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

bool FlashJob::start(const FlashRequest& request, Done done) {
    {
        std::lock_guard lock(mutex_);
        if (running_) {
            return false;
        }
        running_ = true;
    }
    // The previous worker has reported; it only has to end.
    if (worker_.joinable()) {
        worker_.join();
    }
    worker_ = std::jthread([this, request, done = std::move(done)](std::stop_token stop) {
        const FlashOutcome outcome = run(request, stop);
        {
            std::lock_guard lock(mutex_);
            running_ = false;
        }
        if (done) {
            done(outcome);
        }
    });
    return true;
}

FlashOutcome FlashJob::run(const FlashRequest& request, std::stop_token stop) {
    FlashOutcome outcome;
    outcome.gpu = request.gpu;
    if (!precheck(request.gpu, outcome) || !saveCurrentBios(request, outcome, stop)) {
        outcome.result = kFlashPrecheckFailed;
        return outcome;
    }
    runTool(request, outcome, stop);
    return outcome;
}

// With one GPU there is nothing to tell apart. With more, every GPU's bus number is read; the
// tool numbers the cards in bus order, so the card's place in that order is its index there.
// GPUs on the same bus number keep the program's order.
bool FlashJob::precheck(uint8_t gpu, FlashOutcome& outcome) {
    gpu::GpuLayer& layer = *services_.layer;
    const uint8_t count = layer.gpuCount();
    if (gpu >= std::max<uint8_t>(count, 1)) {
        outcome.failure = "no GPU " + std::to_string(gpu);
        return false;
    }
    outcome.toolIndex = 0;
    if (count <= 1) {
        return true;
    }
    std::vector<uint32_t> buses(count);
    for (uint8_t g = 0; g < count; ++g) {
        const int status = layer.busId(g, buses[g]);
        if (status != 0) {
            outcome.failure = "bus number of GPU " + std::to_string(g) + " not read (status " +
                              std::to_string(status) + ")";
            return false;
        }
    }
    for (uint8_t g = 0; g < count; ++g) {
        if (buses[g] < buses[gpu] || (buses[g] == buses[gpu] && g < gpu)) {
            ++outcome.toolIndex;
        }
    }
    return true;
}

// The card's present BIOS is written beside the chosen file before anything is flashed, so that
// a flash that goes wrong can be undone with the same tool. No copy, no flash.
bool FlashJob::saveCurrentBios(const FlashRequest& request, FlashOutcome& outcome,
                               std::stop_token stop) {
    outcome.savedBios = savedBiosPath(request.biosFile, outcome.toolIndex);
    if (outcome.savedBios.empty()) {
        outcome.failure = "no free name to save the present BIOS beside " + request.biosFile;
        return false;
    }
    std::vector<std::string> args = services_.romDumpArguments;
    args.push_back(kRomDumpGpuOption + std::to_string(outcome.toolIndex));
    args.push_back(kRomDumpOutputOption + outcome.savedBios);
    std::unique_ptr<platform::WatchedProcess> dump =
        services_.launcher->startWatched(services_.romDumpProgram, args, "");
    if (!dump) {
        outcome.failure = "the ROM-dump helper " + services_.romDumpProgram + " did not start";
        outcome.savedBios.clear();
        return false;
    }
    std::string messages;
    int code = -1;
    platform::ProcessState state = dump->poll(code);
    for (uint32_t waited = 0; state == platform::ProcessState::kRunning &&
                              waited < services_.romDumpLimitMs && !stop.stop_requested();
         waited += kRomDumpPollMs) {
        services_.clock->sleepMs(kRomDumpPollMs);
        dump->readOutput(messages, kFlashOutputLimit);
        state = dump->poll(code);
    }
    dump->readOutput(messages, kFlashOutputLimit);
    if (state != platform::ProcessState::kEnded || code != 0 || !exists(outcome.savedBios)) {
        outcome.failure = "the present BIOS was not saved to " + outcome.savedBios +
                          (messages.empty() ? "" : ": " + messages);
        outcome.savedBios.clear();
        return false;
    }
    return true;
}

void FlashJob::runTool(const FlashRequest& request, FlashOutcome& outcome, std::stop_token stop) {
    const int startMinute = services_.localTime->now().minute;
    outcome.toolArguments = {kFlashIndexOption + std::to_string(outcome.toolIndex)};
    outcome.toolArguments.insert(outcome.toolArguments.end(), kFlashToolOptions.begin(),
                                 kFlashToolOptions.end());
    outcome.toolArguments.push_back(request.biosFile);
    std::unique_ptr<platform::WatchedProcess> tool =
        services_.launcher->startWatched(services_.toolProgram, outcome.toolArguments, "");
    if (!tool) {
        outcome.failure = "the flash tool " + services_.toolProgram + " did not start";
        outcome.result = kFlashToolNotStarted;
        return;
    }
    outcome.toolStarted = true;
    services_.clock->sleepMs(kFlashStartWaitMs);

    int lastCode = -1;  // none read yet
    int code = 0;
    platform::ProcessState state = platform::ProcessState::kRunning;
    for (;;) {
        tool->readOutput(outcome.output, kFlashOutputLimit);
        state = tool->poll(code);
        if (state == platform::ProcessState::kUnknown) {
            break;
        }
        lastCode = state == platform::ProcessState::kEnded ? code : kFlashStillRunning;
        if (state == platform::ProcessState::kEnded || stop.stop_requested()) {
            break;
        }
        services_.clock->sleepMs(kFlashAnswerPeriodMs);
        tool->writeInput(kFlashAnswer);
        if (minutesSince(startMinute) > kFlashTimeLimitMinutes) {
            // A tool that ended during the last wait still reports its own code.
            tool->readOutput(outcome.output, kFlashOutputLimit);
            state = tool->poll(code);
            if (state == platform::ProcessState::kEnded) {
                lastCode = code;
            }
            break;
        }
    }
    tool->readOutput(outcome.output, kFlashOutputLimit);
    // A tool left running sees the end of its input: it gets no more answers from here. It is
    // not stopped, as stopping it while it writes could leave the card without a BIOS.
    tool->closeInput();
    outcome.stillRunning = state == platform::ProcessState::kRunning;
    outcome.result = lastCode < 0 ? kFlashToolNotStarted
                                  : static_cast<int>(static_cast<uint32_t>(lastCode) & kResultMask);
}

int FlashJob::minutesSince(int startMinute) {
    int minute = services_.localTime->now().minute;
    if (minute < startMinute) {
        minute += kMinutesPerHour;
    }
    return minute - startMinute;
}

}  // namespace qv::online
