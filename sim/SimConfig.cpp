#include "SimConfig.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <set>
#include <type_traits>
#include <utility>
#include <variant>

namespace qv::sim {

namespace {

// Default P-state numbers by position from the top level down.
constexpr std::array<uint32_t, 4> kFourLevelPstates = {0, 2, 5, 8};
constexpr std::array<uint32_t, 6> kOtherPstates = {0, 8, 12, 13, 14, 15};
constexpr uint32_t kMaxPstate = 15;
constexpr uint8_t kMemoryRegulatorPowerOnCode = 127;  // the middle of its 111..143 range

constexpr std::array<uint32_t, 10> kKnownPolicies = {1,    2,    4,    8,     0x10,
                                                     0x20, 0x40, 0x80, 0x100, 0x200};

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::vector<std::string_view> splitWords(std::string_view s) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) {
            ++i;
        }
        size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t') {
            ++i;
        }
        if (i > start) {
            words.push_back(s.substr(start, i - start));
        }
    }
    return words;
}

std::vector<std::string_view> splitOn(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == separator) {
            parts.push_back(trim(s.substr(start, i - start)));
            start = i + 1;
        }
    }
    return parts;
}

// Whole-token integer: decimal or 0x hexadecimal, optional sign.
bool parseInt64(std::string_view s, int64_t& out) {
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) {
        return false;
    }
    uint64_t magnitude = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (result.ec != std::errc() || result.ptr != s.data() + s.size()) {
        return false;
    }
    if (magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        return false;
    }
    out = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool parseDouble(std::string_view s, double& out) {
    // from_chars for double is not in every library this builds with; parse by hand.
    if (s.empty() || s.size() > 32) {
        return false;
    }
    std::string copy(s);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || errno != 0 || !std::isfinite(v)) {
        return false;
    }
    // strtod takes "inf", "nan" and hexadecimal floats; only plain decimals are wanted.
    for (char c : copy) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+')) {
            return false;
        }
    }
    out = v;
    return true;
}

class Parser {
public:
    Parser(SimConfig& config, std::string& error) : config_(config), error_(error) {}

    int run(std::string_view text) {
        if (text.size() > kMaxConfigBytes) {
            return fail(0, "the configuration is larger than 1 MiB");
        }
        size_t lineNo = 0;
        size_t pos = 0;
        while (pos <= text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string_view::npos) {
                end = text.size();
            }
            ++lineNo;
            std::string_view line = text.substr(pos, end - pos);
            if (line.size() > kMaxConfigLineBytes) {
                return fail(lineNo, "line longer than 4096 bytes");
            }
            if (int s = parseLine(lineNo, trim(line)); s != kConfigOk) {
                return s;
            }
            if (end == text.size()) {
                break;
            }
            pos = end + 1;
        }
        return finish();
    }

