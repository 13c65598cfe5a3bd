// The login and the command MACs of a phone connection. The program sends a fresh random
// challenge; the phone proves it knows the password with an HMAC-SHA256 over both sides'
// nonces, so the password never crosses the network. Both sides then derive a session key from
// the password and the nonces, and every command carries a sequence number and an HMAC under
// that key: a command cannot be altered, injected or replayed by someone else on the network.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "remote/RemotePacket.h"

namespace qv::remote {

inline constexpr size_t kNonceSize = 32;
inline constexpr size_t kMacSize = 32;
inline constexpr size_t kSequenceSize = 4;
// Login payload: the client's nonce, then its proof.
inline constexpr size_t kLoginPayloadSize = kNonceSize + kMacSize;

// Results of checking what a client sent.
inline constexpr int kAuthOk = 0;
inline constexpr int kAuthMalformed = -10;  // wrong type or size
inline constexpr int kAuthBadProof = -11;   // the password does not match
inline constexpr int kAuthBadMac = -12;
inline constexpr int kAuthBadSequence = -13;
inline constexpr int kAuthNoRandom = -14;  // the crypto library could not start

// Starts the crypto library once; false when it cannot (then no connection is accepted).
bool cryptoReady();
// `size` random bytes from the crypto library.
std::string randomBytes(size_t size);
// The key both sides hold: the stored password as its decimal text.
std::string passwordKey(uint32_t password);

// The three values derived from the password and the two nonces.
std::string loginProof(std::string_view key, std::string_view serverNonce,
                       std::string_view clientNonce);
std::string serverProof(std::string_view key, std::string_view serverNonce,
                        std::string_view clientNonce);
std::string sessionKey(std::string_view key, std::string_view serverNonce,
                       std::string_view clientNonce);

// A command packet: payload = sequence number, body, HMAC under the session key over the
// header, the sequence number and the body.
std::string sealCommand(std::string_view session, uint8_t type, uint32_t sequence,
                        std::string_view body);
// Checks a command packet against the session key and the sequence number expected next;
// kAuthOk with its body, or an error. Compares MACs in constant time.
int openCommand(std::string_view session, uint32_t expectedSequence, const Packet& packet,
                std::string& body);

// The program's side of one login: the challenge it sends and the check of the answer.
class LoginExchange {
public:
    // `serverNonce` must be kNonceSize random bytes (tests pass fixed ones).
    LoginExchange(std::string key, std::string serverNonce);
    std::string challengePacket() const;
    // Checks the client's login packet; on kAuthOk the session key and the accepted packet
    // (with the program's own proof) are ready.
    int receive(const Packet& packet);
    const std::string& session() const { return session_; }
    std::string acceptedPacket() const;

private:
    std::string key_;
    std::string serverNonce_;
    std::string clientNonce_;
    std::string session_;
};

// The phone's side of the login, used by the command-line client and the tests.
class ClientLogin {
public:
    explicit ClientLogin(std::string key);
    // The answer to a challenge packet; empty when the packet is not a challenge.
    std::string answer(const Packet& challenge);
    // True when the accepted packet carries the program's proof: the other end knows the
    // password too. The session key is then ready.
    bool accepted(const Packet& packet);
    const std::string& session() const { return session_; }

private:
    std::string key_;
    std::string serverNonce_;
    std::string clientNonce_;
    std::string session_;
};

}  // namespace qv::remote
