// Feeds arbitrary bytes to the remote bridge's packet parser as they would arrive on a phone's
// connection, packet after packet. Beside memory safety it checks what the parser promises: it
// never claims more bytes than it was given, a packet it accepts has a payload within the limit
// and encodes back to exactly the bytes it was read from, and an error is final for the buffer.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string session(qv::remote::kMacSize, 'k');
    for (;;) {
        qv::remote::Packet packet;
        size_t used = 0;
        const int status =
            qv::remote::parsePacket(rest, qv::remote::kClientPayloadMax, packet, used);
        if (status != qv::remote::kPacketOk) {
            check(used == 0);
            check(status != qv::remote::kPacketIncomplete ||
                  rest.size() < qv::remote::kHeaderSize + qv::remote::kClientPayloadMax);
            break;
        }
        check(used <= rest.size());
        check(packet.payload.size() <= qv::remote::kClientPayloadMax);
        check(qv::remote::encodePacket(packet.type, packet.payload) == rest.substr(0, used));
        // A command the fuzzer cannot have sealed is refused, whatever its fields say.
        std::string body;
        check(qv::remote::openCommand(session, 1, packet, body) != qv::remote::kAuthOk ||
              packet.payload.size() >= qv::remote::kSequenceSize + qv::remote::kMacSize);
        rest.remove_prefix(used);
    }
    return 0;
}
