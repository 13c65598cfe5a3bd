// Which column of the language table a user gets, from the system's language.
//
// The column rule is written in terms of Windows language identifiers (LANGID), which is what the
// system reports on Windows. Elsewhere a POSIX locale name is turned into the identifier first,
// so that one rule decides the column on every system.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qv::lang {

inline constexpr uint32_t kLanguageIdNeutral = 0x0000;
inline constexpr uint32_t kLanguageIdEnglishUnitedStates = 0x0409;
inline constexpr uint32_t kLanguageIdChineseTaiwan = 0x0404;
inline constexpr uint32_t kLanguageIdChinesePrc = 0x0804;
inline constexpr uint32_t kLanguageIdChineseHongKong = 0x0C04;
inline constexpr uint32_t kLanguageIdChineseSingapore = 0x1004;
inline constexpr uint32_t kLanguageIdChineseMacao = 0x1404;

// Taiwan, Hong Kong, Singapore and Macao read the Traditional Chinese column, the PRC the
// Simplified one, every other identifier the English one.
int columnForLanguageId(uint32_t languageId);

// The identifier for one POSIX locale name, "language[_territory][.codeset][@modifier]";
// BCP 47 style names ("zh-Hant-TW") are read too. Case does not matter.
//   zh_TW, zh_HK, zh_SG, zh_MO, zh_CN  -> the identifier of that territory.
//   zh_Hant (any other or no territory) -> Chinese (Taiwan): a Traditional script request gets the
//                                         Traditional column even without a territory.
//   zh_Hans (any territory)            -> Chinese (PRC): an explicit Simplified script request
//                                         wins over a territory whose identifier would pick the
//                                         Traditional column (zh_Hans_SG, zh_Hans_HK).
//   zh alone or with another territory -> Chinese (PRC), as the neutral Chinese identifier
//                                         stands for Simplified script on Windows.
//   en..., C, POSIX and ""             -> English (United States).
//   any other language                 -> neutral (0): the table has no column for it, so the
//                                         English column is used.
uint32_t languageIdFromLocale(std::string_view locale);

// Looks an environment variable up; returns null when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// The locale name that decides the language of messages: the first non-empty entry of the
// colon-separated LANGUAGE list, else the first non-empty one of LC_ALL, LC_MESSAGES and LANG;
// "" when none is set.
std::string localeNameFromEnvironment(const EnvironmentLookup& lookup);

}  // namespace qv::lang
