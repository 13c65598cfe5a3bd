#include "ui/OverlayWindow.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStringList>
#include <algorithm>

namespace qv::ui {

namespace {

constexpr int kFontPointSize = 13;
constexpr int kOutlineWidth = 3;
constexpr int kMargin = 4;        // around the text, for the outline
constexpr int kScreenOffset = 8;  // from the screen's top-left corner
constexpr char16_t kDegreeSign = 0x00B0;
const QColor kTextColour(120, 255, 120);
const QColor kOutlineColour(0, 0, 0);

QFont overlayFont() {
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(kFontPointSize);
    font.setBold(true);
    return font;
}

}  // namespace

OverlayWindow::OverlayWindow(platform::OverlayShared* shared, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
      shared_(shared) {
    setObjectName("overlayWindow");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFont(overlayFont());
}

QString OverlayWindow::displayText(const std::string& text) {
    QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace(QStringLiteral("\rC"), QString(QChar(kDegreeSign)) + QLatin1Char('C'));
    shown.remove(QLatin1Char('\r'));
    // The text ends each GPU's block with a line feed; the last one draws nothing.
    while (shown.endsWith(QLatin1Char('\n'))) {
        shown.chop(1);
    }
    return shown;
}

void OverlayWindow::setOverlayText(const std::string& text) {
    if (shared_ != nullptr && shared_->isOpen()) {
        shared_->setText(text);
    }
    shownText_ = displayText(text);
    if (shownText_.trimmed().isEmpty()) {
        hide();
        return;
    }
    placeAndSize();
    show();
    update();
}

void OverlayWindow::placeAndSize() {
    const QFontMetrics metrics(font());
    const QStringList lines = shownText_.split(QLatin1Char('\n'));
    int textWidth = 0;
    for (const QString& line : lines) {
        textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    }
    const int textHeight = static_cast<int>(lines.size()) * metrics.lineSpacing();
    resize(textWidth + 2 * kMargin + kOutlineWidth, textHeight + 2 * kMargin + kOutlineWidth);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QPoint corner = screen != nullptr ? screen->availableGeometry().topLeft() : QPoint();
    move(corner + QPoint(kScreenOffset, kScreenOffset));
}

void OverlayWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QFontMetrics metrics(font());
    QPainterPath path;
    int baseline = kMargin + metrics.ascent();
    for (const QString& line : shownText_.split(QLatin1Char('\n'))) {
        path.addText(kMargin, baseline, font(), line);
        baseline += metrics.lineSpacing();
    }
    // The outline under the fill keeps the text readable over any background.
    painter.strokePath(
        path, QPen(kOutlineColour, kOutlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(path, kTextColour);
}

}  // namespace qv::ui
