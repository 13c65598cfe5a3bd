#include "ui/CAdvanceDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "ui/MainWindowSkin.h"

namespace qv::ui {

namespace {

using tuning::AdvancedSlider;

constexpr int kHeight = 330;
constexpr int kMargin = 12;
constexpr int kRowHeight = 26;
constexpr int kLabelWidth = 130;
constexpr int kFieldWidth = 150;
constexpr int kButtonWidth = 84;
// The wide part, right of the narrow width.
constexpr int kWideLeft = tuning::kAdvancedNarrowWidth + kMargin;
constexpr int kSliderWidth = 200;
constexpr int kValueWidth = 70;
constexpr int kApplyWidth = 70;
constexpr int kRowGap = 72;
constexpr int kNameWidth = 170;

constexpr const char* kDialogStyle =
    "QLineEdit { color: rgb(96, 255, 128); background: rgb(8, 20, 12); border: none;"
    " padding-left: 4px; }";

QString tableText(int row) {
    return QString::fromUtf8(lang::languageTable().text(row));
}

}  // namespace

CAdvanceDlg::CAdvanceDlg(gpu::GpuLayer& layer, QWidget* parent)
    : QWidget(parent, Qt::Window), panel_(layer) {
    setObjectName("advanceDialog");
    setWindowTitle(QString::fromLatin1(tuning::kAdvancedCaption));
    setStyleSheet(kDialogStyle);
    buildReadouts();
    buildRows();

    panel_.open();
    {
        const QSignalBlocker blocker(clockType_);
        clockType_->setCurrentIndex(panel_.clockType());
    }
    render();

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setObjectName("advanceRefreshTimer");
    refreshTimer_->setInterval(static_cast<int>(tuning::kAdvancedRefreshMs));
    connect(refreshTimer_, &QTimer::timeout, this, [this] { refreshNow(); });
    refreshTimer_->start();
}

QLabel* CAdvanceDlg::makeLabel(const char* name, const QString& text, QRect box) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setStyleSheet(skin::kTextStyle);
    label->setGeometry(box);
    return label;
}

QPushButton* CAdvanceDlg::makeButton(const char* name, const char* caption, QRect box) {
    auto* button = new QPushButton(QString::fromLatin1(caption), this);
    button->setObjectName(name);
    button->setStyleSheet(skin::kButtonStyle);
    button->setGeometry(box);
    button->setAutoDefault(false);
    return button;
}

void CAdvanceDlg::buildReadouts() {
    int top = kMargin;
    const auto next = [&top] {
        const int here = top;
        top += kRowHeight + 4;
        return here;
    };
    const int fieldLeft = kMargin + kLabelWidth;

    int y = next();
    clockType_ = new QComboBox(this);
    clockType_->setObjectName("clockTypeSelector");
    clockType_->setStyleSheet(skin::kComboStyle);
    clockType_->setGeometry(kMargin, y, kLabelWidth + kFieldWidth, kRowHeight);
    for (const char* type : tuning::kAdvancedClockTypes) {
        clockType_->addItem(QString::fromLatin1(type));
    }
    // Read at the next tick, not at once.
    connect(clockType_, &QComboBox::currentIndexChanged, this,
            [this](int index) { panel_.selectClockType(index); });

    const auto field = [&](const char* name, int row, QLineEdit*& edit) {
        const int at = next();
        makeLabel((std::string(name) + "Label").c_str(), tableText(row),
                  QRect(kMargin, at, kLabelWidth, kRowHeight));
        edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setReadOnly(true);
        edit->setGeometry(fieldLeft, at, kFieldWidth, kRowHeight);
    };
    field("graphicsClockField", lang::kTextGpuClock, graphicsClock_);
    field("processorClockField", lang::kTextShaderClock, processorClock_);
    field("memoryClockField", lang::kTextMemoryClock, memoryClock_);

    const auto readout = [&](const char* name, const QString& caption) {
        const int at = next();
        makeLabel((std::string(name) + "Label").c_str(), caption,
                  QRect(kMargin, at, kLabelWidth, kRowHeight));
        return makeLabel(name, {}, QRect(fieldLeft, at, kFieldWidth, kRowHeight));
    };
    pstate_ = readout("pstateText", QStringLiteral("P-State"));
    power_ = readout("powerText", tableText(lang::kTextPower));
    powerLimit_ = readout("powerLimitText", QStringLiteral("Power limit"));
    coreVoltage_ = readout("coreVoltageText", tableText(lang::kTextGpuVoltage) + " (uV)");
    temperature_ = readout("temperatureText", tableText(lang::kTextTemperature));

    const int buttonTop = kHeight - kMargin - kRowHeight;
    widthButton_ = makeButton("widthButton", tuning::kAdvancedWiden,
                              QRect(kMargin, buttonTop, kButtonWidth, kRowHeight));
    QPushButton* reset =
        makeButton("resetButton", tuning::kAdvancedReset,
                   QRect(kMargin + kButtonWidth + 8, buttonTop, kButtonWidth, kRowHeight));
    QPushButton* close =
        makeButton("closeButton", tuning::kAdvancedClose,
                   QRect(kMargin + 2 * (kButtonWidth + 8), buttonTop, kButtonWidth, kRowHeight));
    connect(widthButton_, &QPushButton::clicked, this, [this] { toggleWidth(); });
    connect(reset, &QPushButton::clicked, this, [this] {
        panel_.reset();
        render();
    });
    connect(close, &QPushButton::clicked, this, [this] { hide(); });
}

