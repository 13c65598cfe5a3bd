// A GpuLayer over a fresh simulated machine.
#pragma once

#include <memory>

#include "gpu/GpuLayer.h"
#include "platform/QueuePoster.h"
#include "support/SimHarness.h"

namespace qv::test {

// Presents whatever operating-system version a test asks for.
class FixedSystemInfo final : public platform::SystemInfo {
public:
    FixedSystemInfo(uint32_t major, uint32_t minor) : version_{major, minor} {}
    platform::OsVersion osVersion() override { return version_; }
    bool is32BitProcessOn64BitSystem() override { return false; }

private:
    platform::OsVersion version_;
};

struct LayerRig {
    explicit LayerRig(const std::string& config = "", platform::SystemInfo* system = nullptr)
        : session(config) {
        gpu::GpuLayerServices services;
        services.poster = &poster;
        services.workingFolder = work.path();
        if (system != nullptr) {
            services.system = system;
        }
        layer = std::make_unique<gpu::GpuLayer>(session.loader(), services);
    }
    // Loads the driver so that the simulator can be prepared before the layer initialises.
    void loadDriver() { ASSERT_EQ(session.loader().load(), drv::kOk); }
    const SimControl& sim() const { return session.sim(); }

    TempDir work;
    SimSession session;
    platform::QueuePoster poster;
    std::unique_ptr<gpu::GpuLayer> layer;
};

}  // namespace qv::test
