#include "remote/RemoteClient.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace qv::remote {

RemoteClient::~RemoteClient() {
    close();
}

void RemoteClient::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    incoming_.clear();
    session_.clear();
    sequence_ = 1;
}

int RemoteClient::connect(const std::string& host, uint16_t port, int timeoutMs) {
    close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return kClientNoConnection;
    }
    for (addrinfo* at = found; at != nullptr && fd_ < 0; at = at->ai_next) {
        const int fd =
            socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
        if (fd < 0) {
            continue;
        }
        if (::connect(fd, at->ai_addr, at->ai_addrlen) != 0) {
            int error = errno;
            if (error == EINPROGRESS) {
                pollfd waiting{fd, POLLOUT, 0};
                error = ETIMEDOUT;
                socklen_t length = sizeof error;
                if (poll(&waiting, 1, timeoutMs) == 1) {
                    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
                }
            }
            if (error != 0) {
                ::close(fd);
                continue;
            }
        }
        fd_ = fd;
    }
    freeaddrinfo(found);
    return fd_ >= 0 ? kClientOk : kClientNoConnection;
}

int RemoteClient::sendRaw(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                pollfd waiting{fd_, POLLOUT, 0};
                poll(&waiting, 1, 1000);
                continue;
            }
            return kClientClosed;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return kClientOk;
}

int RemoteClient::receive(Packet& packet, int timeoutMs) {
    if (fd_ < 0) {
        return kClientNoConnection;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t used = 0;
        const int status = parsePacket(incoming_, kServerPayloadMax, packet, used);
        if (status == kPacketOk) {
            incoming_.erase(0, used);
            return kClientOk;
        }
        if (status != kPacketIncomplete) {
            return kClientProtocolError;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return kClientTimedOut;
        }
        pollfd waiting{fd_, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got == 0) {
            return kClientClosed;
        }
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            return kClientClosed;
        }
        incoming_.append(buffer, static_cast<size_t>(got));
    }
}

int RemoteClient::login(uint32_t password, int timeoutMs) {
    Packet packet;
    int status = receive(packet, timeoutMs);
    if (status != kClientOk) {
        return status;
    }
    if (packet.type == kTypeServerBusy) {
        return kClientBusy;
    }
    if (packet.type == kTypeAddressBlocked) {
        return kClientBlocked;
    }
    ClientLogin exchange(passwordKey(password));
    const std::string answer = exchange.answer(packet);
    if (answer.empty()) {
        return kClientProtocolError;
    }
    status = sendRaw(answer);
    if (status == kClientOk) {
        status = receive(packet, timeoutMs);
    }
    if (status != kClientOk) {
        return status;
    }
    if (packet.type == kTypeLoginRefused) {
        return kClientLoginRefused;
    }
    if (!exchange.accepted(packet)) {
        return kClientServerUnproven;
    }
    session_ = exchange.session();
    sequence_ = 1;
    return kClientOk;
}

int RemoteClient::sendCommand(uint8_t type, std::string_view body) {
    if (session_.empty()) {
        return kClientProtocolError;
    }
    return sendRaw(sealCommand(session_, type, sequence_++, body));
}

int RemoteClient::request(uint8_t type, std::string_view body, std::string& stateFile,
                          int timeoutMs, int* refusal) {
    int status = sendCommand(type, body);
    while (status == kClientOk) {
        Packet packet;
        status = receive(packet, timeoutMs);
        if (status != kClientOk) {
            break;
        }
        if (packet.type == kTypeStateFile) {
            stateFile = std::move(packet.payload);
            return kClientOk;
        }
        if (packet.type == kTypeCommandRefused) {
            if (refusal != nullptr) {
                *refusal = static_cast<int32_t>(getUint32(packet.payload, 0));
            }
            return kClientCommandRefused;
        }
        if (packet.type == kTypeClientTimeOut) {
            return kClientClosed;
        }
    }
    return status;
}

}  // namespace qv::remote
