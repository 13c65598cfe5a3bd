#include "remote/RemoteServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace qv::remote {
namespace {

// Largest read kept before a packet is complete: one header and the largest client payload.
constexpr size_t kIncomingMax = kHeaderSize + kClientPayloadMax;
constexpr int kListenBacklog = 8;
// Addresses whose failed logins are remembered; beyond it the ones that no longer count go.
constexpr size_t kFailureTableMax = 1024;

// Body sizes of the commands; -1 for a type that is no command.
int commandBodySize(uint8_t type) {
    switch (type) {
        case kTypeReadState:
        case kTypeApply:
            return 0;
        case kTypeSelect:
            return 8;
        case kTypeSetClocks:
            return 12;
        case kTypeSetFan:
            return 4;
        default:
            return -1;
    }
}

bool setNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
           fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

std::string addressText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text,
                  sizeof text);
    } else if (address.ss_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text,
                  sizeof text);
    }
    return text;
}

// A numeric address and port, resolved without asking a name server.
addrinfo* resolve(const std::string& host, uint16_t port, int type, bool passive) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
        return nullptr;
    }
    return found;
}

void sendNow(int fd, const std::string& bytes) {
    // Best effort on a socket about to close: the refusal packets are small.
    [[maybe_unused]] const ssize_t sent =
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

}  // namespace

struct RemoteServer::Connection {
    int fd = -1;
    uint32_t handle = kNoHandle;
    std::string address;
    std::unique_ptr<LoginExchange> login;
    std::string session;  // empty until logged in
    uint32_t nextSequence = 1;
    uint64_t deadlineMs = 0;
    std::string incoming;
    std::string outgoing;
    bool closing = false;  // close once `outgoing` is out
};

RemoteServer::RemoteServer(RemoteBridge& bridge, RemoteServerOptions options)
    : bridge_(bridge), options_(std::move(options)), key_(passwordKey(options_.password)) {
    if (options_.clock == nullptr) {
        options_.clock = &platform::SystemClock::instance();
    }
}

RemoteServer::~RemoteServer() {
    stop();
}

uint64_t RemoteServer::now() const {
    return options_.clock->tickMs();
}

void RemoteServer::setPassword(uint32_t password) {
    std::lock_guard lock(mutex_);
    key_ = passwordKey(password);
}

