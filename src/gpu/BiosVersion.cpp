#include "gpu/BiosVersion.h"

#include <array>
#include <cstring>
#include <string_view>

namespace qv::gpu {

namespace {

constexpr std::array<std::string_view, 15> kMarkers = {
    "VGA BIOS V",  "VGA BIOS TA", "VGA BIOS TB", "VGA BIOS TC", "VGA BIOS DA",
    "VGA BIOS DB", "VGA BIOS QA", "VGA BIOS QB", "VGA BIOS QC", "VGA BIOS QD",
    "VGA BIOS PA", "VGA BIOS PB", "VGA BIOS PC", "VGA BIOS PD", "VGA BIOS PE"};
constexpr std::string_view kMarkerTA = "VGA BIOS TA";
constexpr std::string_view kMarkerTB = "VGA BIOS TB";
constexpr size_t kVersionChars = 4;
// The search stops this many bytes before the end so that the version and its suffix fit.
constexpr size_t kTailReserve = 8;
// Where the "-F" suffix sits after a lone "V".
constexpr size_t kLoneSuffixOffset = 5;
constexpr size_t kLoneTailReserve = 7;

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

bool hasSuffixAt(const uint8_t* image, size_t length, size_t at) {
    return at + 1 < length && image[at] == '-' && image[at + 1] == 'F';
}

}  // namespace

int parseBiosVersion(const uint8_t* image, size_t length, std::string& version,
                     FanControllerKind& fanKind) {
    if (image == nullptr) {
        return 0;
    }
    for (const std::string_view marker : kMarkers) {
        // Guard the bound so a short image cannot wrap it around.
        if (length < marker.size() + kTailReserve) {
            continue;
        }
        const size_t end = length - marker.size() - kTailReserve;
        for (size_t pos = 0; pos < end; ++pos) {
            if (std::memcmp(image + pos, marker.data(), marker.size()) != 0) {
                continue;
            }
            const size_t markerEnd = pos + marker.size();
            size_t skip = 0;
            if (marker == kMarkerTA && !isDigit(image[markerEnd])) {
                skip = 1;
            } else if (marker == kMarkerTB) {
                skip = 1;
            }
            version.assign(reinterpret_cast<const char*>(image + markerEnd + skip),
                           kVersionChars);
            if (fanKind != kFanSlot0Chip && hasSuffixAt(image, length, markerEnd + kVersionChars)) {
                fanKind = kFanSlot1Chip;
            }
            return 1;
        }
    }
    if (fanKind == kFanSlot0Chip || length < kLoneTailReserve) {
        return 0;
    }
    for (size_t pos = 0; pos < length - kLoneTailReserve; ++pos) {
        if (image[pos] == 'V' && hasSuffixAt(image, length, pos + kLoneSuffixOffset)) {
            fanKind = kFanSlot1Chip;
            return 1;
        }
    }
    return 0;
}

}  // namespace qv::gpu
