// Where the files that come with the program are found. In a build tree everything lies beside
// the program (build/bin: the helper programs, the simulated driver and its presets). An
// installed program lives in <prefix>/bin and keeps its private programs and libraries in
// <prefix>/lib/quorvel (some systems use <prefix>/libexec/quorvel) and the data it ships in
// <prefix>/share/quorvel. Every lookup of such a file goes through here, so that both layouts
// work without configuration.
#pragma once

#include <string>
#include <vector>

namespace qv::platform {

// The private folders, relative to the folder of the program.
inline constexpr const char* kPrivateLibraryFolder = "../lib/quorvel";
inline constexpr const char* kPrivateExecFolder = "../libexec/quorvel";
inline constexpr const char* kSharedDataFolder = "../share/quorvel";

// Folder of the running executable, without a trailing separator; "." when the system cannot
// tell.
std::string executableFolder();

// The folders searched, in order, for a helper program or library of a program that lives in
// `programFolder`: the folder itself, then the private library and exec folders.
std::vector<std::string> companionFolders(const std::string& programFolder);
// The same for shipped data: the folder itself, then the shared data folder.
std::vector<std::string> sharedDataFolders(const std::string& programFolder);

// The first `folder/name` of companionFolders(programFolder) that exists; when none does, the
// path beside the program, so that a failure names the place a build tree uses. An empty
// `programFolder` answers the bare name (for the system's own search, as dlopen does).
std::string findCompanionFile(const std::string& programFolder, const std::string& name);
// The same over sharedDataFolders(programFolder).
std::string findSharedDataFile(const std::string& programFolder, const std::string& name);

// Both lookups for the running program.
std::string companionFile(const std::string& name);
std::string sharedDataFile(const std::string& name);

}  // namespace qv::platform
