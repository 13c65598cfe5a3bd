// The main window's curve panel: ten number boxes for the five curve points, the "Custom" and
// "Auto" buttons that switch the five-point curve on and off for the GPU on show, the button
// that takes the boxes into the curve, the chart of the curve, and a smooth/zigzag switch. Its
// rules are FanCurvePanelModel's; the panel draws them and forwards the clicks.
#pragma once

#include <QWidget>
#include <array>

#include "fan/FanRules.h"
#include "gpu/GpuLayer.h"
#include "lang/CMultiLangSupp.h"
#include "platform/Prompt.h"
#include "tuning/FanCurvePanelModel.h"
#include "tuning/SamplingLoop.h"

class QPushButton;
class QSpinBox;
class QToolButton;

namespace qv::ui {

class FanCurveChartView;

// What the number boxes accept. The rules take any signed value; the boxes keep to what fits
// their width.
inline constexpr int kCurveBoxMin = -999;
inline constexpr int kCurveBoxMax = 999;

class FanCurvePanel final : public QWidget {
public:
    FanCurvePanel(tuning::FanCurveState& curve, gpu::GpuLayer& layer,
                  const lang::CMultiLangSupp& texts, platform::Prompt& prompt,
                  QWidget* parent = nullptr);

    // The GPU whose curve switch "Custom" and "Auto" set; the buttons and boxes show its switch.
    // An index outside the layer's GPUs leaves both buttons without effect.
    void setGpuOnShow(int gpu);
    int gpuOnShow() const { return model_.gpuOnShow(); }

    // Puts the curve's points into the boxes and redraws the chart (after the curve changed
    // elsewhere).
    void showCurve();
    // Shows the GPU on show's curve switch on the buttons and enables the boxes to match.
    void showSwitch();

    FanCurveChartView* chartView() const { return chart_; }

private:
    void buildControls(const lang::CMultiLangSupp& texts);
    void setCurveSwitch(bool on);
    void takeOver();
    void setMode(int32_t mode);

    tuning::FanCurveState& curve_;
    tuning::FanCurvePanelModel model_;
    platform::Prompt& prompt_;
    // T0, F0, T1, F1 ... T4, F4, as the take-over reads them.
    std::array<QSpinBox*, 2 * fan::kFanCurvePoints> boxes_{};
    QPushButton* customButton_ = nullptr;
    QPushButton* autoButton_ = nullptr;
    QPushButton* takeOverButton_ = nullptr;
    QToolButton* smoothButton_ = nullptr;
    QToolButton* zigzagButton_ = nullptr;
    FanCurveChartView* chart_ = nullptr;
};

}  // namespace qv::ui
