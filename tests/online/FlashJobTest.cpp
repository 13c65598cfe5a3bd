// The BIOS flash job against the simulated boards, the real ROM-dump helper and a stand-in flash
// tool that asks its question on its input, on a clock the test drives.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "gpu/DriverIds.h"
#include "gpu/GpuLayer.h"
#include "online/FlashJob.h"
#include "platform/CompanionFiles.h"
#include "support/FlashSupport.h"
#include "support/ScopedEnvironment.h"
#include "support/SimHarness.h"

namespace qv::online {
namespace {

using test::ClockedLocalTime;
using test::PacedClock;
const std::string& kStandInTool = test::kStandInFlashTool;

// The minute tests wait out four minutes of the job's time with a tool that never answers.
constexpr uint32_t kFastPace = 400;

// Two boards whose bus numbers run against the driver's order: GPU 0 on bus 3, GPU 1 on bus 1,
// told apart by their BIOS version.
constexpr const char* kSecondBoardBios = "VGA BIOS V6214 62.00.4A.00.99";
std::string crossedBusConfig(const test::TempDir& dir) {
    const std::string one = test::readPreset("single-05e2");
    std::string second = one.substr(one.find("[gpu]"));
    second.replace(second.find("bus = 3"), 7, "bus = 1");
    const size_t bios = second.find("bios_version = ");
    second.replace(bios, second.find('\n', bios) - bios,
                   std::string("bios_version = ") + kSecondBoardBios);
    return test::writeConfig(dir, "crossed.conf", one + "\n" + second);
}

struct FlashRig {
    // `pace`: how much faster than real time the clock runs (see PacedClock).
    explicit FlashRig(const std::string& config = "", int minute = 10, int second = 0,
                      uint32_t pace = 40)
        : session(config), clock(pace), localTime(clock, minute, second) {
        gpu::GpuLayerServices gpuServices;
        gpuServices.clock = &clock;
        gpuServices.workingFolder = work.path();
        layer = std::make_unique<gpu::GpuLayer>(session.loader(), gpuServices);
        EXPECT_EQ(layer->initialize(), gpu::kInitOk);
        layer->waitForProbe();
        biosFile = work.file("new.rom");
        std::ofstream(biosFile) << "image";
        env.clear("QV_STANDIN_MODE");
        env.clear("QV_STANDIN_EXIT");
    }
    FlashServices services() {
        FlashServices s;
        s.layer = layer.get();
        s.clock = &clock;
        s.localTime = &localTime;
        s.toolProgram = kStandInTool;
        s.romDumpProgram = platform::companionFile(gpu::GpuLayer::kRomDumpProgramName);
        s.romDumpArguments = {"--simulate"};
        s.romDumpLimitMs = test::kTestRomDumpLimitMs;
        return s;
    }
    FlashOutcome flash(uint8_t gpu) {
        FlashJob job(services());
        return job.run(FlashRequest{gpu, biosFile});
    }

