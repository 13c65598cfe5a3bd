// The cards' state in its file: across loads of the driver, across processes, and its resets.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "SimFixture.h"

namespace qv::simtest {
namespace {

using namespace qv::drv;

// Runs `child` in a forked process and answers its exit status (0 when it returned true).
template <typename F>
int inChildProcess(F&& child) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(child() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class StateFixture : public SimTest {
protected:
    uint32_t powerLimit(PhysicalGpuHandle gpu) {
        auto s = versioned<PowerPoliciesStatus>(kPowerPoliciesStatusVersion);
        EXPECT_EQ(call<GpuPowerPoliciesGetStatusFn>(kGpuClientPowerPoliciesGetStatus, gpu, &s), kOk);
        return s.entries[0].power;
    }
    int setPowerLimit(PhysicalGpuHandle gpu, uint32_t limit) {
        auto s = versioned<PowerPoliciesStatus>(kPowerPoliciesStatusVersion);
        s.count = 1;
        s.entries[0].power = limit;
        return call<GpuPowerPoliciesSetStatusFn>(kGpuClientPowerPoliciesSetStatus, gpu, &s);
    }
};

using SimStateFile = StateFixture;

TEST_F(SimStateFile, SettingsSurviveAFreshLoad) {
    auto gpu = gpus()[0];
    ASSERT_EQ(setCooler(gpu, 100, kCoolerPolicyManual), kOk);
    ASSERT_EQ(setPowerLimit(gpu, 120000), kOk);
    PerfClockTable level = table(gpu, 3);
    level.levels[0].clocks[1].currentKHz = 3200000;
    level.levels[0].clocks[1].flags = kPerfClockFlagWrite;
    ASSERT_EQ(call<GpuSetPerfClocksFn>(kGpuSetPerfClocks, gpu, 3u, &level), kOk);
    const uint64_t unloads = sim().unloadCount();

    ASSERT_EQ(loader().unload(), kOk);
    EXPECT_EQ(sim().unloadCount(), unloads + 1);
    ASSERT_EQ(loader().load(), kOk);
    gpu = gpus()[0];
    const CoolerSettings c = cooler(gpu);
    EXPECT_EQ(c.cooler[0].currentLevel, 100u);
    EXPECT_EQ(c.cooler[0].currentPolicy, kCoolerPolicyManual);
    EXPECT_EQ(powerLimit(gpu), 120000u);
    EXPECT_EQ(table(gpu, 3).levels[0].clocks[1].currentKHz, 3200000u);
}

TEST_F(SimStateFile, AnotherProcessSeesTheFanSetHere) {
    const auto gpu = gpus()[0];
    // The other process sets the fan and ends; this one, already running, sees the change.
    const int child = inChildProcess([&] { return setCooler(gpu, 100, kCoolerPolicyManual) == kOk; });
    ASSERT_EQ(child, 0);
    const CoolerSettings c = cooler(gpu);
    EXPECT_EQ(c.cooler[0].currentLevel, 100u);
    EXPECT_EQ(c.cooler[0].currentPolicy, kCoolerPolicyManual);

    ASSERT_EQ(setPowerLimit(gpu, 90000), kOk);
    EXPECT_EQ(inChildProcess([&] { return powerLimit(gpu) == 90000u; }), 0);
}

TEST_F(SimStateFile, TwoProcessesWritingAtOnceLoseNothing) {
    const auto handles = gpus();
    constexpr int kRounds = 60;
    const pid_t pid = fork();
    if (pid == 0) {
        bool ok = true;
        for (int i = 0; i < kRounds; ++i) {
            ok = ok && setCooler(handles[0], 40 + static_cast<uint32_t>(i % 60), kCoolerPolicyManual) == kOk;
        }
        ok = ok && setCooler(handles[0], 77, kCoolerPolicyManual) == kOk;
        _exit(ok ? 0 : 1);
    }
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(setPowerLimit(handles[0], 60000 + static_cast<uint32_t>(i) * 1000), kOk);
    }
    EXPECT_EQ(setPowerLimit(handles[0], 111000), kOk);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(powerLimit(handles[0]), 111000u);
    EXPECT_EQ(cooler(handles[0]).cooler[0].currentLevel, 77u);
}

TEST_F(SimStateFile, DeletingTheFileOrResettingRestoresTheConfiguredState) {
    auto gpu = gpus()[0];
    const std::string path = sim().statePath();
    EXPECT_EQ(path.rfind(stateFolder() + "/", 0), 0u) << path;
    ASSERT_EQ(setCooler(gpu, 100, kCoolerPolicyManual), kOk);
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(cooler(gpu).cooler[0].currentPolicy, 0x20u) << "the board's default policy again";

    ASSERT_EQ(setCooler(gpu, 100, kCoolerPolicyManual), kOk);
    sim().injectStatus(kGpuGetCoolerSettings, kError, -1);
    sim().setLatencyUs(0, 1000);
    ASSERT_EQ(sim().reset(), kOk);
    EXPECT_EQ(cooler(gpu).cooler[0].currentPolicy, 0x20u);

    ASSERT_EQ(setCooler(gpu, 100, kCoolerPolicyManual), kOk);
    loader().unload();
    setenv("QUORVEL_SIM_RESET", "1", 1);
    ASSERT_EQ(loader().load(), kOk);
    // One reset per process tree: the helpers the program starts (the ROM dump, the fan guard)
    // must not throw away what it did since.
    EXPECT_EQ(std::getenv("QUORVEL_SIM_RESET"), nullptr);
    unsetenv("QUORVEL_SIM_RESET");
    gpu = gpus()[0];
    EXPECT_EQ(cooler(gpu).cooler[0].currentPolicy, 0x20u);
}

TEST_F(SimStateFile, DamagedFileStartsAfreshWithAWarning) {
    const auto gpu = gpus()[0];
    ASSERT_EQ(setCooler(gpu, 100, kCoolerPolicyManual), kOk);
    writeFile(sim().statePath(), "quorvel-sim-state 1\ngpu 0 cooler 1 banana\nend\n");
    testing::internal::CaptureStderr();
    const CoolerSettings c = cooler(gpu);
    const std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.cooler[0].currentPolicy, 0x20u);
    EXPECT_NE(warning.find("damaged"), std::string::npos) << warning;
    EXPECT_EQ(readFile(sim().statePath()).rfind("quorvel-sim-state 1\n", 0), 0u);
}

TEST_F(SimStateFile, ModelTimeIsSharedThroughTheFile) {
    const auto gpu = gpus()[0];
    ASSERT_EQ(sim().freezeTime(1), kOk);
    sim().setLoad(0, 100);
    const int before = temperature(gpu);
    // Another process moves the frozen model on; this one continues from there.
    ASSERT_EQ(inChildProcess([&] { return sim().advanceTimeMs(300000) == kOk; }), 0);
    EXPECT_GT(temperature(gpu), before + 10);
}

}  // namespace
}  // namespace qv::simtest
