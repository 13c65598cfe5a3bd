// The two global hot keys: a fan boost and a GPU clock boost (optionally with the highest
// voltage), toggled by a message the keyboard hook posts to the main window. The state machine
// decides; the caller writes to the cards and moves the sliders as the returned steps say.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "gpu/GpuRecord.h"

namespace qv::tuning {

// The hook's message to the main window; its first parameter names the key.
inline constexpr uint32_t kHotKeyMessage = 0x0FB8;
inline constexpr uint32_t kHotKeyFan = 0;
inline constexpr uint32_t kHotKeyClock = 1;

// A key less than this long after the last accepted one is ignored.
inline constexpr uint64_t kHotKeyDebounceMs = 5000;
// The fan level written when the fan boost ends, before the fan goes back to automatic.
inline constexpr uint32_t kHotKeyRestoredFanLevel = 40;

// The state: bit 0 the fan boost, bit 1 the clock boost.
inline constexpr uint8_t kHotKeyStateNone = 0;
inline constexpr uint8_t kHotKeyStateFan = 1;
inline constexpr uint8_t kHotKeyStateClock = 2;
inline constexpr uint8_t kHotKeyStateBoth = 3;

// The indicator's colour and mode for a state.
struct HotKeyIndicator {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    int32_t mode = 0;
    friend bool operator==(const HotKeyIndicator&, const HotKeyIndicator&) = default;
};
inline constexpr std::array<HotKeyIndicator, 4> kHotKeyIndicators = {{
    {255, 255, 255, 3},  // none: white
    {0, 255, 0, 1},      // fan boost: green
    {0, 0, 255, 1},      // clock boost: blue
    {255, 0, 0, 4},      // both: red
}};

// "HotKeyEnable", "HotKeyFanSpeed" (percent), "HotKeyGPUOffset" (MHz),
// "HotKeySetVoltageHighest".
struct HotKeySettings {
    bool enabled = false;
    uint32_t fanSpeed = 0;
    int32_t gpuOffsetMHz = 0;
    bool voltageHighest = false;
};

// A GPU whose board carries the hot-key flag.
struct HotKeyBoard {
    uint8_t gpu = 0;
    gpu::FanControllerKind fanKind = gpu::kFanDriverCooler;
    uint32_t dutyMaximum = 0;  // the fan's duty maximum, percent
};

// The GPU-offset slider's range; the boost offset is clamped to it.
struct OffsetSliderRange {
    int32_t minMHz = 0;
    int32_t maxMHz = 0;
};

// What to do on one GPU, in this order: the restore steps, then the boost steps.
struct HotKeyGpuSteps {
    uint8_t gpu = 0;

    // Fan boost ends: the fan slider shows kHotKeyRestoredFanLevel, that level is written and the
    // fan is set to automatic (skipped on a board without a cooler); the automatic button is
    // selected and the fan slider disabled.
    bool restoreFan = false;
    // Clock boost ends: the GPU-offset slider goes to 0 and a graphics offset of 0 is written.
    bool restoreClock = false;
    // With the clock restore: write back the P-state table saved before the boost; on success
    // the voltage slider returns to the value saved with it.
    bool restoreVoltageTable = false;

    // Fan boost: the manual button is selected, the fan slider enabled and set to `fanSlider`;
    // `fanLevel` is written unless empty (no cooler).
    bool fanBoost = false;
    uint32_t fanSlider = 0;
    std::optional<uint32_t> fanLevel;

    // Clock boost: the GPU-offset slider shows `offsetSliderMHz` and `offsetKHz` is written as the
    // P-states 2.0 graphics offset.
    bool clockBoost = false;
    int32_t offsetSliderMHz = 0;
    int32_t offsetKHz = 0;
    // Before raising: read the P-state table with voltages and keep it, with the voltage slider's
    // value, for the restore. Only when the clock boost starts; a boost taken again while it is
    // on keeps the table saved first, which holds the voltages from before the boost.
    bool saveVoltageTable = false;
    // Set the first voltage of the first P-state to the voltage slider's maximum, write the table
    // and read it back; on success the voltage slider shows its maximum.
    bool raiseVoltage = false;
};

struct HotKeyOutcome {
    bool accepted = false;
    uint8_t fromState = kHotKeyStateNone;
    uint8_t toState = kHotKeyStateNone;
    HotKeyIndicator indicator;         // for toState; the dialog is redrawn
    std::vector<HotKeyGpuSteps> gpus;  // one entry per hot-key board, in the given order
};

class HotKeyMachine {
public:
    // The hook's message: `key` is its first parameter, `nowMs` the tick count. Ignored (not
    // accepted) when the hot keys are off, the key is unknown, or less than kHotKeyDebounceMs has
    // passed since the last accepted key; the first key is never held back.
    HotKeyOutcome onMessage(uint32_t key, uint64_t nowMs, const HotKeySettings& settings,
                            std::span<const HotKeyBoard> boards, OffsetSliderRange offsetRange);

    uint8_t state() const { return state_; }
    // Set by every accepted key; the power-limit confirmation takes it as a yes.
    bool hotKeyUsed() const { return used_; }

private:
    uint8_t state_ = kHotKeyStateNone;
    bool used_ = false;
    std::optional<uint64_t> lastAcceptedMs_;
};

// What the window does with its desktop-wide grab of the two keys.
enum class HotKeyGrabAction { kNone, kGrab, kRelease };

// Whether Ctrl+N and Ctrl+M are taken from the rest of the desktop. They are held only while a
// hot-key board is present and the hot-key option is on; every other program keeps them
// otherwise (Ctrl+N is "new window" almost everywhere).
class HotKeyGrabPolicy {
public:
    // The step that brings the grab in line with the board and the option; kNone when it
    // already is. The step is taken as done: a grab the display refused is not asked for again
    // until the option goes off and on.
    HotKeyGrabAction update(bool hotKeyBoardPresent, bool enabled);
    bool held() const { return held_; }

private:
    bool held_ = false;
};

// The state after `key` in `state`: the fan key toggles the fan boost, the clock key the clock
// boost. An unknown key leaves the state as it is.
uint8_t hotKeyTransition(uint8_t state, uint32_t key);

}  // namespace qv::tuning
