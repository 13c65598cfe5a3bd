// Where the running program lives, and the current folder.
#pragma once

#include <cstdint>
#include <string>

namespace qv::platform {

// Full path of the running executable; empty when the system cannot tell.
std::string executablePath();
// The folder part of a path, without the trailing separator ("." for a bare name).
std::string folderOf(const std::string& path);
// Makes `folder` the current folder; false when it cannot.
bool setCurrentFolder(const std::string& folder);
// The identifier of the calling thread, as the hardware layer's poster addresses threads.
uint32_t currentThreadId();

}  // namespace qv::platform
