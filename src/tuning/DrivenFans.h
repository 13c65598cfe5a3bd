// The fans that the program's own rules hold in manual mode: a temperature rule (Custom, the
// curve, Silent, Performance, the associated rule) or the hot-key fan boost wrote the last level
// they have. Nothing follows the temperature once the program is gone, so on every ending these
// fans go back to the driver's automatic control; a level the user applied by hand stays. A guard
// outside the process (see FanGuardLink) is told the list, for endings the program cannot act on.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "gpu/GpuLayer.h"

namespace qv::tuning {

// Hears each change of the list; the guard's end of the program.
class FanGuardLink {
public:
    virtual ~FanGuardLink() = default;
    // The GPUs whose fans a rule drives now (ascending; empty when none).
    virtual void drivenFansChanged(const std::vector<uint8_t>& gpus) = 0;
    // The program ends with no fan left to return: the guard goes without touching anything.
    virtual void farewell() = 0;
};

class DrivenFans {
public:
    explicit DrivenFans(FanGuardLink* link = nullptr) : link_(link) {}

    // A rule or the boost wrote a level to the GPU's fan.
    void ruleDrives(uint8_t gpu);
    // The fan went back to automatic, or the user set its level by hand: not the rules' any more.
    void handedBack(uint8_t gpu);
    bool drives(uint8_t gpu) const { return gpu < gpu::kMaxGpus && driven_[gpu]; }
    std::vector<uint8_t> gpus() const;

    // On the program's way out: every driven fan goes back to the driver's automatic control.
    // A fan whose write failed stays listed (and the guard keeps it); the others are handed back.
    // When none is left the guard is told farewell. Answers the first failing status, else 0.
    int returnToAutomatic(gpu::GpuLayer& layer);

private:
    void changed();

    FanGuardLink* link_;
    std::array<bool, gpu::kMaxGpus> driven_{};
};

}  // namespace qv::tuning
