// The advanced control dialog's rules, on GPU 0 only and straight through the hardware layer:
// the live clocks, P-state, power, core voltage and temperature every 1100 ms, and four values
// with an Apply each (power target, graphics and memory clock offsets, core voltage offset),
// a Reset that writes all four back, and a narrow and a wide width. It does not touch the main
// window's settings model. A read that fails leaves zeros: texts read 0 and ranges collapse.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "gpu/GpuLayer.h"
#include "tuning/ControlState.h"

namespace qv::tuning {

inline constexpr uint8_t kAdvancedGpu = 0;
inline constexpr uint32_t kAdvancedRefreshMs = 1100;
inline constexpr int kAdvancedNarrowWidth = 320;
inline constexpr int kAdvancedWideWidth = 760;
// Graphics and memory offsets span this much either way, whatever the driver allows.
inline constexpr int kAdvancedOffsetSpanKHz = 200000;
// One step of the voltage slider.
inline constexpr int kAdvancedVoltageStepUv = 12500;

inline constexpr const char* kAdvancedCaption = "Advance Control";
inline constexpr const char* kAdvancedWiden = ">>>";
inline constexpr const char* kAdvancedNarrow = "<<<";
inline constexpr const char* kAdvancedApply = "Apply";
inline constexpr const char* kAdvancedReset = "Reset";
inline constexpr const char* kAdvancedClose = "CLOSE";
// The names of the four sliders, in AdvancedSlider order.
inline constexpr std::array<const char*, 4> kAdvancedSliderNames = {
    "Power Target", "GPU Clock Offset (kHz)", "Memory Clock Offset (kHz)", "Voltage Offset (uV)"};
inline constexpr std::array<const char*, 3> kAdvancedClockTypes = {"Current Clock", "Base Clock",
                                                                   "Boost Clock"};

enum class AdvancedSlider { kPower, kGraphicsOffset, kMemoryOffset, kVoltageOffset };
inline constexpr size_t kAdvancedSliderCount = 4;

// Every text of the dialog, by what it shows.
struct AdvancedTexts {
    // The values of the four sliders ("%d"; the voltage one in µV).
    std::array<std::string, kAdvancedSliderCount> values;
    std::string powerRange;     // "(Min:%d---Max:%d---Default:%d)"
    std::string graphicsRange;  // the driver's own limits and current offset
    std::string memoryRange;
    std::string voltageRange;   // "(Min:%d---Max:%d)", µV
    std::string graphicsClock;  // "%dMHz"
    std::string processorClock;
    std::string memoryClock;
    std::string pstate;       // "P%d"
    std::string power;        // the power read-out, "%d"
    std::string powerLimit;   // the current power limit, "%d"
    std::string coreVoltage;  // µV, "%d"
    std::string temperature;  // "%d C"
};

class AdvancedPanel {
public:
    explicit AdvancedPanel(gpu::GpuLayer& layer) : layer_(layer) {}

    // The dialog's set-up: ranges and range texts from the driver, the offsets read now, the
    // reset values, narrow, "Current Clock"; then a first refresh, so that the read-outs and the
    // power limit that widening shows are there before the first tick.
    void open();
    // The 1100 ms read-out of GPU 0, with the clock type chosen last.
    void refresh();

    // The user moved a slider; every value text follows its slider.
    void moveSlider(AdvancedSlider slider, int pos);
    // Takes effect at the next refresh.
    void selectClockType(int type);

    // The four Apply buttons. Each answers the driver's status.
    int applyPower();
    int applyGraphicsOffset();
    int applyMemoryOffset();
    int applyVoltageOffset();
    // Sliders and texts back to the reset values, then all four written to the card, narrow or
    // wide. The first failed status, or 0.
    int reset();
    // ">>>" / "<<<".
    void toggleWidth();

    const SliderState& slider(AdvancedSlider which) const {
        return sliders_[static_cast<size_t>(which)];
    }
    const AdvancedTexts& texts() const { return texts_; }
    int clockType() const { return clockType_; }
    bool wide() const { return wide_; }
    int width() const { return wide_ ? kAdvancedWideWidth : kAdvancedNarrowWidth; }
    const char* widthButtonCaption() const { return wide_ ? kAdvancedNarrow : kAdvancedWiden; }
    int powerDefault() const { return powerDefault_; }

private:
    SliderState& sliderOf(AdvancedSlider which) { return sliders_[static_cast<size_t>(which)]; }
    void readPowerRange();
    void readOffsetRanges();
    void rewriteValueTexts();
    int writePowerLimit(int limit);

    gpu::GpuLayer& layer_;
    std::array<SliderState, kAdvancedSliderCount> sliders_{};
    AdvancedTexts texts_;
    int clockType_ = 0;
    bool wide_ = false;
    int powerDefault_ = 0;  // the power slider's reset value: the policy default read at opening
    int openedGraphicsOffset_ = 0;
    int openedMemoryOffset_ = 0;
    int lastPowerLimit_ = 0;
};

}  // namespace qv::tuning
