// What the main window's two source files share: the language-table rows of its labels and tool
// tips, the captions of its own, and small helpers that turn model values into what is drawn.
#pragma once

#include <QColor>
#include <QString>
#include <array>
#include <cstdint>

#include "lang/CMultiLangSupp.h"
#include "platform/Prompt.h"
#include "tuning/ControlState.h"
#include "tuning/InfoReadouts.h"
#include "tuning/MainDialogModel.h"
#include "tuning/MainWindowController.h"
#include "ui/MainWindowSkin.h"

namespace qv::ui::mainwindow {

using tuning::ClockSlider;
using tuning::StepDirection;

// Language-table rows of the window's labels and tool tips.

// Tool tips.

// The hot-key indicator in the header, right of the caption.
inline constexpr int kHotKeyIndicatorLeft = 124;
inline constexpr int kHotKeyIndicatorSize = 10;

using tuning::kClockScaleFallbackMHz;
using tuning::kFanScale;
using tuning::kGaugeCount;
using tuning::kPowerScaleW;
using tuning::kTemperatureScale;
using tuning::kVoltageScaleMv;

// Captions of the step buttons, smallest step first.
inline constexpr std::array<const char*, tuning::MainDialogModel::kStepSizes> kStepDownCaptions = {
    "<", "<<", "<<<"};
inline constexpr std::array<const char*, tuning::MainDialogModel::kStepSizes> kStepUpCaptions = {
    ">", ">>", ">>>"};

// The bars of the performance-mode picture beside the temperature.
inline QString modePictureText(int picture) {
    switch (picture) {
        case tuning::kModePictureOneBar:
            return QStringLiteral("\u25ae\u25af\u25af");
        case tuning::kModePictureTwoBars:
            return QStringLiteral("\u25ae\u25ae\u25af");
        case tuning::kModePictureThreeBars:
            return QStringLiteral("\u25ae\u25ae\u25ae");
        default:
            return {};
    }
}

inline QString tableText(int row) {
    return QString::fromUtf8(lang::languageTable().text(row));
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
