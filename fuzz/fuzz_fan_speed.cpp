// Feeds arbitrary bytes to the fan speed reference reader as the contents of FanSpeed.ini, for
// three GPUs. Beside memory safety it checks what the reader promises: a reference is taken only
// for a GPU whose section matched, and a file the writer made reads back to its own speed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fan/FanSpeedReference.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> ids = {"0e22", "1180", "05e2"};
    qv::fan::FanSpeedReferences references{};
    const bool taken = qv::fan::readFanSpeedReferencesFromBytes(bytes, ids, references);
    if (!taken) {
        check(references == qv::fan::FanSpeedReferences{});
    }
    // The first bytes as a speed: what the writer makes, the reader gives back.
    uint32_t rpm = 0;
    for (size_t i = 0; i < size && i < sizeof rpm; ++i) {
        rpm = (rpm << 8) | data[i];
    }
    const std::string written = qv::fan::fanSpeedReferenceFile(ids, rpm);
    qv::fan::FanSpeedReferences again{};
    check(qv::fan::readFanSpeedReferencesFromBytes(written, ids, again));
    check(again == (qv::fan::FanSpeedReferences{rpm, rpm, rpm}));
    return 0;
}
