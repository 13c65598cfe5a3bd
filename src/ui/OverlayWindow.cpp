#include "ui/OverlayWindow.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStringList>
#include <QWindow>
#include <algorithm>

namespace qv::ui {

namespace {

constexpr int kFontPointSize = 13;
constexpr int kOutlineWidth = 3;
constexpr int kMargin = 4;  // around the text, for the outline
constexpr char16_t kDegreeSign = 0x00B0;
const QColor kTextColour(120, 255, 120);
const QColor kOutlineColour(0, 0, 0);
// Behind the text while the line can be dragged, so that the user sees what to take.
const QColor kMovableBackdrop(0, 0, 0, 96);
const QColor kMovableEdge(255, 255, 255, 128);

tuning::OverlayRect rectOf(const QRect& rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

tuning::OverlayPoint pointOf(const QPoint& point) {
    return {point.x(), point.y()};
}

QPoint qPointOf(const tuning::OverlayPoint& point) {
    return {point.x, point.y};
}

QFont overlayFont() {
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(kFontPointSize);
    font.setBold(true);
    return font;
}

}  // namespace

OverlayWindow::OverlayWindow(platform::OverlayShared* shared, settings::RegistryStore* store,
                             settings::RegistrySettings* settings, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
      shared_(shared),
      placement_(store, settings) {
    setObjectName("overlayWindow");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFont(overlayFont());
    // Movable only while the user works in the program: in a game, or any other program, the
    // line never takes a click.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) { setMovable(state == Qt::ApplicationActive); });
    setMovable(QGuiApplication::applicationState() == Qt::ApplicationActive);
}

void OverlayWindow::setMovable(bool movable) {
    placement_.setMovable(movable);
    const bool clickThrough = !movable;
    setAttribute(Qt::WA_TransparentForMouseEvents, clickThrough);
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowTransparentForInput, clickThrough);
    // Told to the native window as it stands: setWindowFlags would hide and re-create it.
    overrideWindowFlags(flags);
    if (QWindow* handle = windowHandle()) {
        handle->setFlags(flags);
    }
    if (movable) {
        setCursor(Qt::SizeAllCursor);
    } else {
        unsetCursor();
    }
    update();
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
    followPlacement();
}

void OverlayWindow::followPlacement() {
    // While the user drags it, the window is where the mouse has it.
    if (placement_.dragging()) {
        return;
    }
    move(qPointOf(placement_.place(screens(), avoidedFrame(), lineSize())));
}

std::vector<tuning::OverlayScreen> OverlayWindow::screens() const {
    std::vector<tuning::OverlayScreen> found;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const auto add = [&found](const QScreen* screen) {
        found.push_back({rectOf(screen->geometry()), rectOf(screen->availableGeometry())});
    };
    if (primary != nullptr) {
        add(primary);
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) {
            add(screen);
        }
    }
    return found;
}

tuning::OverlayRect OverlayWindow::avoidedFrame() const {
    // A hidden or minimised main window covers nothing; the line keeps clear of it once it shows.
    if (avoided_ == nullptr || !avoided_->isVisible() || avoided_->isMinimized()) {
        return {};
    }
    return rectOf(avoided_->frameGeometry());
}

tuning::OverlaySize OverlayWindow::lineSize() const {
    return {width(), height()};
}

void OverlayWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton &&
        placement_.press(pointOf(event->globalPosition().toPoint()), pointOf(pos()))) {
        event->accept();
        return;
    }
    event->ignore();
}

void OverlayWindow::mouseMoveEvent(QMouseEvent* event) {
    if (const auto place = placement_.drag(pointOf(event->globalPosition().toPoint()))) {
        move(qPointOf(*place));
        event->accept();
        return;
    }
    event->ignore();
}

void OverlayWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (const auto place = placement_.release(pointOf(event->globalPosition().toPoint()),
                                              screens(), avoidedFrame(), lineSize())) {
        move(qPointOf(*place));
        event->accept();
        return;
    }
    event->ignore();
}

void OverlayWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (placement_.movable()) {
        painter.fillRect(rect(), kMovableBackdrop);
        painter.setPen(kMovableEdge);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
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
