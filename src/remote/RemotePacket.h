// The framing every packet between the program and a phone uses, both ways: a little-endian
// 11-byte header (total length, the constant 10, the type, the payload length) and the payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::remote {

inline constexpr size_t kHeaderSize = 11;
inline constexpr uint16_t kFrameConstant = 10;

// Packets the program sends.
inline constexpr uint8_t kTypeApplySucceeded = 15;
inline constexpr uint8_t kTypeApplyFailed = 16;
inline constexpr uint8_t kTypeStateFile = 17;
inline constexpr uint8_t kTypeClientTimeOut = 32;
// The connection's own packets (login and refusals).
inline constexpr uint8_t kTypeChallenge = 48;
inline constexpr uint8_t kTypeLogin = 49;
inline constexpr uint8_t kTypeLoginAccepted = 50;
inline constexpr uint8_t kTypeLoginRefused = 51;
inline constexpr uint8_t kTypeServerBusy = 52;
inline constexpr uint8_t kTypeAddressBlocked = 53;
inline constexpr uint8_t kTypeCommandRefused = 54;
// Commands from the phone, after the login.
inline constexpr uint8_t kTypeReadState = 64;
inline constexpr uint8_t kTypeSelect = 65;
inline constexpr uint8_t kTypeSetClocks = 66;
inline constexpr uint8_t kTypeSetFan = 67;
inline constexpr uint8_t kTypeApply = 68;

// The type 17 buffer holds 5000 bytes, header included.
inline constexpr size_t kStateFileBufferSize = 5000;
inline constexpr size_t kStateFileMaxBytes = kStateFileBufferSize - kHeaderSize;
// The largest payload a client may send; anything longer ends the connection unread.
inline constexpr size_t kClientPayloadMax = 256;
// The largest payload the program sends (the state file).
inline constexpr size_t kServerPayloadMax = kStateFileMaxBytes;

// Parser results.
inline constexpr int kPacketOk = 0;
inline constexpr int kPacketIncomplete = 1;  // more bytes needed
inline constexpr int kPacketBadConstant = -1;
inline constexpr int kPacketBadLength = -2;  // total and payload length disagree
inline constexpr int kPacketTooLong = -3;

struct Packet {
    uint8_t type = 0;
    std::string payload;
};

// One packet in its bytes. The payload must not exceed kServerPayloadMax.
std::string encodePacket(uint8_t type, std::string_view payload = {});

// Looks at the front of `buffer`: kPacketOk with the packet and its size in `used`,
// kPacketIncomplete when the packet is not all there yet, or a negative error for a framing no
// packet of at most `payloadMax` bytes has. Reads nothing beyond the buffer.
int parsePacket(std::string_view buffer, size_t payloadMax, Packet& packet, size_t& used);

// Little-endian helpers for payload fields.
void putUint32(std::string& out, uint32_t value);
uint32_t getUint32(std::string_view in, size_t offset);

}  // namespace qv::remote
