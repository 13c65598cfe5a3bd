// What the main window's two source files share: the language-table rows of its labels and tool
// tips, the captions of its own, and small helpers that turn model values into what is drawn.
#pragma once

#include <QColor>
#include <QString>
#include <array>
#include <cstdint>

#include "platform/Prompt.h"
#include "tuning/ControlState.h"
#include "tuning/InfoReadouts.h"
#include "tuning/MainDialogModel.h"
#include "ui/MainWindowSkin.h"
#include "ui/lang/CMultiLangSupp.h"

namespace qv::ui::mainwindow {

using tuning::ClockSlider;
using tuning::StepDirection;

// Language-table rows of the window's labels and tool tips.
inline constexpr int kTextOverclock = 1;
inline constexpr int kTextAlarmTemplate = 5;
inline constexpr int kTextClockWorkMode = 12;
inline constexpr int kTextGpuClock = 18;
inline constexpr int kTextMemoryClock = 19;
inline constexpr int kTextShaderClock = 20;
inline constexpr int kTextFanSpeed = 22;
inline constexpr int kTextGpuVoltage = 23;
inline constexpr int kTextPower = 24;
inline constexpr int kTextMemoryVoltage = 25;
inline constexpr int kTextShaderShort = 44;
inline constexpr int kTextMemoryShort = 45;
inline constexpr int kTextCudaCores = 182;
inline constexpr int kTextMemorySize = 221;
inline constexpr int kTextBusWidth = 222;
inline constexpr int kTextMemoryType = 223;
inline constexpr int kTextCurrentClock = 225;
inline constexpr int kTextDefaultClock = 227;
inline constexpr int kTextGpuLoad = 228;
inline constexpr int kTextUsage = 229;
inline constexpr int kTextMcu = 230;
inline constexpr int kTextTdp = 232;
inline constexpr int kTextSpeedPercent = 234;
inline constexpr int kTextGpuOffset = 248;
inline constexpr int kTextMemoryOffset = 249;
inline constexpr int kTextFrameRate = 250;
inline constexpr int kTextHotKey = 257;

// Tool tips.
inline constexpr int kTipLink = 155;
inline constexpr int kTipGpuClock = 156;
inline constexpr int kTipShaderClock = 157;
inline constexpr int kTipMemoryClock = 158;
inline constexpr int kTipFan = 159;
inline constexpr int kTipCoreVoltage = 160;
inline constexpr int kTipApply = 162;
inline constexpr int kTipProfile = 161;
inline constexpr int kTipReset = 163;
inline constexpr int kTip2D = 168;
inline constexpr int kTip3DLow = 169;
inline constexpr int kTip3DPerf = 170;
inline constexpr int kTipTemperature = 172;
inline constexpr int kTipCudaCores = 173;
inline constexpr int kTipSynchronous = 174;
inline constexpr int kTipOverclocking = 241;
inline constexpr int kTipMemoryVoltage = 243;
inline constexpr int kTipGpuOffset = 252;
inline constexpr int kTipMemoryOffset = 253;
inline constexpr int kTipFrameRate = 254;

// Captions of toggles whose state the model gives without a text; the same in every language.
inline constexpr const char* kSynchronousCaption = "SYNC";
inline constexpr const char* kFrameRateCaption = "FPS";

// The hot-key indicator in the header, right of the caption.
inline constexpr int kHotKeyIndicatorLeft = 124;
inline constexpr int kHotKeyIndicatorSize = 10;

// Gauge scales.
inline constexpr int kTemperatureScale = 120;
inline constexpr int kFanScale = 100;
inline constexpr int kVoltageScaleMv = 1500;
inline constexpr int kPowerScaleW = 300;
inline constexpr int kClockScaleFallbackMHz = 2000;

// Captions of the step buttons, smallest step first.
inline constexpr std::array<const char*, tuning::MainDialogModel::kStepSizes> kStepDownCaptions = {
    "<", "<<", "<<<"};
inline constexpr std::array<const char*, tuning::MainDialogModel::kStepSizes> kStepUpCaptions = {
    ">", ">>", ">>>"};

// The bars of the performance-mode picture beside the temperature.
inline QString modePictureText(int picture) {
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

inline QString tableText(int row) {
    return QString::fromUtf8(languageTable().text(row));
}

inline QString captionOf(const tuning::ButtonState& state) {
    if (state.fixedCaption != nullptr) {
        return QString::fromUtf8(state.fixedCaption);
    }
    return state.captionRow >= 0 ? tableText(state.captionRow) : QString();
}

// A missing value (-1) reads as the missing text; otherwise the number as it is.
inline QString numberOrMissing(int value) {
    return value < 0 ? QString::fromUtf8(skin::kMissingText) : QString::number(value);
}

// Information fields are coloured for a light skin; black would vanish on this dark one, so it
// is drawn in the label colour.
inline QColor infoColour(uint32_t colourRef) {
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

}  // namespace qv::ui::mainwindow
