// The connection component over real sockets on 127.0.0.1: the login, the limits, what bad
// input does to a connection, the slots and the client time-out.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/QueuePoster.h"
#include "remote/RemoteClient.h"
#include "remote/RemoteServer.h"
#include "support/SimHarness.h"

namespace qv::remote {
namespace {

constexpr uint32_t kPassword = 570293;
constexpr int kWaitMs = 5000;
constexpr uint32_t kUiThread = 1;

// Waits, without sleeping for long, until `done` holds or a few seconds passed.
template <typename Condition>
bool eventually(Condition done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A UDP socket on 127.0.0.1 that stands for the local network's broadcast address.
class BroadcastReceiver {
public:
    BroadcastReceiver() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~BroadcastReceiver() { ::close(fd_); }
    std::string target() const { return "127.0.0.1:" + std::to_string(port_); }
    // The next datagram's packet type, or -1 when none came.
    int nextType() {
        pollfd waiting{fd_, POLLIN, 0};
        if (poll(&waiting, 1, kWaitMs) != 1) {
            return -1;
        }
        char buffer[64];
        const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
        Packet packet;
        size_t used = 0;
        if (got < 0 || parsePacket(std::string_view(buffer, static_cast<size_t>(got)),
                                   kServerPayloadMax, packet, used) != kPacketOk) {
            return -1;
        }
        return packet.type;
    }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

struct ServerRig {
    explicit ServerRig(std::string broadcast = "") {
        RemoteServerOptions options;
        options.listenAddress = "127.0.0.1";
        options.port = 0;
        options.password = kPassword;
        options.broadcastTarget = std::move(broadcast);
        options.clock = &clock;
        options.poster = &poster;
        options.uiThreadId = kUiThread;
        server = std::make_unique<RemoteServer>(bridge, options);
        EXPECT_EQ(server->start(), kServerOk);
    }
    int connect(RemoteClient& client) {
        return client.connect("127.0.0.1", server->port(), kWaitMs);
    }
    int login(RemoteClient& client, uint32_t password = kPassword) {
        const int status = connect(client);
        return status == kClientOk ? client.login(password, kWaitMs) : status;
    }
    // The commands that reached the user-interface thread's queue once one is announced.
    std::vector<RemoteCommand> commands() {
        while (poster.take(50)) {
        }
        return bridge.takeCommands();
    }

    test::FakeClock clock;
    platform::QueuePoster poster;
    RemoteBridge bridge;
    std::unique_ptr<RemoteServer> server;
};

TEST(RemoteServer, ALoggedInPhoneTakesASlotAndItsCommandsReachTheQueue) {
    ServerRig rig;
    RemoteClient client;
    ASSERT_EQ(rig.login(client), kClientOk);
    EXPECT_TRUE(rig.bridge.clientConnected());
    EXPECT_NE(rig.bridge.slot(kFirstClientSlot), kNoHandle);
    EXPECT_EQ(rig.bridge.slot(kBroadcastSlot), kNoHandle) << "no broadcast unless asked for";
    EXPECT_TRUE(rig.bridge.timerRunning());

    std::string clocks;
    putUint32(clocks, 700);
    putUint32(clocks, 1400);
    putUint32(clocks, 900);
    ASSERT_EQ(client.sendCommand(kTypeSetClocks, clocks), kClientOk);
    ASSERT_EQ(client.sendCommand(kTypeApply, ""), kClientOk);
    ASSERT_TRUE(eventually([&] { return rig.poster.pending() >= 2; }));
    const auto queued = rig.commands();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_EQ(queued[0].type, kTypeSetClocks);
    EXPECT_EQ(queued[0].body, clocks);
    EXPECT_EQ(queued[0].handle, rig.bridge.slot(kFirstClientSlot));
    EXPECT_EQ(queued[1].type, kTypeApply);

    client.close();
    ASSERT_TRUE(eventually([&] { return rig.server->connectionCount() == 0; }));
    EXPECT_EQ(rig.bridge.slot(kFirstClientSlot), kNoHandle);
    EXPECT_FALSE(rig.bridge.clientConnected());
}

TEST(RemoteServer, AWrongPasswordIsRefusedAndTheSixthTryWithinAMinuteIsBlocked) {
    ServerRig rig;
    for (int attempt = 0; attempt < kMaxFailedLogins; ++attempt) {
        RemoteClient client;
        EXPECT_EQ(rig.login(client, kPassword + 1), kClientLoginRefused) << attempt;
    }
    EXPECT_FALSE(rig.bridge.clientConnected());
    EXPECT_TRUE(rig.commands().empty());

    RemoteClient blocked;
    EXPECT_EQ(rig.login(blocked), kClientBlocked) << "even with the right password";
    rig.clock.sleepMs(static_cast<uint32_t>(kBlockMs - 1));
    EXPECT_EQ(rig.login(blocked), kClientBlocked);
    rig.clock.sleepMs(1);
    EXPECT_EQ(rig.login(blocked), kClientOk);
}

TEST(RemoteServer, FailuresSpreadOverMoreThanAMinuteDoNotBlock) {
    ServerRig rig;
    for (int attempt = 0; attempt < kMaxFailedLogins; ++attempt) {
        RemoteClient client;
        EXPECT_EQ(rig.login(client, 1), kClientLoginRefused);
        rig.clock.sleepMs(20000);
    }
    RemoteClient client;
    EXPECT_EQ(rig.login(client), kClientOk);
}

TEST(RemoteServer, AReplayedOrAlteredCommandEndsTheConnectionAndReachesNothing) {
    ServerRig rig;
    std::string body;
    putUint32(body, static_cast<uint32_t>(-1));
    {
        RemoteClient client;
        ASSERT_EQ(rig.login(client), kClientOk);
        const std::string first = sealCommand(client.session(), kTypeSetFan, 1, body);
        ASSERT_EQ(client.sendRaw(first), kClientOk);
        ASSERT_EQ(client.sendRaw(first), kClientOk);  // the same bytes again
        Packet packet;
        EXPECT_EQ(client.receive(packet, kWaitMs), kClientClosed);
        EXPECT_EQ(rig.commands().size(), 1u) << "only the first one";
    }
    {
        RemoteClient client;
        ASSERT_EQ(rig.login(client), kClientOk);
        std::string altered = sealCommand(client.session(), kTypeSetFan, 1, body);
        altered[kHeaderSize + kSequenceSize] = 50;  // the level
        ASSERT_EQ(client.sendRaw(altered), kClientOk);
        Packet packet;
        EXPECT_EQ(client.receive(packet, kWaitMs), kClientClosed);
    }
    {
        // A command sealed for another session (an eavesdropper's replay into a new login).
        RemoteClient earlier, later;
        ASSERT_EQ(rig.login(earlier), kClientOk);
        const std::string captured = sealCommand(earlier.session(), kTypeApply, 1, "");
        earlier.close();
        ASSERT_EQ(rig.login(later), kClientOk);
        ASSERT_EQ(later.sendRaw(captured), kClientOk);
        Packet packet;
        EXPECT_EQ(later.receive(packet, kWaitMs), kClientClosed);
    }
    {
        // Commands before the login, and unknown types after it.
        RemoteClient client;
        ASSERT_EQ(rig.connect(client), kClientOk);
        ASSERT_EQ(client.sendRaw(encodePacket(kTypeApply)), kClientOk);
        Packet packet;
        ASSERT_EQ(client.receive(packet, kWaitMs), kClientOk);
        EXPECT_EQ(packet.type, kTypeChallenge);
        EXPECT_EQ(client.receive(packet, kWaitMs), kClientClosed);
        ASSERT_EQ(rig.login(client), kClientOk);
        ASSERT_EQ(client.sendCommand(99, ""), kClientOk);
        EXPECT_EQ(client.receive(packet, kWaitMs), kClientClosed);
    }
    EXPECT_TRUE(rig.commands().empty());
}

TEST(RemoteServer, AThirdPhoneIsTurnedAwayWhileTwoAreConnected) {
    ServerRig rig;
    RemoteClient first, second, third;
    ASSERT_EQ(rig.login(first), kClientOk);
    ASSERT_EQ(rig.login(second), kClientOk);
    EXPECT_NE(rig.bridge.slot(kSecondClientSlot), kNoHandle);
    EXPECT_EQ(rig.login(third), kClientBusy);
    second.close();
    ASSERT_TRUE(eventually([&] { return rig.bridge.slot(kSecondClientSlot) == kNoHandle; }));
    EXPECT_EQ(rig.login(third), kClientOk);
}

TEST(RemoteServer, GarbageOversizedLengthsAndSilentConnectionsNeitherCrashNorHoldOn) {
    ServerRig rig;
    std::string oversized;
    putUint32(oversized, 0xFFFFFFFFu);
    oversized += std::string("\x0a\x00\x40", 3);
    putUint32(oversized, 0xFFFFFFF4u);
    std::string flood(1 << 20, '\0');
    for (size_t i = 0; i < flood.size(); ++i) {
        flood[i] = static_cast<char>((i * 7919) >> 3);
    }
    for (const std::string& bytes : {oversized, flood}) {
        RemoteClient client;
        ASSERT_EQ(rig.connect(client), kClientOk);
        client.sendRaw(bytes);  // the program may close before all of it is sent
        Packet packet;
        while (client.receive(packet, kWaitMs) == kClientOk) {
        }
    }
    ASSERT_TRUE(eventually([&] { return rig.server->connectionCount() == 0; }));

    // Half a header, then nothing: the connection ends at the login deadline.
    RemoteClient slow;
    ASSERT_EQ(rig.connect(slow), kClientOk);
    ASSERT_EQ(slow.sendRaw(encodePacket(kTypeLogin).substr(0, 5)), kClientOk);
    ASSERT_TRUE(eventually([&] { return rig.server->connectionCount() == 1; }));
    rig.clock.sleepMs(static_cast<uint32_t>(kLoginDeadlineMs));
    ASSERT_TRUE(eventually([&] { return rig.server->connectionCount() == 0; }));

    RemoteClient good;
    EXPECT_EQ(rig.login(good), kClientOk) << "still serving";
}

TEST(RemoteServer, TheTimeOutSendsToEverySlotButClosesOnlyThePhones) {
    BroadcastReceiver broadcast;
    ServerRig rig(broadcast.target());
    const uint32_t broadcastHandle = rig.bridge.slot(kBroadcastSlot);
    ASSERT_NE(broadcastHandle, kNoHandle);
    RemoteClient first, second;
    ASSERT_EQ(rig.login(first), kClientOk);
    ASSERT_EQ(rig.login(second), kClientOk);

    EXPECT_FALSE(rig.bridge.timerDue(rig.clock.tickMs() + kClientTimeOutMs - 1));
    ASSERT_TRUE(rig.bridge.timerDue(rig.clock.tickMs() + kClientTimeOutMs));
    EXPECT_TRUE(rig.bridge.clientTimeOut()) << "a client was connected: the message is shown";
    EXPECT_EQ(broadcast.nextType(), kTypeClientTimeOut);
    for (RemoteClient* client : {&first, &second}) {
        Packet packet;
        ASSERT_EQ(client->receive(packet, kWaitMs), kClientOk);
        EXPECT_EQ(packet.type, kTypeClientTimeOut);
        EXPECT_EQ(client->receive(packet, kWaitMs), kClientClosed);
    }
    EXPECT_EQ(rig.bridge.slot(kBroadcastSlot), broadcastHandle) << "slot 0 is never closed";
    EXPECT_EQ(rig.bridge.slot(kFirstClientSlot), kNoHandle);
    EXPECT_EQ(rig.bridge.slot(kSecondClientSlot), kNoHandle);
    EXPECT_TRUE(rig.bridge.slot2Free());
    EXPECT_FALSE(rig.bridge.clientConnected());
    EXPECT_FALSE(rig.bridge.timerRunning());
    EXPECT_FALSE(rig.bridge.clientTimeOut()) << "no client left: no message";
    EXPECT_EQ(broadcast.nextType(), kTypeClientTimeOut);

    // The apply results go to slot 0 too.
    rig.bridge.setRemoteApplyPending(true);
    rig.bridge.applyResult(false);
    EXPECT_FALSE(rig.bridge.remoteApplyPending());
    EXPECT_EQ(broadcast.nextType(), kTypeApplyFailed);
}

TEST(RemoteServer, SwitchedOffItClosesEveryConnectionAndTheListenerAtOnce) {
    ServerRig rig;
    RemoteClient client, waiting;
    ASSERT_EQ(rig.login(client), kClientOk);
    ASSERT_EQ(rig.connect(waiting), kClientOk);
    const uint16_t port = rig.server->port();
    rig.server->stop();
    EXPECT_EQ(rig.server->connectionCount(), 0u);
    EXPECT_EQ(rig.bridge.slot(kFirstClientSlot), kNoHandle);
    EXPECT_FALSE(rig.bridge.clientConnected());
    Packet packet;
    EXPECT_EQ(client.receive(packet, kWaitMs), kClientClosed);
    RemoteClient late;
    EXPECT_EQ(late.connect("127.0.0.1", port, kWaitMs), kClientNoConnection);
}

}  // namespace
}  // namespace qv::remote
