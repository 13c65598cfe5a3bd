// The main window's skin: colours, style sheets and the places of its controls, for the normal
// width and the wide part that holds the overclocking controls.
#pragma once

#include <QColor>
#include <QRect>
#include <cstdint>

#include "tuning/MainFrameModel.h"

namespace qv::ui::skin {

inline constexpr const char* kMissingText = "---";

// ---- Colours -------------------------------------------------------------------------------
inline const QColor kBackgroundTop(34, 38, 46);
inline const QColor kBackgroundBottom(16, 18, 22);
inline const QColor kHeaderColour(58, 64, 78);
inline const QColor kEdgeColour(90, 98, 116);
inline const QColor kPanelColour(26, 30, 37);
inline const QColor kReadoutBackground(8, 20, 12);
inline const QColor kLabelColour(200, 206, 218);
inline const QColor kDigitColour(96, 255, 128);
inline const QColor kGaugeTrack(52, 58, 70);
inline const QColor kGaugeFill(64, 168, 255);

// A colour given as a 0x00BBGGRR number.
inline QColor fromColourRef(uint32_t value) {
    return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                  static_cast<int>((value >> 16) & 0xFFu));
}

// ---- Style sheets --------------------------------------------------------------------------
inline constexpr const char* kTextStyle = "color: rgb(220, 224, 232);";
inline constexpr const char* kSmallCaptionStyle = "color: rgb(150, 158, 174);";
inline constexpr const char* kReadoutStyle =
    "color: rgb(96, 255, 128); background-color: rgb(8, 20, 12); padding-right: 6px;";
// The read-out of a temperature at or above the hot mark.
inline constexpr const char* kHotReadoutStyle =
    "color: rgb(255, 64, 48); background-color: rgb(28, 8, 8); padding-right: 6px;";
inline constexpr const char* kNoticeStyle = "color: rgb(255, 176, 48);";
inline constexpr const char* kButtonStyle =
    "QPushButton { color: rgb(220, 224, 232); background: rgb(72, 80, 96); border: none;"
    " border-radius: 3px; padding: 0 6px; }"
    "QPushButton:hover { background: rgb(104, 114, 136); }"
    "QPushButton:checked { background: rgb(40, 120, 200); color: white; }"
    "QPushButton:focus { border: 1px solid rgb(255, 176, 48); }"
    "QPushButton:disabled { color: rgb(110, 116, 128); background: rgb(44, 48, 58); }";
inline constexpr const char* kComboStyle =
    "QComboBox { color: rgb(220, 224, 232); background: rgb(44, 50, 62);"
    " border: 1px solid rgb(90, 98, 116); padding-left: 6px; }"
    "QComboBox QAbstractItemView { color: rgb(220, 224, 232); background: rgb(44, 50, 62); }";
inline constexpr const char* kSliderStyle =
    "QSlider::groove:horizontal { height: 4px; background: rgb(60, 66, 80); }"
    "QSlider::sub-page:horizontal { background: rgb(64, 168, 255); }"
    "QSlider::handle:horizontal { width: 10px; margin: -6px 0; background: rgb(220, 224, 232);"
    " border-radius: 2px; }"
    "QSlider::sub-page:horizontal:disabled { background: rgb(60, 66, 80); }"
    "QSlider::handle:horizontal:disabled { background: rgb(90, 96, 108); }";

// The embedded panels (curve panel, profile bar) in the window's colours.
inline constexpr const char* kPanelStyle =
    "QLabel { color: rgb(200, 206, 218); }"
    "QSpinBox { color: rgb(220, 224, 232); background: rgb(44, 50, 62);"
    " border: 1px solid rgb(90, 98, 116); }"
    "QSpinBox:disabled { color: rgb(110, 116, 128); background: rgb(32, 36, 44); }"
    "QToolButton { background: rgb(72, 80, 96); border: none; border-radius: 3px; }"
    "QToolButton:checked { background: rgb(40, 120, 200); }";

// ---- Sizes and places ----------------------------------------------------------------------
inline constexpr int kWindowHeight = tuning::kFrameHeight;
inline constexpr int kHeaderHeight = 44;
inline constexpr int kMargin = 16;
inline constexpr int kNarrowRight = 538;  // right edge of the normal part's controls
inline constexpr int kButtonSize = 28;
inline constexpr int kButtonGap = 6;

inline constexpr int kSelectorTop = 52;
inline constexpr int kRowHeight = 28;
inline constexpr int kSelectorLabelWidth = 60;
inline constexpr int kSelectorWidth = 300;

inline constexpr int kGaugeTop = 88;
inline constexpr int kGaugeWidth = 74;
inline constexpr int kGaugeHeight = 100;
inline constexpr int kGaugePitch = 75;

inline constexpr int kReadoutTop = 204;
inline constexpr int kReadoutLabelWidth = 110;
inline constexpr int kReadoutWidth = 110;
inline constexpr int kReadoutHeight = 44;
inline constexpr int kUnitWidth = 40;

inline constexpr int kInfoTop = 256;
inline constexpr int kInfoRowHeight = 20;

inline constexpr int kModeRowTop = 350;
inline constexpr int kSliderRowTop = 388;
inline constexpr int kSliderRowPitch = 32;
inline constexpr int kSliderRowHeight = 24;
inline constexpr int kSliderLabelWidth = 96;
inline constexpr int kStepButtonWidth = 20;
inline constexpr int kStepButtonGap = 2;
inline constexpr int kSliderLeft = 180;
inline constexpr int kSliderWidth = 226;
inline constexpr int kValueLeft = 476;
inline constexpr int kValueWidth = 62;

inline constexpr int kActionRowTop = 620;
inline constexpr int kActionButtonHeight = 32;
inline constexpr int kProfileTop = 664;
inline constexpr int kProfileHeight = 44;

// The wide part, shown with the overclocking interface.
inline constexpr int kWideLeft = 570;
inline constexpr int kWideWidth = 402;
inline constexpr int kWideSliderWidth = 320;
inline constexpr int kCurvePanelTop = 272;

}  // namespace qv::ui::skin
