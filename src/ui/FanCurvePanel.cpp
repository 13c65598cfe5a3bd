#include "ui/FanCurvePanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <iterator>

#include "lang/LanguageRows.h"
#include "ui/FanCurveChartView.h"

namespace qv::ui {

namespace {

constexpr int kModeIconSize = 20;

// The icon of a mode button: the mode's line over a small square.
QIcon modeIcon(int32_t mode) {
    QPixmap pixmap(kModeIconSize, kModeIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QColor(90, 200, 120), 2));
    constexpr int low = kModeIconSize - 4;
    constexpr int high = 4;
    constexpr int right = kModeIconSize - 3;
    if (mode == fan::kFanCurveSmooth) {
        painter.drawLine(3, low, right, high);
    } else {
        const QPoint steps[] = {{3, low}, {9, low}, {9, 10}, {15, 10}, {15, high}, {right, high}};
        painter.drawPolyline(steps, static_cast<int>(std::size(steps)));
    }
    return QIcon(pixmap);
}

}  // namespace

FanCurvePanel::FanCurvePanel(tuning::FanCurveState& curve, gpu::GpuLayer& layer,
                             const lang::CMultiLangSupp& texts, platform::Prompt& prompt,
                             QWidget* parent)
    : QWidget(parent), curve_(curve), model_(curve, layer), prompt_(prompt) {
    setObjectName("fanCurvePanel");
    buildControls(texts);
    showCurve();
    showSwitch();
}

void FanCurvePanel::buildControls(const lang::CMultiLangSupp& texts) {
    const QString temperatureCaption =
        QString::fromUtf8(texts.text(lang::kTextCurveAxisTemperature));
    const QString speedCaption = QString::fromUtf8(texts.text(lang::kTextSpeedPercent));
    const QString modeToolTip = QString::fromUtf8(texts.text(lang::kTextCurveToolTip));

    auto* grid = new QGridLayout;
    auto* temperatureLabel = new QLabel(temperatureCaption, this);
    temperatureLabel->setObjectName("fanCurveTemperatureLabel");
    auto* speedLabel = new QLabel(speedCaption, this);
    speedLabel->setObjectName("fanCurveSpeedLabel");
    grid->addWidget(temperatureLabel, 0, 0);
    grid->addWidget(speedLabel, 1, 0);
    for (size_t point = 0; point < fan::kFanCurvePoints; ++point) {
        for (size_t row = 0; row < 2; ++row) {
            auto* box = new QSpinBox(this);
            box->setRange(kCurveBoxMin, kCurveBoxMax);
            box->setButtonSymbols(QAbstractSpinBox::NoButtons);
            box->setAlignment(Qt::AlignRight);
            box->setObjectName(QString("fanCurve%1%2").arg(row == 0 ? 'T' : 'F').arg(point));
            grid->addWidget(box, static_cast<int>(row), static_cast<int>(point) + 1);
            boxes_[2 * point + row] = box;
        }
    }

    customButton_ = new QPushButton(QString::fromUtf8(texts.text(lang::kTextCurveCustom)), this);
    customButton_->setObjectName("fanCurveCustom");
    customButton_->setCheckable(true);
    autoButton_ = new QPushButton(QString::fromUtf8(texts.text(lang::kTextCurveAuto)), this);
    autoButton_->setObjectName("fanCurveAuto");
    autoButton_->setCheckable(true);
    takeOverButton_ = new QPushButton(QString::fromUtf8(texts.text(lang::kTextLoad)), this);
    takeOverButton_->setObjectName("fanCurveTakeOver");

    smoothButton_ = new QToolButton(this);
    smoothButton_->setObjectName("fanCurveSmooth");
    smoothButton_->setIcon(modeIcon(fan::kFanCurveSmooth));
    zigzagButton_ = new QToolButton(this);
    zigzagButton_->setObjectName("fanCurveZigzag");
    zigzagButton_->setIcon(modeIcon(fan::kFanCurveZigzag));
    for (QToolButton* button : {smoothButton_, zigzagButton_}) {
        button->setCheckable(true);
        button->setToolTip(modeToolTip);
    }

    chart_ = new FanCurveChartView(curve_, temperatureCaption, speedCaption, this);
    chart_->setObjectName("fanCurveChart");
    chart_->setToolTip(modeToolTip);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(customButton_);
    buttons->addWidget(autoButton_);
    buttons->addStretch(1);
    buttons->addWidget(smoothButton_);
    buttons->addWidget(zigzagButton_);
    buttons->addWidget(takeOverButton_);

    auto* column = new QVBoxLayout(this);
    column->addWidget(chart_, 1);
    column->addLayout(grid);
    column->addLayout(buttons);

    connect(customButton_, &QPushButton::clicked, this, [this] { setCurveSwitch(true); });
    connect(autoButton_, &QPushButton::clicked, this, [this] { setCurveSwitch(false); });
    connect(takeOverButton_, &QPushButton::clicked, this, [this] { takeOver(); });
    connect(smoothButton_, &QToolButton::clicked, this, [this] { setMode(fan::kFanCurveSmooth); });
    connect(zigzagButton_, &QToolButton::clicked, this, [this] { setMode(fan::kFanCurveZigzag); });
}

void FanCurvePanel::setGpuOnShow(int gpu) {
    model_.setGpuOnShow(gpu);
    showSwitch();
}

void FanCurvePanel::showCurve() {
    for (size_t point = 0; point < fan::kFanCurvePoints; ++point) {
        boxes_[2 * point]->setValue(curve_.curve[point].temperature);
        boxes_[2 * point + 1]->setValue(curve_.curve[point].percent);
    }
    smoothButton_->setChecked(curve_.mode == fan::kFanCurveSmooth);
    zigzagButton_->setChecked(curve_.mode == fan::kFanCurveZigzag);
    chart_->update();
}

void FanCurvePanel::showSwitch() {
    const bool on = model_.curveOn();
    customButton_->setChecked(on);
    autoButton_->setChecked(!on);
    for (QSpinBox* box : boxes_) {
        box->setEnabled(on);
    }
    takeOverButton_->setEnabled(on);
}

void FanCurvePanel::setCurveSwitch(bool on) {
    model_.setCurveSwitch(on);
    showSwitch();
}

void FanCurvePanel::takeOver() {
    fan::FanCurveBoxes values{};
    for (size_t i = 0; i < boxes_.size(); ++i) {
        boxes_[i]->interpretText();  // a number still being typed counts
        values[i] = boxes_[i]->value();
    }
    if (model_.takeOver(values) != fan::kCurveTakenOver) {
        prompt_.show("", fan::kCurveOrderMessage, platform::PromptIcon::kWarning,
                     platform::PromptButtons::kOk);
        return;
    }
    chart_->update();
}

void FanCurvePanel::setMode(int32_t mode) {
    model_.setMode(mode);
    smoothButton_->setChecked(mode == fan::kFanCurveSmooth);
    zigzagButton_->setChecked(mode == fan::kFanCurveZigzag);
    chart_->update();
}

}  // namespace qv::ui
