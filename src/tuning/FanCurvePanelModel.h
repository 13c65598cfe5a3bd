// The rules of the main window's curve panel: which GPU's curve switch "Custom" and "Auto" set,
// whether the number boxes can be edited, taking the boxes into the shared curve, and the curve's
// mode. The curve and its mode are shared by every GPU; each GPU's switch is its record's
// fanCurveEnabled, which the sampling tick reads on its next run.
#pragma once

#include <cstdint>

#include "fan/FanRules.h"
#include "gpu/GpuLayer.h"
#include "tuning/SamplingLoop.h"

namespace qv::tuning {

class FanCurvePanelModel {
public:
    FanCurvePanelModel(FanCurveState& curve, gpu::GpuLayer& layer) : curve_(curve), layer_(layer) {}

    // The GPU whose switch the buttons set. An index outside the layer's GPUs leaves both
    // buttons without effect.
    void setGpuOnShow(int gpu) { gpu_ = gpu; }
    int gpuOnShow() const { return gpu_; }

    // "Custom" (true) or "Auto" (false) for the GPU on show.
    void setCurveSwitch(bool on);
    // The switch of the GPU on show; off without one. The boxes and the take-over button can be
    // used only while it is on.
    bool curveOn() const;

    // Takes the boxes (T0, F0 ... T4, F4) into the curve: fan::kCurveTakenOver, or the rules'
    // refusal with the curve unchanged.
    int takeOver(const fan::FanCurveBoxes& values);

    void setMode(int32_t mode) { curve_.mode = mode; }
    int32_t mode() const { return curve_.mode; }
    const fan::FanCurve& curve() const { return curve_.curve; }

private:
    bool gpuValid() const { return gpu_ >= 0 && gpu_ < layer_.gpuCount(); }

    FanCurveState& curve_;
    gpu::GpuLayer& layer_;
    int gpu_ = 0;
};

}  // namespace qv::tuning
