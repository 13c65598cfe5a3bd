// The update check: the version file fetched from the update server into a private temporary
// folder, read, and deleted; the answer is whether the server has a newer program, where to get
// it and what it brings. `UpdateChecker` runs the check on a worker thread and tells the
// user-interface thread through the poster when it is done, so a window never waits on the
// network.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "online/Downloader.h"

namespace qv::platform {
class Poster;
}

namespace qv::online {

// The version file's place on the update server.
inline constexpr const char* kVersionFilePath = "/rain/serve/Version.ini";
inline constexpr const char* kVersionFileName = "Version.ini";
// Message posted by the worker when its check has ended.
inline constexpr uint32_t kMessageUpdateChecked = 0x0400 + 1670;

enum class UpdateOutcome { kNoUpdate, kNewer, kNetworkFailure };

struct UpdateCheckResult {
    UpdateOutcome outcome = UpdateOutcome::kNetworkFailure;
    int downloadStatus = kDownloadNetworkFailed;  // of the version file
    int32_t serverVersion = 0;                    // when it was read
    std::string downloadUrl;                      // kNewer only
    std::vector<std::string> items;               // kNewer only
};

// The download limits of a version file: the library's time-outs, the file's size cap.
DownloadLimits versionFileLimits();

// Fetches `versionFileUrl` into a new folder under `temporaryFolder` (the system's when empty),
// reads it and removes the folder again.
UpdateCheckResult checkForUpdate(const std::string& versionFileUrl, const DownloadLimits& limits,
                                 const std::string& temporaryFolder = {});

class UpdateChecker {
public:
    UpdateChecker(platform::Poster& poster, uint32_t uiThreadId);
    // Asks a running check to stop and waits for it.
    ~UpdateChecker();
    UpdateChecker(const UpdateChecker&) = delete;
    UpdateChecker& operator=(const UpdateChecker&) = delete;

    // Starts a check; false while one is still running.
    bool start(const std::string& versionFileUrl, DownloadLimits limits = versionFileLimits());
    bool running() const { return running_.load(); }
    // The result of the check that ended, once (the user-interface thread takes it when the
    // message kMessageUpdateChecked arrives).
    std::optional<UpdateCheckResult> takeResult();

private:
    platform::Poster& poster_;
    uint32_t uiThreadId_;
    std::atomic<bool> running_{false};
    std::mutex mutex_;
    std::optional<UpdateCheckResult> result_;
    std::jthread worker_;
};

}  // namespace qv::online
