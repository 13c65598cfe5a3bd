// The clock boost's "highest voltage" variant: before the boost the first P-state's core voltage
// and the voltage slider are kept; the boost lifts that voltage to the slider's maximum; the end
// of the boost puts the kept voltage back. The voltage moves through the P-states 2.0 core
// voltage delta of the first P-state.
#pragma once

#include <cstdint>

#include "gpu/GpuLayer.h"

namespace qv::tuning {

// What the boost keeps for its end.
struct SavedBoostVoltage {
    bool saved = false;
    int32_t deltaUv = 0;    // the first P-state's core voltage delta before the boost
    int32_t sliderPos = 0;  // the voltage slider's value before the boost
};

// Reads the P-state table with its voltages and keeps the first P-state's core voltage delta
// with `sliderPos`. The driver status; on failure nothing is kept.
int saveBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, int32_t sliderPos,
                     SavedBoostVoltage& saved);

// Sets the first P-state's core voltage to `highestMv` (the delta held to the driver's range),
// writes it and reads the table back. kOk only when the card then reports `highestMv`, or the
// top of its range when `highestMv` lies beyond it; `reachedMv` is what it reports.
int raiseBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, int32_t highestMv, int32_t& reachedMv);

// Writes the kept delta back. The driver status; kInvalidArgument when nothing was kept.
int restoreBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, const SavedBoostVoltage& saved);

}  // namespace qv::tuning
