#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/SingleInstance.h"
#include "support/ChildProcess.h"
#include "support/SimHarness.h"

namespace qv::platform {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::TempDir;

constexpr const char* kHelper = "qv-instance-helper";
constexpr uid_t kNobody = 65534;

// Waits until another start has written to the holder's socket.
bool waitForSender(const PosixSingleInstance& instance, int timeoutMs) {
    pollfd waiting{instance.listenDescriptor(), POLLIN, 0};
    return poll(&waiting, 1, timeoutMs) == 1;
}

// A raw connection to the holder's socket, as any local program could open it.
int connectRaw(const PosixSingleInstance& holder) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = "quorvel:" + holder.lockPath();
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void sendRaw(const PosixSingleInstance& holder, const std::string& text) {
    const int fd = connectRaw(holder);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
    close(fd);
}

TEST(SingleInstancePeers, OnlyTheSameKnownUserIsHeard) {
    EXPECT_TRUE(instancePeerAccepted(true, 1000, 1000));
    EXPECT_TRUE(instancePeerAccepted(true, 0, 0));
    EXPECT_FALSE(instancePeerAccepted(true, 1001, 1000));
    EXPECT_FALSE(instancePeerAccepted(true, 0, 1000)) << "not even root speaks for the user";
    EXPECT_FALSE(instancePeerAccepted(true, 1000, 0));
    EXPECT_FALSE(instancePeerAccepted(false, 1000, 1000)) << "a peer nobody can name";
}

TEST(SingleInstanceMessages, LinesCarryShowAndNumberedMessages) {
    uint32_t message = 0;
    EXPECT_EQ(instanceMessageLine(kInstanceShowWindow), "show");
    EXPECT_EQ(instanceMessageLine(kInstanceOpenAdvanced), "2025");
    EXPECT_EQ(instanceMessageLine(7), "");
    ASSERT_TRUE(parseInstanceMessageLine("show", message));
    EXPECT_EQ(message, kInstanceShowWindow);
    ASSERT_TRUE(parseInstanceMessageLine("2025\r", message));
    EXPECT_EQ(message, kInstanceOpenAdvanced);
    for (const char* bad : {"", "SHOW", "show please", "2026", "02025x", "-2025", "99999999999"}) {
        EXPECT_FALSE(parseInstanceMessageLine(bad, message)) << bad;
    }
}

TEST(SingleInstance, SecondProcessBringsTheFirstForwardAndEnds) {
    TempDir folder;
    ChildProcess first(kHelper, {folder.path()});
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(first.waitForOutput("held\n", 10s)) << first.soFar().err;

    PosixSingleInstance second(folder.path());
    EXPECT_EQ(second.acquire(), kInstanceBroughtForward);
    EXPECT_EQ(second.listenDescriptor(), -1);

    const ChildProcess::Result result = first.finish(10s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "acquire=0\nheld\nmessage=1\n");
}

TEST(SingleInstance, HolderHearsLaterStartsAndNumberedMessages) {
    TempDir folder;
    PosixSingleInstance holder(folder.path());
    ASSERT_EQ(holder.acquire(), kInstanceOnly);
    ASSERT_GE(holder.listenDescriptor(), 0);
    EXPECT_TRUE(holder.takeMessages().empty());

    ChildProcess later(kHelper, {folder.path()});
    ASSERT_TRUE(later.start());
    const ChildProcess::Result result = later.finish(10s);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "acquire=1\n");
    ASSERT_TRUE(waitForSender(holder, 5000));
    EXPECT_EQ(holder.takeMessages(), std::vector<uint32_t>{kInstanceShowWindow});

    PosixSingleInstance sender(folder.path());
    ASSERT_TRUE(sender.sendToRunning(kInstanceOpenAdvanced));
    ASSERT_TRUE(waitForSender(holder, 5000));
    EXPECT_EQ(holder.takeMessages(), std::vector<uint32_t>{kInstanceOpenAdvanced});
    EXPECT_FALSE(sender.sendToRunning(42));  // no such message
}