private:
    enum class Section { None, Driver, Gpu, Display };

    int fail(size_t line, const std::string& what) {
        error_ = line > 0 ? "line " + std::to_string(line) + ": " + what : what;
        return kConfigError;
    }

    int parseLine(size_t lineNo, std::string_view line) {
        line_ = lineNo;
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            return kConfigOk;
        }
        if (line.front() == '[') {
            return parseSection(line);
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            return fail(lineNo, "expected 'key = value' or a [section]");
        }
        const std::string_view key = trim(line.substr(0, eq));
        const std::string_view value = trim(line.substr(eq + 1));
        if (key.empty()) {
            return fail(lineNo, "missing key before '='");
        }
        switch (section_) {
            case Section::None:
                return fail(lineNo, "key '" + std::string(key) + "' outside any section");
            case Section::Driver:
                return driverKey(key, value);
            case Section::Gpu:
                return gpuKey(config_.gpus.back(), key, value);
            case Section::Display:
                return displayKey(config_.displays.back(), key, value);
        }
        return kConfigOk;
    }

    int parseSection(std::string_view line) {
        if (line.back() != ']') {
            return fail(line_, "section header without ']'");
        }
        const std::string_view name = trim(line.substr(1, line.size() - 2));
        if (name == "driver") {
            if (haveDriver_) {
                return fail(line_, "a second [driver] section");
            }
            haveDriver_ = true;
            section_ = Section::Driver;
        } else if (name == "gpu") {
            if (config_.gpus.size() >= kMaxSimGpus) {
                return fail(line_, "more than 16 [gpu] sections");
            }
            config_.gpus.emplace_back();
            section_ = Section::Gpu;
        } else if (name == "display") {
            if (config_.displays.size() >= kMaxSimDisplays) {
                return fail(line_, "more than 8 [display] sections");
            }
            config_.displays.emplace_back();
            section_ = Section::Display;
        } else {
            return fail(line_, "unknown section [" + std::string(name) + "]");
        }
        return kConfigOk;
    }

    // ---- value helpers ----------------------------------------------------------------
    int integer(std::string_view key, std::string_view v, int64_t lo, int64_t hi, int64_t& out) {
        if (!parseInt64(v, out) || out < lo || out > hi) {
            return fail(line_, std::string(key) + ": expected a whole number from " +
                                   std::to_string(lo) + " to " + std::to_string(hi) + ", got '" +
                                   std::string(v) + "'");
        }
        return kConfigOk;
    }
    int u32(std::string_view key, std::string_view v, uint32_t lo, uint32_t hi, uint32_t& out) {
        int64_t n = 0;
        if (int s = integer(key, v, lo, hi, n); s != kConfigOk) {
            return s;
        }
        out = static_cast<uint32_t>(n);
        return kConfigOk;
    }
    int i32(std::string_view key, std::string_view v, int32_t lo, int32_t hi, int32_t& out) {
        int64_t n = 0;
        if (int s = integer(key, v, lo, hi, n); s != kConfigOk) {
            return s;
        }
        out = static_cast<int32_t>(n);
        return kConfigOk;
    }
    int u8(std::string_view key, std::string_view v, uint32_t hi, uint8_t& out) {
        uint32_t n = 0;
        if (int s = u32(key, v, 0, hi, n); s != kConfigOk) {
            return s;
        }
        out = static_cast<uint8_t>(n);
        return kConfigOk;
    }
    int real(std::string_view key, std::string_view v, double lo, double hi, double& out) {
        if (!parseDouble(v, out) || out < lo || out > hi) {
            return fail(line_, std::string(key) + ": expected a number from " + trimmed(lo) +
                                   " to " + trimmed(hi) + ", got '" + std::string(v) + "'");
        }
        return kConfigOk;
    }
    static std::string trimmed(double v) {
        std::string s = std::to_string(v);
        while (s.find('.') != std::string::npos && (s.back() == '0' || s.back() == '.')) {
            const bool dot = s.back() == '.';
            s.pop_back();
            if (dot) {
                break;
            }
        }
        return s;
    }
    int boolean(std::string_view key, std::string_view v, bool& out) {
        if (v == "yes" || v == "true" || v == "1" || v == "on") {
            out = true;
        } else if (v == "no" || v == "false" || v == "0" || v == "off") {
            out = false;
        } else {
            return fail(line_,
                        std::string(key) + ": expected yes or no, got '" + std::string(v) + "'");
        }
        return kConfigOk;
    }
    int text(std::string_view key, std::string_view v, size_t maxChars, std::string& out) {
        if (v.size() > maxChars) {
            return fail(line_, std::string(key) + ": longer than " + std::to_string(maxChars) +
                                   " characters");
        }
        for (unsigned char c : v) {
            if (c < 0x20 || c == 0x7F) {
                return fail(line_, std::string(key) + ": control characters are not allowed");
            }
        }
        out = std::string(v);
        return kConfigOk;
    }
    int range(std::string_view key, std::string_view v, int32_t lo, int32_t hi, Range& out) {
        const auto words = splitWords(v);
        if (words.size() != 2) {
            return fail(line_, std::string(key) + ": expected two numbers, minimum and maximum");
        }
        if (i32(key, words[0], lo, hi, out.min) != kConfigOk ||
            i32(key, words[1], lo, hi, out.max) != kConfigOk) {
            return kConfigError;
        }
        if (out.min > out.max) {
            return fail(line_, std::string(key) + ": minimum above maximum");
        }
        return kConfigOk;
    }
    int unknown(std::string_view key, const char* section) {
        return fail(line_, "unknown key '" + std::string(key) + "' in [" + section + "]");
    }

    // ---- sections -------------------------------------------------------------------
    int driverKey(std::string_view key, std::string_view v) {
        using D = DriverConfig;
        static const KeyRule<DriverConfig> kRules[] = {
            {"version", &D::version, 1, 999999},
            {"build", &D::buildNumber, 0, 0x7FFFFFFF},
            {"branch", &D::branch, 0, kMaxNameChars},
            {"i2c_time_us", &D::i2cTimeUs, 0, 100000},
        };
        return applyKey(kRules, config_.driver, key, v, "driver");
    }

    int displayKey(DisplayConfig& d, std::string_view key, std::string_view v) {
        using D = DisplayConfig;
        static const KeyRule<DisplayConfig> kRules[] = {
            {"name", &Parser::displayName},
            {"id", &D::id, 1, 0xFFFFFFFF},
            {"gpu", &D::gpu, 0, kMaxSimGpus - 1},
            {"connector", &Parser::connectorLine},
            {"adapter", &D::adapter},
            {"monitors", &D::monitors, 0, 255},
            {"firmware", &D::firmware, 0, kAdapterFirmwareChars},
            {"busy_polls", &D::busyPolls, 0, 1000},
            {"stuck_busy", &D::stuckBusy},
            {"unattached", &D::unattached},
        };
        return applyKey(kRules, d, key, v, "display");
    }

    int displayName(DisplayConfig& d, std::string_view v) {
        if (v.empty()) {
            return fail(line_, "name: must not be empty");
        }
        return text("name", v, kMaxNameChars, d.name);
    }

    int connectorLine(DisplayConfig& d, std::string_view v) {
        return choice("connector", v,
                      {{"displayport", true}, {"dvi", false}, {"hdmi", false}, {"vga", false}},
                      "dvi, hdmi, vga or displayport", d.displayPort);
    }

    // How one key of a section is read: into a member within limits, or by a method of its own
    // where the value has a shape of its own or sets more than one member.
    template <typename Record>
    struct KeyRule {
        std::string_view key;
        std::variant<uint32_t Record::*, double Record::*, bool Record::*, Range Record::*,
                     std::string Record::*, int (Parser::*)(Record&, std::string_view)>
            target;
        // The limits of a number or range (every limit here is exact in a double); for text,
        // the most characters in `high`.
        double low = 0;
        double high = 0;
    };

    template <typename Record, size_t N>
    int applyKey(const KeyRule<Record> (&rules)[N], Record& record, std::string_view key,
                 std::string_view v, const char* section) {
        const auto* rule = std::find_if(std::begin(rules), std::end(rules),
                                        [&](const KeyRule<Record>& r) { return r.key == key; });
        if (rule == std::end(rules)) {
            return unknown(key, section);
        }
        return std::visit(
            [&](auto target) -> int {
                using Target = decltype(target);
                if constexpr (std::is_same_v<Target, uint32_t Record::*>) {
                    return u32(key, v, static_cast<uint32_t>(rule->low),
                               static_cast<uint32_t>(rule->high), record.*target);
                } else if constexpr (std::is_same_v<Target, double Record::*>) {
                    return real(key, v, rule->low, rule->high, record.*target);
                } else if constexpr (std::is_same_v<Target, bool Record::*>) {
                    return boolean(key, v, record.*target);
                } else if constexpr (std::is_same_v<Target, Range Record::*>) {
                    return range(key, v, static_cast<int32_t>(rule->low),
                                 static_cast<int32_t>(rule->high), record.*target);
                } else if constexpr (std::is_same_v<Target, std::string Record::*>) {
                    return text(key, v, static_cast<size_t>(rule->high), record.*target);
                } else {
                    return (this->*target)(record, v);
                }
            },
            rule->target);
    }

    // One of a few words, each standing for a value; `expected` lists them for the message.
    template <typename T>
    int choice(std::string_view key, std::string_view v,
               std::initializer_list<std::pair<std::string_view, T>> words, const char* expected,
               T& out) {
        for (const auto& [word, value] : words) {
            if (v == word) {
                out = value;
                return kConfigOk;
            }
        }
        return fail(line_, std::string(key) + ": expected " + expected);
    }

    int gpuKey(GpuConfig& g, std::string_view key, std::string_view v) {
        using G = GpuConfig;
        static const KeyRule<GpuConfig> kRules[] = {
            {"name", &Parser::gpuName},
            {"device", &Parser::gpuDevice},
            {"subsystem", &G::subsystem, 0, 0xFFFFFFFF},
            {"revision", &G::revision, 0, 0xFF},
            {"bus", &G::bus, 0, 255},
            {"cores", &G::cores, 0, 65535},
            {"memory_kib", &G::memoryKiB, 1024, 0x7FFFFFFF},
            {"memory_type", &G::memoryType, 0, kMaxMemoryTypeCode},
            {"bus_width", &G::busWidth, 0, 4096},
            {"bus_location", &G::busLocation, 0, 3},
            {"clock_table", &Parser::clockTableLine},
            {"level", &Parser::levelLine},
            {"clock", &Parser::clockLine},
            {"pstates20", &G::pstates20},
            {"voltage_table", &G::voltageTable},
            {"graphics_offset_range", &G::graphicsOffsetKHz, -1000000, 1000000},
            {"memory_offset_range", &G::memoryOffsetKHz, -2000000, 2000000},
            {"voltage_offset_range", &G::voltageOffsetUv, -500000, 500000},
            {"boost_graphics_khz", &G::boostGraphicsKHz, 0, 10000000},
            {"cooler", &Parser::coolerLine},
            {"cooler_range", &Parser::coolerRangeLine},
            {"cooler_default_policy", &Parser::coolerPolicyLine},
            {"fan_control", &Parser::fanControlLine},
            {"fan_max_rpm", &G::fanMaxRpm, 500, 20000},
            {"tachometer", &G::tachometer},
            {"fan_curve", &Parser::curveLine},
            {"chip", &Parser::chipLine},
            {"bios_version", &G::biosVersion, 0, kMaxBiosVersionChars},
            {"bios_size", &Parser::biosSizeLine},
            {"power_policy", &G::powerPolicy},
            {"power_limit", &Parser::powerLimitLine},
            {"power_w", &G::powerW, 1.0, 2000.0},
            {"idle_power_w", &G::idlePowerW, 0.0, 2000.0},
            {"load_power_w", &G::loadPowerW, 0.0, 4000.0},
            {"ambient_c", &G::ambientC, -40.0, 80.0},
            {"thermal_resistance", &G::thermalResistance, 0.01, 10.0},
            {"fan_cooling", &G::fanCooling, 0.0, 50.0},
            {"thermal_tau_s", &G::thermalTauS, 0.1, 3600.0},
            {"fan_tau_s", &G::fanTauS, 0.05, 600.0},
            {"load", &G::load, 0, 100},
            {"sensors", &Parser::sensorsLine},
        };
        return applyKey(kRules, g, key, v, "gpu");
    }

    int gpuName(GpuConfig& g, std::string_view v) {
        if (v.empty()) {
            return fail(line_, "name: must not be empty");
        }
        return text("name", v, kMaxNameChars, g.name);
    }

    int gpuDevice(GpuConfig& g, std::string_view v) {
        g.deviceGiven = true;
        return u32("device", v, 0, 0xFFFF, g.device);
    }

    int clockTableLine(GpuConfig& g, std::string_view v) {
        return choice("clock_table", v,
                      {{"yes", ClockTableMode::Present},
                       {"empty", ClockTableMode::Empty},
                       {"missing", ClockTableMode::Missing}},
                      "yes, empty or missing", g.clockTable);
    }

    int coolerLine(GpuConfig& g, std::string_view v) {
        return choice("cooler", v, {{"driver", CoolerKind::Driver}, {"none", CoolerKind::None}},
                      "driver or none", g.cooler);
    }

    int coolerRangeLine(GpuConfig& g, std::string_view v) {
        Range r;
        if (range("cooler_range", v, 0, 100, r) != kConfigOk) {
            return kConfigError;
        }
        g.coolerMin = static_cast<uint32_t>(r.min);
        g.coolerMax = static_cast<uint32_t>(r.max);
        return kConfigOk;
    }

    int coolerPolicyLine(GpuConfig& g, std::string_view v) {
        if (u32("cooler_default_policy", v, 1, 0x200, g.coolerDefaultPolicy) != kConfigOk) {
            return kConfigError;
        }
        if (std::find(kKnownPolicies.begin(), kKnownPolicies.end(), g.coolerDefaultPolicy) ==
            kKnownPolicies.end()) {
            return fail(line_, "cooler_default_policy: not a single policy bit");
        }
        return kConfigOk;
    }

    int fanControlLine(GpuConfig& g, std::string_view v) {
        return choice("fan_control", v,
                      {{"driver", FanControl::Driver},
                       {"slot0", FanControl::Chip0},
                       {"slot1", FanControl::Chip1}},
                      "driver, slot0 or slot1", g.fanControl);
    }

    int biosSizeLine(GpuConfig& g, std::string_view v) {
        if (u32("bios_size", v, kMinBiosSize, kMaxBiosSize, g.biosSize) != kConfigOk) {
            return kConfigError;
        }
        if (g.biosSize % kBiosBlockSize != 0) {
            return fail(line_, "bios_size: must be a multiple of 512");
        }
        return kConfigOk;
    }

    int powerLimitLine(GpuConfig& g, std::string_view v) {
        const auto words = splitWords(v);
        if (words.size() != 3) {
            return fail(line_, "power_limit: expected minimum, default and maximum");
        }
        constexpr std::string_view key = "power_limit";
        if (u32(key, words[0], 1000, 1000000, g.powerLimitMin) != kConfigOk ||
            u32(key, words[1], 1000, 1000000, g.powerLimitDefault) != kConfigOk ||
            u32(key, words[2], 1000, 1000000, g.powerLimitMax) != kConfigOk) {
            return kConfigError;
        }
        if (g.powerLimitMin > g.powerLimitDefault || g.powerLimitDefault > g.powerLimitMax) {
            return fail(line_, "power_limit: expected minimum <= default <= maximum");
        }
        return kConfigOk;
    }

    int levelLine(GpuConfig& g, std::string_view v) {
        if (g.levels.size() >= kMaxSimLevels) {
            return fail(line_, "more than 12 levels");
        }
        const auto words = splitWords(v);
        if (words.empty()) {
            return fail(line_, "level: expected an identifier");
        }
        LevelConfig level;
        if (u32("level", words[0], 0, 255, level.id) != kConfigOk) {
            return kConfigError;
        }
        for (size_t i = 1; i < words.size(); ++i) {
            const std::string_view w = words[i];
            if (w == "locked") {
                level.locked = true;
                continue;
            }
            const size_t eq = w.find('=');
            if (eq == std::string_view::npos) {
                return fail(line_, "level: expected key=value, got '" + std::string(w) + "'");
            }
            const std::string_view k = w.substr(0, eq);
            const std::string_view val = w.substr(eq + 1);
            int s = kConfigOk;
            if (k == "flags") {
                s = u32("flags", val, 0, 0xFFFF, level.flags);
            } else if (k == "pstate") {
                s = u32("pstate", val, 0, kMaxPstate, level.pstate);
                level.pstateGiven = true;
            } else if (k == "voltage_mv") {
                uint32_t mv = 0;
                s = u32("voltage_mv", val, kMinLevelMv, kMaxLevelMv, mv);
                level.voltageUv = mv * 1000;
            } else {
                return fail(line_, "level: unknown option '" + std::string(k) + "'");
            }
            if (s != kConfigOk) {
                return s;
            }
        }
        g.levels.push_back(std::move(level));
        return kConfigOk;
    }

    int clockLine(GpuConfig& g, std::string_view v) {
        if (g.levels.empty()) {
            return fail(line_, "clock: comes before any level");
        }
        LevelConfig& level = g.levels.back();
        if (level.clocks.size() >= kMaxSimClocksPerLevel) {
            return fail(line_, "clock: more than 32 clocks in one level");
        }
        const auto words = splitWords(v);
        if (words.size() != 4) {
            return fail(line_, "clock: expected domain, base, minimum and maximum (kHz)");
        }
        ClockConfig c;
        if (words[0] == "graphics") {
            c.domain = kDomainGraphics;
        } else if (words[0] == "memory") {
            c.domain = kDomainMemory;
        } else if (words[0] == "processor") {
            c.domain = kDomainProcessor;
        } else if (u32("clock domain", words[0], 0, kMaxDomain, c.domain) != kConfigOk) {
            return kConfigError;
        }
        for (const auto& other : level.clocks) {
            if (other.domain == c.domain) {
                return fail(line_, "clock: domain " + std::to_string(c.domain) +
                                       " appears twice in level " + std::to_string(level.id));
            }
        }
        if (u32("clock base", words[1], 1, 100000000, c.baseKHz) != kConfigOk ||
            u32("clock minimum", words[2], 0, 100000000, c.minKHz) != kConfigOk ||
            u32("clock maximum", words[3], 0, 100000000, c.maxKHz) != kConfigOk) {
            return kConfigError;
        }
        if (c.maxKHz != 0 && !(c.minKHz <= c.baseKHz && c.baseKHz <= c.maxKHz)) {
            return fail(line_, "clock: expected minimum <= base <= maximum");
        }
        if (c.maxKHz == 0 && c.minKHz != 0) {
            return fail(line_, "clock: a minimum without a maximum");
        }
        level.clocks.push_back(c);
        return kConfigOk;
    }

    int curveLine(GpuConfig& g, std::string_view v) {
        g.fanCurve.clear();
        const auto words = splitWords(v);
        if (words.empty() || words.size() > kMaxSimCurvePoints) {
            return fail(line_, "fan_curve: expected 1 to 8 points temperature:level");
        }
        for (const auto w : words) {
            const size_t colon = w.find(':');
            if (colon == std::string_view::npos) {
                return fail(line_,
                            "fan_curve: expected temperature:level, got '" + std::string(w) + "'");
            }
            CurvePoint p;
            if (i32("fan_curve temperature", w.substr(0, colon), -40, 150, p.tempC) != kConfigOk ||
                u32("fan_curve level", w.substr(colon + 1), 0, 100, p.level) != kConfigOk) {
                return kConfigError;
            }
            if (!g.fanCurve.empty() && p.tempC <= g.fanCurve.back().tempC) {
                return fail(line_, "fan_curve: temperatures must rise from point to point");
            }
            g.fanCurve.push_back(p);
        }
        return kConfigOk;
    }

    int sensorsLine(GpuConfig& g, std::string_view v) {
        g.sensors = 0;
        if (v == "none") {
            return kConfigOk;
        }
        for (const auto part : splitOn(v, ',')) {
            uint32_t bit = 0;
            if (part == "gpu") {
                bit = kSensorGpu;
            } else if (part == "memory") {
                bit = kSensorMemory;
            } else if (part == "board") {
                bit = kSensorBoard;
            } else {
                return fail(line_, "sensors: expected none or a list of gpu, memory, board");
            }
            if ((g.sensors & bit) != 0) {
                return fail(line_, "sensors: '" + std::string(part) + "' listed twice");
            }
            g.sensors |= bit;
        }
        return kConfigOk;
    }

    int chipLine(GpuConfig& g, std::string_view v) {
        const auto words = splitWords(v);
        if (words.empty()) {
            return fail(line_, "chip: expected a slot number");
        }
        uint32_t slot = 0;
        std::string_view slotWord = words[0];
        const std::string wirelessSlot = std::to_string(kSlotWireless);
        if (slotWord == "wireless") {
            slotWord = wirelessSlot;
        } else if (slotWord.substr(0, 4) == "slot") {
            slotWord.remove_prefix(4);
        }
        if (u32("chip slot", slotWord, 0, kSlotCount - 1, slot) != kConfigOk) {
            return kConfigError;
        }
        if (slot == kSlotUnused4) {
            return fail(line_, "chip: slot 4 has no chip model");
        }
        ChipConfig& chip = g.chips[slot];
        if (chip.present) {
            return fail(line_, "chip: slot " + std::to_string(slot) + " given twice");
        }
        chip = ChipConfig{};
        chip.present = true;
        chip.address = kSlotAddresses[slot];
        if (slot == kSlotMemoryRegulator) {
            chip.code = kMemoryRegulatorPowerOnCode;
        }
        for (size_t i = 1; i < words.size(); ++i) {
            const std::string_view w = words[i];
            const size_t eq = w.find('=');
            if (eq == std::string_view::npos) {
                return fail(line_, "chip: expected key=value, got '" + std::string(w) + "'");
            }
            const std::string_view k = w.substr(0, eq);
            const std::string_view val = w.substr(eq + 1);
            if (int s = chipOption(slot, chip, k, val); s != kConfigOk) {
                return s;
            }
        }
        return kConfigOk;
    }

    int chipOption(uint32_t slot, ChipConfig& chip, std::string_view k, std::string_view v) {
        auto wrongSlot = [&] {
            return fail(line_, "chip: option '" + std::string(k) + "' does not apply to slot " +
                                   std::to_string(slot));
        };
        if (k == "address") {
            if (slot != kSlotFanChip0) {
                return wrongSlot();
            }
            uint8_t a = 0;
            if (u8("address", v, 0xFF, a) != kConfigOk) {
                return kConfigError;
            }
            if (a != kSlotAddresses[kSlotFanChip0] && a != kFanChip0AlternateAddress) {
                return fail(line_, "chip: the slot-0 chip answers at 0x5C or 0x5A");
            }
            chip.address = a;
            return kConfigOk;
        }
        if (k == "capability") {
            if (slot != kSlotFanChip0) {
                return wrongSlot();
            }
            if (u32("capability", v, 32, 64, chip.capability) != kConfigOk) {
                return kConfigError;
            }
            if (chip.capability != 32 && chip.capability != 64) {
                return fail(line_, "chip: capability is 32 or 64");
            }
            return kConfigOk;
        }
        if (k == "temp_bias") {
            return slot == kSlotFanChip0 ? i32("temp_bias", v, -30, 30, chip.tempBiasC)
                                         : wrongSlot();
        }
        if (k == "alarm") {
            return slot == kSlotFanChip0 ? u8("alarm", v, 150, chip.alarmC) : wrongSlot();
        }
        if (k == "tach") {
            return slot == kSlotFanChip1 ? boolean("tach", v, chip.tachWire) : wrongSlot();
        }
        if (k == "codes") {
            if (slot != kSlotRegulatorA) {
                return wrongSlot();
            }
            const auto parts = splitOn(v, ',');
            if (parts.size() != chip.codes.size()) {
                return fail(line_, "chip: codes takes four codes, for registers 0x15 to 0x18");
            }
            for (size_t i = 0; i < parts.size(); ++i) {
                if (u8("codes", parts[i], 127, chip.codes[i]) != kConfigOk) {
                    return kConfigError;
                }
            }
            return kConfigOk;
        }
        if (k == "step") {
            if (slot != kSlotStepRegulator3 && slot != kSlotStepRegulator6) {
                return wrongSlot();
            }
            return u8("step", v, 255, chip.step);
        }
        if (k == "code") {
            if (slot == kSlotRegulatorB) {
                return u8("code", v, 25, chip.code);
            }
            if (slot == kSlotMemoryRegulator) {
                return u8("code", v, 255, chip.code);
            }
            return wrongSlot();
        }
        if (k == "value") {
            return slot == kSlotAuxiliary8 ? u8("value", v, 255, chip.value) : wrongSlot();
        }
        if (k == "share") {
            if (slot < kSlotPowerMonitor9) {
                return wrongSlot();
            }
            return real("share", v, 0.0, 1.0, chip.share);
        }
        if (k == "bus_mv") {
            if (slot < kSlotPowerMonitor9) {
                return wrongSlot();
            }
            return u32("bus_mv", v, 0, 40000, chip.busMv);
        }
        if (k == "region") {
            return slot == kSlotWireless ? u8("region", v, 255, chip.region) : wrongSlot();
        }
        if (k == "work_state") {
            return slot == kSlotWireless ? u8("work_state", v, 255, chip.workState) : wrongSlot();
        }
        if (k == "channel") {
            return slot == kSlotWireless
                       ? u8("channel", v, wireless::kWirelessChannelEntries - 1, chip.channel)
                       : wrongSlot();
        }
        if (k == "version") {
            if (slot != kSlotWireless) {
                return wrongSlot();
            }
            const auto parts = splitOn(v, '.');
            if (parts.size() != chip.version.size()) {
                return fail(line_, "chip: version takes three numbers, as 2.1.7");
            }
            for (size_t i = 0; i < parts.size(); ++i) {
                if (u8("version", parts[i], 255, chip.version[i]) != kConfigOk) {
                    return kConfigError;
                }
            }
            return kConfigOk;
        }
        return fail(line_, "chip: unknown option '" + std::string(k) + "'");
    }

    // ---- whole-configuration checks ------------------------------------------------
    int finish() {
        line_ = 0;
        for (size_t i = 0; i < config_.gpus.size(); ++i) {
            if (int s = finishGpu(i, config_.gpus[i]); s != kConfigOk) {
                return s;
            }
        }
        if (config_.displays.empty() && !config_.gpus.empty()) {
            DisplayConfig d;
            d.name = "\\\\.\\DISPLAY1";
            config_.displays.push_back(d);
        }
        std::set<std::string> names;
        std::set<uint32_t> ids;
        for (size_t i = 0; i < config_.displays.size(); ++i) {
            DisplayConfig& d = config_.displays[i];
            const std::string where = "display " + std::to_string(i + 1) + ": ";
            if (d.name.empty()) {
                d.name = "\\\\.\\DISPLAY" + std::to_string(i + 1);
            }
            if (d.id == 0) {
                d.id = 0x00010000u + static_cast<uint32_t>(i) * 0x100u;
            }
            if (d.gpu >= config_.gpus.size()) {
                return fail(0, where + "gpu " + std::to_string(d.gpu) + " does not exist");
            }
            if (!names.insert(d.name).second || !ids.insert(d.id).second) {
                return fail(0, where + "name or id used twice");
            }
            if (d.adapter && !d.displayPort) {
                return fail(0, where + "the adapter needs connector = displayport");
            }
        }
        return kConfigOk;
    }

    int finishGpu(size_t index, GpuConfig& g) {
        const std::string where = "gpu " + std::to_string(index + 1) + ": ";
        if (g.name.empty()) {
            return fail(0, where + "name is missing");
        }
        if (!g.deviceGiven) {
            return fail(0, where + "device is missing");
        }
        if (g.clockTable == ClockTableMode::Present && g.levels.empty()) {
            return fail(0, where + "clock_table = yes needs at least one level");
        }
        std::set<uint32_t> ids;
        for (const auto& level : g.levels) {
            if (level.clocks.size() != g.levels.front().clocks.size()) {
                return fail(0, where + "every level needs the same number of clocks");
            }
            if (!ids.insert(level.id).second) {
                return fail(0, where + "level " + std::to_string(level.id) + " given twice");
            }
            if (level.clocks.empty()) {
                return fail(0, where + "level " + std::to_string(level.id) + " has no clock");
            }
        }
        const size_t n = g.levels.size();
        std::set<uint32_t> pstates;
        for (size_t i = 0; i < n; ++i) {
            LevelConfig& level = g.levels[i];
            if (!level.pstateGiven) {
                const size_t fromTop = n - 1 - i;
                level.pstate = n == kFourLevelPstates.size()
                                   ? kFourLevelPstates[fromTop]
                                   : kOtherPstates[std::min(fromTop, kOtherPstates.size() - 1)];
            }
            if (!pstates.insert(level.pstate).second) {
                return fail(0, where + "two levels share P-state " + std::to_string(level.pstate));
            }
        }
        if (g.coolerMin > g.coolerMax) {
            return fail(0, where + "cooler_range minimum above maximum");
        }
        if (g.fanCurve.empty()) {
            g.fanCurve = {{40, 30}, {60, 40}, {75, 60}, {85, 85}, {95, 100}};
        }
        if (g.fanControl == FanControl::Chip0 && !g.chips[kSlotFanChip0].present) {
            return fail(0, where + "fan_control = slot0 needs chip = slot0");
        }
        if (g.fanControl == FanControl::Chip1 && !g.chips[kSlotFanChip1].present) {
            return fail(0, where + "fan_control = slot1 needs chip = slot1");
        }
        // Two chips on one bus cannot answer at the same address.
        std::set<std::pair<uint8_t, uint8_t>> taken;
        for (size_t s = 0; s < kSlotCount; ++s) {
            if (!g.chips[s].present) {
                continue;
            }
            if (!taken.insert({kSlotPorts[s], g.chips[s].address}).second) {
                return fail(0, where + "two chips answer on port " + std::to_string(kSlotPorts[s]) +
                                   " at the same address");
            }
        }
        if (g.idlePowerW > g.loadPowerW) {
            return fail(0, where + "idle_power_w above load_power_w");
        }
        return kConfigOk;
    }

    SimConfig& config_;
    std::string& error_;
    Section section_ = Section::None;
    bool haveDriver_ = false;
    size_t line_ = 0;
};

}  // namespace

int parseSimConfig(std::string_view text, SimConfig& out, std::string& error) {
    out = SimConfig{};
    error.clear();
    Parser parser(out, error);
    return parser.run(text);
}

uint64_t fnv1a(std::string_view bytes, uint64_t seed) {
    uint64_t h = seed;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    return h;
}

size_t topLevelIndex(const GpuConfig& gpu) {
    for (size_t i = 0; i < gpu.levels.size(); ++i) {
        if (gpu.levels[i].pstate == 0) {
            return i;
        }
    }
    return gpu.levels.empty() ? 0 : gpu.levels.size() - 1;
}

}  // namespace qv::sim
