#include "ui/FanCurveChartView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <utility>

namespace qv::ui {

namespace {

// Room around the plot for the axis labels and captions, in pixels.
constexpr int kMarginLeft = 34;
constexpr int kMarginRight = 12;
constexpr int kMarginTop = 22;
constexpr int kMarginBottom = 34;
constexpr int kPointRadius = 3;
constexpr int kHoverGap = 6;  // between the cursor and its read-out

const QColor kBackground(24, 26, 30);
const QColor kGrid(60, 64, 72);
const QColor kAxisText(200, 204, 210);
const QColor kLine(90, 200, 120);
const QColor kPoint(250, 250, 250);
const QColor kHoverText(255, 220, 90);

QPoint toQPoint(fan::ChartPixel pixel) {
    return {pixel.x, pixel.y};
}

}  // namespace

FanCurveChartView::FanCurveChartView(const tuning::FanCurveState& curve, QString temperatureCaption,
                                     QString speedCaption, QWidget* parent)
    : QWidget(parent),
      curve_(curve),
      temperatureCaption_(std::move(temperatureCaption)),
      speedCaption_(std::move(speedCaption)) {
    setMouseTracking(true);
    layoutPlot();
}

QSize FanCurveChartView::sizeHint() const {
    return {320, 200};
}

QSize FanCurveChartView::minimumSizeHint() const {
    return {200, 140};
}

void FanCurveChartView::layoutPlot() {
    chart_.setPlot({kMarginLeft, kMarginTop, std::max(0, width() - kMarginLeft - kMarginRight),
                    std::max(0, height() - kMarginTop - kMarginBottom)});
}

void FanCurveChartView::resizeEvent(QResizeEvent* event) {
    layoutPlot();
    QWidget::resizeEvent(event);
}

void FanCurveChartView::setHover(const QString& text, QPoint at) {
    if (text == hoverText_ && (text.isEmpty() || at == hoverAt_)) {
        return;
    }
    hoverText_ = text;
    hoverAt_ = at;
    update();
}

void FanCurveChartView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    setHover(QString::fromStdString(chart_.hoverText(curve_.curve, {at.x(), at.y()})), at);
    QWidget::mouseMoveEvent(event);
}

void FanCurveChartView::leaveEvent(QEvent* event) {
    setHover(QString(), QPoint());
    QWidget::leaveEvent(event);
}

void FanCurveChartView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const fan::ChartRect& plot = chart_.plot();
    if (plot.width < 2 || plot.height < 2) {
        return;
    }
    const QFontMetrics metrics = painter.fontMetrics();

    // Grid and axis labels.
    for (int32_t t : fan::FanCurveChart::temperatureTicks()) {
        const int x = chart_.xOfTemperature(t);
        painter.setPen(kGrid);
        painter.drawLine(x, plot.top, x, plot.top + plot.height - 1);
        const QString label = QString::number(t);
        painter.setPen(kAxisText);
        painter.drawText(x - metrics.horizontalAdvance(label) / 2,
                         plot.top + plot.height + metrics.ascent() + 2, label);
    }
    for (int32_t p : fan::FanCurveChart::percentTicks()) {
        const int y = chart_.yOfPercent(p);
        painter.setPen(kGrid);
        painter.drawLine(plot.left, y, plot.left + plot.width - 1, y);
        const QString label = QString::number(p);
        painter.setPen(kAxisText);
        painter.drawText(plot.left - metrics.horizontalAdvance(label) - 4,
                         y + metrics.ascent() / 2 - 1, label);
    }

    // Axis captions: the temperature under the labels at the right, the speed above the plot.
    painter.setPen(kAxisText);
    painter.drawText(plot.left + plot.width - metrics.horizontalAdvance(temperatureCaption_),
                     height() - metrics.descent() - 1, temperatureCaption_);
    painter.drawText(2, metrics.ascent() + 2, speedCaption_);

    // The line the fan follows, then the five points over it.
    painter.setRenderHint(QPainter::Antialiasing, true);
    const std::vector<fan::ChartPixel> path = chart_.linePath(curve_.curve, curve_.mode);
    if (path.size() > 1) {
        QPainterPath line(toQPoint(path.front()));
        for (size_t i = 1; i < path.size(); ++i) {
            line.lineTo(toQPoint(path[i]));
        }
        painter.setPen(QPen(kLine, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(line);
    }
    painter.setPen(QPen(kLine, 1));
    painter.setBrush(kPoint);
    for (const fan::FanCurvePoint& point : curve_.curve) {
        painter.drawEllipse(toQPoint(chart_.toPixel(point)), kPointRadius, kPointRadius);
    }

    if (!hoverText_.isEmpty()) {
        painter.setPen(kHoverText);
        const int textWidth = metrics.horizontalAdvance(hoverText_);
        // Beside the cursor, turned inwards near the right and top edges.
        int x = hoverAt_.x() + kHoverGap;
        if (x + textWidth > width()) {
            x = hoverAt_.x() - kHoverGap - textWidth;
        }
        int y = hoverAt_.y() - kHoverGap;
        if (y - metrics.ascent() < 0) {
            y = hoverAt_.y() + kHoverGap + metrics.ascent();
        }
        painter.drawText(x, y, hoverText_);
    }
}

}  // namespace qv::ui
