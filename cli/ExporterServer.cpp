#include "ExporterServer.h"

#include <httplib.h>
#include <sys/socket.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstring>
#include <thread>

#include "exporter/Exposition.h"

namespace qv::cli {

namespace {

// Enough workers for a few dozen scrapers holding keep-alive connections at once.
constexpr size_t kWorkerThreads = 32;
// A scrape sends no body; anything larger than this is refused by the library (413).
constexpr size_t kMaxRequestBody = 4096;
constexpr time_t kReadTimeoutSeconds = 5;
constexpr time_t kWriteTimeoutSeconds = 5;
constexpr time_t kKeepAliveSeconds = 5;
constexpr std::chrono::milliseconds kStartPoll{1};
constexpr int kStatusNotFound = 404;
constexpr int kStatusMethodNotAllowed = 405;
constexpr int kStatusUnavailable = 503;
constexpr const char* kAllowedMethods = "GET, HEAD";
constexpr const char* kAnyPath = ".*";
constexpr const char* kTextContentType = "text/plain; charset=utf-8";
constexpr const char* kHtmlContentType = "text/html; charset=utf-8";
constexpr const char* kRootPage =
    "<!DOCTYPE html>\n"
    "<html><head><meta charset=\"utf-8\"><title>Quorvel K exporter</title></head>\n"
    "<body><h1>Quorvel K exporter</h1>\n"
    "<p><a href=\"/metrics\">Metrics</a></p>\n"
    "</body></html>\n";

bool servedPath(const std::string& path) {
    return path == kMetricsPath || path == kRootPath;
}

// Only the address may be reused after a restart; a second exporter on the same port must fail
// to bind instead of sharing the port with the first, as the library's default would let it.
void listenSocketOptions(socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
}

}  // namespace

struct ExporterServer::Impl {
    explicit Impl(const exporter::MetricSampler& metrics) : sampler(metrics) {}

    const exporter::MetricSampler& sampler;
    httplib::Server server;
    std::thread thread;
    std::atomic<bool> listenEnded{false};
    uint16_t port = 0;
};

bool parseListenAddress(std::string_view text, ListenAddress& address, std::string& error) {
    std::string_view host;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            error = "'" + std::string(text) + "' is not [IPV6-ADDRESS]:PORT";
            return false;
        }
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const size_t colon = text.rfind(':');
        if (colon == std::string_view::npos) {
            error = "'" + std::string(text) + "' is not HOST:PORT";
            return false;
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) {
            error = "write an IPv6 address in brackets: [ADDRESS]:PORT";
            return false;
        }
    }
    uint32_t number = 0;
    const char* end = port.data() + port.size();
    const auto [ptr, ec] = std::from_chars(port.data(), end, number);
    if (port.empty() || ec != std::errc() || ptr != end || number > UINT16_MAX) {
        error = "the port of '" + std::string(text) + "' is not a number from 0 to 65535";
        return false;
    }
    if (host.find_first_of(" \t\r\n/") != std::string_view::npos) {
        error = "'" + std::string(host) + "' is not a host";
        return false;
    }
    address.host = host.empty() ? std::string(kDefaultExporterHost) : std::string(host);
    address.port = static_cast<uint16_t>(number);
    return true;
}

std::string listenUrl(const std::string& host, uint16_t port) {
    const bool ipv6 = host.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

ExporterServer::ExporterServer(const exporter::MetricSampler& sampler)
    : impl_(std::make_unique<Impl>(sampler)) {
    httplib::Server& server = impl_->server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    server.set_socket_options(listenSocketOptions);
    server.set_payload_max_length(kMaxRequestBody);
    server.set_read_timeout(kReadTimeoutSeconds, 0);
    server.set_write_timeout(kWriteTimeoutSeconds, 0);
    server.set_keep_alive_timeout(kKeepAliveSeconds);
    // The head and the body of an answer go out in two writes; with Nagle's algorithm the second
    // waits for the scraper's delayed acknowledgement, some 40 ms on a kept-alive connection.
    server.set_tcp_nodelay(true);

    const exporter::MetricSampler* metrics = &impl_->sampler;
    server.Get(kMetricsPath, [metrics](const httplib::Request&, httplib::Response& response) {
        std::string body = metrics->scrape();
        if (body.empty()) {
            response.status = kStatusUnavailable;
            return;
        }
        response.set_content(std::move(body), exporter::kExpositionContentType);
    });
    server.Get(kRootPath, [](const httplib::Request&, httplib::Response& response) {
        response.set_content(kRootPage, kHtmlContentType);
    });
    // The exporter is read-only: other methods on its two paths are not allowed, elsewhere
    // there is nothing.
    const auto refuse = [](const httplib::Request& request, httplib::Response& response) {
        if (servedPath(request.path)) {
            response.status = kStatusMethodNotAllowed;
            response.set_header("Allow", kAllowedMethods);
        } else {
            response.status = kStatusNotFound;
        }
        response.set_content("", kTextContentType);
    };
    server.Post(kAnyPath, refuse);
    server.Put(kAnyPath, refuse);
    server.Patch(kAnyPath, refuse);
    server.Delete(kAnyPath, refuse);
    server.Options(kAnyPath, refuse);
}

ExporterServer::~ExporterServer() {
    stop();
}

bool ExporterServer::bind(const ListenAddress& address, std::string& error) {
    httplib::Server& server = impl_->server;
    int port = address.port;
    bool bound = false;
    if (address.port == 0) {
        port = server.bind_to_any_port(address.host);
        bound = port > 0;
    } else {
        bound = server.bind_to_port(address.host, address.port);
    }
    if (!bound) {
        error = "cannot listen on " + listenUrl(address.host, address.port) + ": " +
                std::strerror(errno);
        return false;
    }
    impl_->port = static_cast<uint16_t>(port);
    return true;
}

uint16_t ExporterServer::port() const {
    return impl_->port;
}

void ExporterServer::start() {
    impl_->listenEnded = false;
    impl_->thread = std::thread([this] {
        impl_->server.listen_after_bind();
        impl_->listenEnded = true;
    });
    // The socket listens since bind(), so no request is lost meanwhile; but a stop() before the
    // accept loop runs would not reach it.
    while (!impl_->server.is_running() && !impl_->listenEnded) {
        std::this_thread::sleep_for(kStartPoll);
    }
}

void ExporterServer::stop() {
    if (impl_->thread.joinable()) {
        impl_->server.stop();
        impl_->thread.join();
    }
}

}  // namespace qv::cli
