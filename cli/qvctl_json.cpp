// The JSON form of `list` and `status`: the same readings as the text blocks, with typed values
// in fixed units and null for a value that could not be read.
#include "gpu/DriverStatus.h"
#include "qvctl_commands.h"
#include "qvctl_readings.h"

namespace qv::cli {

namespace {

const char* fanLevelUnitName(bool inRpm) {
    return inRpm ? "rpm" : "percent";
}

const char* clockTableState(int status) {
    if (status == drv::kOk) {
        return "usable";
    }
    return clockTableHasNoUsableLevel(status) ? "no_usable_level" : "not_readable";
}

}  // namespace

void writeBoardJson(JsonWriter& json, const BoardFacts& facts) {
    json.beginObject();
    json.key("index");
    json.number(facts.gpu);
    json.key("name");
    json.optionalString(facts.name);
    json.key("device_id");
    json.optionalString(facts.deviceId);
    json.key("bios_version");
    json.optionalString(facts.biosVersion);
    json.key("families");
    json.beginArray();
    for (const std::string& family : facts.families) {
        json.string(family);
    }
    json.endArray();
    json.key("kepler_class");
    json.boolean(facts.keplerClass);
    json.key("hot_key");
    json.boolean(facts.hotKey);
    json.key("clock_table");
    json.string(clockTableState(facts.clockTableStatus));
    json.key("clock_table_status");
    json.number(facts.clockTableStatus);
    json.key("fan_controller");
    json.number(static_cast<int64_t>(facts.fanController));
    json.key("fan_controller_name");
    json.string(fanControllerName(facts.fanController));
    json.key("fan_level_unit");
    json.string(fanLevelUnitName(facts.fanLevelInRpm));
    json.key("chips");
    json.beginArray();
    for (const ChipFact& chip : facts.chips) {
        json.beginObject();
        json.key("slot");
        json.number(static_cast<int64_t>(chip.slot));
        json.key("port");
        json.number(chip.port);
        json.key("address");
        json.number(chip.address);
        json.key("role");
        json.string(chip.role);
        json.endObject();
    }
    json.endArray();
    json.key("memory_size_mib");
    json.optionalNumber(facts.memorySizeMiB);
    json.key("memory_type");
    json.optionalString(facts.memoryType);
    json.key("bus_width_bits");
    json.optionalNumber(facts.busWidthBits);
    json.key("cuda_cores");
    json.optionalNumber(facts.cudaCores);
    json.endObject();
}

void writeStatusJson(JsonWriter& json, const StatusReadings& r) {
    json.beginObject();
    json.key("index");
    json.number(r.gpu);
    json.key("level_kind");
    json.optionalNumber(r.levelKind);
    json.key("level_kind_name");
    if (r.levelKind) {
        json.string(levelKindName(static_cast<int>(*r.levelKind)));
    } else {
        json.null();
    }
    json.key("graphics_clock_mhz");
    json.optionalNumber(r.graphicsMHz);
    json.key("memory_clock_mhz");
    json.optionalNumber(r.memoryMHz);
    json.key("shader_clock_mhz");
    json.optionalNumber(r.shaderMHz);
    json.key("core_voltage_mv");
    json.optionalNumber(r.coreMillivolts);
    json.key("temperature_c");
    json.optionalNumber(r.celsius);
    json.key("fan_mode");
    if (r.fanManual) {
        json.string(*r.fanManual ? "manual" : "auto");
    } else {
        json.null();
    }
    json.key("fan_level");
    json.optionalNumber(r.fanLevel);
    json.key("fan_level_unit");
    json.string(fanLevelUnitName(r.fanLevelInRpm));
    json.key("fan_speed_rpm");
    json.optionalNumber(r.fanRpm);
    json.key("gpu_load_percent");
    json.optionalNumber(r.loadPercent);
    json.key("board_power_w");
    json.optionalNumber(r.boardWatts);
    json.endObject();
}

}  // namespace qv::cli
