#include "ui/CViewDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace qv::ui {

namespace {

// What the adapter was last given, for as long as the program runs.
tools::BezelCorrection& programCorrection() {
    static tools::BezelCorrection correction;
    return correction;
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QLineEdit* field(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

void showText(QLineEdit* edit, const std::string& text) {
    if (edit->text() != qs(text)) {
        const QSignalBlocker quiet(edit);
        edit->setText(qs(text));
    }
}

QSlider* bezelSlider(const char* name, QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setRange(tools::kBezelMin, tools::kBezelMax);
    return slider;
}

}  // namespace

CViewDlg::CViewDlg(drv::DriverLoader& driver, platform::Prompt& prompt, QWidget* parent,
                   platform::Clock& clock)
    : QDialog(parent), tool_(driver, clock, prompt, programCorrection()) {
    setObjectName("viewDialog");
    setWindowTitle(tools::kTextViewTitle);

    timings_ = new QListWidget(this);
    timings_->setObjectName("timingList");
    width_ = field("activeWidth", this);
    height_ = field("activeHeight", this);
    frequency_ = field("verticalFrequency", this);
    pixelClock_ = field("pixelClock", this);
    pixelClock_->setReadOnly(true);
    set_ = new QPushButton(tools::kTextSet, this);
    set_->setObjectName("setTiming");

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(tools::kTextActiveWidth, this), 0, 0);
    fields->addWidget(width_, 0, 1);
    fields->addWidget(new QLabel(tools::kTextActiveHeight, this), 1, 0);
    fields->addWidget(height_, 1, 1);
    fields->addWidget(new QLabel(tools::kTextVerticalFrequency, this), 2, 0);
    fields->addWidget(frequency_, 2, 1);
    fields->addWidget(new QLabel(tools::kTextPixelClock, this), 3, 0);
    fields->addWidget(pixelClock_, 3, 1);
    fields->addWidget(set_, 4, 1, Qt::AlignRight);
    auto* timingRow = new QHBoxLayout;
    timingRow->addWidget(timings_, 1);
    timingRow->addLayout(fields);

    horizontal_ = bezelSlider("horizontalBezel", this);
    vertical_ = bezelSlider("verticalBezel", this);
    horizontalValue_ = new QLabel(this);
    horizontalValue_->setObjectName("horizontalBezelValue");
    verticalValue_ = new QLabel(this);
    verticalValue_->setObjectName("verticalBezelValue");
    apply_ = new QPushButton(tools::kTextApply, this);
    apply_->setObjectName("applyBezel");
    auto* bezel = new QGridLayout;
    bezel->addWidget(new QLabel(tools::kTextHorizontal, this), 0, 0);
    bezel->addWidget(horizontal_, 0, 1);
    bezel->addWidget(horizontalValue_, 0, 2);
    bezel->addWidget(new QLabel(tools::kTextVertical, this), 1, 0);
    bezel->addWidget(vertical_, 1, 1);
    bezel->addWidget(verticalValue_, 1, 2);
    bezel->addWidget(apply_, 0, 3, 2, 1);
    auto* horizontalNote = new QLabel(tools::kTextHorizontalNote, this);
    horizontalNote->setObjectName("horizontalNote");
    auto* verticalNote = new QLabel(tools::kTextVerticalNote, this);
    verticalNote->setObjectName("verticalNote");
    bezel->addWidget(horizontalNote, 2, 0, 1, 4);
    bezel->addWidget(verticalNote, 3, 0, 1, 4);

    status_ = new QLabel(this);
    status_->setObjectName("statusLine");
    debugCount_ = field("debugCount", this);
    debugCount_->setMaximumWidth(40);
    debugData_ = field("debugData", this);
    debugAddress_ = field("debugAddress", this);
    debugAddress_->setMaximumWidth(50);
    debugMode_ = new QComboBox(this);
    debugMode_->setObjectName("debugMode");
    for (const char* mode : tools::kDebugModes) {
        debugMode_->addItem(mode);
    }
    auto* debugRow = new QHBoxLayout;
    debugRow->addWidget(debugCount_);
    debugRow->addWidget(debugData_, 1);
    debugRow->addWidget(debugAddress_);
    debugRow->addWidget(debugMode_);

    auto* column = new QVBoxLayout(this);
    column->addLayout(timingRow);
    column->addLayout(bezel);
    column->addWidget(status_);
    column->addLayout(debugRow);

    connect(timings_, &QListWidget::currentRowChanged, this, [this](int row) {
        tool_.selectTiming(row);
        render();
    });
    for (QLineEdit* edit : {width_, height_, frequency_}) {
        connect(edit, &QLineEdit::textEdited, this, &CViewDlg::manualEdited);
    }
    for (QLineEdit* edit : {debugCount_, debugData_}) {
        connect(edit, &QLineEdit::textEdited, this, [this] {
            tool_.editDebug(debugData_->text().toStdString(), debugCount_->text().toStdString());
        });
    }
    connect(set_, &QPushButton::clicked, this, [this] {
        tool_.pressSet();
        render();
    });
    connect(apply_, &QPushButton::clicked, this, [this] {
        tool_.pressApply();
        render();
    });
    connect(horizontal_, &QSlider::valueChanged, this, [this](int value) {
        tool_.moveSlider(true, value);
        render();
    });
    connect(vertical_, &QSlider::valueChanged, this, [this](int value) {
        tool_.moveSlider(false, value);
        render();
    });

    tool_.open();
    render();
}

void CViewDlg::manualEdited() {
    tool_.editManual(width_->text().toStdString(), height_->text().toStdString(),
                     frequency_->text().toStdString());
}

void CViewDlg::render() {
    const tools::DisplayTimingTool::State& s = tool_.state();
    {
        const QSignalBlocker quiet(timings_);
        if (timings_->count() != static_cast<int>(s.timings.size())) {
            timings_->clear();
            for (const std::string& text : s.timings) {
                timings_->addItem(qs(text));
            }
        }
        timings_->setCurrentRow(s.selected);
    }
    for (QLineEdit* edit : {width_, height_, frequency_}) {
        edit->setEnabled(s.editsEnabled);
    }
    showText(width_, s.width);
    showText(height_, s.height);
    showText(frequency_, s.frequency);
    showText(pixelClock_, s.pixelClock);
    {
        const QSignalBlocker quietH(horizontal_);
        const QSignalBlocker quietV(vertical_);
        horizontal_->setValue(s.horizontal.pos);
        vertical_->setValue(s.vertical.pos);
    }
    horizontalValue_->setText(qs(s.horizontal.label));
    verticalValue_->setText(qs(s.vertical.label));
    apply_->setEnabled(s.applyEnabled);
    status_->setText(qs(s.status));
    showText(debugCount_, s.debugCount);
    showText(debugData_, s.debugData);
    showText(debugAddress_, s.debugAddress);
    {
        const QSignalBlocker quiet(debugMode_);
        debugMode_->setCurrentIndex(s.debugMode);
    }
}

void CViewDlg::run(drv::DriverLoader& driver, platform::Prompt& prompt, QWidget* parent) {
    const QPointer<CViewDlg> dialog = new CViewDlg(driver, prompt, parent);
    dialog->exec();
    if (!dialog.isNull()) {
        delete dialog.data();
    }
}

}  // namespace qv::ui
