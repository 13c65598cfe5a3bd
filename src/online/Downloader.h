// Fetches one file from a web server. Every service that reads from the network (the update
// check, the news and its pictures) goes through here, so that each download has the same rules:
// only http and https (redirects included), the server's certificate checked, a connect and a
// total time-out, a cap on the size, and nothing written until the whole file has arrived.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace qv::online {

inline constexpr int kDownloadOk = 0;
inline constexpr int kDownloadBadAddress = -1;     // not an http or https address
inline constexpr int kDownloadNetworkFailed = -2;  // no answer: name, connection, TLS, time-out
inline constexpr int kDownloadServerRefused = -3;  // the server answered with an error status
inline constexpr int kDownloadTooLarge = -4;       // larger than the cap
inline constexpr int kDownloadWriteFailed = -5;    // the file could not be written
inline constexpr int kDownloadStopped = -6;        // the caller asked to stop
inline constexpr int kDownloadInitFailed = -7;     // the transfer library could not start

inline constexpr long kDefaultConnectTimeoutMs = 10000;
inline constexpr long kDefaultTotalTimeoutMs = 30000;
inline constexpr int kMaxRedirects = 5;

struct DownloadLimits {
    long connectTimeoutMs = kDefaultConnectTimeoutMs;
    long totalTimeoutMs = kDefaultTotalTimeoutMs;
    size_t maxBytes = 0;  // the largest answer accepted; 0 accepts nothing
    // Asked now and then while the transfer runs; true stops it (kDownloadStopped).
    std::function<bool()> stopRequested;
};

// The body of `url` into `body`. On any failure `body` is left empty.
int downloadToMemory(const std::string& url, const DownloadLimits& limits, std::string& body);

// The body of `url` as the whole new content of `path`: written to a temporary file beside it and
// renamed over it once complete, so a failed or cut-off download leaves the old file as it was.
int downloadToFile(const std::string& url, const std::string& path, const DownloadLimits& limits);

// A short English description of a status, for the debug log and the command-line tool.
const char* downloadStatusText(int status);

}  // namespace qv::online
