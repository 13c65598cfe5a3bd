// The phone's side of the protocol over one TCP connection: connect, log in, send commands
// with their sequence numbers and MACs, and read the program's packets. The command-line
// client, the tests and the benchmark use it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "remote/RemoteAuth.h"
#include "remote/RemotePacket.h"

namespace qv::remote {

inline constexpr int kClientOk = 0;
inline constexpr int kClientNoConnection = -50;
inline constexpr int kClientTimedOut = -51;
inline constexpr int kClientClosed = -52;  // the program closed the connection
inline constexpr int kClientProtocolError = -53;
inline constexpr int kClientLoginRefused = -54;
inline constexpr int kClientBusy = -55;
inline constexpr int kClientBlocked = -56;
inline constexpr int kClientCommandRefused = -57;
inline constexpr int kClientServerUnproven = -58;  // the other end does not know the password

class RemoteClient {
public:
    RemoteClient() = default;
    ~RemoteClient();
    RemoteClient(const RemoteClient&) = delete;
    RemoteClient& operator=(const RemoteClient&) = delete;

    // A numeric address or a host name.
    int connect(const std::string& host, uint16_t port, int timeoutMs);
    int login(uint32_t password, int timeoutMs);
    // Sends a command with the next sequence number.
    int sendCommand(uint8_t type, std::string_view body);
    // The next packet from the program.
    int receive(Packet& packet, int timeoutMs);
    // Sends a command and waits for its answer, skipping broadcast packets (15, 16, 32) on the
    // way; kClientOk with the state file, or kClientCommandRefused with the refusal's status.
    int request(uint8_t type, std::string_view body, std::string& stateFile, int timeoutMs,
                int* refusal = nullptr);
    // Bytes as they are, for tests of what the program does with bad input.
    int sendRaw(std::string_view bytes);
    void close();
    // The session key (tests that forge packets with it).
    const std::string& session() const { return session_; }
    uint32_t nextSequence() const { return sequence_; }

private:
    int fd_ = -1;
    std::string incoming_;
    std::string session_;
    uint32_t sequence_ = 1;
};

}  // namespace qv::remote
