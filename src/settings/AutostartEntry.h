// The Run entry as an XDG autostart file: a desktop entry whose Exec line starts the program
// with its start word, "path word".
#pragma once

#include <string>
#include <string_view>

namespace qv::settings {

inline constexpr const char* kAutostartFileName = "quorvel.desktop";

// The Exec value for the program and word, quoted and escaped as desktop entries require.
// False when the path holds a control character, which an Exec line cannot carry.
bool autostartExecValue(const std::string& programPath, const std::string& word, std::string& exec);

// The whole autostart file around an Exec value.
std::string autostartFileText(const std::string& exec);

// The Exec value of the file's "Desktop Entry" group, as written. False when the file has
// none, or when the entry is marked hidden (the desktop's way of switching it off).
bool readAutostartExec(std::string_view fileText, std::string& exec);

}  // namespace qv::settings
