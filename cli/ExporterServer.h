// The HTTP side of `qvctl exporter`: /metrics answered from the sampler's last sample, and a
// small page at / that links it. Everything else is refused by status code. The HTTP protocol
// itself is the library's; nothing here parses a request.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "exporter/MetricSampler.h"

namespace qv::cli {

inline constexpr const char* kDefaultExporterHost = "127.0.0.1";
inline constexpr uint16_t kDefaultExporterPort = 9437;
inline constexpr const char* kMetricsPath = "/metrics";
inline constexpr const char* kRootPath = "/";

struct ListenAddress {
    std::string host = kDefaultExporterHost;  // an IPv4 address, an IPv6 address or a host name
    uint16_t port = kDefaultExporterPort;     // 0: any free port
};

// "HOST:PORT", "[IPV6]:PORT", or ":PORT" for the default host. False with the reason in `error`.
bool parseListenAddress(std::string_view text, ListenAddress& address, std::string& error);

// "http://HOST:PORT" with IPv6 addresses in brackets.
std::string listenUrl(const std::string& host, uint16_t port);

class ExporterServer {
public:
    explicit ExporterServer(const exporter::MetricSampler& sampler);
    ~ExporterServer();
    ExporterServer(const ExporterServer&) = delete;
    ExporterServer& operator=(const ExporterServer&) = delete;

    // Binds the listening socket; with port 0 the system picks a free port. False with the reason
    // in `error` (the address is taken, or not one of this machine's).
    bool bind(const ListenAddress& address, std::string& error);
    // The port bound, 0 before bind().
    uint16_t port() const;

    // Answers requests on a thread of its own until stop().
    void start();
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qv::cli
