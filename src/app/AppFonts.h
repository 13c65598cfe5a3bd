// The display fonts: two faces that must be available, and the ten fonts the skinned controls
// draw with. The faces keep their historic names; on this platform each is served by a free
// family of the same style.
#pragma once

#include <array>
#include <string>

#include "platform/FontProvider.h"

namespace qv::app {

struct FontFace {
    const char* name;      // the face the controls ask for
    const char* family;    // the installed family that serves it here
    const char* fileName;  // added from the program folder when the family is missing
};

inline constexpr FontFace kFaceArial = {"Arial", "Liberation Sans", "LiberationSans-Regular.ttf"};
// The seven-segment face of the digital read-outs.
inline constexpr FontFace kFaceDigital = {"DS-Digital", "DSEG7 Classic",
                                          "DSEG7Classic-Regular.ttf"};

inline constexpr int kFontWeightDefault = 0;
inline constexpr int kFontWeightBold = 700;

// One font: height in logical units (pixels), weight (0 default, 700 bold), escapement and
// orientation in tenths of a degree.
struct FontDefinition {
    const FontFace* face;
    int height;
    int weight;
    int escapement;
    int orientation;
};

inline constexpr size_t kFontCount = 10;
// Font numbers (1-based, as the skin names them) of the fonts most windows use.
inline constexpr int kFontLabel = 1;         // Arial 14
inline constexpr int kFontDigitalLarge = 2;  // DS-Digital 24
inline constexpr int kFontDigitalSmall = 3;  // DS-Digital 18
inline constexpr int kFontTitle = 8;         // Arial 16 bold
inline constexpr int kFontVertical = 10;     // Arial 18 at 270 degrees

inline constexpr std::array<FontDefinition, kFontCount> kFontDefinitions = {{
    {&kFaceArial, 14, kFontWeightDefault, 0, 0},
    {&kFaceDigital, 24, kFontWeightDefault, 0, 0},
    {&kFaceDigital, 18, kFontWeightDefault, 0, 0},
    {&kFaceDigital, 18, kFontWeightDefault, -100, 900},
    {&kFaceArial, 12, kFontWeightBold, 100, 900},
    {&kFaceArial, 12, kFontWeightDefault, -90, 900},
    {&kFaceArial, 12, kFontWeightDefault, 60, 900},
    {&kFaceArial, 16, kFontWeightBold, 0, 0},
    {&kFaceArial, 18, kFontWeightDefault, 0, 0},
    {&kFaceArial, 18, 0, 2700, 900},
}};

// The font with a 1-based number; the first font for a number out of range.
const FontDefinition& fontDefinition(int number);

// Makes both faces available: a missing family is added from its file, shipped with a program in
// `programFolder` (beside it, or in its shared data folder).
// Stops at the first file that cannot be added. 0 on success, -1 on failure.
int setUpFonts(platform::FontProvider& fonts, const std::string& programFolder);

}  // namespace qv::app
