#include "ui/CQuorvelHDDlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QWindow>

#include "platform/DebugOutput.h"
#include "platform/SingleInstance.h"
#include "ui/QtFonts.h"
#include "ui/lang/CMultiLangSupp.h"

namespace qv::ui {

namespace {

// Layout of the frame, in pixels.
constexpr int kHeaderHeight = 44;
constexpr int kMargin = 16;
constexpr int kButtonSize = 28;
constexpr int kButtonGap = 6;
constexpr int kSelectorTop = 72;
constexpr int kRowHeight = 28;
constexpr int kLabelWidth = 120;
constexpr int kReadoutTop = 124;
constexpr int kReadoutWidth = 120;
constexpr int kReadoutHeight = 44;
constexpr int kUnitWidth = 48;

const QColor kBackgroundTop(34, 38, 46);
const QColor kBackgroundBottom(16, 18, 22);
const QColor kHeaderColour(58, 64, 78);
const QColor kEdgeColour(90, 98, 116);
const QColor kReadoutBackground(8, 20, 12);

constexpr const char* kTextStyle = "color: rgb(220, 224, 232);";
constexpr const char* kReadoutStyle =
    "color: rgb(96, 255, 128); background-color: rgb(8, 20, 12); padding-right: 6px;";
constexpr const char* kNoticeStyle = "color: rgb(255, 176, 48);";
constexpr const char* kButtonStyle =
    "QPushButton { color: rgb(220, 224, 232); background: rgb(72, 80, 96); border: none; }"
    "QPushButton:hover { background: rgb(104, 114, 136); }";

QString tableText(int row) {
    return QString::fromUtf8(languageTable().text(row));
}

}  // namespace

CQuorvelHDDlg::CQuorvelHDDlg(app::CQuorvelHDApp& app, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), app_(app) {
    setObjectName("mainWindow");
    model_.load(app_.gpuLayer(), app_.hardwareReady(), app_.simulatedDriver());
    setWindowTitle(QString::fromStdString(model_.caption()));
    setFixedSize(tuning::kFrameWidth, tuning::kFrameHeight);
    buildControls();
}

void CQuorvelHDDlg::buildControls() {
    auto* caption = new QLabel(QString::fromStdString(model_.caption()), this);
    caption->setObjectName("captionLabel");
    caption->setFont(toQFont(app::fontDefinition(app::kFontTitle)));
    caption->setStyleSheet(kTextStyle);
    caption->setGeometry(kMargin, 0, tuning::kFrameWidth / 2, kHeaderHeight);

    minimizeButton_ = new QPushButton(QStringLiteral("\u2013"), this);
    minimizeButton_->setObjectName("minimizeButton");
    minimizeButton_->setToolTip(tableText(tuning::kTextMinimize));
    hideButton_ = new QPushButton(QStringLiteral("\u00d7"), this);
    hideButton_->setObjectName("hideButton");
    hideButton_->setToolTip(tableText(tuning::kTextHide));
    const int buttonTop = (kHeaderHeight - kButtonSize) / 2;
    hideButton_->setGeometry(tuning::kFrameWidth - kMargin - kButtonSize, buttonTop, kButtonSize,
                             kButtonSize);
    minimizeButton_->setGeometry(hideButton_->x() - kButtonGap - kButtonSize, buttonTop,
                                 kButtonSize, kButtonSize);
    for (QPushButton* button : {minimizeButton_, hideButton_}) {
        button->setStyleSheet(kButtonStyle);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFont(toQFont(app::fontDefinition(app::kFontTitle)));
    }
    connect(minimizeButton_, &QPushButton::clicked, this, [this] { showMinimized(); });
    connect(hideButton_, &QPushButton::clicked, this, [this] { hide(); });

    statusLine_ = new QLabel(QString::fromStdString(model_.statusLine()), this);
    statusLine_->setObjectName("statusLine");
    statusLine_->setFont(toQFont(app::fontDefinition(app::kFontLabel)));
    statusLine_->setStyleSheet(kNoticeStyle);
    statusLine_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusLine_->setGeometry(tuning::kFrameWidth / 2, 0,
                             minimizeButton_->x() - kButtonGap - tuning::kFrameWidth / 2,
                             kHeaderHeight);
    statusLine_->setVisible(!model_.statusLine().empty());

    auto* selectorLabel = new QLabel(tableText(tuning::kTextGpu), this);
    selectorLabel->setObjectName("gpuSelectorLabel");
    selectorLabel->setFont(toQFont(app::fontDefinition(app::kFontLabel)));
    selectorLabel->setStyleSheet(kTextStyle);
    selectorLabel->setGeometry(kMargin, kSelectorTop, kLabelWidth, kRowHeight);

    gpuSelector_ = new QComboBox(this);
    gpuSelector_->setObjectName("gpuSelector");
    gpuSelector_->setFont(toQFont(app::fontDefinition(app::kFontLabel)));
    gpuSelector_->setGeometry(kMargin + kLabelWidth, kSelectorTop,
                              tuning::kFrameWidth - 2 * kMargin - kLabelWidth, kRowHeight);
    gpuSelector_->setToolTip(tableText(tuning::kTextPleaseSelectGpu));
    for (const std::string& entry : model_.selectorEntries()) {
        gpuSelector_->addItem(QString::fromStdString(entry));
    }
    gpuSelector_->setEnabled(!model_.selectorEntries().empty());
    gpuSelector_->setCurrentIndex(model_.gpuOnShow());
    connect(gpuSelector_, &QComboBox::currentIndexChanged, this,
            [this](int index) { showGpu(index); });

    auto* temperatureLabel = new QLabel(tableText(tuning::kTextTemperature), this);
    temperatureLabel->setObjectName("temperatureLabel");
    temperatureLabel->setFont(toQFont(app::fontDefinition(app::kFontLabel)));
    temperatureLabel->setStyleSheet(kTextStyle);
    temperatureLabel->setGeometry(kMargin, kReadoutTop, kLabelWidth, kReadoutHeight);

    temperatureReadout_ = new QLabel(this);
    temperatureReadout_->setObjectName("temperatureReadout");
    temperatureReadout_->setFont(toQFont(app::fontDefinition(app::kFontDigitalLarge)));
    temperatureReadout_->setStyleSheet(kReadoutStyle);
    temperatureReadout_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    temperatureReadout_->setGeometry(kMargin + kLabelWidth, kReadoutTop, kReadoutWidth,
                                     kReadoutHeight);

    auto* unit = new QLabel(tableText(tuning::kTextDegrees), this);
    unit->setObjectName("temperatureUnit");
    unit->setFont(toQFont(app::fontDefinition(app::kFontLabel)));
    unit->setStyleSheet(kTextStyle);
    unit->setGeometry(kMargin + kLabelWidth + kReadoutWidth + kButtonGap, kReadoutTop, kUnitWidth,
                      kReadoutHeight);

    temperatureReadout_->setText(QString::fromStdString(model_.temperatureText()));
}

void CQuorvelHDDlg::showGpu(int index) {
    if (model_.selectGpu(app_.gpuLayer(), index)) {
        temperatureReadout_->setText(QString::fromStdString(model_.temperatureText()));
    }
}

void CQuorvelHDDlg::applyStartMode() {
    switch (tuning::MainFrameModel::startAction(app_.startMode())) {
        case tuning::StartAction::kMinimize:
            showMinimized();
            break;
        case tuning::StartAction::kHide:
            hide();
            break;
        case tuning::StartAction::kShowNormal:
            showNormal();
            break;
    }
}

void CQuorvelHDDlg::handleInstanceMessages(const std::vector<uint32_t>& messages) {
    for (uint32_t message : messages) {
        if (message == platform::kInstanceShowWindow) {
            showAndRaise();
        } else {
            // The advanced panel that message 2025 opens is not part of the window yet.
            platform::debugOutput("main window: message %u not handled\n", message);
        }
    }
}

void CQuorvelHDDlg::showAndRaise() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    raise();
    activateWindow();
    platform::debugOutput("main window: shown on request\n");
}

