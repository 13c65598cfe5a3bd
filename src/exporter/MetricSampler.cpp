#include "exporter/MetricSampler.h"

#include <chrono>
#include <utility>

#include "exporter/Exposition.h"

namespace qv::exporter {

namespace {
// Room for the age family, so that appending it does not copy the body again.
constexpr size_t kAgeFamilyReserve = 160;
}  // namespace

MetricSampler::MetricSampler(Reader reader, platform::Clock& clock)
    : reader_(std::move(reader)), clock_(clock) {}

MetricSampler::~MetricSampler() {
    stop();
}

void MetricSampler::sampleNow() {
    MetricSample sample = reader_();
    sample.takenMs = clock_.tickMs();
    uint64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        number = ++samplesTaken_;
    }
    // Rendered outside the lock: scrapes go on with the previous sample meanwhile.
    auto cached = std::make_shared<Cached>();
    cached->body = renderSample(sample, number);
    cached->takenMs = sample.takenMs;
    std::lock_guard lock(mutex_);
    cached_ = std::move(cached);
}

void MetricSampler::start(uint32_t periodMs) {
    stop();
    sampleNow();
    thread_ = std::jthread([this, periodMs](std::stop_token stop) { run(stop, periodMs); });
}

void MetricSampler::stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        wake_.notify_all();
        thread_.join();
    }
}

void MetricSampler::run(std::stop_token stop, uint32_t periodMs) {
    uint64_t next = clock_.tickMs() + periodMs;
    while (!stop.stop_requested()) {
        const uint64_t now = clock_.tickMs();
        if (now < next) {
            std::unique_lock lock(waitMutex_);
            wake_.wait_for(lock, stop, std::chrono::milliseconds(next - now),
                           [] { return false; });
            continue;
        }
        sampleNow();
        next += periodMs;
        const uint64_t after = clock_.tickMs();
        if (next < after) {
            // The sample overran one or more periods: the next one comes at the next grid point.
            next += ((after - next) / periodMs + 1) * periodMs;
        }
    }
}

std::string MetricSampler::scrape() const {
    std::shared_ptr<const Cached> cached;
    {
        std::lock_guard lock(mutex_);
        cached = cached_;
    }
    if (!cached) {
        return "";
    }
    const uint64_t now = clock_.tickMs();
    const uint64_t age = now > cached->takenMs ? now - cached->takenMs : 0;
    std::string text;
    text.reserve(cached->body.size() + kAgeFamilyReserve);
    text = cached->body;
    text += renderSampleAge(age);
    return text;
}

uint64_t MetricSampler::samplesTaken() const {
    std::lock_guard lock(mutex_);
    return samplesTaken_;
}

}  // namespace qv::exporter
