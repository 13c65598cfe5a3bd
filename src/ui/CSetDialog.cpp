#include "ui/CSetDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "lang/LanguageRows.h"

namespace qv::ui {

using namespace settings::options;

namespace {

constexpr int kTimerIds[] = {kTimerFanTest, kTimerChannelApply, kTimerChannelRead,
                             kTimerWirelessStatus};

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString controlName(int id) {
    return QStringLiteral("control%1").arg(id);
}

}  // namespace

CSetDialog::CSetDialog(uint8_t gpu, settings::OptionsDialogServices services, QWidget* parent)
    : QDialog(parent) {
    setObjectName("optionsDialog");
    const lang::CMultiLangSupp* texts = services.texts;
    model_ = std::make_unique<settings::OptionsDialogModel>(gpu, std::move(services));
    setWindowTitle(QString::fromUtf8(texts != nullptr
                                         ? texts->text(lang::kTextSettings)
                                         : lang::languageTable().text(lang::kTextSettings)));
    build();
    for (int id : kTimerIds) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QStringLiteral("optionsTimer%1").arg(id));
        connect(timer, &QTimer::timeout, this, [this, id] { fireTimer(id); });
        timers_[id] = timer;
    }
    model_->open();
    render();
}

CSetDialog::~CSetDialog() = default;

QWidget* CSetDialog::controlWidget(int id) const {
    const auto found = widgets_.find(id);
    return found == widgets_.end() ? nullptr : found->second;
}

QGroupBox* CSetDialog::group(int id) {
    auto* box = new QGroupBox(this);
    box->setObjectName(controlName(id));
    widgets_[id] = box;
    return box;
}

QAbstractButton* CSetDialog::check(int id, QWidget* parent, bool radio) {
    QAbstractButton* box = radio ? static_cast<QAbstractButton*>(new QRadioButton(parent))
                                 : static_cast<QAbstractButton*>(new QCheckBox(parent));
    box->setObjectName(controlName(id));
    if (radio) {
        // The model keeps one start choice; the buttons do not group themselves.
        box->setAutoExclusive(false);
    }
    connect(box, &QAbstractButton::clicked, this, [this, id](bool checked) {
        if (!rendering_) {
            model_->setChecked(id, checked);
            render();
        }
    });
    widgets_[id] = box;
    return box;
}

QAbstractButton* CSetDialog::button(int id, QWidget* parent) {
    auto* push = new QPushButton(parent);
    push->setObjectName(controlName(id));
    push->setAutoDefault(false);
    connect(push, &QPushButton::clicked, this, [this, id] { click(id); });
    widgets_[id] = push;
    return push;
}

QComboBox* CSetDialog::list(int id, QWidget* parent, bool editable) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(controlName(id));
    combo->setEditable(editable);
    connect(combo, &QComboBox::activated, this, [this, id](int index) {
        if (!rendering_) {
            model_->select(id, index);
            render();
        }
    });
    if (editable) {
        connect(combo->lineEdit(), &QLineEdit::textEdited, this,
                [this, id](const QString& text) { model_->setEditText(id, text.toStdString()); });
    }
    widgets_[id] = combo;
    return combo;
}

QLabel* CSetDialog::label(int id, QWidget* parent) {
    auto* text = new QLabel(parent);
    text->setObjectName(controlName(id));
    widgets_[id] = text;
    return text;
}