TEST(SingleInstance, LockFileIsOpenToEveryUserAndFreedWhenTheHolderEnds) {
    TempDir folder;
    {
        ChildProcess first(kHelper, {folder.path(), "--wait", "100"});
        ASSERT_TRUE(first.start());
        ASSERT_TRUE(first.waitForOutput("held\n", 10s));
        struct stat info {};
        ASSERT_EQ(stat((folder.path() + "/quorvel-QVHD_App_Mutex.lock").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666u);
        EXPECT_EQ(first.finish(10s).exitCode, 3);  // no message came
    }
    PosixSingleInstance next(folder.path());
    EXPECT_EQ(next.acquire(), kInstanceOnly);
}

TEST(SingleInstance, AnotherUsersInstanceMakesTheLockUnavailable) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the other instance as another user";
    }
    TempDir folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 01777), 0);
    PosixSingleInstance holder(folder.path());
    ASSERT_EQ(holder.acquire(), kInstanceOnly);

    ChildProcess other(kHelper, {folder.path(), "--uid", std::to_string(kNobody)});
    ASSERT_TRUE(other.start());
    const ChildProcess::Result result = other.finish(10s);
    EXPECT_EQ(result.out, "acquire=2\n") << result.err;
    // The other user's start did not reach the holder's window.
    EXPECT_FALSE(waitForSender(holder, 200) && !holder.takeMessages().empty());
}

// Anything but a whole known line within the length bound is dropped, and the holder keeps
// hearing the senders after it.
TEST(SingleInstance, OverlongOrMalformedLinesAreIgnored) {
    TempDir folder;
    PosixSingleInstance holder(folder.path());
    ASSERT_EQ(holder.acquire(), kInstanceOnly);
    for (const std::string& bad :
         {"show" + std::string(PosixSingleInstance::kMaxLineBytes, ' ') + "\n",
          std::string(4096, 'x') + "show\n", std::string("sh\0ow\n", 7), std::string("2025 show\n"),
          std::string("\n"), std::string("\xff\xfe" "2025\n")}) {
        sendRaw(holder, bad);
    }
    ASSERT_TRUE(waitForSender(holder, 5000));
    EXPECT_TRUE(holder.takeMessages().empty());
    sendRaw(holder, "2025\n");
    ASSERT_TRUE(waitForSender(holder, 5000));
    EXPECT_EQ(holder.takeMessages(), std::vector<uint32_t>{kInstanceOpenAdvanced});
}

// A sender that trickles its line (or never ends it) gets the read wait once, not per byte.
TEST(SingleInstance, ASlowSenderCannotHoldTheHolderUp) {
    TempDir folder;
    PosixSingleInstance holder(folder.path());
    ASSERT_EQ(holder.acquire(), kInstanceOnly);
    const int fd = connectRaw(holder);
    ASSERT_GE(fd, 0);
    std::jthread trickle([fd](std::stop_token stop) {
        for (int i = 0; i < 60 && !stop.stop_requested(); ++i) {
            send(fd, "s", 1, MSG_NOSIGNAL);
            std::this_thread::sleep_for(50ms);
        }
    });
    ASSERT_TRUE(waitForSender(holder, 5000));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(holder.takeMessages().empty());
    // The bound is kReadWaitMs; a per-byte wait would take the whole three seconds.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
    trickle.request_stop();
    trickle.join();
    close(fd);
}

// The lock lives in a folder every user can write: a link put in its place is not followed,
// and the file it points to is neither written nor truncated.
TEST(SingleInstance, ALinkInPlaceOfTheLockIsNotFollowed) {
    TempDir folder;
    const std::string target = folder.file("precious");
    std::ofstream(target) << "keep me";
    PosixSingleInstance instance(folder.path());
    std::filesystem::create_symlink(target, instance.lockPath());
    EXPECT_EQ(instance.acquire(), kInstanceUnavailable);
    EXPECT_EQ(instance.listenDescriptor(), -1);
    std::ifstream in(target);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "keep me");
    EXPECT_TRUE(std::filesystem::is_symlink(instance.lockPath()));
}

// Another user's pipe in place of the lock file must not leave a start waiting for a writer.
TEST(SingleInstance, APipeInPlaceOfTheLockDoesNotHoldAStartUp) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to start as another user";
    }
    TempDir folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 01777), 0);
    PosixSingleInstance probe(folder.path());
    ASSERT_EQ(mkfifo(probe.lockPath().c_str(), 0444), 0);
    ASSERT_EQ(chmod(probe.lockPath().c_str(), 0444), 0);

    ChildProcess other(kHelper, {folder.path(), "--uid", std::to_string(kNobody)});
    ASSERT_TRUE(other.start());
    const ChildProcess::Result result = other.finish(5s);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.out, "acquire=2\n") << result.err;
}

TEST(SingleInstance, UnusableFolderReportsUnavailable) {
    PosixSingleInstance instance("/nonexistent-quorvel-folder");
    EXPECT_EQ(instance.acquire(), kInstanceUnavailable);
    EXPECT_EQ(instance.listenDescriptor(), -1);
}

}  // namespace
}  // namespace qv::platform
