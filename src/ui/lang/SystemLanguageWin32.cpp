// The system's language on Windows: the user's default language identifier and ANSI code page.
#ifdef _WIN32

#include <windows.h>

#include <clocale>

#include "ui/lang/SystemLanguage.h"

namespace qv::ui {

uint32_t systemLanguageId() {
    return static_cast<uint32_t>(GetUserDefaultLangID());
}

bool applySystemCharacterLocale() {
    return std::setlocale(LC_CTYPE, ".ACP") != nullptr;
}

}  // namespace qv::ui

#endif  // _WIN32
