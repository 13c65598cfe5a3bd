#include "ui/CQuorvelHDDlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <algorithm>
#include <cstdio>

#include "platform/DebugOutput.h"
#include "platform/ProgramLocation.h"
#include "platform/SingleInstance.h"
#include "tuning/MainDialogModelMessages.h"
#include "ui/CIndicateInstDialog.h"
#include "ui/FanCurvePanel.h"
#include "ui/Gauge.h"
#include "ui/MainWindowSkin.h"
#include "ui/OverlayWindow.h"
#include "ui/ProfileBar.h"
#include "ui/QtFonts.h"
#include "ui/lang/CMultiLangSupp.h"

namespace qv::ui {

namespace {

using tuning::ClockSlider;
using tuning::StepDirection;

// Language-table rows of the window's labels and tool tips.
constexpr int kTextOverclock = 1;
constexpr int kTextAlarmTemplate = 5;
constexpr int kTextClockWorkMode = 12;
constexpr int kTextGpuClock = 18;
constexpr int kTextMemoryClock = 19;
constexpr int kTextShaderClock = 20;
constexpr int kTextFanSpeed = 22;
constexpr int kTextGpuVoltage = 23;
constexpr int kTextPower = 24;
constexpr int kTextMemoryVoltage = 25;
constexpr int kTextShaderShort = 44;
constexpr int kTextMemoryShort = 45;
constexpr int kTextCudaCores = 182;
constexpr int kTextMemorySize = 221;
constexpr int kTextBusWidth = 222;
constexpr int kTextMemoryType = 223;
constexpr int kTextCurrentClock = 225;
constexpr int kTextDefaultClock = 227;
constexpr int kTextGpuLoad = 228;
constexpr int kTextUsage = 229;
constexpr int kTextMcu = 230;
constexpr int kTextTdp = 232;
constexpr int kTextSpeedPercent = 234;
constexpr int kTextOverclockingButton = 241;
constexpr int kTextGpuOffset = 248;
constexpr int kTextMemoryOffset = 249;
constexpr int kTextFrameRate = 250;
constexpr int kTextHotKey = 257;

// Tool tips.
constexpr int kTipLink = 155;
constexpr int kTipGpuClock = 156;
constexpr int kTipShaderClock = 157;
constexpr int kTipMemoryClock = 158;
constexpr int kTipFan = 159;
constexpr int kTipCoreVoltage = 160;
constexpr int kTipApply = 162;
constexpr int kTipProfile = 161;
constexpr int kTipReset = 163;
constexpr int kTip2D = 168;
constexpr int kTip3DLow = 169;
constexpr int kTip3DPerf = 170;
constexpr int kTipTemperature = 172;
constexpr int kTipCudaCores = 173;
constexpr int kTipSynchronous = 174;
constexpr int kTipOverclocking = 241;
constexpr int kTipMemoryVoltage = 243;
constexpr int kTipGpuOffset = 252;
constexpr int kTipMemoryOffset = 253;
constexpr int kTipFrameRate = 254;

// Captions of toggles whose state the model gives without a text; the same in every language.
constexpr const char* kSynchronousCaption = "SYNC";
constexpr const char* kFrameRateCaption = "FPS";

// The hot-key indicator in the header, right of the caption.
constexpr int kHotKeyIndicatorLeft = 124;
constexpr int kHotKeyIndicatorSize = 10;

// Gauge scales.
constexpr int kTemperatureScale = 120;
constexpr int kFanScale = 100;
constexpr int kVoltageScaleMv = 1500;
constexpr int kPowerScaleW = 300;
constexpr int kClockScaleFallbackMHz = 2000;

// Captions of the step buttons, smallest step first.
constexpr std::array<const char*, tuning::MainDialogModel::kStepSizes> kStepDownCaptions = {
    "<", "<<", "<<<"};
constexpr std::array<const char*, tuning::MainDialogModel::kStepSizes> kStepUpCaptions = {">", ">>",
                                                                                          ">>>"};

// The bars of the performance-mode picture beside the temperature.
QString modePictureText(int picture) {
    switch (picture) {
        case tuning::kModePicture271:
            return QStringLiteral("\u25ae\u25af\u25af");
        case tuning::kModePicture273:
            return QStringLiteral("\u25ae\u25ae\u25af");
        case tuning::kModePicture272:
            return QStringLiteral("\u25ae\u25ae\u25ae");
        default:
            return {};
    }
}

QString tableText(int row) {
    return QString::fromUtf8(languageTable().text(row));
}

QString captionOf(const tuning::ButtonState& state) {
    if (state.fixedCaption != nullptr) {
        return QString::fromUtf8(state.fixedCaption);
    }
    return state.captionRow >= 0 ? tableText(state.captionRow) : QString();
}

// A missing value (-1) reads as the missing text; otherwise the number as it is.
QString numberOrMissing(int value) {
    return value < 0 ? QString::fromUtf8(skin::kMissingText) : QString::number(value);
}

// Information fields are coloured for a light skin; black would vanish on this dark one, so it
// is drawn in the label colour.
QColor infoColour(uint32_t colourRef) {
    return colourRef == tuning::kInfoBlack ? skin::kLabelColour : skin::fromColourRef(colourRef);
}

// Takes every question as dismissed when the application has no prompt.
class DismissingPrompt final : public platform::Prompt {
public:
    platform::PromptAnswer show(const std::string&, const std::string&, platform::PromptIcon,
                                platform::PromptButtons buttons) override {
        return platform::dismissedAnswer(buttons);
    }
    static DismissingPrompt& instance() {
        static DismissingPrompt prompt;
        return prompt;
    }
};

}  // namespace

CQuorvelHDDlg::CQuorvelHDDlg(app::CQuorvelHDApp& app, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      app_(app),
      dialog_(app.gpuLayer()),
      poster_(this),
      profileSlots_(app.programFolder()),
      fileChooser_(this) {
    setObjectName("mainWindow");
    model_.load(app_.gpuLayer(), app_.hardwareReady(), app_.simulatedDriver());
    setWindowTitle(QString::fromStdString(model_.caption()));

    setUpOverlay();

    tuning::SamplingServices sampling;
    sampling.store = &app_.registry();
    sampling.settings = &app_.settings();
    sampling.clock = &app_.clock();
    sampling.beeper = app_.beeper();
    sampling.powerOff = app_.powerOff();
    sampling.overlay = overlayWindow_.get();
    sampling.alarmTemplate = languageTable().text(kTextAlarmTemplate);
    sampling_ = std::make_unique<tuning::SamplingLoop>(app_.gpuLayer(), dialog_, sampling);

    tuning::ApplyServices applying;
    applying.poster = &poster_;
    applying.uiThreadId = platform::currentThreadId();
    applying.clock = &app_.clock();
    applying.prompt = app_.prompt() != nullptr ? app_.prompt() : &DismissingPrompt::instance();
    applying.text = [](int row) { return std::string(languageTable().text(row)); };
    apply_ = std::make_unique<tuning::ApplyController>(app_.gpuLayer(), dialog_, applying);
    info_ = std::make_unique<tuning::InfoReadouts>(app_.gpuLayer(), dialog_);

    buildFrame();
    buildGauges();
    buildReadouts();
    buildInformationPanel();
    buildTuningControls();
    buildActionButtons();
    buildWidePart();
    buildProfileBar();

    // The first selection reads the card's current mode.
    if (model_.gpuOnShow() >= 0) {
        dialog_.selectGpu(model_.gpuOnShow(), true);
    }
    syncControls();
    updateInformation(tuning::kInfoAllFields);
    applyWidth();

    samplingTimer_ = new QTimer(this);
    samplingTimer_->setObjectName("samplingTimer");
    samplingTimer_->setInterval(static_cast<int>(tuning::kSamplingPeriodMs));
    connect(samplingTimer_, &QTimer::timeout, this, [this] { sampleNow(); });
    hoverTimer_ = new QTimer(this);
    hoverTimer_->setObjectName("hoverTimer");
    hoverTimer_->setInterval(static_cast<int>(tuning::kHoverPeriodMs));
    connect(hoverTimer_, &QTimer::timeout, this, [this] { hoverCheck(); });

    setUpMessages();
}

CQuorvelHDDlg::~CQuorvelHDDlg() {
    if (QtPoster* shared = dynamic_cast<QtPoster*>(app_.gpuPoster())) {
        shared->setHandler({});
    }
    poster_.setHandler({});
    hotKeyGrab_.uninstall();
    // The panels hold references to members that go before the window's children do.
    delete profileBar_;
    delete fanCurvePanel_;
    // A running worker is asked to stop and joined before the model goes.
    apply_.reset();
    if (overlayShared_.isOpen()) {
        overlayShared_.writeExit();
    }
}

// ---- Set-up -------------------------------------------------------------------------------------

void CQuorvelHDDlg::setUpOverlay() {
    if (overlayShared_.open() == platform::kOverlayOk) {
        overlayShared_.writeStartup(app_.settings().osdFramerateShow, app_.gpuLayer().gpuCount());
        const int hooks = overlayShared_.findHookOffsets();
        if (hooks != platform::kOverlayOk) {
            platform::debugOutput("main window: overlay hook offsets not found (%d)\n", hooks);
        }
    } else {
        platform::debugOutput("main window: no overlay record\n");
    }
    // Without the record the line still shows on the desktop.
    overlayWindow_ =
        std::make_unique<OverlayWindow>(overlayShared_.isOpen() ? &overlayShared_ : nullptr);
    overlayWindow_->setObjectName("overlayWindow");
}

void CQuorvelHDDlg::buildProfileBar() {
    auto* file = dynamic_cast<app::UserSettingsFile*>(app_.userSettings());
    if (file == nullptr) {
        ownUserSettings_ = std::make_unique<app::UserSettingsFile>(app_.clock());
        file = ownUserSettings_.get();
    }
    profileStore_ = std::make_unique<app::UserSettingsProfileStore>(app_.gpuLayer(), *file);
    profileBar_ =
        new ProfileBar(profileSlots_, *profileStore_, languageTable(), fileChooser_, this);
    if (app_.prompt() != nullptr) {
        profileBar_->setPrompt(*app_.prompt());
    }
    profileBar_->setToolTip(tableText(kTipProfile));
    profileBar_->setStyleSheet(QString::fromLatin1(skin::kButtonStyle) +
                               QStringLiteral("QPushButton { min-height: 26px; }"));
    profileBar_->setGeometry(skin::kMargin, skin::kProfileTop, skin::kNarrowRight - skin::kMargin,
                             skin::kProfileHeight);
    profileBar_->setLoadedHandler([this] { reloadFromCards(); });
}

void CQuorvelHDDlg::reloadFromCards() {
    if (dialog_.gpuOnShow() == tuning::kNoGpu) {
        return;
    }
    dialog_.selectGpu(dialog_.gpuOnShow(), true);
    syncControls();
    updateInformation(tuning::kInfoAllFields);
}

void CQuorvelHDDlg::setUpMessages() {
    const auto handler = [this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
        handlePostedMessage(message, wParam, lParam);
    };
    poster_.setHandler(handler);
    // The background probe reports through the poster the application was given.
    if (QtPoster* shared = dynamic_cast<QtPoster*>(app_.gpuPoster())) {
        shared->setHandler(handler);
    }
    const int grab = hotKeyGrab_.install(poster_, platform::currentThreadId());
    if (grab != platform::kHotKeyGrabOk) {
        platform::debugOutput("main window: hot keys not grabbed (%d)\n", grab);
    }
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
    button->setFocusPolicy(Qt::NoFocus);
    button->setFont(toQFont(app::fontDefinition(app::kFontLabel)));
    if (tipRow >= 0) {
        button->setToolTip(tableText(tipRow));
    }
    return button;
}

void CQuorvelHDDlg::buildFrame() {
    makeLabel("captionLabel", QString::fromStdString(model_.caption()),
              QRect(skin::kMargin, 0, tuning::kFrameWidth / 2, skin::kHeaderHeight),
              app::kFontTitle, skin::kTextStyle);

    minimizeButton_ = makeButton("minimizeButton", tuning::kTextMinimize);
    minimizeButton_->setText(QStringLiteral("\u2013"));
    hideButton_ = makeButton("hideButton", tuning::kTextHide);
    hideButton_->setText(QStringLiteral("\u00d7"));
    for (QPushButton* button : {minimizeButton_, hideButton_}) {
        button->setFont(toQFont(app::fontDefinition(app::kFontTitle)));
    }
    connect(minimizeButton_, &QPushButton::clicked, this, [this] { showMinimized(); });
    connect(hideButton_, &QPushButton::clicked, this, [this] { hide(); });

    statusLine_ = makeLabel("statusLine", QString::fromStdString(model_.statusLine()), QRect(),
                            app::kFontLabel, skin::kNoticeStyle);
    statusLine_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusLine_->setVisible(!model_.statusLine().empty());

    makeLabel("gpuSelectorLabel", tableText(tuning::kTextGpu),
              QRect(skin::kMargin, skin::kSelectorTop, skin::kSelectorLabelWidth, skin::kRowHeight),
              app::kFontLabel, skin::kTextStyle);
    gpuSelector_ = new QComboBox(this);
    gpuSelector_->setObjectName("gpuSelector");
    gpuSelector_->setStyleSheet(skin::kComboStyle);
    gpuSelector_->setFont(toQFont(app::fontDefinition(app::kFontLabel)));
    gpuSelector_->setGeometry(skin::kMargin + skin::kSelectorLabelWidth, skin::kSelectorTop,
                              skin::kSelectorWidth, skin::kRowHeight);
    gpuSelector_->setToolTip(tableText(tuning::kTextPleaseSelectGpu));
    for (const std::string& entry : model_.selectorEntries()) {
        gpuSelector_->addItem(QString::fromStdString(entry));
    }
    gpuSelector_->setEnabled(!model_.selectorEntries().empty());
    gpuSelector_->setCurrentIndex(model_.gpuOnShow());
    connect(gpuSelector_, &QComboBox::currentIndexChanged, this,
            [this](int index) { showGpu(index); });

    // The hot-key state: white with no boost, green fan, blue clock, red both.
    hotKeyIndicator_ =
        makeLabel("hotKeyIndicator", {},
                  QRect(kHotKeyIndicatorLeft, (skin::kHeaderHeight - kHotKeyIndicatorSize) / 2,
                        kHotKeyIndicatorSize, kHotKeyIndicatorSize),
                  app::kFontLabel, "");
    hotKeyIndicator_->setToolTip(tableText(kTextHotKey));
    showHotKeyIndicator(tuning::kHotKeyIndicators[tuning::kHotKeyStateNone]);

    synchronousButton_ = makeButton("synchronousButton", kTipSynchronous);
    synchronousButton_->setCheckable(true);
    const int syncLeft = gpuSelector_->geometry().right() + 1 + skin::kButtonGap;
    synchronousButton_->setGeometry(syncLeft, skin::kSelectorTop, skin::kNarrowRight - syncLeft,
                                    skin::kRowHeight);
    connect(synchronousButton_, &QPushButton::clicked, this, [this](bool on) {
        dialog_.setSynchronous(on);
        syncControls();
    });
}

void CQuorvelHDDlg::buildGauges() {
    struct GaugeSpec {
        const char* name;
        QString caption;
        int scale;
    };
    const std::array<GaugeSpec, kGaugeCount> specs = {{
        {"gpuClockGauge", tableText(tuning::kTextGpu), kClockScaleFallbackMHz},
        {"shaderClockGauge", tableText(kTextShaderShort), kClockScaleFallbackMHz},
        {"memoryClockGauge", tableText(kTextMemoryShort), kClockScaleFallbackMHz},
        {"temperatureGauge", tableText(tuning::kTextDegrees), kTemperatureScale},
        {"fanGauge", tableText(kTextSpeedPercent), kFanScale},
        {"voltageGauge", QStringLiteral("V"), kVoltageScaleMv},
        {"powerGauge", tableText(kTextPower), kPowerScaleW},
    }};
    for (size_t i = 0; i < kGaugeCount; ++i) {
        auto* gauge = new Gauge(specs[i].caption, specs[i].scale, this);
        gauge->setObjectName(specs[i].name);
        gauge->setGeometry(skin::kMargin + static_cast<int>(i) * skin::kGaugePitch, skin::kGaugeTop,
                           skin::kGaugeWidth, skin::kGaugeHeight);
        gauges_[i] = gauge;
    }
    gauges_[kGaugeTemperature]->setToolTip(tableText(kTipTemperature));
    gauges_[kGaugeGpuClock]->setToolTip(tableText(kTextGpuClock));
    gauges_[kGaugeShaderClock]->setToolTip(tableText(kTextShaderClock));
    gauges_[kGaugeMemoryClock]->setToolTip(tableText(kTextMemoryClock));
    gauges_[kGaugeFan]->setToolTip(tableText(kTextFanSpeed));
    gauges_[kGaugeVoltage]->setToolTip(tableText(kTextGpuVoltage));
    gauges_[kGaugePower]->setToolTip(tableText(kTextPower));
}

void CQuorvelHDDlg::buildReadouts() {
    const int top = skin::kReadoutTop;
    makeLabel("temperatureLabel", tableText(tuning::kTextTemperature),
              QRect(skin::kMargin, top, skin::kReadoutLabelWidth, skin::kReadoutHeight),
              app::kFontLabel, skin::kTextStyle);
    temperatureReadout_ =
        makeLabel("temperatureReadout", QString::fromStdString(model_.temperatureText()),
                  QRect(skin::kMargin + skin::kReadoutLabelWidth, top, skin::kReadoutWidth,
                        skin::kReadoutHeight),
                  app::kFontDigitalLarge, skin::kReadoutStyle);
    temperatureReadout_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    temperatureReadout_->setToolTip(tableText(kTipTemperature));
    const int unitLeft = temperatureReadout_->geometry().right() + 1 + skin::kButtonGap;
    makeLabel("temperatureUnit", tableText(tuning::kTextDegrees),
              QRect(unitLeft, top, skin::kUnitWidth, skin::kReadoutHeight), app::kFontLabel,
              skin::kTextStyle);
    modePicture_ = makeLabel("modePicture", {},
                             QRect(unitLeft + skin::kUnitWidth, top, 60, skin::kReadoutHeight),
                             app::kFontLabel, skin::kNoticeStyle);
    fanModeLabel_ = makeLabel(
        "fanModeLabel", {}, QRect(unitLeft + skin::kUnitWidth + 64, top, 80, skin::kReadoutHeight),
        app::kFontLabel, skin::kTextStyle);
    fanModeLabel_->setToolTip(tableText(kTipFan));
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
    addCaption("cudaCoresCaption", tableText(kTextCudaCores),
               QRect(coresLeft, skin::kReadoutTop, skin::kNarrowRight - coresLeft, 20))
        ->setToolTip(tableText(kTipCudaCores));
    addField(tuning::kInfoCudaCores,
             QRect(coresLeft, skin::kReadoutTop + 20, skin::kNarrowRight - coresLeft, 20))
        ->setToolTip(tableText(kTipCudaCores));

    // Clock table: the current level, the 3D performance level and its defaults, per domain.
    const int rowH = skin::kInfoRowHeight;
    const int top = skin::kInfoTop;
    const int nameW = 90;
    const int colW = 58;
    const std::array<QString, 3> domains = {
        tableText(tuning::kTextGpu), tableText(kTextShaderShort), tableText(kTextMemoryShort)};
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
         tableText(kTextCurrentClock),
         {tuning::kInfoCurrentGpuClock, tuning::kInfoCurrentShaderClock,
          tuning::kInfoCurrentMemoryClock}},
        {"infoPerfCaption",
         tableText(tuning::kText3DPerf),
         {tuning::kInfoPerfGpuClock, tuning::kInfoPerfShaderClock, tuning::kInfoPerfMemoryClock}},
        {"infoDefaultCaption",
         tableText(kTextDefaultClock),
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
        {"infoMemorySizeCaption", tableText(kTextMemorySize), tuning::kInfoMemorySize},
        {"infoBusWidthCaption", tableText(kTextBusWidth), tuning::kInfoBusWidth},
        {"infoMemoryTypeCaption", tableText(kTextMemoryType), tuning::kInfoMemoryType},
        {"infoMemoryUseCaption", tableText(kTextUsage), tuning::kInfoMemoryUse},
        {"infoGpuLoadCaption", tableText(kTextGpuLoad), tuning::kInfoGpuLoad},
        {"infoMcuCaption", tableText(kTextMcu), tuning::kInfoMemoryControllerLoad},
        {"infoPowerCaption", tableText(kTextTdp), tuning::kInfoBoardPower},
        {"infoFanCaption", tableText(kTextFanSpeed), tuning::kInfoFanPercent},
    }};
    const int pairsLeft = skin::kMargin + nameW + 3 * colW + 10;
    const int pairW = (skin::kNarrowRight - pairsLeft) / 2;
    const int captionW = 66;
    for (size_t i = 0; i < pairs.size(); ++i) {
        const int x = pairsLeft + static_cast<int>(i % 2) * pairW;
        const int y = top + static_cast<int>(i / 2) * rowH;
        QLabel* caption = addCaption(pairs[i].name, pairs[i].caption, QRect(x, y, captionW, rowH));
        QFont narrow = caption->font();
        narrow.setPixelSize(11);
        caption->setFont(narrow);
        addField(pairs[i].id, QRect(x + captionW, y, pairW - captionW - 2, rowH));
    }
}

