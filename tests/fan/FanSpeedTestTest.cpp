#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fan/FanSpeedTest.h"
#include "gpu/GpuLayerTestSupport.h"

namespace qv::test {
namespace {

using fan::FanCommand;
using fan::FanSpeedTest;
using fan::FanTestOutcome;
using fan::FanTestResult;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// One board with a fan chip that counts rpm, on a simulator whose time the test drives; the
// reference file lies in `folder`, shared between machines.
class FanTestMachine {
public:
    FanTestMachine(const TempDir& folder, const std::string& config)
        : configPath_(writeConfig(folder, "board-" + std::to_string(++count_) + ".conf", config)),
          rig_(configPath_) {
        EXPECT_EQ(rig_.layer->initialize(), gpu::kInitOk);
        rig_.layer->waitForProbe();
        rig_.sim().freezeTime(1);
        fan::FanTestServices services;
        services.layer = rig_.layer.get();
        const auto send = fan::singleGpuFanCommand(*rig_.layer, 0);
        services.sendFanCommand = [this, send](const FanCommand& command) {
            commands.push_back(command);
            send(command);
        };
        services.referencePath = folder.file(fan::kFanSpeedFileName);
        test_ = std::make_unique<FanSpeedTest>(services);
    }

    // The whole test as the options dialog times it.
    FanTestResult run() {
        EXPECT_EQ(test_->start(0), fan::FanTestStart::kStarted);
        rig_.sim().advanceTimeMs(FanSpeedTest::kSettleMs);
        test_->settled();
        for (int tick = 0;; ++tick) {
            rig_.sim().advanceTimeMs(FanSpeedTest::kTickMs);
            const FanTestResult result = test_->tick();
            if (result.outcome != FanTestOutcome::kMeasuring) {
                EXPECT_EQ(tick, FanSpeedTest::kMeasuringTicks)
                    << "two ticks measure, the third decides";
                return result;
            }
        }
    }

