// The connection component of the remote bridge: a TCP listener for at most two phones (slots 1
// and 2) and, when asked for, a UDP socket for the broadcast packets (slot 0). A worker thread
// polls every socket; a connection must log in (RemoteAuth) before anything else, and a
// logged-in phone's checked commands go to the bridge's queue with a message posted to the
// user-interface thread. Every read is bounded; a malformed packet, an unknown type, a bad MAC
// or a sequence number out of order ends that connection and changes nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Clock.h"
#include "platform/Poster.h"
#include "remote/RemoteAuth.h"
#include "remote/RemoteBridge.h"

namespace qv::remote {

inline constexpr uint16_t kDefaultRemotePort = 47391;
inline constexpr const char* kDefaultListenAddress = "0.0.0.0";
// A connection that has not logged in after this long is closed.
inline constexpr uint64_t kLoginDeadlineMs = 10000;
// Failed logins from one address within kFailureWindowMs that block it for kBlockMs.
inline constexpr int kMaxFailedLogins = 5;
inline constexpr uint64_t kFailureWindowMs = 60000;
inline constexpr uint64_t kBlockMs = 60000;
// Bytes waiting to go out on one connection; a phone that reads nothing is dropped beyond it.
inline constexpr size_t kOutgoingMax = 64 * 1024;
// How often the worker looks at the login deadlines when nothing happens on the sockets.
inline constexpr int kPollPeriodMs = 250;

// Results of start().
inline constexpr int kServerOk = 0;
inline constexpr int kServerBadAddress = -30;
inline constexpr int kServerSocketFailed = -31;  // socket, bind or listen failed (errno kept)
inline constexpr int kServerNoCrypto = -32;
inline constexpr int kServerRunning = -33;

struct RemoteServerOptions {
    std::string listenAddress = kDefaultListenAddress;  // numeric IPv4 or IPv6 address
    uint16_t port = kDefaultRemotePort;                 // 0 picks a free port (tests)
    uint32_t password = 0;
    // "address:port" of the broadcast packets' UDP destination; empty leaves slot 0 empty.
    std::string broadcastTarget;
    platform::Clock* clock = nullptr;
    platform::Poster* poster = nullptr;
    uint32_t uiThreadId = 0;
};

class RemoteServer final : public RemoteTransport {
public:
    RemoteServer(RemoteBridge& bridge, RemoteServerOptions options);
    ~RemoteServer() override;
    RemoteServer(const RemoteServer&) = delete;
    RemoteServer& operator=(const RemoteServer&) = delete;

    // Opens the sockets and starts the worker. kServerOk, or an error with nothing open.
    int start();
    // Closes every connection and the listening socket at once and empties the slots.
    void stop();
    bool running() const { return worker_.joinable(); }
    // The port listened on (the one picked when the options asked for 0).
    uint16_t port() const { return boundPort_; }
    // The password a new login is checked against (the options dialog may change it).
    void setPassword(uint32_t password);
    // Open TCP connections, logged in or not (tests).
    size_t connectionCount() const;
    // The last errno of a failed start.
    int lastErrno() const { return lastErrno_; }

    void send(uint32_t handle, const std::string& bytes) override;
    void close(uint32_t handle) override;

private:
    struct Connection;
    struct Failures {
        int count = 0;
        uint64_t firstMs = 0;
        uint64_t blockedUntilMs = 0;
    };

    int openListener();
    int openBroadcast();
    void run(std::stop_token stop);
    void acceptAll();
    // Reads what the socket has; false when the connection is to end.
    bool readFrom(Connection& connection, uint64_t nowMs);
    bool handlePacket(Connection& connection, const Packet& packet, uint64_t nowMs);
    bool handleLogin(Connection& connection, const Packet& packet, uint64_t nowMs);
    bool handleCommand(Connection& connection, const Packet& packet, uint64_t nowMs);
    void flush(Connection& connection);
    bool blocked(const std::string& address, uint64_t nowMs);
    void loginFailed(const std::string& address, uint64_t nowMs);
    void closeAllLocked();
    void wake();
    uint64_t now() const;

    RemoteBridge& bridge_;
    RemoteServerOptions options_;
    mutable std::mutex mutex_;
    std::map<uint32_t, std::unique_ptr<Connection>> connections_;
    std::map<std::string, Failures> failures_;
    std::string key_;
    int listenFd_ = -1;
    int broadcastFd_ = -1;
    uint32_t broadcastHandle_ = kNoHandle;
    int wakeRead_ = -1, wakeWrite_ = -1;
    uint32_t nextHandle_ = 1;
    uint16_t boundPort_ = 0;
    int lastErrno_ = 0;
    std::jthread worker_;
};

}  // namespace qv::remote
