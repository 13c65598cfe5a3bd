// qvctl's JSON answers: valid JSON, the same facts and readings as the text blocks, typed
// values and null where the text says n/a, and names from the driver escaped safely.
#include <gtest/gtest.h>

#include <sstream>

#include "JsonWriter.h"
#include "cli/CliFixture.h"
#include "cli/JsonValue.h"
#include "support/SimHarness.h"

namespace qv::test {
namespace {

using Type = JsonValue::Type;

JsonValue parsedJson(const std::string& text) {
    JsonValue value;
    EXPECT_TRUE(JsonReader::parse(text, value)) << "not valid JSON:\n" << text;
    return value;
}

// The number in front of " unit" in a text value; "n/a" must be null in JSON.
void expectSameQuantity(const Block& text, const std::string& key, const std::string& unit,
                        const JsonValue& json) {
    const std::string& value = valueOf(text, key);
    if (value == "n/a") {
        EXPECT_TRUE(json.isNull()) << key;
        return;
    }
    long number = 0;
    ASSERT_TRUE(numberIn(value, unit, number)) << key << ": " << value;
    ASSERT_EQ(json.type, Type::kNumber) << key;
    EXPECT_EQ(json.number, number) << key;
}

void expectSameText(const Block& text, const std::string& key, const JsonValue& json) {
    const std::string& value = valueOf(text, key);
    if (value == "n/a") {
        EXPECT_TRUE(json.isNull()) << key;
    } else {
        ASSERT_EQ(json.type, Type::kString) << key;
        EXPECT_EQ(json.text, value) << key;
    }
}

class QvctlJson : public CliTest {
protected:
    // The text list and the JSON list of one board set, checked against each other.
    void compareLists(const std::string& simulate) {
        SCOPED_TRACE(simulate);
        auto text = parseBlocks(outputOf({simulate, "list"}));
        const JsonValue json = parsedJson(outputOf({simulate, "--json", "list"}));
        ASSERT_EQ(json.type, Type::kObject);
        EXPECT_EQ(std::to_string(json["gpu_count"].number), text[-1]["gpu-count"]);
        const std::string ignored = text[-1].count("ignored-gpus") ? text[-1]["ignored-gpus"] : "0";
        EXPECT_EQ(std::to_string(json["ignored_gpu_count"].number), ignored.substr(0, 1));
        const auto& gpus = json["gpus"].items;
        ASSERT_EQ(std::to_string(gpus.size()), text[-1]["gpu-count"]);
        for (size_t i = 0; i < gpus.size(); ++i) {
            SCOPED_TRACE(i);
            const JsonValue& gpu = gpus[i];
            const Block& block = text[static_cast<int>(i)];
            EXPECT_EQ(gpu["index"].number, static_cast<int64_t>(i));
            expectSameText(block, "name", gpu["name"]);
            expectSameText(block, "device-id", gpu["device_id"]);
            expectSameText(block, "bios-version", gpu["bios_version"]);
            std::string families;
            for (const JsonValue& family : gpu["families"].items) {
                families += (families.empty() ? "" : " ") + family.text;
            }
            EXPECT_EQ(families.empty() ? "-" : families, valueOf(block, "family"));
            EXPECT_EQ(gpu["kepler_class"].boolean, valueOf(block, "kepler-class") == "yes");
            EXPECT_EQ(gpu["hot_key"].type, Type::kBool);
            EXPECT_EQ(gpu["hot_key"].boolean, valueOf(block, "hot-key") == "yes");
            EXPECT_EQ(block.count("clock-table") == 0, gpu["clock_table"].text == "usable");
            EXPECT_EQ(std::to_string(gpu["fan_controller"].number) + " (" +
                          gpu["fan_controller_name"].text + ")",
                      valueOf(block, "fan-controller"));
            EXPECT_EQ(gpu["fan_level_unit"].text,
                      valueOf(block, "fan-level-unit") == "rpm" ? "rpm" : "percent");
            const auto& chips = gpu["chips"].items;
            EXPECT_EQ(std::to_string(chips.size()), valueOf(block, "chips"));
            for (const JsonValue& chip : chips) {
                char line[96];
                std::snprintf(line, sizeof(line), "port %lld, address 0x%02llx (%s)",
                              static_cast<long long>(chip["port"].number),
                              static_cast<long long>(chip["address"].number),
                              chip["role"].text.c_str());
                EXPECT_EQ(line, valueOf(block, "slot-" + std::to_string(chip["slot"].number)));
            }
            expectSameQuantity(block, "memory-size", "MB", gpu["memory_size_mib"]);
            expectSameText(block, "memory-type", gpu["memory_type"]);
            expectSameQuantity(block, "bus-width", "Bit", gpu["bus_width_bits"]);
            expectSameQuantity(block, "cuda-cores", "SP", gpu["cuda_cores"]);
        }
    }
};

TEST_F(QvctlJson, ListHoldsTheFactsOfTheTextList) {
    compareLists("--simulate");
    compareLists("--simulate=six-gpus");        // a GPU left out
    compareLists("--simulate=single-0e22");     // a BIOS version
    compareLists("--simulate=no-clock-table");  // an unusable clock table
}

TEST_F(QvctlJson, ListOfAnUnusableClockTableGivesTheDriverStatus) {
    const JsonValue json = parsedJson(outputOf({"--simulate=no-clock-table", "list", "--json"}));
    const JsonValue& gpu = json["gpus"].items.at(0);
    EXPECT_EQ(gpu["clock_table"].text, "not_readable");
    EXPECT_EQ(gpu["clock_table_status"].number, -104);
}

TEST_F(QvctlJson, StatusHoldsTheReadingsOfTheTextStatus) {
    auto text = blocksOf({"--simulate", "status"});
    const JsonValue json = parsedJson(outputOf({"--json", "--simulate", "status"}));
    ASSERT_EQ(json.type, Type::kObject);
    EXPECT_FALSE(json.has("sample")) << "a single reading is no sample of a series";
    const auto& gpus = json["gpus"].items;
    ASSERT_EQ(gpus.size(), 3u);
    for (size_t i = 0; i < gpus.size(); ++i) {
        SCOPED_TRACE(i);
        const JsonValue& gpu = gpus[i];
        const Block& block = text[static_cast<int>(i)];
        EXPECT_EQ(
            std::to_string(gpu["level_kind"].number) + " (" + gpu["level_kind_name"].text + ")",
            valueOf(block, "level-kind"));
        // Clocks, voltage and fan settings hold still between the two runs.
        expectSameQuantity(block, "graphics-clock", "MHz", gpu["graphics_clock_mhz"]);
        expectSameQuantity(block, "memory-clock", "MHz", gpu["memory_clock_mhz"]);
        expectSameQuantity(block, "shader-clock", "MHz", gpu["shader_clock_mhz"]);
        expectSameQuantity(block, "core-voltage", "mV", gpu["core_voltage_mv"]);
        expectSameText(block, "fan-mode", gpu["fan_mode"]);
        const bool rpm = gpu["fan_level_unit"].text == "rpm";
        EXPECT_EQ(rpm, i == 1);
        // Temperature, fan speed, load and power follow the physical model: a number where the
        // text has one.
        for (const auto& [key, field] :
             {std::pair{"temperature", "temperature_c"}, std::pair{"fan-speed", "fan_speed_rpm"},
              std::pair{"gpu-load", "gpu_load_percent"}, std::pair{"board-power", "board_power_w"},
              std::pair{"fan-level", "fan_level"}}) {
            EXPECT_EQ(valueOf(block, key) == "n/a", gpu[field].isNull()) << key;
            EXPECT_TRUE(gpu.has(field)) << field;
        }
    }
    EXPECT_TRUE(gpus[0]["shader_clock_mhz"].isNull());
    EXPECT_TRUE(gpus[0]["board_power_w"].isNull());
    EXPECT_EQ(gpus[1]["board_power_w"].type, Type::kNumber);
}

TEST_F(QvctlJson, BoardWithoutCoolerHasNullFanValues) {
    const JsonValue json = parsedJson(outputOf({"--simulate=no-cooler", "status", "--json"}));
    const JsonValue& gpu = json["gpus"].items.at(0);
    for (const char* field : {"fan_mode", "fan_level", "fan_speed_rpm"}) {
        EXPECT_TRUE(gpu.has(field) && gpu[field].isNull()) << field;
    }
    EXPECT_EQ(gpu["temperature_c"].type, Type::kNumber);
}

TEST_F(QvctlJson, WatchWritesOneObjectPerLineAndSample) {
    const ProcessResult r =
        run({"--simulate", "status", "--json", "--watch", "200", "--count", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    int64_t expected = 1;
    while (std::getline(lines, line)) {
        const JsonValue sample = parsedJson(line);
        EXPECT_EQ(sample["sample"].number, expected++);
        EXPECT_EQ(sample["gpus"].items.size(), 3u);
    }
    EXPECT_EQ(expected, 4);
}

TEST_F(QvctlJson, BoardNamesAreEscaped) {
    // Quote, backslash and a non-ASCII letter (UTF-8) in the name the driver reports.
    const std::string name =
        "Quote\" Back\\slash Gr\xC3\xBC"
        "n";
    std::string config = readPreset("single-1180");
    const size_t at = config.find("name = ", config.find("[gpu]"));
    ASSERT_NE(at, std::string::npos);
    config.replace(at, config.find('\n', at) - at, "name = " + name);
    TempDir dir;
    const std::string path = writeConfig(dir, "named.conf", config);

    const std::string out = outputOf({"--simulate=" + path, "--json", "list"});
    EXPECT_NE(out.find(R"("name":"Quote\" Back\\slash Gr)"
                       "\xC3\xBC"
                       "n\""),
              std::string::npos)
        << out;
    EXPECT_EQ(parsedJson(out)["gpus"].items.at(0)["name"].text, name);
}

TEST_F(QvctlJson, OnlyListAndStatusAnswerInJson) {
    const ProcessResult r = run({"--simulate", "--json", "clocks", "0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--json goes with list and status"), std::string::npos) << r.err;
}

// ---- the writer's escaping, for what no simulated board name can hold ---------------------------

TEST(JsonQuoted, EscapesWhatJsonRequiresAndKeepsTheOutputValidUtf8) {
    struct Case {
        std::string text;
        std::string quoted;
    };
    const Case cases[] = {
        {"plain", "\"plain\""},
        {"a\"b\\c/d", R"("a\"b\\c/d")"},
        {"\n\r\t\b\f", R"("\n\r\t\b\f")"},
        {std::string("\x01\x1f\x00z", 4), R"("\u0001\u001f\u0000z")"},
        {"\x7f", "\"\x7f\""},
        {"\xC3\xBC \xE2\x82\xAC \xF0\x9F\x98\x80", "\"\xC3\xBC \xE2\x82\xAC \xF0\x9F\x98\x80\""},
        // Bytes outside a well-formed sequence: a lone continuation, a cut sequence at the end,
        // an overlong form, a surrogate, a lead byte that never starts one.
        {"a\x80z", R"("a\ufffdz")"},
        {"\xE2\x82", R"("\ufffd\ufffd")"},
        {"\xC0\xAF", R"("\ufffd\ufffd")"},
        {"\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},
        {"\xFF", R"("\ufffd")"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cli::jsonQuoted(c.text), c.quoted);
        JsonValue parsed;
        EXPECT_TRUE(JsonReader::parse(cli::jsonQuoted(c.text), parsed)) << c.quoted;
    }
}

TEST(JsonWriter, PlacesCommasInNestedContainers) {
    cli::JsonWriter json;
    json.beginObject();
    json.key("a");
    json.beginArray();
    json.number(-1);
    json.beginObject();
    json.endObject();
    json.beginArray();
    json.endArray();
    json.optionalNumber(std::nullopt);
    json.endArray();
    json.key("b");
    json.boolean(false);
    json.key("c");
    json.optionalString(std::string("x"));
    json.endObject();
    EXPECT_EQ(json.text(), R"({"a":[-1,{},[],null],"b":false,"c":"x"})");
}

}  // namespace
}  // namespace qv::test