void CQuorvelHDDlg::endDialog(int result) {
    hide();
    if (endHandler_) {
        endHandler_(result);
    }
}

void CQuorvelHDDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0, kBackgroundTop);
    background.setColorAt(1, kBackgroundBottom);
    painter.fillRect(rect(), background);
    painter.fillRect(QRect(0, 0, width(), kHeaderHeight), kHeaderColour);
    painter.setPen(kEdgeColour);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawLine(0, kHeaderHeight, width(), kHeaderHeight);
    painter.fillRect(temperatureReadout_->geometry().adjusted(-2, -2, 2, 2), kEdgeColour);
    painter.fillRect(temperatureReadout_->geometry(), kReadoutBackground);
}

void CQuorvelHDDlg::mousePressEvent(QMouseEvent* event) {
    const bool normal = !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized));
    if (event->button() != Qt::LeftButton ||
        !tuning::MainFrameModel::isDragPoint(event->position().toPoint().y(), normal)) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The window manager moves the window where it can; elsewhere the window follows the mouse.
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) {
        event->accept();
        return;
    }
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
}

void CQuorvelHDDlg::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void CQuorvelHDDlg::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

void CQuorvelHDDlg::closeEvent(QCloseEvent* event) {
    // Closing only hides the window; the program keeps running.
    event->ignore();
    hide();
}

}  // namespace qv::ui
