#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

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

TEST(SingleInstance, UnusableFolderReportsUnavailable) {
    PosixSingleInstance instance("/nonexistent-quorvel-folder");
    EXPECT_EQ(instance.acquire(), kInstanceUnavailable);
    EXPECT_EQ(instance.listenDescriptor(), -1);
}

}  // namespace
}  // namespace qv::platform