void CQuorvelHDDlg::buildClockRow(SliderRow& row, ClockSlider which, const char* name, int textRow,
                                  int tipRow, int top) {
    const std::string base(name);
    buildPlainRow(row, name, textRow, tipRow,
                  QRect(skin::kMargin, top, skin::kSliderLabelWidth, skin::kSliderRowHeight),
                  QRect(skin::kSliderLeft, top, skin::kSliderWidth, skin::kSliderRowHeight),
                  QRect(skin::kValueLeft, top, skin::kValueWidth, skin::kSliderRowHeight));
    connect(row.slider, &QSlider::valueChanged, this,
            [this, which](int pos) { onClockSliderMoved(which, pos); });
    for (size_t i = 0; i < tuning::MainDialogModel::kStepSizes; ++i) {
        const std::string downName = base + "Down" + std::to_string(i);
        const std::string upName = base + "Up" + std::to_string(i);
        row.down[i] = makeButton(downName.c_str(), -1);
        row.up[i] = makeButton(upName.c_str(), -1);
        row.down[i]->setText(QString::fromLatin1(kStepDownCaptions[i]));
        row.up[i]->setText(QString::fromLatin1(kStepUpCaptions[i]));
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

void CQuorvelHDDlg::buildPlainRow(SliderRow& row, const char* name, int textRow, int tipRow,
                                  QRect labelBox, QRect sliderBox, QRect valueBox) {
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
    row.slider->setFocusPolicy(Qt::NoFocus);
    if (tipRow >= 0) {
        row.slider->setToolTip(tableText(tipRow));
        row.label->setToolTip(tableText(tipRow));
    }
    row.value =
        makeLabel((base + "Value").c_str(), {}, valueBox, app::kFontLabel, skin::kReadoutStyle);
    row.value->setFont(labelFont);
    row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void CQuorvelHDDlg::buildTuningControls() {
    const int modeTop = skin::kModeRowTop;
    makeLabel("clockModeLabel", tableText(kTextClockWorkMode),
              QRect(skin::kMargin, modeTop, 130, skin::kRowHeight), app::kFontLabel,
              skin::kTextStyle);
    mode2D_ = makeButton("mode2DButton", kTip2D);
    mode3DLow_ = makeButton("mode3DLowButton", kTip3DLow);
    mode3DPerf_ = makeButton("mode3DPerfButton", kTip3DPerf);
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
    linkButton_ = makeButton("linkButton", kTipLink);
    linkButton_->setCheckable(true);
    linkButton_->setGeometry(444, modeTop, skin::kNarrowRight - 444, skin::kRowHeight);
    connect(linkButton_, &QPushButton::clicked, this, [this](bool on) {
        dialog_.setLinked(on);
        syncControls();
    });

    int top = skin::kSliderRowTop;
    buildClockRow(gpuClock_, ClockSlider::kGpu, "gpuClock", kTextGpuClock, kTipGpuClock, top);
    gpuClock_.valueField = tuning::kInfoGpuSliderValue;
    top += skin::kSliderRowPitch;
    buildClockRow(shaderClock_, ClockSlider::kShader, "shaderClock", kTextShaderClock,
                  kTipShaderClock, top);
    shaderClock_.valueField = tuning::kInfoShaderSliderValue;
    top += skin::kSliderRowPitch;
    buildClockRow(memoryClock_, ClockSlider::kMemory, "memoryClock", kTextMemoryClock,
                  kTipMemoryClock, top);
    memoryClock_.valueField = tuning::kInfoMemorySliderValue;
    top += skin::kSliderRowPitch;

    unlockMinButton_ = makeButton("unlockMinButton", -1);
    unlockMaxButton_ = makeButton("unlockMaxButton", -1);
    unlockMinButton_->setGeometry(skin::kSliderLeft, top, 112, skin::kSliderRowHeight);
    unlockMaxButton_->setGeometry(skin::kSliderLeft + skin::kSliderWidth - 112, top, 112,
                                  skin::kSliderRowHeight);
    connect(unlockMinButton_, &QPushButton::clicked, this, [this] {
        dialog_.toggleUnlockMin();
        syncControls();
    });
    connect(unlockMaxButton_, &QPushButton::clicked, this, [this] {
        dialog_.toggleUnlockMax();
        syncControls();
    });
    top += skin::kSliderRowPitch;

    const QRect fanLabel(skin::kMargin, top, 90, skin::kSliderRowHeight);
    buildPlainRow(fanSpeed_, "fanSpeed", kTextFanSpeed, -1, fanLabel,
                  QRect(skin::kSliderLeft, top, skin::kSliderWidth, skin::kSliderRowHeight),
                  QRect(skin::kValueLeft, top, skin::kValueWidth, skin::kSliderRowHeight));
    fanSpeed_.valueField = tuning::kInfoFanSliderValue;
    // The fan slider's tip comes from the hover check.
    fanSpeed_.slider->setToolTip({});
    connect(fanSpeed_.slider, &QSlider::valueChanged, this,
            [this](int pos) { onSliderMoved(dialog_.controls().fanSpeed, pos); });
    fanModeButton_ = makeButton("fanModeButton", kTipFan);
    fanModeButton_->setGeometry(skin::kSliderLeft - 72, top, 66, skin::kSliderRowHeight);
    connect(fanModeButton_, &QPushButton::clicked, this, [this] {
        dialog_.setFanAutomatic(!dialog_.controls().fanMode.pressed);
        syncControls();
    });
    top += skin::kSliderRowPitch;

    buildPlainRow(
        coreVoltage_, "coreVoltage", kTextGpuVoltage, kTipCoreVoltage,
        QRect(skin::kMargin, top, 150, skin::kSliderRowHeight),
        QRect(skin::kSliderLeft, top, skin::kSliderWidth, skin::kSliderRowHeight),
        QRect(skin::kValueLeft - 20, top, skin::kValueWidth + 20, skin::kSliderRowHeight));
    coreVoltage_.valueField = tuning::kInfoCoreVoltageSliderValue;
    connect(coreVoltage_.slider, &QSlider::valueChanged, this,
            [this](int pos) { onSliderMoved(dialog_.controls().coreVoltage, pos); });
    top += skin::kSliderRowPitch;

    buildPlainRow(memoryVoltage_, "memoryVoltage", kTextMemoryVoltage, kTipMemoryVoltage,
                  QRect(skin::kMargin, top, 150, skin::kSliderRowHeight),
                  QRect(skin::kSliderLeft, top, skin::kSliderWidth, skin::kSliderRowHeight),
                  QRect(skin::kValueLeft, top, skin::kValueWidth, skin::kSliderRowHeight));
    memoryVoltage_.valueField = tuning::kInfoMemoryVoltageSliderValue;
    connect(memoryVoltage_.slider, &QSlider::valueChanged, this,
            [this](int pos) { onSliderMoved(dialog_.controls().memoryVoltage, pos); });
}

void CQuorvelHDDlg::buildActionButtons() {
    const int top = skin::kActionRowTop;
    applyButton_ = makeButton("applyButton", kTipApply);
    resetButton_ = makeButton("resetButton", kTipReset);
    overclockingButton_ = makeButton("overclockingButton", kTipOverclocking);
    applyButton_->setGeometry(skin::kMargin, top, 150, skin::kActionButtonHeight);
    resetButton_->setGeometry(skin::kMargin + 158, top, 150, skin::kActionButtonHeight);
    overclockingButton_->setGeometry(skin::kMargin + 316, top, skin::kNarrowRight - 332,
                                     skin::kActionButtonHeight);
    overclockingButton_->setText(tableText(kTextOverclock) + QStringLiteral(" \u00bb"));
    connect(applyButton_, &QPushButton::clicked, this, [this] { onApply(); });
    connect(resetButton_, &QPushButton::clicked, this, [this] { onReset(); });
    connect(overclockingButton_, &QPushButton::clicked, this,
            [this] { toggleOverclockingInterface(hotKeys_.hotKeyUsed()); });
}

void CQuorvelHDDlg::buildWidePart() {
    const int left = skin::kWideLeft;
    QLabel* title = makeLabel("overclockingTitle", tableText(kTextOverclock),
                              QRect(left, skin::kSelectorTop, skin::kWideWidth, skin::kRowHeight),
                              app::kFontTitle, skin::kTextStyle);
    wideWidgets_.push_back(title);

    const auto addRow = [&](SliderRow& row, const char* name, int textRow, int tipRow, int top,
                            uint32_t field,
                            tuning::SliderState tuning::MainDialogControls::*state) {
        buildPlainRow(row, name, textRow, tipRow, QRect(left, top, skin::kWideWidth, 20),
                      QRect(left, top + 22, skin::kWideSliderWidth, skin::kSliderRowHeight),
                      QRect(left + skin::kWideSliderWidth + 8, top + 22,
                            skin::kWideWidth - skin::kWideSliderWidth - 8, skin::kSliderRowHeight));
        row.valueField = field;
        connect(row.slider, &QSlider::valueChanged, this,
                [this, state](int pos) { onSliderMoved(dialog_.controls().*state, pos); });
        wideWidgets_.insert(wideWidgets_.end(), {row.label, row.slider, row.value});
    };
    addRow(gpuOffset_, "gpuOffset", kTextGpuOffset, kTipGpuOffset, skin::kGaugeTop,
           tuning::kInfoGpuOffsetSliderValue, &tuning::MainDialogControls::gpuOffset);
    addRow(memoryOffset_, "memoryOffset", kTextMemoryOffset, kTipMemoryOffset, skin::kGaugeTop + 56,
           tuning::kInfoMemoryOffsetSliderValue, &tuning::MainDialogControls::memoryOffset);
    addRow(frameRate_, "frameRate", kTextFrameRate, kTipFrameRate, skin::kGaugeTop + 112,
           tuning::kInfoFrameRateSliderValue, &tuning::MainDialogControls::frameRate);
    // The frame-rate toggle sits at the end of its label's line.
    frameRateToggle_ = makeButton("frameRateToggle", kTipFrameRate);
    frameRateToggle_->setCheckable(true);
    frameRateToggle_->setGeometry(left + skin::kWideWidth - 66, skin::kGaugeTop + 112 - 2, 66, 22);
    frameRate_.label->setGeometry(left, skin::kGaugeTop + 112, skin::kWideWidth - 72, 20);
    connect(frameRateToggle_, &QPushButton::clicked, this, [this](bool on) {
        dialog_.setFrameRateTarget(on);
        syncControls();
    });
    wideWidgets_.push_back(frameRateToggle_);

    fanCurvePanel_ = new FanCurvePanel(
        sampling_->fanCurve(), app_.gpuLayer(), languageTable(),
        app_.prompt() != nullptr ? *app_.prompt() : DismissingPrompt::instance(), this);
    fanCurvePanel_->setGeometry(left, skin::kCurvePanelTop, skin::kWideWidth,
                                skin::kWindowHeight - skin::kCurvePanelTop - skin::kMargin);
    fanCurvePanel_->setGpuOnShow(std::max(0, model_.gpuOnShow()));
    fanCurvePanel_->setStyleSheet(QString::fromLatin1(skin::kButtonStyle) +
                                  QString::fromLatin1(skin::kPanelStyle) +
                                  QStringLiteral("QPushButton { min-height: 22px; }"));
    wideWidgets_.push_back(fanCurvePanel_);

    QLabel* hotKeyLabel =
        makeLabel("hotKeyLabel", tableText(kTextHotKey) + QStringLiteral(": Ctrl+N / Ctrl+M"),
                  QRect(left, skin::kGaugeTop + 170, skin::kWideWidth, 20), app::kFontLabel,
                  skin::kSmallCaptionStyle);
    wideWidgets_.push_back(hotKeyLabel);
}

// ---- Window behaviour ---------------------------------------------------------------------------

void CQuorvelHDDlg::applyStartMode() {
    samplingTimer_->start();
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
    hoverTimer_->start();
}

bool CQuorvelHDDlg::samplingActive() const {
    return samplingTimer_->isActive();
}

bool CQuorvelHDDlg::hoverActive() const {
    return hoverTimer_->isActive();
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
    samplingTimer_->stop();
    hoverTimer_->stop();
    hide();
    if (endHandler_) {
        endHandler_(result);
    }
}

void CQuorvelHDDlg::applyWidth() {
    const int width = dialog_.dialogWidth();
    const bool wide = width > tuning::kDialogWidthNormal;
    for (QWidget* widget : wideWidgets_) {
        widget->setVisible(wide);
    }
    setFixedSize(width, skin::kWindowHeight);
    const int right = width - skin::kMargin;
    hideButton_->setGeometry(right - skin::kButtonSize,
                             (skin::kHeaderHeight - skin::kButtonSize) / 2, skin::kButtonSize,
                             skin::kButtonSize);
    minimizeButton_->setGeometry(hideButton_->x() - skin::kButtonGap - skin::kButtonSize,
                                 hideButton_->y(), skin::kButtonSize, skin::kButtonSize);
    const int statusLeft = tuning::kFrameWidth / 2;
    statusLine_->setGeometry(statusLeft, 0, minimizeButton_->x() - skin::kButtonGap - statusLeft,
                             skin::kHeaderHeight);
    overclockingButton_->setText(tableText(kTextOverclock) +
                                 (wide ? QStringLiteral(" \u00ab") : QStringLiteral(" \u00bb")));
    update();
}

// ---- User actions -------------------------------------------------------------------------------

void CQuorvelHDDlg::showGpu(int index) {
    if (model_.selectGpu(app_.gpuLayer(), index)) {
        temperatureReadout_->setText(QString::fromStdString(model_.temperatureText()));
    }
    // A GPU shown for the first time loads from its card; later it comes back as it was left.
    const bool firstShowing =
        index >= 0 && dialog_.entry(static_cast<size_t>(index)).selectedMode == tuning::kNoMode;
    if (dialog_.selectGpu(index, firstShowing) == 0) {
        fanCurvePanel_->setGpuOnShow(index);
        syncControls();
        updateInformation(tuning::kInfoAllFields);
    }
}

void CQuorvelHDDlg::onClockSliderMoved(ClockSlider which, int pos) {
    dialog_.moveSlider(which, pos);
    syncControls();
}

void CQuorvelHDDlg::onSliderMoved(tuning::SliderState& state, int pos) {
    if (state.enabled) {
        state.setPos(pos);
    }
    syncControls();
}

void CQuorvelHDDlg::onStep(ClockSlider which, StepDirection direction, size_t size) {
    dialog_.step(which, direction, size);
    syncControls();
}

void CQuorvelHDDlg::onModePressed(int mode) {
    dialog_.selectMode(mode, false, true);
    syncControls();
    updateInformation(tuning::kInfoAllFields);
}

void CQuorvelHDDlg::onApply() {
    apply_->pressApply();
    syncControls();
}

void CQuorvelHDDlg::onReset() {
    apply_->reset();
    syncControls();
    updateInformation(tuning::kInfoAllFields);
}

void CQuorvelHDDlg::toggleOverclockingInterface(bool hotKeyUsed) {
    if (apply_->toggleOverclockingInterface(hotKeyUsed)) {
        applyWidth();
    }
}

void CQuorvelHDDlg::hoverCheck() {
    QWidget* under = childAt(mapFromGlobal(QCursor::pos()));
    if (under != nullptr && under == fanSpeed_.slider) {
        QToolTip::showText(QCursor::pos(), tableText(kTipFan), fanSpeed_.slider);
    }
}

// ---- Posted messages ----------------------------------------------------------------------------

void CQuorvelHDDlg::handlePostedMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == tuning::kMessageCommand) {
        if (tuning::commandAction(static_cast<uint32_t>(wParam)) ==
            tuning::DialogAction::kApplyDone) {
            apply_->onApplyDone(static_cast<uint32_t>(wParam), lParam);
            syncControls();
            updateInformation(tuning::kInfoAllFields);
        }
        return;
    }
    if (message == gpu::kMessageProbeDone) {
        updateInformation(tuning::kInfoAllFields);
        return;
    }
    if (message == tuning::kHotKeyMessage) {
        onHotKey(static_cast<uint32_t>(wParam));
        return;
    }
    platform::debugOutput("main window: posted message %u not handled\n", message);
}

void CQuorvelHDDlg::onHotKey(uint32_t key) {
    gpu::GpuLayer& layer = app_.gpuLayer();
    const settings::RegistrySettings& stored = app_.settings();
    tuning::HotKeySettings hotKeySettings;
    hotKeySettings.enabled = stored.hotKeyEnable != 0;
    hotKeySettings.fanSpeed = static_cast<uint32_t>(std::max(0, stored.hotKeyFanSpeed));
    hotKeySettings.gpuOffsetMHz = stored.hotKeyGpuOffset;
    hotKeySettings.voltageHighest = stored.hotKeySetVoltageHighest != 0;
    std::vector<tuning::HotKeyBoard> boards;
    for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
        if (!layer.record(gpu).hotKeyBoard) {
            continue;
        }
        uint32_t low = 0;
        uint32_t high = 0;
        layer.fanDutyRange(gpu, low, high);
        boards.push_back({gpu, layer.record(gpu).fanKind, high});
    }
    const tuning::SliderState& offset = dialog_.controls().gpuOffset;
    const tuning::HotKeyOutcome outcome = hotKeys_.onMessage(
        key, app_.clock().tickMs(), hotKeySettings, boards, {offset.min, offset.max});
    if (!outcome.accepted) {
        return;
    }
    showHotKeyIndicator(outcome.indicator);
    tuning::MainDialogControls& controls = dialog_.controls();
    for (const tuning::HotKeyGpuSteps& steps : outcome.gpus) {
        const bool hasCooler = layer.record(steps.gpu).fanKind != gpu::kFanNoCooler;
        const bool onShow = steps.gpu == dialog_.gpuOnShow();
        if (steps.restoreFan) {
            if (hasCooler) {
                layer.setFanLevel(steps.gpu, tuning::kHotKeyRestoredFanLevel);
                layer.setFanAutomatic(steps.gpu);
            }
            if (onShow) {
                controls.fanSpeed.setPos(static_cast<int>(tuning::kHotKeyRestoredFanLevel));
                dialog_.setFanAutomatic(true);
                controls.fanSpeed.enabled = false;
            }
        }
        if (steps.restoreClock) {
            layer.setGraphicsOffset(steps.gpu, 0);
            if (onShow) {
                controls.gpuOffset.setPos(0);
            }
        }
        if (steps.fanBoost) {
            if (steps.fanLevel) {
                layer.setFanLevel(steps.gpu, *steps.fanLevel);
            }
            if (onShow) {
                dialog_.setFanAutomatic(false);
                controls.fanSpeed.enabled = true;
                controls.fanSpeed.setPos(static_cast<int>(steps.fanSlider));
            }
        }
        if (steps.clockBoost) {
            layer.setGraphicsOffset(steps.gpu, steps.offsetKHz);
            if (onShow) {
                controls.gpuOffset.setPos(steps.offsetSliderMHz);
            }
        }
    }
    syncControls();
    update();
}

