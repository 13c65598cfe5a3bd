// Board configurations: the shipped presets, refused texts, and what the keys change.
#include <algorithm>
#include <filesystem>
#include <map>

#include "SimConfig.h"
#include "SimFixture.h"
#include "gpu/WirelessModuleRegisters.h"
#include "platform/CompanionFiles.h"

namespace qv::simtest {
namespace {

using namespace qv::drv;

using SimConfiguration = SimTest;

// A one-board configuration for the tests below; `extra` adds or overrides keys.
std::string oneBoard(const std::string& extra) {
    return "[gpu]\n"
           "name = Test Board\n"
           "device = 0x0E22\n"
           "level = 0 flags=0\n"
           "clock = graphics 100000 100000 200000\n"
           "level = 1 flags=4\n"
           "clock = graphics 500000 300000 700000\n" +
           extra;
}

TEST_F(SimConfiguration, EveryShippedPresetLoads) {
    const std::map<std::string, uint32_t> gpuCounts = {{"six-gpus", 6}};
    size_t presets = 0;
    for (const auto& entry : std::filesystem::directory_iterator(platform::executableFolder() + "/boards")) {
        if (entry.path().extension() != ".conf") {
            continue;
        }
        ++presets;
        const std::string name = entry.path().stem().string();
        SCOPED_TRACE(name);
        ASSERT_EQ(sim().loadConfig(name.c_str()), kOk);
        const auto it = gpuCounts.find(name);
        EXPECT_EQ(sim().gpuCount(), it != gpuCounts.end() ? it->second : 1u);
        EXPECT_EQ(gpus().size(), sim().gpuCount());
        EXPECT_EQ(sim().writeBiosImage(0, (folder() + "/rom").c_str()), kOk);
    }
    EXPECT_GE(presets, 11u);
}

TEST_F(SimConfiguration, PresetsForTheProgramsSpecialPaths) {
    ASSERT_EQ(sim().loadConfig("six-gpus"), kOk);
    EXPECT_EQ(gpus().size(), 6u);

    ASSERT_EQ(sim().loadConfig("no-clock-table"), kOk);
    auto t = std::make_unique<PerfClockTable>();
    t->version = kPerfClockTableVersion;
    EXPECT_EQ(call<GpuGetPerfClocksFn>(kGpuGetPerfClocks, gpus()[0], -1, t.get()), kNotSupported);
    ASSERT_EQ(sim().loadConfig("empty-clock-table"), kOk);
    EXPECT_EQ(call<GpuGetPerfClocksFn>(kGpuGetPerfClocks, gpus()[0], -1, t.get()), kOk);
    EXPECT_EQ(t->levelCount, 0u);

    ASSERT_EQ(sim().loadConfig("no-cooler"), kOk);
    EXPECT_EQ(cooler(gpus()[0]).count, 0u);

    ASSERT_EQ(sim().loadConfig("slot0-slot3"), kOk);
    const auto gpu = gpus()[0];
    EXPECT_EQ(reg(gpu, 2, 0x5C, 0x04), 0x5C);
    EXPECT_EQ(reg(gpu, 2, 0x60, 0x01), 2);
    EXPECT_EQ(cooler(gpu).count, 1u) << "the fan stays on the driver cooler";
}

TEST_F(SimConfiguration, LoadingAConfigurationInvalidatesOldHandles) {
    const auto old = gpus();
    ASSERT_EQ(sim().loadConfig("single-05e2"), kOk);
    char name[kShortStringSize] = {};
    EXPECT_EQ(call<GpuGetFullNameFn>(kGpuGetFullName, old[0], name), kHandleInvalidated);
    EXPECT_EQ(call<GpuGetFullNameFn>(kGpuGetFullName, gpus()[0], name), kOk);
    EXPECT_STREQ(name, "GeForce GTX 260");
    EXPECT_STREQ(getenv("QUORVEL_SIM_CONFIG"), "single-05e2") << "helpers started from here agree";
}

struct BadCase {
    const char* text;
    const char* message;
};

TEST_F(SimConfiguration, RefusedTextsNameTheProblemAndKeepTheOldBoards) {
    const BadCase cases[] = {
        {"name = X\n", "outside any section"},
        {"[board]\n", "unknown section [board]"},
        {"[gpu\n", "without ']'"},
        {"[gpu]\nname = A\n", "device is missing"},
        {"[gpu]\nname = A\ndevice = 0x1FFFF\n", "from 0 to 65535"},
        {"[gpu]\nname = A\ndevice = 12abc\n", "got '12abc'"},
        {"[gpu]\nname = A\ndevice = 1\nclock = graphics 1 2 3\n", "before any level"},
        {"[gpu]\nname = A\ndevice = 1\nlevel = 0\nclock = graphics 500 600 400\n", "minimum <= base"},
        {"[gpu]\nname = A\ndevice = 1\nlevel = 0\n", "has no clock"},
        {"[gpu]\nname = A\ndevice = 1\ncolour = red\n", "unknown key 'colour'"},
        {"[gpu]\nname = A\ndevice = 1\nclock_table = empty\nchip = slot0\nchip = slot1\n", "same address"},
        {"[gpu]\nname = A\ndevice = 1\nclock_table = empty\nchip = slot4\n", "slot 4"},
        {"[gpu]\nname = A\ndevice = 1\nclock_table = empty\nchip = slot2 tach=yes\n", "does not apply"},
        {"[gpu]\nname = A\ndevice = 1\nclock_table = empty\nbios_size = 3000\n", "multiple of 512"},
        {"[gpu]\nname = A\ndevice = 1\nclock_table = empty\nfan_curve = 50:40 40:50\n", "must rise"},
        {"[gpu]\nname = A\ndevice = 1\nclock_table = empty\nambient_c = nan\n", "ambient_c"},
        {"[gpu]\nname = A\ndevice = 1\nclock_table = empty\nfan_control = slot0\n", "needs chip = slot0"},
        {"[gpu]\nname = A\ndevice = 1\nclock_table = empty\nchip = slot8 region=1\n", "does not apply"},
        {"[gpu]\nname = A\ndevice = 1\nclock_table = empty\nchip = wireless version=1.2\n", "three numbers"},
        {"[gpu]\nname = A\ndevice = 1\nclock_table = empty\nchip = wireless channel=6\n", "channel"},
        {"[display]\ngpu = 3\n", "does not exist"},
        {"[driver]\n[driver]\n", "second [driver]"},
        {"\x01\x02\xff[gpu\x00]\n", "line 1"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string path = folder() + "/bad.conf";
        writeFile(path, c.text);
        testing::internal::CaptureStderr();
        EXPECT_EQ(sim().loadConfig(path.c_str()), kError);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(sim().gpuCount(), 3u) << "the built-in boards are still in place";
    }
    std::string levels = oneBoard("");
    for (int i = 2; i < 14; ++i) {
        levels += "level = " + std::to_string(i) + "\nclock = graphics 1 0 0\n";
    }
    writeFile(folder() + "/many.conf", levels);
    testing::internal::CaptureStderr();
    EXPECT_EQ(sim().loadConfig((folder() + "/many.conf").c_str()), kError);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("more than 12 levels"), std::string::npos);
}

TEST_F(SimConfiguration, InitialiseFailsOnAnUnusableConfiguration) {
    setConfig("no-such-preset");
    testing::internal::CaptureStderr();
    EXPECT_EQ(loader().load(), kError);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no configuration file or preset named"),
              std::string::npos);
    loader().unload();
}

TEST_F(SimConfiguration, KeysShapeTheBoard) {
    const std::string path = folder() + "/board.conf";
    writeFile(path, oneBoard("level = 2 flags=2 locked\n"
                             "clock = graphics 600000 300000 900000\n"
                             "sensors = gpu, board\n"
                             "cooler = driver\n"
                             "cooler_range = 25 90\n"
                             "fan_control = slot1\n"
                             "chip = slot1 tach=no\n"
                             "cores = 0\n"
                             "[display]\nname = \\\\.\\DISPLAY7\nunattached = yes\n"));
    ASSERT_EQ(sim().loadConfig(path.c_str()), kOk);
    const auto gpu = gpus()[0];
    PerfClockTable level = table(gpu, 2);
    level.levels[0].clocks[0].currentKHz = 800000;
    level.levels[0].clocks[0].flags = kPerfClockFlagWrite;
    EXPECT_EQ(call<GpuSetPerfClocksFn>(kGpuSetPerfClocks, gpu, 2u, &level), kSetNotAllowed);
    EXPECT_EQ(table(gpu, 2).levels[0].clocks[0].currentKHz, 600000u);

    auto t = versioned<ThermalSettings>(kThermalSettingsVersion);
    EXPECT_EQ(call<GpuGetThermalSettingsFn>(kGpuGetThermalSettings, gpu, kThermalAllSensors, &t), kOk);
    EXPECT_EQ(t.count, 2u);
    EXPECT_EQ(t.sensor[1].target, kThermalTargetBoard);
    EXPECT_EQ(cooler(gpu).cooler[0].currentMaxLevel, 90u);
    EXPECT_EQ(reg(gpu, 2, 0x5C, 0x28), 0xFF) << "no tachometer wire";
    uint32_t cores = 0;
    EXPECT_EQ(call<GpuGetGpuCoreCountFn>(kGpuGetGpuCoreCount, gpu, &cores), kNotSupported);
    DisplayHandle d = nullptr;
    EXPECT_EQ(call<EnumNvidiaUnattachedDisplayHandleFn>(kEnumNvidiaUnattachedDisplayHandle, 0u, &d), kOk);
    EXPECT_EQ(call<EnumNvidiaDisplayHandleFn>(kEnumNvidiaDisplayHandle, 0u, &d), kEndEnumeration);
}

TEST_F(SimConfiguration, StateOfAnEditedConfigurationIsNotReused) {
    const std::string path = folder() + "/board.conf";
    writeFile(path, oneBoard("cooler = driver\n"));
    setConfig(path);
    ASSERT_EQ(loader().load(), kOk);
    ASSERT_EQ(setCooler(gpus()[0], 80, kCoolerPolicyManual), kOk);
    loader().unload();
    writeFile(path, oneBoard("cooler = driver\ncooler_default_policy = 4\n"));
    // Make the library look at the file again, as a fresh process would.
    setConfig("");
    EXPECT_EQ(sim().gpuCount(), 3u);
    setConfig(path);
    testing::internal::CaptureStderr();
    ASSERT_EQ(loader().load(), kOk);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("does not fit"), std::string::npos) << err;
    EXPECT_EQ(cooler(gpus()[0]).cooler[0].currentPolicy, 4u);
}

