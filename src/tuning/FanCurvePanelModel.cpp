#include "tuning/FanCurvePanelModel.h"

namespace qv::tuning {

void FanCurvePanelModel::setCurveSwitch(bool on) {
    if (gpuValid()) {
        layer_.record(static_cast<uint8_t>(gpu_)).fanCurveEnabled = on;
    }
}

bool FanCurvePanelModel::curveOn() const {
    return gpuValid() && layer_.record(static_cast<uint8_t>(gpu_)).fanCurveEnabled;
}

int FanCurvePanelModel::takeOver(const fan::FanCurveBoxes& values) {
    return fan::takeOverCurve(values, curve_.curve);
}

}  // namespace qv::tuning
