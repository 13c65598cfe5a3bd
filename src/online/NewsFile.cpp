#include "online/NewsFile.h"

#include <cstdio>
#include <pugixml.hpp>

namespace qv::online {

namespace {

constexpr const char* kRootElement = "News";
constexpr const char* kItemElementFormat = "News%zu";
constexpr const char* kTitleElement = "Title";
constexpr const char* kContentElement = "Content";
constexpr const char* kUrlElement = "URL";
constexpr const char* kTimeElement = "Time";

// Bytes of the UTF-8 sequence a lead byte starts, and the UTF-16 units of its character.
void measure(unsigned char lead, size_t& bytes, size_t& units) {
    units = 1;
    if (lead >= 0xF0) {
        bytes = 4;
        units = 2;
    } else if (lead >= 0xE0) {
        bytes = 3;
    } else if (lead >= 0xC0) {
        bytes = 2;
    } else {
        bytes = 1;
    }
}

std::string field(const pugi::xml_node& item, const char* name, size_t units) {
    return cutToField(item.child(name).text().get(), units);
}

}  // namespace

std::string cutToField(std::string_view utf8, size_t fieldUnits) {
    if (fieldUnits == 0) {
        return {};
    }
    const size_t maxUnits = fieldUnits - 1;
    size_t at = 0;
    size_t units = 0;
    while (at < utf8.size()) {
        size_t bytes = 0;
        size_t width = 0;
        measure(static_cast<unsigned char>(utf8[at]), bytes, width);
        if (units + width > maxUnits || at + bytes > utf8.size()) {
            break;
        }
        units += width;
        at += bytes;
    }
    return std::string(utf8.substr(0, at));
}

int parseNewsFile(std::string_view bytes, NewsRecord& record) {
    if (bytes.size() > kMaxNewsFileBytes) {
        return kNewsFileTooLarge;
    }
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) {
        return kNewsFileMalformed;
    }
    NewsRecord read;
    const pugi::xml_node root = document.child(kRootElement);
    for (size_t i = 0; i < kNewsItems; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), kItemElementFormat, i + 1);
        const pugi::xml_node item = root.child(name);
        read.items[i].title = field(item, kTitleElement, kNewsTitleUnits);
        read.items[i].content = field(item, kContentElement, kNewsContentUnits);
        read.items[i].url = field(item, kUrlElement, kNewsUrlUnits);
        read.items[i].time = field(item, kTimeElement, kNewsTimeUnits);
    }
    record = std::move(read);
    return kNewsFileOk;
}

}  // namespace qv::online