    gpu::GpuLayer& layer() { return *rig_.layer; }
    FanSpeedTest& test() { return *test_; }
    std::vector<FanCommand> commands;

private:
    static inline int count_ = 0;
    std::string configPath_;
    LayerRig rig_;
    std::unique_ptr<FanSpeedTest> test_;
};

struct FanState {
    int mode = 0;
    int32_t percent = 0;
    friend bool operator==(const FanState&, const FanState&) = default;
};

FanState fanState(gpu::GpuLayer& layer) {
    FanState state;
    EXPECT_EQ(layer.fanMode(0, state.mode), drv::kOk);
    EXPECT_EQ(layer.fanPercent(0, state.percent), drv::kOk);
    return state;
}

TEST(FanSpeedTestRules, WarnsOnlyBelowNineTenthsOfTheReference) {
    EXPECT_FALSE(fan::fanSlowerThanReference(3000, 2701));
    EXPECT_FALSE(fan::fanSlowerThanReference(3000, 2700));
    EXPECT_TRUE(fan::fanSlowerThanReference(3000, 2699));
    EXPECT_FALSE(fan::fanSlowerThanReference(0, 0));
    EXPECT_TRUE(fan::fanSlowerThanReference(UINT32_MAX, 0));
}

TEST(FanSpeedTestRules, MessagesCarryBothNumbersAndAFailedSave) {
    FanTestResult result;
    result.outcome = FanTestOutcome::kWarning;
    result.reference = 3000;
    result.measured = 2699;
    EXPECT_EQ(fan::fanTestMessage(result, "W %d %d", "O %d %d"), "W 3000 2699");
    result.outcome = FanTestOutcome::kOk;
    result.reference = 0;
    result.referenceWritten = true;
    EXPECT_EQ(fan::fanTestMessage(result, "W %d %d", "O %d %d"), "O 0 2699");
    result.writeError = EACCES;
    const std::string text = fan::fanTestMessage(result, "W %d %d", "O %d %d");
    EXPECT_EQ(text.rfind("O 0 2699\n", 0), 0u) << text;
    EXPECT_NE(text.find("could not be saved"), std::string::npos) << text;
}

TEST(FanSpeedTestOnBoard, FirstRunWritesTheReferenceAndLaterRunsCompareWithIt) {
    TempDir folder;
    const std::string board = readPreset("single-0e22");
    uint32_t reference = 0;
    {
        FanTestMachine machine(folder, board);
        const FanState before = fanState(machine.layer());
        const FanTestResult result = machine.run();
        EXPECT_EQ(result.outcome, FanTestOutcome::kOk);
        EXPECT_EQ(result.reference, 0u) << "nothing had been read into memory yet";
        EXPECT_TRUE(result.referenceWritten);
        EXPECT_EQ(result.writeError, 0);
        EXPECT_GT(result.measured, 1000u);
        reference = result.measured;
        EXPECT_EQ(readAll(folder.file(fan::kFanSpeedFileName)),
                  fan::fanSpeedReferenceFile(std::vector<std::string>{"0e22"}, reference));
        // 100 % first, then the fan goes back to the mode it was in.
        ASSERT_EQ(machine.commands.size(), 2u);
        EXPECT_EQ(machine.commands[0], FanCommand::level(100));
        EXPECT_EQ(machine.commands[1],
                  before.mode == gpu::GpuLayer::kFanModeAutomatic
                      ? FanCommand::automatic()
                      : FanCommand::level(static_cast<uint32_t>(before.percent)));
        EXPECT_EQ(fanState(machine.layer()).mode, before.mode);
        EXPECT_FALSE(machine.test().running());
    }
    {
        // The same fan again: as fast as its reference.
        FanTestMachine machine(folder, board);
        const FanTestResult result = machine.run();
        EXPECT_EQ(result.outcome, FanTestOutcome::kOk);
        EXPECT_EQ(result.reference, reference);
        EXPECT_FALSE(result.referenceWritten);
    }
    {
        // A fan that has become a third slower.
        FanTestMachine machine(folder, replaced(board, "fan_max_rpm = 3000", "fan_max_rpm = 2000"));
        const FanTestResult result = machine.run();
        EXPECT_EQ(result.outcome, FanTestOutcome::kWarning);
        EXPECT_EQ(result.reference, reference);
        EXPECT_LT(result.measured * 10, reference * 9);
        EXPECT_FALSE(result.referenceWritten);
        EXPECT_EQ(readAll(folder.file(fan::kFanSpeedFileName)),
                  fan::fanSpeedReferenceFile(std::vector<std::string>{"0e22"}, reference))
            << "a warning writes nothing";
    }
}

TEST(FanSpeedTestOnBoard, ManualFanGetsItsLevelBackAfterAnEarlyStop) {
    TempDir folder;
    FanTestMachine machine(folder, readPreset("single-0e22"));
    ASSERT_EQ(machine.layer().setFanLevel(0, machine.layer().record(0).percentToFanLevel(40)),
              drv::kOk);
    const FanState before = fanState(machine.layer());
    ASSERT_EQ(before.mode, gpu::GpuLayer::kFanModeManual);
    ASSERT_EQ(machine.test().start(0), fan::FanTestStart::kStarted);
    EXPECT_TRUE(machine.test().waitingToSettle());
    machine.test().stop();
    EXPECT_FALSE(machine.test().running());
    ASSERT_EQ(machine.commands.size(), 2u);
    EXPECT_EQ(machine.commands[1], FanCommand::level(static_cast<uint32_t>(before.percent)));
    EXPECT_EQ(fanState(machine.layer()), before);
    // A stop without a test sends nothing.
    machine.test().stop();
    EXPECT_EQ(machine.commands.size(), 2u);
}

TEST(FanSpeedTestOnBoard, OldDriverLeavesTheFanAlone) {
    TempDir folder;
    FanTestMachine machine(
        folder, replaced(readPreset("single-0e22"), "version = 31061", "version = 25999"));
    EXPECT_EQ(machine.test().start(0), fan::FanTestStart::kDriverTooOld);
    EXPECT_TRUE(machine.commands.empty());
    EXPECT_FALSE(machine.test().running());
    EXPECT_EQ(machine.test().tick().outcome, FanTestOutcome::kNotRunning);
}

TEST(FanSpeedTestOnBoard, CorruptReferenceIsReplacedByAGoodOne) {
    TempDir folder;
    std::ofstream(folder.file(fan::kFanSpeedFileName), std::ios::binary)
        << std::string("\xFF\xFE[\0G\0", 6);
    FanTestMachine machine(folder, readPreset("single-0e22"));
    const FanTestResult result = machine.run();
    EXPECT_EQ(result.outcome, FanTestOutcome::kOk);
    EXPECT_TRUE(result.referenceWritten);
    EXPECT_EQ(readAll(folder.file(fan::kFanSpeedFileName)),
              fan::fanSpeedReferenceFile(std::vector<std::string>{"0e22"}, result.measured));
}

}  // namespace
}  // namespace qv::test
