// What the application keeps from the user settings file: one record per GPU shown in the
// window, and the two values the whole file carries for every GPU.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qv::app {

// The values of one GPU as last read from the file. Only the values the file held (and that
// apply to the GPU) are set; the others keep what they had, zero at first.
struct UserSettingsRecord {
    int32_t gpuClock2D = 0;  // kHz
    int32_t gpuClock3DLow = 0;
    int32_t gpuClock3DPerformance = 0;
    int32_t shaderClock2D = 0;
    int32_t shaderClock3DLow = 0;
    int32_t shaderClock3DPerformance = 0;
    int32_t memoryClock2D = 0;
    int32_t memoryClock3DLow = 0;
    int32_t memoryClock3DPerformance = 0;
    int32_t fanWorkMode = 0;  // 1 automatic, 2 manual
    int32_t fanSpeed = 0;
    int32_t alarmTemperature = 0;  // degrees Celsius
    int32_t gpuVoltage2D = 0;
    int32_t gpuVoltage3DPerformance = 0;

    bool operator==(const UserSettingsRecord&) const = default;
};

// The GPUs the application keeps a record for (the window shows at most this many).
inline constexpr size_t kUserSettingsRecordCount = 3;

struct UserSettingsState {
    std::array<UserSettingsRecord, kUserSettingsRecordCount> records{};
    int32_t horizonValue = 0;
    int32_t verticalValue = 0;

    bool operator==(const UserSettingsState&) const = default;
};

}  // namespace qv::app
