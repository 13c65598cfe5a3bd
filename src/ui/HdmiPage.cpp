#include "ui/HdmiPage.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "app/AppFonts.h"
#include "lang/HdmiPageRows.h"
#include "lang/LanguageRows.h"
#include "tuning/MainWindowController.h"
#include "ui/MainWindowSkin.h"
#include "ui/MainWindowTexts.h"
#include "ui/QtFonts.h"

namespace qv::ui {

using namespace mainwindow;

namespace {

// The page's own places, in its coordinates.
constexpr int kTitleLeft = 16;
constexpr int kTitleTop = 8;
constexpr int kButtonRowFromBottom = 40;
constexpr int kButtonHeight = 30;
constexpr int kPlayWidth = 100;
constexpr int kSelectWidth = 210;
constexpr int kNameHeight = 14;
constexpr int kNameWidth = 90;
// Where the listener sits in the plan, in main-window coordinates.
constexpr QPoint kListener(300, 440);
constexpr int kListenerRadius = 14;

const QColor kPlanColour(20, 24, 30);
const QColor kSpeakerColour(70, 78, 94);
const QColor kSpeakerEdge(130, 140, 160);
const QColor kLitColour(255, 176, 48);
const QColor kLitGlow(255, 176, 48, 90);
const QColor kConeColour(30, 34, 42);

// A speaker's picture: a cabinet with its cone, lit in the skin's highlight colour. The lit
// pictures differ by speaker only in shape, which the rectangle gives.
void drawSpeaker(QPainter& painter, const QRect& box, bool lit) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (lit) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kLitGlow);
        painter.drawRoundedRect(box.adjusted(-5, -5, 5, 5), 6, 6);
    }
    painter.setPen(lit ? kLitColour.lighter(130) : kSpeakerEdge);
    painter.setBrush(lit ? kLitColour : kSpeakerColour);
    painter.drawRoundedRect(box.adjusted(0, 0, -1, -1), 3, 3);
    const int cone = std::max(4, std::min(box.width(), box.height()) * 2 / 3);
    painter.setBrush(kConeColour);
    painter.drawEllipse(box.center(), cone / 2, cone / 2);
    painter.restore();
}

}  // namespace

HdmiPage::HdmiPage(settings::RegistrySettings& settings,
                   std::function<std::string(const std::string&)> clipPath, QRect area,
                   QWidget* parent)
    : QWidget(parent), settings_(settings), origin_(area.topLeft()) {
    setObjectName("hdmiPage");
    setGeometry(area);
    setAttribute(Qt::WA_OpaquePaintEvent);
    tools::HdmiAudioServices services;
    services.server = &server_;
    services.player = &player_;
    services.clipPath = std::move(clipPath);
    audio_ = std::make_unique<tools::HdmiAudio>(std::move(services));

    auto* title = new QLabel(tableText(lang::kTextHdmi), this);
    title->setObjectName("hdmiTitle");
    title->setFont(toQFont(app::fontDefinition(app::kFontTitle)));
    title->setStyleSheet(skin::kTextStyle);
    title->setGeometry(kTitleLeft, kTitleTop, 200, 24);

    const auto button = [this](const char* name, int textRow) {
        auto* b = new QPushButton(tableText(textRow), this);
        b->setObjectName(name);
        b->setStyleSheet(skin::kButtonStyle);
        b->setFocusPolicy(Qt::TabFocus);
        b->setFont(toQFont(app::fontDefinition(app::kFontLabel)));
        return b;
    };
    playButton_ = button("hdmiPlayButton", lang::kTextPlay);
    selectButton_ = button("hdmiSelectButton", lang::kTextAutoSelectHdmi);
    status_ = new QLabel(this);
    status_->setObjectName("hdmiStatus");
    status_->setStyleSheet(skin::kNoticeStyle);
    const int row = area.height() - kButtonRowFromBottom;
    playButton_->setGeometry(kTitleLeft, row, kPlayWidth, kButtonHeight);
    selectButton_->setGeometry(playButton_->geometry().right() + 8, row, kSelectWidth,
                               kButtonHeight);
    const int statusLeft = selectButton_->geometry().right() + 12;
    status_->setGeometry(statusLeft, row, area.width() - statusLeft - kTitleLeft, kButtonHeight);
    connect(playButton_, &QPushButton::clicked, this, [this] {
        if (const auto pass = audio_->playAll()) {
            showPass(*pass);
        }
    });
    connect(selectButton_, &QPushButton::clicked, this, [this] {
        audio_->selectNow();
        renderStatus();
    });

    checkTimer_ = new QTimer(this);
    checkTimer_->setObjectName("hdmiCheckTimer");
    checkTimer_->setInterval(static_cast<int>(tuning::kHdmiCheckPeriodMs));
    connect(checkTimer_, &QTimer::timeout, this, [this] { checkNow(); });
    highlightTimer_ = new QTimer(this);
    highlightTimer_->setObjectName("speakerHighlightTimer");
    highlightTimer_->setInterval(static_cast<int>(tools::kTimerSpeakerHighlight));
    connect(highlightTimer_, &QTimer::timeout, this, [this] { highlightNow(); });

    audio_->detect();
    renderStatus();
}

