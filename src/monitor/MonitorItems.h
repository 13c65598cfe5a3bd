// The eight monitored items, the GPU slots the monitor keeps curves for, and the fixed numbers of
// the curve control's layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "lang/LanguageRows.h"

namespace qv::monitor {

inline constexpr size_t kMonitorGpuSlots = 5;
inline constexpr size_t kMonitorItemCount = 8;

enum MonitorItem : size_t {
    kItemPower,
    kItemGpuClock,
    kItemShaderClock,
    kItemMemoryClock,
    kItemTemperature,
    kItemFanPercent,
    kItemGpuVoltage,
    kItemFanRpm,
};

// The three clock items in the order of the hardware layer's domain selectors: graphics, memory,
// processor (shader).
inline constexpr std::array<MonitorItem, 3> kClockItemOfSelector = {kItemGpuClock, kItemMemoryClock,
                                                                    kItemShaderClock};

struct ItemDescription {
    int captionRow;  // language table
    const char* unit;
    bool secondValue;  // the second value comes from the same source as the value
    int32_t startLower;
    int32_t startUpper;
};

// "FanSpeed" (row 187) reads fan rpm in the Chinese columns.
inline constexpr std::array<ItemDescription, kMonitorItemCount> kItems = {{
    {lang::kTextPower, "W", false, 0, 250},
    {lang::kTextGpuClock, "MHz", false, 0, 10},
    {lang::kTextShaderClock, "MHz", false, 0, 10},
    {lang::kTextMemoryClock, "MHz", false, 0, 10},
    {lang::kTextTemperature, "\u00b0C", false, 20, 150},
    {lang::kTextFanSpeed, "%", true, 0, 100},
    {lang::kTextGpuVoltage, "mv", false, 0, 2000},
    {lang::kTextFanRpm, "RPM", true, 0, 10000},
}};

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Pens, legends and value texts of each GPU slot.
inline constexpr std::array<Rgb, kMonitorGpuSlots> kGpuColours = {
    {{0, 255, 0}, {255, 255, 0}, {255, 0, 0}, {125, 0, 125}, {0, 125, 125}}};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kGridColour{0, 115, 0};
inline constexpr Rgb kHoverColour{248, 248, 190};

// The curve control's layout, in pixels.
inline constexpr int kBandHeight = 150;
inline constexpr int kBandCaptionHeight = 20;  // the plot starts this far below the band's top
inline constexpr int kPlotHeight = kBandHeight - kBandCaptionHeight;  // 130
inline constexpr int kLeftMargin = 28;
inline constexpr int kRightStrip = 30;  // the plot ends this far left of the control's right side
inline constexpr int kBottomMargin = 5;
inline constexpr int kHistoryMargin = kLeftMargin + 20;  // panel width - this = samples kept
inline constexpr int kControlExtraHeight = 6;
inline constexpr int kGridStep = 10;
inline constexpr int kCaptionX = 40;
inline constexpr int kCaptionTop = 2;
inline constexpr int kLegendX = 150;
inline constexpr int kLegendStep = 50;
inline constexpr int kValueRowHeight = 30;
inline constexpr int kValueTop = 37;
inline constexpr int kValueBottom = 52;
inline constexpr int kLabelAbove = 4;
inline constexpr int kLabelBelow = 6;
inline constexpr int kHoverLeft = 15;
inline constexpr int kHoverRight = 85;
inline constexpr int kHoverHalfHeight = 5;

// The curve control's timer: id and the period the panel starts it with.
inline constexpr uint32_t kTimerCurves = 77;
inline constexpr uint32_t kCurvePeriodMs = 1000;
// Every this many ticks the tick counter starts again at 0.
inline constexpr int kTicksPerGridStep = 10;

}  // namespace qv::monitor
