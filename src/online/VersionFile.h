// The update server's version file: an INI file with the newest version number, the address of
// the download and the list of changes.
//
//   [Version]  Version=33031        (integer, 10 when missing)
//   [URL]      URL=https://...      (at most 100 characters)
//   [INFO]     INFO=|first|second   (at most 1024 characters; each item starts with "|")
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::online {

// The program's own version number; versions are compared as integers.
inline constexpr int32_t kProgramVersion = 33030;
// What a file without a version number counts as: older than any program.
inline constexpr int32_t kMissingVersion = 10;
inline constexpr size_t kMaxVersionUrlUnits = 100;
inline constexpr size_t kMaxVersionInfoUnits = 1024;
// A version file larger than this is not read at all.
inline constexpr size_t kMaxVersionFileBytes = 64 * 1024;

inline constexpr const char* kVersionSection = "Version";
inline constexpr const char* kVersionKey = "Version";
inline constexpr const char* kUrlSection = "URL";
inline constexpr const char* kUrlKey = "URL";
inline constexpr const char* kInfoSection = "INFO";
inline constexpr const char* kInfoKey = "INFO";
inline constexpr char kInfoSeparator = '|';

struct VersionFile {
    int32_t version = kMissingVersion;
    std::string url;   // UTF-8
    std::string info;  // UTF-8, as stored
};

// Reads a version file's contents (UTF-16LE or UTF-8). A file too large or not readable as an INI
// file gives the defaults: no version number, no address, no changes.
VersionFile parseVersionFile(std::string_view bytes);

// The change items of an INFO value: for each "|", the text up to the next "|" or to the end.
// Text before the first "|" is ignored; a value without "|" has no items.
std::vector<std::string> splitInfoItems(std::string_view info);

// Whether the server's version is newer than this program.
bool isNewerVersion(int32_t serverVersion);

}  // namespace qv::online
