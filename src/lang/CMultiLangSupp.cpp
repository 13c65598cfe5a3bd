#include "lang/CMultiLangSupp.h"

#include "lang/LanguageId.h"
#include "lang/SystemLanguage.h"

namespace qv::lang {

namespace {

// setlocale changes process-wide state and is not safe to race with itself, so it runs once,
// under the guarantee of a function-local static.
void applySystemCharacterLocaleOnce() {
    static const bool applied = applySystemCharacterLocale();
    // When the system locale is missing the C library keeps its current one; texts are UTF-8
    // either way, so there is nothing more to do.
    static_cast<void>(applied);
}

}  // namespace

CMultiLangSupp::CMultiLangSupp() : CMultiLangSupp(systemLanguageId()) {
    applySystemCharacterLocaleOnce();
}

CMultiLangSupp::CMultiLangSupp(uint32_t languageId)
    : languageId_(languageId), column_(columnForLanguageId(languageId)) {}

const char* CMultiLangSupp::text(int row) const {
    return languageText(row, column_);
}

CMultiLangSupp& languageTable() {
    static CMultiLangSupp table;
    return table;
}

}  // namespace qv::lang
