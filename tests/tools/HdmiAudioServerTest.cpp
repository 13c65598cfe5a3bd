// The HDMI audio feature against a real sound server: a private PulseAudio daemon with a null
// sink described as the card's HDMI audio beside the default one.
#include <gtest/gtest.h>

#include <fstream>

#include "support/PulseDaemon.h"
#include "support/TempDir.h"
#include "tools/ClipPlayer.h"
#include "tools/HdmiAudio.h"
#include "tools/HdmiAutoSelect.h"
#include "tools/SoundServer.h"

namespace qv::tools {
namespace {

using test::kTestHdmiSink;
using test::kTestOtherSink;

class HdmiAudioServer : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string why = daemon_.start();
        if (!why.empty()) {
            GTEST_SKIP() << "no sound server for the test: " << why;
        }
        server_.emplace(daemon_.address());
    }

    std::string defaultSink() {
        SoundServerState state;
        EXPECT_EQ(server_->readState(state), kSoundServerOk);
        return state.defaultSink;
    }

    // HDMI audio over the daemon, with no sound card and clips from `clips` (none by default).
    HdmiAudio makeAudio(ClipPlayer& player, const std::string& clips = "/nonexistent") {
        HdmiAudioServices services;
        services.server = &*server_;
        services.player = &player;
        services.clipPath = [clips](const std::string& name) { return clips + "/" + name; };
        services.playbackDevices = [] { return std::vector<PlaybackDevice>{}; };
        return HdmiAudio(services);
    }

    test::PulseDaemon daemon_;
    std::optional<PulseSoundServer> server_;
};

TEST_F(HdmiAudioServer, TheServerListsItsSinksWithTheirDescriptions) {
    SoundServerState state;
    ASSERT_EQ(server_->readState(state), kSoundServerOk);
    EXPECT_EQ(state.defaultSink, kTestOtherSink);
    ASSERT_EQ(state.sinks.size(), 2u);
    const SoundSink* hdmi = findHdmiAudioSink(state);
    ASSERT_NE(hdmi, nullptr);
    EXPECT_EQ(hdmi->name, kTestHdmiSink);
    EXPECT_EQ(hdmi->description, test::kTestHdmiDescription);
    EXPECT_EQ(server_->setDefaultSink("no_such_sink"), kSoundServerRefused);
    EXPECT_EQ(defaultSink(), kTestOtherSink);
}

TEST_F(HdmiAudioServer, TheCheckMakesTheHdmiSinkTheDefaultOnceAndLeavesTheUsersChoice) {
    ClipPlayer player(daemon_.address());
    HdmiAudio audio = makeAudio(player);
    audio.detect();
    EXPECT_TRUE(audio.present());  // by the server's sink, with no sound card at all

    // With the option off the default stays.
    EXPECT_EQ(audio.check(false), std::nullopt);
    EXPECT_EQ(defaultSink(), kTestOtherSink);

    EXPECT_EQ(audio.check(true), AutoSelectStep::kMadeDefault);
    EXPECT_EQ(defaultSink(), kTestHdmiSink);

    // The user picks the other sink again: later checks leave it.
    ASSERT_EQ(server_->setDefaultSink(kTestOtherSink), kSoundServerOk);
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_EQ(audio.check(true), AutoSelectStep::kDone);
    }
    EXPECT_EQ(defaultSink(), kTestOtherSink);

    // The page's button still makes it the default on request.
    EXPECT_TRUE(audio.selectNow());
    EXPECT_EQ(defaultSink(), kTestHdmiSink);
}

TEST_F(HdmiAudioServer, AnHdmiSinkThatIsAlreadyTheDefaultEndsTheChecks) {
    ASSERT_EQ(server_->setDefaultSink(kTestHdmiSink), kSoundServerOk);
    HdmiAutoSelect rule;
    SoundServerState state;
    ASSERT_EQ(server_->readState(state), kSoundServerOk);
    EXPECT_EQ(rule.run(state, *server_), AutoSelectStep::kAlreadyDefault);
    ASSERT_EQ(server_->setDefaultSink(kTestOtherSink), kSoundServerOk);
    ASSERT_EQ(server_->readState(state), kSoundServerOk);
    EXPECT_EQ(rule.run(state, *server_), AutoSelectStep::kDone);
    EXPECT_EQ(defaultSink(), kTestOtherSink);
}

