// The over-temperature alarm of the sampling tick: for each GPU in turn it decides whether to
// beep, to open the alarm window or to power the machine off. The decision is returned; the
// caller makes the sounds and opens windows, and passes the shutdown to AlarmShutdown below.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "lang/LanguageRows.h"
#include "platform/Beeper.h"
#include "platform/PowerOff.h"

namespace qv::tuning {

inline constexpr int32_t kAlarmBaseCelsius = 95;
inline constexpr int32_t kShutdownAboveCelsius = 120;
inline constexpr uint32_t kAlarmBeepHz = 2300;
inline constexpr uint32_t kAlarmBeepMs = 800;
inline constexpr uint32_t kShutdownDelaySeconds = 10;
// Language table row of "GPU %d temperature is too high!!!\n".
// The shutdown message is cut to fit a buffer of this many characters, its terminator included.
inline constexpr size_t kShutdownMessageChars = 120;
// The temperature stored for a GPU whose read failed.
inline constexpr int32_t kTemperatureUnknown = -1;

struct AlarmInput {
    uint8_t gpu = 0;
    bool temperatureRead = false;  // false: the read failed
    int32_t temperature = 0;       // degrees C
    // "TemperatureAlarmSet" and "TemperatureAlarmValue" as read on this tick; empty when the read
    // failed.
    std::optional<uint32_t> alarmSet;
    std::optional<uint32_t> alarmValue;
    bool gpuOnShow = false;  // the GPU the dialog shows
    bool alarmWindowOpen = false;
};

struct AlarmDecision {
    int32_t storedTemperature = kTemperatureUnknown;  // the GPU's temperature entry
    bool refreshTemperatureDisplay = false;
    bool beep = false;  // kAlarmBeepHz for kAlarmBeepMs
    bool shutdown = false;
    bool openAlarmWindow = false;
    std::string message;  // for the window or the shutdown; empty when neither
};

// (95 + value) mod 256; 95 without a value.
uint8_t alarmThreshold(std::optional<uint32_t> alarmValue);

// "GPU %d ..." with the GPU's number (index + 1) in place of the first %d; other characters are
// taken as they are.
std::string alarmMessage(std::string_view textTemplate, uint8_t gpu);

class TemperatureAlarm {
public:
    // `textTemplate` is row lang::kTextTemperatureTooHigh of the language table in the user's language.
    explicit TemperatureAlarm(std::string textTemplate) : template_(std::move(textTemplate)) {}

    // One GPU on one tick. A failed read of "TemperatureAlarmSet" keeps the previous enabled
    // state (initially off).
    AlarmDecision check(const AlarmInput& input);

    bool enabled() const { return enabled_; }

private:
    std::string template_;
    bool enabled_ = false;
};

// What carryOutAlarm did.
struct AlarmEffects {
    bool beeped = false;
    bool shutdownRequested = false;  // true only when the power-off accepted the request
};

// Carries a decision out: the beep, and the power-off after kShutdownDelaySeconds with the
// message cut to fit. The alarm window is the caller's. A failed power-off is not reported to the
// user; the alarm asks again on the next tick.
AlarmEffects carryOutAlarm(const AlarmDecision& decision, platform::Beeper& beeper,
                           platform::PowerOff& powerOff);

}  // namespace qv::tuning
