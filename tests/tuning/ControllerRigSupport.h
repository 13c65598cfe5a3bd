// What the main-window controller tests share: the built-in boards behind a real GPU layer with
// the simulator's time standing still, and the services every controller they make is given.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "gpu/GpuLayer.h"
#include "platform/Clock.h"
#include "platform/Poster.h"
#include "platform/Prompt.h"
#include "settings/RegistrySettings.h"
#include "settings/RegistryStore.h"
#include "support/SimHarness.h"
#include "support/TempDir.h"
#include "tuning/MainWindowController.h"

namespace qv::tuning {

// A layer over `session`'s boards, probed, with the simulator's clock frozen.
inline std::unique_ptr<gpu::GpuLayer> openFrozenLayer(test::SimSession& session,
                                                      platform::Clock& clock,
                                                      platform::Poster& poster,
                                                      const test::TempDir& work) {
    gpu::GpuLayerServices gpuServices;
    gpuServices.clock = &clock;
    gpuServices.poster = &poster;
    gpuServices.workingFolder = work.path();
    auto layer = std::make_unique<gpu::GpuLayer>(session.loader(), gpuServices);
    EXPECT_EQ(layer->initialize(), gpu::kInitOk);
    layer->waitForProbe();
    EXPECT_EQ(session.sim().freezeTime(1), 0);
    return layer;
}

// The services of a controller on simulated, ready hardware; the overlay's temperature and fan
// items are off so that no test depends on the overlay record.
inline MainWindowServices controllerServices(settings::RegistryStore& store,
                                             settings::RegistrySettings& settings,
                                             platform::Clock& clock, platform::Poster& poster,
                                             platform::Prompt* prompt) {
    settings.osdTempShow = false;
    settings.osdFanSpeedShow = false;
    MainWindowServices services;
    services.store = &store;
    services.settings = &settings;
    services.clock = &clock;
    services.poster = &poster;
    services.prompt = prompt;
    services.hardwareReady = true;
    services.simulated = true;
    return services;
}

}  // namespace qv::tuning
