// The clock boost's "highest voltage" variant: before the boost the driver voltage table and the
// voltage slider are kept; the boost lifts the first P-state's voltage to the slider's maximum;
// the end of the boost writes the kept table back.
#pragma once

#include <cstdint>

#include "gpu/DriverTypes.h"
#include "gpu/GpuLayer.h"

namespace qv::tuning {

// What the boost keeps for its end.
struct SavedBoostVoltage {
    bool saved = false;
    drv::PstatesInfo table{};  // the driver voltage table before the boost
    int32_t sliderPos = 0;     // the voltage slider's value before the boost
};

// Reads the driver voltage table and keeps it with `sliderPos`. The driver status; on failure
// nothing is kept.
int saveBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, int32_t sliderPos,
                     SavedBoostVoltage& saved);

// Sets the first P-state's voltage to `highestMv`, writes the table and reads it back. kOk only
// when the card then reports `highestMv`; `reachedMv` is what it reports.
int raiseBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, int32_t highestMv, int32_t& reachedMv);

// Writes the kept table back. The driver status; kInvalidArgument when nothing was kept.
int restoreBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, const SavedBoostVoltage& saved);

}  // namespace qv::tuning
