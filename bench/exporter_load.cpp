// The exporter under load, run by hand (scripts/exporter-load.sh): six simulated GPUs, SCRAPERS
// scrapers each polling /metrics every 100 ms for SECONDS (default 20 scrapers, 30 s) against one
// sampler reading every 1000 ms. Every 5 s it prints the exporter's CPU time (the threads of the
// sampler and the HTTP server; the scrapers' own are left out) and the process's resident
// memory; at the end the samples, the driver calls per sample and the failed scrapes. Exit code 1
// when a scrape failed or the driver was read more than once per sample.
#include <httplib.h>
#include <pthread.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ExporterReader.h"
#include "ExporterServer.h"
#include "SimBench.h"
#include "exporter/MetricSampler.h"
#include "gpu/DriverIds.h"
#include "gpu/GpuLayer.h"
#include "settings/FileRegistryStore.h"

namespace {

constexpr int kDefaultSeconds = 30;
constexpr int kDefaultScrapers = 20;
constexpr auto kScrapeEvery = std::chrono::milliseconds(100);
constexpr uint32_t kPeriodMs = 1000;
constexpr int kReportEverySeconds = 5;
constexpr const char* kScraperThreadName = "scraper";

// CPU seconds of this process's threads, except the scrapers.
double exporterCpuSeconds() {
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    double total = 0.0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream commFile(task.path() / "comm");
        std::string comm;
        std::getline(commFile, comm);
        if (comm == kScraperThreadName) {
            continue;
        }
        std::ifstream statFile(task.path() / "stat");
        std::string stat;
        std::getline(statFile, stat);
        // Fields after the command name in parentheses: state is field 3, utime 14, stime 15.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int index = 3; fields >> field; ++index) {
            if (index == 14) {
                utime = std::stoull(field);
            } else if (index == 15) {
                stime = std::stoull(field);
                break;
            }
        }
        total += static_cast<double>(utime + stime) / ticks;
    }
    return total;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : kDefaultSeconds;
    const int scraperCount = argc > 2 ? std::atoi(argv[2]) : kDefaultScrapers;
    if (seconds <= 0 || scraperCount <= 0) {
        std::fprintf(stderr, "usage: exporter_load [SECONDS [SCRAPERS]]\n");
        return 2;
    }
    qv::test::TempDir folder;
    setenv(qv::bench::kStateDirVariable, folder.file("sim").c_str(), 1);
    setenv(qv::bench::kConfigVariable, "six-gpus", 1);
    setenv(qv::settings::kConfigFolderEnvironment, folder.file("config").c_str(), 1);
    std::filesystem::create_directory(folder.file("sim"));

    qv::bench::SimLibrary& library = qv::bench::simLibrary();
    if (!qv::bench::openSimLibrary(library)) {
        std::fprintf(stderr, "%s\n", library.error.c_str());
        return 2;
    }
    int rc = 0;
    {
        qv::gpu::GpuLayer layer(*library.loader);
        if (layer.initialize() != qv::gpu::kInitOk) {
            std::fprintf(stderr, "the simulated boards did not initialise\n");
            return 2;
        }
        layer.waitForProbe();
        qv::settings::FileRegistryStore store;
        qv::cli::ExporterReader reader(layer, store);
        qv::exporter::MetricSampler sampler([&reader] { return reader.read(); },
                                            qv::platform::SystemClock::instance());
        sampler.sampleNow();
        library.control.clearCounters();
        sampler.sampleNow();
        const uint64_t callsPerSample = library.control.callCount(0);

        qv::cli::ExporterServer server(sampler);
        std::string error;
        if (!server.bind({"127.0.0.1", 0}, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
        server.start();
        std::printf("%u GPUs, %d scrapers every %lld ms for %d s, one sample every %u ms, "
                    "%llu driver calls per sample\n",
                    static_cast<unsigned>(layer.gpuCount()), scraperCount,
                    static_cast<long long>(kScrapeEvery.count()), seconds, kPeriodMs,
                    static_cast<unsigned long long>(callsPerSample));

        library.control.clearCounters();
        const uint64_t samplesBefore = sampler.samplesTaken();
        const auto started = std::chrono::steady_clock::now();
        const auto end = started + std::chrono::seconds(seconds);
        sampler.start(kPeriodMs);
        std::atomic<long> scrapes{0};
        std::atomic<long> failures{0};
        std::vector<std::thread> scrapers;
        for (int i = 0; i < scraperCount; ++i) {
            scrapers.emplace_back([&] {
                pthread_setname_np(pthread_self(), kScraperThreadName);
                httplib::Client http("127.0.0.1", server.port());
                auto next = std::chrono::steady_clock::now();
                while (std::chrono::steady_clock::now() < end) {
                    const httplib::Result result = http.Get(qv::cli::kMetricsPath);
                    if (!result || result->status != 200) {
                        ++failures;
                    }
                    ++scrapes;
                    next += kScrapeEvery;
                    std::this_thread::sleep_until(next);
                }
            });
        }
        std::printf("%8s %12s %12s %10s %9s\n", "time s", "cpu s", "rss KiB", "scrapes",
                    "failures");
        double lastCpu = exporterCpuSeconds();
        for (int t = kReportEverySeconds; t <= seconds; t += kReportEverySeconds) {
            std::this_thread::sleep_until(started + std::chrono::seconds(t));
            const double cpu = exporterCpuSeconds();
            std::printf("%8d %12.3f %12ld %10ld %9ld   (cpu %+.3f s in the last %d s)\n", t, cpu,
                        residentKiB(), scrapes.load(), failures.load(), cpu - lastCpu,
                        kReportEverySeconds);
            std::fflush(stdout);
            lastCpu = cpu;
        }
        for (std::thread& scraper : scrapers) {
            scraper.join();
        }
        sampler.stop();
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                             started)
                                   .count();
        const uint64_t samples = sampler.samplesTaken() - samplesBefore;
        const uint64_t calls = library.control.callCount(0);
        std::printf("%.1f s: %ld scrapes, %ld failed; %llu samples; %llu driver calls "
                    "(%llu expected at %llu per sample)\n",
                    elapsed, scrapes.load(), failures.load(),
                    static_cast<unsigned long long>(samples),
                    static_cast<unsigned long long>(calls),
                    static_cast<unsigned long long>(samples * callsPerSample),
                    static_cast<unsigned long long>(callsPerSample));
        // The simulator keeps a log of every I2C transaction and hook call in this process (up
        // to 65536 entries each); it grows with the samples, not with the scrapes.
        std::printf("simulator logs in this process: %zu I2C transactions (%zu bytes), %zu hook "
                    "calls (%zu bytes)\n",
                    library.control.i2cLogCount(),
                    library.control.i2cLogCount() * sizeof(QvSimI2cEvent),
                    library.control.hookLogCount(),
                    library.control.hookLogCount() * sizeof(QvSimHookEvent));
        if (failures.load() != 0 || calls != samples * callsPerSample ||
            samples > static_cast<uint64_t>(elapsed * 1000.0) / kPeriodMs + 1) {
            rc = 1;
        }
        server.stop();
    }
    qv::bench::closeSimLibrary(library);
    return rc;
}
