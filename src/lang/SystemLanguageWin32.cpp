// The system's language on Windows: the user's default language identifier and ANSI code page.
#ifdef _WIN32

#include <windows.h>

#include <clocale>

#include "lang/SystemLanguage.h"

namespace qv::lang {

uint32_t systemLanguageId() {
    return static_cast<uint32_t>(GetUserDefaultLangID());
}

bool applySystemCharacterLocale() {
    return std::setlocale(LC_CTYPE, ".ACP") != nullptr;
}

}  // namespace qv::lang

#endif  // _WIN32
