// The sliders: the user's moves with the clock sliders' link rule, the step buttons, and what
// the cards report shown on the controls.
#include <cmath>

#include "tuning/MainDialogModel.h"

namespace qv::tuning {

namespace {

struct StepAmounts {
    std::array<int, MainDialogModel::kStepSizes> own;
    std::array<int, MainDialogModel::kStepSizes> partner;  // 0: no partner moves
};

constexpr StepAmounts kGpuSteps = {{1, 10, 20}, {2, 20, 40}};
constexpr StepAmounts kShaderSteps = {{2, 10, 20}, {1, 5, 10}};
constexpr StepAmounts kMemorySteps = {{1, 10, 20}, {0, 0, 0}};
// Kepler-class boards: the buttons act on the offset and frame-rate sliders, with no partner.
constexpr std::array<int, MainDialogModel::kStepSizes> kKeplerSteps = {1, 10, 20};

}  // namespace

void MainDialogModel::moveSlider(ClockSlider slider, int pos) {
    SliderState& moved = clockSlider(slider);
    if (!moved.enabled) {
        return;  // a domain the GPU does not adjust keeps its empty slider
    }
    moved.setPos(pos);
    applyLinkRule(slider);
}

void MainDialogModel::moveSlider(Slider slider, int pos) {
    switch (slider) {
        case Slider::kGpuClock:
            return moveSlider(ClockSlider::kGpu, pos);
        case Slider::kShaderClock:
            return moveSlider(ClockSlider::kShader, pos);
        case Slider::kMemoryClock:
            return moveSlider(ClockSlider::kMemory, pos);
        default:
            break;
    }
    SliderState& moved = sliderState(slider);
    if (moved.enabled) {
        moved.setPos(pos);
    }
}

const SliderState& MainDialogModel::slider(Slider which) const {
    return const_cast<MainDialogModel*>(this)->sliderState(which);
}

SliderState& MainDialogModel::sliderState(Slider which) {
    switch (which) {
        case Slider::kGpuClock:
            return controls_.gpuClock;
        case Slider::kShaderClock:
            return controls_.shaderClock;
        case Slider::kMemoryClock:
            return controls_.memoryClock;
        case Slider::kFan:
            return controls_.fanSpeed;
        case Slider::kCoreVoltage:
            return controls_.coreVoltage;
        case Slider::kMemoryVoltage:
            return controls_.memoryVoltage;
        case Slider::kGpuOffset:
            return controls_.gpuOffset;
        case Slider::kMemoryOffset:
            return controls_.memoryOffset;
        case Slider::kFrameRate:
            break;
    }
    return controls_.frameRate;
}

void MainDialogModel::showFanLevel(int level) {
    controls_.fanSpeed.setPos(level);
}

void MainDialogModel::showFanBoost(int pos) {
    setFanAutomatic(false);
    controls_.fanSpeed.enabled = true;
    controls_.fanSpeed.setPos(pos);
}

void MainDialogModel::showFanRestored(int pos) {
    controls_.fanSpeed.setPos(pos);
    setFanAutomatic(true);
    controls_.fanSpeed.enabled = false;
}

void MainDialogModel::showGpuOffset(int mhz) {
    controls_.gpuOffset.setPos(mhz);
}

void MainDialogModel::showMemoryOffset(int mhz) {
    controls_.memoryOffset.setPos(mhz);
}

void MainDialogModel::showCoreVoltage(int pos) {
    controls_.coreVoltage.setPos(pos);
}

void MainDialogModel::showCoreVoltageAtTop() {
    controls_.coreVoltage.setPos(controls_.coreVoltage.max);
}

void MainDialogModel::showMemoryVoltage(int pos) {
    controls_.memoryVoltage.setPos(pos);
}

void MainDialogModel::applyLinkRule(ClockSlider moved) {
    if (gpuOnShow_ == kNoGpu || moved == ClockSlider::kMemory ||
        entries_[static_cast<size_t>(gpuOnShow_)].linked == 0) {
        return;
    }
    const auto gpu = static_cast<uint8_t>(gpuOnShow_);
    SliderState& partner = moved == ClockSlider::kGpu ? controls_.shaderClock : controls_.gpuClock;
    // A slider whose domain the GPU does not adjust is not dragged along.
    if (!partner.enabled) {
        return;
    }
    int kind = pressedMode();
    if (kindCount(gpu) < 2) {
        kind = layer_.currentMode(gpu);
    } else if (kind == kNoMode) {
        kind = gpu::kLevelKind3DPerf;
    }
    double ratio = layer_.boostRatio(gpu, kind);
    if (ratio == 0.0) {
        ratio = 1.0;
    }
    if (moved == ClockSlider::kGpu) {
        partner.setPos(static_cast<int>(std::trunc(controls_.gpuClock.pos * ratio)));
    } else {
        partner.setPos(static_cast<int>(std::trunc(controls_.shaderClock.pos / ratio)));
    }
}

void MainDialogModel::step(ClockSlider slider, StepDirection direction, size_t sizeIndex) {
    if (gpuOnShow_ == kNoGpu || sizeIndex >= kStepSizes) {
        return;
    }
    const int sign = static_cast<int>(direction);
    if (layer_.record(static_cast<uint8_t>(gpuOnShow_)).keplerClass) {
        SliderState& target = slider == ClockSlider::kGpu      ? controls_.gpuOffset
                              : slider == ClockSlider::kShader ? controls_.frameRate
                                                               : controls_.memoryOffset;
        if (target.enabled) {
            target.setPos(target.pos + sign * kKeplerSteps[sizeIndex]);
        }
        return;
    }
    const StepAmounts& amounts = slider == ClockSlider::kGpu      ? kGpuSteps
                                 : slider == ClockSlider::kShader ? kShaderSteps
                                                                  : kMemorySteps;
    SliderState& own = clockSlider(slider);
    if (!own.enabled) {
        return;
    }
    own.setPos(own.pos + sign * amounts.own[sizeIndex]);
    if (slider == ClockSlider::kMemory || entries_[static_cast<size_t>(gpuOnShow_)].linked == 0) {
        return;
    }
    SliderState& partner = slider == ClockSlider::kGpu ? controls_.shaderClock : controls_.gpuClock;
    if (partner.enabled) {
        partner.setPos(partner.pos + sign * amounts.partner[sizeIndex]);
    }
}

}  // namespace qv::tuning
