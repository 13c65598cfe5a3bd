// Drives the program's side of a phone login and the command checks after it with arbitrary
// packets. The first byte chooses whether the login's proof is replaced by the right one, so
// that the command checks behind the login are reached, and whether each later command is
// sealed with the session key. It checks that a wrong proof never logs in, that only sealed
// commands with the expected sequence number pass, and that every accepted body is exactly the
// sealed one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "remote/RemoteAuth.h"
#include "remote/RemotePacket.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

const std::string kKey = qv::remote::passwordKey(570293);
const std::string kServerNonce(qv::remote::kNonceSize, 's');

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t mode = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    qv::remote::LoginExchange login(kKey, kServerNonce);
    qv::remote::Packet packet;
    size_t used = 0;
    if (qv::remote::parsePacket(rest, qv::remote::kClientPayloadMax, packet, used) !=
        qv::remote::kPacketOk) {
        return 0;
    }
    rest.remove_prefix(used);
    if ((mode & 1) != 0 && packet.payload.size() == qv::remote::kLoginPayloadSize) {
        const std::string clientNonce = packet.payload.substr(0, qv::remote::kNonceSize);
        packet.payload = clientNonce + qv::remote::loginProof(kKey, kServerNonce, clientNonce);
    }
    const bool rightProof =
        packet.type == qv::remote::kTypeLogin &&
        packet.payload.size() == qv::remote::kLoginPayloadSize &&
        packet.payload.substr(qv::remote::kNonceSize) ==
            qv::remote::loginProof(kKey, kServerNonce,
                                   packet.payload.substr(0, qv::remote::kNonceSize));
    const int status = login.receive(packet);
    check((status == qv::remote::kAuthOk) == rightProof);
    if (status != qv::remote::kAuthOk) {
        return 0;
    }
    uint32_t sequence = 1;
    while (qv::remote::parsePacket(rest, qv::remote::kClientPayloadMax, packet, used) ==
           qv::remote::kPacketOk) {
        rest.remove_prefix(used);
        std::string sealedBody;
        if ((mode & 2) != 0 && packet.payload.size() >= qv::remote::kSequenceSize &&
            packet.payload.size() <= qv::remote::kClientPayloadMax - qv::remote::kMacSize) {
            // Seal what the fuzzer gave, keeping its own sequence number.
            sealedBody = packet.payload.substr(qv::remote::kSequenceSize);
            const std::string sealed = qv::remote::sealCommand(
                login.session(), packet.type, qv::remote::getUint32(packet.payload, 0), sealedBody);
            size_t sealedUsed = 0;
            check(qv::remote::parsePacket(sealed, qv::remote::kClientPayloadMax, packet,
                                          sealedUsed) == qv::remote::kPacketOk);
        }
        std::string body;
        const int opened = qv::remote::openCommand(login.session(), sequence, packet, body);
        if (opened == qv::remote::kAuthOk) {
            check(qv::remote::getUint32(packet.payload, 0) == sequence);
            check((mode & 2) == 0 || body == sealedBody);
            ++sequence;
        }
    }
    return 0;
}
