#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <string>

#include "settings/CIni.h"
#include "support/SimHarness.h"

namespace qv::test {
namespace {

using settings::CIni;

std::string utf16le(std::u16string_view text, bool byteOrderMark = true) {
    std::string bytes;
    const auto put = [&bytes](char16_t unit) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    };
    if (byteOrderMark) {
        put(CIni::kByteOrderMark);
    }
    for (char16_t unit : text) {
        put(unit);
    }
    return bytes;
}

std::string writeFile(const TempDir& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir.file(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

class CIniFile : public ::testing::Test {
protected:
    // Loads the text through a real file.
    bool load(std::u16string_view text, bool byteOrderMark = true) {
        return ini.Load(writeFile(dir, "test.ini", utf16le(text, byteOrderMark)));
    }
    std::u16string string(std::string_view section, std::string_view key) {
        std::u16string out = u"<missing>";
        ini.GetString(section, key, out);
        return out;
    }
    std::optional<int32_t> integer(std::string_view section, std::string_view key, int radix = 10) {
        int32_t value = 0;
        if (!ini.GetInt(section, key, value, radix)) {
            return std::nullopt;
        }
        return value;
    }

    TempDir dir;
    CIni ini;
};

TEST_F(CIniFile, TheLastLineWithoutALineBreakHasNoValue) {
    ASSERT_TRUE(load(u"[Gpu1]\r\nFanSpeed=40"));
    EXPECT_EQ(integer("Gpu1", "FanSpeed"), std::nullopt);
    EXPECT_EQ(string("Gpu1", "FanSpeed"), u"<missing>");
}

TEST_F(CIniFile, EveryLineEndGivesOneValuePerLine) {
    ASSERT_TRUE(load(u"[Gpu1]\r\nA=1\r\nB=2\r\n[Gpu2]\nA=3\nB=4\n[Gpu3]\rA=5\rB=6\r"));
    EXPECT_EQ(integer("Gpu1", "A"), 1);
    EXPECT_EQ(integer("Gpu1", "B"), 2);
    EXPECT_EQ(integer("Gpu2", "A"), 3);
    EXPECT_EQ(integer("Gpu2", "B"), 4);
    EXPECT_EQ(integer("Gpu3", "A"), 5);
    EXPECT_EQ(integer("Gpu3", "B"), 6);
    EXPECT_EQ(string("Gpu1", "B"), u"2") << "the value ends before the carriage return";
}

TEST_F(CIniFile, NamesAreTrimmedOfSpacesButValuesAreNot) {
    ASSERT_TRUE(load(u"[ Gpu1 ]\r\nkey = 5\r\n\tTabbed=1\r\n"));
    EXPECT_EQ(string("Gpu1", "key"), u" 5");
    EXPECT_EQ(integer("Gpu1", "key"), 5) << "leading white space is skipped";
    EXPECT_EQ(integer("Gpu1", "Tabbed"), std::nullopt) << "tabs are not trimmed";
    EXPECT_EQ(integer("Gpu1", "\tTabbed"), 1);
}

TEST_F(CIniFile, AnEmptyValueConvertsWhatFollowsIt) {
    ASSERT_TRUE(load(u"[Gpu1]\r\nFan=\r\n100Speed=3000\r\nMode=\r\nLetters=7\r\n"));
    EXPECT_EQ(string("Gpu1", "Fan"), u"");
    EXPECT_EQ(integer("Gpu1", "Fan"), 100);
    EXPECT_EQ(integer("Gpu1", "Mode"), 0) << "the next line begins with a letter";
    EXPECT_EQ(integer("Gpu1", "100Speed"), 3000);
}

TEST_F(CIniFile, TheConversionStopsAtTheEndOfTheFile) {
    // The last value is empty and only digits follow it: the conversion takes them and stops
    // where the file ends (the sanitizer build would catch a read past it).
    ASSERT_TRUE(load(u"[a]\r\nk=\r\n  12", false));
    EXPECT_EQ(integer("a", "k"), 12);
    ASSERT_TRUE(load(u"[a]\r\nk=\r\n", false));
    EXPECT_EQ(integer("a", "k"), 0);
}

TEST_F(CIniFile, LookUpsIgnoreCaseAndMatchPrefixes) {
    ASSERT_TRUE(load(u"[GPU1]\r\nFANSPEED=40\r\n[Gpu10]\r\nA=10\r\n[Gpu2]\r\nFanSpeedMax=9\r\n"));
    EXPECT_EQ(integer("Gpu1", "FanSpeed"), 40);
    EXPECT_EQ(integer("gpu1", "fanspeed"), 40);
    EXPECT_EQ(integer("Gpu2", "FanSpeed"), 9) << "a stored name that begins with the request";
    EXPECT_EQ(integer("Gpu2", "FanSpeedMaxX"), std::nullopt);

    ASSERT_TRUE(load(u"[Gpu10]\r\nA=10\r\n[Gpu1]\r\nA=1\r\n"));
    EXPECT_EQ(integer("Gpu1", "A"), 10) << "the first section that begins with Gpu1 answers";
}

TEST_F(CIniFile, CaseSensitiveReaderComparesExactly) {
    CIni exact(true);
    ASSERT_TRUE(exact.Load(writeFile(dir, "exact.ini", utf16le(u"[GPU1]\r\nKey=1\r\n"))));
    int32_t value = 0;
    EXPECT_FALSE(exact.GetInt("Gpu1", "Key", value));
    EXPECT_TRUE(exact.GetInt("GPU1", "Key", value));
    EXPECT_EQ(value, 1);
}

TEST_F(CIniFile, AByteOrderMarkChangesNothing) {
    const std::u16string text = u"[Gpu1]\r\nId=0e22\r\nFanWorkMode=2\r\n";
    for (bool mark : {true, false}) {
        SCOPED_TRACE(mark ? "with mark" : "without mark");
        ASSERT_TRUE(load(text, mark));
        EXPECT_EQ(ini.length(), text.size() + (mark ? 1 : 0));
        EXPECT_EQ(string("Gpu1", "Id"), u"0e22");
        EXPECT_EQ(integer("Gpu1", "FanWorkMode"), 2);
    }
}

TEST_F(CIniFile, AFileSavedAsUtf8ByATextEditorReadsTheSame) {
    // LF line ends, with and without the UTF-8 mark, a non-ASCII value beside.
    for (const std::string& mark : {std::string(), std::string("\xEF\xBB\xBF")}) {
        SCOPED_TRACE(mark.empty() ? "without mark" : "with mark");
        const std::string bytes =
            mark + "[Gpu1]\nId=0e22\nName=Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC\xF0\x9F\x98\x80\nFanWorkMode=2\n";
        ASSERT_TRUE(ini.Load(writeFile(dir, "utf8.ini", bytes)));
        EXPECT_EQ(string("Gpu1", "Id"), u"0e22");
        EXPECT_EQ(string("Gpu1", "Name"), u"Gr\u00FC\u00DF\u20AC\U0001F600");
        EXPECT_EQ(integer("Gpu1", "FanWorkMode"), 2);
    }
}

TEST_F(CIniFile, MalformedUtf8ReadsAsReplacementCharacters) {
    // A lone continuation byte, a cut-off sequence at the end, an overlong form, a surrogate.
    const std::string bytes = "[A]\nk=\x80x\xC0\xAFy\xED\xA0\x80z\nl=1\nm=\xE2\x82";
    ASSERT_TRUE(ini.LoadFromBytes(bytes));
    EXPECT_EQ(string("A", "k"), u"\uFFFDx\uFFFD\uFFFDy\uFFFD\uFFFD\uFFFDz");
    EXPECT_EQ(integer("A", "l"), 1);
}

TEST_F(CIniFile, MalformedLinesAreDroppedWithoutFailingTheParse) {
    ASSERT_TRUE(
        load(u"Orphan=1\r\n"  // a key before any section
             u"[Broken\r\n"   // no closing bracket
             u"[Gpu1]\r\n"
             u"NoEquals\r\n"    // a key name without a value
             u"Text=[a]=b\r\n"  // brackets and '=' inside a value
             u"Mark=1\xFEFF"
             u"2\r\n"  // a mark inside a line is skipped
             u"Last=3\r\n"));
    EXPECT_EQ(integer("Gpu1", "Orphan"), std::nullopt);
    EXPECT_EQ(integer("Broken", "Text"), std::nullopt);
    EXPECT_EQ(integer("Gpu1", "NoEquals"), std::nullopt);
    EXPECT_EQ(string("Gpu1", "Text"), u"[a]=b");
    EXPECT_EQ(integer("Gpu1", "Last"), 3);
    // The mark stays in the value's range; the conversion stops at it.
    EXPECT_EQ(string("Gpu1", "Mark"),
              u"1\xFEFF"
              u"2");
    EXPECT_EQ(integer("Gpu1", "Mark"), 1);
}

TEST_F(CIniFile, GetStringIsBoundedByTheCallersBuffer) {
    ASSERT_TRUE(load(u"[Gpu1]\r\nId=0123456789\r\n"));
    char16_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    ASSERT_TRUE(ini.GetString("Gpu1", "Id", buffer, 5));
    EXPECT_EQ(std::u16string(buffer), u"0123");
    EXPECT_EQ(buffer[5], u'#') << "nothing written past the capacity";
    EXPECT_FALSE(ini.GetString("Gpu1", "Id", buffer, 0));
    EXPECT_FALSE(ini.GetString("Gpu1", "Missing", buffer, 8));
}

TEST_F(CIniFile, LoadFailsCleanlyAndCloseReleasesEverything) {
    EXPECT_FALSE(ini.Load(dir.file("absent.ini")));
    EXPECT_FALSE(ini.loaded());
    EXPECT_FALSE(ini.Load(dir.path())) << "a folder is not a file";

    ASSERT_TRUE(load(u"[Gpu1]\r\nA=1\r\n"));
    EXPECT_TRUE(ini.loaded());
    EXPECT_TRUE(ini.Close());
    EXPECT_FALSE(ini.loaded());
    EXPECT_EQ(ini.length(), 0u);
    EXPECT_EQ(integer("Gpu1", "A"), std::nullopt);

    // A failed load leaves nothing of the file loaded before.
    ASSERT_TRUE(load(u"[Gpu1]\r\nA=1\r\n"));
    EXPECT_FALSE(ini.Load(dir.file("absent.ini")));
    EXPECT_EQ(integer("Gpu1", "A"), std::nullopt);
}

TEST_F(CIniFile, AnOddLastByteIsDropped) {
    std::string bytes = utf16le(u"[Gpu1]\r\nA=1\r\n");
    bytes.push_back('x');
    ASSERT_TRUE(ini.Load(writeFile(dir, "odd.ini", bytes)));
    EXPECT_EQ(ini.length(), 14u);
    EXPECT_EQ(integer("Gpu1", "A"), 1);
}

TEST_F(CIniFile, RadixOutsideTheStandardRangeIsRefused) {
    ASSERT_TRUE(load(u"[Gpu1]\r\nA=0x1A\r\n"));
    EXPECT_EQ(integer("Gpu1", "A", 16), 26);
    EXPECT_EQ(integer("Gpu1", "A", 0), 26);
    EXPECT_EQ(integer("Gpu1", "A", 10), 0);
    EXPECT_EQ(integer("Gpu1", "A", 1), std::nullopt);
    EXPECT_EQ(integer("Gpu1", "A", 37), std::nullopt);
}

struct ConversionCase {
    const char16_t* text;
    int radix;
    int32_t expected;
};

class CIniConversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(CIniConversion, MatchesTheStandardConversion) {
    const ConversionCase& c = GetParam();
    EXPECT_EQ(CIni::convertLong(c.text, c.radix), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CIniConversion,
    ::testing::Values(ConversionCase{u"-5", 10, -5}, ConversionCase{u"+7", 10, 7},
                      ConversionCase{u" \t\r\n\v\f42", 10, 42}, ConversionCase{u"12abc", 10, 12},
                      ConversionCase{u"- 5", 10, 0}, ConversionCase{u"2147483648", 10, INT32_MAX},
                      ConversionCase{u"-2147483648", 10, INT32_MIN},
                      ConversionCase{u"-99999999999999999999", 10, INT32_MIN},
                      ConversionCase{u"0x", 16, 0}, ConversionCase{u"017", 0, 15},
                      ConversionCase{u"0X1f", 0, 31}, ConversionCase{u"z", 36, 35}));

}  // namespace
}  // namespace qv::test
