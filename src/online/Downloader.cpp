#include "online/Downloader.h"

#include <curl/curl.h>

#include <mutex>

#include "online/WebLink.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"

namespace qv::online {

namespace {

constexpr mode_t kDownloadedFileMode = 0644;
constexpr long kFirstErrorStatus = 400;
constexpr const char* kWebProtocols = "http,https";

struct Transfer {
    std::string* body = nullptr;
    size_t maxBytes = 0;
    bool tooLarge = false;
    const std::function<bool()>* stopRequested = nullptr;
    bool stopped = false;
};

size_t receive(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (bytes > transfer->maxBytes - transfer->body->size()) {
        transfer->tooLarge = true;
        return 0;  // ends the transfer with a write error
    }
    transfer->body->append(data, bytes);
    return bytes;
}

int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(user);
    if (*transfer->stopRequested && (*transfer->stopRequested)()) {
        transfer->stopped = true;
        return 1;
    }
    return 0;
}

bool initialiseLibrary() {
    static std::once_flag once;
    static CURLcode result = CURLE_FAILED_INIT;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result == CURLE_OK;
}

// Options that fail to set are a library built without them: the transfer then does not start.
bool configure(CURL* curl, const std::string& url, const DownloadLimits& limits,
               Transfer& transfer) {
    bool ok = true;
    ok = ok && curl_easy_setopt(curl, CURLOPT_URL, url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kWebProtocols) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kWebProtocols) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok = ok &&
         curl_easy_setopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects)) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK;
    ok = ok &&
         curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                                static_cast<curl_off_t>(limits.maxBytes)) == CURLE_OK;
    // Worker threads: no signals for the resolver's time-out.
    ok = ok && curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, receive) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progress) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    return ok;
}

}  // namespace

int downloadToMemory(const std::string& url, const DownloadLimits& limits, std::string& body) {
    body.clear();
    if (!isWebLink(url)) {
        platform::debugOutput("download: refused '%s', not a web address\n", url.c_str());
        return kDownloadBadAddress;
    }
    if (!initialiseLibrary()) {
        return kDownloadInitFailed;
    }
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return kDownloadInitFailed;
    }
    Transfer transfer;
    transfer.body = &body;
    transfer.maxBytes = limits.maxBytes;
    transfer.stopRequested = &limits.stopRequested;
    int status = kDownloadOk;
    if (!configure(curl, url, limits, transfer)) {
        status = kDownloadInitFailed;
    } else {
        const CURLcode result = curl_easy_perform(curl);
        long httpStatus = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &httpStatus);
        if (transfer.stopped) {
            status = kDownloadStopped;
        } else if (transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
            status = kDownloadTooLarge;
        } else if (result != CURLE_OK) {
            platform::debugOutput("download: %s: %s\n", url.c_str(), curl_easy_strerror(result));
            status = kDownloadNetworkFailed;
        } else if (httpStatus >= kFirstErrorStatus || httpStatus == 0) {
            platform::debugOutput("download: %s: server answered %ld\n", url.c_str(), httpStatus);
            status = kDownloadServerRefused;
        }
    }
    curl_easy_cleanup(curl);
    if (status != kDownloadOk) {
        body.clear();
    }
    return status;
}

int downloadToFile(const std::string& url, const std::string& path, const DownloadLimits& limits) {
    std::string body;
    const int status = downloadToMemory(url, limits, body);
    if (status != kDownloadOk) {
        return status;
    }
    const int written = platform::writeFileAtomically(path, body, kDownloadedFileMode);
    if (written != 0) {
        platform::debugOutput("download: cannot write %s (errno %d)\n", path.c_str(), written);
        return kDownloadWriteFailed;
    }
    return kDownloadOk;
}

const char* downloadStatusText(int status) {
    switch (status) {
        case kDownloadOk:
            return "downloaded";
        case kDownloadBadAddress:
            return "not a web address";
        case kDownloadNetworkFailed:
            return "network connection failed";
        case kDownloadServerRefused:
            return "the server refused the file";
        case kDownloadTooLarge:
            return "the file is too large";
        case kDownloadWriteFailed:
            return "the file could not be written";
        case kDownloadStopped:
            return "stopped";
        case kDownloadInitFailed:
            return "the download library could not start";
        default:
            return "unknown status";
    }
}

}  // namespace qv::online
