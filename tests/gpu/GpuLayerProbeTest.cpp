#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "gpu/ChipRegisters.h"
#include "gpu/DriverIds.h"
#include "gpu/GpuLayerTestSupport.h"

namespace qv::test {
namespace {

constexpr uint32_t kUiThread = 4242;

void expectTwoProbeMessages(platform::QueuePoster& poster) {
    for (int i = 0; i < 2; ++i) {
        const auto message = poster.take(10000);
        ASSERT_TRUE(message.has_value()) << "message " << i << " of the probe never came";
        EXPECT_EQ(message->message, gpu::kMessageProbeDone);
        EXPECT_EQ(message->threadId, kUiThread);
    }
    EXPECT_EQ(poster.pending(), 0u);
}

TEST(GpuLayerProbe, SeveralGpusSkipTheBiosDump) {
    LayerRig rig;
    rig.layer->setUiThreadId(kUiThread);
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    expectTwoProbeMessages(rig.poster);
    rig.layer->waitForProbe();
    EXPECT_FALSE(std::filesystem::exists(rig.work.file("PMOut")));
    for (uint8_t g = 0; g < rig.layer->gpuCount(); ++g) {
        EXPECT_TRUE(rig.layer->biosVersion(g).empty());
    }
}

TEST(GpuLayerProbe, SingleGpuReadsItsBiosVersionThroughTheDumpHelper) {
    LayerRig rig("single-0e22");
    rig.layer->setUiThreadId(kUiThread);
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    expectTwoProbeMessages(rig.poster);
    EXPECT_TRUE(std::filesystem::exists(rig.work.file("PMOut")));
    EXPECT_EQ(rig.layer->biosVersion(0).size(), 4u);
    EXPECT_EQ(rig.layer->record(0).fanKind, gpu::kFanSlot0Chip);
}

TEST(GpuLayerProbe, VersionSuffixSelectsTheSlot1FanChip) {
    LayerRig rig("bios-f");
    rig.layer->setUiThreadId(kUiThread);
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    EXPECT_EQ(rig.layer->record(0).fanKind, gpu::kFanDriverCoolerPaused)
        << "until the probe has read the BIOS";
    expectTwoProbeMessages(rig.poster);
    EXPECT_EQ(rig.layer->record(0).fanKind, gpu::kFanSlot1Chip);
    EXPECT_FALSE(rig.layer->biosVersion(0).empty());
}

TEST(GpuLayerProbe, BiosVersionFormsOfTheShippedBoards) {
    for (const auto& [preset, version] :
         {std::pair{"single-0e22", "7004"}, std::pair{"bios-ta", "3012"},
          std::pair{"bios-tb", "4420"}, std::pair{"single-05e2", "6213"}}) {
        LayerRig rig(preset);
        ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk) << preset;
        rig.layer->waitForProbe();
        EXPECT_EQ(rig.layer->biosVersion(0), version) << preset;
    }
}

TEST(GpuLayerProbe, MissingDumpHelperLeavesTheVersionEmpty) {
    TempDir work;
    SimSession session("single-0e22");
    platform::QueuePoster poster;
    gpu::GpuLayerServices services;
    services.poster = &poster;
    services.workingFolder = work.path();
    services.romDumpProgram = work.file("no-such-helper");
    gpu::GpuLayer layer(session.loader(), services);
    layer.setUiThreadId(kUiThread);
    ASSERT_EQ(layer.initialize(), gpu::kInitOk);
    expectTwoProbeMessages(poster);
    EXPECT_TRUE(layer.biosVersion(0).empty());
}

TEST(GpuLayerProbe, AnyDumpProgramThatWritesTheImageWillDo) {
    TempDir work;
    const std::string script = work.file("dump.sh");
    {
        std::ofstream out(script);
        out << "#!/bin/sh\n"
               "head -c 700 /dev/zero > PMOut.tmp\n"
               "printf 'VGA BIOS TA.42.1-F' >> PMOut.tmp\n"
               "head -c 900 /dev/zero >> PMOut.tmp\n"
               "mv PMOut.tmp PMOut\n";
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    SimSession session("single-1180");
    gpu::GpuLayerServices services;
    services.workingFolder = work.path();
    services.romDumpProgram = script;
    gpu::GpuLayer layer(session.loader(), services);
    ASSERT_EQ(layer.initialize(), gpu::kInitOk);
    layer.waitForProbe();
    EXPECT_EQ(layer.biosVersion(0), "42.1");
    // The suffix sits four characters after the marker, not after the skipped character.
    EXPECT_EQ(layer.record(0).fanKind, gpu::kFanDriverCooler);
}

TEST(GpuLayerProbe, Slot1FanDetectionLearnsTheTachometerAndConfiguration) {
    LayerRig rig;
    rig.layer->setUiThreadId(kUiThread);
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.layer->waitForProbe();
    const gpu::GpuRecord& a = rig.layer->record(kGpu05E2);
    EXPECT_EQ(a.fanCapability & gpu::kFanCapabilityTachometer, gpu::kFanCapabilityTachometer);
    ASSERT_NE(a.savedFanConfig, -1);
    EXPECT_NE(a.savedFanConfig & gpu::chip::kSlot1ConfigValidBit, 0);
    // The fan was automatic before the detection and is automatic again after it.
    int mode = 0;
    ASSERT_EQ(rig.layer->fanMode(kGpu05E2, mode), drv::kOk);
    EXPECT_EQ(mode, gpu::GpuLayer::kFanModeAutomatic);
    EXPECT_TRUE(rig.layer->fanReadsRpm(kGpu05E2));
}

TEST(GpuLayerProbe, Slot1FanDetectionKeepsAManualLevel) {
    // A level set in one run must survive the detection of the next start.
    {
        LayerRig first;
        ASSERT_EQ(first.layer->initialize(), gpu::kInitOk);
        first.layer->waitForProbe();
        ASSERT_EQ(first.layer->setFanLevel(kGpu05E2, 70), drv::kOk);
        setenv("QUORVEL_SIM_STATE_DIR", first.session.stateFolder().c_str(), 1);
        gpu::GpuLayer second(first.session.loader(), {});
        ASSERT_EQ(second.initialize(), gpu::kInitOk);
        second.waitForProbe();
        int mode = 0;
        ASSERT_EQ(second.fanMode(kGpu05E2, mode), drv::kOk);
        EXPECT_EQ(mode, gpu::GpuLayer::kFanModeManual);
        EXPECT_EQ(second.record(kGpu05E2).cachedFanLevel, 70);
        int32_t percent = 0;
        ASSERT_EQ(second.fanSpeed(kGpu05E2, percent, false), drv::kOk);
        EXPECT_EQ(percent, 70);
    }
}

TEST(GpuLayerProbe, ProbeTrafficIsSerialisedWithTheUiThread) {
    LayerRig rig;
    rig.loadDriver();
    // Slow transactions widen every window in which two of them could overlap.
    rig.sim().setLatencyUs(drv::kI2cRead, 2000);
    rig.sim().setLatencyUs(drv::kI2cWrite, 2000);
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.sim().clearCounters();
    // The probe now works on the slot-1 chip; the UI thread reads the same chip meanwhile.
    for (int i = 0; i < 40; ++i) {
        int32_t percent = 0;
        rig.layer->fanSpeed(kGpu05E2, percent, false);
    }
    rig.layer->waitForProbe();

    std::map<uint64_t, int> threads;
    std::vector<QvSimI2cEvent> events;
    for (const auto& e : rig.sim().i2cLog()) {
        if (e.gpu == kGpu05E2) {
            events.push_back(e);
            threads[e.threadTag]++;
        }
    }
    ASSERT_GE(threads.size(), 2u) << "both threads must have talked to the chip";
    std::sort(events.begin(), events.end(),
              [](const auto& x, const auto& y) { return x.startNs < y.startNs; });
    for (size_t i = 1; i < events.size(); ++i) {
        EXPECT_LE(events[i - 1].endNs, events[i].startNs)
            << "transactions " << events[i - 1].sequence << " and " << events[i].sequence
            << " overlap";
    }
}

TEST(GpuLayerProbe, RegisterAccessGivesUpWhenTheBusStaysTaken) {
    LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.layer->waitForProbe();
    std::timed_mutex& bus = *rig.layer->record(kGpu05E2).i2cMutex;
    bus.lock();
    rig.sim().clearCounters();
    uint8_t value = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.layer->readRegister(kGpu05E2, gpu::kSlotFanChip1, 0x3D, value), drv::kError);
    const auto waited = std::chrono::steady_clock::now() - start;
    bus.unlock();
    EXPECT_GE(waited, std::chrono::milliseconds(1900));
    EXPECT_EQ(rig.sim().i2cLogCount(), 0u) << "the bus must not be touched without the lock";
}

TEST(GpuLayerProbe, PublishedCallFailureIsRetriedWithTheExtendedCall) {
    LayerRig rig;
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.layer->waitForProbe();
    rig.sim().clearCounters();
    rig.sim().injectStatus(drv::kI2cRead, drv::kError, 1);
    uint8_t value = 0;
    EXPECT_EQ(rig.layer->readRegister(kGpu05E2, gpu::kSlotFanChip1,
                                      gpu::chip::kSlot1RegSignature0, value),
              drv::kOk);
    EXPECT_EQ(value, 's');
    EXPECT_EQ(rig.sim().callCount(drv::kI2cRead), 1u);
    EXPECT_EQ(rig.sim().callCount(drv::kI2cReadEx), 1u);
    // Both failing: the extended call's status is the answer.
    rig.sim().injectStatus(drv::kI2cWrite, drv::kError, 1);
    rig.sim().injectStatus(drv::kI2cWriteEx, drv::kNotSupported, 1);
    EXPECT_EQ(rig.layer->writeRegister(kGpu05E2, gpu::kSlotFanChip1, 0x30, 10),
              drv::kNotSupported);
}

}  // namespace
}  // namespace qv::test
