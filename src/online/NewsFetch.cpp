#include "online/NewsFetch.h"

#include <cstdio>

#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "platform/Poster.h"

namespace qv::online {

namespace {

std::string formatted(const char* pattern, size_t item) {
    char text[64];
    std::snprintf(text, sizeof(text), pattern, item);
    return text;
}

DownloadLimits withCap(DownloadLimits limits, size_t maxBytes) {
    limits.maxBytes = maxBytes;
    return limits;
}

}  // namespace

std::string newsPicturePath(const std::string& folder, size_t item) {
    return folder + "/" + formatted(kNewsPictureLocalFormat, item);
}

int downloadFromEither(const std::string& firstServer, const std::string& secondServer,
                       const std::string& path, const std::string& file,
                       const DownloadLimits& limits) {
    int status = downloadToFile(joinServerPath(firstServer, path), file, limits);
    if (status == kDownloadOk || status == kDownloadStopped) {
        return status;
    }
    status = downloadToFile(joinServerPath(secondServer, path), file, limits);
    return status;
}

int fetchNews(const OnlineHosts& hosts, const std::string& folder, const DownloadLimits& limits,
              NewsRecord& record) {
    const std::string newsFile = folder + "/" + kNewsLocalFile;
    const int fetched = downloadFromEither(hosts.downloadServer, hosts.webServer, kNewsServerFile,
                                           newsFile, withCap(limits, kMaxNewsFileBytes));
    if (fetched != kDownloadOk) {
        platform::debugOutput("news: %s not fetched: %s\n", kNewsLocalFile,
                              downloadStatusText(fetched));
        return fetched;
    }
    std::string bytes;
    int parsed = platform::readSmallFile(newsFile, kMaxNewsFileBytes, bytes) == 0
                     ? parseNewsFile(bytes, record)
                     : kNewsFileTooLarge;
    if (parsed != kNewsFileOk) {
        platform::debugOutput("news: %s not readable (%d)\n", kNewsLocalFile, parsed);
        return parsed;
    }
    for (size_t item = 1; item <= kNewsItems; ++item) {
        const int picture = downloadFromEither(
            hosts.downloadServer, hosts.webServer, formatted(kNewsPictureServerFormat, item),
            newsPicturePath(folder, item), withCap(limits, kMaxNewsPictureBytes));
        if (picture == kDownloadStopped) {
            return picture;
        }
        if (picture != kDownloadOk) {
            platform::debugOutput("news: picture %zu skipped: %s\n", item,
                                  downloadStatusText(picture));
        }
    }
    return kDownloadOk;
}

NewsService::NewsService(platform::Poster& poster, uint32_t uiThreadId, std::string folder)
    : poster_(poster), uiThreadId_(uiThreadId), folder_(std::move(folder)) {
    // Without a data folder the files go to the current folder, which start-up made the data
    // folder where there is one; never to the file system's root.
    if (folder_.empty()) {
        folder_ = ".";
    }
}

NewsService::~NewsService() {
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

bool NewsService::startFetch(const OnlineHosts& hosts, DownloadLimits limits) {
    if (fetching_.exchange(true)) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    worker_ = std::jthread([this, hosts, limits](std::stop_token stop) mutable {
        limits.stopRequested = [stop] { return stop.stop_requested(); };
        NewsRecord record = this->record();
        const int status = fetchNews(hosts, folder_, limits, record);
        {
            std::lock_guard lock(mutex_);
            record_ = std::move(record);
        }
        lastStatus_ = status;
        fetching_ = false;
        if (!stop.stop_requested()) {
            poster_.postThreadMessage(uiThreadId_, kMessageNewsFetched,
                                      static_cast<uintptr_t>(status == kDownloadOk), 0);
        }
    });
    return true;
}

NewsRecord NewsService::record() const {
    std::lock_guard lock(mutex_);
    return record_;
}

}  // namespace qv::online
