// The main window's model: the GPU on show, the clock work mode of each GPU, the targets per
// mode, the state of every tuning control, and the rules that load the controls from the cards,
// store them back into the per-GPU entries, link the GPU and shader clocks, step the sliders and
// unlock the clock limits. The window draws this state and forwards the user's actions here.
#pragma once

#include <array>
#include <cstdint>

#include "gpu/GpuLayer.h"
#include "tuning/ControlState.h"
#include "tuning/GpuUiEntry.h"

namespace qv::tuning {

inline constexpr size_t kUiGpuSlots = 5;
inline constexpr int kNoGpu = -1;
inline constexpr int kNoMode = gpu::kNoLevelKind;

inline constexpr int kDialogWidthNormal = 554;
inline constexpr int kDialogWidthOverclocking = 988;
inline constexpr int kApplyBusy = 2;
inline constexpr int kApplyIdle = 0;

// Language-table rows of the controls' captions.
// Shown in every language while a clock limit is unlocked.
inline constexpr const char* kRelockMinCaption = "Relock Min";
inline constexpr const char* kRelockMaxCaption = "Relock Max";

// Fan slider range when the cooler's duty range cannot be read.
inline constexpr int kFanRangeDefaultMin = 10;
inline constexpr int kFanRangeDefaultMax = 100;
// Unlocked maximum: the mode's maximum times 3/2, truncated.
inline constexpr int kUnlockMaxNumerator = 3;
inline constexpr int kUnlockMaxDenominator = 2;
// Driver voltage table range of the core voltage slider, mV.
inline constexpr int kDriverTableMinMv = 825;
inline constexpr int kDriverTableDefaultMaxMv = 1200;
// Kepler-class offset sliders, MHz.
inline constexpr int kMemoryOffsetMinMHz = -500;
inline constexpr int kMemoryOffsetMaxMHz = 1000;
inline constexpr int kFrameRateMin = 30;
inline constexpr int kFrameRateMax = 255;

// Highest core voltage, mV, that the driver voltage table may be set to on a device.
int driverTableMaxMillivolts(uint32_t device);

// Which core voltage control a GPU has, in the order the model looks for them.
enum class VoltageControl { kNone, kSlot2, kSlot3, kSlot7, kDriverTable };

enum class ClockSlider { kGpu, kShader, kMemory };
// Every slider of the window, the clock sliders first in ClockSlider's order.
enum class Slider {
    kGpuClock,
    kShaderClock,
    kMemoryClock,
    kFan,
    kCoreVoltage,
    kMemoryVoltage,
    kGpuOffset,
    kMemoryOffset,
    kFrameRate,
};
inline constexpr size_t kSliderCount = 9;
enum class StepDirection { kDown = -1, kUp = 1 };

// Every control of the main window that edits the model.
struct MainDialogControls {
    SliderState gpuClock, shaderClock, memoryClock;
    SliderState fanSpeed;
    SliderState coreVoltage;
    SliderState memoryVoltage;
    SliderState gpuOffset;     // Kepler-class boards
    SliderState memoryOffset;  // Kepler-class boards
    SliderState frameRate;
    ButtonState fanMode;  // caption "Auto" while automatic, "Manual" otherwise
    ButtonState frameRateToggle;
    ButtonState mode2D, mode3DLow, mode3DPerf;
    ButtonState link;
    ButtonState synchronous;
    ButtonState unlockMin, unlockMax;
};

class MainDialogModel {
public:
    // Three step sizes per slider; index 0-2 picks one.
    static constexpr size_t kStepSizes = 3;

    explicit MainDialogModel(gpu::GpuLayer& layer);

