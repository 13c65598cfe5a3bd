// Feeds arbitrary bytes to the news file reader as a downloaded News.xml. Beside memory safety it
// checks what the reader promises: a file it refuses leaves the news record as it was, a file it
// takes has every field within its size and cut on a character boundary.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "online/NewsFile.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// UTF-16 units of UTF-8 text; false when it ends inside a character.
bool unitsOf(const std::string& text, size_t& units) {
    units = 0;
    size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const size_t bytes = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        units += bytes == 4 ? 2 : 1;
        at += bytes;
    }
    return at == text.size();
}

void checkField(const std::string& text, size_t fieldUnits) {
    size_t units = 0;
    check(unitsOf(text, units));
    check(units < fieldUnits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    qv::online::NewsRecord record;
    record.items[2].title = "kept";
    const qv::online::NewsRecord before = record;
    const int status = qv::online::parseNewsFile(bytes, record);
    if (status != qv::online::kNewsFileOk) {
        check(record == before);
        return 0;
    }
    for (const qv::online::NewsItem& item : record.items) {
        checkField(item.title, qv::online::kNewsTitleUnits);
        checkField(item.content, qv::online::kNewsContentUnits);
        checkField(item.url, qv::online::kNewsUrlUnits);
        checkField(item.time, qv::online::kNewsTimeUnits);
    }
    return 0;
}
