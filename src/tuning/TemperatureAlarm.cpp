#include "tuning/TemperatureAlarm.h"

namespace qv::tuning {

namespace {

constexpr std::string_view kNumberField = "%d";
constexpr uint32_t kThresholdModulus = 256;

// Cuts `text` to at most `maxChars` characters, counting UTF-8 sequences as one character.
std::string cutToFit(const std::string& text, size_t maxChars) {
    constexpr unsigned char kContinuationMask = 0xC0;
    constexpr unsigned char kContinuation = 0x80;
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & kContinuationMask) == kContinuation) {
            continue;
        }
        if (chars == maxChars) {
            return text.substr(0, i);
        }
        ++chars;
    }
    return text;
}

}  // namespace

uint8_t alarmThreshold(std::optional<uint32_t> alarmValue) {
    if (!alarmValue) {
        return static_cast<uint8_t>(kAlarmBaseCelsius);
    }
    return static_cast<uint8_t>((kAlarmBaseCelsius + *alarmValue) % kThresholdModulus);
}

std::string alarmMessage(std::string_view textTemplate, uint8_t gpu) {
    const std::string number = std::to_string(static_cast<unsigned>(gpu) + 1);
    const size_t at = textTemplate.find(kNumberField);
    if (at == std::string_view::npos) {
        return std::string(textTemplate);
    }
    std::string text(textTemplate.substr(0, at));
    text += number;
    text += textTemplate.substr(at + kNumberField.size());
    return text;
}

AlarmDecision TemperatureAlarm::check(const AlarmInput& input) {
    AlarmDecision decision;
    if (!input.temperatureRead) {
        decision.storedTemperature = kTemperatureUnknown;
        return decision;
    }
    decision.storedTemperature = input.temperature;
    if (input.alarmSet) {
        enabled_ = *input.alarmSet != 0;
    }
    if (!enabled_) {
        return decision;
    }
    const int32_t threshold = alarmThreshold(input.alarmValue);
    decision.refreshTemperatureDisplay = input.gpuOnShow;
    if (input.temperature <= threshold) {
        return decision;
    }
    decision.beep = true;
    if (input.temperature > kShutdownAboveCelsius) {
        decision.shutdown = true;
        decision.message = alarmMessage(template_, input.gpu);
    } else if (!input.alarmWindowOpen) {
        decision.openAlarmWindow = true;
        decision.message = alarmMessage(template_, input.gpu);
    }
    return decision;
}

AlarmEffects carryOutAlarm(const AlarmDecision& decision, platform::Beeper& beeper,
                           platform::PowerOff& powerOff) {
    AlarmEffects effects;
    if (decision.beep) {
        effects.beeped = beeper.beep(kAlarmBeepHz, kAlarmBeepMs);
    }
    if (decision.shutdown) {
        const std::string message = cutToFit(decision.message, kShutdownMessageChars - 1);
        effects.shutdownRequested =
            powerOff.request(message, kShutdownDelaySeconds) == platform::kPowerOffRequested;
    }
    return effects;
}

}  // namespace qv::tuning
