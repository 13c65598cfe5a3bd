// The simulated driver's built-in boards, by enumeration index.
#pragma once

#include <cstdint>

namespace qv::test {

// 0x1180, Kepler class: four-level table, P-states 2.0, driver cooler, slot-6 regulator, hot keys.
inline constexpr uint8_t kGpuKepler = 0;
// 0x0e22, family B/C: slot-0 fan chip counting rpm, slot-6/7 regulators, board chip, power
// monitors, a separate shader clock.
inline constexpr uint8_t kGpu0E22 = 1;
// 0x05e2, family A: slot-1 fan chip on the driver cooler, slot-2 regulator, shader clock.
inline constexpr uint8_t kGpu05E2 = 2;
inline constexpr uint8_t kBuiltinGpuCount = 3;

}  // namespace qv::test
