#include <gtest/gtest.h>

#include <vector>

#include "tools/HdmiAudioDevices.h"
#include "tools/SpeakerTest.h"
#include "tools/WaveClip.h"

namespace qv::tools {
namespace {

TEST(HdmiAudioNames, MatchIgnoresCaseAndLooksAnywhereInTheName) {
    EXPECT_TRUE(isHdmiAudioName("NVidia High Definition Audio"));
    EXPECT_TRUE(isHdmiAudioName("HDMI 2 (nvidia HIGH definition AUDIO) Digital Output"));
    EXPECT_TRUE(isHdmiAudioName("HDA NVidia"));
    EXPECT_TRUE(isHdmiAudioName("hda nvidia at 0xf7080000 irq 17"));
    EXPECT_FALSE(isHdmiAudioName(""));
    EXPECT_FALSE(isHdmiAudioName("HDA Intel PCH"));
    EXPECT_FALSE(isHdmiAudioName("NVidia High Definition"));  // the whole text, not a start
    EXPECT_FALSE(isHdmiAudioName("NVidia  High Definition Audio"));
}

TEST(HdmiAudioNames, ADeviceMatchesByItsCardOrItsOwnName) {
    EXPECT_TRUE(isHdmiAudioDevice({"HDA NVidia", "", "HDMI 0"}));
    EXPECT_TRUE(isHdmiAudioDevice({"", "HDA NVidia at 0xf7080000", ""}));
    EXPECT_TRUE(isHdmiAudioDevice({"Card", "", "NVidia High Definition Audio 1"}));
    const std::vector<PlaybackDevice> others = {{"HDA Intel PCH", "HDA Intel PCH at 0x1", "ALC892"},
                                                {"USB Audio", "", "USB Audio"}};
    EXPECT_FALSE(hasHdmiAudio(others));
    std::vector<PlaybackDevice> withCard = others;
    withCard.push_back({"HDA NVidia", "", "HDMI 3"});
    EXPECT_TRUE(hasHdmiAudio(withCard));
}

TEST(HdmiAudioNames, WalkingTheSoundCardsNeverFails) {
    // Machines without sound hardware list nothing; those with it list named devices.
    for (const PlaybackDevice& device : listPlaybackDevices()) {
        EXPECT_FALSE(device.cardName.empty());
    }
}

TEST(SpeakerTest, ClicksOnARectangleEdgeSelectNothing) {
    for (size_t i = 0; i < kSpeakerCount; ++i) {
        const SpeakerRect r = kSpeakerTable[i].rect;
        const int right = r.left + r.width;
        const int bottom = r.top + r.height;
        const int midX = r.left + r.width / 2;
        const int midY = r.top + r.height / 2;
        SCOPED_TRACE(i);
        EXPECT_EQ(SpeakerTest::speakerAt(midX, midY), i);
        EXPECT_EQ(SpeakerTest::speakerAt(r.left + 1, r.top + 1), i);
        EXPECT_EQ(SpeakerTest::speakerAt(right - 1, bottom - 1), i);
        for (const auto& [x, y] : std::vector<std::pair<int, int>>{
                 {r.left, midY}, {right, midY}, {midX, r.top}, {midX, bottom},
                 {r.left, r.top}, {right, bottom}}) {
            const auto hit = SpeakerTest::speakerAt(x, y);
            EXPECT_EQ(hit, std::nullopt) << x << "," << y;
        }
    }
    EXPECT_EQ(SpeakerTest::speakerAt(0, 0), std::nullopt);
    EXPECT_EQ(SpeakerTest::speakerAt(300, 500), std::nullopt);
}

TEST(SpeakerTest, TheEdgeTwoSpeakersShareSelectsNeither) {
    // The side left speaker's right edge is the subwoofer's left edge.
    EXPECT_EQ(SpeakerTest::speakerAt(156, 420), std::nullopt);
    EXPECT_EQ(SpeakerTest::speakerAt(155, 420), 6u);
    EXPECT_EQ(SpeakerTest::speakerAt(157, 420), 7u);
}

// The speakers lit after each pass, as a list.
std::vector<size_t> litSpeakers(const SpeakerTest& test) {
    std::vector<size_t> lit;
    for (size_t i = 0; i < kSpeakerCount; ++i) {
        if (test.lit(i)) {
            lit.push_back(i);
        }
    }
    return lit;
}

TEST(SpeakerTest, PlayingAllLightsTheSpeakersInTableOrderThenStops) {
    SpeakerTest test;
    std::vector<size_t> all = {0, 1, 2, 3, 4, 5, 6, 7};
    SpeakerTest::Pass pass = test.startLights(all);
    // The first speaker lights as its clip starts.
    EXPECT_EQ(litSpeakers(test), std::vector<size_t>{0});
    EXPECT_FALSE(pass.stop);
    // Clip lengths 1000, 1000, 2000, 1000, 1000, 2000, 2000, 1000: a speaker lights on the
    // tick its clip starts and goes off on the next; a 2000 ms clip leaves one dark tick.
    const std::vector<std::vector<size_t>> expected = {
        {1}, {2}, {}, {3}, {4}, {5}, {}, {6}, {}, {7}, {}};
    size_t ticks = 0;
    for (const auto& lit : expected) {
        pass = test.highlightTick();
        ++ticks;
        EXPECT_EQ(litSpeakers(test), lit) << "tick " << ticks;
        if (pass.stop) {
            break;
        }
    }
    EXPECT_TRUE(pass.stop);
    EXPECT_EQ(ticks, expected.size());
    EXPECT_FALSE(test.anyLightTime());
}

TEST(SpeakerTest, APassLightsOneSpeakerAndLeavesTheLaterOnesForTheNextTick) {
    SpeakerTest test;
    test.startLights({});  // a pass with nothing scheduled stops at once
    // Both due at once: the first in table order lights, the pass ends there.
    SpeakerTest::Pass pass = test.startLights({3});
    EXPECT_EQ(pass.repaint, std::vector<size_t>{3});
    EXPECT_TRUE(test.lit(3));
    pass = test.highlightTick();
    EXPECT_EQ(pass.repaint, std::vector<size_t>{3});
    EXPECT_FALSE(test.lit(3));
    EXPECT_TRUE(pass.stop);
}

TEST(SpeakerTest, ANewPlayDropsTheEarlierSchedule) {
    SpeakerTest test;
    test.startLights({0, 1, 2});
    EXPECT_TRUE(test.lit(0));
    SpeakerTest::Pass pass = test.startLights({5});
    // Speaker 1 of the total sequence never lights; the old light goes off on the way.
    EXPECT_EQ(pass.repaint, (std::vector<size_t>{0, 5}));
    EXPECT_EQ(litSpeakers(test), std::vector<size_t>{5});
    EXPECT_EQ(test.lightTime(1), 0u);
    EXPECT_EQ(test.lightTime(2), 0u);
    pass = test.highlightTick();
    EXPECT_TRUE(pass.stop);
    EXPECT_TRUE(litSpeakers(test).empty());
}

WaveClip tone(uint32_t rate, size_t count) {
    WaveClip clip;
    clip.sampleRate = rate;
    for (size_t i = 0; i < count; ++i) {
        clip.samples.push_back(static_cast<int16_t>((i * 977) % 65536 - 32768));
    }
    return clip;
}

TEST(WaveClip, WrittenClipsReadBackAndGiveTheirLength) {
    const WaveClip clip = tone(48000, 48000);
    const std::vector<uint8_t> bytes = encodeWaveClip(clip);
    ASSERT_EQ(bytes.size(), 44u + 96000u);
    WaveClip back;
    ASSERT_EQ(parseWaveClip(bytes.data(), bytes.size(), back), kWaveOk);
    EXPECT_EQ(back.sampleRate, 48000u);
    EXPECT_EQ(back.samples, clip.samples);
    EXPECT_EQ(back.lengthMs(), 1000u);
}

// A stereo file with a list chunk of odd size before its data.
std::vector<uint8_t> stereoFile() {
    std::vector<uint8_t> f = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E',
                              'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0,
                              0x40, 0x1F, 0, 0, 0, 0, 0, 0, 4, 0, 16, 0,
                              'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0,
                              'd', 'a', 't', 'a', 8, 0, 0, 0,
                              100, 0, 200, 0,           // 100 and 200
                              0x9C, 0xFF, 0x38, 0xFF};  // -100 and -200
    return f;
}

TEST(WaveClip, StereoIsAveragedAndOtherChunksAreSkipped) {
    const std::vector<uint8_t> f = stereoFile();
    WaveClip clip;
    ASSERT_EQ(parseWaveClip(f.data(), f.size(), clip), kWaveOk);
    EXPECT_EQ(clip.sampleRate, 8000u);
    EXPECT_EQ(clip.samples, (std::vector<int16_t>{150, -150}));
}

TEST(WaveClip, BrokenFilesAreRefusedWithoutReadingPastTheEnd) {
    const std::vector<uint8_t> good = stereoFile();
    WaveClip clip;
    // Every cut short of the data's first frame fails.
    for (size_t size = 0; size < 56; ++size) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(size));
        EXPECT_EQ(parseWaveClip(cut.data(), cut.size(), clip), kWaveBadFormat) << size;
        EXPECT_TRUE(clip.samples.empty());
    }
    const auto changed = [&](size_t at, uint8_t value) {
        std::vector<uint8_t> f = good;
        f[at] = value;
        return parseWaveClip(f.data(), f.size(), clip);
    };
    EXPECT_EQ(changed(20, 3), kWaveBadFormat);     // not PCM
    EXPECT_EQ(changed(22, 6), kWaveBadFormat);     // six channels
    EXPECT_EQ(changed(22, 0), kWaveBadFormat);     // no channel
    EXPECT_EQ(changed(34, 8), kWaveBadFormat);     // 8-bit samples
    EXPECT_EQ(changed(24, 0x10), kWaveBadFormat);  // below 8000 Hz
    EXPECT_EQ(changed(43, 0x7F), kWaveBadFormat);  // a chunk longer than the file
    EXPECT_EQ(changed(8, 'X'), kWaveBadFormat);
    // Data before the format cannot be read.
    std::vector<uint8_t> dataFirst = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E',
                                      'd', 'a', 't', 'a', 2, 0, 0, 0, 1, 0};
    EXPECT_EQ(parseWaveClip(dataFirst.data(), dataFirst.size(), clip), kWaveBadFormat);
    EXPECT_EQ(readWaveClip("/nonexistent/clip1.wav", clip), kWaveUnreadable);
}

}  // namespace
}  // namespace qv::tools
