// The phone bridge's round trip on loopback, on the simulator's built-in boards: a logged-in
// client sends "read state" and waits for its type 17 answer. One iteration is the whole path:
// the command sealed and sent, read and checked by the connection worker, posted to a thread
// that stands for the user-interface thread, carried out by the main window's controller (both
// passes of PCInfo.xml written, the GPU's clocks read once), the file read back and sent.
//
//   BM_RemoteStatusRoundTrip   1000 iterations; median_us and p90_us are the round trips'
//                              median and 90th percentile
#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "SimBench.h"
#include "gpu/GpuLayer.h"
#include "platform/QueuePoster.h"
#include "remote/RemoteClient.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteStateFiles.h"
#include "settings/FileRegistryStore.h"
#include "tuning/MainWindowController.h"

namespace {

using qv::bench::simLibrary;

constexpr uint32_t kPassword = 570293;
constexpr int kWaitMs = 5000;
constexpr int kRoundTrips = 1000;

// The program's side: the layer, the controller and the bridge, with a thread that hands the
// posted messages to the controller as the window's event loop does.
struct Program {
    Program()
        : store(qv::settings::StorePaths{folder.file("settings.conf"),
                                         folder.file("quorvel.desktop")}) {
        layer = std::make_unique<qv::gpu::GpuLayer>(*simLibrary().loader);
        if (layer->initialize() != qv::gpu::kInitOk) {
            return;
        }
        layer->waitForProbe();
        qv::remote::installStateFileTemplates(folder.path());
        qv::tuning::MainWindowServices services;
        services.store = &store;
        services.settings = &settings;
        services.clock = &qv::platform::SystemClock::instance();
        services.poster = &poster;
        services.hardwareReady = true;
        services.simulated = true;
        services.bridge = &bridge;
        services.remoteFolder = folder.path();
        controller = std::make_unique<qv::tuning::MainWindowController>(*layer, services);
        controller->start();
        uiThread = std::jthread([this](std::stop_token stop) {
            while (!stop.stop_requested()) {
                if (const auto posted = poster.take(20)) {
                    controller->handlePostedMessage(posted->message, posted->wParam,
                                                    posted->lParam);
                }
            }
        });
        qv::remote::RemoteServerOptions options;
        options.listenAddress = "127.0.0.1";
        options.port = 0;
        options.password = kPassword;
        options.poster = &poster;
        server = std::make_unique<qv::remote::RemoteServer>(bridge, options);
        ready = server->start() == qv::remote::kServerOk;
    }
    ~Program() {
        if (server) {
            server->stop();
        }
        uiThread = {};
    }

    qv::test::TempDir folder;
    qv::settings::FileRegistryStore store;
    qv::settings::RegistrySettings settings;
    qv::platform::QueuePoster poster;
    qv::remote::RemoteBridge bridge;
    std::unique_ptr<qv::gpu::GpuLayer> layer;
    std::unique_ptr<qv::tuning::MainWindowController> controller;
    std::unique_ptr<qv::remote::RemoteServer> server;
    std::jthread uiThread;
    bool ready = false;
};

void BM_RemoteStatusRoundTrip(benchmark::State& state) {
    if (!simLibrary().error.empty()) {
        state.SkipWithError(simLibrary().error.c_str());
        return;
    }
    Program program;
    qv::remote::RemoteClient client;
    if (!program.ready ||
        client.connect("127.0.0.1", program.server->port(), kWaitMs) != qv::remote::kClientOk ||
        client.login(kPassword, kWaitMs) != qv::remote::kClientOk) {
        state.SkipWithError("the bridge could not be reached");
        return;
    }
    std::vector<double> micros;
    micros.reserve(kRoundTrips);
    std::string document;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (client.request(qv::remote::kTypeReadState, "", document, kWaitMs) !=
            qv::remote::kClientOk) {
            state.SkipWithError("a read state went unanswered");
            return;
        }
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
        benchmark::DoNotOptimize(document);
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p90_us"] = micros[micros.size() * 9 / 10];
}
BENCHMARK(BM_RemoteStatusRoundTrip)
    ->Iterations(kRoundTrips)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return qv::bench::runSimBenchmarks(argc, argv);
}
