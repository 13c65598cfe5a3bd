#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageId.h"
#include "lang/LanguageRows.h"
#include "lang/LanguageTexts.h"

namespace qv::lang {
namespace {

constexpr int kFirstUnusedRow = 119;
constexpr int kLastUnusedRow = 123;
constexpr int kLastRow = kLanguageRowCount - 1;

const uint32_t kIdForColumn[kLanguageColumnCount] = {
    kLanguageIdEnglishUnitedStates, kLanguageIdChinesePrc, kLanguageIdChineseTaiwan};

bool isUnusedRow(int row) {
    return row >= kFirstUnusedRow && row <= kLastUnusedRow;
}

// The printf conversions of a text, in order. "%%" counts as a token of its own, and a '%' that
// starts no conversion (as in "Fan Speed (%)") counts as a bare "%". A space after '%' is read as
// prose ("130% of"), not as the space flag, because texts use '%' as a percent sign.
std::vector<std::string> conversions(std::string_view text) {
    constexpr std::string_view kFlags = "-+#0";
    constexpr std::string_view kLengths = "hlLqjzt";
    constexpr std::string_view kConversions = "diouxXeEfFgGaAcspn";
    std::vector<std::string> found;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            found.emplace_back("%%");
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        const auto skip = [&](auto accepts) {
            while (j < text.size() && accepts(text[j])) {
                ++j;
            }
        };
        const auto isDigit = [](char ch) { return ch >= '0' && ch <= '9'; };
        skip([&](char ch) { return kFlags.find(ch) != std::string_view::npos; });
        skip([&](char ch) { return isDigit(ch) || ch == '*'; });
        if (j < text.size() && text[j] == '.') {
            ++j;
            skip([&](char ch) { return isDigit(ch) || ch == '*'; });
        }
        skip([&](char ch) { return kLengths.find(ch) != std::string_view::npos; });
        if (j < text.size() && kConversions.find(text[j]) != std::string_view::npos) {
            found.emplace_back(text.substr(i, j - i + 1));
            i = j;
        } else {
            found.emplace_back("%");
        }
    }
    return found;
}

std::string_view leadingSpace(std::string_view text) {
    return text.substr(0, std::min(text.find_first_not_of(" \r\n"), text.size()));
}

std::string_view trailingSpace(std::string_view text) {
    const std::size_t last = text.find_last_not_of(" \r\n");
    return last == std::string_view::npos ? text : text.substr(last + 1);
}

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

TEST(LanguageTable, ConversionReaderFindsWhatTheChecksRelyOn) {
    EXPECT_EQ(conversions("GPU %d at %4.2f V, %0x %s 100%% of %lu"),
              (std::vector<std::string>{"%d", "%4.2f", "%0x", "%s", "%%", "%lu"}));
    EXPECT_EQ(conversions("Fan Speed (%) about 130% of"), (std::vector<std::string>{"%", "%"}));
    EXPECT_EQ(conversions("after %ds."), (std::vector<std::string>{"%d"}));
}

TEST(LanguageTable, RowsOutsideTheTableYieldAnEmptyText) {
    for (int column = 0; column < kLanguageColumnCount; ++column) {
        const CMultiLangSupp table(kIdForColumn[column]);
        for (int row : {-1, kLanguageRowCount, INT_MIN, INT_MAX}) {
            const char* text = table.text(row);
            ASSERT_NE(text, nullptr) << "row " << row << " column " << column;
            EXPECT_STREQ(text, "") << "row " << row << " column " << column;
        }
        EXPECT_STRNE(table.text(0), "");
        EXPECT_STRNE(table.text(kLastRow), "");
    }
    EXPECT_STREQ(languageText(0, -1), "");
    EXPECT_STREQ(languageText(0, kLanguageColumnCount), "");
}

TEST(LanguageTable, FirstAndLastRowsInEveryColumn) {
    const char* const hotKey[kLanguageColumnCount] = {"Hot Key", "热键", "熱鍵"};
    for (int column = 0; column < kLanguageColumnCount; ++column) {
        const CMultiLangSupp table(kIdForColumn[column]);
        EXPECT_STREQ(table.text(lang::kTextAppName), "Quorvel K") << "column " << column;
        EXPECT_STREQ(table.text(kLastRow), hotKey[column]) << "column " << column;
    }
}

TEST(LanguageTable, OnlyRows119To123AreEmptyInEveryColumn) {
    for (int row = 0; row < kLanguageRowCount; ++row) {
        for (int column = 0; column < kLanguageColumnCount; ++column) {
            const char* text = languageText(row, column);
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(std::strlen(text) == 0, isUnusedRow(row))
                << "row " << row << " column " << column << ": \"" << text << "\"";
        }
    }
}

// The Chinese texts replace the English ones wherever they are formatted and laid out, so each
// must carry the same conversions (a missing or reordered one reads the wrong argument), the same
// line breaks, the same menu ampersands and the same space at either end.
TEST(LanguageTable, TranslationsKeepFormattingAndLayout) {
    for (int row = 0; row < kLanguageRowCount; ++row) {
        const std::string_view english = languageText(row, kColumnEnglish);
        for (int column : {kColumnSimplifiedChinese, kColumnTraditionalChinese}) {
            const std::string_view text = languageText(row, column);
            SCOPED_TRACE("row " + std::to_string(row) + " column " + std::to_string(column) +
                         ": \"" + std::string(text) + "\"");
            EXPECT_EQ(conversions(text), conversions(english));
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
                      std::count(english.begin(), english.end(), '\n'));
            EXPECT_EQ(std::count(text.begin(), text.end(), '\r'),
                      std::count(english.begin(), english.end(), '\r'));
            EXPECT_EQ(std::count(text.begin(), text.end(), '&'),
                      std::count(english.begin(), english.end(), '&'));
            EXPECT_EQ(leadingSpace(text), leadingSpace(english));
            EXPECT_EQ(trailingSpace(text), trailingSpace(english));
        }
    }
}