    test::ScopedEnvironment env;
    test::TempDir work;
    test::SimSession session;
    PacedClock clock;
    ClockedLocalTime localTime;
    std::unique_ptr<gpu::GpuLayer> layer;
    std::string biosFile;
};

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileHasBytes(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

TEST(FlashJob, AnswersTheQuestionPassesTheArgumentsApartAndSavesTheBiosFirst) {
    FlashRig rig;
    const FlashOutcome outcome = rig.flash(1);
    EXPECT_EQ(outcome.result, kFlashOk) << outcome.output << outcome.failure;
    EXPECT_TRUE(outcome.toolStarted);
    EXPECT_FALSE(outcome.stillRunning);
    // The built-in boards sit on buses 1, 2 and 3 in the driver's order.
    EXPECT_EQ(outcome.toolIndex, 1u);
    EXPECT_NE(
        outcome.output.find("arg:--index=1\narg:-4\narg:-5\narg:-6\narg:" + rig.biosFile + "\n"),
        std::string::npos)
        << outcome.output;
    EXPECT_NE(outcome.output.find("Update successful."), std::string::npos);
    EXPECT_EQ(outcome.savedBios, rig.biosFile + ".gpu1-saved.rom");
    EXPECT_TRUE(fileHasBytes(outcome.savedBios));
}

TEST(FlashJob, ReportsTheToolsOwnFailureCodeIncludingOneThatEndsAtOnce) {
    FlashRig rig;
    rig.env.set("QV_STANDIN_EXIT", "3");
    FlashOutcome outcome = rig.flash(2);
    EXPECT_EQ(outcome.result, 3);
    EXPECT_EQ(outcome.gpu, 2);

    // Ends within the first answer period: its own code, not 259 or 2.
    rig.env.set("QV_STANDIN_MODE", "quick");
    rig.env.set("QV_STANDIN_EXIT", "7");
    outcome = rig.flash(0);
    EXPECT_EQ(outcome.result, 7);
    EXPECT_FALSE(outcome.stillRunning);
    // A second flash of the same card keeps the first saved copy.
    outcome = rig.flash(0);
    EXPECT_EQ(outcome.savedBios, rig.biosFile + ".gpu0-saved-2.rom");
}

TEST(FlashJob, AToolThatCannotStartReports2) {
    FlashRig rig;
    FlashServices services = rig.services();
    services.toolProgram = rig.work.file("no-such-tool");
    FlashJob job(services);
    const FlashOutcome outcome = job.run(FlashRequest{0, rig.biosFile});
    EXPECT_EQ(outcome.result, kFlashToolNotStarted);
    EXPECT_FALSE(outcome.toolStarted);
}

TEST(FlashJob, AFailingBusReadOrAnUnsavedBiosStopsBeforeAnythingIsFlashed) {
    FlashRig rig;
    ASSERT_EQ(rig.session.sim().injectStatus(drv::kGpuGetBusId, -5, -1), 0);
    FlashOutcome outcome = rig.flash(1);
    EXPECT_EQ(outcome.result, kFlashPrecheckFailed);
    EXPECT_FALSE(outcome.toolStarted);
    EXPECT_TRUE(outcome.savedBios.empty());
    EXPECT_FALSE(fileHasBytes(rig.biosFile + ".gpu1-saved.rom"));
    ASSERT_EQ(rig.session.sim().injectStatus(drv::kGpuGetBusId, 0, 0), 0);

    // Without a copy of the BIOS the card has there is no flash either.
    FlashServices services = rig.services();
    services.romDumpProgram = rig.work.file("no-such-helper");
    FlashJob job(services);
    outcome = job.run(FlashRequest{1, rig.biosFile});
    EXPECT_EQ(outcome.result, kFlashPrecheckFailed);
    EXPECT_FALSE(outcome.toolStarted);
}

TEST(FlashJob, TheToolIndexIsTheCardsPlaceInBusOrder) {
    test::TempDir dir;
    FlashRig rig(crossedBusConfig(dir));
    ASSERT_EQ(rig.layer->gpuCount(), 2);
    EXPECT_EQ(rig.flash(0).toolIndex, 1u);
    const FlashOutcome outcome = rig.flash(1);
    EXPECT_EQ(outcome.toolIndex, 0u);
    EXPECT_EQ(outcome.result, kFlashOk) << outcome.failure;
    EXPECT_NE(outcome.output.find("arg:--index=0\n"), std::string::npos);
    // The saved copy is the BIOS of the card flashed, not of the card first in the driver's list.
    EXPECT_NE(fileText(outcome.savedBios).find(kSecondBoardBios), std::string::npos);
}

TEST(FlashJob, AToolStillRunningAfterTheMinuteLimitIsLeftRunningAndReports259) {
    // Started at 58:00: minute 62 (02 of the next hour) ends the wait, minute 61 does not.
    {
        FlashRig rig("", 58, 0, kFastPace);
        rig.env.set("QV_STANDIN_MODE", "hang");
        const FlashOutcome outcome = rig.flash(0);
        EXPECT_EQ(outcome.result, kFlashStillRunning);
        EXPECT_TRUE(outcome.stillRunning);
        EXPECT_EQ(rig.localTime.now().minute, 2);
    }
    // By the minute, not by the seconds: from 58:59 the wait ends at 02:00, about three minutes on.
    FlashRig late("", 58, 59, kFastPace);
    late.env.set("QV_STANDIN_MODE", "hang");
    const FlashOutcome outcome = late.flash(0);
    EXPECT_EQ(outcome.result, kFlashStillRunning);
    const uint64_t waited = late.clock.tickMs() - late.localTime.firstReadingMs();
    EXPECT_GE(waited, 181000u);
    EXPECT_LT(waited, 183000u);
}

TEST(FlashJob, StartsOneFlashAtATimeAndReportsOnItsWorker) {
    FlashRig rig;
    FlashJob job(rig.services());
    std::mutex mutex;
    std::vector<FlashOutcome> outcomes;
    const auto done = [&](const FlashOutcome& o) {
        std::lock_guard lock(mutex);
        outcomes.push_back(o);
    };
    ASSERT_TRUE(job.start(FlashRequest{0, rig.biosFile}, done));
    EXPECT_FALSE(job.start(FlashRequest{1, rig.biosFile}, done));
    ASSERT_TRUE(test::waitUntil([&] { return !job.running(); }));
    std::lock_guard lock(mutex);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].gpu, 0);
    EXPECT_EQ(outcomes[0].result, kFlashOk);
}

TEST(FlashJobFiles, BiosFileNamesEndInRomOrNvrInAnyCase) {
    for (const char* good : {"/a/new.rom", "NEW.ROM", "x.Nvr", "/b/c.nVR"}) {
        EXPECT_TRUE(isBiosFileName(good)) << good;
    }
    for (const char* bad : {"/a/new.bin", "new.rom.txt", "/a/.rom", "/a.rom/new", "rom", ""}) {
        EXPECT_FALSE(isBiosFileName(bad)) << bad;
    }
}

TEST(FlashJobFiles, TheToolIsFoundBesideTheProgramThenOnThePathAndNeverInTheCurrentFolder) {
    test::TempDir program, bin, other;
    const auto makeTool = [](const std::string& path) {
        std::ofstream(path) << "#!/bin/sh\n";
        chmod(path.c_str(), 0755);
    };
    makeTool(bin.file("nvflash"));
    EXPECT_EQ(resolveFlashTool("nvflash", program.path(), other.path() + ":" + bin.path()),
              bin.file("nvflash"));
    makeTool(program.file("nvflash"));
    EXPECT_EQ(resolveFlashTool("nvflash", program.path(), bin.path()), program.file("nvflash"));
    EXPECT_EQ(resolveFlashTool("/opt/x/nvflash", program.path(), bin.path()), "/opt/x/nvflash");
    // Not found, or only through a relative PATH entry: the bare name, which does not start.
    EXPECT_EQ(resolveFlashTool("nvflash", other.path(), ".:" + other.path()), "nvflash");
}

}  // namespace
}  // namespace qv::online
