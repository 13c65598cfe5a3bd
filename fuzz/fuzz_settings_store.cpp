// Feeds arbitrary bytes to the settings file parser and to the autostart entry reader. Beside
// memory safety it checks what the store relies on: every value read back has a name that can
// be written, the rendered file reads back to exactly the same values with nothing skipped, and
// rendering is stable; an Exec value read from an autostart file holds no line end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/AutostartEntry.h"
#include "settings/RegistryStoreFile.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const qv::settings::RegistryStoreFile file = qv::settings::RegistryStoreFile::parse(text);
    for (const auto& entry : file.entries()) {
        check(qv::settings::RegistryStoreFile::validName(entry.first));
        uint32_t value = 0;
        check(file.find(entry.first, value) && value == entry.second);
    }
    const std::string rendered = file.render();
    const qv::settings::RegistryStoreFile again = qv::settings::RegistryStoreFile::parse(rendered);
    check(again.entries() == file.entries());
    check(again.skippedLines() == 0);
    check(again.render() == rendered);

    std::string exec;
    if (qv::settings::readAutostartExec(text, exec)) {
        check(exec.find('\n') == std::string::npos);
    }
    return 0;
}
