// A short tone to draw the user's attention.
#pragma once

#include <cstdint>

namespace qv::platform {

class Beeper {
public:
    virtual ~Beeper() = default;
    // Starts a tone of `hertz` for `milliseconds` without waiting for it to end; false when no
    // sound could be made.
    virtual bool beep(uint32_t hertz, uint32_t milliseconds) = 0;
};

// The console speaker at the asked pitch where the process may drive it, else the terminal bell
// of the controlling terminal.
class ConsoleBeeper final : public Beeper {
public:
    bool beep(uint32_t hertz, uint32_t milliseconds) override;
    static ConsoleBeeper& instance();
};

}  // namespace qv::platform
