// The running system's language settings, one implementation per platform.
#pragma once

#include <cstdint>

namespace qv::lang {

// The user's default language identifier (a Windows LANGID; derived from the locale environment
// elsewhere).
uint32_t systemLanguageId();

// Sets the C library's character-type locale to the system's (the ANSI code page on Windows, the
// environment's locale elsewhere). Returns false when the system's locale is not available, in
// which case the previous one stays.
bool applySystemCharacterLocale();

}  // namespace qv::lang
