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
#include "lang/CMultiLangSupp.h"

namespace qv::ui::mainwindow {

using tuning::ClockSlider;
using tuning::StepDirection;

// Language-table rows of the window's labels and tool tips.

// Tool tips.

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
    return QString::fromUtf8(lang::languageTable().text(row));
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