void CSetDialog::build() {
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* middle = new QVBoxLayout;
    auto* right = new QVBoxLayout;

    // Left column: start, saving, curves, overlay, HDMI, update; the multi-display group on top.
    QGroupBox* vexa = group(kGroupVexa);
    (new QHBoxLayout(vexa))->addWidget(button(kVexaSetting, vexa));
    left->addWidget(vexa);
    QGroupBox* restart = group(kGroupRestart);
    auto* restartRows = new QVBoxLayout(restart);
    for (int mode = 1; mode <= 5; ++mode) {
        restartRows->addWidget(check(kStartChoiceBase + mode, restart, true));
    }
    left->addWidget(restart);
    QGroupBox* save = group(kGroupSaveSettings);
    (new QVBoxLayout(save))->addWidget(check(kRestoreUserSettings, save));
    left->addWidget(save);
    QGroupBox* curves = group(kGroupCurveDrawing);
    auto* curveRows = new QGridLayout(curves);
    curveRows->addWidget(check(kCurveDrawing, curves), 0, 0, 1, 2);
    curveRows->addWidget(label(kSamplingPeriodLabel, curves), 1, 0);
    curveRows->addWidget(list(kSamplingPeriodList, curves), 1, 1);
    left->addWidget(curves);
    QGroupBox* osd = group(kGroupOsd);
    auto* osdRows = new QGridLayout(osd);
    osdRows->addWidget(check(kOsdClock, osd), 0, 0);
    osdRows->addWidget(check(kOsdTemperature, osd), 0, 1);
    osdRows->addWidget(check(kOsdFanSpeed, osd), 1, 0);
    osdRows->addWidget(check(kOsdFramerate, osd), 1, 1);
    left->addWidget(osd);
    QGroupBox* hdmi = group(kGroupHdmi);
    (new QVBoxLayout(hdmi))->addWidget(check(kHdmiAutoSet, hdmi));
    left->addWidget(hdmi);
    QGroupBox* update = group(kGroupAutoUpdate);
    (new QVBoxLayout(update))->addWidget(check(kAutoUpdate, update));
    left->addWidget(update);
    left->addStretch(1);

    // Middle column: the fan rules, the fan test, the phone control, news and the alarm.
    QGroupBox* fan = group(kGroupFanControl);
    auto* fanRows = new QGridLayout(fan);
    fanRows->addWidget(check(kCustomMode, fan), 0, 0, 1, 2);
    fanRows->addWidget(check(kSilentMode, fan), 1, 0, 1, 2);
    fanRows->addWidget(check(kPerformanceMode, fan), 2, 0, 1, 2);
    fanRows->addWidget(label(kTempLowLabel, fan), 3, 0);
    fanRows->addWidget(list(kTempLowList, fan), 3, 1);
    fanRows->addWidget(label(kLowFanLabel, fan), 4, 0);
    fanRows->addWidget(list(kLowFanList, fan), 4, 1);
    fanRows->addWidget(label(kTempOverLabel, fan), 5, 0);
    fanRows->addWidget(list(kTempOverList, fan), 5, 1);
    fanRows->addWidget(label(kHighFanLabel, fan), 6, 0);
    fanRows->addWidget(list(kHighFanList, fan), 6, 1);
    fanRows->addWidget(check(kFanTempAssociated, fan), 7, 0, 1, 2);
    middle->addWidget(fan);
    QGroupBox* fanTest = group(kGroupFanTest);
    auto* fanTestRow = new QHBoxLayout(fanTest);
    fanTestRow->addWidget(check(kFanTestSwitch, fanTest));
    fanTestRow->addWidget(button(kFanTestButton, fanTest));
    middle->addWidget(fanTest);
    QGroupBox* phone = group(kGroupIphone);
    auto* phoneRow = new QHBoxLayout(phone);
    phoneRow->addWidget(check(kRemoteBridge, phone));
    phoneRow->addWidget(button(kChangePassword, phone));
    middle->addWidget(phone);
    QGroupBox* news = group(kGroupNews);
    (new QVBoxLayout(news))->addWidget(check(kNewsSwitch, news));
    middle->addWidget(news);
    QGroupBox* alarm = group(kGroupAlarm);
    auto* alarmRow = new QHBoxLayout(alarm);
    alarmRow->addWidget(check(kAlarmSwitch, alarm));
    alarmRow->addWidget(list(kAlarmList, alarm));
    middle->addWidget(alarm);
    middle->addStretch(1);

    // Right column: hot keys and the wireless module.
    QGroupBox* hotKeys = group(kGroupHotKey);
    auto* hotKeyRows = new QGridLayout(hotKeys);
    hotKeyRows->addWidget(check(kHotKeyEnable, hotKeys), 0, 0, 1, 3);
    hotKeyRows->addWidget(label(kHotKeyFanKey, hotKeys), 1, 0);
    hotKeyRows->addWidget(label(kHotKeyFanLabel, hotKeys), 1, 1);
    hotKeyRows->addWidget(list(kHotKeyFanList, hotKeys), 1, 2);
    hotKeyRows->addWidget(label(kHotKeyOffsetKey, hotKeys), 2, 0);
    hotKeyRows->addWidget(label(kHotKeyOffsetLabel, hotKeys), 2, 1);
    hotKeyRows->addWidget(list(kHotKeyOffsetList, hotKeys), 2, 2);
    hotKeyRows->addWidget(check(kHotKeyVoltage, hotKeys), 3, 0, 1, 3);
    right->addWidget(hotKeys);
    QGroupBox* wireless = group(kGroupWireless);
    auto* wirelessRows = new QGridLayout(wireless);
    wirelessRows->addWidget(label(kWirelessFirmware, wireless), 0, 0, 1, 3);
    wirelessRows->addWidget(label(kWirelessChannelsLabel, wireless), 1, 0);
    wirelessRows->addWidget(label(kWirelessChannel, wireless), 1, 1);
    wirelessRows->addWidget(label(kWirelessWorkState, wireless), 1, 2);
    wirelessRows->addWidget(list(kWirelessFrequencyList, wireless, true), 2, 0, 1, 2);
    wirelessRows->addWidget(button(kWirelessApply, wireless), 2, 2);
    wirelessRows->addWidget(button(kWirelessManual, wireless), 3, 0, 1, 2);
    wirelessRows->addWidget(button(kWirelessReset, wireless), 3, 2);
    wirelessRows->addWidget(button(kWirelessBt, wireless), 4, 2);
    right->addWidget(wireless);
    right->addStretch(1);

    columns->addLayout(left);
    columns->addLayout(middle);
    columns->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QAbstractButton* ok = button(kOk, this);
    static_cast<QPushButton*>(ok)->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(button(kCancel, this));
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns);
    outer->addLayout(buttons);
}

