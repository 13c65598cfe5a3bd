// Writes the speaker test's eight clips into the folder given on the command line: for each
// speaker a tone of its own pitch (a low one for the subwoofer), sounded as many short times as
// the speaker's channel number, filling the clip length of the speaker table.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/AtomicFile.h"
#include "tools/SpeakerTest.h"
#include "tools/WaveClip.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr double kAmplitude = 0.45 * 32767;
constexpr double kBaseHz = 440.0;
constexpr double kSubwooferHz = 70.0;
constexpr double kToneShare = 0.6;  // of each beep's slot, the rest is silence
constexpr double kFadeSeconds = 0.005;
constexpr double kPi = 3.14159265358979323846;
constexpr mode_t kClipMode = 0644;

double pitchOf(const qv::tools::SpeakerEntry& speaker) {
    if (speaker.position == qv::tools::SpeakerPosition::kSubwoofer) {
        return kSubwooferHz;
    }
    // A whole tone apart, channel by channel.
    return kBaseHz * std::pow(2.0, 2.0 * (speaker.channel - 1) / 12.0);
}

qv::tools::WaveClip makeClip(const qv::tools::SpeakerEntry& speaker) {
    qv::tools::WaveClip clip;
    clip.sampleRate = kRate;
    const size_t frames = static_cast<size_t>(kRate) * speaker.lengthMs / 1000;
    const double slot = static_cast<double>(frames) / kRate / speaker.channel;
    const double toneLength = slot * kToneShare;
    const double hz = pitchOf(speaker);
    clip.samples.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double inSlot = std::fmod(t, slot);
        if (inSlot >= toneLength) {
            continue;
        }
        // Short fades, so that the beeps do not click.
        const double fade =
            std::min({1.0, inSlot / kFadeSeconds, (toneLength - inSlot) / kFadeSeconds});
        clip.samples[i] = static_cast<int16_t>(kAmplitude * fade * std::sin(2 * kPi * hz * t));
    }
    return clip;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    for (const qv::tools::SpeakerEntry& speaker : qv::tools::kSpeakerTable) {
        const std::vector<uint8_t> bytes = qv::tools::encodeWaveClip(makeClip(speaker));
        const std::string path = folder + "/" + speaker.clip;
        const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (qv::platform::writeFileAtomically(path, data, kClipMode) != 0) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
            return 1;
        }
    }
    return 0;
}
