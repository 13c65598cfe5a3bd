// What the commands that repeat (status --watch, log) share: options with a value, the stop
// request of Ctrl-C or a terminating signal, and waiting on a fixed grid of periods.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::cli {

// A repeat period in milliseconds: at least a tenth of a second, at most a day.
inline constexpr uint32_t kMinRepeatMs = 100;
inline constexpr uint32_t kMaxRepeatMs = 86400000;
inline constexpr uint32_t kMaxRepeatCount = 1000000000;

// Accepts "--name VALUE" and "--name=VALUE"; advances `i` past what it used. False (with the
// reason printed) when the value is missing; `matched` says whether args[i] was this option.
bool optionValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
                 std::string& value, bool& matched);

// Waits until `deadline` or a stop request; false when stopped.
bool waitUntil(std::chrono::steady_clock::time_point deadline);

// Installs the stop handlers for the length of a repeating command and puts the old ones back.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    using Handler = void (*)(int);
    Handler oldInterrupt_ = SIG_DFL;
    Handler oldTerminate_ = SIG_DFL;
#ifdef SIGPIPE
    Handler oldPipe_ = SIG_DFL;
#endif
};

}  // namespace qv::cli
