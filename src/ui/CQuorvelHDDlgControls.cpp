// The main window's controls: where each one sits, its name, caption and tool tip, and which
// model operation it forwards to.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/FanCurvePanel.h"
#include "ui/Gauge.h"
#include "ui/MainWindowSkin.h"
#include "ui/MainWindowTexts.h"
#include "ui/ProfileBar.h"
#include "ui/QtFonts.h"

namespace qv::ui {

using namespace mainwindow;

void CQuorvelHDDlg::buildProfileBar() {
    auto* file = dynamic_cast<app::UserSettingsFile*>(app_.userSettings());
    if (file == nullptr) {
        ownUserSettings_ = std::make_unique<app::UserSettingsFile>(app_.clock());
        file = ownUserSettings_.get();
    }
    profileStore_ = std::make_unique<app::UserSettingsProfileStore>(app_.gpuLayer(), *file);
    profileBar_ =
        new ProfileBar(profileSlots_, *profileStore_, lang::languageTable(), fileChooser_, this);
    if (app_.prompt() != nullptr) {
        profileBar_->setPrompt(*app_.prompt());
    }
    profileBar_->setToolTip(tableText(lang::kTipProfile));
    profileBar_->setStyleSheet(QString::fromLatin1(skin::kButtonStyle) +
                               QStringLiteral("QPushButton { min-height: 26px; }"));
    profileBar_->setGeometry(skin::kMargin, skin::kProfileTop, skin::kNarrowRight - skin::kMargin,
                             skin::kProfileHeight);
    profileBar_->setLoadedHandler([this] { reloadFromCards(); });
}

QLabel* CQuorvelHDDlg::makeLabel(const char* name, const QString& text, QRect box, int fontNumber,
                                 const char* style) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setFont(toQFont(app::fontDefinition(fontNumber)));
    label->setStyleSheet(style);
    label->setGeometry(box);
    return label;
}

QPushButton* CQuorvelHDDlg::makeButton(const char* name, int tipRow) {
    auto* button = new QPushButton(this);
    button->setObjectName(name);
    button->setStyleSheet(skin::kButtonStyle);
    // Reached with Tab (Space presses it); a click does not take the focus away from a slider.
    button->setFocusPolicy(Qt::TabFocus);
    button->setFont(toQFont(app::fontDefinition(app::kFontLabel)));
    if (tipRow >= 0) {
        button->setToolTip(tableText(tipRow));
    }
    return button;
}

