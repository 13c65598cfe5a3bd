// The temperature-to-fan rules: which rule drives a GPU's fan on a sample, the rules themselves
// (Custom, the five-point curve, Silent, Performance and the associated rule), the GPUs a fan
// command goes to, and the order check of the curve panel's take-over.
//
// Everything here is a pure function of what the caller passes in, except the two hold counters,
// which the caller owns for the life of the process and passes by reference. The caller applies
// the decisions through GpuLayer::setFanLevel and GpuLayer::setFanAutomatic.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "gpu/GpuRecord.h"

namespace qv::fan {

// ---- the five-point curve -----------------------------------------------------------------

struct FanCurvePoint {
    int32_t temperature = 0;  // degrees C
    int32_t percent = 0;
    friend bool operator==(const FanCurvePoint&, const FanCurvePoint&) = default;
};

inline constexpr size_t kFanCurvePoints = 5;
using FanCurve = std::array<FanCurvePoint, kFanCurvePoints>;

// The curve every start begins with: (20, 20), (40, 40) ... (100, 100).
inline constexpr FanCurve kInitialFanCurve = {{{20, 20}, {40, 40}, {60, 60}, {80, 80}, {100, 100}}};

// How the curve reads between its points.
inline constexpr int32_t kFanCurveSmooth = 0;  // straight lines between the points
inline constexpr int32_t kFanCurveZigzag = 1;  // the lower point's value up to the next point

// ---- decisions -----------------------------------------------------------------------------

enum class FanCommandKind {
    kNone,       // send nothing
    kAutomatic,  // hand the fan to the driver (no temperature or rpm points)
    kLevel,      // set the fan level to `percent`
};

struct FanCommand {
    FanCommandKind kind = FanCommandKind::kNone;
    uint32_t percent = 0;  // kLevel only

    static constexpr FanCommand none() { return {}; }
    static constexpr FanCommand automatic() { return {FanCommandKind::kAutomatic, 0}; }
    static constexpr FanCommand level(uint32_t p) { return {FanCommandKind::kLevel, p}; }
    friend bool operator==(const FanCommand&, const FanCommand&) = default;
};

// Highest fan level any rule sends; the curve's percents are typed in by the user unchecked, so
// its result is held to 0..100 before it reaches the card.
inline constexpr int32_t kFanPercentMax = 100;

// ---- inputs --------------------------------------------------------------------------------

// The stored fan switches ("HighSet", "HighSet2", "HighSet3") and the Custom mode's list indices
// ("TemplowSet", "FansSet", "TempSet", "FansHighSet").
struct FanModeSwitches {
    bool custom = false;
    bool silent = false;
    bool performance = false;
    int32_t templowSet = 1;
    int32_t fansSet = 1;
    int32_t tempSet = 1;
    int32_t fansHighSet = 1;
};

// The two counters that hold a fan at 100 % for a while after the temperature has come down.
// One pair serves every GPU of the process.
struct FanHoldCounters {
    uint32_t silent = 0;
    uint32_t performance = 0;
};

inline constexpr uint32_t kSilentHoldSamples = 30;
inline constexpr uint32_t kPerformanceHoldSamples = 10;

// One GPU on one sample.
struct FanRuleInput {
    bool familyC = false;
    bool curveSwitch = false;     // the GPU's curve switch (the five-point curve drives it)
    int32_t temperature = 0;      // degrees C
    int32_t measuredPercent = 0;  // fan percent read on this sample
    uint32_t dutyMinimum = 0;     // the fan's duty minimum, percent
};

enum class FanRule { kNone, kCustom, kCurve, kSilent, kPerformance };

// ---- the rules -----------------------------------------------------------------------------

// Which rule runs for a GPU: off family C only Custom; on family C the curve switch, then
// Silent, Performance and Custom, first match wins.
FanRule selectFanRule(bool familyC, bool curveSwitch, const FanModeSwitches& switches);

// High temperature 5 x (TempSet + 15), high fan 10 x (FansHighSet + 7); low temperature 50 or
// 55 (TemplowSet 1 or 2, else 0), low fan 5 x (FansSet + 2) but at least the duty minimum;
// between the two the driver controls the fan.
FanCommand customRule(int32_t temperature, uint32_t dutyMinimum, const FanModeSwitches& switches);

// The five-point curve in smooth or zigzag mode; any other mode sends nothing. Intervals with
// equal end temperatures are skipped.
FanCommand curveRule(int32_t temperature, const FanCurve& curve, int32_t mode);

// The fixed tables, with the hold at 100 %.
FanCommand silentRule(int32_t temperature, int32_t measuredPercent, FanHoldCounters& counters);
FanCommand performanceRule(int32_t temperature, int32_t measuredPercent, FanHoldCounters& counters);

// The first-pass evaluation of one GPU: the selected rule's command.
FanCommand evaluateFanRules(const FanRuleInput& input, const FanModeSwitches& switches,
                            const FanCurve& curve, int32_t curveMode, FanHoldCounters& counters);

// ---- the associated rule (second pass) -----------------------------------------------------

enum class AssociatedAction {
    kNone,          // the rule does not apply to this GPU
    kSetLevel,      // set `level` on this GPU alone; on success it is the shown fan percent
    kReadFanLevel,  // read the fan percent back as the shown value (-1 when the read fails)
};

struct AssociatedDecision {
    AssociatedAction action = AssociatedAction::kNone;
    uint32_t level = 0;
    friend bool operator==(const AssociatedDecision&, const AssociatedDecision&) = default;
};

// Level = T x 1.125, truncated; above 100 (a negative temperature counts as above) it is 100.
uint32_t associatedLevel(int32_t temperature);

// Applies on family C boards with Custom mode off; "FanTempSet" picks between setting the
// associated level and reading the fan back.
AssociatedDecision associatedRule(bool familyC, bool customMode, bool fanTempSet,
                                  int32_t temperature);

// ---- where a command goes ------------------------------------------------------------------

struct FanTarget {
    uint8_t gpu = 0;
    FanCommand command;
    friend bool operator==(const FanTarget&, const FanTarget&) = default;
};

// Every GPU when the GPUs are adjusted together, else the GPU on show; GPUs without a cooler are
// left out, and so is a GPU on show outside the list. A kNone command goes nowhere. After each
// GPU's command the caller clears that GPU's tick-count word.
std::vector<FanTarget> fanCommandTargets(const FanCommand& command, bool linked,
                                         uint8_t selectedGpu,
                                         std::span<const gpu::FanControllerKind> fanKinds);

// ---- the curve panel's take-over -----------------------------------------------------------

// The ten number boxes in the order T0, F0, T1, F1 ... T4, F4.
using FanCurveBoxes = std::array<int32_t, 2 * kFanCurvePoints>;

inline constexpr int kCurveTakenOver = 0;
inline constexpr int kCurveOutOfOrder = -1;

// Language table rows of the curve panel.

// Shown, without a caption, when the temperatures are out of order. English only: it is not a
// row of the language table.
inline constexpr const char* kCurveOrderMessage =
    "Please reset the relationship between temperature and fan speed!";

// True when T0 <= T1 <= T2 <= T3 <= T4.
bool curveTemperaturesOrdered(const FanCurveBoxes& boxes);

// Takes the boxes into `curve` when their temperatures are in order (kCurveTakenOver); else
// leaves `curve` as it was and answers kCurveOutOfOrder. The percents are taken as they are.
int takeOverCurve(const FanCurveBoxes& boxes, FanCurve& curve);

}  // namespace qv::fan
