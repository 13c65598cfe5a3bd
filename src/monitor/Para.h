// One sample of a monitored item: its value, its second value and the time of day it was taken.
#pragma once

#include <cstdint>

namespace qv::monitor {

// The value of a sample, or of a live reading, that could not be had.
inline constexpr int32_t kNoValue = -1;

struct Para {
    int32_t value = kNoValue;
    int32_t secondValue = kNoValue;  // kNoValue when the item has no second source
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;

    friend bool operator==(const Para&, const Para&) = default;
};

}  // namespace qv::monitor
