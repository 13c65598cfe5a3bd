// The start modes and the words that select them, on the command line and at the end of the
// Run entry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv::settings {

inline constexpr int kStartModeNone = 0;      // no word, or an unknown one: normal start
inline constexpr int kStartModeDoNotRun = 1;  // options-dialog choice only: no Run entry
inline constexpr int kStartModeNormal = 2;
inline constexpr int kStartModeMinimize = 3;
inline constexpr int kStartModeSysTray = 4;
inline constexpr int kStartModeOnlyApplySettings = 5;

inline constexpr const char* kStartWordNormal = "Normal";
inline constexpr const char* kStartWordMinimize = "Minimize";
inline constexpr const char* kStartWordSysTray = "SysTray";
inline constexpr const char* kStartWordOnlyApplySettings = "OnlyApplySettings";

// The word of a mode 2-5; nullptr for any other mode.
const char* startArgumentWord(int mode);

// The mode of a word compared ignoring case; 0 for an empty or unknown word.
int parseStartArgument(std::string_view text);

// The mode of a whole command line (the arguments after the program name, with the driver
// options already taken off): it must be exactly one of the words and nothing else.
int parseCommandLine(const std::vector<std::string>& arguments);

}  // namespace qv::settings
