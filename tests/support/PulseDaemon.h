// A private PulseAudio sound server for the HDMI audio tests: its own runtime, state and home
// folders in a temporary folder, two null sinks (the default one first, then one described as
// the card's HDMI audio), reached at its own socket and ended with the object.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/XvfbServer.h"
#include "tools/SoundServer.h"

namespace qv::test {

inline constexpr const char* kTestOtherSink = "quorvel_test_speakers";
inline constexpr const char* kTestHdmiSink = "quorvel_test_hdmi";
inline constexpr const char* kTestHdmiDescription = "GF108 nvidia HIGH definition audio Digital";

class PulseDaemon {
public:
    PulseDaemon() = default;
    PulseDaemon(const PulseDaemon&) = delete;
    PulseDaemon& operator=(const PulseDaemon&) = delete;
    ~PulseDaemon() { stop(); }

    // Empty when the server answers; otherwise why it does not, for the test to skip with.
    std::string start() {
        const std::optional<std::string> program = findOnPath("pulseaudio");
        if (!program) {
            return "pulseaudio is not installed";
        }
        if (folder_.path().empty()) {
            return "no temporary folder";
        }
        for (const char* sub : {"run", "state", "home", "config"}) {
            mkdir(folder_.file(sub).c_str(), 0700);
        }
        socket_ = folder_.file("native");
        const std::vector<std::string> args = {
            "-n", "--daemonize=no", "--system=false", "--exit-idle-time=-1",
            "--use-pid-file=false", "--log-target=stderr", "--log-level=error",
            "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_,
            std::string("--load=module-null-sink sink_name=") + kTestOtherSink,
            std::string("--load=module-null-sink sink_name=") + kTestHdmiSink +
                " sink_properties=\"device.description='" + kTestHdmiDescription + "'\""};
        const std::map<std::string, std::string> environment = {
            {"HOME", folder_.file("home")},
            {"XDG_RUNTIME_DIR", folder_.file("run")},
            {"XDG_CONFIG_HOME", folder_.file("config")},
            {"PULSE_RUNTIME_PATH", folder_.file("run")},
            {"PULSE_STATE_PATH", folder_.file("state")},
        };
        daemon_.emplace(*program, args, environment);
        if (!daemon_->start()) {
            return "pulseaudio did not start";
        }
        // The server answers once its socket is there and it has loaded every module.
        tools::PulseSoundServer server(address());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            tools::SoundServerState state;
            if (access(socket_.c_str(), F_OK) == 0 && server.readState(state) == 0 &&
                state.sinks.size() >= 2) {
                return {};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        stop();
        return "pulseaudio did not answer: " + lastError_;
    }

    void stop() {
        if (daemon_) {
            daemon_->sendSignal(SIGTERM);
            lastError_ = daemon_->finish(std::chrono::seconds(5)).err;
            daemon_.reset();
        }
    }

    std::string address() const { return "unix:" + socket_; }

private:
    TempDir folder_;
    std::string socket_;
    std::optional<ChildProcess> daemon_;
    std::string lastError_;
};

}  // namespace qv::test