void CQuorvelHDDlg::showHotKeyIndicator(const tuning::HotKeyIndicator& indicator) {
    hotKeyIndicator_->setStyleSheet(
        QStringLiteral("background-color: rgb(%1, %2, %3); border-radius: %4px;")
            .arg(indicator.red)
            .arg(indicator.green)
            .arg(indicator.blue)
            .arg(kHotKeyIndicatorSize / 2));
}

// ---- Drawing the models -------------------------------------------------------------------------

void CQuorvelHDDlg::syncSlider(QSlider* slider, const tuning::SliderState& state) {
    const QSignalBlocker blocker(slider);
    slider->setRange(state.min, state.max);
    slider->setValue(state.pos);
    slider->setEnabled(state.enabled);
    slider->setVisible(state.visible);
}

void CQuorvelHDDlg::syncButton(QPushButton* button, const tuning::ButtonState& state,
                               bool checkable) {
    const QSignalBlocker blocker(button);
    button->setText(captionOf(state));
    button->setEnabled(state.enabled);
    if (checkable) {
        button->setChecked(state.pressed);
    }
}

void CQuorvelHDDlg::syncWidgets() {
    const tuning::MainDialogControls& c = dialog_.controls();
    syncSlider(gpuClock_.slider, c.gpuClock);
    syncSlider(shaderClock_.slider, c.shaderClock);
    syncSlider(memoryClock_.slider, c.memoryClock);
    syncSlider(fanSpeed_.slider, c.fanSpeed);
    syncSlider(coreVoltage_.slider, c.coreVoltage);
    syncSlider(memoryVoltage_.slider, c.memoryVoltage);
    syncSlider(gpuOffset_.slider, c.gpuOffset);
    syncSlider(memoryOffset_.slider, c.memoryOffset);
    syncSlider(frameRate_.slider, c.frameRate);
    for (SliderRow* row : {&gpuClock_, &shaderClock_, &memoryClock_}) {
        for (size_t i = 0; i < tuning::MainDialogModel::kStepSizes; ++i) {
            row->down[i]->setEnabled(dialog_.gpuOnShow() != tuning::kNoGpu);
            row->up[i]->setEnabled(dialog_.gpuOnShow() != tuning::kNoGpu);
        }
    }
    for (auto [button, state] : {std::pair{mode2D_, &c.mode2D}, std::pair{mode3DLow_, &c.mode3DLow},
                                 std::pair{mode3DPerf_, &c.mode3DPerf}}) {
        syncButton(button, *state, true);
        // A mode button without a caption is never shown highlighted.
        if (state->captionEmpty()) {
            const QSignalBlocker blocker(button);
            button->setChecked(false);
        }
    }
    syncButton(linkButton_, c.link, true);
    syncButton(synchronousButton_, c.synchronous, true);
    if (synchronousButton_->text().isEmpty()) {
        synchronousButton_->setText(QString::fromLatin1(kSynchronousCaption));
    }
    syncButton(unlockMinButton_, c.unlockMin, false);
    syncButton(unlockMaxButton_, c.unlockMax, false);
    syncButton(fanModeButton_, c.fanMode, false);
    syncButton(frameRateToggle_, c.frameRateToggle, true);
    if (frameRateToggle_->text().isEmpty()) {
        frameRateToggle_->setText(QString::fromLatin1(kFrameRateCaption));
    }

    const tuning::ApplyButtons& buttons = apply_->buttons();
    syncButton(applyButton_, buttons.apply, false);
    syncButton(resetButton_, buttons.reset, false);
    profileBar_->setSaveEnabled(buttons.profileSave.enabled);
    overclockingButton_->setEnabled(buttons.overclocking.enabled);
}

