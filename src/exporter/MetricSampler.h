// The one reader of the GPUs behind the metrics exporter: it takes a sample once per period on
// its own thread, whatever the number of scrapers, and every scrape is answered from the last
// sample, so a scrape never reaches the driver.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "exporter/MetricSample.h"
#include "platform/Clock.h"

namespace qv::exporter {

// How often the GPUs are read: at least a tenth of a second, at most a day.
inline constexpr uint32_t kDefaultPeriodMs = 1000;
inline constexpr uint32_t kMinPeriodMs = 100;
inline constexpr uint32_t kMaxPeriodMs = 86400000;

class MetricSampler {
public:
    // Reads every GPU once. Called on one thread at a time only: the sampler's own, or the
    // caller of sampleNow(). The sampler fills in the time the sample was taken.
    using Reader = std::function<MetricSample()>;

    MetricSampler(Reader reader, platform::Clock& clock);
    ~MetricSampler();
    MetricSampler(const MetricSampler&) = delete;
    MetricSampler& operator=(const MetricSampler&) = delete;

    // Takes a sample now and makes it the answer of the scrapes that follow.
    void sampleNow();

    // Takes the first sample before it returns, then one per period on a fixed grid on a thread
    // of its own. A sample that takes longer than the period drops the grid points it missed
    // instead of catching up, so the GPUs are never read more often than asked.
    void start(uint32_t periodMs);
    // Ends the thread; the last sample still answers scrapes.
    void stop();

    // The text of one scrape: the last sample's metrics and its age. Empty before the first
    // sample. Safe from any thread.
    std::string scrape() const;

    uint64_t samplesTaken() const;

private:
    struct Cached {
        std::string body;
        uint64_t takenMs = 0;
    };

    void run(std::stop_token stop, uint32_t periodMs);

    Reader reader_;
    platform::Clock& clock_;
    mutable std::mutex mutex_;
    std::shared_ptr<const Cached> cached_;  // replaced whole, under mutex_
    uint64_t samplesTaken_ = 0;             // under mutex_
    std::mutex waitMutex_;
    std::condition_variable_any wake_;
    std::jthread thread_;
};

}  // namespace qv::exporter
