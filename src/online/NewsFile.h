// The news file: up to three items, each with a title, a text, a link and a date, read by their
// element paths ("/News/News1/Title", ...). Each field is kept at most as long as its place in
// the news record (UTF-16 units, one of them for the terminator).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace qv::online {

inline constexpr size_t kNewsItems = 3;
inline constexpr size_t kNewsTitleUnits = 100;
inline constexpr size_t kNewsContentUnits = 256;
inline constexpr size_t kNewsUrlUnits = 100;
inline constexpr size_t kNewsTimeUnits = 100;
// A news file larger than this is not read.
inline constexpr size_t kMaxNewsFileBytes = 256 * 1024;

struct NewsItem {
    std::string title;  // UTF-8, each cut to its field size
    std::string content;
    std::string url;
    std::string time;
    bool operator==(const NewsItem&) const = default;
};

struct NewsRecord {
    std::array<NewsItem, kNewsItems> items;
    bool operator==(const NewsRecord&) const = default;
};

inline constexpr int kNewsFileOk = 0;
inline constexpr int kNewsFileTooLarge = -1;
inline constexpr int kNewsFileMalformed = -2;

// Reads a news file's contents (UTF-16 with its byte-order mark, or UTF-8) into `record`.
// Missing elements leave their fields empty. A file too large or not well-formed XML leaves
// `record` as it was.
int parseNewsFile(std::string_view bytes, NewsRecord& record);

// `utf8` cut to at most `fieldUnits` - 1 UTF-16 units, never inside a character.
std::string cutToField(std::string_view utf8, size_t fieldUnits);

}  // namespace qv::online
