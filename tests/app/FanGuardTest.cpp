// The fan guard's conversation: what the program sends, and what the guard makes of it.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/FanGuard.h"
#include "app/FanGuardClient.h"

namespace qv::app {
namespace {

TEST(FanGuardWatch, LinesTakeEffectWhenCompleteWhateverPiecesTheyArriveIn) {
    FanGuardWatch watch;
    const std::string said = fanGuardDriverLine("/opt/lib/libqvsim.so") + fanGuardFansLine({0, 2}) +
                             fanGuardFansLine({1, 2, 4});
    for (const char c : said.substr(0, said.size() - 1)) {
        watch.feed(std::string_view(&c, 1));
    }
    EXPECT_EQ(watch.driverLibrary(), "/opt/lib/libqvsim.so");
    EXPECT_EQ(watch.gpus(), (std::vector<uint8_t>{0, 2})) << "the last line is not complete";
    watch.feed("\n");
    EXPECT_EQ(watch.gpus(), (std::vector<uint8_t>{1, 2, 4}));
    EXPECT_TRUE(watch.fansToReturn());

    watch.feed(fanGuardFansLine({}));
    EXPECT_FALSE(watch.fansToReturn()) << "every fan was handed back";
    watch.feed(fanGuardFansLine({3}) + fanGuardByeLine());
    EXPECT_TRUE(watch.saidGoodbye());
    EXPECT_FALSE(watch.fansToReturn());
}

TEST(FanGuardWatch, MalformedAndOverlongLinesChangeNothing) {
    FanGuardWatch watch;
    watch.feed(fanGuardDriverLine("/lib/driver.so") + fanGuardFansLine({1}));
    for (const char* line : {"fans 9\n", "fans 1x\n", "fans -1\n", "fansy 2\n", "driver \n",
                             "byebye\n", "fans 1,2\n"}) {
        watch.feed(line);
    }
    watch.feed("fans " + std::string(FanGuardWatch::kMaxLineBytes, '2') + "\n");
    EXPECT_EQ(watch.driverLibrary(), "/lib/driver.so");
    EXPECT_EQ(watch.gpus(), std::vector<uint8_t>{1});
    EXPECT_FALSE(watch.saidGoodbye());
    watch.feed("fans  0   3\n");
    EXPECT_EQ(watch.gpus(), (std::vector<uint8_t>{0, 3}));
}

// Starts nothing: hands the client one end of a socket pair and keeps the other to read.
class PairLauncher final : public platform::ProcessLauncher {
public:
    ~PairLauncher() override {
        if (ours >= 0) {
            close(ours);
        }
    }
    bool startHidden(const std::string&, const std::vector<std::string>&,
                     const std::string&) override {
        return false;
    }
    bool startWithChannel(const std::string& program, const std::vector<std::string>&,
                          int& channel) override {
        ++starts;
        started = program;
        if (refuse) {
            channel = -1;
            return false;
        }
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
            return false;
        }
        ours = ends[0];
        channel = ends[1];
        return true;
    }
    // Everything sent until the client closed its end.
    std::string readAll() const {
        std::string text;
        char buffer[256];
        ssize_t n = 0;
        while ((n = read(ours, buffer, sizeof(buffer))) > 0) {
            text.append(buffer, static_cast<size_t>(n));
        }
        return text;
    }
    int starts = 0;
    bool refuse = false;
    std::string started;
    int ours = -1;
};

TEST(FanGuardClient, StartsTheGuardWithTheFirstDrivenFanAndSaysByeAtTheEnd) {
    PairLauncher launcher;
    {
        FanGuardClient client(launcher, "/bin/qv-fan-guard", "/lib/libqvsim.so");
        client.drivenFansChanged({});
        EXPECT_EQ(launcher.starts, 0) << "no fan driven, no guard";
        client.drivenFansChanged({1});
        client.drivenFansChanged({1, 3});
        client.drivenFansChanged({});
        EXPECT_TRUE(client.guardRunning());
        client.farewell();
        EXPECT_FALSE(client.guardRunning());
    }
    EXPECT_EQ(launcher.starts, 1);
    EXPECT_EQ(launcher.started, "/bin/qv-fan-guard");
    EXPECT_EQ(launcher.readAll(), "driver /lib/libqvsim.so\nfans 1\nfans 1 3\nfans\nbye\n");
}

TEST(FanGuardClient, WithoutFarewellTheGuardIsLeftWithTheFansAndAFailedStartIsNotRepeated) {
    PairLauncher launcher;
    {
        FanGuardClient client(launcher, "guard", "driver.so");
        client.drivenFansChanged({0});
    }
    FanGuardWatch watch;
    watch.feed(launcher.readAll());
    EXPECT_TRUE(watch.fansToReturn());
    EXPECT_EQ(watch.gpus(), std::vector<uint8_t>{0});

    PairLauncher refusing;
    refusing.refuse = true;
    FanGuardClient client(refusing, "guard", "driver.so");
    client.drivenFansChanged({0});
    client.drivenFansChanged({0, 1});
    EXPECT_EQ(refusing.starts, 1);
    EXPECT_FALSE(client.guardRunning());
}

}  // namespace
}  // namespace qv::app
