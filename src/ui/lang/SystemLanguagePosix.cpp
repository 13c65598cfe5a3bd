// The system's language on POSIX systems: the locale environment.
#ifndef _WIN32

#include <clocale>
#include <cstdlib>

#include "ui/lang/LanguageId.h"
#include "ui/lang/SystemLanguage.h"

namespace qv::ui {

uint32_t systemLanguageId() {
    return languageIdFromLocale(
        localeNameFromEnvironment([](const char* name) { return std::getenv(name); }));
}

bool applySystemCharacterLocale() {
    // "" asks the C library for the locale the environment names (LC_ALL, LC_CTYPE, LANG).
    return std::setlocale(LC_CTYPE, "") != nullptr;
}

}  // namespace qv::ui

#endif  // !_WIN32
