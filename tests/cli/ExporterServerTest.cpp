// The exporter in this process over the simulated driver: the real reader, sampler and HTTP
// server on a free loopback port, scraped with an HTTP client, and by Prometheus where it is
// installed.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "ExporterReader.h"
#include "ExporterServer.h"
#include "exporter/Exposition.h"
#include "exporter/MetricSampler.h"
#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayerTestSupport.h"
#include "settings/FileRegistryStore.h"
#include "settings/RegistryValues.h"
#include "support/ChildProcess.h"

namespace qv::cli {
namespace {

using test::ChildProcess;

constexpr const char* kLoopback = "127.0.0.1";
constexpr time_t kRawAnswerSeconds = 30;

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The full path of `program` on PATH; empty when it is not installed.
std::string onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    size_t from = 0;
    while (from <= folders.size()) {
        const size_t to = std::min(folders.find(':', from), folders.size());
        const std::string candidate = folders.substr(from, to - from) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        from = to + 1;
    }
    return "";
}

// A loopback port nobody listens on at the moment.
uint16_t freePort() {
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
    close(sock);
    return ntohs(address.sin_port);
}

// Sends `request` as it is and answers the status line the server sent back.
std::string rawStatusLine(uint16_t port, const std::string& request) {
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        // The write side stays open: the library answers nothing to a client that has gone.
        timeval limit{kRawAnswerSeconds, 0};
        setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
        send(sock, request.data(), request.size(), MSG_NOSIGNAL);
        char buffer[256];
        const ssize_t n = recv(sock, buffer, sizeof(buffer), 0);
        if (n > 0) {
            answer.assign(buffer, static_cast<size_t>(n));
        }
    }
    close(sock);
    return answer.substr(0, answer.find("\r\n"));
}

// A whole exporter as `qvctl exporter` builds it, over its own simulated machine.
class ExporterRig {
public:
    explicit ExporterRig(const std::string& config = "") : layerRig(config) {
        gpu::GpuLayer& layer = *layerRig.layer;
        EXPECT_EQ(layer.initialize(), gpu::kInitOk);
        layer.waitForProbe();
        reader = std::make_unique<ExporterReader>(layer, store);
        sampler = std::make_unique<exporter::MetricSampler>(
            [this] { return reader->read(); }, platform::SystemClock::instance());
        // As qvctl does: the first sample before the server answers.
        sampler->sampleNow();
        server = std::make_unique<ExporterServer>(*sampler);
        std::string error;
        EXPECT_TRUE(server->bind({kLoopback, 0}, error)) << error;
        server->start();
    }
    const test::SimControl& sim() const { return layerRig.sim(); }
    uint8_t gpuCount() const { return layerRig.layer->gpuCount(); }
    httplib::Client client() const { return httplib::Client(kLoopback, server->port()); }
    std::string scrape() const {
        httplib::Client http = client();
        const httplib::Result result = http.Get(kMetricsPath);
        EXPECT_TRUE(result) << httplib::to_string(result.error());
        EXPECT_EQ(result ? result->status : 0, 200);
        return result ? result->body : "";
    }

    test::LayerRig layerRig;
    settings::FileRegistryStore store;
    std::unique_ptr<ExporterReader> reader;
    std::unique_ptr<exporter::MetricSampler> sampler;
    std::unique_ptr<ExporterServer> server;
};

