// The rows of the language table that the HDMI page names (its own file beside LanguageRows.h,
// which holds the rest of the window's rows).
#pragma once

namespace qv::lang {

inline constexpr int kTextHdmi = 134;  // the page's button and caption
inline constexpr int kTextSpeakerFrontLeft = 135;
inline constexpr int kTextSpeakerFrontRight = 136;
inline constexpr int kTextSpeakerSideLeft = 137;
inline constexpr int kTextSpeakerSideRight = 138;
inline constexpr int kTextSpeakerBackLeft = 139;
inline constexpr int kTextSpeakerBackRight = 140;
inline constexpr int kTextSpeakerCenter = 141;
inline constexpr int kTextSpeakerSubwoofer = 142;
inline constexpr int kTextAutoSelectHdmi = 143;
inline constexpr int kTextPlay = 144;
inline constexpr int kTipHdmi = 167;

}  // namespace qv::lang
