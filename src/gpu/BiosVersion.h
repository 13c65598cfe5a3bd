// Finds the version text in a video BIOS image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "gpu/GpuRecord.h"

namespace qv::gpu {

// Searches `image` for the known version markers ("VGA BIOS V", "VGA BIOS TA", ...), takes the
// four version characters after the marker into `version`, and sets `fanKind` to the slot-1 fan
// chip when the version carries the "-F" suffix (unless the slot-0 chip drives the fan).
// Returns 1 when a version (or the suffix alone) was found, else 0. Short or empty images
// simply find nothing.
int parseBiosVersion(const uint8_t* image, size_t length, std::string& version,
                     FanControllerKind& fanKind);

}  // namespace qv::gpu
