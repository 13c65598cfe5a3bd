#include "remote/RemoteAuth.h"

#include <sodium.h>

#include <initializer_list>
#include <mutex>

namespace qv::remote {
namespace {

// Labels that keep the three derived values apart.
constexpr std::string_view kLoginLabel = "QVR1 login";
constexpr std::string_view kServerLabel = "QVR1 server";
constexpr std::string_view kSessionLabel = "QVR1 session";

std::string hmac(std::string_view key, std::initializer_list<std::string_view> parts) {
    crypto_auth_hmacsha256_state state;
    crypto_auth_hmacsha256_init(&state, reinterpret_cast<const unsigned char*>(key.data()),
                                key.size());
    for (std::string_view part : parts) {
        crypto_auth_hmacsha256_update(&state, reinterpret_cast<const unsigned char*>(part.data()),
                                      part.size());
    }
    std::string mac(crypto_auth_hmacsha256_BYTES, '\0');
    crypto_auth_hmacsha256_final(&state, reinterpret_cast<unsigned char*>(mac.data()));
    sodium_memzero(&state, sizeof state);
    return mac;
}

bool sameMac(std::string_view a, std::string_view b) {
    return a.size() == kMacSize && b.size() == kMacSize &&
           crypto_verify_32(reinterpret_cast<const unsigned char*>(a.data()),
                            reinterpret_cast<const unsigned char*>(b.data())) == 0;
}

}  // namespace

bool cryptoReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = sodium_init() >= 0; });
    return ready;
}

std::string randomBytes(size_t size) {
    std::string bytes(size, '\0');
    if (cryptoReady()) {
        randombytes_buf(bytes.data(), bytes.size());
    }
    return bytes;
}

std::string passwordKey(uint32_t password) {
    return std::to_string(password);
}

std::string loginProof(std::string_view key, std::string_view serverNonce,
                       std::string_view clientNonce) {
    return hmac(key, {kLoginLabel, serverNonce, clientNonce});
}

std::string serverProof(std::string_view key, std::string_view serverNonce,
                        std::string_view clientNonce) {
    return hmac(key, {kServerLabel, serverNonce, clientNonce});
}

std::string sessionKey(std::string_view key, std::string_view serverNonce,
                       std::string_view clientNonce) {
    return hmac(key, {kSessionLabel, serverNonce, clientNonce});
}

std::string sealCommand(std::string_view session, uint8_t type, uint32_t sequence,
                        std::string_view body) {
    std::string payload;
    putUint32(payload, sequence);
    payload.append(body);
    payload.append(kMacSize, '\0');
    std::string packet = encodePacket(type, payload);
    const std::string_view covered(packet.data(), packet.size() - kMacSize);
    const std::string mac = hmac(session, {covered});
    packet.replace(packet.size() - kMacSize, kMacSize, mac);
    return packet;
}

int openCommand(std::string_view session, uint32_t expectedSequence, const Packet& packet,
                std::string& body) {
    const std::string_view payload(packet.payload);
    if (payload.size() < kSequenceSize + kMacSize) {
        return kAuthMalformed;
    }
    // The MAC covers the header as it came; rebuild it from the packet's own fields.
    const std::string framed = encodePacket(packet.type, payload);
    const std::string_view covered(framed.data(), framed.size() - kMacSize);
    if (!sameMac(hmac(session, {covered}), payload.substr(payload.size() - kMacSize))) {
        return kAuthBadMac;
    }
    if (getUint32(payload, 0) != expectedSequence) {
        return kAuthBadSequence;
    }
    body.assign(payload.substr(kSequenceSize, payload.size() - kSequenceSize - kMacSize));
    return kAuthOk;
}

LoginExchange::LoginExchange(std::string key, std::string serverNonce)
    : key_(std::move(key)), serverNonce_(std::move(serverNonce)) {}

std::string LoginExchange::challengePacket() const {
    return encodePacket(kTypeChallenge, serverNonce_);
}

int LoginExchange::receive(const Packet& packet) {
    if (packet.type != kTypeLogin || packet.payload.size() != kLoginPayloadSize ||
        serverNonce_.size() != kNonceSize) {
        return kAuthMalformed;
    }
    const std::string_view payload(packet.payload);
    const std::string_view clientNonce = payload.substr(0, kNonceSize);
    if (!sameMac(loginProof(key_, serverNonce_, clientNonce), payload.substr(kNonceSize))) {
        return kAuthBadProof;
    }
    clientNonce_.assign(clientNonce);
    session_ = sessionKey(key_, serverNonce_, clientNonce_);
    return kAuthOk;
}

std::string LoginExchange::acceptedPacket() const {
    return encodePacket(kTypeLoginAccepted, serverProof(key_, serverNonce_, clientNonce_));
}

ClientLogin::ClientLogin(std::string key) : key_(std::move(key)) {}

std::string ClientLogin::answer(const Packet& challenge) {
    if (challenge.type != kTypeChallenge || challenge.payload.size() != kNonceSize) {
        return {};
    }
    serverNonce_ = challenge.payload;
    clientNonce_ = randomBytes(kNonceSize);
    return encodePacket(kTypeLogin, clientNonce_ + loginProof(key_, serverNonce_, clientNonce_));
}

bool ClientLogin::accepted(const Packet& packet) {
    if (packet.type != kTypeLoginAccepted || serverNonce_.empty() ||
        !sameMac(packet.payload, serverProof(key_, serverNonce_, clientNonce_))) {
        return false;
    }
    session_ = sessionKey(key_, serverNonce_, clientNonce_);
    return true;
}

}  // namespace qv::remote
