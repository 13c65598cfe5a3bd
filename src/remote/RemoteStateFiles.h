// The two XML files a phone reads: PCInfo.xml (the main window's selection and clocks) and
// PyrandelInfo.xml (the fan speed range of the selected GPU). Both live in the program's data
// folder and must already exist: the program replaces the text of the elements that are there
// and saves the document back whole. An element missing from the file stays missing and the
// others are still written; a document that cannot be loaded is left alone.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::remote {

inline constexpr const char* kStateFileName = "PCInfo.xml";
inline constexpr const char* kFanRangeFileName = "PyrandelInfo.xml";

inline constexpr const char* kElementGpuIndex = "/Info/GpuIdex";
inline constexpr const char* kElementMode = "/Info/ModeIdex";
inline constexpr const char* kElementGpuClock = "/Info/GpuClock";
inline constexpr const char* kElementShaderClock = "/Info/ShaderClock";
inline constexpr const char* kElementMemoryClock = "/Info/MemoryClock";
inline constexpr const char* kElementBlink = "/Info/Blink";
inline constexpr const char* kElementFanAuto = "/Info/BFanAuto";
inline constexpr const char* kElementTime = "/Info/Time";
inline constexpr const char* kElementFansMin = "/ServerInfo/ComputerInfo/GpuInfo/FansMin";
inline constexpr const char* kElementFansMax = "/ServerInfo/ComputerInfo/GpuInfo/FansMax";

// Results.
inline constexpr int kStateFileOk = 0;
inline constexpr int kStateFileUnreadable = -20;  // missing, too large or not XML: left alone
inline constexpr int kStateFileNotSaved = -21;
inline constexpr int kStateFileTooLong = -22;  // longer than a type 17 packet can carry

// The largest state document the program loads at all.
inline constexpr size_t kStateDocumentMaxBytes = 1 << 20;

struct StateFileTime {
    unsigned hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The first pass: Blink, BFanAuto and Time.
int writeStateFileFirstPass(const std::string& path, bool blink, bool fanAutomatic,
                            StateFileTime time);
// The second pass: GpuIdex, ModeIdex and the three clocks (MHz).
int writeStateFileSecondPass(const std::string& path, int gpuIndex, int mode, int gpuMHz,
                             int shaderMHz, int memoryMHz);
// What the second pass writes.
struct StateFileSelection {
    int gpuIndex = 0, mode = 0, gpuMHz = 0, shaderMHz = 0, memoryMHz = 0;
};
// Both passes' texts in one save (the second pass's only when `selection` is given): the
// answer to a phone's command writes the file once instead of twice.
int writeStateFileOnce(const std::string& path, bool blink, bool fanAutomatic,
                       StateFileTime time, const StateFileSelection* selection);
int writeFanRange(const std::string& path, int minPercent, int maxPercent);
// The state file's bytes as stored, for a type 17 packet; kStateFileTooLong above
// kStateFileMaxBytes.
int readStateFile(const std::string& path, std::string& bytes);

// ModeIdex: 1, 2 or 3, any other mode 0.
int modeIndexText(int mode);
std::string formatTime(StateFileTime time);

// Loads the document at `path`, replaces the text of each element path that is there, and
// saves it back atomically. kStateFileUnreadable with nothing written when it cannot be loaded.
int replaceElementTexts(const std::string& path,
                        const std::vector<std::pair<const char*, std::string>>& texts);

// The templates shipped with the program, copied into `dataFolder` where a file is missing, so
// that a fresh installation has both files. Existing files are never replaced.
void installStateFileTemplates(const std::string& dataFolder);

// Answers a state file's values, for the command-line client and the tests; an element that is
// missing answers an empty text.
std::string elementText(std::string_view document, const char* elementPath);

}  // namespace qv::remote
