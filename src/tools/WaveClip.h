// The speaker test's clips: 16-bit PCM WAV files, mono or stereo, read into one mono channel
// (a stereo file's two channels are averaged), and written mono.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::tools {

inline constexpr int kWaveOk = 0;
inline constexpr int kWaveUnreadable = -1;  // the file cannot be opened or read
inline constexpr int kWaveBadFormat = -2;   // not a WAV file this reader takes

inline constexpr uint32_t kWaveMinRate = 8000;
inline constexpr uint32_t kWaveMaxRate = 192000;
// A clip is a few seconds; anything much longer is not one of ours.
inline constexpr uint32_t kWaveMaxSeconds = 30;

struct WaveClip {
    uint32_t sampleRate = 0;
    std::vector<int16_t> samples;  // mono

    uint32_t lengthMs() const {
        return sampleRate == 0 ? 0
                               : static_cast<uint32_t>(samples.size() * 1000ull / sampleRate);
    }
};

int parseWaveClip(const uint8_t* data, size_t size, WaveClip& clip);
int readWaveClip(const std::string& path, WaveClip& clip);
std::vector<uint8_t> encodeWaveClip(const WaveClip& clip);

}  // namespace qv::tools
