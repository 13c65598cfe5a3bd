// Fetching the news: the news file and the three pictures into the program's data folder, each
// tried on the download server first and on the web server when that fails. `NewsService` runs
// the fetch on a worker thread, keeps the news record, and tells the user-interface thread
// through the poster when a fetch has ended.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "online/Downloader.h"
#include "online/NewsFile.h"
#include "online/OnlineHosts.h"

namespace qv::platform {
class Poster;
}

namespace qv::online {

inline constexpr const char* kNewsServerFile = "/qvxml/News.xml";
inline constexpr const char* kNewsPictureServerFormat = "/qvxml/News%zu.bmp";
inline constexpr const char* kNewsLocalFile = "News.xml";
inline constexpr const char* kNewsPictureLocalFormat = "QVNews%zu.bmp";
// A picture larger than this is neither downloaded nor shown.
inline constexpr size_t kMaxNewsPictureBytes = 4 * 1024 * 1024;
// Message posted by the worker when a fetch has ended.
inline constexpr uint32_t kMessageNewsFetched = 0x0400 + 32777;

// The local path of item `item`'s picture (1 to 3) in `folder`.
std::string newsPicturePath(const std::string& folder, size_t item);

// Downloads `path` from the first server, or from the second when that fails, into `file`.
// The status of the last try.
int downloadFromEither(const std::string& firstServer, const std::string& secondServer,
                       const std::string& path, const std::string& file,
                       const DownloadLimits& limits);

// The whole fetch: 0, or the news file's download status when neither server gave it, or its
// parse status when it could not be read (then `record` is untouched and no picture is fetched).
// A picture that neither server gives is skipped.
int fetchNews(const OnlineHosts& hosts, const std::string& folder, const DownloadLimits& limits,
              NewsRecord& record);

class NewsService {
public:
    NewsService(platform::Poster& poster, uint32_t uiThreadId, std::string folder);
    // Asks a running fetch to stop and waits for it.
    ~NewsService();
    NewsService(const NewsService&) = delete;
    NewsService& operator=(const NewsService&) = delete;

    // Starts a fetch on the worker; false while one is running.
    bool startFetch(const OnlineHosts& hosts, DownloadLimits limits = {});
    bool fetching() const { return fetching_.load(); }
    // The status of the last fetch that ended (kDownloadNetworkFailed before any).
    int lastStatus() const { return lastStatus_.load(); }
    NewsRecord record() const;
    const std::string& folder() const { return folder_; }

private:
    platform::Poster& poster_;
    uint32_t uiThreadId_;
    std::string folder_;
    std::atomic<bool> fetching_{false};
    std::atomic<int> lastStatus_{kDownloadNetworkFailed};
    mutable std::mutex mutex_;
    NewsRecord record_;
    std::jthread worker_;
};

}  // namespace qv::online
