// The curve panel's line chart: the five points of the fan curve over a temperature axis and a
// speed axis, the line the fan follows in the curve's mode, and the values of the point under
// the cursor. The geometry is FanCurveChart's; this widget only paints it and tracks the mouse.
#pragma once

#include <QString>
#include <QWidget>

#include "fan/FanCurveChart.h"
#include "tuning/SamplingLoop.h"

namespace qv::ui {

class FanCurveChartView final : public QWidget {
public:
    // `curve` is read on every paint; call update() after it changed.
    FanCurveChartView(const tuning::FanCurveState& curve, QString temperatureCaption,
                      QString speedCaption, QWidget* parent = nullptr);

    // The read-out shown for the cursor's last position: "(%d,%d)" or empty.
    const QString& hoverText() const { return hoverText_; }
    // The plot rectangle at the widget's current size.
    const fan::FanCurveChart& chart() const { return chart_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void layoutPlot();
    void setHover(const QString& text, QPoint at);

    const tuning::FanCurveState& curve_;
    QString temperatureCaption_;
    QString speedCaption_;
    fan::FanCurveChart chart_;
    QString hoverText_;
    QPoint hoverAt_;
};

}  // namespace qv::ui