void CQuorvelHDDlg::syncControls() {
    syncWidgets();
    updateInformation(tuning::kInfoGpuSliderValue | tuning::kInfoShaderSliderValue |
                      tuning::kInfoMemorySliderValue | tuning::kInfoFanSliderValue |
                      tuning::kInfoFrameRateSliderValue | tuning::kInfoCoreVoltageSliderValue |
                      tuning::kInfoMemoryVoltageSliderValue | tuning::kInfoGpuOffsetSliderValue |
                      tuning::kInfoMemoryOffsetSliderValue);
}

void CQuorvelHDDlg::updateInformation(uint32_t mask) {
    if (dialog_.gpuOnShow() == tuning::kNoGpu) {
        return;
    }
    info_->update(mask, false);
    showInformation();
}

void CQuorvelHDDlg::showInformation() {
    const auto setField = [this](QLabel* label, uint32_t id) {
        const tuning::InfoField* field = info_->field(id);
        if (field == nullptr || label == nullptr) {
            return;
        }
        label->setText(QString::fromStdString(field->text));
        const QColor colour = infoColour(field->colour);
        label->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
    };
    for (const auto& [id, label] : infoLabels_) {
        setField(label, id);
    }
    for (SliderRow* row : {&gpuClock_, &shaderClock_, &memoryClock_, &fanSpeed_, &coreVoltage_,
                           &memoryVoltage_, &gpuOffset_, &memoryOffset_, &frameRate_}) {
        const tuning::InfoField* field = info_->field(row->valueField);
        if (field != nullptr) {
            row->value->setText(QString::fromStdString(field->text));
        }
    }
    modePicture_->setText(modePictureText(info_->modePicture()));
    info_->clearInvalidated();
}

