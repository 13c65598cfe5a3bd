#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gpu/BiosVersion.h"

namespace qv::gpu {
namespace {

// A ROM-like image: filler, the text at `at`, more filler so the search bound is not in the way.
std::vector<uint8_t> image(const std::string& text, size_t at = 100, size_t size = 1600) {
    std::vector<uint8_t> bytes(size, 0xAA);
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<long>(at));
    return bytes;
}

struct Case {
    const char* name;
    std::string text;
    FanControllerKind kindBefore;
    int result;
    std::string version;
    FanControllerKind kindAfter;
};

class BiosVersionCases : public ::testing::TestWithParam<Case> {};

TEST_P(BiosVersionCases, FindsVersionAndSuffix) {
    const Case& c = GetParam();
    const auto bytes = image(c.text);
    std::string version;
    FanControllerKind kind = c.kindBefore;
    EXPECT_EQ(parseBiosVersion(bytes.data(), bytes.size(), version, kind), c.result);
    EXPECT_EQ(version, c.version);
    EXPECT_EQ(kind, c.kindAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, BiosVersionCases,
    ::testing::Values(
        Case{"PlainV", "VGA BIOS V70.04", kFanDriverCooler, 1, "70.0", kFanDriverCooler},
        Case{"PlainVWithSuffix", "VGA BIOS V8012-F", kFanDriverCoolerPaused, 1, "8012",
             kFanSlot1Chip},
        Case{"SuffixIgnoredForSlot0Chip", "VGA BIOS V8012-F", kFanSlot0Chip, 1, "8012",
             kFanSlot0Chip},
        Case{"TAWithDigitIsNotSkipped", "VGA BIOS TA1234", kFanDriverCooler, 1, "1234",
             kFanDriverCooler},
        Case{"TAWithNonDigitIsSkipped", "VGA BIOS TA.1234", kFanDriverCooler, 1, "1234",
             kFanDriverCooler},
        Case{"TBAlwaysSkipsOne", "VGA BIOS TB51234", kFanDriverCooler, 1, "1234",
             kFanDriverCooler},
        // The suffix is looked for right after the marker's four characters, skip or not.
        Case{"TBSuffixCountsFromMarkerEnd", "VGA BIOS TBx123-F", kFanDriverCooler, 1, "123-",
             kFanSlot1Chip},
        Case{"LaterMarker", "VGA BIOS PE2.01", kFanDriverCooler, 1, "2.01", kFanDriverCooler},
        Case{"LoneVWithSuffix", "junk V1234-F junk", kFanDriverCooler, 1, "", kFanSlot1Chip},
        Case{"LoneVIgnoredForSlot0Chip", "junk V1234-F junk", kFanSlot0Chip, 0, "",
             kFanSlot0Chip},
        Case{"NothingFound", "no version here", kFanDriverCooler, 0, "", kFanDriverCooler}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(BiosVersion, MarkersAreTriedInOrderNotByPosition) {
    // "VGA BIOS V" comes first in the list even though "TA" sits earlier in the image.
    auto bytes = image("VGA BIOS TA9999", 10);
    const std::string later = "VGA BIOS V1111";
    std::copy(later.begin(), later.end(), bytes.begin() + 500);
    std::string version;
    FanControllerKind kind = kFanDriverCooler;
    ASSERT_EQ(parseBiosVersion(bytes.data(), bytes.size(), version, kind), 1);
    EXPECT_EQ(version, "1111");
}

TEST(BiosVersion, MarkerTooCloseToTheEndIsNotTaken) {
    // The search stops 8 bytes before the end: a marker there is out of reach.
    const std::string text = "VGA BIOS V1234";
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.resize(10 + 8, ' ');  // marker plus reserve: position 0 is not below the bound
    std::string version;
    FanControllerKind kind = kFanDriverCooler;
    EXPECT_EQ(parseBiosVersion(bytes.data(), bytes.size(), version, kind), 0);
    bytes.push_back(' ');
    EXPECT_EQ(parseBiosVersion(bytes.data(), bytes.size(), version, kind), 1);
    EXPECT_EQ(version, "1234");
}

TEST(BiosVersion, ShortAndEmptyImagesFindNothing) {
    std::string version;
    FanControllerKind kind = kFanDriverCooler;
    EXPECT_EQ(parseBiosVersion(nullptr, 0, version, kind), 0);
    const std::string text = "VGA BIOS V12-F";
    for (size_t length = 0; length <= 18; ++length) {
        std::vector<uint8_t> bytes(text.begin(), text.end());
        bytes.resize(length, 0);
        EXPECT_NO_FATAL_FAILURE(parseBiosVersion(bytes.data(), bytes.size(), version, kind));
    }
    EXPECT_EQ(parseBiosVersion(reinterpret_cast<const uint8_t*>("V"), 1, version, kind), 0);
    EXPECT_EQ(kind, kFanDriverCooler);
}

}  // namespace
}  // namespace qv::gpu