void CQuorvelHDDlg::buildFrame() {
    const tuning::MainWindowView& view = controller_->view();
    makeLabel("captionLabel", QString::fromStdString(view.caption),
              QRect(skin::kMargin, 0, tuning::kDialogWidthNormal / 2, skin::kHeaderHeight),
              app::kFontTitle, skin::kTextStyle);

    minimizeButton_ = makeButton("minimizeButton", lang::kTextMinimize);
    minimizeButton_->setText(QStringLiteral("\u2013"));
    minimizeButton_->setAccessibleName(tableText(lang::kTextMinimize));
    hideButton_ = makeButton("hideButton", lang::kTextHide);
    hideButton_->setText(QStringLiteral("\u00d7"));
    hideButton_->setAccessibleName(tableText(lang::kTextHide));
    for (QPushButton* button : {minimizeButton_, hideButton_}) {
        button->setFont(toQFont(app::fontDefinition(app::kFontTitle)));
    }
    connect(minimizeButton_, &QPushButton::clicked, this, [this] { showMinimized(); });
    connect(hideButton_, &QPushButton::clicked, this, [this] { pressHide(); });

    statusLine_ = makeLabel("statusLine", QString::fromStdString(view.statusLine), QRect(),
                            app::kFontLabel, skin::kNoticeStyle);
    statusLine_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusLine_->setVisible(!view.statusLine.empty());

    makeLabel("gpuSelectorLabel", tableText(lang::kTextGpu),
              QRect(skin::kMargin, skin::kSelectorTop, skin::kSelectorLabelWidth, skin::kRowHeight),
              app::kFontLabel, skin::kTextStyle);
    gpuSelector_ = new QComboBox(this);
    gpuSelector_->setObjectName("gpuSelector");
    gpuSelector_->setStyleSheet(skin::kComboStyle);
    gpuSelector_->setFont(toQFont(app::fontDefinition(app::kFontLabel)));
    gpuSelector_->setGeometry(skin::kMargin + skin::kSelectorLabelWidth, skin::kSelectorTop,
                              skin::kSelectorWidth, skin::kRowHeight);
    gpuSelector_->setToolTip(tableText(lang::kTextPleaseSelectGpu));
    gpuSelector_->setAccessibleName(tableText(lang::kTextGpu));
    for (const std::string& entry : view.selectorEntries) {
        gpuSelector_->addItem(QString::fromStdString(entry));
    }
    gpuSelector_->setEnabled(!view.selectorEntries.empty());
    gpuSelector_->setCurrentIndex(view.selectorEntries.empty() ? -1 : 0);
    connect(gpuSelector_, &QComboBox::currentIndexChanged, this,
            [this](int index) { showGpu(index); });

    // The hot-key state: white with no boost, green fan, blue clock, red both.
    hotKeyIndicator_ =
        makeLabel("hotKeyIndicator", {},
                  QRect(kHotKeyIndicatorLeft, (skin::kHeaderHeight - kHotKeyIndicatorSize) / 2,
                        kHotKeyIndicatorSize, kHotKeyIndicatorSize),
                  app::kFontLabel, "");
    hotKeyIndicator_->setToolTip(tableText(lang::kTextHotKey));
    showHotKeyIndicator(tuning::kHotKeyIndicators[tuning::kHotKeyStateNone]);

    synchronousButton_ = makeButton("synchronousButton", lang::kTipSynchronous);
    synchronousButton_->setCheckable(true);
    const int syncLeft = gpuSelector_->geometry().right() + 1 + skin::kButtonGap;
    synchronousButton_->setGeometry(syncLeft, skin::kSelectorTop, skin::kNarrowRight - syncLeft,
                                    skin::kRowHeight);
    connect(synchronousButton_, &QPushButton::clicked, this, [this](bool on) {
        controller_->setSynchronous(on);
        render();
    });
}

void CQuorvelHDDlg::buildGauges() {
    struct GaugeLayout {
        const char* name;
        QString caption;
        int scale;
    };
    const std::array<GaugeLayout, kGaugeCount> layouts = {{
        {"gpuClockGauge", tableText(lang::kTextGpu), kClockScaleFallbackMHz},
        {"shaderClockGauge", tableText(lang::kTextShaderShort), kClockScaleFallbackMHz},
        {"memoryClockGauge", tableText(lang::kTextMemoryShort), kClockScaleFallbackMHz},
        {"temperatureGauge", tableText(lang::kTextDegrees), kTemperatureScale},
        {"fanGauge", tableText(lang::kTextSpeedPercent), kFanScale},
        {"voltageGauge", QStringLiteral("V"), kVoltageScaleMv},
        {"powerGauge", tableText(lang::kTextPower), kPowerScaleW},
    }};
    for (size_t i = 0; i < kGaugeCount; ++i) {
        auto* gauge = new Gauge(layouts[i].caption, layouts[i].scale, this);
        gauge->setObjectName(layouts[i].name);
        gauge->setGeometry(skin::kMargin + static_cast<int>(i) * skin::kGaugePitch, skin::kGaugeTop,
                           skin::kGaugeWidth, skin::kGaugeHeight);
        gauges_[i] = gauge;
    }
    gauges_[tuning::kGaugeTemperature]->setToolTip(tableText(lang::kTipTemperature));
    gauges_[tuning::kGaugeGpuClock]->setToolTip(tableText(lang::kTextGpuClock));
    gauges_[tuning::kGaugeShaderClock]->setToolTip(tableText(lang::kTextShaderClock));
    gauges_[tuning::kGaugeMemoryClock]->setToolTip(tableText(lang::kTextMemoryClock));
    gauges_[tuning::kGaugeFan]->setToolTip(tableText(lang::kTextFanSpeed));
    gauges_[tuning::kGaugeVoltage]->setToolTip(tableText(lang::kTextGpuVoltage));
    gauges_[tuning::kGaugePower]->setToolTip(tableText(lang::kTextPower));
}