void CQuorvelHDDlg::sampleNow() {
    if (dialog_.gpuOnShow() == tuning::kNoGpu) {
        return;
    }
    const tuning::SampleResult result = sampling_->tick(CIndicateInstDialog::isOpen());
    showSample(result);
    // The tick stores the controls into the entries and may move the fan controls.
    syncWidgets();
    updateInformation(tuning::kInfoAllFields);
    if (result.alarmWindowMessage) {
        // Modal: ticks go on inside it, and a second window is never opened.
        CIndicateInstDialog::showAlarm(QString::fromStdString(*result.alarmWindowMessage), this);
    }
}

void CQuorvelHDDlg::showSample(const tuning::SampleResult& result) {
    const tuning::SampleDisplay& display = result.display;
    const tuning::GpuUiEntry& entry = dialog_.entry(static_cast<size_t>(dialog_.gpuOnShow()));
    if (entry.temperatureC >= 0) {
        char text[16];
        std::snprintf(text, sizeof(text), "%3d", entry.temperatureC);
        temperatureReadout_->setText(QString::fromLatin1(text));
    } else {
        temperatureReadout_->setText(QString::fromUtf8(skin::kMissingText));
    }
    if (display.fanModeRow >= 0) {
        fanModeLabel_->setText(tableText(display.fanModeRow));
    } else {
        fanModeLabel_->clear();
    }
    showGauges(display);
}

