// Feeds arbitrary bytes as the board name and device ID the driver reports to the metrics
// exposition. Beside memory safety it checks what the format needs from outside text: every
// line stays a comment or one series of ours, so a name can never end a series early or add a
// series of its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "exporter/Exposition.h"

namespace {

constexpr const char* kPrefix = "quorvel_";
constexpr const char* kComment = "# ";

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t half = text.size() / 2;
    qv::exporter::MetricSample sample;
    qv::exporter::GpuMetrics gpu;
    gpu.name = text.substr(0, half);
    gpu.deviceId = text.substr(half);
    gpu.celsius = static_cast<int64_t>(size);
    gpu.fanRpm = 1;
    sample.gpus = {gpu, gpu};
    const std::string body = qv::exporter::renderSample(sample, 1);

    std::istringstream lines(body);
    std::string line;
    size_t series = 0;
    while (std::getline(lines, line)) {
        const bool comment = line.rfind(kComment, 0) == 0;
        check(comment || line.rfind(kPrefix, 0) == 0);
        if (!comment) {
            ++series;
        }
        for (const char c : line) {
            check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        }
    }
    // up, samples, gpus, then temperature and fan rpm for both GPUs.
    check(series == 3 + 2 * 2);
    check(qv::exporter::escapeLabelValue(text).find('\n') == std::string::npos);
    return 0;
}