void CQuorvelHDDlg::buildReadouts() {
    const int top = skin::kReadoutTop;
    makeLabel("temperatureLabel", tableText(lang::kTextTemperature),
              QRect(skin::kMargin, top, skin::kReadoutLabelWidth, skin::kReadoutHeight),
              app::kFontLabel, skin::kTextStyle);
    temperatureReadout_ =
        makeLabel("temperatureReadout", QString::fromStdString(controller_->view().temperatureText),
                  QRect(skin::kMargin + skin::kReadoutLabelWidth, top, skin::kReadoutWidth,
                        skin::kReadoutHeight),
                  app::kFontDigitalLarge, skin::kReadoutStyle);
    temperatureReadout_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    temperatureReadout_->setToolTip(tableText(lang::kTipTemperature));
    const int unitLeft = temperatureReadout_->geometry().right() + 1 + skin::kButtonGap;
    makeLabel("temperatureUnit", tableText(lang::kTextDegrees),
              QRect(unitLeft, top, skin::kUnitWidth, skin::kReadoutHeight), app::kFontLabel,
              skin::kTextStyle);
    modePicture_ = makeLabel("modePicture", {},
                             QRect(unitLeft + skin::kUnitWidth, top, 60, skin::kReadoutHeight),
                             app::kFontLabel, skin::kNoticeStyle);
    fanModeLabel_ = makeLabel(
        "fanModeLabel", {}, QRect(unitLeft + skin::kUnitWidth + 64, top, 80, skin::kReadoutHeight),
        app::kFontLabel, skin::kTextStyle);
    fanModeLabel_->setToolTip(tableText(lang::kTipFan));
}