TEST(LanguageTable, EveryTextIsUtf8) {
    for (int row = 0; row < kLanguageRowCount; ++row) {
        for (int column = 0; column < kLanguageColumnCount; ++column) {
            EXPECT_TRUE(isValidUtf8(languageText(row, column)))
                << "row " << row << " column " << column;
        }
    }
}

// Copying a text into the wrong Chinese column is an easy slip; these characters exist in only
// one of the two scripts and are common in this table.
TEST(LanguageTable, ChineseColumnsUseTheirOwnScript) {
    const std::vector<std::string_view> simplifiedOnly = {"设", "频", "显", "动", "驱", "关", "开",
                                                          "时", "请", "这", "为", "个", "载", "网"};
    const std::vector<std::string_view> traditionalOnly = {
        "設", "頻", "顯", "動", "驅", "關", "開", "時", "請", "這", "為", "個", "載", "網"};
    for (int row = 0; row < kLanguageRowCount; ++row) {
        const std::string_view simplified = languageText(row, kColumnSimplifiedChinese);
        const std::string_view traditional = languageText(row, kColumnTraditionalChinese);
        for (std::string_view glyph : traditionalOnly) {
            EXPECT_EQ(simplified.find(glyph), std::string_view::npos)
                << "row " << row << " " << glyph;
        }
        for (std::string_view glyph : simplifiedOnly) {
            EXPECT_EQ(traditional.find(glyph), std::string_view::npos)
                << "row " << row << " " << glyph;
        }
    }
}

TEST(LanguageTable, EnglishTextsAreKeptExactly) {
    const CMultiLangSupp english(kLanguageIdEnglishUnitedStates);
    EXPECT_STREQ(english.text(2),
                 "Initiate hardware failed!\nPlease confirm NVidia driver has been installed "
                 "correctly!");
    EXPECT_STREQ(english.text(5), "GPU %d temperature is too high!!!\n");
    EXPECT_STREQ(english.text(27), " 3.3v Voltage");
    EXPECT_STREQ(english.text(53), "Sorry! Quorvel 2.0.1.6HD does not support current OS!");
    EXPECT_STREQ(english.text(60),
                 "The changes may cause system unsteadily or hardware failure.\nOperator will "
                 "take the consequences of the changes.\nDo you continue?");
    EXPECT_STREQ(english.text(87), "Driver&&BIOS Update");
    EXPECT_STREQ(english.text(95),
                 "Applying hardware settings  of GPU %d, please do not close the Quorvel!");
    EXPECT_STREQ(english.text(118), "System will shutdown in %d seconds!!!");
    EXPECT_STREQ(english.text(124), "Change Password");
    EXPECT_STREQ(english.text(180),
                 "TEMP.(\xC2\xB0"
                 "C)");
    EXPECT_STREQ(english.text(206),
                 "If you want to learn about the latest product releases\n dynamic, please pay "
                 "attention:");
    EXPECT_STREQ(english.text(218), "Current Channels:  ");
}

}  // namespace
}  // namespace qv::lang
