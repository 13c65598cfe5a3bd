#include "fan/FanRules.h"

#include <algorithm>

namespace qv::fan {

namespace {

// Custom mode: high temperature 5 x (TempSet + 15), high fan 10 x (FansHighSet + 7), low fan
// 5 x (FansSet + 2); the low temperature by TemplowSet.
constexpr int64_t kCustomTemperatureStep = 5;
constexpr int64_t kCustomTemperatureBase = 15;
constexpr int64_t kCustomHighFanStep = 10;
constexpr int64_t kCustomHighFanBase = 7;
constexpr int64_t kCustomLowFanStep = 5;
constexpr int64_t kCustomLowFanBase = 2;
constexpr int32_t kTemplowIndex50 = 1;
constexpr int32_t kTemplowIndex55 = 2;
constexpr int32_t kCustomLow50 = 50;
constexpr int32_t kCustomLow55 = 55;
constexpr int32_t kCustomLowOther = 0;

// A fixed table row: up to and including `upTo` degrees the fan gets `command`.
struct TableRow {
    int32_t upTo;
    FanCommand command;
};

constexpr int32_t kFullFan = 100;

// Above the last row's temperature the fan runs at 100 %.
constexpr int32_t kSilentLastRow = 85;
constexpr std::array<TableRow, 5> kSilentTable = {{
    {55, FanCommand::level(20)},
    {65, FanCommand::level(25)},
    {75, FanCommand::level(30)},
    {80, FanCommand::level(35)},
    {kSilentLastRow, FanCommand::level(40)},
}};

constexpr int32_t kPerformanceLastRow = 85;
constexpr std::array<TableRow, 4> kPerformanceTable = {{
    {40, FanCommand::automatic()},
    {60, FanCommand::level(50)},
    {75, FanCommand::level(60)},
    {kPerformanceLastRow, FanCommand::level(70)},
}};

// The associated rule: level = T x 9 / 8.
constexpr int64_t kAssociatedNumerator = 9;
constexpr int64_t kAssociatedDenominator = 8;

// A level for the card: held to 0..100.
FanCommand levelWithin(int64_t percent) {
    return FanCommand::level(
        static_cast<uint32_t>(std::clamp<int64_t>(percent, 0, kFanPercentMax)));
}

template <size_t N>
FanCommand fromTable(const std::array<TableRow, N>& table, int32_t temperature) {
    for (const TableRow& row : table) {
        if (temperature <= row.upTo) {
            return row.command;
        }
    }
    return FanCommand::level(kFullFan);
}

// The hold shared by Silent and Performance: a fan measured at exactly 100 % stays there while
// the temperature is above the table's last row, and comes down only after `limit` + 1
// consecutive samples below it.
template <size_t N>
FanCommand heldTable(const std::array<TableRow, N>& table, int32_t lastRow, uint32_t limit,
                     int32_t temperature, int32_t measuredPercent, uint32_t& counter) {
    if (measuredPercent == kFullFan) {
        if (temperature > lastRow) {
            counter = 0;
            return FanCommand::none();
        }
        if (counter == limit) {
            counter = 0;
            return fromTable(table, temperature);
        }
        ++counter;
        return FanCommand::none();
    }
    return fromTable(table, temperature);
}

}  // namespace

FanRule selectFanRule(bool familyC, bool curveSwitch, const FanModeSwitches& switches) {
    if (!familyC) {
        return switches.custom ? FanRule::kCustom : FanRule::kNone;
    }
    if (curveSwitch) {
        return FanRule::kCurve;
    }
    if (switches.silent) {
        return FanRule::kSilent;
    }
    if (switches.performance) {
        return FanRule::kPerformance;
    }
    if (switches.custom) {
        return FanRule::kCustom;
    }
    return FanRule::kNone;
}

FanCommand customRule(int32_t temperature, uint32_t dutyMinimum, const FanModeSwitches& switches) {
    const int64_t highTemperature =
        kCustomTemperatureStep * (int64_t{switches.tempSet} + kCustomTemperatureBase);
    if (temperature >= highTemperature) {
        return levelWithin(kCustomHighFanStep *
                           (int64_t{switches.fansHighSet} + kCustomHighFanBase));
    }
    int32_t lowTemperature = kCustomLowOther;
    if (switches.templowSet == kTemplowIndex50) {
        lowTemperature = kCustomLow50;
    } else if (switches.templowSet == kTemplowIndex55) {
        lowTemperature = kCustomLow55;
    }
    if (temperature <= lowTemperature) {
        const int64_t lowFan = kCustomLowFanStep * (int64_t{switches.fansSet} + kCustomLowFanBase);
        // Compared unsigned, as the duty minimum is.
        if (lowFan < 0 || dutyMinimum > static_cast<uint64_t>(lowFan)) {
            return levelWithin(dutyMinimum);
        }
        return levelWithin(lowFan);
    }
    return FanCommand::automatic();
}

FanCommand curveRule(int32_t temperature, const FanCurve& curve, int32_t mode) {
    if (mode != kFanCurveSmooth && mode != kFanCurveZigzag) {
        return FanCommand::none();
    }
    if (temperature <= curve.front().temperature) {
        return levelWithin(curve.front().percent);
    }
    for (size_t i = 0; i + 1 < curve.size(); ++i) {
        const FanCurvePoint& low = curve[i];
        const FanCurvePoint& high = curve[i + 1];
        // An interval with equal end temperatures is empty; the test below skips it.
        if (temperature > low.temperature && temperature <= high.temperature) {
            if (mode == kFanCurveZigzag) {
                return levelWithin(low.percent);
            }
            // 64-bit intermediates: the points are typed in unchecked, and the product of two
            // large differences would overflow 32 bits. Within the card's range the result is
            // that of 32-bit arithmetic; the division truncates toward zero.
            const int64_t rise = int64_t{high.percent} - low.percent;
            const int64_t run = int64_t{high.temperature} - low.temperature;
            const int64_t into = int64_t{temperature} - low.temperature;
            return levelWithin(low.percent + into * rise / run);
        }
    }
    return levelWithin(curve.back().percent);
}

FanCommand silentRule(int32_t temperature, int32_t measuredPercent, FanHoldCounters& counters) {
    return heldTable(kSilentTable, kSilentLastRow, kSilentHoldSamples, temperature, measuredPercent,
                     counters.silent);
}

FanCommand performanceRule(int32_t temperature, int32_t measuredPercent,
                           FanHoldCounters& counters) {
    return heldTable(kPerformanceTable, kPerformanceLastRow, kPerformanceHoldSamples, temperature,
                     measuredPercent, counters.performance);
}

FanCommand evaluateFanRules(const FanRuleInput& input, const FanModeSwitches& switches,
                            const FanCurve& curve, int32_t curveMode, FanHoldCounters& counters) {
    switch (selectFanRule(input.familyC, input.curveSwitch, switches)) {
        case FanRule::kCustom:
            return customRule(input.temperature, input.dutyMinimum, switches);
        case FanRule::kCurve:
            return curveRule(input.temperature, curve, curveMode);
        case FanRule::kSilent:
            return silentRule(input.temperature, input.measuredPercent, counters);
        case FanRule::kPerformance:
            return performanceRule(input.temperature, input.measuredPercent, counters);
        case FanRule::kNone:
            break;
    }
    return FanCommand::none();
}

uint32_t associatedLevel(int32_t temperature) {
    if (temperature < 0) {
        return kFanPercentMax;  // unsigned, a negative level is above 100
    }
    const int64_t level = int64_t{temperature} * kAssociatedNumerator / kAssociatedDenominator;
    return static_cast<uint32_t>(std::min<int64_t>(level, kFanPercentMax));
}

AssociatedDecision associatedRule(bool familyC, bool customMode, bool fanTempSet,
                                  int32_t temperature) {
    if (!familyC || customMode) {
        return {};
    }
    if (fanTempSet) {
        return {AssociatedAction::kSetLevel, associatedLevel(temperature)};
    }
    return {AssociatedAction::kReadFanLevel, 0};
}

std::vector<FanTarget> fanCommandTargets(const FanCommand& command, bool linked,
                                         uint8_t selectedGpu,
                                         std::span<const gpu::FanControllerKind> fanKinds) {
    std::vector<FanTarget> targets;
    if (command.kind == FanCommandKind::kNone) {
        return targets;
    }
    for (size_t gpu = 0; gpu < fanKinds.size(); ++gpu) {
        if (!linked && gpu != selectedGpu) {
            continue;
        }
        if (fanKinds[gpu] == gpu::kFanNoCooler) {
            continue;
        }
        targets.push_back({static_cast<uint8_t>(gpu), command});
    }
    return targets;
}

bool curveTemperaturesOrdered(const FanCurveBoxes& boxes) {
    for (size_t i = 1; i < kFanCurvePoints; ++i) {
        if (boxes[2 * i] < boxes[2 * (i - 1)]) {
            return false;
        }
    }
    return true;
}

int takeOverCurve(const FanCurveBoxes& boxes, FanCurve& curve) {
    if (!curveTemperaturesOrdered(boxes)) {
        return kCurveOutOfOrder;
    }
    for (size_t i = 0; i < kFanCurvePoints; ++i) {
        curve[i] = {boxes[2 * i], boxes[2 * i + 1]};
    }
    return kCurveTakenOver;
}

}  // namespace qv::fan
