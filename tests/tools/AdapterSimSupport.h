// Simulated machines for the display tool's tests: one board whose only display is a
// DisplayPort output, with or without the multi-display adapter on it.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "support/SimHarness.h"

namespace qv::test {

// The single-board preset with its display turned into a DisplayPort output carrying
// `displayLines` (adapter keys; empty: a plain DisplayPort monitor).
inline std::string adapterConfig(const TempDir& dir, const std::string& displayLines) {
    std::string text = readPreset("single-1180");
    const std::string dvi = "connector = dvi\n";
    const size_t at = text.find(dvi);
    EXPECT_NE(at, std::string::npos);
    text.replace(at, dvi.size(), "connector = displayport\n" + displayLines);
    return writeConfig(dir, "adapter.conf", text);
}

inline std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The simulator's kept state of display `index`: "unlocked horizontal vertical saved trial".
inline std::string displayStateLine(const SimSession& session, size_t index) {
    const std::string text = fileText(session.sim().statePath());
    const std::string key = "display " + std::to_string(index) + " ";
    const size_t at = text.find(key);
    if (at == std::string::npos) {
        return "";
    }
    const size_t end = text.find('\n', at);
    return text.substr(at + key.size(), end - at - key.size());
}

}  // namespace qv::test
