#include "settings/FileRegistryStore.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/AtomicFile.h"
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

std::string homeFolder() {
    std::string home = environment("HOME");
    if (!home.empty()) {
        return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    return (entry != nullptr && entry->pw_dir != nullptr) ? std::string(entry->pw_dir)
                                                          : std::string();
}

// The file's values; an unreadable or oversized file reads as no values.
RegistryStoreFile loadSettings(const std::string& path) {
    std::string text;
    const int error = platform::readSmallFile(path, kMaxSettingsFileBytes, text);
    if (error != 0) {
        if (error != ENOENT) {
            platform::debugOutput("settings: cannot read %s: %s\n", path.c_str(),
                                  std::strerror(error));
        }
        return {};
    }
    return RegistryStoreFile::parse(text);
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
        const std::string home = homeFolder();
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

bool FileRegistryStore::readValue(std::string_view name, uint32_t& value) {
    if (paths_.settingsFile.empty()) {
        return false;
    }
    return loadSettings(paths_.settingsFile).find(name, value);
}

bool FileRegistryStore::writeValue(std::string_view name, uint32_t value) {
    if (paths_.settingsFile.empty() || !RegistryStoreFile::validName(name)) {
        return false;
    }
    if (platform::makeFolders(platform::folderOf(paths_.settingsFile), kFolderMode) != 0) {
        return false;
    }
    // Read again before each write, so that values written meanwhile by another writer stay.
    RegistryStoreFile file = loadSettings(paths_.settingsFile);
    file.set(name, value);
    const int error = platform::writeFileAtomically(paths_.settingsFile, file.render(), kFileMode);
    if (error != 0) {
        platform::debugOutput("settings: cannot write %s: %s\n", paths_.settingsFile.c_str(),
                              std::strerror(error));
    }
    return error == 0;
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
