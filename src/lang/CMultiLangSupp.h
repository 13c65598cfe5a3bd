// The language support object: the language table in the user's language.
//
// The column (English, Simplified Chinese, Traditional Chinese) is chosen once, when the object is
// constructed, and never changes afterwards; texts are UTF-8.
#pragma once

#include <cstdint>

#include "lang/LanguageTexts.h"

namespace qv::lang {

// Rows that much of the program names.

class CMultiLangSupp {
public:
    // Uses the system's default language, and sets the C library's character-type locale to the
    // system's the first time a system-language object is made in this process.
    CMultiLangSupp();
    // Uses the given language identifier (a Windows LANGID) and leaves process state alone.
    explicit CMultiLangSupp(uint32_t languageId);

    // The row's text in the chosen column. Never null: rows 119-123 and any row outside 0-257
    // yield "".
    const char* text(int row) const;

    int column() const { return column_; }
    uint32_t languageId() const { return languageId_; }

private:
    uint32_t languageId_;
    int column_;
};

// The program's one language support object, made from the system language on first use.
CMultiLangSupp& languageTable();

}  // namespace qv::lang
