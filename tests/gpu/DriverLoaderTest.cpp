#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "gpu/DriverIds.h"
#include "gpu/DriverLoader.h"
#include "gpu/DriverTypes.h"
#include "support/SimHarness.h"

namespace qv::test {
namespace {

using namespace std::chrono_literals;

int countGpus(drv::DriverLoader& loader, uint32_t& count) {
    drv::PhysicalGpuHandle handles[drv::kMaxPhysicalGpus] = {};
    return loader.call<drv::EnumPhysicalGpusFn>(drv::kEnumPhysicalGpus, handles, &count);
}

drv::PhysicalGpuHandle firstGpu(drv::DriverLoader& loader) {
    drv::PhysicalGpuHandle handles[drv::kMaxPhysicalGpus] = {};
    uint32_t count = 0;
    EXPECT_EQ(loader.call<drv::EnumPhysicalGpusFn>(drv::kEnumPhysicalGpus, handles, &count),
              drv::kOk);
    return handles[0];
}

int readTach(drv::DriverLoader& loader, drv::PhysicalGpuHandle gpu) {
    uint32_t rpm = 0;
    return loader.call<drv::GpuGetTachReadingFn>(drv::kGpuGetTachReading, gpu, &rpm);
}

TEST(DriverLoader, LoadsOnlyOnTheFirstCall) {
    SimSession session;
    EXPECT_FALSE(session.loader().isLoaded());
    EXPECT_EQ(session.sim().callCount(drv::kInitialize), 0u);

    uint32_t count = 0;
    ASSERT_EQ(countGpus(session.loader(), count), drv::kOk);
    EXPECT_TRUE(session.loader().isLoaded());
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(session.sim().callCount(drv::kInitialize), 1u);

    ASSERT_EQ(countGpus(session.loader(), count), drv::kOk);
    EXPECT_EQ(session.sim().callCount(drv::kInitialize), 1u) << "initialised once per load";
}

TEST(DriverLoader, RemembersAFailedLoad) {
    TempDir dir;
    const std::string path = dir.file("libmissing.so");
    drv::DriverLoader loader(path);
    uint32_t count = 0;
    EXPECT_EQ(countGpus(loader, count), drv::kLibraryNotFound);
    EXPECT_FALSE(loader.lastError().empty());

    // Even once a library appears at that path, the loader does not try again.
    std::filesystem::copy_file(simLibraryPath(), path);
    EXPECT_EQ(countGpus(loader, count), drv::kLibraryNotFound);
    EXPECT_EQ(loader.load(), drv::kLibraryNotFound);
}

TEST(DriverLoader, RejectsALibraryWithoutTheResolver) {
    // libc is a loadable shared library that has no nvapi_QueryInterface.
    drv::DriverLoader loader("libc.so.6");
    EXPECT_EQ(loader.load(), drv::kLibraryNotFound);
    EXPECT_NE(loader.lastError().find("nvapi_QueryInterface"), std::string::npos);
}

TEST(DriverLoader, FailedInitialisationAnswersErrorAndIsRetried) {
    SimSession session;
    ASSERT_EQ(session.loader().load(), drv::kOk);
    ASSERT_EQ(session.loader().unload(), drv::kOk);
    session.sim().injectStatus(drv::kInitialize, drv::kError, 1);
    uint32_t count = 0;
    EXPECT_EQ(countGpus(session.loader(), count), drv::kError);
    EXPECT_FALSE(session.loader().isLoaded());
    // The library stays usable: the next call initialises again and succeeds.
    EXPECT_EQ(countGpus(session.loader(), count), drv::kOk);
    EXPECT_EQ(session.sim().callCount(drv::kInitialize), 3u);
}

TEST(DriverLoader, MissingOperationAnswersNoImplementation) {
    SimSession session;
    ASSERT_EQ(session.loader().load(), drv::kOk);
    session.sim().hideId(drv::kGpuGetTachReading, 1);
    EXPECT_EQ(readTach(session.loader(), firstGpu(session.loader())), drv::kNoImplementation);
    // An ID the driver never had answers the same, without reaching the driver.
    EXPECT_EQ(session.loader().call<drv::InitializeFn>(0x12345678u), drv::kNoImplementation);
    EXPECT_EQ(session.sim().callCount(0x12345678u), 0u);
}

TEST(DriverLoader, CachedEntryPointsAreClearedOnReload) {
    SimSession session;
    uint32_t count = 0;
    ASSERT_EQ(countGpus(session.loader(), count), drv::kOk);
    // Hidden after it was cached: still answered until the library is loaded again.
    session.sim().hideId(drv::kEnumPhysicalGpus, 1);
    EXPECT_EQ(countGpus(session.loader(), count), drv::kOk);
    ASSERT_EQ(session.loader().unload(), drv::kOk);
    EXPECT_EQ(countGpus(session.loader(), count), drv::kNoImplementation);
}

TEST(DriverLoader, HooksBracketEveryCallInOrder) {
    SimSession session;
    uint32_t count = 0;
    const drv::PhysicalGpuHandle gpu = firstGpu(session.loader());
    ASSERT_TRUE(session.loader().hasHooks());
    session.sim().clearCounters();
    session.sim().injectStatus(drv::kGpuGetTachReading, drv::kNotSupported, 1);

    ASSERT_EQ(countGpus(session.loader(), count), drv::kOk);
    EXPECT_EQ(readTach(session.loader(), gpu), drv::kNotSupported);

    const auto log = session.sim().hookLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].id, drv::kEnumPhysicalGpus);
    EXPECT_EQ(log[0].isExit, 0u);
    EXPECT_EQ(log[1].id, drv::kEnumPhysicalGpus);
    EXPECT_EQ(log[1].isExit, 1u);
    EXPECT_EQ(log[1].result, drv::kOk);
    EXPECT_EQ(log[2].id, drv::kGpuGetTachReading);
    EXPECT_EQ(log[2].isExit, 0u);
    EXPECT_EQ(log[3].id, drv::kGpuGetTachReading);
    EXPECT_EQ(log[3].isExit, 1u);
    EXPECT_EQ(log[3].result, drv::kNotSupported);
    EXPECT_EQ(session.sim().hookCalls(), 2u);
}

