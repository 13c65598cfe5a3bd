// A private X server for the tests that need a real one.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace qv::test {

// The full path of `program` on PATH, when it is there and may be run.
inline std::optional<std::string> findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

// Xvfb on a display number it picks itself, ended with the object.
class XvfbServer {
public:
    XvfbServer() = default;
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    ~XvfbServer() { stop(); }

    // Empty when the server runs; otherwise why it does not, for the test to skip with. A server
    // that cannot start here (not installed, no socket folder, no memory) is not ours to test.
    std::string start() {
        const std::optional<std::string> xvfb = findOnPath("Xvfb");
        if (!xvfb) {
            return "Xvfb is not installed";
        }
        server_.emplace(*xvfb, std::vector<std::string>{"-displayfd", "1", "-nolisten", "tcp"});
        if (!server_->start() || !server_->waitForOutput("\n", std::chrono::seconds(10))) {
            return "Xvfb did not start: " + server_->soFar().err;
        }
        const std::string& out = server_->soFar().out;
        display_ = ":" + out.substr(0, out.find('\n'));
        return {};
    }

    // Ends the server; its clients lose their connection.
    void stop() {
        if (server_) {
            server_->sendSignal(SIGTERM);
            server_->finish(std::chrono::seconds(5));
            server_.reset();
        }
    }

    const std::string& display() const { return display_; }

private:
    std::optional<ChildProcess> server_;
    std::string display_;
};

}  // namespace qv::test
