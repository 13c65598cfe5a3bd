// The GPU voltage lines of the user settings file, by the voltage control the GPU has.
#pragma once

#include <cstdint>

#include "app/UserSettingsFormat.h"
#include "gpu/ChipRegisters.h"
#include "gpu/GpuLayer.h"

namespace qv::app {

// Register of the slot-0 fan chip that holds the alarm temperature.
inline constexpr uint8_t kAlarmTemperatureRegister = gpu::chip::kSlot0RegStatus;

// The slot-2 regulator's code register of a mode is learnt from the level the card runs at;
// this learns it for the current level when the GPU has that regulator.
void learnRegulatorRegister(gpu::GpuLayer& layer, uint8_t gpu);

// The value the file holds for a mode's voltage (2D or 3D performance): the slot-2 code in mV
// when the mode has a code register and its code is not 0, else the slot-3 step, else the
// driver table's entry. A driver status; -104 when no control can give a value.
int readFileVoltage(gpu::GpuLayer& layer, uint8_t gpu, const GpuSettingsCapabilities& caps,
                    size_t mode, int32_t& value);

// Puts a file value back through the first control that applies: the slot-2 regulator (as
// above), the slot-7 regulator, the slot-3 step, the driver table (3D performance only). A
// code outside the regulator's range for the mode changes nothing. A driver status; -104 when
// nothing applies or the value is out of range.
int applyFileVoltage(gpu::GpuLayer& layer, uint8_t gpu, const GpuSettingsCapabilities& caps,
                     size_t mode, int32_t value);

}  // namespace qv::app
