#include "remote/RemotePacket.h"

namespace qv::remote {

void putUint32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFFu));
    }
}

uint32_t getUint32(std::string_view in, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && offset + i < in.size(); ++i) {
        value |= static_cast<uint32_t>(static_cast<uint8_t>(in[offset + i])) << (8 * i);
    }
    return value;
}

std::string encodePacket(uint8_t type, std::string_view payload) {
    std::string out;
    out.reserve(kHeaderSize + payload.size());
    putUint32(out, static_cast<uint32_t>(kHeaderSize + payload.size()));
    out.push_back(static_cast<char>(kFrameConstant & 0xFFu));
    out.push_back(static_cast<char>(kFrameConstant >> 8));
    out.push_back(static_cast<char>(type));
    putUint32(out, static_cast<uint32_t>(payload.size()));
    out.append(payload);
    return out;
}

int parsePacket(std::string_view buffer, size_t payloadMax, Packet& packet, size_t& used) {
    used = 0;
    if (buffer.size() < kHeaderSize) {
        return kPacketIncomplete;
    }
    const uint32_t total = getUint32(buffer, 0);
    const auto constant = static_cast<uint16_t>(static_cast<uint8_t>(buffer[4]) |
                                                (static_cast<uint8_t>(buffer[5]) << 8));
    const auto type = static_cast<uint8_t>(buffer[6]);
    const uint32_t payloadLength = getUint32(buffer, 7);
    if (constant != kFrameConstant) {
        return kPacketBadConstant;
    }
    if (payloadLength > payloadMax) {
        return kPacketTooLong;
    }
    // Both fields are checked against each other before either is used for a size.
    if (static_cast<uint64_t>(total) != kHeaderSize + static_cast<uint64_t>(payloadLength)) {
        return kPacketBadLength;
    }
    if (buffer.size() < total) {
        return kPacketIncomplete;
    }
    packet.type = type;
    packet.payload.assign(buffer.substr(kHeaderSize, payloadLength));
    used = total;
    return kPacketOk;
}

}  // namespace qv::remote