TEST(ExporterServerTest, MetricsCarryTheSimulatorsValuesAndTheAlarm) {
    ExporterRig rig;
    ASSERT_EQ(rig.gpuCount(), 3);
    const int32_t pinned[] = {41, 52, 97};
    for (uint32_t gpu = 0; gpu < 3; ++gpu) {
        rig.sim().setTemperature(gpu, pinned[gpu]);
    }
    // The alarm on at the default threshold (95 °C): GPU 2 is above it.
    rig.store.writeValue(settings::kValueTemperatureAlarmSet, 1);
    rig.store.writeValue(settings::kValueTemperatureAlarmValue, 0);
    rig.sampler->sampleNow();

    httplib::Client http = rig.client();
    const httplib::Result result = http.Get(kMetricsPath);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), exporter::kExpositionContentType);
    const std::string& text = result->body;
    EXPECT_TRUE(contains(text, "quorvel_up 1\n")) << text;
    EXPECT_TRUE(contains(text, "quorvel_gpus 3\n")) << text;
    for (uint32_t gpu = 0; gpu < 3; ++gpu) {
        std::string name;
        ASSERT_EQ(rig.layerRig.layer->boardName(static_cast<uint8_t>(gpu), name), drv::kOk);
        const std::string labels = "{gpu=\"" + std::to_string(gpu) + "\",name=\"" + name +
                                   "\",device_id=\"" +
                                   rig.layerRig.layer->deviceIdText(static_cast<uint8_t>(gpu)) +
                                   "\"}";
        EXPECT_TRUE(contains(text, "quorvel_gpu_temperature_celsius" + labels + " " +
                                       std::to_string(pinned[gpu]) + "\n"))
            << labels << "\n" << text;
        EXPECT_TRUE(contains(text, "quorvel_temperature_alarm" + labels +
                                       (gpu == 2 ? " 1\n" : " 0\n")))
            << text;
    }
    EXPECT_EQ(countOf(text, "quorvel_gpu_clock_hertz{"), 8u) << text;  // one board has no shader
    EXPECT_TRUE(contains(text, "\nquorvel_sample_age_seconds ")) << text;

    const httplib::Result root = http.Get(kRootPath);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->status, 200);
    EXPECT_TRUE(contains(root->body, "href=\"/metrics\"")) << root->body;
}

TEST(ExporterServerTest, OnlyGetOfItsTwoPathsIsServed) {
    ExporterRig rig;
    httplib::Client http = rig.client();
    const httplib::Result missing = http.Get("/metrics/extra");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    EXPECT_EQ(http.Get("/favicon.ico")->status, 404);
    for (const char* path : {kMetricsPath, kRootPath}) {
        const httplib::Result post = http.Post(path, "x=1", "text/plain");
        ASSERT_TRUE(post);
        EXPECT_EQ(post->status, 405) << path;
        EXPECT_EQ(post->get_header_value("Allow"), "GET, HEAD");
        EXPECT_EQ(http.Put(path, "x", "text/plain")->status, 405) << path;
        EXPECT_EQ(http.Delete(path)->status, 405) << path;
    }
    EXPECT_EQ(http.Post("/elsewhere", "x", "text/plain")->status, 404);
    const httplib::Result head = http.Head(kMetricsPath);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->body, "");

    // The library refuses what is not HTTP or is too large, before any handler runs.
    const uint16_t port = rig.server->port();
    EXPECT_EQ(rawStatusLine(port, "NONSENSE\r\n\r\n").substr(0, 12), "HTTP/1.1 400");
    EXPECT_EQ(rawStatusLine(port, "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n")
                  .substr(0, 12),
              "HTTP/1.1 414");
    EXPECT_EQ(rawStatusLine(port, "GET /metrics HTTP/1.1\r\nX: " + std::string(20000, 'c') +
                                      "\r\n\r\n")
                  .substr(0, 12),
              "HTTP/1.1 400");
    EXPECT_EQ(rawStatusLine(port, "BREW /metrics HTTP/1.1\r\n\r\n").substr(0, 12),
              "HTTP/1.1 400");
    const std::string body(1 << 20, 'b');
    const httplib::Result large = http.Post(kMetricsPath, body, "text/plain");
    EXPECT_TRUE(!large || large->status == 413) << (large ? large->status : 0);
    // And it goes on serving.
    EXPECT_TRUE(contains(rig.scrape(), "quorvel_up 1\n"));
}

TEST(ExporterServerTest, SecondExporterOnTheSamePortFailsToBind) {
    ExporterRig rig;
    exporter::MetricSampler idle([] { return exporter::MetricSample(); },
                                 platform::SystemClock::instance());
    ExporterServer second(idle);
    std::string error;
    EXPECT_FALSE(second.bind({kLoopback, rig.server->port()}, error));
    EXPECT_TRUE(contains(error, std::to_string(rig.server->port()))) << error;
}