void CQuorvelHDDlg::showGauges(const tuning::SampleDisplay& display) {
    const tuning::GpuUiEntry& entry = dialog_.entry(static_cast<size_t>(dialog_.gpuOnShow()));
    const tuning::MainDialogControls& c = dialog_.controls();
    // The clock gauges show the selected mode's clocks, whose read-outs are plain MHz numbers.
    const auto clockGauge = [&](size_t index, const tuning::Readout& readout,
                                const tuning::SliderState& slider) {
        Gauge* gauge = gauges_[index];
        gauge->setScaleMax(slider.max > 0 ? slider.max : kClockScaleFallbackMHz);
        const QString digits = QString::fromStdString(readout.text);
        bool number = false;
        const int valueMHz = digits.trimmed().toInt(&number);
        if (!display.clocksShown || !number) {
            gauge->setReading(-1, QString::fromUtf8(skin::kMissingText), skin::kLabelColour);
            return;
        }
        gauge->setReading(valueMHz, digits, skin::fromColourRef(readout.colour));
    };
    clockGauge(kGaugeGpuClock, display.gpuClock, c.gpuClock);
    clockGauge(kGaugeShaderClock, display.shaderClock, c.shaderClock);
    clockGauge(kGaugeMemoryClock, display.memoryClock, c.memoryClock);
    gauges_[kGaugeTemperature]->setReading(entry.temperatureC, numberOrMissing(entry.temperatureC),
                                           skin::kDigitColour);
    gauges_[kGaugeFan]->setReading(entry.fanPercent, numberOrMissing(entry.fanPercent),
                                   skin::kDigitColour);
    if (!display.coreVoltage.text.empty()) {
        gauges_[kGaugeVoltage]->setReading(entry.coreVoltageMv,
                                           QString::fromStdString(display.coreVoltage.text),
                                           skin::fromColourRef(display.coreVoltage.colour));
    } else if (!display.vidVoltage.empty()) {
        gauges_[kGaugeVoltage]->setReading(
            entry.coreVoltageMv, QString::fromStdString(display.vidVoltage), skin::kDigitColour);
    } else {
        gauges_[kGaugeVoltage]->setReading(-1, QString::fromUtf8(skin::kMissingText),
                                           skin::kLabelColour);
    }
    gauges_[kGaugePower]->setReading(entry.powerW, numberOrMissing(entry.powerW),
                                     skin::kDigitColour);
}

// ---- Painting and the borderless frame ----------------------------------------------------------

void CQuorvelHDDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0, skin::kBackgroundTop);
    background.setColorAt(1, skin::kBackgroundBottom);
    painter.fillRect(rect(), background);
    painter.fillRect(QRect(0, 0, width(), skin::kHeaderHeight), skin::kHeaderColour);
    painter.setPen(skin::kEdgeColour);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawLine(0, skin::kHeaderHeight, width(), skin::kHeaderHeight);
    // The information panel and the tuning area sit on darker panels.
    const QRect infoPanel(skin::kMargin - 6, skin::kInfoTop - 4,
                          skin::kNarrowRight - skin::kMargin + 12, 4 * skin::kInfoRowHeight + 8);
    painter.fillRect(infoPanel, skin::kPanelColour);
    painter.fillRect(temperatureReadout_->geometry().adjusted(-2, -2, 2, 2), skin::kEdgeColour);
    painter.fillRect(temperatureReadout_->geometry(), skin::kReadoutBackground);
    if (width() > tuning::kDialogWidthNormal) {
        const int divider = tuning::kDialogWidthNormal;
        painter.drawLine(divider, skin::kHeaderHeight, divider, height());
    }
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
