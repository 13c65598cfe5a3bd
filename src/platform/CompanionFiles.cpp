#include "platform/CompanionFiles.h"

#include <filesystem>
#include <system_error>

#include "platform/ProgramLocation.h"

namespace qv::platform {

namespace {

// "/usr/bin" and "../lib/quorvel" make "/usr/lib/quorvel", so that the paths the program
// passes on (to dlopen, to a child process, into messages) read as a person expects.
std::string joined(const std::string& folder, const std::string& relative) {
    return std::filesystem::path(folder + "/" + relative).lexically_normal().string();
}

std::vector<std::string> folderList(const std::string& programFolder,
                                    std::initializer_list<const char*> relatives) {
    std::vector<std::string> folders = {programFolder};
    for (const char* relative : relatives) {
        folders.push_back(joined(programFolder, relative));
    }
    return folders;
}

std::string firstExisting(const std::string& programFolder, const std::vector<std::string>& folders,
                          const std::string& name) {
    if (programFolder.empty()) {
        return name;
    }
    for (const std::string& folder : folders) {
        const std::string path = folder + "/" + name;
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            return path;
        }
    }
    return programFolder + "/" + name;
}

}  // namespace

std::string executableFolder() {
    const std::string path = executablePath();
    return path.empty() ? std::string(".") : folderOf(path);
}

std::vector<std::string> companionFolders(const std::string& programFolder) {
    return folderList(programFolder, {kPrivateLibraryFolder, kPrivateExecFolder});
}

std::vector<std::string> sharedDataFolders(const std::string& programFolder) {
    return folderList(programFolder, {kSharedDataFolder});
}

std::string findCompanionFile(const std::string& programFolder, const std::string& name) {
    return firstExisting(programFolder, companionFolders(programFolder), name);
}

std::string findSharedDataFile(const std::string& programFolder, const std::string& name) {
    return firstExisting(programFolder, sharedDataFolders(programFolder), name);
}

std::string companionFile(const std::string& name) {
    return findCompanionFile(executableFolder(), name);
}

std::string sharedDataFile(const std::string& name) {
    return findSharedDataFile(executableFolder(), name);
}

}  // namespace qv::platform