TEST(DriverLoader, BothHooksAreDroppedWhenOneIsMissing) {
    SimSession session;
    ASSERT_EQ(session.loader().load(), drv::kOk);
    ASSERT_EQ(session.loader().unload(), drv::kOk);
    session.sim().hideId(drv::kCallExitHook, 1);
    session.sim().clearCounters();
    uint32_t count = 0;
    ASSERT_EQ(countGpus(session.loader(), count), drv::kOk);
    EXPECT_FALSE(session.loader().hasHooks());
    EXPECT_EQ(session.sim().hookLogCount(), 0u) << "the entry hook alone must not be called";
}

TEST(DriverLoader, UnloadWaitsForTheCallInFlight) {
    SimSession session;
    uint32_t count = 0;
    const drv::PhysicalGpuHandle gpu = firstGpu(session.loader());
    constexpr auto kLatency = std::chrono::milliseconds(300);
    session.sim().setLatencyUs(drv::kGpuGetTachReading,
                               static_cast<uint32_t>(std::chrono::microseconds(kLatency).count()));

    // The slow call cannot start before this moment, so it cannot end before this moment plus
    // its latency: an unload that waits for it cannot return earlier. (A loaded machine can only
    // make the unload later, never earlier.)
    const auto started = std::chrono::steady_clock::now();
    int callStatus = drv::kError;
    std::thread slow([&] { callStatus = readTach(session.loader(), gpu); });
    // The simulator counts a call on entry, before its latency: the slow call is under way.
    ASSERT_TRUE(waitUntil([&] { return session.sim().callCount(drv::kGpuGetTachReading) == 1; }));
    const uint64_t unloadsBefore = session.sim().unloadCount();
    EXPECT_EQ(session.loader().unload(), drv::kOk);
    const auto unloaded = std::chrono::steady_clock::now();
    slow.join();
    EXPECT_GE(unloaded - started, kLatency) << "unload ran while a call was in progress";
    EXPECT_EQ(callStatus, drv::kOk) << "the call in flight ended normally";
    EXPECT_EQ(session.sim().unloadCount(), unloadsBefore + 1);
    EXPECT_FALSE(session.loader().isLoaded());
    // The next call loads the library again.
    EXPECT_EQ(countGpus(session.loader(), count), drv::kOk);
}

TEST(DriverLoader, CallsDuringAnUnloadRetryTenTimesThenFail) {
    FakeClock clock;
    SimSession session("", clock);
    uint32_t count = 0;
    const drv::PhysicalGpuHandle gpu = firstGpu(session.loader());
    // Long enough that the unload below surely starts while the call still runs.
    session.sim().setLatencyUs(drv::kGpuGetTachReading, 2000000);

    std::thread slow([&] { readTach(session.loader(), gpu); });
    ASSERT_TRUE(waitUntil([&] { return session.sim().callCount(drv::kGpuGetTachReading) == 1; }));
    std::thread unloader([&] { session.loader().unload(); });

    // Calls made before the unload begins go through without a retry; the first one that meets
    // it retries, and since the fake clock does not really wait, all its retries fall inside it.
    int status = drv::kOk;
    EXPECT_TRUE(waitUntil([&] {
        status = countGpus(session.loader(), count);
        return status != drv::kOk;
    }));
    EXPECT_EQ(status, drv::kError);
    const auto sleeps = clock.sleeps();
    EXPECT_EQ(sleeps.size(), 10u);
    for (uint32_t ms : sleeps) {
        EXPECT_EQ(ms, 100u);
    }
    slow.join();
    unloader.join();
    EXPECT_EQ(countGpus(session.loader(), count), drv::kOk);
}

}  // namespace
}  // namespace qv::test