void CAdvanceDlg::buildRows() {
    struct RowLayout {
        const char* name;
        QString caption;
    };
    const std::array<RowLayout, tuning::kAdvancedSliderCount> layouts = {{
        {"power", QString::fromLatin1(tuning::kAdvancedSliderNames[0])},
        {"graphicsOffset", QString::fromLatin1(tuning::kAdvancedSliderNames[1])},
        {"memoryOffset", QString::fromLatin1(tuning::kAdvancedSliderNames[2])},
        {"voltageOffset", QString::fromLatin1(tuning::kAdvancedSliderNames[3])},
    }};
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        const std::string name = layouts[i].name;
        const int top = kMargin + static_cast<int>(i) * kRowGap;
        row.name = makeLabel((name + "Label").c_str(), layouts[i].caption,
                             QRect(kWideLeft, top, kNameWidth, kRowHeight));
        row.range =
            makeLabel((name + "Range").c_str(), {},
                      QRect(kWideLeft, top + 2 * kRowHeight,
                            tuning::kAdvancedWideWidth - kWideLeft - kMargin, kRowHeight - 8));
        row.range->setStyleSheet(skin::kSmallCaptionStyle);
        row.slider = new QSlider(Qt::Horizontal, this);
        row.slider->setObjectName(QString::fromStdString(name + "Slider"));
        row.slider->setStyleSheet(skin::kSliderStyle);
        row.slider->setGeometry(kWideLeft, top + kRowHeight - 4, kSliderWidth, kRowHeight);
        row.value = makeLabel(
            (name + "Value").c_str(), {},
            QRect(kWideLeft + kSliderWidth + 8, top + kRowHeight - 4, kValueWidth, kRowHeight));
        row.apply = makeButton((name + "Apply").c_str(), tuning::kAdvancedApply,
                               QRect(kWideLeft + kSliderWidth + kValueWidth + 16,
                                     top + kRowHeight - 4, kApplyWidth, kRowHeight));
        const auto which = static_cast<AdvancedSlider>(i);
        connect(row.slider, &QSlider::valueChanged, this, [this, which](int pos) {
            panel_.moveSlider(which, pos);
            render();
        });
    }
    connect(rows_[0].apply, &QPushButton::clicked, this, [this] { panel_.applyPower(); });
    connect(rows_[1].apply, &QPushButton::clicked, this, [this] { panel_.applyGraphicsOffset(); });
    connect(rows_[2].apply, &QPushButton::clicked, this, [this] { panel_.applyMemoryOffset(); });
    connect(rows_[3].apply, &QPushButton::clicked, this, [this] { panel_.applyVoltageOffset(); });
}

void CAdvanceDlg::render() {
    const tuning::AdvancedTexts& texts = panel_.texts();
    const std::array<const std::string*, tuning::kAdvancedSliderCount> ranges = {
        &texts.powerRange, &texts.graphicsRange, &texts.memoryRange, &texts.voltageRange};
    for (size_t i = 0; i < rows_.size(); ++i) {
        const tuning::SliderState& state = panel_.slider(static_cast<AdvancedSlider>(i));
        const QSignalBlocker blocker(rows_[i].slider);
        rows_[i].slider->setRange(state.min, state.max);
        rows_[i].slider->setValue(state.pos);
        rows_[i].value->setText(QString::fromStdString(texts.values[i]));
        rows_[i].range->setText(QString::fromStdString(*ranges[i]));
    }
    graphicsClock_->setText(QString::fromStdString(texts.graphicsClock));
    processorClock_->setText(QString::fromStdString(texts.processorClock));
    memoryClock_->setText(QString::fromStdString(texts.memoryClock));
    pstate_->setText(QString::fromStdString(texts.pstate));
    power_->setText(QString::fromStdString(texts.power));
    powerLimit_->setText(QString::fromStdString(texts.powerLimit));
    coreVoltage_->setText(QString::fromStdString(texts.coreVoltage));
    temperature_->setText(QString::fromStdString(texts.temperature));
    widthButton_->setText(QString::fromLatin1(panel_.widthButtonCaption()));
    if (width() != panel_.width() || height() != kHeight) {
        setFixedSize(panel_.width(), kHeight);
    }
}

void CAdvanceDlg::refreshNow() {
    panel_.refresh();
    render();
}

void CAdvanceDlg::toggleWidth() {
    panel_.toggleWidth();
    render();
}

bool CAdvanceDlg::refreshActive() const {
    return refreshTimer_->isActive();
}

void CAdvanceDlg::showAndRaise() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

}  // namespace qv::ui
