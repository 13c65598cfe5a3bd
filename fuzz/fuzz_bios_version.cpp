// Feeds arbitrary bytes to the BIOS version parser as a video BIOS image. Beside memory safety
// (any length, including empty and shorter than a marker) it checks what the parser promises:
// a found version is exactly four characters, a miss leaves the version alone, and the fan kind
// only ever becomes the slot-1 fan chip, never when the slot-0 chip drives the fan.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "gpu/BiosVersion.h"

namespace {

constexpr size_t kVersionChars = 4;
constexpr const char* kUntouched = "untouched";

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void parseWith(const uint8_t* image, size_t size, qv::gpu::FanControllerKind startKind) {
    std::string version = kUntouched;
    qv::gpu::FanControllerKind kind = startKind;
    const int found = qv::gpu::parseBiosVersion(image, size, version, kind);
    check(found == 0 || found == 1);
    check(version == kUntouched || (found == 1 && version.size() == kVersionChars));
    check(kind == startKind || (kind == qv::gpu::kFanSlot1Chip && found == 1));
    check(startKind != qv::gpu::kFanSlot0Chip || kind == qv::gpu::kFanSlot0Chip);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that a read one past the end is caught even when the caller's
    // buffer is larger; an empty image is passed as a valid pointer with length 0.
    auto image = std::make_unique<uint8_t[]>(size);
    for (size_t i = 0; i < size; ++i) {
        image[i] = data[i];
    }
    parseWith(image.get(), size, qv::gpu::kFanDriverCooler);
    parseWith(image.get(), size, qv::gpu::kFanSlot0Chip);
    parseWith(image.get(), size, qv::gpu::kFanDriverCoolerPaused);
    return 0;
}
