#include "support/LocalHttpServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace qv::test {

namespace {
constexpr const char* kLoopback = "127.0.0.1";
constexpr int kStartWaitMs = 5000;
}  // namespace

struct LocalHttpServer::Impl {
    httplib::Server server;
    std::thread thread;
    mutable std::mutex mutex;
    std::map<std::string, std::string> files;
    std::map<std::string, int> counts;
};

LocalHttpServer::LocalHttpServer() : impl_(std::make_unique<Impl>()) {
    impl_->server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(impl_->mutex);
        ++impl_->counts[request.path];
        const auto found = impl_->files.find(request.path);
        if (found == impl_->files.end()) {
            response.status = 404;
            return;
        }
        response.set_content(found->second, "application/octet-stream");
    });
    port_ = impl_->server.bind_to_any_port(kLoopback);
    if (port_ <= 0) {
        port_ = 0;
        return;
    }
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    // stop() only ends a server that is already running.
    for (int waited = 0; !impl_->server.is_running() && waited < kStartWaitMs; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LocalHttpServer::~LocalHttpServer() {
    impl_->server.stop();
    if (impl_->thread.joinable()) {
        impl_->thread.join();
    }
}

void LocalHttpServer::serve(const std::string& path, std::string body) {
    std::lock_guard lock(impl_->mutex);
    impl_->files[path] = std::move(body);
}

void LocalHttpServer::remove(const std::string& path) {
    std::lock_guard lock(impl_->mutex);
    impl_->files.erase(path);
}

int LocalHttpServer::requests(const std::string& path) const {
    std::lock_guard lock(impl_->mutex);
    const auto found = impl_->counts.find(path);
    return found == impl_->counts.end() ? 0 : found->second;
}

std::string LocalHttpServer::address() const {
    return std::string("http://") + kLoopback + ":" + std::to_string(port_);
}

std::string LocalHttpServer::deadAddress() {
    // A port the system gave out and that is closed again at once: nobody listens there.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 9;  // discard; closed on any test machine
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return std::string("http://") + kLoopback + ":" + std::to_string(port);
}

}  // namespace qv::test
