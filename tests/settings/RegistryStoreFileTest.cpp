#include <gtest/gtest.h>

#include <string>

#include "settings/RegistryStoreFile.h"

namespace qv::settings {
namespace {

uint32_t valueOf(const RegistryStoreFile& file, const char* name) {
    uint32_t value = 0xDEADBEEF;
    EXPECT_TRUE(file.find(name, value)) << name;
    return value;
}

bool has(const RegistryStoreFile& file, const char* name) {
    uint32_t value = 0;
    return file.find(name, value);
}

TEST(RegistryStoreFile, ReadsValuesAroundDamagedLines) {
    const RegistryStoreFile file = RegistryStoreFile::parse(
        "# comment\n"
        "; another comment\n"
        "\n"
        "IphonePassWord=570293\n"
        "  HighSet = 7  \r\n"
        "NoEquals\n"
        "=5\n"
        "Negative=-1\n"
        "Hex=0x10\n"
        "Empty=\n"
        "TooBig=4294967296\n"
        "Eleven=00000000001\n"
        "Letters=12ab\n"
        "Inner Blank=3\n"
        "Max=4294967295\n"
        "Zero=0");  // no line end at the end of the file
    EXPECT_EQ(valueOf(file, "IphonePassWord"), 570293u);
    EXPECT_EQ(valueOf(file, "HighSet"), 7u);
    EXPECT_EQ(valueOf(file, "Inner Blank"), 3u);
    EXPECT_EQ(valueOf(file, "Max"), 4294967295u);
    EXPECT_EQ(valueOf(file, "Zero"), 0u);
    for (const char* bad :
         {"NoEquals", "Negative", "Hex", "Empty", "TooBig", "Eleven", "Letters"}) {
        EXPECT_FALSE(has(file, bad)) << bad;
    }
    EXPECT_EQ(file.skippedLines(), 8u);
    EXPECT_EQ(file.entries().size(), 5u);
}

TEST(RegistryStoreFile, NamesIgnoreCaseAndTheLaterValueCounts) {
    RegistryStoreFile file = RegistryStoreFile::parse("HighSet=1\nhighset=0\nHIGHSET=5\n");
    ASSERT_EQ(file.entries().size(), 1u);
    EXPECT_EQ(file.entries()[0].first, "HighSet");
    EXPECT_EQ(valueOf(file, "hIgHsEt"), 5u);

    EXPECT_TRUE(file.set("HIGHSET", 2));
    ASSERT_EQ(file.entries().size(), 1u);
    EXPECT_EQ(file.entries()[0].first, "HighSet");  // first spelling kept
    EXPECT_EQ(valueOf(file, "HighSet"), 2u);
}

TEST(RegistryStoreFile, TextValuesSurviveARoundTripBesideTheNumbers) {
    RegistryStoreFile file = RegistryStoreFile::parse(
        "UpdateHost=\"https://a.example\"\n"
        "UpdateHost=7\n"
        "Quoted=\"in\"side\"\n"
        "Open=\"no end\n"
        "Empty=\"\"\n");
    std::string text;
    ASSERT_TRUE(file.findText("updatehost", text));
    EXPECT_EQ(text, "https://a.example");
    EXPECT_EQ(valueOf(file, "UpdateHost"), 7u);  // a number of the same name is another value
    EXPECT_FALSE(file.findText("Quoted", text));
    EXPECT_FALSE(file.findText("Open", text));
    ASSERT_TRUE(file.findText("Empty", text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(file.skippedLines(), 2u);

    EXPECT_FALSE(file.setText("Bad", "line\nbreak"));
    EXPECT_FALSE(file.setText("Bad", std::string(kMaxTextValueBytes + 1, 'x')));
    EXPECT_TRUE(file.setText("Listen", "0.0.0.0"));
    const RegistryStoreFile again = RegistryStoreFile::parse(file.render());
    EXPECT_EQ(again.textEntries(), file.textEntries());
    EXPECT_EQ(again.entries(), file.entries());
}

TEST(RegistryStoreFile, RefusesNamesThatCannotBeWrittenBack) {
    RegistryStoreFile file;
    for (const char* bad :
         {"", "a=b", " lead", "trail ", "#hash", ";semi", "tab\there", "new\nline", "\x7f"}) {
        EXPECT_FALSE(file.set(bad, 1)) << bad;
    }
    EXPECT_FALSE(file.set(std::string(kMaxValueNameBytes + 1, 'x'), 1));
    EXPECT_TRUE(file.set(std::string(kMaxValueNameBytes, 'x'), 1));
    EXPECT_EQ(file.entries().size(), 1u);
}

TEST(RegistryStoreFile, RenderedTextReadsBackTheSameValuesInOrder) {
    RegistryStoreFile file;
    file.set("IphonePassWord", 570293);
    file.set("TemperatureAlarmValue", 0);
    file.set("Max", 4294967295u);
    file.set("Inner Blank", 9);
    const RegistryStoreFile again = RegistryStoreFile::parse(file.render());
    EXPECT_EQ(again.entries(), file.entries());
    EXPECT_EQ(again.skippedLines(), 0u);
    EXPECT_EQ(again.render(), file.render());
}

}  // namespace
}  // namespace qv::settings
