#include "ui/CNQVCurves.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include "app/AppFonts.h"
#include "ui/QtFonts.h"

namespace qv::ui {
namespace {

// Captions and labels fit the 20-pixel caption line and the 28-pixel axis strip.
constexpr int kCurveFontPixels = 11;

QColor toQColor(const monitor::Rgb& rgb) {
    return QColor(rgb.r, rgb.g, rgb.b);
}

QRect toQRect(const monitor::Box& box) {
    return QRect(QPoint(box.left, box.top), QPoint(box.right - 1, box.bottom - 1));
}

void drawTexts(QPainter& painter, const std::vector<monitor::TextItem>& texts) {
    for (const monitor::TextItem& item : texts) {
        painter.setPen(toQColor(item.colour));
        painter.drawText(toQRect(item.box), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                         QString::fromStdString(item.text));
    }
}

}  // namespace

CNQVCurves::CNQVCurves(tuning::MonitorSession& session, std::unique_ptr<monitor::CurveModel> model,
                       platform::LocalTimeSource& time, QWidget* parent)
    : QWidget(parent), session_(session), model_(std::move(model)), time_(time) {
    setObjectName("curves");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    QFont small = toQFont(app::fontDefinition(app::kFontLabel));
    small.setPixelSize(kCurveFontPixels);
    setFont(small);
    setFixedSize(model_->width(), model_->height());
    timer_ = new QTimer(this);
    timer_->setObjectName("curveTimer");
    timer_->setInterval(static_cast<int>(model_->samplingPeriodMs()));
    connect(timer_, &QTimer::timeout, this, [this] { sampleNow(); });
    if (model_->samplingPeriodMs() != 0) {
        timer_->start();
        // The first sample is taken at once, not a period later.
        QTimer::singleShot(0, this, [this] { sampleNow(); });
    }
}

CNQVCurves::~CNQVCurves() {
    model_->setSamplingPeriod(0);
}

bool CNQVCurves::samplingActive() const {
    return timer_->isActive();
}

void CNQVCurves::sampleNow() {
    const monitor::LogTickResult result = session_.tick(*model_, time_.now());
    update();
    if (afterTick_) {
        afterTick_(result);
    }
}

void CNQVCurves::paintEvent(QPaintEvent*) {
    const monitor::CurveGeometry geometry = monitor::computeCurveGeometry(*model_, hover_);
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    drawTexts(painter, geometry.captions);
    drawTexts(painter, geometry.latestValues);
    painter.setPen(QPen(toQColor(monitor::kGridColour), 1, Qt::SolidLine));
    for (const monitor::Line& line : geometry.grid) {
        painter.drawLine(line.from.x, line.from.y, line.to.x, line.to.y);
    }
    for (const monitor::Box& box : geometry.blackFills) {
        painter.fillRect(toQRect(box), Qt::black);
    }
    drawTexts(painter, geometry.axisLabels);
    for (const monitor::Stroke& stroke : geometry.strokes) {
        painter.setPen(QPen(toQColor(stroke.colour), 1, Qt::SolidLine));
        if (stroke.points.size() == 1) {
            painter.drawPoint(stroke.points[0].x, stroke.points[0].y);
            continue;
        }
        for (size_t i = 1; i < stroke.points.size(); ++i) {
            painter.drawLine(stroke.points[i - 1].x, stroke.points[i - 1].y, stroke.points[i].x,
                             stroke.points[i].y);
        }
    }
    drawTexts(painter, geometry.hoverReadouts);
}

void CNQVCurves::mouseMoveEvent(QMouseEvent* event) {
    hover_ = {rect().contains(event->position().toPoint()), event->position().toPoint().x()};
    update();
    event->ignore();  // the monitor window drags itself with it
}

void CNQVCurves::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
    }
    event->ignore();
}

void CNQVCurves::mouseReleaseEvent(QMouseEvent* event) {
    event->ignore();
}

void CNQVCurves::leaveEvent(QEvent* event) {
    hover_ = {};
    update();
    QWidget::leaveEvent(event);
}

}  // namespace qv::ui
