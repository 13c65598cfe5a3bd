#include "online/VersionFile.h"

#include "platform/Utf16.h"
#include "settings/CIni.h"

namespace qv::online {

namespace {

std::string readText(const settings::CIni& ini, const char* section, const char* key,
                     size_t maxUnits) {
    std::u16string value;
    if (!ini.GetString(section, key, value, maxUnits)) {
        return {};
    }
    return platform::utf16ToUtf8(value);
}

}  // namespace

VersionFile parseVersionFile(std::string_view bytes) {
    VersionFile file;
    if (bytes.size() > kMaxVersionFileBytes) {
        return file;
    }
    settings::CIni ini;
    if (!ini.LoadFromBytes(bytes)) {
        return file;
    }
    int32_t version = 0;
    if (ini.GetInt(kVersionSection, kVersionKey, version)) {
        file.version = version;
    }
    file.url = readText(ini, kUrlSection, kUrlKey, kMaxVersionUrlUnits);
    file.info = readText(ini, kInfoSection, kInfoKey, kMaxVersionInfoUnits);
    return file;
}

std::vector<std::string> splitInfoItems(std::string_view info) {
    std::vector<std::string> items;
    size_t bar = info.find(kInfoSeparator);
    while (bar != std::string_view::npos) {
        const size_t next = info.find(kInfoSeparator, bar + 1);
        const size_t end = next == std::string_view::npos ? info.size() : next;
        items.emplace_back(info.substr(bar + 1, end - bar - 1));
        bar = next;
    }
    return items;
}

bool isNewerVersion(int32_t serverVersion) {
    return kProgramVersion < serverVersion;
}

}  // namespace qv::online
