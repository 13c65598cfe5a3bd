#include "tuning/AdvancedPanel.h"

#include <algorithm>
#include <cstdio>

#include "gpu/DriverStatus.h"
#include "gpu/DriverTypes.h"
#include "gpu/Units.h"

namespace qv::tuning {

namespace {

std::string formatted(const char* format, int a) {
    char text[64];
    std::snprintf(text, sizeof(text), format, a);
    return text;
}

std::string rangeText(int min, int max, int defaultValue) {
    char text[96];
    std::snprintf(text, sizeof(text), "(Min:%d---Max:%d---Default:%d)", min, max, defaultValue);
    return text;
}

std::string rangeText(int min, int max) {
    char text[64];
    std::snprintf(text, sizeof(text), "(Min:%d---Max:%d)", min, max);
    return text;
}

// A structure the driver did not fill is read as all zeros, whatever it wrote before failing.
template <typename Structure>
bool readOrZero(int status, Structure& structure) {
    if (status == drv::kOk) {
        return true;
    }
    structure = {};
    return false;
}

int asInt(uint32_t value) {
    return static_cast<int>(value);
}

}  // namespace

void AdvancedPanel::readPowerRange() {
    drv::PowerPoliciesInfo info{};
    info.version = drv::kPowerPoliciesInfoVersion;
    readOrZero(layer_.powerPoliciesInfo(kAdvancedGpu, info), info);
    const auto& first = info.entries[0];
    sliderOf(AdvancedSlider::kPower).setRange(asInt(first.minPower), asInt(first.maxPower));
    texts_.powerRange =
        rangeText(asInt(first.minPower), asInt(first.maxPower), asInt(first.defaultPower));
    powerDefault_ = asInt(first.defaultPower);
}

void AdvancedPanel::readOffsetRanges() {
    drv::Pstates20Info info{};
    readOrZero(layer_.pstates20Info(kAdvancedGpu, info), info);
    const drv::Pstates20Pstate& p0 = info.pstates[0];
    drv::Pstates20Param graphics{};
    drv::Pstates20Param memory{};
    const uint32_t clocks = std::min(info.numClocks, drv::kPstates20MaxClocks);
    for (uint32_t c = 0; c < clocks; ++c) {
        if (p0.clocks[c].domainId == drv::kClockDomainGraphics) {
            graphics = p0.clocks[c].freqDeltaKHz;
        } else if (p0.clocks[c].domainId == drv::kClockDomainMemory) {
            memory = p0.clocks[c].freqDeltaKHz;
        }
    }
    drv::Pstates20Param voltage{};
    const uint32_t voltages = std::min(info.numBaseVoltages, drv::kPstates20MaxBaseVoltages);
    for (uint32_t v = 0; v < voltages; ++v) {
        if (p0.baseVoltages[v].domainId == drv::kVoltageDomainCore) {
            voltage = p0.baseVoltages[v].voltDeltaUv;
            break;
        }
    }

    SliderState& graphicsSlider = sliderOf(AdvancedSlider::kGraphicsOffset);
    graphicsSlider.setRange(-kAdvancedOffsetSpanKHz, kAdvancedOffsetSpanKHz);
    graphicsSlider.setPos(graphics.value);
    texts_.graphicsRange = rangeText(graphics.min, graphics.max, graphics.value);
    openedGraphicsOffset_ = graphics.value;

    SliderState& memorySlider = sliderOf(AdvancedSlider::kMemoryOffset);
    memorySlider.setRange(-kAdvancedOffsetSpanKHz, kAdvancedOffsetSpanKHz);
    memorySlider.setPos(memory.value);
    texts_.memoryRange = rangeText(memory.min, memory.max, memory.value);
    openedMemoryOffset_ = memory.value;

    sliderOf(AdvancedSlider::kVoltageOffset)
        .setRange(voltage.min / kAdvancedVoltageStepUv, voltage.max / kAdvancedVoltageStepUv);
    texts_.voltageRange = rangeText(voltage.min, voltage.max);
}

void AdvancedPanel::open() {
    for (SliderState& slider : sliders_) {
        slider.enabled = true;
    }
    readPowerRange();
    readOffsetRanges();
    rewriteValueTexts();
    wide_ = false;
    clockType_ = static_cast<int>(drv::kClockTypeCurrent);
    // Widened before the first tick, the power slider would otherwise take a limit of 0 (the
    // bottom of its range), and its Apply would write the lowest power limit.
    refresh();
}

void AdvancedPanel::refresh() {
    drv::ClockFrequencies clocks{};
    clocks.version = drv::kClockFrequenciesVersion;
    clocks.clockType = static_cast<uint32_t>(clockType_);
    readOrZero(layer_.currentClockFrequencies(kAdvancedGpu, clocks), clocks);
    const auto mhz = [&clocks](uint32_t domain) {
        return formatted("%dMHz", asInt(clocks.domain[domain].frequencyKHz /
                                        static_cast<uint32_t>(gpu::kKHzPerMHz)));
    };
    texts_.graphicsClock = mhz(drv::kClockDomainGraphics);
    texts_.processorClock = mhz(drv::kClockDomainProcessor);
    texts_.memoryClock = mhz(drv::kClockDomainMemory);

    drv::PowerTopologyInfo topologyInfo{};
    topologyInfo.version = drv::kPowerTopologyInfoVersion;
    readOrZero(layer_.powerTopologyInfo(kAdvancedGpu, topologyInfo), topologyInfo);
    drv::PowerTopologyStatus topology{};
    topology.version = drv::kPowerTopologyStatusVersion;
    readOrZero(layer_.powerTopologyStatus(kAdvancedGpu, topology), topology);
    texts_.power = formatted("%d", asInt(topology.entries[0].power));

    drv::PowerPoliciesStatus policies{};
    policies.version = drv::kPowerPoliciesStatusVersion;
    readOrZero(layer_.powerPoliciesStatus(kAdvancedGpu, policies), policies);
    lastPowerLimit_ = asInt(policies.entries[0].power);
    texts_.powerLimit = formatted("%d", lastPowerLimit_);

    uint32_t pstate = 0;
    readOrZero(layer_.currentPstate(kAdvancedGpu, pstate), pstate);
    texts_.pstate = formatted("P%d", asInt(pstate));
    uint32_t microvolts = 0;
    readOrZero(layer_.driverCoreVoltage(kAdvancedGpu, microvolts), microvolts);
    texts_.coreVoltage = formatted("%d", asInt(microvolts));
    int32_t celsius = 0;
    readOrZero(layer_.gpuTemperature(kAdvancedGpu, celsius), celsius);
    texts_.temperature = formatted("%d C", celsius);
}

void AdvancedPanel::rewriteValueTexts() {
    texts_.values[0] = formatted("%d", slider(AdvancedSlider::kPower).pos);
    texts_.values[1] = formatted("%d", slider(AdvancedSlider::kGraphicsOffset).pos);
    texts_.values[2] = formatted("%d", slider(AdvancedSlider::kMemoryOffset).pos);
    texts_.values[3] =
        formatted("%d", slider(AdvancedSlider::kVoltageOffset).pos * kAdvancedVoltageStepUv);
}

void AdvancedPanel::moveSlider(AdvancedSlider which, int pos) {
    sliderOf(which).setPos(pos);
    rewriteValueTexts();
}

void AdvancedPanel::selectClockType(int type) {
    if (type >= 0 && static_cast<size_t>(type) < kAdvancedClockTypes.size()) {
        clockType_ = type;
    }
}

int AdvancedPanel::writePowerLimit(int limit) {
    drv::PowerPoliciesStatus status{};
    status.version = drv::kPowerPoliciesStatusVersion;
    const int read = layer_.powerPoliciesStatus(kAdvancedGpu, status);
    if (read != drv::kOk) {
        // A status that could not be read is not written back as zeros.
        return read;
    }
    status.entries[0].power = static_cast<uint32_t>(limit);
    return layer_.setPowerPoliciesStatus(kAdvancedGpu, status);
}

int AdvancedPanel::applyPower() {
    return writePowerLimit(slider(AdvancedSlider::kPower).pos);
}

int AdvancedPanel::applyGraphicsOffset() {
    return layer_.setGraphicsOffset(kAdvancedGpu, slider(AdvancedSlider::kGraphicsOffset).pos);
}

int AdvancedPanel::applyMemoryOffset() {
    return layer_.setMemoryOffset(kAdvancedGpu, slider(AdvancedSlider::kMemoryOffset).pos);
}

int AdvancedPanel::applyVoltageOffset() {
    return layer_.setCoreVoltageOffset(
        kAdvancedGpu, slider(AdvancedSlider::kVoltageOffset).pos * kAdvancedVoltageStepUv);
}

int AdvancedPanel::reset() {
    sliderOf(AdvancedSlider::kGraphicsOffset).setPos(0);
    sliderOf(AdvancedSlider::kMemoryOffset).setPos(0);
    sliderOf(AdvancedSlider::kVoltageOffset).setPos(0);
    sliderOf(AdvancedSlider::kPower).setPos(powerDefault_);
    rewriteValueTexts();
    // Every write is made, whatever the one before answered.
    const std::array<int, kAdvancedSliderCount> statuses = {
        writePowerLimit(powerDefault_), layer_.setGraphicsOffset(kAdvancedGpu, 0),
        layer_.setMemoryOffset(kAdvancedGpu, 0), layer_.setCoreVoltageOffset(kAdvancedGpu, 0)};
    for (int status : statuses) {
        if (status != drv::kOk) {
            return status;
        }
    }
    return drv::kOk;
}

void AdvancedPanel::toggleWidth() {
    if (!wide_) {
        sliderOf(AdvancedSlider::kPower).setPos(lastPowerLimit_);
        sliderOf(AdvancedSlider::kGraphicsOffset).setPos(openedGraphicsOffset_);
        sliderOf(AdvancedSlider::kMemoryOffset).setPos(openedMemoryOffset_);
        rewriteValueTexts();
    }
    wide_ = !wide_;
}

}  // namespace qv::tuning