HdmiPage::~HdmiPage() {
    stopTimers();
    player_.stop();
}

void HdmiPage::startChecks() {
    checkTimer_->start();
}

void HdmiPage::stopTimers() {
    checkTimer_->stop();
    highlightTimer_->stop();
}

bool HdmiPage::checksActive() const {
    return checkTimer_->isActive();
}

bool HdmiPage::highlightActive() const {
    return highlightTimer_->isActive();
}

void HdmiPage::refresh() {
    audio_->detect();
    renderStatus();
}

void HdmiPage::checkNow() {
    audio_->check(settings_.hdmiAutoSet);
    renderStatus();
}

void HdmiPage::highlightNow() {
    showPass(audio_->highlightTick());
}

QString HdmiPage::statusText() const {
    return status_->text();
}

void HdmiPage::renderStatus() {
    status_->setText(audio_->present() ? QString() : QString::fromUtf8(tools::kTextNoHdmiDevice));
}

void HdmiPage::play(const std::vector<size_t>& speakers) {
    if (const auto pass = audio_->play(speakers)) {
        showPass(*pass);
    }
}

void HdmiPage::showPass(const tools::SpeakerTest::Pass& pass) {
    for (size_t speaker : pass.repaint) {
        update(speakerBox(speaker).adjusted(-6, -6, 6, 6));
    }
    if (pass.stop) {
        highlightTimer_->stop();
    } else if (!highlightTimer_->isActive()) {
        highlightTimer_->start();
    }
}

QRect HdmiPage::speakerBox(size_t speaker) const {
    const tools::SpeakerRect& r = tools::kSpeakerTable[speaker].rect;
    return QRect(r.left, r.top, r.width, r.height).translated(-origin_);
}

void HdmiPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kPlanColour);
    painter.setPen(skin::kEdgeColour);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setRenderHint(QPainter::Antialiasing);
    // The listener, with a faint line to each speaker.
    const QPoint listener = kListener - origin_;
    painter.setPen(QPen(kSpeakerColour, 1, Qt::DotLine));
    for (size_t i = 0; i < tools::kSpeakerCount; ++i) {
        painter.drawLine(listener, speakerBox(i).center());
    }
    painter.setPen(kSpeakerEdge);
    painter.setBrush(kSpeakerColour);
    painter.drawEllipse(listener, kListenerRadius, kListenerRadius);
    QFont small = font();
    small.setPointSize(7);
    painter.setFont(small);
    for (size_t i = 0; i < tools::kSpeakerCount; ++i) {
        const QRect box = speakerBox(i);
        const bool lit = audio_->speakers().lit(i);
        drawSpeaker(painter, box, lit);
        painter.setPen(lit ? kLitColour : skin::kLabelColour);
        painter.drawText(QRect(box.center().x() - kNameWidth / 2, box.bottom() + 3, kNameWidth,
                               kNameHeight),
                         Qt::AlignHCenter | Qt::AlignTop,
                         tableText(tools::kSpeakerTable[i].nameRow));
    }
}

std::optional<size_t> HdmiPage::speakerUnder(const QMouseEvent& event) const {
    const QPoint at = event.position().toPoint() + origin_;
    return audio_->speakerAt(at.x(), at.y());
}

void HdmiPage::mousePressEvent(QMouseEvent* event) {
    // A press on a speaker is the start of its click; elsewhere the window may be dragged.
    if (event->button() == Qt::LeftButton && speakerUnder(*event)) {
        event->accept();
        return;
    }
    event->ignore();
}

void HdmiPage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const auto speaker = speakerUnder(*event)) {
            play({*speaker});
            event->accept();
            return;
        }
    }
    // Not a speaker: the window's own handling.
    event->ignore();
}

}  // namespace qv::ui
