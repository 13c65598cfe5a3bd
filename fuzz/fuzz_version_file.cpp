// Feeds arbitrary bytes to the version file reader and the change-list split as the update
// server's answer. Beside memory safety it checks what the reader promises: the address and the
// change list never exceed their sizes, a file over the cap reads as nothing, and every change
// item is text between two bars.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "online/VersionFile.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const qv::online::VersionFile file = qv::online::parseVersionFile(bytes);
    // UTF-8 takes at most 3 bytes per UTF-16 unit.
    check(file.url.size() <= qv::online::kMaxVersionUrlUnits * 3);
    check(file.info.size() <= qv::online::kMaxVersionInfoUnits * 3);
    if (size > qv::online::kMaxVersionFileBytes) {
        check(file.version == qv::online::kMissingVersion && file.url.empty() && file.info.empty());
    }
    size_t itemBytes = 0;
    for (const std::string& item : qv::online::splitInfoItems(file.info)) {
        check(item.find(qv::online::kInfoSeparator) == std::string::npos);
        itemBytes += item.size() + 1;
    }
    check(itemBytes <= file.info.size());
    // The split on the raw input too, where no size cap applies.
    for (const std::string& item : qv::online::splitInfoItems(bytes)) {
        check(item.find(qv::online::kInfoSeparator) == std::string::npos);
    }
    return 0;
}
