#include "SimBoard.h"

#include <algorithm>
#include <cmath>

namespace qv::sim {

namespace {
constexpr double kMaxStepSeconds = 0.25;
constexpr int kMaxSteps = 4000;
constexpr double kSettleSeconds = 600.0;

int32_t asSigned(uint8_t v) { return static_cast<int8_t>(v); }
}  // namespace

size_t Board::currentLevel() const {
    const size_t n = config_.levels.size();
    if (n == 0) {
        return 0;
    }
    // Load 0..100 spread evenly over the levels, the top level from the last share upward.
    return std::min(n - 1, static_cast<size_t>(state_.load) * n / 101);
}

int64_t Board::pstateOffsetKHz(size_t level, size_t clock) const {
    if (!config_.pstates20 || !isTopLevel(level) || level >= config_.levels.size() ||
        clock >= config_.levels[level].clocks.size()) {
        return 0;
    }
    const uint32_t domain = config_.levels[level].clocks[clock].domain;
    if (domain == kDomainGraphics || domain == kDomainProcessor) {
        return state_.graphicsOffsetKHz;
    }
    if (domain == kDomainMemory) {
        return state_.memoryOffsetKHz;
    }
    return 0;
}

uint32_t Board::clockKHz(size_t level, size_t clock) const {
    if (level >= state_.clockKHz.size() || clock >= state_.clockKHz[level].size()) {
        return 0;
    }
    const int64_t khz = int64_t{state_.clockKHz[level][clock]} + pstateOffsetKHz(level, clock);
    return static_cast<uint32_t>(std::max<int64_t>(khz, 0));
}

uint32_t Board::currentDomainKHz(uint32_t domain) const {
    if (!hasTable()) {
        return 0;
    }
    const size_t level = currentLevel();
    const auto& clocks = config_.levels[level].clocks;
    for (size_t c = 0; c < clocks.size(); ++c) {
        if (clocks[c].domain == domain) {
            return clockKHz(level, c);
        }
    }
    return 0;
}

size_t Board::regulatorSelect() const {
    return std::min(currentLevel(), kRegACodeCount - 1);
}

uint32_t Board::levelVoltageUv(size_t level) const {
    if (level < state_.levelMv.size()) {
        return state_.levelMv[level] * 1000;
    }
    return level < config_.levels.size() ? config_.levels[level].voltageUv : 1000000;
}

uint32_t Board::coreVoltageUv() const {
    int64_t uv = levelVoltageUv(currentLevel());
    const auto& chips = state_.chips;
    if (config_.chips[kSlotRegulatorA].present) {
        const uint8_t code = chips[kSlotRegulatorA].regs[kRegACodeFirst + regulatorSelect()] &
                             kRegACodeMask;
        uv = static_cast<int64_t>((kRegACodeBaseMv + kRegACodeStepMv * code) * 1000.0);
    }
    for (size_t slot : {kSlotStepRegulator3, kSlotStepRegulator6}) {
        if (config_.chips[slot].present) {
            uv += std::min<uint32_t>(chips[slot].regs[kStepRegStep], kStepMaxStep) * kVoltageStepUv;
        }
    }
    if (config_.chips[kSlotRegulatorB].present) {
        uv += std::min<uint32_t>(chips[kSlotRegulatorB].regs[kRegBCode], kRegBMaxCode) *
              kVoltageStepUv;
    }
    if (config_.pstates20 && hasTable() && isTopLevel(currentLevel())) {
        uv += state_.voltageOffsetUv;
    }
    return static_cast<uint32_t>(std::max<int64_t>(uv, 0));
}

double Board::powerLimitW() const {
    return config_.powerW * static_cast<double>(state_.powerLimit) / kPercentScale;
}

double Board::powerDemandW() const {
    double clockRatio = 1.0;
    double voltageRatio = 1.0;
    if (hasTable()) {
        const size_t top = topLevelIndex(config_);
        const LevelConfig& topLevel = config_.levels[top];
        uint32_t referenceKHz = 0;
        for (const auto& c : topLevel.clocks) {
            if (c.domain == kDomainGraphics) {
                referenceKHz = c.baseKHz;
            }
        }
        const uint32_t nowKHz = currentDomainKHz(kDomainGraphics);
        if (referenceKHz > 0 && nowKHz > 0) {
            clockRatio = static_cast<double>(nowKHz) / referenceKHz;
        }
        if (topLevel.voltageUv > 0) {
            voltageRatio = static_cast<double>(coreVoltageUv()) / topLevel.voltageUv;
        }
    }
    const double dynamic = (config_.loadPowerW - config_.idlePowerW) * state_.load / 100.0;
    return config_.idlePowerW + dynamic * clockRatio * voltageRatio * voltageRatio;
}

double Board::powerW() const { return std::min(powerDemandW(), powerLimitW()); }

int Board::temperatureC() const { return static_cast<int>(std::lround(state_.temperatureC)); }

int Board::chipTemperatureC(int noise) const {
    const int32_t offset = asSigned(state_.chips[kSlotFanChip0].regs[kFc0RegOffset]);
    const int t = temperatureC() - config_.chips[kSlotFanChip0].tempBiasC + offset + noise;
    return std::clamp(t, 0, 255);
}

uint32_t Board::driverAutoLevel() const {
    const auto& curve = config_.fanCurve;
    const double t = state_.temperatureC;
    double level = curve.front().level;
    if (t >= curve.back().tempC) {
        level = curve.back().level;
    } else {
        for (size_t i = 1; i < curve.size(); ++i) {
            if (t < curve[i].tempC) {
                if (t > curve[i - 1].tempC) {
                    const double span = curve[i].tempC - curve[i - 1].tempC;
                    const double part = (t - curve[i - 1].tempC) / span;
                    level = curve[i - 1].level + part * (static_cast<double>(curve[i].level) -
                                                         curve[i - 1].level);
                }
                break;
            }
        }
    }
    const auto rounded = static_cast<uint32_t>(std::lround(level));
    return std::clamp(rounded, config_.coolerMin, config_.coolerMax);
}

bool Board::driverPolicyDrivesFan() const {
    switch (config_.fanControl) {
        case FanControl::Driver:
            return config_.cooler == CoolerKind::Driver;
        case FanControl::Chip1:
            return (state_.chips[kSlotFanChip1].regs[kFc1RegMode] & kFc1ModeManualBits) !=
                   kFc1ModeManualBits;
        case FanControl::Chip0:
            return false;
    }
    return false;
}

uint32_t Board::driverCoolerLevel() const {
    if (driverPolicyDrivesFan()) {
        return state_.coolerPolicy == kCoolerPolicyManual ? state_.coolerLevel : driverAutoLevel();
    }
    return fanDutyPercent();
}

uint32_t Board::chip0AutoRpm() const {
    const auto& regs = state_.chips[kSlotFanChip0].regs;
    const int t = chipTemperatureC(0);
    size_t point = kFc0CurveRpms - 1;
    for (size_t i = 0; i < kFc0CurveTemps; ++i) {
        if (t >= regs[kFc0RegCurveTemp1 + i]) {
            point = i;
            break;
        }
    }
    const uint32_t value = regs[kFc0RegCurveRpm1 + point];
    return value == 0 ? 0 : kFc0RpmConstant / (value << kFc0CurveShift);
}

uint32_t Board::fanTargetRpm() const {
    const uint32_t maxRpm = config_.fanMaxRpm;
    auto fromPercent = [maxRpm](uint32_t percent) {
        return static_cast<uint32_t>(static_cast<uint64_t>(maxRpm) * std::min(percent, 100u) / 100);
    };
    switch (config_.fanControl) {
        case FanControl::Chip0: {
            const auto& regs = state_.chips[kSlotFanChip0].regs;
            if ((regs[kFc0RegMode] & kFc0ModeManual) == 0) {
                return std::min(chip0AutoRpm(), maxRpm);
            }
            const uint32_t period = (regs[kFc0RegPeriodHigh] << 8) | regs[kFc0RegPeriodLow];
            return period == 0 ? 0 : std::min(kFc0RpmConstant / period, maxRpm);
        }
        case FanControl::Chip1: {
            const auto& regs = state_.chips[kSlotFanChip1].regs;
            if ((regs[kFc1RegMode] & kFc1ModeManualBits) == kFc1ModeManualBits) {
                return fromPercent(regs[kFc1RegDutyManual] * 100u / 255u);
            }
            return config_.cooler == CoolerKind::Driver ? fromPercent(driverCoolerLevel())
                                                        : fromPercent(driverAutoLevel());
        }
        case FanControl::Driver:
            return config_.cooler == CoolerKind::Driver ? fromPercent(driverCoolerLevel()) : 0;
    }
    return 0;
}

uint32_t Board::fanRpm() const {
    return static_cast<uint32_t>(std::lround(std::max(state_.fanRpm, 0.0)));
}

uint32_t Board::fanDutyPercent() const {
    if (config_.fanMaxRpm == 0) {
        return 0;
    }
    const double percent = state_.fanRpm * 100.0 / config_.fanMaxRpm;
    return std::min<uint32_t>(static_cast<uint32_t>(std::lround(percent)), 100);
}

double Board::stepOnce(double seconds) {
    const double target = fanTargetRpm();
    state_.fanRpm += (target - state_.fanRpm) * (1.0 - std::exp(-seconds / config_.fanTauS));
    if (state_.pinnedTempC != kNoPinnedTemperature) {
        state_.temperatureC = state_.pinnedTempC;
        return seconds;
    }
    const double airflow = std::clamp(state_.fanRpm / config_.fanMaxRpm, 0.0, 1.0);
    const double resistance = config_.thermalResistance / (1.0 + config_.fanCooling * airflow);
    const double rest = config_.ambientC + powerW() * resistance;
    state_.temperatureC +=
        (rest - state_.temperatureC) * (1.0 - std::exp(-seconds / config_.thermalTauS));
    return seconds;
}

void Board::advance(double seconds) {
    if (!(seconds > 0.0)) {
        return;
    }
    int steps = static_cast<int>(std::ceil(seconds / kMaxStepSeconds));
    steps = std::clamp(steps, 1, kMaxSteps);
    const double h = seconds / steps;
    for (int i = 0; i < steps; ++i) {
        stepOnce(h);
    }
}

void Board::settle() { advance(kSettleSeconds); }

}  // namespace qv::sim
