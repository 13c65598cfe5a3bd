// Status codes of the driver interface. 0 is success; every failure is negative.
#pragma once

namespace qv::drv {

inline constexpr int kOk = 0;
inline constexpr int kError = -1;
inline constexpr int kLibraryNotFound = -2;
inline constexpr int kNoImplementation = -3;
inline constexpr int kApiNotInitialized = -4;
inline constexpr int kInvalidArgument = -5;
inline constexpr int kNvidiaDeviceNotFound = -6;
inline constexpr int kEndEnumeration = -7;
inline constexpr int kInvalidHandle = -8;
inline constexpr int kIncompatibleStructVersion = -9;
inline constexpr int kHandleInvalidated = -10;
inline constexpr int kExpectedPhysicalGpuHandle = -101;
inline constexpr int kNotSupported = -104;
inline constexpr int kSetNotAllowed = -118;  // from the clock-table set; counts as success
inline constexpr int kSettingNotFound = -160;  // a driver setting the profile does not hold

// True for the statuses after which the GPUs must be enumerated again.
constexpr bool needsReenumeration(int status) {
    return status == kHandleInvalidated || status == kExpectedPhysicalGpuHandle;
}

}  // namespace qv::drv
