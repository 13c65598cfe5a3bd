#include "fan/FanSpeedReference.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "platform/AtomicFile.h"
#include "platform/Text.h"
#include "settings/CIni.h"

namespace qv::fan {
namespace {

constexpr mode_t kReferenceFileMode = 0644;
// Longest decimal number of a 32-bit speed.
constexpr size_t kSpeedDigitsMax = 10;

std::string sectionName(size_t gpu) {
    char name[16];
    std::snprintf(name, sizeof name, kFanSpeedSectionFormat, static_cast<int>(gpu + 1));
    return name;
}

std::string narrow(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t unit : text) {
        // A device id is ASCII; anything else cannot match and is kept as a stand-in.
        out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return out;
}

// The speed when the value is digits only and fits 32 bits.
bool parseSpeed(const std::u16string& text, uint32_t& rpm) {
    if (text.empty() || text.size() > kSpeedDigitsMax) {
        return false;
    }
    uint64_t value = 0;
    for (char16_t unit : text) {
        if (unit < u'0' || unit > u'9') {
            return false;
        }
        value = value * 10 + static_cast<uint64_t>(unit - u'0');
    }
    if (value > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    rpm = static_cast<uint32_t>(value);
    return true;
}

void appendUtf16(std::string& out, std::string_view ascii) {
    for (char ch : ascii) {
        out.push_back(ch);
        out.push_back('\0');
    }
}

}  // namespace

namespace {

bool takeReferences(settings::CIni& ini, std::span<const std::string> deviceIds,
                    FanSpeedReferences& references) {
    bool taken = false;
    const size_t gpus = std::min(deviceIds.size(), kFanSpeedReferenceGpus);
    for (size_t gpu = 0; gpu < gpus; ++gpu) {
        const std::string section = sectionName(gpu);
        std::u16string id;
        // The id is read into a small buffer: a longer one is cut and then fails to match.
        if (!ini.GetString(section, kFanSpeedIdKey, id, kFanSpeedIdCapacity - 1) ||
            !platform::equalsIgnoringCase(narrow(id), deviceIds[gpu])) {
            continue;
        }
        std::u16string speedText;
        uint32_t rpm = 0;
        if (ini.GetString(section, kFanSpeedKey, speedText) && parseSpeed(speedText, rpm)) {
            references[gpu] = rpm;
            taken = true;
        }
    }
    ini.Close();
    return taken;
}

}  // namespace

bool readFanSpeedReferences(const std::string& path, std::span<const std::string> deviceIds,
                            FanSpeedReferences& references) {
    settings::CIni ini;
    return ini.Load(path) && takeReferences(ini, deviceIds, references);
}

bool readFanSpeedReferencesFromBytes(std::string_view bytes, std::span<const std::string> deviceIds,
                                     FanSpeedReferences& references) {
    settings::CIni ini;
    return ini.LoadFromBytes(bytes) && takeReferences(ini, deviceIds, references);
}

std::string fanSpeedReferenceFile(std::span<const std::string> deviceIds, uint32_t rpm) {
    std::string bytes = {'\xFF', '\xFE'};
    for (size_t gpu = 0; gpu < deviceIds.size(); ++gpu) {
        appendUtf16(bytes, "[" + sectionName(gpu) + "]\r\n");
        appendUtf16(bytes, std::string(kFanSpeedIdKey) + "=" + deviceIds[gpu] + "\r\n");
        appendUtf16(bytes, std::string(kFanSpeedKey) + "=" + std::to_string(rpm) + "\r\n");
    }
    return bytes;
}

int writeFanSpeedReferences(const std::string& path, std::span<const std::string> deviceIds,
                            uint32_t rpm) {
    return platform::writeFileAtomically(path, fanSpeedReferenceFile(deviceIds, rpm),
                                         kReferenceFileMode);
}

}  // namespace qv::fan
