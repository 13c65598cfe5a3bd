// The desktop sidebar gadget: on the one system that has a sidebar (Windows 7), the gadget's
// files that ship beside the program are copied into the user's gadget folder the first time the
// program runs there, with the state file the gadget reads. Every step fails silently: a missing
// source file or a folder that cannot be made leaves the gadget incomplete and the program
// running.
#pragma once

#include <array>
#include <string>

#include "platform/SystemInfo.h"

namespace qv::tuning {

// The sub-folder beside the program that holds the gadget, and the same name under the user's
// gadget folder.
inline constexpr const char* kGadgetFolderName = "ZENTRAX.cab.gadget";
// Where the gadget folders live under the user profile.
inline constexpr const char* kGadgetsUnderProfile =
    "AppData/Local/Microsoft/Windows Sidebar/Gadgets";
inline constexpr std::array<const char*, 7> kGadgetFiles = {
    "cpu.png",    "gadget.css",    "gadget.html", "gadget.js",
    "gadget.xml", "settings.html", "settings.js"};
// The state file the gadget reads: beside the program, copied into the system folder.
inline constexpr const char* kGadgetStateFile = "CurrInfo.xml";

// The folders the step works with. An empty profile or system folder means there is none, and
// nothing is installed.
struct GadgetFolders {
    std::string programFolder;
    std::string userProfile;
    std::string systemFolder;  // the Windows folder
};

struct GadgetInstallResult {
    bool ran = false;            // the system has a sidebar and the step went through
    bool folderCreated = false;  // the user's gadget folder was made by this start
    int filesCopied = 0;         // gadget files and the state file copied by this start
    std::string stateFilePath;   // the state file's copy, kept for the life of the process
};

// Whether a system of this version has the sidebar: 6.1, or a major version of 7.
bool systemHasSidebar(const platform::OsVersion& version);

// The step, run once per start while the main window is set up.
GadgetInstallResult installGadget(platform::SystemInfo& system, const GadgetFolders& folders);

}  // namespace qv::tuning
