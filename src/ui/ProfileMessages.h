// What the profile bar and the profile dialog tell the person when a profile cannot be saved or
// loaded. English only: the language table has no rows for these; the caption is the program's
// name in the user's language, as on every message.
#pragma once

#include <string>

#include "lang/LanguageRows.h"
#include "platform/Prompt.h"
#include "lang/CMultiLangSupp.h"

namespace qv::ui {

inline std::string profileSaveFailedText(const std::string& path) {
    return "The profile could not be saved to\n" + path;
}

inline std::string profileLoadFailedText(const std::string& path) {
    return "The profile could not be loaded from\n" + path;
}

// A numbered slot whose file does not exist.
inline std::string profileSlotEmptyText(int slot) {
    return "Profile " + std::to_string(slot) + " has not been saved yet.";
}

inline void showProfileError(platform::Prompt& prompt, const lang::CMultiLangSupp& texts,
                             const std::string& text) {
    prompt.show(texts.text(lang::kTextAppName), text, platform::PromptIcon::kError,
                platform::PromptButtons::kOk);
}

}  // namespace qv::ui