void CQuorvelHDDlg::buildInformationPanel() {
    const QFont small = [] {
        QFont font = toQFont(app::fontDefinition(app::kFontLabel));
        font.setPixelSize(12);
        return font;
    }();
    const auto addCaption = [&](const char* name, const QString& text, QRect box) {
        QLabel* label = makeLabel(name, text, box, app::kFontLabel, skin::kSmallCaptionStyle);
        label->setFont(small);
        return label;
    };
    const auto addField = [&](uint32_t id, QRect box) {
        const std::string name = "infoField" + std::to_string(id);
        QLabel* label = makeLabel(name.c_str(), {}, box, app::kFontLabel, skin::kTextStyle);
        label->setFont(small);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        infoLabels_.emplace_back(id, label);
        return label;
    };

    // The CUDA cores beside the temperature.
    const int coresLeft = 430;
    addCaption("cudaCoresCaption", tableText(lang::kTextCudaCores),
               QRect(coresLeft, skin::kReadoutTop, skin::kNarrowRight - coresLeft, 20))
        ->setToolTip(tableText(lang::kTipCudaCores));
    addField(tuning::kInfoCudaCores,
             QRect(coresLeft, skin::kReadoutTop + 20, skin::kNarrowRight - coresLeft, 20))
        ->setToolTip(tableText(lang::kTipCudaCores));

    // Clock table: the current level, the 3D performance level and its defaults, per domain.
    const int rowH = skin::kInfoRowHeight;
    const int top = skin::kInfoTop;
    const int nameW = 90;
    const int colW = 58;
    const std::array<QString, 3> domains = {tableText(lang::kTextGpu),
                                            tableText(lang::kTextShaderShort),
                                            tableText(lang::kTextMemoryShort)};
    const std::array<const char*, 3> domainNames = {"infoGpuHeader", "infoShaderHeader",
                                                    "infoMemoryHeader"};
    for (int c = 0; c < 3; ++c) {
        QLabel* header =
            addCaption(domainNames[static_cast<size_t>(c)], domains[static_cast<size_t>(c)],
                       QRect(skin::kMargin + nameW + c * colW, top, colW, rowH));
        header->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    struct ClockRow {
        const char* name;
        QString caption;
        std::array<uint32_t, 3> ids;
    };
    const std::array<ClockRow, 3> rows = {{
        {"infoCurrentCaption",
         tableText(lang::kTextCurrentClock),
         {tuning::kInfoCurrentGpuClock, tuning::kInfoCurrentShaderClock,
          tuning::kInfoCurrentMemoryClock}},
        {"infoPerfCaption",
         tableText(lang::kText3DPerf),
         {tuning::kInfoPerfGpuClock, tuning::kInfoPerfShaderClock, tuning::kInfoPerfMemoryClock}},
        {"infoDefaultCaption",
         tableText(lang::kTextDefaultClock),
         {tuning::kInfoBaseGpuClock, tuning::kInfoBaseShaderClock, tuning::kInfoBaseMemoryClock}},
    }};
    for (int r = 0; r < 3; ++r) {
        const ClockRow& row = rows[static_cast<size_t>(r)];
        const int y = top + (r + 1) * rowH;
        addCaption(row.name, row.caption, QRect(skin::kMargin, y, nameW, rowH));
        for (int c = 0; c < 3; ++c) {
            addField(row.ids[static_cast<size_t>(c)],
                     QRect(skin::kMargin + nameW + c * colW, y, colW, rowH));
        }
    }

    // Memory and load, two pairs a row.
    struct Pair {
        const char* name;
        QString caption;
        uint32_t id;
    };
    const std::array<Pair, 8> pairs = {{
        {"infoMemorySizeCaption", tableText(lang::kTextMemorySize), tuning::kInfoMemorySize},
        {"infoBusWidthCaption", tableText(lang::kTextBusWidth), tuning::kInfoBusWidth},
        {"infoMemoryTypeCaption", tableText(lang::kTextMemoryType), tuning::kInfoMemoryType},
        {"infoMemoryUseCaption", tableText(lang::kTextUsage), tuning::kInfoMemoryUse},
        {"infoGpuLoadCaption", tableText(lang::kTextGpuLoad), tuning::kInfoGpuLoad},
        {"infoMcuCaption", tableText(lang::kTextMcu), tuning::kInfoMemoryControllerLoad},
        {"infoPowerCaption", tableText(lang::kTextTdp), tuning::kInfoBoardPower},
        {"infoFanCaption", tableText(lang::kTextFanSpeed), tuning::kInfoFanPercent},
    }};
    const int pairsLeft = skin::kMargin + nameW + 3 * colW + 10;
    const int pairW = (skin::kNarrowRight - pairsLeft) / 2;
    const int captionW = 66;
    // Room between a value and the caption to its right, so that the two never run together.
    const int valueGap = 10;
    for (size_t i = 0; i < pairs.size(); ++i) {
        const int x = pairsLeft + static_cast<int>(i % 2) * pairW;
        const int y = top + static_cast<int>(i / 2) * rowH;
        QLabel* caption = addCaption(pairs[i].name, pairs[i].caption, QRect(x, y, captionW, rowH));
        QFont narrow = caption->font();
        narrow.setPixelSize(11);
        caption->setFont(narrow);
        addField(pairs[i].id, QRect(x + captionW, y, pairW - captionW - valueGap, rowH));
    }
}

void CQuorvelHDDlg::buildClockRow(SliderRow& row, ClockSlider which, const char* name, int textRow,
                                  int tipRow, int top) {
    const std::string base(name);
    buildPlainRow(row, static_cast<tuning::Slider>(which), name, textRow, tipRow,
                  QRect(skin::kMargin, top, skin::kSliderLabelWidth, skin::kSliderRowHeight),
                  QRect(skin::kSliderLeft, top, skin::kSliderWidth, skin::kSliderRowHeight),
                  QRect(skin::kValueLeft, top, skin::kValueWidth, skin::kSliderRowHeight));
    for (size_t i = 0; i < tuning::MainDialogModel::kStepSizes; ++i) {
        const std::string downName = base + "Down" + std::to_string(i);
        const std::string upName = base + "Up" + std::to_string(i);
        row.down[i] = makeButton(downName.c_str(), -1);
        row.up[i] = makeButton(upName.c_str(), -1);
        row.down[i]->setText(QString::fromLatin1(kStepDownCaptions[i]));
        row.up[i]->setText(QString::fromLatin1(kStepUpCaptions[i]));
        // "<<<" says nothing to a screen reader: the row's name goes with it.
        for (QPushButton* button : {row.down[i], row.up[i]}) {
            button->setAccessibleName(tableText(textRow) + QLatin1Char(' ') + button->text());
        }
        // Largest step outermost on each side.
        const int pitch = skin::kStepButtonWidth + skin::kStepButtonGap;
        const int downLeft = skin::kSliderLeft - static_cast<int>(i + 1) * pitch;
        const int upLeft = skin::kSliderLeft + skin::kSliderWidth + skin::kStepButtonGap +
                           static_cast<int>(i) * pitch;
        row.down[i]->setGeometry(downLeft, top, skin::kStepButtonWidth, skin::kSliderRowHeight);
        row.up[i]->setGeometry(upLeft, top, skin::kStepButtonWidth, skin::kSliderRowHeight);
        for (QPushButton* button : {row.down[i], row.up[i]}) {
            button->setStyleSheet(QString::fromLatin1(skin::kButtonStyle) +
                                  "QPushButton { padding: 0; font-size: 10px; }");
        }
        connect(row.down[i], &QPushButton::clicked, this,
                [this, which, i] { onStep(which, StepDirection::kDown, i); });
        connect(row.up[i], &QPushButton::clicked, this,
                [this, which, i] { onStep(which, StepDirection::kUp, i); });
    }
    row.label->setGeometry(
        skin::kMargin, top,
        skin::kSliderLeft - skin::kMargin - 3 * (skin::kStepButtonWidth + skin::kStepButtonGap),
        skin::kSliderRowHeight);
}

void CQuorvelHDDlg::buildPlainRow(SliderRow& row, tuning::Slider id, const char* name, int textRow,
                                  int tipRow, QRect labelBox, QRect sliderBox, QRect valueBox) {
    row.id = id;
    const std::string base(name);
    row.label = makeLabel((base + "Label").c_str(), tableText(textRow), labelBox, app::kFontLabel,
                          skin::kTextStyle);
    QFont labelFont = row.label->font();
    labelFont.setPixelSize(12);
    row.label->setFont(labelFont);
    row.slider = new QSlider(Qt::Horizontal, this);
    row.slider->setObjectName((base + "Slider").c_str());
    row.slider->setStyleSheet(skin::kSliderStyle);
    row.slider->setGeometry(sliderBox);
    // Arrow keys step by one, Page Up / Page Down by ten, Home / End go to the ends; every key
    // goes through the same model rule as the mouse.
    row.slider->setFocusPolicy(Qt::StrongFocus);
    row.slider->setAccessibleName(tableText(textRow));
    if (tipRow >= 0) {
        row.slider->setToolTip(tableText(tipRow));
        row.label->setToolTip(tableText(tipRow));
    }
    row.value =
        makeLabel((base + "Value").c_str(), {}, valueBox, app::kFontLabel, skin::kReadoutStyle);
    row.value->setFont(labelFont);
    row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(row.slider, &QSlider::valueChanged, this, [this, id](int pos) {
        controller_->moveSlider(id, pos);
        render();
    });
}

void CQuorvelHDDlg::buildTuningControls() {
    const int modeTop = skin::kModeRowTop;
    makeLabel("clockModeLabel", tableText(lang::kTextClockWorkMode),
              QRect(skin::kMargin, modeTop, 130, skin::kRowHeight), app::kFontLabel,
              skin::kTextStyle);
    mode2D_ = makeButton("mode2DButton", lang::kTip2D);
    mode3DLow_ = makeButton("mode3DLowButton", lang::kTip3DLow);
    mode3DPerf_ = makeButton("mode3DPerfButton", lang::kTip3DPerf);
    const std::array<std::pair<QPushButton*, int>, 3> modes = {{
        {mode2D_, gpu::kLevelKind2D},
        {mode3DLow_, gpu::kLevelKind3DLow},
        {mode3DPerf_, gpu::kLevelKind3DPerf},
    }};
    for (size_t i = 0; i < modes.size(); ++i) {
        QPushButton* button = modes[i].first;
        button->setCheckable(true);
        button->setGeometry(150 + static_cast<int>(i) * 94, modeTop, 88, skin::kRowHeight);
        const int mode = modes[i].second;
        connect(button, &QPushButton::clicked, this, [this, mode] { onModePressed(mode); });
    }
    linkButton_ = makeButton("linkButton", lang::kTipLink);
    linkButton_->setCheckable(true);
    linkButton_->setGeometry(444, modeTop, skin::kNarrowRight - 444, skin::kRowHeight);
    connect(linkButton_, &QPushButton::clicked, this, [this](bool on) {
        controller_->setLinked(on);
        render();
    });

    int top = skin::kSliderRowTop;
    buildClockRow(gpuClock_, ClockSlider::kGpu, "gpuClock", lang::kTextGpuClock, lang::kTipGpuClock,
                  top);
    top += skin::kSliderRowPitch;
    buildClockRow(shaderClock_, ClockSlider::kShader, "shaderClock", lang::kTextShaderClock,
                  lang::kTipShaderClock, top);
    top += skin::kSliderRowPitch;
    buildClockRow(memoryClock_, ClockSlider::kMemory, "memoryClock", lang::kTextMemoryClock,
                  lang::kTipMemoryClock, top);
    top += skin::kSliderRowPitch;

    unlockMinButton_ = makeButton("unlockMinButton", -1);
    unlockMaxButton_ = makeButton("unlockMaxButton", -1);
    unlockMinButton_->setGeometry(skin::kSliderLeft, top, 112, skin::kSliderRowHeight);
    unlockMaxButton_->setGeometry(skin::kSliderLeft + skin::kSliderWidth - 112, top, 112,
                                  skin::kSliderRowHeight);
    connect(unlockMinButton_, &QPushButton::clicked, this, [this] {
        controller_->toggleUnlockMin();
        render();
    });
    connect(unlockMaxButton_, &QPushButton::clicked, this, [this] {
        controller_->toggleUnlockMax();
        render();
    });
    top += skin::kSliderRowPitch;

    const QRect fanLabel(skin::kMargin, top, 90, skin::kSliderRowHeight);
    buildPlainRow(fanSpeed_, tuning::Slider::kFan, "fanSpeed", lang::kTextFanSpeed, -1, fanLabel,
                  QRect(skin::kSliderLeft, top, skin::kSliderWidth, skin::kSliderRowHeight),
                  QRect(skin::kValueLeft, top, skin::kValueWidth, skin::kSliderRowHeight));
    // The fan slider's tip comes from the hover check.
    fanSpeed_.slider->setToolTip({});
    fanModeButton_ = makeButton("fanModeButton", lang::kTipFan);
    fanModeButton_->setGeometry(skin::kSliderLeft - 72, top, 66, skin::kSliderRowHeight);
    connect(fanModeButton_, &QPushButton::clicked, this, [this] {
        controller_->toggleFanMode();
        render();
    });
    top += skin::kSliderRowPitch;

    buildPlainRow(
        coreVoltage_, tuning::Slider::kCoreVoltage, "coreVoltage", lang::kTextGpuVoltage,
        lang::kTipCoreVoltage, QRect(skin::kMargin, top, 150, skin::kSliderRowHeight),
        QRect(skin::kSliderLeft, top, skin::kSliderWidth, skin::kSliderRowHeight),
        QRect(skin::kValueLeft, top, skin::kValueWidth, skin::kSliderRowHeight));
    top += skin::kSliderRowPitch;

    buildPlainRow(memoryVoltage_, tuning::Slider::kMemoryVoltage, "memoryVoltage",
                  lang::kTextMemoryVoltage, lang::kTipMemoryVoltage,
                  QRect(skin::kMargin, top, 150, skin::kSliderRowHeight),
                  QRect(skin::kSliderLeft, top, skin::kSliderWidth, skin::kSliderRowHeight),
                  QRect(skin::kValueLeft, top, skin::kValueWidth, skin::kSliderRowHeight));
}

void CQuorvelHDDlg::buildActionButtons() {
    const int top = skin::kActionRowTop;
    applyButton_ = makeButton("applyButton", lang::kTipApply);
    resetButton_ = makeButton("resetButton", lang::kTipReset);
    overclockingButton_ = makeButton("overclockingButton", lang::kTipOverclocking);
    applyButton_->setGeometry(skin::kMargin, top, 150, skin::kActionButtonHeight);
    resetButton_->setGeometry(skin::kMargin + 158, top, 150, skin::kActionButtonHeight);
    overclockingButton_->setGeometry(skin::kMargin + 316, top, skin::kNarrowRight - 332,
                                     skin::kActionButtonHeight);
    overclockingButton_->setText(tableText(lang::kTextOverclock) + QStringLiteral(" \u00bb"));
    connect(applyButton_, &QPushButton::clicked, this, [this] { onApply(); });
    connect(resetButton_, &QPushButton::clicked, this, [this] { onReset(); });
    connect(overclockingButton_, &QPushButton::clicked, this,
            [this] { toggleOverclockingInterface(); });
}

void CQuorvelHDDlg::buildWidePart() {
    const int left = skin::kWideLeft;
    QLabel* title = makeLabel("overclockingTitle", tableText(lang::kTextOverclock),
                              QRect(left, skin::kSelectorTop, skin::kWideWidth, skin::kRowHeight),
                              app::kFontTitle, skin::kTextStyle);
    wideWidgets_.push_back(title);

    const auto addRow = [&](SliderRow& row, const char* name, int textRow, int tipRow, int top,
                            tuning::Slider id) {
        buildPlainRow(row, id, name, textRow, tipRow, QRect(left, top, skin::kWideWidth, 20),
                      QRect(left, top + 22, skin::kWideSliderWidth, skin::kSliderRowHeight),
                      QRect(left + skin::kWideSliderWidth + 8, top + 22,
                            skin::kWideWidth - skin::kWideSliderWidth - 8, skin::kSliderRowHeight));
        wideWidgets_.insert(wideWidgets_.end(), {row.label, row.slider, row.value});
    };
    addRow(gpuOffset_, "gpuOffset", lang::kTextGpuOffset, lang::kTipGpuOffset, skin::kGaugeTop,
           tuning::Slider::kGpuOffset);
    addRow(memoryOffset_, "memoryOffset", lang::kTextMemoryOffset, lang::kTipMemoryOffset,
           skin::kGaugeTop + 56, tuning::Slider::kMemoryOffset);
    addRow(frameRate_, "frameRate", lang::kTextFrameRate, lang::kTipFrameRate,
           skin::kGaugeTop + 112, tuning::Slider::kFrameRate);
    // The frame-rate toggle sits at the end of its label's line.
    frameRateToggle_ = makeButton("frameRateToggle", lang::kTipFrameRate);
    frameRateToggle_->setCheckable(true);
    frameRateToggle_->setGeometry(left + skin::kWideWidth - 66, skin::kGaugeTop + 112 - 2, 66, 22);
    frameRate_.label->setGeometry(left, skin::kGaugeTop + 112, skin::kWideWidth - 72, 20);
    connect(frameRateToggle_, &QPushButton::clicked, this, [this](bool on) {
        controller_->setFrameRateTarget(on);
        render();
    });
    wideWidgets_.push_back(frameRateToggle_);

    fanCurvePanel_ = new FanCurvePanel(
        controller_->sampling().fanCurve(), app_.gpuLayer(), lang::languageTable(),
        app_.prompt() != nullptr ? *app_.prompt() : DismissingPrompt::instance(), this);
    fanCurvePanel_->setGeometry(left, skin::kCurvePanelTop, skin::kWideWidth,
                                skin::kWindowHeight - skin::kCurvePanelTop - skin::kMargin);
    fanCurvePanel_->setGpuOnShow(std::max(0, controller_->view().gpuOnShow));
    fanCurvePanel_->setStyleSheet(QString::fromLatin1(skin::kButtonStyle) +
                                  QString::fromLatin1(skin::kPanelStyle) +
                                  QStringLiteral("QPushButton { min-height: 22px; }"));
    wideWidgets_.push_back(fanCurvePanel_);

    QLabel* hotKeyLabel =
        makeLabel("hotKeyLabel", tableText(lang::kTextHotKey) + QStringLiteral(": Ctrl+N / Ctrl+M"),
                  QRect(left, skin::kGaugeTop + 170, skin::kWideWidth, 20), app::kFontLabel,
                  skin::kSmallCaptionStyle);
    wideWidgets_.push_back(hotKeyLabel);
}

namespace {

// Controls whose centres lie closer than this, from top to bottom, are on one line.
constexpr int kSameLineTolerance = 10;

struct Placed {
    QWidget* widget;
    int column;  // 0 the normal part, 1 the overclocking part
    QPoint centre;
};

bool readsBefore(const Placed& a, const Placed& b) {
    if (a.column != b.column) {
        return a.column < b.column;
    }
    if (std::abs(a.centre.y() - b.centre.y()) >= kSameLineTolerance) {
        return a.centre.y() < b.centre.y();
    }
    return a.centre.x() < b.centre.x();
}

}  // namespace

void CQuorvelHDDlg::setUpKeyboardAndNames() {
    std::vector<Placed> controls;
    for (QWidget* widget : findChildren<QWidget*>()) {
        // Pop-ups (the selector's list) are windows of their own with their own order.
        if ((widget->focusPolicy() & Qt::TabFocus) == 0 || widget->window() != this) {
            continue;
        }
        // A control without a name of its own is named by its tip; its tip also describes it.
        if (widget->accessibleName().isEmpty() && !widget->toolTip().isEmpty() &&
            qobject_cast<QPushButton*>(widget) == nullptr) {
            widget->setAccessibleName(widget->toolTip());
        }
        if (widget->accessibleDescription().isEmpty() && !widget->toolTip().isEmpty()) {
            widget->setAccessibleDescription(widget->toolTip());
        }
        const QPoint centre = widget->mapTo(this, widget->rect().center());
        controls.push_back({widget, centre.x() >= tuning::kDialogWidthNormal ? 1 : 0, centre});
    }
    std::stable_sort(controls.begin(), controls.end(), readsBefore);
    for (size_t i = 1; i < controls.size(); ++i) {
        QWidget::setTabOrder(controls[i - 1].widget, controls[i].widget);
    }
    // The keyboard starts at the GPU selector, not on the title bar's buttons.
    gpuSelector_->setFocus();
}

}  // namespace qv::ui