TEST(ExporterServerTest, DriverFailingEveryCallLeavesOnlyUpZeroAndRecovers) {
    ExporterRig rig;
    rig.sampler->sampleNow();
    ASSERT_TRUE(contains(rig.scrape(), "quorvel_up 1\n"));
    for (const int32_t status : {drv::kError, drv::kHandleInvalidated}) {
        SCOPED_TRACE(status);
        for (const uint32_t id : drv::kAllOperations) {
            rig.sim().injectStatus(id, status, -1);
        }
        rig.sampler->sampleNow();
        const std::string down = rig.scrape();
        EXPECT_TRUE(contains(down, "quorvel_up 0\n")) << down;
        EXPECT_TRUE(contains(down, "quorvel_gpus 3\n")) << down;
        EXPECT_FALSE(contains(down, "{gpu=")) << down;

        for (const uint32_t id : drv::kAllOperations) {
            rig.sim().injectStatus(id, 0, 0);
        }
        rig.sampler->sampleNow();
        const std::string up = rig.scrape();
        EXPECT_TRUE(contains(up, "quorvel_up 1\n")) << up;
        EXPECT_EQ(countOf(up, "quorvel_gpu_temperature_celsius{"), 3u) << up;
    }
}

// The suite's short version of the load check; scripts/exporter-load.sh runs it for 30 s.
TEST(ExporterServerTest, ManyScrapersShareOneSamplePerPeriod) {
    constexpr int kScrapers = 20;
    constexpr auto kScrapeEvery = std::chrono::milliseconds(100);
    constexpr auto kDuration = std::chrono::milliseconds(2000);
    constexpr uint32_t kPeriodMs = 250;

    ExporterRig rig("six-gpus");
    ASSERT_EQ(rig.gpuCount(), gpu::kMaxGpus);
    // What one sample costs in driver calls.
    rig.sampler->sampleNow();
    rig.sim().clearCounters();
    rig.sampler->sampleNow();
    const uint64_t callsPerSample = rig.sim().callCount(0);
    const uint64_t thermalPerSample = rig.sim().callCount(drv::kGpuGetThermalSettings);
    ASSERT_GT(callsPerSample, 0u);

    rig.sim().clearCounters();
    const uint64_t samplesBefore = rig.sampler->samplesTaken();
    const auto started = std::chrono::steady_clock::now();
    rig.sampler->start(kPeriodMs);
    std::atomic<int> scrapes{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> scrapers;
    for (int i = 0; i < kScrapers; ++i) {
        scrapers.emplace_back([&] {
            httplib::Client http = rig.client();
            while (std::chrono::steady_clock::now() - started < kDuration) {
                const httplib::Result result = http.Get(kMetricsPath);
                if (!result || result->status != 200 || !contains(result->body, "quorvel_up 1\n")) {
                    ++failures;
                }
                ++scrapes;
                std::this_thread::sleep_for(kScrapeEvery);
            }
        });
    }
    for (std::thread& scraper : scrapers) {
        scraper.join();
    }
    rig.sampler->stop();
    const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - started)
                               .count();
    const uint64_t samples = rig.sampler->samplesTaken() - samplesBefore;

    EXPECT_EQ(failures.load(), 0);
    EXPECT_GE(scrapes.load(), kScrapers * 2);
    // The first sample at start, then at most one per period: never more often than asked.
    EXPECT_LE(samples, static_cast<uint64_t>(elapsedMs) / kPeriodMs + 1);
    EXPECT_GE(samples, 2u);
    EXPECT_EQ(rig.sim().callCount(drv::kGpuGetThermalSettings), samples * thermalPerSample);
    EXPECT_EQ(rig.sim().callCount(0), samples * callsPerSample);
}

TEST(ExporterServerTest, PromtoolAcceptsTheExposition) {
    const std::string promtool = onPath("promtool");
    if (promtool.empty()) {
        GTEST_SKIP() << "promtool is not installed (Debian package prometheus; see README)";
    }
    ExporterRig rig;
    rig.sim().setTemperature(0, 60);
    rig.sampler->sampleNow();
    test::TempDir folder;
    const std::string file = folder.file("metrics.txt");
    std::ofstream(file) << rig.scrape();
    const ChildProcess::Result result = ChildProcess::run(
        "/bin/sh", {"-c", "\"$0\" check metrics < \"$1\"", promtool, file}, {}, {},
        std::chrono::seconds(60));
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.out + result.err, "");
}

