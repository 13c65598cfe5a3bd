// Feeds arbitrary text to the simulated driver's state file reader, for the built-in boards.
// A damaged state file must be refused with a reason or read into a state that writes back
// into text the reader takes again.
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

const qv::sim::SimConfig& builtinBoards() {
    static const qv::sim::SimConfig config = [] {
        qv::sim::SimConfig c;
        std::string error;
        check(qv::sim::parseSimConfig(qv::sim::builtinConfigText(), c, error) == qv::sim::kConfigOk);
        return c;
    }();
    return config;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qv::sim::SimState state;
    std::string error;
    if (qv::sim::parseState(text, builtinBoards(), state, error) != 0) {
        check(!error.empty());
        return 0;
    }
    check(state.gpus.size() == builtinBoards().gpus.size());
    qv::sim::SimState again;
    check(qv::sim::parseState(qv::sim::serializeState(state), builtinBoards(), again, error) == 0);
    return 0;
}
