// The bridge's framing, the login and command MACs, and the two XML state files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "remote/RemoteAuth.h"
#include "remote/RemotePacket.h"
#include "remote/RemoteStateFiles.h"
#include "support/TempDir.h"

namespace qv::remote {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string header(uint32_t total, uint16_t constant, uint8_t type, uint32_t payloadLength) {
    std::string out;
    putUint32(out, total);
    out.push_back(static_cast<char>(constant & 0xFF));
    out.push_back(static_cast<char>(constant >> 8));
    out.push_back(static_cast<char>(type));
    putUint32(out, payloadLength);
    return out;
}

TEST(RemotePacket, FramingIsLittleEndianWithTheConstantTenAndBothLengths) {
    EXPECT_EQ(encodePacket(kTypeApplySucceeded), std::string("\x0b\0\0\0\x0a\0\x0f\0\0\0\0", 11));
    const std::string packet = encodePacket(kTypeStateFile, "abc");
    EXPECT_EQ(packet, std::string("\x0e\0\0\0\x0a\0\x11\x03\0\0\0abc", 14));

    // Two packets back to back come out one at a time.
    const std::string stream = packet + encodePacket(kTypeClientTimeOut);
    Packet parsed;
    size_t used = 0;
    ASSERT_EQ(parsePacket(stream, kServerPayloadMax, parsed, used), kPacketOk);
    EXPECT_EQ(parsed.type, kTypeStateFile);
    EXPECT_EQ(parsed.payload, "abc");
    EXPECT_EQ(used, packet.size());
    ASSERT_EQ(parsePacket(std::string_view(stream).substr(used), kServerPayloadMax, parsed, used),
              kPacketOk);
    EXPECT_EQ(parsed.type, kTypeClientTimeOut);
}

TEST(RemotePacket, BadFramesAreRefusedBeforeAnyLengthIsTrusted) {
    struct Case {
        const char* what;
        std::string bytes;
        int expected;
    };
    const Case cases[] = {
        {"truncated header", header(11, 10, 64, 0).substr(0, 10), kPacketIncomplete},
        {"payload still coming", header(15, 10, 64, 4) + "ab", kPacketIncomplete},
        {"wrong constant", header(11, 11, 64, 0), kPacketBadConstant},
        {"lengths disagree", header(12, 10, 64, 0) + "x", kPacketBadLength},
        {"total wraps around", header(3, 10, 64, 0xFFFFFFF8u), kPacketTooLong},
        {"oversized payload", header(11 + 257, 10, 64, 257), kPacketTooLong},
        {"largest payload", header(11 + 256, 10, 64, 256) + std::string(256, 'p'), kPacketOk},
    };
    for (const Case& c : cases) {
        Packet packet;
        size_t used = 99;
        EXPECT_EQ(parsePacket(c.bytes, kClientPayloadMax, packet, used), c.expected) << c.what;
        EXPECT_EQ(used, c.expected == kPacketOk ? c.bytes.size() : 0u) << c.what;
    }
}

TEST(RemoteAuth, OnlyTheRightPasswordLogsInAndBothSidesShareTheSessionKey) {
    const std::string nonce(kNonceSize, 'n');
    LoginExchange server(passwordKey(570293), nonce);
    Packet challenge;
    size_t used = 0;
    ASSERT_EQ(parsePacket(server.challengePacket(), kServerPayloadMax, challenge, used), kPacketOk);

    ClientLogin wrong(passwordKey(570294));
    Packet answer;
    ASSERT_EQ(parsePacket(wrong.answer(challenge), kClientPayloadMax, answer, used), kPacketOk);
    EXPECT_EQ(answer.payload.find("570294"), std::string::npos) << "the password never travels";
    EXPECT_EQ(server.receive(answer), kAuthBadProof);

    ClientLogin right(passwordKey(570293));
    ASSERT_EQ(parsePacket(right.answer(challenge), kClientPayloadMax, answer, used), kPacketOk);
    ASSERT_EQ(server.receive(answer), kAuthOk);
    Packet accepted;
    ASSERT_EQ(parsePacket(server.acceptedPacket(), kServerPayloadMax, accepted, used), kPacketOk);
    ASSERT_TRUE(right.accepted(accepted));
    EXPECT_EQ(right.session(), server.session());
    EXPECT_EQ(right.session().size(), kMacSize);

    // A client that answered another challenge cannot take this acceptance for its own.
    ClientLogin other(passwordKey(570293));
    Packet otherChallenge{kTypeChallenge, std::string(kNonceSize, 'o')};
    other.answer(otherChallenge);
    EXPECT_FALSE(other.accepted(accepted));
}

TEST(RemoteAuth, CommandsPassOnlyUnalteredAndInSequence) {
    const std::string session(kMacSize, 'k');
    std::string body;
    Packet packet;
    size_t used = 0;
    const std::string sealed = sealCommand(session, kTypeSetClocks, 7, std::string(12, 'c'));
    ASSERT_EQ(parsePacket(sealed, kClientPayloadMax, packet, used), kPacketOk);
    EXPECT_EQ(openCommand(session, 7, packet, body), kAuthOk);
    EXPECT_EQ(body, std::string(12, 'c'));
    EXPECT_EQ(openCommand(session, 8, packet, body), kAuthBadSequence) << "a replay";
    EXPECT_EQ(openCommand(std::string(kMacSize, 'x'), 7, packet, body), kAuthBadMac);

    for (size_t at = 0; at < sealed.size(); ++at) {
        std::string altered = sealed;
        altered[at] = static_cast<char>(altered[at] ^ 0x01);
        Packet changed;
        if (parsePacket(altered, kClientPayloadMax, changed, used) == kPacketOk) {
            EXPECT_NE(openCommand(session, 7, changed, body), kAuthOk) << "byte " << at;
        }
    }
    packet.payload.resize(kMacSize);
    EXPECT_EQ(openCommand(session, 7, packet, body), kAuthMalformed);
}

constexpr const char* kStateDocument =
    "<?xml version=\"1.0\"?>\n<Info><GpuIdex>9</GpuIdex><ModeIdex>9</ModeIdex>"
    "<GpuClock>9</GpuClock><ShaderClock>9</ShaderClock><MemoryClock>9</MemoryClock>"
    "<Blink>9</Blink><BFanAuto>9</BFanAuto><Time>9</Time></Info>\n";

TEST(RemoteStateFiles, BothPassesWriteTheTextsOfTheTable) {
    test::TempDir dir;
    const std::string path = dir.file(kStateFileName);
    writeAll(path, kStateDocument);
    ASSERT_EQ(writeStateFileFirstPass(path, true, false, {7, 5, 3, 42}), kStateFileOk);
    std::string document = readAll(path);
    EXPECT_EQ(elementText(document, kElementBlink), "1");
    EXPECT_EQ(elementText(document, kElementFanAuto), "0");
    EXPECT_EQ(elementText(document, kElementTime), "7:5:3:42");
    EXPECT_EQ(elementText(document, kElementGpuClock), "9") << "not the first pass's";

    ASSERT_EQ(writeStateFileSecondPass(path, 2, 3, 705, 1410, 1850), kStateFileOk);
    document = readAll(path);
    EXPECT_EQ(elementText(document, kElementGpuIndex), "2");
    EXPECT_EQ(elementText(document, kElementMode), "3");
    EXPECT_EQ(elementText(document, kElementGpuClock), "705");
    EXPECT_EQ(elementText(document, kElementShaderClock), "1410");
    EXPECT_EQ(elementText(document, kElementMemoryClock), "1850");
    EXPECT_EQ(elementText(document, kElementBlink), "1") << "the first pass stays";

    // A mode outside 1 to 3 is written as 0.
    for (const auto& [mode, text] : {std::pair{0, "0"}, {1, "1"}, {4, "0"}, {-1, "0"}}) {
        ASSERT_EQ(writeStateFileSecondPass(path, 0, mode, 1, 2, 3), kStateFileOk);
        EXPECT_EQ(elementText(readAll(path), kElementMode), text) << mode;
    }
}

TEST(RemoteStateFiles, AFileThatCannotBeLoadedIsLeftAloneAndAMissingElementStaysMissing) {
    test::TempDir dir;
    const std::string missing = dir.file(kStateFileName);
    EXPECT_EQ(writeStateFileFirstPass(missing, false, true, {}), kStateFileUnreadable);
    EXPECT_FALSE(std::filesystem::exists(missing)) << "the file must already exist";

    const std::string broken = dir.file("broken.xml");
    writeAll(broken, "<Info><Blink>1</Info>");
    EXPECT_EQ(writeStateFileFirstPass(broken, false, true, {}), kStateFileUnreadable);
    EXPECT_EQ(readAll(broken), "<Info><Blink>1</Info>");

    const std::string partial = dir.file(kFanRangeFileName);
    writeAll(partial,
             "<ServerInfo><ComputerInfo><GpuInfo><FansMax>1</FansMax>"
             "</GpuInfo></ComputerInfo></ServerInfo>");
    ASSERT_EQ(writeFanRange(partial, 25, 90), kStateFileOk);
    const std::string document = readAll(partial);
    EXPECT_EQ(elementText(document, kElementFansMax), "90");
    EXPECT_EQ(document.find("FansMin"), std::string::npos);
}

TEST(RemoteStateFiles, AStateFileLongerThanThePacketBufferIsNotRead) {
    test::TempDir dir;
    const std::string path = dir.file(kStateFileName);
    std::string bytes;
    writeAll(path, std::string(kStateFileMaxBytes, 'x'));
    EXPECT_EQ(kStateFileMaxBytes, 4989u);
    ASSERT_EQ(readStateFile(path, bytes), kStateFileOk);
    EXPECT_EQ(bytes.size(), 4989u);
    EXPECT_EQ(encodePacket(kTypeStateFile, bytes).size(), kStateFileBufferSize);
    writeAll(path, std::string(kStateFileMaxBytes + 1, 'x'));
    EXPECT_EQ(readStateFile(path, bytes), kStateFileTooLong);
}

TEST(RemoteStateFiles, TheShippedTemplatesFillAFreshDataFolderAndNeverReplaceAFile) {
    test::TempDir dir;
    writeAll(dir.file(kFanRangeFileName), "mine");
    installStateFileTemplates(dir.path());
    EXPECT_EQ(readAll(dir.file(kFanRangeFileName)), "mine");
    const std::string state = readAll(dir.file(kStateFileName));
    ASSERT_FALSE(state.empty()) << "the template beside the program";
    for (const char* element :
         {kElementGpuIndex, kElementMode, kElementGpuClock, kElementShaderClock,
          kElementMemoryClock, kElementBlink, kElementFanAuto, kElementTime}) {
        EXPECT_FALSE(elementText(state, element).empty()) << element;
    }
}

}  // namespace
}  // namespace qv::remote
