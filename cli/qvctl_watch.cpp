#include "qvctl_watch.h"

#include <algorithm>
#include <thread>

#include "qvctl_commands.h"

namespace qv::cli {
namespace {

// How often a waiting loop looks at the stop flag.
constexpr auto kStopPollSlice = std::chrono::milliseconds(50);

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) {
    stopRequested = 1;
}

}  // namespace

bool optionValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
                 std::string& value, bool& matched) {
    const std::string& word = args[i];
    matched = false;
    if (word == name) {
        matched = true;
        if (i + 1 >= args.size()) {
            reportError(name + " needs a value");
            return false;
        }
        value = args[++i];
        return true;
    }
    if (word.rfind(name + "=", 0) == 0) {
        matched = true;
        value = word.substr(name.size() + 1);
        return true;
    }
    return true;
}

bool waitUntil(std::chrono::steady_clock::time_point deadline) {
    while (stopRequested == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return true;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(deadline - now, kStopPollSlice));
    }
    return false;
}

StopSignals::StopSignals() {
    stopRequested = 0;
    oldInterrupt_ = std::signal(SIGINT, requestStop);
    oldTerminate_ = std::signal(SIGTERM, requestStop);
#ifdef SIGPIPE
    // A closed reader ends the loop through the failed write instead of killing the process.
    oldPipe_ = std::signal(SIGPIPE, SIG_IGN);
#endif
}

StopSignals::~StopSignals() {
    std::signal(SIGINT, oldInterrupt_);
    std::signal(SIGTERM, oldTerminate_);
#ifdef SIGPIPE
    std::signal(SIGPIPE, oldPipe_);
#endif
}

}  // namespace qv::cli
