// Where the running program lives, and the current folder.
#pragma once

#include <cstdint>
#include <string>

namespace qv::platform {

// Full path of the running executable; empty when the system cannot tell.
std::string executablePath();
// The folder part of a path, without the trailing separator ("." for a bare name).
std::string folderOf(const std::string& path);
// Names the folder the program's data files (settings file, profiles, fan speeds) are kept in,
// in place of the user's data folder: for a second copy of the program beside an installed one,
// and for tests, which must not write into the user's folders.
inline constexpr const char* kDataFolderEnvironment = "QUORVEL_DATA_DIR";
// The user's data folder of the program: $QUORVEL_DATA_DIR, else $XDG_DATA_HOME/quorvel (an
// absolute XDG_DATA_HOME only, as the base directory rules say), else
// <home>/.local/share/quorvel; empty when there is no home folder either. Not created here.
std::string userDataFolder();
// Makes `folder` the current folder; false when it cannot.
bool setCurrentFolder(const std::string& folder);
// The identifier of the calling thread, as the hardware layer's poster addresses threads.
uint32_t currentThreadId();

}  // namespace qv::platform
