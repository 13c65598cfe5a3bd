// The fan guard: a small process the program starts when one of its rules first drives a fan.
// It reads what the program tells it on its standard input and, when the program dies without
// saying goodbye (a crash, SIGKILL), returns the listed fans to the driver's automatic control
// through the same driver library, then ends.
//
// The program's messages are text lines:
//   driver <library path>     the driver library the program loaded (first)
//   fans [<gpu> ...]          the GPUs whose fans a rule drives now (the whole list each time)
//   bye                       the program ends and has left no fan to return
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::app {

inline constexpr const char* kFanGuardProgramName = "qv-fan-guard";

// The lines the program sends.
std::string fanGuardDriverLine(const std::string& libraryPath);
std::string fanGuardFansLine(const std::vector<uint8_t>& gpus);
std::string fanGuardByeLine();

// The guard's view of what the program said, fed with the bytes as they arrive.
class FanGuardWatch {
public:
    // Takes any number of bytes; complete lines take effect, the rest waits for its end. A line
    // that cannot be understood, or one beyond kMaxLineBytes, is ignored.
    void feed(std::string_view bytes);

    bool saidGoodbye() const { return goodbye_; }
    const std::string& driverLibrary() const { return driver_; }
    const std::vector<uint8_t>& gpus() const { return gpus_; }
    // The program is gone without a goodbye and left fans to return.
    bool fansToReturn() const { return !goodbye_ && !driver_.empty() && !gpus_.empty(); }

    static constexpr size_t kMaxLineBytes = 4096;

private:
    void takeLine(std::string_view line);

    std::string pending_;
    bool overlong_ = false;
    bool goodbye_ = false;
    std::string driver_;
    std::vector<uint8_t> gpus_;
};

// Loads `libraryPath` through the program's loader and hardware layer (with the probe done, so
// that each fan is reached the way the program reached it) and sets each listed GPU's fan to
// automatic. 0 when every one answered success, else the first failure (1 when the driver
// could not be brought up).
int returnFansToAutomatic(const std::string& libraryPath, const std::vector<uint8_t>& gpus);

}  // namespace qv::app
