#include "lang/LanguageId.h"

#include <array>

#include "lang/LanguageTexts.h"
#include "platform/Text.h"

namespace qv::lang {

namespace {

constexpr std::string_view kChinese = "zh";
constexpr std::string_view kEnglish = "en";
constexpr std::string_view kCLocale = "c";
constexpr std::string_view kPosixLocale = "posix";
constexpr std::string_view kScriptTraditional = "hant";
constexpr std::string_view kScriptSimplified = "hans";

// Where the codeset, the modifier and the subtags of a locale name begin.
constexpr std::string_view kNameEnd = ".@";
constexpr std::string_view kSubtagSeparators = "_-";

constexpr std::size_t kScriptSubtagLength = 4;
constexpr std::size_t kRegionSubtagLength = 2;

constexpr char kLanguageListSeparator = ':';

struct Territory {
    std::string_view code;  // lower case
    uint32_t languageId;
};

constexpr std::array<Territory, 5> kChineseTerritories = {{
    {"tw", kLanguageIdChineseTaiwan},
    {"hk", kLanguageIdChineseHongKong},
    {"sg", kLanguageIdChineseSingapore},
    {"mo", kLanguageIdChineseMacao},
    {"cn", kLanguageIdChinesePrc},
}};

using platform::equalsIgnoringCase;

// The identifier of a Chinese territory subtag; neutral when it names none of them.
uint32_t chineseTerritoryId(std::string_view subtag) {
    for (const Territory& territory : kChineseTerritories) {
        if (equalsIgnoringCase(subtag, territory.code)) {
            return territory.languageId;
        }
    }
    return kLanguageIdNeutral;
}

uint32_t chineseLanguageId(std::string_view subtags) {
    bool traditionalScript = false;
    bool simplifiedScript = false;
    uint32_t territoryId = kLanguageIdNeutral;
    while (!subtags.empty()) {
        const std::size_t end = subtags.find_first_of(kSubtagSeparators);
        const std::string_view subtag = subtags.substr(0, end);
        subtags = end == std::string_view::npos ? std::string_view{} : subtags.substr(end + 1);
        if (subtag.size() == kScriptSubtagLength) {
            traditionalScript = traditionalScript || equalsIgnoringCase(subtag, kScriptTraditional);
            simplifiedScript = simplifiedScript || equalsIgnoringCase(subtag, kScriptSimplified);
        } else if (subtag.size() == kRegionSubtagLength && territoryId == kLanguageIdNeutral) {
            territoryId = chineseTerritoryId(subtag);
        }
    }
    const int territoryColumn = columnForLanguageId(territoryId);
    if (traditionalScript) {
        return territoryColumn == kColumnTraditionalChinese ? territoryId
                                                            : kLanguageIdChineseTaiwan;
    }
    if (simplifiedScript) {
        return kLanguageIdChinesePrc;
    }
    return territoryId == kLanguageIdNeutral ? kLanguageIdChinesePrc : territoryId;
}

}  // namespace

int columnForLanguageId(uint32_t languageId) {
    switch (languageId) {
        case kLanguageIdChineseTaiwan:
        case kLanguageIdChineseHongKong:
        case kLanguageIdChineseSingapore:
        case kLanguageIdChineseMacao:
            return kColumnTraditionalChinese;
        case kLanguageIdChinesePrc:
            return kColumnSimplifiedChinese;
        default:
            return kColumnEnglish;
    }
}

uint32_t languageIdFromLocale(std::string_view locale) {
    const std::string_view name = locale.substr(0, locale.find_first_of(kNameEnd));
    const std::size_t languageEnd = name.find_first_of(kSubtagSeparators);
    const std::string_view language = name.substr(0, languageEnd);
    if (equalsIgnoringCase(language, kChinese)) {
        return chineseLanguageId(languageEnd == std::string_view::npos
                                     ? std::string_view{}
                                     : name.substr(languageEnd + 1));
    }
    if (language.empty() || equalsIgnoringCase(language, kEnglish) ||
        equalsIgnoringCase(language, kCLocale) || equalsIgnoringCase(language, kPosixLocale)) {
        return kLanguageIdEnglishUnitedStates;
    }
    return kLanguageIdNeutral;
}

std::string localeNameFromEnvironment(const EnvironmentLookup& lookup) {
    if (const char* list = lookup("LANGUAGE"); list != nullptr) {
        std::string_view entries = list;
        while (!entries.empty()) {
            const std::size_t end = entries.find(kLanguageListSeparator);
            const std::string_view entry = entries.substr(0, end);
            if (!entry.empty()) {
                return std::string(entry);
            }
            entries = end == std::string_view::npos ? std::string_view{} : entries.substr(end + 1);
        }
    }
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = lookup(variable); value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

}  // namespace qv::lang
