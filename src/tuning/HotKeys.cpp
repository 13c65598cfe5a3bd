#include "tuning/HotKeys.h"

#include <algorithm>
#include <limits>

#include "gpu/Units.h"

namespace qv::tuning {

namespace {

constexpr uint8_t kStateMask = kHotKeyStateBoth;

bool hasFanBoost(uint8_t state) {
    return (state & kHotKeyStateFan) != 0;
}
bool hasClockBoost(uint8_t state) {
    return (state & kHotKeyStateClock) != 0;
}

}  // namespace

uint8_t hotKeyTransition(uint8_t state, uint32_t key) {
    switch (key) {
        case kHotKeyFan:
            return static_cast<uint8_t>((state ^ kHotKeyStateFan) & kStateMask);
        case kHotKeyClock:
            return static_cast<uint8_t>((state ^ kHotKeyStateClock) & kStateMask);
        default:
            return state;
    }
}

HotKeyOutcome HotKeyMachine::onMessage(uint32_t key, uint64_t nowMs, const HotKeySettings& settings,
                                       std::span<const HotKeyBoard> boards,
                                       OffsetSliderRange offsetRange) {
    HotKeyOutcome outcome;
    outcome.fromState = state_;
    outcome.toState = state_;
    outcome.indicator = kHotKeyIndicators[state_];
    if (!settings.enabled || (key != kHotKeyFan && key != kHotKeyClock)) {
        return outcome;
    }
    if (lastAcceptedMs_ && nowMs >= *lastAcceptedMs_ &&
        nowMs - *lastAcceptedMs_ < kHotKeyDebounceMs) {
        return outcome;
    }
    lastAcceptedMs_ = nowMs;
    used_ = true;
    outcome.accepted = true;

    const uint8_t from = state_;
    const uint8_t to = hotKeyTransition(from, key);
    state_ = to;
    outcome.toState = to;
    outcome.indicator = kHotKeyIndicators[to];

    const int32_t low = std::min(offsetRange.minMHz, offsetRange.maxMHz);
    const int32_t high = std::max(offsetRange.minMHz, offsetRange.maxMHz);
    const int32_t offsetMHz = std::clamp(settings.gpuOffsetMHz, low, high);

    for (const HotKeyBoard& board : boards) {
        HotKeyGpuSteps steps;
        steps.gpu = board.gpu;
        const bool cooled = board.fanKind != gpu::kFanNoCooler;
        steps.restoreFan = hasFanBoost(from) && !hasFanBoost(to) && cooled;
        steps.restoreClock = hasClockBoost(from) && !hasClockBoost(to);
        steps.restoreVoltageTable = steps.restoreClock && settings.voltageHighest;

        if (hasFanBoost(to)) {
            steps.fanBoost = true;
            steps.fanSlider = settings.fanSpeed;
            if (cooled) {
                steps.fanLevel = std::min(settings.fanSpeed, board.dutyMaximum);
            }
        }
        if (hasClockBoost(to)) {
            steps.clockBoost = true;
            steps.offsetSliderMHz = offsetMHz;
            // The slider's range keeps this within 32 bits for any range a card reports; the
            // clamp guards against a range wider than that.
            const int64_t kHz = int64_t{offsetMHz} * gpu::kKHzPerMHz;
            steps.offsetKHz = static_cast<int32_t>(std::clamp<int64_t>(
                kHz, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
            steps.raiseVoltage = settings.voltageHighest;
            steps.saveVoltageTable = settings.voltageHighest && !hasClockBoost(from);
        }
        outcome.gpus.push_back(steps);
    }
    return outcome;
}

HotKeyGrabAction HotKeyGrabPolicy::update(bool hotKeyBoardPresent, bool enabled) {
    const bool wanted = hotKeyBoardPresent && enabled;
    if (wanted == held_) {
        return HotKeyGrabAction::kNone;
    }
    held_ = wanted;
    return wanted ? HotKeyGrabAction::kGrab : HotKeyGrabAction::kRelease;
}

}  // namespace qv::tuning
