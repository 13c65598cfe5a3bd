#include "ui/CNews.h"

#include <sys/stat.h>

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QTimer>

#include "online/NewsFetch.h"
#include "online/NewsSchedule.h"
#include "platform/DebugOutput.h"

namespace qv::ui {

namespace {

constexpr int kCorner = 10;
constexpr int kFadeTickMs = 15;
constexpr int kPictureLeft = 12;
constexpr int kPictureTop = 40;
constexpr int kPictureWidth = 96;
constexpr int kPictureHeight = 72;
constexpr int kTextLeft = 118;
constexpr int kTitleTop = 8;
constexpr int kCloseSize = 20;
constexpr int kDefaultPictureWidth = 96;
constexpr int kDefaultPictureHeight = 72;

// The item's picture when the file is there, not too large and readable; a null image otherwise.
QImage loadPicture(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<size_t>(info.st_size) > online::kMaxNewsPictureBytes) {
        return {};
    }
    QImage image;
    if (!image.load(QString::fromStdString(path))) {
        platform::debugOutput("news: picture %s not readable\n", path.c_str());
        return {};
    }
    return image;
}

QPainterPath skinShape() {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, online::kNewsWindowWidth, online::kNewsWindowHeight), kCorner,
                         kCorner);
    return shape;
}

}  // namespace

QImage CNews::defaultPicture() {
    // A folded newspaper in the program's colours.
    QImage image(kDefaultPictureWidth, kDefaultPictureHeight, QImage::Format_ARGB32);
    image.fill(QColor(16, 40, 72));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(236, 240, 244));
    painter.setPen(QPen(QColor(40, 120, 200), 2));
    painter.drawRoundedRect(QRectF(14, 10, 68, 52), 4, 4);
    painter.setPen(QPen(QColor(96, 255, 128), 4));
    painter.drawLine(22, 20, 74, 20);
    painter.setPen(QPen(QColor(120, 130, 140), 2));
    for (int y = 30; y <= 54; y += 6) {
        painter.drawLine(22, y, y == 54 ? 56 : 74, y);
    }
    return image;
}

CNews::CNews(const online::NewsItem& item, const std::string& picturePath, LinkOpener opener,
             QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      item_(item),
      opener_(std::move(opener)) {
    setObjectName("newsWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(online::kNewsWindowWidth, online::kNewsWindowHeight);
    setWindowTitle(QString::fromStdString(item_.title));
    setMask(QRegion(skinShape().toFillPolygon().toPolygon()));

    picture_ = loadPicture(picturePath);
    if (picture_.isNull()) {
        picture_ = defaultPicture();
        defaultPicture_ = true;
    }

    link_ = new QLabel(this);
    link_->setObjectName("newsLink");
    link_->setTextFormat(Qt::RichText);
    link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    link_->setWordWrap(true);
    link_->setGeometry(kTextLeft, kPictureTop, online::kNewsWindowWidth - kTextLeft - 10,
                       kPictureHeight);
    link_->setText(QStringLiteral("<a href=\"#\" style=\"color:#60ff80\">%1</a>")
                       .arg(QString::fromStdString(item_.title).toHtmlEscaped()));
    link_->setToolTip(QString::fromStdString(item_.content));
    connect(link_, &QLabel::linkActivated, this, [this] { opener_(item_.url); });

    close_ = new QPushButton(QStringLiteral("\u00D7"), this);
    close_->setObjectName("newsClose");
    close_->setFlat(true);
    close_->setGeometry(online::kNewsWindowWidth - kCloseSize - 6, 6, kCloseSize, kCloseSize);
    connect(close_, &QPushButton::clicked, this, &CNews::fadeOut);

    riseTimer_ = new QTimer(this);
    riseTimer_->setObjectName("newsRiseTimer");
    riseTimer_->setInterval(static_cast<int>(online::kNewsRiseTickMs));
    connect(riseTimer_, &QTimer::timeout, this, &CNews::riseTick);
    fadeTimer_ = new QTimer(this);
    fadeTimer_->setObjectName("newsFadeTimer");
    fadeTimer_->setInterval(kFadeTickMs);
    connect(fadeTimer_, &QTimer::timeout, this, &CNews::fadeTick);
}

QRect CNews::availableArea() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

void CNews::popUp() {
    risen_ = 0;
    const QRect area = availableArea();
    const online::NewsArea place =
        online::newsWindowPlace({area.x(), area.y(), area.width(), area.height()}, risen_);
    move(place.x, place.y);
    setWindowOpacity(0.0);
    show();
    fadingOut_ = false;
    fadeClock_.start();
    riseTimer_->start();
    fadeTimer_->start();
}

void CNews::fadeOut() {
    riseTimer_->stop();
    fadingOut_ = true;
    fadeClock_.start();
    fadeTimer_->start();
}

void CNews::riseTick() {
    ++risen_;
    const QRect area = availableArea();
    const online::NewsArea place =
        online::newsWindowPlace({area.x(), area.y(), area.width(), area.height()}, risen_);
    move(place.x, place.y);
    if (risen_ >= online::kNewsRisePixels) {
        riseTimer_->stop();
    }
}

void CNews::fadeTick() {
    const double faded = online::newsFadeIn(static_cast<uint32_t>(fadeClock_.elapsed()));
    setWindowOpacity(fadingOut_ ? 1.0 - faded : faded);
    if (faded >= 1.0) {
        fadeTimer_->stop();
        if (fadingOut_) {
            close();
        }
    }
}

void CNews::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient skin(0, 0, 0, online::kNewsWindowHeight);
    skin.setColorAt(0, QColor(40, 120, 200));
    skin.setColorAt(0.3, QColor(24, 56, 96));
    skin.setColorAt(1, QColor(12, 24, 40));
    painter.fillPath(skinShape(), skin);
    painter.setPen(QColor(245, 245, 245));
    QFont titleFont = painter.font();
    titleFont.setBold(true);
    painter.setFont(titleFont);
    const QRect titleLine(kPictureLeft, kTitleTop,
                          online::kNewsWindowWidth - kPictureLeft - kCloseSize - 16, 24);
    painter.drawText(titleLine, Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(QString::fromStdString(item_.title),
                                                      Qt::ElideRight, titleLine.width()));
    painter.drawImage(QRect(kPictureLeft, kPictureTop, kPictureWidth, kPictureHeight), picture_);
    if (!item_.time.empty()) {
        painter.setFont(font());
        painter.setPen(QColor(180, 190, 200));
        painter.drawText(QRect(kTextLeft, kPictureTop + kPictureHeight + 6,
                               online::kNewsWindowWidth - kTextLeft - 10, 20),
                         Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(item_.time));
    }
}

}  // namespace qv::ui
