#include "settings/FileRegistryStore.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/DataFolder.h"
#include "platform/DebugOutput.h"
#include "platform/ProgramLocation.h"
#include "settings/AutostartEntry.h"
#include "settings/RegistryStoreFile.h"

namespace qv::settings {

namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;
constexpr mode_t kAutostartFolderMode = 0755;
constexpr mode_t kAutostartFileMode = 0644;
constexpr size_t kMaxAutostartFileBytes = 64 * 1024;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

StorePaths defaultStorePaths() {
    StorePaths paths;
    const std::string override = environment(kConfigFolderEnvironment);
    if (!override.empty()) {
        paths.settingsFile = override + "/" + kSettingsFileName;
        paths.autostartFile = override + "/autostart/" + kAutostartFileName;
        return paths;
    }
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') {
        const std::string home = platform::homeFolder();
        if (home.empty()) {
            return paths;
        }
        config = home + "/.config";
    }
    paths.settingsFile = config + "/quorvel/" + kSettingsFileName;
    paths.autostartFile = config + "/autostart/" + kAutostartFileName;
    return paths;
}

FileRegistryStore::FileRegistryStore(StorePaths paths) : paths_(std::move(paths)) {}

RegistryStoreFile FileRegistryStore::load() {
    if (inMemory_) {
        return memory_;
    }
    std::string text;
    const int error = platform::readSmallFile(paths_.settingsFile, kMaxSettingsFileBytes, text);
    if (error == 0) {
        return RegistryStoreFile::parse(text);
    }
    if (error != ENOENT) {
        setAside(error);
    }
    return inMemory_ ? memory_ : RegistryStoreFile{};
}

void FileRegistryStore::setAside(int readError) {
    const char* path = paths_.settingsFile.c_str();
    std::string movedTo;
    // Only a file of ours is moved; something else in its place (a folder) is left alone.
    const int moved = readError == EISDIR || readError == EINVAL
                          ? readError
                          : platform::moveAside(paths_.settingsFile, kUnreadableSettingsTag, movedTo);
    if (moved == ENOENT) {
        return;  // another writer has moved it meanwhile
    }
    unreadable_.found = true;
    if (moved == 0) {
        unreadable_.savedAside = true;
        unreadable_.keptAs = movedTo;
        platform::debugOutput(
            "settings: cannot read %s (%s); kept as %s, starting on the default values\n", path,
            std::strerror(readError), movedTo.c_str());
        return;
    }
    inMemory_ = true;
    unreadable_.keptAs = paths_.settingsFile;
    platform::debugOutput(
        "settings: cannot read %s (%s) nor move it aside (%s); left as it is, starting on the "
        "default values, changes are kept for this run only\n",
        path, std::strerror(readError), std::strerror(moved));
}

bool FileRegistryStore::readValue(std::string_view name, uint32_t& value) {
    if (paths_.settingsFile.empty()) {
        return false;
    }
    return load().find(name, value);
}

template <typename Change>
bool FileRegistryStore::update(Change change) {
    if (paths_.settingsFile.empty()) {
        return false;
    }
    if (platform::makeFolders(platform::folderOf(paths_.settingsFile), kFolderMode) != 0) {
        return false;
    }
    // Read again before each write, so that values written meanwhile by another writer stay.
    RegistryStoreFile file = load();
    if (!change(file)) {
        return false;
    }
    if (inMemory_) {
        memory_ = std::move(file);
        return false;  // kept for this run, not stored
    }
    const int error = platform::writeFileAtomically(paths_.settingsFile, file.render(), kFileMode);
    if (error != 0) {
        platform::debugOutput("settings: cannot write %s: %s\n", paths_.settingsFile.c_str(),
                              std::strerror(error));
    }
    return error == 0;
}

bool FileRegistryStore::writeValue(std::string_view name, uint32_t value) {
    if (!RegistryStoreFile::validName(name)) {
        return false;
    }
    return update([&](RegistryStoreFile& file) { return file.set(name, value); });
}

bool FileRegistryStore::readText(std::string_view name, std::string& text) {
    if (paths_.settingsFile.empty()) {
        return false;
    }
    return load().findText(name, text);
}

bool FileRegistryStore::writeText(std::string_view name, std::string_view text) {
    if (!RegistryStoreFile::validName(name) || !RegistryStoreFile::validText(text)) {
        return false;
    }
    return update([&](RegistryStoreFile& file) { return file.setText(name, text); });
}

bool FileRegistryStore::readRunEntry(std::string& commandText) {
    if (paths_.autostartFile.empty()) {
        return false;
    }
    std::string text;
    if (platform::readSmallFile(paths_.autostartFile, kMaxAutostartFileBytes, text) != 0) {
        return false;
    }
    std::string exec;
    if (!readAutostartExec(text, exec) || exec.size() > kRunEntryMaxBytes) {
        return false;
    }
    commandText = std::move(exec);
    return true;
}

bool FileRegistryStore::writeRunEntry(const std::string& programPath, const std::string& word) {
    std::string exec;
    if (paths_.autostartFile.empty() || !autostartExecValue(programPath, word, exec) ||
        exec.size() > kRunEntryMaxBytes) {
        return false;
    }
    if (platform::makeFolders(platform::folderOf(paths_.autostartFile), kAutostartFolderMode) !=
        0) {
        return false;
    }
    return platform::writeFileAtomically(paths_.autostartFile, autostartFileText(exec),
                                         kAutostartFileMode) == 0;
}

bool FileRegistryStore::deleteRunEntry() {
    if (paths_.autostartFile.empty()) {
        return true;
    }
    return ::unlink(paths_.autostartFile.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR;
}

}  // namespace qv::settings