int RemoteServer::start() {
    if (running()) {
        return kServerRunning;
    }
    if (!cryptoReady()) {
        return kServerNoCrypto;
    }
    const int listener = openListener();
    if (listener != kServerOk) {
        return listener;
    }
    int pipeFds[2] = {-1, -1};
    if (pipe(pipeFds) != 0 || !setNonBlocking(pipeFds[0]) || !setNonBlocking(pipeFds[1])) {
        lastErrno_ = errno;
        ::close(listenFd_);
        listenFd_ = -1;
        return kServerSocketFailed;
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    if (!options_.broadcastTarget.empty()) {
        // A broadcast target that cannot be used leaves slot 0 empty; the phones still connect.
        openBroadcast();
    }
    bridge_.setTransport(this);
    worker_ = std::jthread([this](std::stop_token stop) { run(std::move(stop)); });
    return kServerOk;
}

int RemoteServer::openListener() {
    addrinfo* found = resolve(options_.listenAddress, options_.port, SOCK_STREAM, true);
    if (found == nullptr) {
        return kServerBadAddress;
    }
    const int fd = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    int status = fd >= 0 ? kServerOk : kServerSocketFailed;
    if (status == kServerOk) {
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (!setNonBlocking(fd) || bind(fd, found->ai_addr, found->ai_addrlen) != 0 ||
            listen(fd, kListenBacklog) != 0) {
            status = kServerSocketFailed;
        }
    }
    lastErrno_ = status == kServerOk ? 0 : errno;
    freeaddrinfo(found);
    if (status != kServerOk) {
        if (fd >= 0) {
            ::close(fd);
        }
        return status;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    boundPort_ =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                          : reinterpret_cast<sockaddr_in&>(bound).sin_port);
    listenFd_ = fd;
    return kServerOk;
}

int RemoteServer::openBroadcast() {
    const size_t colon = options_.broadcastTarget.rfind(':');
    if (colon == std::string::npos) {
        return kServerBadAddress;
    }
    const std::string host = options_.broadcastTarget.substr(0, colon);
    const std::string portText = options_.broadcastTarget.substr(colon + 1);
    char* end = nullptr;
    const unsigned long port = std::strtoul(portText.c_str(), &end, 10);
    if (portText.empty() || *end != '\0' || port == 0 || port > 65535) {
        return kServerBadAddress;
    }
    addrinfo* found = resolve(host, static_cast<uint16_t>(port), SOCK_DGRAM, false);
    if (found == nullptr) {
        return kServerBadAddress;
    }
    const int fd = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    const int on = 1;
    const bool ok = fd >= 0 && setNonBlocking(fd) &&
                    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 &&
                    connect(fd, found->ai_addr, found->ai_addrlen) == 0;
    freeaddrinfo(found);
    if (!ok) {
        if (fd >= 0) {
            ::close(fd);
        }
        return kServerSocketFailed;
    }
    std::lock_guard lock(mutex_);
    broadcastFd_ = fd;
    broadcastHandle_ = nextHandle_++;
    bridge_.fillSlot(kBroadcastSlot, broadcastHandle_);
    return kServerOk;
}

void RemoteServer::stop() {
    if (worker_.joinable()) {
        worker_.request_stop();
        wake();
        worker_.join();
    }
    bridge_.setTransport(nullptr);
    std::lock_guard lock(mutex_);
    closeAllLocked();
}

void RemoteServer::closeAllLocked() {
    for (auto& [handle, connection] : connections_) {
        ::close(connection->fd);
        bridge_.connectionClosed(handle);
    }
    connections_.clear();
    if (broadcastFd_ >= 0) {
        ::close(broadcastFd_);
        bridge_.connectionClosed(broadcastHandle_);
        broadcastFd_ = -1;
        broadcastHandle_ = kNoHandle;
    }
    for (int* fd : {&listenFd_, &wakeRead_, &wakeWrite_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

size_t RemoteServer::connectionCount() const {
    std::lock_guard lock(mutex_);
    return connections_.size();
}

void RemoteServer::wake() {
    if (wakeWrite_ >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1);
    }
}

void RemoteServer::send(uint32_t handle, const std::string& bytes) {
    std::lock_guard lock(mutex_);
    if (handle == broadcastHandle_ && broadcastFd_ >= 0) {
        sendNow(broadcastFd_, bytes);
        return;
    }
    const auto found = connections_.find(handle);
    if (found == connections_.end() || found->second->closing) {
        return;
    }
    Connection& connection = *found->second;
    if (connection.outgoing.size() + bytes.size() > kOutgoingMax) {
        // A phone that reads nothing cannot make the program hold its packets for ever.
        connection.outgoing.clear();
        connection.closing = true;
    } else {
        connection.outgoing += bytes;
    }
    wake();
}

void RemoteServer::close(uint32_t handle) {
    std::lock_guard lock(mutex_);
    const auto found = connections_.find(handle);
    if (found != connections_.end()) {
        found->second->closing = true;
        wake();
    }
}

void RemoteServer::run(std::stop_token stop) {
    std::vector<pollfd> fds;
    std::vector<uint32_t> handles;
    while (!stop.stop_requested()) {
        fds.clear();
        handles.clear();
        {
            std::lock_guard lock(mutex_);
            fds.push_back({wakeRead_, POLLIN, 0});
            fds.push_back({listenFd_, POLLIN, 0});
            for (const auto& [handle, connection] : connections_) {
                const short events =
                    static_cast<short>((connection->closing ? 0 : POLLIN) |
                                       (connection->outgoing.empty() ? 0 : POLLOUT));
                fds.push_back({connection->fd, events, 0});
                handles.push_back(handle);
            }
        }
        if (poll(fds.data(), fds.size(), kPollPeriodMs) < 0 && errno != EINTR) {
            break;
        }
        if (stop.stop_requested()) {
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        const uint64_t nowMs = now();
        std::lock_guard lock(mutex_);
        if ((fds[1].revents & POLLIN) != 0) {
            acceptAll();
        }
        for (size_t i = 0; i < handles.size(); ++i) {
            const auto found = connections_.find(handles[i]);
            if (found == connections_.end()) {
                continue;
            }
            Connection& connection = *found->second;
            const short revents = fds[i + 2].revents;
            if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !connection.closing &&
                !readFrom(connection, nowMs)) {
                connection.closing = true;
            }
        }
        // Write what is queued (also what the user-interface thread queued meanwhile), then
        // close what is done.
        for (auto it = connections_.begin(); it != connections_.end();) {
            Connection& connection = *it->second;
            flush(connection);
            if (connection.session.empty() && nowMs >= connection.deadlineMs) {
                connection.closing = true;
                connection.outgoing.clear();
            }
            if (connection.closing && connection.outgoing.empty()) {
                ::close(connection.fd);
                bridge_.connectionClosed(it->first);
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }
}

void RemoteServer::acceptAll() {
    for (;;) {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        const int fd = accept(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length);
        if (fd < 0) {
            return;
        }
        if (!setNonBlocking(fd)) {
            ::close(fd);
            continue;
        }
        // Read per connection: one accepted now may have arrived after the poll returned.
        const uint64_t nowMs = now();
        const std::string address = addressText(peer);
        size_t freeSlot = 0;
        for (const size_t index : {kFirstClientSlot, kSecondClientSlot}) {
            if (freeSlot == 0 && bridge_.slot(index) == kNoHandle) {
                freeSlot = index;
            }
        }
        if (blocked(address, nowMs)) {
            sendNow(fd, encodePacket(kTypeAddressBlocked));
            ::close(fd);
            continue;
        }
        if (freeSlot == 0) {
            sendNow(fd, encodePacket(kTypeServerBusy));
            ::close(fd);
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        connection->handle = nextHandle_++;
        if (nextHandle_ == kNoHandle) {
            nextHandle_ = 1;
        }
        connection->address = address;
        connection->deadlineMs = nowMs + kLoginDeadlineMs;
        connection->login = std::make_unique<LoginExchange>(key_, randomBytes(kNonceSize));
        connection->outgoing = connection->login->challengePacket();
        bridge_.fillSlot(freeSlot, connection->handle);
        connections_.emplace(connection->handle, std::move(connection));
    }
}

bool RemoteServer::readFrom(Connection& connection, uint64_t nowMs) {
    char buffer[kIncomingMax];
    // Never more than one packet's worth is held; the parser ends the connection before a
    // longer length field could make the buffer grow.
    const size_t room = kIncomingMax - connection.incoming.size();
    const ssize_t got = ::recv(connection.fd, buffer, room, 0);
    if (got == 0) {
        return false;
    }
    if (got < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    }
    connection.incoming.append(buffer, static_cast<size_t>(got));
    for (;;) {
        Packet packet;
        size_t used = 0;
        const int status = parsePacket(connection.incoming, kClientPayloadMax, packet, used);
        if (status == kPacketIncomplete) {
            return true;
        }
        if (status != kPacketOk) {
            return false;
        }
        connection.incoming.erase(0, used);
        if (!handlePacket(connection, packet, nowMs)) {
            return false;
        }
    }
}

bool RemoteServer::handlePacket(Connection& connection, const Packet& packet, uint64_t nowMs) {
    return connection.session.empty() ? handleLogin(connection, packet, nowMs)
                                      : handleCommand(connection, packet, nowMs);
}

bool RemoteServer::handleLogin(Connection& connection, const Packet& packet, uint64_t nowMs) {
    if (!connection.login) {
        return false;
    }
    const int status = connection.login->receive(packet);
    if (status == kAuthBadProof) {
        loginFailed(connection.address, nowMs);
        connection.outgoing += encodePacket(kTypeLoginRefused);
        connection.closing = true;
        return true;
    }
    if (status != kAuthOk) {
        return false;
    }
    connection.session = connection.login->session();
    connection.outgoing += connection.login->acceptedPacket();
    connection.login.reset();
    failures_.erase(connection.address);
    bridge_.clientLoggedIn(nowMs);
    return true;
}

bool RemoteServer::handleCommand(Connection& connection, const Packet& packet, uint64_t /*nowMs*/) {
    const int bodySize = commandBodySize(packet.type);
    if (bodySize < 0) {
        return false;
    }
    std::string body;
    if (openCommand(connection.session, connection.nextSequence, packet, body) != kAuthOk ||
        body.size() != static_cast<size_t>(bodySize)) {
        return false;
    }
    ++connection.nextSequence;
    if (!bridge_.pushCommand({connection.handle, packet.type, std::move(body)})) {
        return false;
    }
    if (options_.poster != nullptr) {
        options_.poster->postThreadMessage(options_.uiThreadId, kMessageRemoteCommand, 0, 0);
    }
    return true;
}

void RemoteServer::flush(Connection& connection) {
    while (!connection.outgoing.empty()) {
        const ssize_t sent = ::send(connection.fd, connection.outgoing.data(),
                                    connection.outgoing.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                connection.outgoing.clear();
                connection.closing = true;
            }
            return;
        }
        connection.outgoing.erase(0, static_cast<size_t>(sent));
    }
}

bool RemoteServer::blocked(const std::string& address, uint64_t nowMs) {
    const auto found = failures_.find(address);
    if (found == failures_.end()) {
        return false;
    }
    if (found->second.blockedUntilMs != 0) {
        if (nowMs < found->second.blockedUntilMs) {
            return true;
        }
        failures_.erase(found);
    }
    return false;
}

void RemoteServer::loginFailed(const std::string& address, uint64_t nowMs) {
    if (failures_.size() >= kFailureTableMax && failures_.find(address) == failures_.end()) {
        // Many addresses (a scan): forget what no longer counts, and if that is not enough one
        // more entry, so that the table cannot grow without end.
        std::erase_if(failures_, [nowMs](const auto& entry) {
            const Failures& f = entry.second;
            return nowMs >= f.blockedUntilMs && nowMs - f.firstMs >= kFailureWindowMs;
        });
        if (failures_.size() >= kFailureTableMax) {
            failures_.erase(failures_.begin());
        }
    }
    Failures& failures = failures_[address];
    if (failures.count == 0 || nowMs - failures.firstMs >= kFailureWindowMs) {
        failures.count = 0;
        failures.firstMs = nowMs;
    }
    if (++failures.count >= kMaxFailedLogins) {
        failures.blockedUntilMs = nowMs + kBlockMs;
        failures.count = 0;
    }
}

}  // namespace qv::remote
