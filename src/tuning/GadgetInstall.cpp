#include "tuning/GadgetInstall.h"

#include <filesystem>
#include <system_error>

#include "platform/DebugOutput.h"

namespace qv::tuning {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kSidebarMajor = 6;
constexpr uint32_t kSidebarMinor = 1;
constexpr uint32_t kSidebarOnlyMajor = 7;

// Copies one file over any file of that name; a failure is only written to the debug output.
bool copyReplacing(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    if (error) {
        platform::debugOutput("gadget: %s not copied: %s\n", from.string().c_str(),
                              error.message().c_str());
        return false;
    }
    return true;
}

}  // namespace

bool systemHasSidebar(const platform::OsVersion& version) {
    return (version.major == kSidebarMajor && version.minor == kSidebarMinor) ||
           version.major == kSidebarOnlyMajor;
}

GadgetInstallResult installGadget(platform::SystemInfo& system, const GadgetFolders& folders) {
    GadgetInstallResult result;
    // A version of 0.0 is one that could not be read.
    const platform::OsVersion version = system.osVersion();
    if (!systemHasSidebar(version) || folders.userProfile.empty() || folders.systemFolder.empty()) {
        return result;
    }
    const fs::path target =
        fs::path(folders.userProfile) / kGadgetsUnderProfile / kGadgetFolderName;
    std::error_code error;
    if (!fs::exists(target, error)) {
        // One level only: a profile without the sidebar's folders gets no gadget.
        result.folderCreated = fs::create_directory(target, error) && !error;
        if (!result.folderCreated) {
            platform::debugOutput("gadget: %s not made\n", target.string().c_str());
        }
    }
    const fs::path stateCopy = fs::path(folders.systemFolder) / kGadgetStateFile;
    result.stateFilePath = stateCopy.string();
    result.ran = true;
    if (!result.folderCreated) {
        // Installed at an earlier start (or not possible): even deleted files stay deleted.
        return result;
    }
    const fs::path source = fs::path(folders.programFolder) / kGadgetFolderName;
    for (const char* name : kGadgetFiles) {
        result.filesCopied += copyReplacing(source / name, target / name) ? 1 : 0;
    }
    result.filesCopied +=
        copyReplacing(fs::path(folders.programFolder) / kGadgetStateFile, stateCopy) ? 1 : 0;
    return result;
}

}  // namespace qv::tuning
