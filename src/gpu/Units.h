// The units the driver and the program count in, and the conversions between them. The driver
// gives clocks in kHz and voltages in µV; the program shows MHz, mV and V.
#pragma once

#include <cstdint>

namespace qv::gpu {

// Signed, so that a negative offset divides as it should.
inline constexpr int32_t kKHzPerMHz = 1000;
inline constexpr int32_t kMicrovoltsPerMillivolt = 1000;
inline constexpr int32_t kMillivoltsPerVolt = 1000;
inline constexpr int32_t kMicrovoltsPerVolt = kMicrovoltsPerMillivolt * kMillivoltsPerVolt;

inline constexpr int64_t kPercentFull = 100;

// The share of `full` that `part` is, in whole percent, rounded; a negative part counts as 0.
constexpr int32_t percentOf(int64_t part, uint32_t full) {
    return static_cast<int32_t>(((part < 0 ? 0 : part) * kPercentFull + full / 2) / full);
}
// `percent` of `full`, rounded.
constexpr uint32_t partOf(uint32_t percent, uint32_t full) {
    return static_cast<uint32_t>((int64_t{percent} * full + kPercentFull / 2) / kPercentFull);
}

// Whole MHz of a clock, the fraction dropped (what sliders show).
constexpr int toMHz(uint32_t kHz) {
    return static_cast<int>(kHz / kKHzPerMHz);
}

// Nearest whole MHz of a clock (what the command line prints).
constexpr uint32_t roundedMHz(uint32_t kHz) {
    return (kHz + kKHzPerMHz / 2) / kKHzPerMHz;
}

// kHz of a clock in MHz; 0 for a clock that is not above 0.
constexpr uint32_t toKHz(int32_t mhz) {
    return mhz > 0 ? static_cast<uint32_t>(mhz) * kKHzPerMHz : 0;
}

// Nearest whole mV of a voltage in µV.
constexpr uint32_t roundedMillivolts(uint32_t microvolts) {
    return (microvolts + kMicrovoltsPerMillivolt / 2) / kMicrovoltsPerMillivolt;
}

constexpr double millivoltsToVolts(double millivolts) {
    return millivolts / kMillivoltsPerVolt;
}

constexpr double voltsToMillivolts(double volts) {
    return volts * kMillivoltsPerVolt;
}

constexpr double microvoltsToVolts(double microvolts) {
    return microvolts / kMicrovoltsPerVolt;
}

}  // namespace qv::gpu
