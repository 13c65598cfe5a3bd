#include "tools/WaveClip.h"

#include <fstream>
#include <iterator>

namespace qv::tools {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kBitsPerSample = 16;
constexpr uint16_t kMaxChannels = 2;
constexpr size_t kRiffHeaderSize = 12;
constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kFormatChunkMinSize = 16;
// Larger than any clip we ship, small enough that a broken file cannot ask for much memory.
constexpr size_t kMaxFileSize =
    static_cast<size_t>(kWaveMaxRate) * kWaveMaxSeconds * kMaxChannels * 2 + 4096;

uint16_t read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool tagIs(const uint8_t* p, const char* tag) {
    return p[0] == static_cast<uint8_t>(tag[0]) && p[1] == static_cast<uint8_t>(tag[1]) &&
           p[2] == static_cast<uint8_t>(tag[2]) && p[3] == static_cast<uint8_t>(tag[3]);
}

void put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>((value >> shift) & 0xFF));
    }
}

void putTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(tag[i]));
    }
}

}  // namespace

int parseWaveClip(const uint8_t* data, size_t size, WaveClip& clip) {
    clip = {};
    if (data == nullptr || size < kRiffHeaderSize || size > kMaxFileSize ||
        !tagIs(data, "RIFF") || !tagIs(data + 8, "WAVE")) {
        return kWaveBadFormat;
    }
    uint16_t channels = 0;
    uint32_t rate = 0;
    bool haveFormat = false;
    size_t at = kRiffHeaderSize;
    while (size - at >= kChunkHeaderSize) {
        const uint8_t* chunk = data + at;
        const size_t chunkSize = read32(chunk + 4);
        const size_t body = at + kChunkHeaderSize;
        if (chunkSize > size - body) {
            return kWaveBadFormat;
        }
        if (tagIs(chunk, "fmt ")) {
            if (chunkSize < kFormatChunkMinSize) {
                return kWaveBadFormat;
            }
            const uint8_t* f = data + body;
            channels = read16(f + 2);
            rate = read32(f + 4);
            if (read16(f) != kFormatPcm || read16(f + 14) != kBitsPerSample || channels == 0 ||
                channels > kMaxChannels || rate < kWaveMinRate || rate > kWaveMaxRate) {
                return kWaveBadFormat;
            }
            haveFormat = true;
        } else if (tagIs(chunk, "data")) {
            if (!haveFormat) {
                return kWaveBadFormat;
            }
            const size_t frameBytes = static_cast<size_t>(channels) * 2;
            const size_t frames = chunkSize / frameBytes;
            if (frames > static_cast<size_t>(rate) * kWaveMaxSeconds) {
                return kWaveBadFormat;
            }
            clip.sampleRate = rate;
            clip.samples.resize(frames);
            for (size_t i = 0; i < frames; ++i) {
                const uint8_t* frame = data + body + i * frameBytes;
                int sum = 0;
                for (uint16_t c = 0; c < channels; ++c) {
                    sum += static_cast<int16_t>(read16(frame + c * 2));
                }
                clip.samples[i] = static_cast<int16_t>(sum / channels);
            }
            return kWaveOk;
        }
        // Chunks are padded to an even size.
        const size_t next = body + chunkSize + (chunkSize & 1u);
        if (next > size) {
            break;
        }
        at = next;
    }
    return kWaveBadFormat;
}

int readWaveClip(const std::string& path, WaveClip& clip) {
    clip = {};
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return kWaveUnreadable;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0) {
        return kWaveUnreadable;
    }
    if (static_cast<size_t>(length) > kMaxFileSize) {
        return kWaveBadFormat;
    }
    in.seekg(0, std::ios::beg);
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) {
        return kWaveUnreadable;
    }
    return parseWaveClip(bytes.data(), bytes.size(), clip);
}

std::vector<uint8_t> encodeWaveClip(const WaveClip& clip) {
    const uint32_t dataBytes = static_cast<uint32_t>(clip.samples.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    putTag(out, "RIFF");
    put32(out, 36 + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, static_cast<uint32_t>(kFormatChunkMinSize));
    put16(out, kFormatPcm);
    put16(out, 1);  // mono
    put32(out, clip.sampleRate);
    put32(out, clip.sampleRate * 2);  // bytes per second
    put16(out, 2);                    // bytes per frame
    put16(out, kBitsPerSample);
    putTag(out, "data");
    put32(out, dataBytes);
    for (int16_t sample : clip.samples) {
        put16(out, static_cast<uint16_t>(sample));
    }
    return out;
}

}  // namespace qv::tools
