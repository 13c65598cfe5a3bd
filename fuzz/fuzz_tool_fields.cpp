// Feeds arbitrary text to the parsers of what a person types into the password dialog and the
// display tool's debug row. Beside memory safety it checks what they promise: a new password
// is taken only when the text is all digits and its number reads back as the text without its
// leading zeros; parsed data bytes are never more than the words of the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "settings/PasswordChange.h"
#include "tools/DisplayTimingTool.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

size_t wordCount(const std::string& text) {
    std::istringstream words(text);
    std::string word;
    size_t count = 0;
    while (words >> word) {
        ++count;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    uint32_t value = 0xDEADBEEF;
    if (qv::settings::parseNewPassword(text, value)) {
        check(!text.empty() && text.find_first_not_of("0123456789") == std::string::npos);
        const size_t first = text.find_first_not_of('0');
        const std::string digits = first == std::string::npos ? "0" : text.substr(first);
        check(std::to_string(value) == digits);
    } else {
        check(value == 0xDEADBEEF);
    }

    check(qv::tools::parseHexBytes(text).size() <= wordCount(text));
    return 0;
}
