#include "ui/Gauge.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "app/AppFonts.h"
#include "ui/MainWindowSkin.h"
#include "ui/QtFonts.h"

namespace qv::ui {

namespace {

// The arc runs clockwise from the lower left to the lower right, 240 degrees in all. Qt counts
// angles in sixteenths of a degree, anticlockwise from three o'clock.
constexpr int kArcStartDegrees = 210;
constexpr int kArcSpanDegrees = -240;
constexpr int kSixteenths = 16;
constexpr int kArcWidth = 6;
constexpr int kArcInset = 6;
constexpr int kCaptionHeight = 16;
constexpr int kDigitsHeight = 22;

}  // namespace

Gauge::Gauge(const QString& caption, int scaleMax, QWidget* parent)
    : QWidget(parent),
      caption_(caption),
      scaleMax_(std::max(1, scaleMax)),
      text_(QString::fromUtf8(skin::kMissingText)),
      colour_(skin::kDigitColour) {}

void Gauge::setReading(int value, const QString& text, const QColor& colour) {
    if (value == value_ && text == text_ && colour == colour_) {
        return;
    }
    value_ = value;
    text_ = text;
    colour_ = colour;
    update();
}

void Gauge::setScaleMax(int scaleMax) {
    scaleMax_ = std::max(1, scaleMax);
    update();
}

void Gauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const int side = std::min(width(), height() - kCaptionHeight) - 2 * kArcInset;
    const QRectF dial((width() - side) / 2.0, kArcInset, side, side);
    QPen track(skin::kGaugeTrack, kArcWidth, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(track);
    painter.drawArc(dial, kArcStartDegrees * kSixteenths, kArcSpanDegrees * kSixteenths);

    if (value_ >= 0) {
        const double share = std::clamp(static_cast<double>(value_) / scaleMax_, 0.0, 1.0);
        QPen fill(skin::kGaugeFill, kArcWidth, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(fill);
        painter.drawArc(dial, kArcStartDegrees * kSixteenths,
                        static_cast<int>(kArcSpanDegrees * kSixteenths * share));
    }

    QFont digits = toQFont(app::fontDefinition(app::kFontDigitalSmall));
    digits.setPixelSize(std::max(10, side / 4));
    painter.setFont(digits);
    painter.setPen(colour_);
    const QRectF digitsBox(0, dial.center().y() - kDigitsHeight / 2.0, width(), kDigitsHeight);
    painter.drawText(digitsBox, Qt::AlignCenter, text_);

    QFont label = toQFont(app::fontDefinition(app::kFontLabel));
    label.setPixelSize(11);
    painter.setFont(label);
    painter.setPen(skin::kLabelColour);
    painter.drawText(QRectF(0, height() - kCaptionHeight, width(), kCaptionHeight), Qt::AlignCenter,
                     caption_);
}

}  // namespace qv::ui
