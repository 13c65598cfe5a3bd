#include <gtest/gtest.h>

#include "platform/Text.h"

namespace qv::platform {
namespace {

TEST(Text, TrimsOnlyTheCharactersAskedFor) {
    EXPECT_EQ(trim(" \t Name = 1 \t"), "Name = 1");
    EXPECT_EQ(trim(" \t "), "");
    EXPECT_EQ(trim(""), "");
    EXPECT_EQ(trimLeft("  x  "), "x  ");
    EXPECT_EQ(trimRight("  x  "), "  x");
    // A carriage return is no blank unless the caller says so.
    EXPECT_EQ(trim(" x\r"), "x\r");
    EXPECT_EQ(trimRight("x \r \r", " \t\r"), "x");
}

TEST(Text, ComparesAsciiNamesWithoutCaseAndWithoutTheLocale) {
    EXPECT_TRUE(equalsIgnoringCase("SysTray", "systray"));
    EXPECT_TRUE(equalsIgnoringCase("", ""));
    EXPECT_FALSE(equalsIgnoringCase("SysTray", "systra"));
    EXPECT_FALSE(equalsIgnoringCase("a[", "A{"));  // '[' and '{' are not one letter's two cases
    // Bytes outside ASCII compare as they are.
    EXPECT_FALSE(equalsIgnoringCase("\xC4", "\xE4"));
    EXPECT_TRUE(equalsIgnoringCase("\xC4x", "\xC4X"));
}

}  // namespace
}  // namespace qv::platform
