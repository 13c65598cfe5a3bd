#include "settings/StartArguments.h"

#include <array>

#include "platform/Text.h"

namespace qv::settings {

namespace {

struct StartArgument {
    int mode;
    const char* word;
};

// Searched in this order.
constexpr std::array<StartArgument, 4> kStartArguments = {{
    {kStartModeNormal, kStartWordNormal},
    {kStartModeMinimize, kStartWordMinimize},
    {kStartModeSysTray, kStartWordSysTray},
    {kStartModeOnlyApplySettings, kStartWordOnlyApplySettings},
}};

}  // namespace

const char* startArgumentWord(int mode) {
    for (const StartArgument& argument : kStartArguments) {
        if (argument.mode == mode) {
            return argument.word;
        }
    }
    return nullptr;
}

int parseStartArgument(std::string_view text) {
    if (text.empty()) {
        return kStartModeNone;
    }
    for (const StartArgument& argument : kStartArguments) {
        if (platform::equalsIgnoringCase(text, argument.word)) {
            return argument.mode;
        }
    }
    return kStartModeNone;
}

int parseCommandLine(const std::vector<std::string>& arguments) {
    // The arguments are joined back into one text, so a second word (or a word with a blank in
    // it) never matches.
    std::string text;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += arguments[i];
    }
    return parseStartArgument(text);
}

}  // namespace qv::settings
