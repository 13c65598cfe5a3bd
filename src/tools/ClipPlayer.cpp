#include "tools/ClipPlayer.h"

#include <pulse/channelmap.h>
#include <pulse/sample.h>
#include <pulse/simple.h>

#include <algorithm>
#include <array>
#include <utility>

namespace qv::tools {

namespace {

constexpr const char* kClientName = "Quorvel K";
constexpr const char* kStreamName = "Speaker test";
// The stream is written a tenth of a second at a time, so a stop takes effect quickly.
constexpr size_t kChunkDivisor = 10;
constexpr pa_usec_t kBufferUs = 200000;

// The stream's channels, in SpeakerPosition order.
constexpr std::array<pa_channel_position_t, kSpeakerPositions> kStreamPositions = {
    PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT,
    PA_CHANNEL_POSITION_FRONT_CENTER, PA_CHANNEL_POSITION_LFE,
    PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT,
    PA_CHANNEL_POSITION_SIDE_LEFT, PA_CHANNEL_POSITION_SIDE_RIGHT,
};

void writeParts(pa_simple* stream, const std::vector<ClipPart>& parts, uint32_t rate,
                std::stop_token stop) {
    const size_t chunkFrames = std::max<size_t>(1, rate / kChunkDivisor);
    std::vector<int16_t> frames;
    for (const ClipPart& part : parts) {
        const size_t channel = static_cast<size_t>(part.position);
        const std::vector<int16_t>& samples = part.clip.samples;
        for (size_t at = 0; at < samples.size(); at += chunkFrames) {
            if (stop.stop_requested()) {
                pa_simple_flush(stream, nullptr);
                return;
            }
            const size_t count = std::min(chunkFrames, samples.size() - at);
            frames.assign(count * kSpeakerPositions, 0);
            for (size_t i = 0; i < count; ++i) {
                frames[i * kSpeakerPositions + channel] = samples[at + i];
            }
            if (pa_simple_write(stream, frames.data(), frames.size() * sizeof(int16_t),
                                nullptr) < 0) {
                return;
            }
        }
    }
    pa_simple_drain(stream, nullptr);
}

}  // namespace

ClipPlayer::ClipPlayer(std::string serverAddress) : serverAddress_(std::move(serverAddress)) {}

ClipPlayer::~ClipPlayer() {
    stop();
}

void ClipPlayer::retire() {
    std::erase_if(retired_, [](const std::unique_ptr<Run>& run) { return !run->playing; });
    if (current_) {
        current_->thread.request_stop();
        retired_.push_back(std::move(current_));
    }
}

void ClipPlayer::stop() {
    retire();
    // Each run's thread is joined as it goes.
    retired_.clear();
}

int ClipPlayer::play(std::vector<ClipPart> parts) {
    retire();
    if (parts.empty()) {
        return kPlayBadClip;
    }
    const uint32_t rate = parts.front().clip.sampleRate;
    for (const ClipPart& part : parts) {
        if (part.clip.sampleRate != rate || rate < kWaveMinRate || rate > kWaveMaxRate ||
            static_cast<size_t>(part.position) >= kSpeakerPositions) {
            return kPlayBadClip;
        }
    }
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_S16LE;
    sampleFormat.rate = rate;
    sampleFormat.channels = static_cast<uint8_t>(kSpeakerPositions);
    pa_channel_map map{};
    map.channels = static_cast<uint8_t>(kSpeakerPositions);
    std::copy(kStreamPositions.begin(), kStreamPositions.end(), map.map);
    // A short server buffer: a write waits at most about a chunk, so a stop (or the next play)
    // never waits for seconds of queued sound.
    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<uint32_t>(-1);
    buffer.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kBufferUs, &sampleFormat));
    buffer.prebuf = static_cast<uint32_t>(-1);
    buffer.minreq = static_cast<uint32_t>(-1);
    buffer.fragsize = static_cast<uint32_t>(-1);
    pa_simple* stream =
        pa_simple_new(serverAddress_.empty() ? nullptr : serverAddress_.c_str(), kClientName,
                      PA_STREAM_PLAYBACK, nullptr, kStreamName, &sampleFormat, &map, &buffer, nullptr);
    if (stream == nullptr) {
        return kPlayNoServer;
    }
    current_ = std::make_unique<Run>();
    Run* run = current_.get();
    run->thread =
        std::jthread([run, stream, rate, parts = std::move(parts)](std::stop_token stop) {
            writeParts(stream, parts, rate, stop);
            pa_simple_free(stream);
            run->playing = false;
        });
    return kPlayOk;
}

}  // namespace qv::tools