// Prometheus itself scrapes the exporter and answers the temperatures through its query API.
TEST(ExporterServerTest, PrometheusScrapesOneSeriesPerGpu) {
    const std::string prometheus = onPath("prometheus");
    if (prometheus.empty()) {
        GTEST_SKIP() << "prometheus is not installed (Debian package prometheus; see README)";
    }
    ExporterRig rig;
    const int32_t pinned[] = {44, 55, 66};
    for (uint32_t gpu = 0; gpu < 3; ++gpu) {
        rig.sim().setTemperature(gpu, pinned[gpu]);
    }
    rig.sampler->start(exporter::kMinPeriodMs);

    test::TempDir folder;
    const std::string config = folder.file("prometheus.yml");
    std::ofstream(config) << "global:\n  scrape_interval: 200ms\n  scrape_timeout: 200ms\n"
                             "scrape_configs:\n  - job_name: quorvel\n    static_configs:\n"
                             "      - targets: ['127.0.0.1:"
                          << rig.server->port() << "']\n";
    const uint16_t webPort = freePort();
    ChildProcess server(prometheus,
                        {"--config.file=" + config, "--storage.tsdb.path=" + folder.file("data"),
                         "--web.listen-address=127.0.0.1:" + std::to_string(webPort)},
                        {}, {ChildProcess::Inherit::kAll, folder.path()});
    ASSERT_TRUE(server.start());

    httplib::Client api(kLoopback, webPort);
    const auto query = [&](const std::string& expression) {
        const httplib::Result result =
            api.Get("/api/v1/query", {{"query", expression}}, httplib::Headers{});
        return result && result->status == 200 ? result->body : std::string();
    };
    const bool allSeries = test::waitUntil(
        [&] {
            return contains(query("count(quorvel_gpu_temperature_celsius)"), "\"3\"]");
        },
        std::chrono::seconds(60));
    EXPECT_TRUE(allSeries) << query("quorvel_gpu_temperature_celsius");
    for (uint32_t gpu = 0; gpu < 3 && allSeries; ++gpu) {
        const std::string answer =
            query("quorvel_gpu_temperature_celsius{gpu=\"" + std::to_string(gpu) + "\"}");
        EXPECT_TRUE(contains(answer, "\"" + std::to_string(pinned[gpu]) + "\"]")) << answer;
        EXPECT_EQ(countOf(answer, "\"__name__\""), 1u) << answer;
    }
    EXPECT_TRUE(contains(query("up{job=\"quorvel\"}"), "\"1\"]"));
    server.sendSignal(SIGTERM);
    server.finish(std::chrono::seconds(30));
}

TEST(ListenAddressTest, HostAndPortForms) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        uint16_t port;
    };
    const Case cases[] = {
        {"127.0.0.1:9437", true, "127.0.0.1", 9437},
        {"0.0.0.0:80", true, "0.0.0.0", 80},
        {":9000", true, kDefaultExporterHost, 9000},
        {"[::1]:9437", true, "::1", 9437},
        {"localhost:0", true, "localhost", 0},
        {"127.0.0.1", false, "", 0},
        {"127.0.0.1:", false, "", 0},
        {"127.0.0.1:65536", false, "", 0},
        {"127.0.0.1:-1", false, "", 0},
        {"127.0.0.1:12ab", false, "", 0},
        {"::1:9437", false, "", 0},
        {"[::1]9437", false, "", 0},
        {"[::1", false, "", 0},
        {"a b:1", false, "", 0},
    };
    for (const Case& c : cases) {
        ListenAddress address;
        std::string error;
        EXPECT_EQ(parseListenAddress(c.text, address, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(address.host, c.host) << c.text;
            EXPECT_EQ(address.port, c.port) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
    EXPECT_EQ(listenUrl("::1", 80), "http://[::1]:80");
    EXPECT_EQ(listenUrl("127.0.0.1", 9437), "http://127.0.0.1:9437");
}

}  // namespace
}  // namespace qv::cli
