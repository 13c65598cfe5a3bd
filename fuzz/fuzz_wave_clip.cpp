// Feeds arbitrary bytes to the speaker test's WAV reader. Beside memory safety (any length,
// chunk sizes that point past the end) it checks what the reader promises: a refused file
// leaves an empty clip, an accepted one has a rate in range and no more samples than the file
// has room for, and writing an accepted clip and reading it back gives the same clip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "tools/WaveClip.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto bytes = std::make_unique<uint8_t[]>(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = data[i];
    }
    qv::tools::WaveClip clip;
    const int status = qv::tools::parseWaveClip(bytes.get(), size, clip);
    check(status == qv::tools::kWaveOk || status == qv::tools::kWaveBadFormat);
    if (status != qv::tools::kWaveOk) {
        check(clip.samples.empty() && clip.sampleRate == 0);
        return 0;
    }
    check(clip.sampleRate >= qv::tools::kWaveMinRate && clip.sampleRate <= qv::tools::kWaveMaxRate);
    check(clip.samples.size() * 2 <= size);
    const std::vector<uint8_t> written = qv::tools::encodeWaveClip(clip);
    qv::tools::WaveClip back;
    check(qv::tools::parseWaveClip(written.data(), written.size(), back) == qv::tools::kWaveOk);
    check(back.sampleRate == clip.sampleRate && back.samples == clip.samples);
    return 0;
}
