// The system's language on POSIX systems: the locale environment.
#ifndef _WIN32

#include <clocale>
#include <cstdlib>

#include "lang/LanguageId.h"
#include "lang/SystemLanguage.h"

namespace qv::lang {

uint32_t systemLanguageId() {
    return languageIdFromLocale(
        localeNameFromEnvironment([](const char* name) { return std::getenv(name); }));
}

bool applySystemCharacterLocale() {
    // "" asks the C library for the locale the environment names (LC_ALL, LC_CTYPE, LANG).
    return std::setlocale(LC_CTYPE, "") != nullptr;
}

}  // namespace qv::lang

#endif  // !_WIN32
