#include "online/UpdateCheck.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "online/VersionFile.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "platform/Poster.h"

namespace qv::online {

namespace {

// A folder only this user can read, removed with what is in it when the check ends.
class PrivateFolder {
public:
    explicit PrivateFolder(const std::string& base) {
        std::error_code ec;
        std::string parent = base;
        if (parent.empty()) {
            parent = std::filesystem::temp_directory_path(ec).string();
            if (ec) {
                parent = "/tmp";
            }
        }
        std::string pattern = parent + "/quorvel-update-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~PrivateFolder() {
        if (!path_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(path_, ec);
        }
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

DownloadLimits versionFileLimits() {
    DownloadLimits limits;
    limits.maxBytes = kMaxVersionFileBytes;
    return limits;
}

UpdateCheckResult checkForUpdate(const std::string& versionFileUrl, const DownloadLimits& limits,
                                 const std::string& temporaryFolder) {
    UpdateCheckResult result;
    PrivateFolder folder(temporaryFolder);
    if (folder.path().empty()) {
        result.downloadStatus = kDownloadWriteFailed;
        return result;
    }
    const std::string file = folder.path() + "/" + kVersionFileName;
    result.downloadStatus = downloadToFile(versionFileUrl, file, limits);
    if (result.downloadStatus != kDownloadOk) {
        platform::debugOutput("update: version file not fetched: %s\n",
                              downloadStatusText(result.downloadStatus));
        return result;
    }
    std::string bytes;
    const int read = platform::readSmallFile(file, kMaxVersionFileBytes, bytes);
    if (read != 0) {
        result.downloadStatus = kDownloadWriteFailed;
        return result;
    }
    const VersionFile version = parseVersionFile(bytes);
    result.serverVersion = version.version;
    if (isNewerVersion(version.version)) {
        result.outcome = UpdateOutcome::kNewer;
        result.downloadUrl = version.url;
        result.items = splitInfoItems(version.info);
    } else {
        result.outcome = UpdateOutcome::kNoUpdate;
    }
    return result;
}

UpdateChecker::UpdateChecker(platform::Poster& poster, uint32_t uiThreadId)
    : poster_(poster), uiThreadId_(uiThreadId) {}

UpdateChecker::~UpdateChecker() {
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

bool UpdateChecker::start(const std::string& versionFileUrl, DownloadLimits limits) {
    if (running_.exchange(true)) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    {
        std::lock_guard lock(mutex_);
        result_.reset();
    }
    worker_ = std::jthread([this, versionFileUrl, limits](std::stop_token stop) mutable {
        limits.stopRequested = [stop] { return stop.stop_requested(); };
        UpdateCheckResult result = checkForUpdate(versionFileUrl, limits);
        {
            std::lock_guard lock(mutex_);
            result_ = std::move(result);
        }
        running_ = false;
        if (!stop.stop_requested()) {
            poster_.postThreadMessage(uiThreadId_, kMessageUpdateChecked, 0, 0);
        }
    });
    return true;
}

std::optional<UpdateCheckResult> UpdateChecker::takeResult() {
    std::lock_guard lock(mutex_);
    std::optional<UpdateCheckResult> taken = std::move(result_);
    result_.reset();
    return taken;
}

}  // namespace qv::online
