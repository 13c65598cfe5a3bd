#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageId.h"

namespace qv::lang {
namespace {

struct LocaleCase {
    const char* locale;
    uint32_t languageId;
    int column;
};

class LocaleCases : public ::testing::TestWithParam<LocaleCase> {};

// Row 1 differs in all three columns, so it shows which column the object really reads.
constexpr int kRowOverclock = 1;
const char* const kOverclockByColumn[] = {"Overclock", "超频", "超頻"};

TEST_P(LocaleCases, MapsToLanguageIdAndColumn) {
    const LocaleCase& c = GetParam();
    const uint32_t id = languageIdFromLocale(c.locale);
    EXPECT_EQ(id, c.languageId) << c.locale;
    EXPECT_EQ(columnForLanguageId(id), c.column) << c.locale;

    const CMultiLangSupp table(id);
    EXPECT_EQ(table.languageId(), c.languageId);
    EXPECT_EQ(table.column(), c.column);
    EXPECT_STREQ(table.text(kRowOverclock), kOverclockByColumn[c.column]);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LocaleCases,
    ::testing::Values(
        LocaleCase{"zh_TW.UTF-8", kLanguageIdChineseTaiwan, kColumnTraditionalChinese},
        LocaleCase{"zh_TW.Big5", kLanguageIdChineseTaiwan, kColumnTraditionalChinese},
        LocaleCase{"zh_HK", kLanguageIdChineseHongKong, kColumnTraditionalChinese},
        LocaleCase{"zh_HK.Big5-HKSCS", kLanguageIdChineseHongKong, kColumnTraditionalChinese},
        LocaleCase{"zh_SG", kLanguageIdChineseSingapore, kColumnTraditionalChinese},
        LocaleCase{"zh_MO.UTF-8", kLanguageIdChineseMacao, kColumnTraditionalChinese},
        LocaleCase{"zh_CN.GB2312", kLanguageIdChinesePrc, kColumnSimplifiedChinese},
        LocaleCase{"zh_CN.UTF-8@stroke", kLanguageIdChinesePrc, kColumnSimplifiedChinese},
        LocaleCase{"ZH_tw.utf8", kLanguageIdChineseTaiwan, kColumnTraditionalChinese},
        LocaleCase{"zh-TW", kLanguageIdChineseTaiwan, kColumnTraditionalChinese},
        // Chinese without a territory the table knows reads Simplified script.
        LocaleCase{"zh", kLanguageIdChinesePrc, kColumnSimplifiedChinese},
        LocaleCase{"zh.UTF-8", kLanguageIdChinesePrc, kColumnSimplifiedChinese},
        LocaleCase{"zh_US", kLanguageIdChinesePrc, kColumnSimplifiedChinese},
        // Script subtags: Traditional keeps a Traditional territory, Simplified always wins.
        LocaleCase{"zh_Hant", kLanguageIdChineseTaiwan, kColumnTraditionalChinese},
        LocaleCase{"zh-Hant-HK", kLanguageIdChineseHongKong, kColumnTraditionalChinese},
        LocaleCase{"zh_Hant_CN", kLanguageIdChineseTaiwan, kColumnTraditionalChinese},
        LocaleCase{"zh_Hans", kLanguageIdChinesePrc, kColumnSimplifiedChinese},
        LocaleCase{"zh_Hans_SG", kLanguageIdChinesePrc, kColumnSimplifiedChinese},
        LocaleCase{"zh-Hans-HK", kLanguageIdChinesePrc, kColumnSimplifiedChinese},
        LocaleCase{"C", kLanguageIdEnglishUnitedStates, kColumnEnglish},
        LocaleCase{"C.UTF-8", kLanguageIdEnglishUnitedStates, kColumnEnglish},
        LocaleCase{"POSIX", kLanguageIdEnglishUnitedStates, kColumnEnglish},
        LocaleCase{"", kLanguageIdEnglishUnitedStates, kColumnEnglish},
        LocaleCase{"en_US.UTF-8", kLanguageIdEnglishUnitedStates, kColumnEnglish},
        LocaleCase{"en_GB", kLanguageIdEnglishUnitedStates, kColumnEnglish},
        LocaleCase{"de_DE.UTF-8", kLanguageIdNeutral, kColumnEnglish},
        LocaleCase{"ja_JP.eucJP", kLanguageIdNeutral, kColumnEnglish},
        // Languages whose code merely starts like Chinese's.
        LocaleCase{"zha_CN", kLanguageIdNeutral, kColumnEnglish},
        LocaleCase{"z_TW", kLanguageIdNeutral, kColumnEnglish}));

TEST(LanguageId, ColumnRuleTakesOnlyTheFiveChineseIdentifiers) {
    EXPECT_EQ(columnForLanguageId(0x0404), kColumnTraditionalChinese);
    EXPECT_EQ(columnForLanguageId(0x0C04), kColumnTraditionalChinese);
    EXPECT_EQ(columnForLanguageId(0x1004), kColumnTraditionalChinese);
    EXPECT_EQ(columnForLanguageId(0x1404), kColumnTraditionalChinese);
    EXPECT_EQ(columnForLanguageId(0x0804), kColumnSimplifiedChinese);
    // Neutral Chinese and the script-only identifiers are "every other identifier".
    for (uint32_t id :
         {0x0000u, 0x0004u, 0x7C04u, 0x0409u, 0x0407u, 0x0411u, 0x10804u, 0xFFFFFFFFu}) {
        EXPECT_EQ(columnForLanguageId(id), kColumnEnglish) << std::hex << id;
    }
}

struct EnvironmentCase {
    std::map<std::string, std::string> variables;
    const char* expected;
};

class EnvironmentCases : public ::testing::TestWithParam<EnvironmentCase> {};

TEST_P(EnvironmentCases, PicksTheLocaleThatDecidesMessages) {
    const EnvironmentCase& c = GetParam();
    const auto lookup = [&c](const char* name) -> const char* {
        const auto it = c.variables.find(name);
        return it == c.variables.end() ? nullptr : it->second.c_str();
    };
    EXPECT_EQ(localeNameFromEnvironment(lookup), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, EnvironmentCases,
    ::testing::Values(
        EnvironmentCase{{{"LANGUAGE", "zh_TW:zh_CN"}, {"LC_ALL", "en_US"}}, "zh_TW"},
        EnvironmentCase{{{"LANGUAGE", ":zh_SG:en"}, {"LANG", "en_US"}}, "zh_SG"},
        EnvironmentCase{{{"LANGUAGE", ":::"}, {"LANG", "zh_CN.GB2312"}}, "zh_CN.GB2312"},
        EnvironmentCase{{{"LANGUAGE", ""}, {"LC_ALL", "zh_HK"}, {"LANG", "en_US"}}, "zh_HK"},
        EnvironmentCase{{{"LC_ALL", "C"}, {"LC_MESSAGES", "zh_TW"}, {"LANG", "zh_CN"}}, "C"},
        EnvironmentCase{{{"LC_ALL", ""}, {"LC_MESSAGES", "zh_MO"}, {"LANG", "en_US"}}, "zh_MO"},
        EnvironmentCase{{{"LC_MESSAGES", ""}, {"LANG", "zh_CN.UTF-8"}}, "zh_CN.UTF-8"},
        // LC_CTYPE decides the character set, not the language of messages.
        EnvironmentCase{{{"LC_CTYPE", "zh_TW.UTF-8"}}, ""}, EnvironmentCase{{}, ""}));

#ifndef _WIN32
// Sets one environment variable for the life of the object and puts the old value back.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        setenv(name, value, 1);
    }
    ~ScopedEnvironmentVariable() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(LanguageId, DefaultObjectReadsTheSystemLanguage) {
    {
        const ScopedEnvironmentVariable language("LANGUAGE", "zh_HK.UTF-8");
        const CMultiLangSupp table;
        EXPECT_EQ(table.languageId(), kLanguageIdChineseHongKong);
        EXPECT_EQ(table.column(), kColumnTraditionalChinese);
    }
    const ScopedEnvironmentVariable language("LANGUAGE", "zh_CN");
    const CMultiLangSupp table;
    EXPECT_EQ(table.column(), kColumnSimplifiedChinese);
}
#endif

}  // namespace
}  // namespace qv::lang
