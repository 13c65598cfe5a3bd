// `qvctl exporter`: the GPUs' readings for Prometheus, at /metrics, until SIGINT or SIGTERM.
#include <pthread.h>

#include <csignal>
#include <cstdio>

#include "ExporterReader.h"
#include "ExporterServer.h"
#include "exporter/MetricSampler.h"
#include "platform/Clock.h"
#include "qvctl_commands.h"
#include "settings/FileRegistryStore.h"

namespace qv::cli {

namespace {

struct ExporterOptions {
    ListenAddress listen;
    uint32_t periodMs = exporter::kDefaultPeriodMs;
};

// True when args[i] is "--name VALUE" or "--name=VALUE", with i advanced past the value; `ok` is
// false when the value is missing.
bool takeValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
               std::string& value, bool& ok) {
    ok = true;
    if (args[i] == name) {
        if (i + 1 >= args.size()) {
            reportError(name + " needs a value");
            ok = false;
            return true;
        }
        value = args[++i];
        return true;
    }
    if (args[i].rfind(name + "=", 0) == 0) {
        value = args[i].substr(name.size() + 1);
        return true;
    }
    return false;
}

bool parseExporterOptions(const std::vector<std::string>& args, ExporterOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        bool ok = true;
        if (takeValue(args, i, "--listen", value, ok)) {
            std::string error;
            if (!ok || !parseListenAddress(value, options.listen, error)) {
                if (ok) {
                    reportError("--listen: " + error);
                }
                return false;
            }
            continue;
        }
        if (takeValue(args, i, "--period", value, ok)) {
            if (!ok) {
                return false;
            }
            if (!parseUnsigned(value, exporter::kMaxPeriodMs, options.periodMs) ||
                options.periodMs < exporter::kMinPeriodMs) {
                reportError("--period needs milliseconds from " +
                            std::to_string(exporter::kMinPeriodMs) + " to " +
                            std::to_string(exporter::kMaxPeriodMs) + ", not '" + value + "'");
                return false;
            }
            continue;
        }
        reportError("exporter: unknown argument '" + args[i] + "'");
        return false;
    }
    return true;
}

}  // namespace

int runExporter(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out) {
    ExporterOptions options;
    if (!parseExporterOptions(args, options)) {
        return kExitUsage;
    }
    // The stop signals are taken by sigwait below; every thread started from here on has them
    // blocked, so none of them is interrupted by one.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A scraper that goes away mid-answer is the library's to handle, not a reason to end.
    std::signal(SIGPIPE, SIG_IGN);

    settings::FileRegistryStore store;
    ExporterReader reader(layer, store);
    exporter::MetricSampler sampler([&reader] { return reader.read(); },
                                    platform::SystemClock::instance());
    ExporterServer server(sampler);
    std::string error;
    if (!server.bind(options.listen, error)) {
        reportError(error);
        return kExitFailed;
    }
    sampler.start(options.periodMs);
    server.start();
    std::fprintf(out, "listening on %s%s, reading %u GPUs every %u ms\n",
                 listenUrl(options.listen.host, server.port()).c_str(), kMetricsPath,
                 static_cast<unsigned>(layer.gpuCount()), options.periodMs);
    std::fflush(out);

    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    sampler.stop();
    return kExitOk;
}

}  // namespace qv::cli
