// Raw access to the language table: 258 numbered rows in three columns, UTF-8.
// Most code wants CMultiLangSupp, which picks the column for the user once.
#pragma once

namespace qv::lang {

inline constexpr int kLanguageRowCount = 258;
inline constexpr int kLanguageColumnCount = 3;

inline constexpr int kColumnEnglish = 0;
inline constexpr int kColumnSimplifiedChinese = 1;
inline constexpr int kColumnTraditionalChinese = 2;

// The text at (row, column). Never null: a row or column outside the table yields "", the same
// as an unused row, so a caller that formats or shows the result cannot crash on it.
const char* languageText(int row, int column);

}  // namespace qv::lang