void CSetDialog::render() {
    rendering_ = true;
    for (const auto& [id, control] : model_->controls()) {
        QWidget* widget = controlWidget(id);
        if (widget == nullptr) {
            continue;
        }
        widget->setEnabled(control.enabled);
        // Hidden controls leave no gap: the layouts close it, as the thirteen controls below
        // the multi-display group move up when it is hidden.
        widget->setVisible(control.visible);
        const QString caption = fromUtf8(control.caption);
        if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            box->setTitle(caption);
        } else if (auto* pressable = qobject_cast<QAbstractButton*>(widget)) {
            pressable->setText(caption);
            if (pressable->isCheckable()) {
                pressable->setChecked(control.checked);
            }
        } else if (auto* text = qobject_cast<QLabel*>(widget)) {
            text->setText(caption);
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            if (combo->count() != static_cast<int>(control.items.size())) {
                combo->clear();
                for (const std::string& item : control.items) {
                    combo->addItem(fromUtf8(item));
                }
            }
            combo->setCurrentIndex(control.selected);
            if (combo->isEditable()) {
                combo->setEditText(fromUtf8(control.editText));
            }
        }
    }
    rendering_ = false;
    syncTimers();
}

void CSetDialog::syncTimers() {
    const auto& running = model_->timers();
    for (auto& [id, timer] : timers_) {
        const auto found = running.find(id);
        if (found == running.end()) {
            timer->stop();
        } else if (!timer->isActive() || timer->interval() != static_cast<int>(found->second)) {
            timer->start(static_cast<int>(found->second));
        }
    }
    for (const settings::OptionsWaitRequest& request : model_->takeWaits()) {
        const settings::OptionsWait what = request.what;
        QTimer::singleShot(static_cast<int>(request.delayMs), this,
                           [this, what] { finishWait(what); });
    }
}

void CSetDialog::click(int id) {
    model_->press(id);
    render();
    if (model_->closed()) {
        done(model_->accepted() ? QDialog::Accepted : QDialog::Rejected);
    }
}

void CSetDialog::fireTimer(int id) {
    model_->timer(id);
    render();
}

void CSetDialog::finishWait(settings::OptionsWait what) {
    model_->waitOver(what);
    render();
}

void CSetDialog::accept() {
    click(kOk);
}

void CSetDialog::reject() {
    model_->reject();
    render();
    QDialog::reject();
}

void CSetDialog::closeEvent(QCloseEvent* event) {
    model_->reject();
    render();
    QDialog::closeEvent(event);
}

}  // namespace qv::ui