// The model's parser read directly: each kind of key lands in its field, a value outside its
// limits is refused with the key named, and an unknown key is named with its section.
TEST(SimConfigKeys, EachKindOfKeyLandsInItsFieldWithinItsLimits) {
    using sim::GpuConfig;
    struct Good {
        const char* line;
        bool (*landed)(const GpuConfig&);
    };
    const Good good[] = {
        {"cores = 65535", [](const GpuConfig& g) { return g.cores == 65535; }},
        {"fan_tau_s = 0.05", [](const GpuConfig& g) { return g.fanTauS == 0.05; }},
        {"tachometer = off", [](const GpuConfig& g) { return !g.tachometer; }},
        {"graphics_offset_range = -1000000 1000000",
         [](const GpuConfig& g) {
             return g.graphicsOffsetKHz.min == -1000000 && g.graphicsOffsetKHz.max == 1000000;
         }},
        {"bios_version = V 1.2", [](const GpuConfig& g) { return g.biosVersion == "V 1.2"; }},
        {"cooler = none", [](const GpuConfig& g) { return g.cooler == sim::CoolerKind::None; }},
        {"cooler_range = 10 90", [](const GpuConfig& g) { return g.coolerMin == 10 && g.coolerMax == 90; }},
        {"power_limit = 1000 2000 3000", [](const GpuConfig& g) { return g.powerLimitDefault == 2000; }},
    };
    for (const Good& c : good) {
        SCOPED_TRACE(c.line);
        sim::SimConfig config;
        std::string error;
        ASSERT_EQ(sim::parseSimConfig(oneBoard(std::string(c.line) + "\n"), config, error), 0) << error;
        EXPECT_TRUE(c.landed(config.gpus.at(0)));
    }
    const std::pair<std::string, std::string> bad[] = {
        {oneBoard("cores = 65536\n"), "cores: expected a whole number from 0 to 65535"},
        {oneBoard("fan_tau_s = 0.04\n"), "fan_tau_s: expected a number from 0.05 to 600"},
        {oneBoard("tachometer = maybe\n"), "tachometer: expected yes or no"},
        {oneBoard("memory_offset_range = -2000001 0\n"), "memory_offset_range"},
        {oneBoard("bios_version = " + std::string(201, 'x') + "\n"), "longer than 200"},
        {oneBoard("cooler = some\n"), "cooler: expected driver or none"},
        {oneBoard("name =\n"), "name: must not be empty"},
        {oneBoard("nonsense = 1\n"), "unknown key 'nonsense' in [gpu]"},
        {"[driver]\nversion = 0\n", "version: expected a whole number from 1 to 999999"},
        {"[display]\nconnector = usb\n", "connector: expected dvi, hdmi, vga or displayport"},
        {"[display]\nmonitor = 1\n", "unknown key 'monitor' in [display]"},
    };
    for (const auto& [text, message] : bad) {
        SCOPED_TRACE(text);
        sim::SimConfig config;
        std::string error;
        EXPECT_NE(sim::parseSimConfig(text, config, error), 0);
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
}

// The wireless display module: what the configuration sets, and the channel and mode registers.
TEST_F(SimConfiguration, WirelessModuleAnswersWithItsConfigurationAndFollowsItsChannel) {
    const std::string path = folder() + "/wireless.conf";
    writeFile(path, oneBoard("chip = wireless region=2 version=1.0.3 work_state=1 channel=2\n"));
    ASSERT_EQ(sim().loadConfig(path.c_str()), kOk);
    const auto reg = [&](uint8_t r) {
        uint8_t value = 0;
        EXPECT_EQ(sim().getRegister(0, wireless::kWirelessPort, wireless::kWirelessAddress, r,
                                    &value),
                  kOk);
        return value;
    };
    EXPECT_EQ(reg(wireless::kWirelessRegIdentity), wireless::kWirelessIdentityValue);
    EXPECT_EQ(reg(wireless::kWirelessRegRegion), 2);
    EXPECT_EQ(reg(wireless::kWirelessRegVersion + 2), 3);
    EXPECT_EQ(reg(wireless::kWirelessRegWorkState), 1);
    const auto frequency = [&] {
        return reg(wireless::kWirelessRegFrequency) << 8 | reg(wireless::kWirelessRegFrequency + 1);
    };
    EXPECT_EQ(frequency(), 5775);
    EXPECT_EQ(reg(wireless::kWirelessRegMode), wireless::kWirelessModeAutomatic);
}

}  // namespace
}  // namespace qv::simtest