TEST_F(HdmiAudioServer, AServerThatGoesAwayIsNoDeviceAndTheChecksGoOnQuietly) {
    ClipPlayer player(daemon_.address());
    HdmiAudio audio = makeAudio(player);
    audio.detect();
    ASSERT_TRUE(audio.present());
    daemon_.stop();
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_EQ(audio.check(true), AutoSelectStep::kNoHdmiSink);
    }
    EXPECT_FALSE(audio.present());
    EXPECT_FALSE(audio.selectNow());
    EXPECT_EQ(audio.play({0}), std::nullopt);
}

TEST_F(HdmiAudioServer, PlayingAClipLightsItsSpeakerAndAStopEndsTheStream) {
    test::TempDir clips;
    WaveClip clip;
    clip.sampleRate = 8000;
    clip.samples.assign(16000, 1000);  // two seconds: still playing when stopped
    const std::vector<uint8_t> bytes = encodeWaveClip(clip);
    for (const SpeakerEntry& speaker : kSpeakerTable) {
        std::ofstream(clips.file(speaker.clip), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    ClipPlayer player(daemon_.address());
    HdmiAudio audio = makeAudio(player, clips.path());
    const auto pass = audio.play({4});
    ASSERT_TRUE(pass.has_value());
    EXPECT_EQ(pass->repaint, std::vector<size_t>{4});
    EXPECT_TRUE(audio.speakers().lit(4));
    EXPECT_TRUE(player.playing());
    player.stop();
    EXPECT_FALSE(player.playing());

    // The whole plan plays as one stream; a click meanwhile replaces it at once.
    ASSERT_TRUE(audio.playAll().has_value());
    EXPECT_TRUE(audio.speakers().lit(0));
    EXPECT_TRUE(player.playing());
    ASSERT_TRUE(audio.play({7}).has_value());
    EXPECT_TRUE(audio.speakers().lit(7));
    EXPECT_FALSE(audio.speakers().lit(0));
    EXPECT_TRUE(player.playing());
}

TEST_F(HdmiAudioServer, AMissingClipPlaysNothingAndLightsNothing) {
    ClipPlayer player(daemon_.address());
    HdmiAudio audio = makeAudio(player);
    EXPECT_EQ(audio.play({2}), std::nullopt);
    EXPECT_FALSE(audio.speakers().lit(2));
    EXPECT_FALSE(player.playing());
}

TEST(HdmiAudioNoServer, EveryStepFailsCleanlyWhereNoServerListens) {
    test::TempDir folder;
    PulseSoundServer server("unix:" + folder.file("native"));
    SoundServerState state;
    EXPECT_EQ(server.readState(state), kSoundServerUnavailable);
    EXPECT_EQ(server.setDefaultSink(kTestHdmiSink), kSoundServerUnavailable);

    ClipPlayer player("unix:" + folder.file("native"));
    ClipPart part;
    part.clip.sampleRate = 8000;
    part.clip.samples.assign(800, 0);
    EXPECT_EQ(player.play({part}), kPlayNoServer);
    EXPECT_EQ(player.play({}), kPlayBadClip);
    ClipPart other = part;
    other.clip.sampleRate = 16000;
    EXPECT_EQ(player.play({part, other}), kPlayBadClip);

    HdmiAudioServices services;
    services.server = &server;
    services.player = &player;
    services.clipPath = [](const std::string& name) { return name; };
    services.playbackDevices = [] {
        return std::vector<PlaybackDevice>{{"HDA Intel PCH", "", "ALC892 Analog"}};
    };
    HdmiAudio audio(services);
    audio.detect();
    EXPECT_FALSE(audio.present());
    EXPECT_EQ(audio.check(true), AutoSelectStep::kNoHdmiSink);

    // A sound card of the HDMI device is enough for the page, even with no server.
    services.playbackDevices = [] {
        return std::vector<PlaybackDevice>{{"HDA NVidia", "", "HDMI 0"}};
    };
    HdmiAudio withCard(services);
    withCard.detect();
    EXPECT_TRUE(withCard.present());
}

}  // namespace
}  // namespace qv::tools