    // ---- Operations --------------------------------------------------------------------------
    // Stores the settings of the GPU left, makes `index` the GPU on show and loads every control
    // for it, in the card's current mode (`readFromCard`) or the mode stored for it.
    // kInvalidArgument, with nothing changed, for an index that has no GPU.
    int selectGpu(int index, bool readFromCard);
    // Chooses the clock work mode of the GPU on show. `readFromCard` first refreshes every GPU's
    // targets from the cards; otherwise `store` first stores the controls into the targets.
    // kInvalidArgument for a mode that is not 1, 2 or 3 or that the GPU does not have.
    int selectMode(int mode, bool readFromCard, bool store);
    // Copies the controls into the entry of the GPU on show; `refresh` also reads every GPU's
    // fan mode and level.
    void storeSettingsOfGpuOnShow(bool refresh);
    // Every GPU's mode becomes its card's current kind; its targets the levels' current clocks.
    void refreshTargetsFromCards();
    // After a P0 offset of `gpu` changed: its level clocks now include the new offset, so its
    // targets (and, on show, the clock sliders) take what the card reports. A later Apply then
    // writes the clocks the card runs at instead of ones read before the offset moved them.
    void followCardClocks(uint8_t gpu);
    // Loads the three clock sliders for `mode` of the GPU on show; the read's status (on
    // failure nothing changes).
    int loadClockControls(int mode);

    // The user moved a slider to `pos` (kept inside its range); a clock slider applies the link
    // rule. A disabled slider does not move.
    void moveSlider(ClockSlider slider, int pos);
    void moveSlider(Slider slider, int pos);
    // A step button: moves the slider by step `sizeIndex` (0-2), and a linked partner with it.
    void step(ClockSlider slider, StepDirection direction, size_t sizeIndex);
    void toggleUnlockMin();
    void toggleUnlockMax();
    void setLinked(bool linked);
    // False, with nothing changed, when fewer than two GPUs are present.
    bool setSynchronous(bool on);
    void setFanAutomatic(bool automatic);
    void setFrameRateTarget(bool on);

    // What the cards now hold, shown on the controls of the GPU on show. These move a slider
    // whether or not the user may move it.
    // The fan level the card reports.
    void showFanLevel(int level);
    // A fan boost: the fan runs manual at `pos`, and its slider can be moved.
    void showFanBoost(int pos);
    // The end of a fan boost: the fan is automatic again at `pos`, and its slider is off.
    void showFanRestored(int pos);
    void showGpuOffset(int mhz);
    void showMemoryOffset(int mhz);
    void showCoreVoltage(int pos);
    // The core voltage slider at the top of its range.
    void showCoreVoltageAtTop();
    void showMemoryVoltage(int pos);

    // ---- State -------------------------------------------------------------------------------
    int gpuOnShow() const { return gpuOnShow_; }
    const MainDialogControls& controls() const { return controls_; }
    const SliderState& slider(Slider which) const;
    const GpuUiEntry& entry(size_t slot) const { return entries_[slot < kUiGpuSlots ? slot : 0]; }
    GpuUiEntry& entry(size_t slot) { return entries_[slot < kUiGpuSlots ? slot : 0]; }
    bool unlockMinimum() const { return unlockMin_; }
    bool unlockMaximum() const { return unlockMax_; }
    bool synchronous() const { return controls_.synchronous.pressed; }
    int applyBusy() const { return applyBusy_; }
    void setApplyBusy(int value) { applyBusy_ = value; }
    int dialogWidth() const { return dialogWidth_; }
    void setDialogWidth(int width) { dialogWidth_ = width; }
    // The mode whose button is pressed; kNoMode when none.
    int pressedMode() const;
    VoltageControl voltageControl(uint8_t gpu) const;

private:
    bool hasMode(uint8_t gpu, int mode) const;
    int kindCount(uint8_t gpu) const;
    bool adjustable(uint8_t gpu, int mode, ClockSlider slider) const;
    void loadModeButtons(uint8_t gpu, int mode);
    void loadVoltageControl(uint8_t gpu, int mode, bool readFromCard);
    void loadMemoryVoltage(uint8_t gpu);
    void loadFanControls(uint8_t gpu, bool readFromCard);
    void loadKeplerControls(uint8_t gpu);
    void loadFrameRateControl();
    void refreshClockTargets(uint8_t gpu);
    void applyLinkRule(ClockSlider moved);
    void refreshUnlockCaptions();
    SliderState& clockSlider(ClockSlider slider);
    SliderState& sliderState(Slider which);

    gpu::GpuLayer& layer_;
    std::array<GpuUiEntry, kUiGpuSlots> entries_{};
    MainDialogControls controls_{};
    int gpuOnShow_ = kNoGpu;
    bool unlockMin_ = false;
    bool unlockMax_ = false;
    int applyBusy_ = kApplyIdle;
    int dialogWidth_ = kDialogWidthNormal;
};

}  // namespace qv::tuning
