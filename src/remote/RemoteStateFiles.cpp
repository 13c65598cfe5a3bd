#include "remote/RemoteStateFiles.h"

#include <cerrno>
#include <cstdio>
#include <pugixml.hpp>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/CompanionFiles.h"
#include "remote/RemotePacket.h"

namespace qv::remote {
namespace {

constexpr mode_t kStateFileMode = 0644;

std::string decimal(int value) {
    return std::to_string(value);
}

bool loadDocument(std::string_view bytes, pugi::xml_document& document) {
    return document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default).status ==
           pugi::status_ok;
}

}  // namespace

int modeIndexText(int mode) {
    return mode >= 1 && mode <= 3 ? mode : 0;
}

std::string formatTime(StateFileTime time) {
    char text[64];
    std::snprintf(text, sizeof text, "%u:%u:%u:%u", time.hour, time.minute, time.second,
                  time.millisecond);
    return text;
}

int replaceElementTexts(const std::string& path,
                        const std::vector<std::pair<const char*, std::string>>& texts) {
    std::string bytes;
    if (platform::readSmallFile(path, kStateDocumentMaxBytes, bytes) != 0) {
        return kStateFileUnreadable;
    }
    pugi::xml_document document;
    if (!loadDocument(bytes, document)) {
        return kStateFileUnreadable;
    }
    for (const auto& [elementPath, text] : texts) {
        const pugi::xml_node element = document.select_node(elementPath).node();
        if (element) {
            element.text().set(text.c_str());
        }
    }
    std::ostringstream out;
    document.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
    return platform::writeFileAtomically(path, out.str(), kStateFileMode) == 0 ? kStateFileOk
                                                                               : kStateFileNotSaved;
}

int writeStateFileFirstPass(const std::string& path, bool blink, bool fanAutomatic,
                            StateFileTime time) {
    return replaceElementTexts(path, {{kElementBlink, decimal(blink ? 1 : 0)},
                                      {kElementFanAuto, decimal(fanAutomatic ? 1 : 0)},
                                      {kElementTime, formatTime(time)}});
}

int writeStateFileSecondPass(const std::string& path, int gpuIndex, int mode, int gpuMHz,
                             int shaderMHz, int memoryMHz) {
    return replaceElementTexts(path, {{kElementGpuIndex, decimal(gpuIndex)},
                                      {kElementMode, decimal(modeIndexText(mode))},
                                      {kElementGpuClock, decimal(gpuMHz)},
                                      {kElementShaderClock, decimal(shaderMHz)},
                                      {kElementMemoryClock, decimal(memoryMHz)}});
}

int writeStateFileOnce(const std::string& path, bool blink, bool fanAutomatic, StateFileTime time,
                       const StateFileSelection* selection) {
    std::vector<std::pair<const char*, std::string>> texts = {
        {kElementBlink, decimal(blink ? 1 : 0)},
        {kElementFanAuto, decimal(fanAutomatic ? 1 : 0)},
        {kElementTime, formatTime(time)}};
    if (selection != nullptr) {
        texts.insert(texts.end(), {{kElementGpuIndex, decimal(selection->gpuIndex)},
                                   {kElementMode, decimal(modeIndexText(selection->mode))},
                                   {kElementGpuClock, decimal(selection->gpuMHz)},
                                   {kElementShaderClock, decimal(selection->shaderMHz)},
                                   {kElementMemoryClock, decimal(selection->memoryMHz)}});
    }
    return replaceElementTexts(path, texts);
}

int writeFanRange(const std::string& path, int minPercent, int maxPercent) {
    return replaceElementTexts(
        path, {{kElementFansMin, decimal(minPercent)}, {kElementFansMax, decimal(maxPercent)}});
}

int readStateFile(const std::string& path, std::string& bytes) {
    const int status = platform::readSmallFile(path, kStateFileMaxBytes, bytes);
    if (status == EFBIG) {
        return kStateFileTooLong;
    }
    return status == 0 ? kStateFileOk : kStateFileUnreadable;
}

void installStateFileTemplates(const std::string& dataFolder) {
    for (const char* name : {kStateFileName, kFanRangeFileName}) {
        const std::string target = dataFolder + "/" + name;
        std::string existing;
        if (platform::readSmallFile(target, kStateDocumentMaxBytes, existing) != ENOENT) {
            continue;
        }
        std::string shipped;
        if (platform::readSmallFile(platform::sharedDataFile(name), kStateDocumentMaxBytes,
                                    shipped) == 0) {
            platform::writeFileAtomically(target, shipped, kStateFileMode);
        }
    }
}

std::string elementText(std::string_view document, const char* elementPath) {
    pugi::xml_document parsed;
    if (!loadDocument(document, parsed)) {
        return {};
    }
    return parsed.select_node(elementPath).node().text().as_string();
}

}  // namespace qv::remote
