// Feeds arbitrary text to the simulated driver's board configuration parser. Beyond memory
// safety it checks the parser's promises: a refusal always says why, and an accepted
// configuration builds a card state that survives its own state file unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "SimConfig.h"
#include "SimState.h"

namespace {
void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qv::sim::SimConfig config;
    std::string error;
    const int status = qv::sim::parseSimConfig(text, config, error);
    check(status == qv::sim::kConfigOk || status == qv::sim::kConfigError);
    if (status != qv::sim::kConfigOk) {
        check(!error.empty());
        return 0;
    }
    check(config.gpus.size() <= qv::sim::kMaxSimGpus);
    for (const auto& display : config.displays) {
        check(display.gpu < config.gpus.size());
    }
    const qv::sim::SimState state = qv::sim::initialState(config, 1, 0, false);
    const std::string saved = qv::sim::serializeState(state);
    qv::sim::SimState reread;
    check(qv::sim::parseState(saved, config, reread, error) == 0);
    check(qv::sim::serializeState(reread) == saved);
    return 0;
}
