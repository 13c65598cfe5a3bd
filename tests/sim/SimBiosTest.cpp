// Video BIOS images of the simulated boards, and the ROM-dump helper that writes them to PMOut.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

#include "SimFixture.h"
#include "gpu/BiosVersion.h"
#include "support/ChildProcess.h"

namespace qv::simtest {
namespace {

using namespace qv::drv;

using SimBios = SimTest;

struct HelperRun {
    int exitCode = -1;
    std::string errors;
};

// Runs qv-readmem in `cwd` with exactly the environment given ("NAME=value" entries).
HelperRun runReadmem(const std::string& cwd, const std::vector<std::string>& environment,
                     const std::vector<std::string>& arguments = {}) {
    std::map<std::string, std::string> variables;
    for (const std::string& entry : environment) {
        const size_t equals = entry.find('=');
        variables[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    const test::ChildProcess::Result r = test::ChildProcess::run(
        "qv-readmem", arguments, variables, {test::ChildProcess::Inherit::kNothing, cwd},
        std::chrono::seconds(60));
    return {r.exitCode, r.err};
}

std::vector<std::string> folderContents(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(SimBios, ImagesAreChecksummedRomsWithTheirVersionText) {
    const std::map<std::string, std::string> versions = {
        {"single-1180", "VGA BIOS V8016"}, {"single-0e22", "VGA BIOS V7004"},
        {"single-05e2", "VGA BIOS V6213"}, {"bios-f", "VGA BIOS V8012-F"},
        {"bios-ta", "VGA BIOS TAV3012"},   {"bios-tb", "VGA BIOS TB 4420"}};
    for (const auto& [preset, text] : versions) {
        SCOPED_TRACE(preset);
        ASSERT_EQ(sim().loadConfig(preset.c_str()), kOk);
        const std::string path = folder() + "/image";
        ASSERT_EQ(sim().writeBiosImage(0, path.c_str()), kOk);
        const std::string rom = readFile(path);
        ASSERT_GE(rom.size(), 2048u);
        EXPECT_EQ(static_cast<uint8_t>(rom[0]), 0x55);
        EXPECT_EQ(static_cast<uint8_t>(rom[1]), 0xAA);
        EXPECT_EQ(static_cast<size_t>(static_cast<uint8_t>(rom[2])) * 512, rom.size());
        uint8_t sum = 0;
        for (char c : rom) {
            sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
        }
        EXPECT_EQ(sum, 0);
        const size_t pcir = rom.find("PCIR");
        ASSERT_NE(pcir, std::string::npos);
        EXPECT_EQ(static_cast<uint8_t>(rom[pcir + 4]) | static_cast<uint8_t>(rom[pcir + 5]) << 8, 0x10DE);
        // The program reads the first 1600 bytes for the version.
        EXPECT_LT(rom.find(text), 1500u);
        EXPECT_EQ(rom.find("-F") != std::string::npos, preset == "bios-f");
    }
    EXPECT_EQ(sim().writeBiosImage(5, (folder() + "/image").c_str()), kInvalidArgument);
    EXPECT_EQ(sim().writeBiosImage(0, (folder() + "/missing/image").c_str()), kError);
}

TEST_F(SimBios, TheProgramsParserFindsEachVersion) {
    struct Case {
        const char* preset;
        const char* version;
        gpu::FanControllerKind kind;
    };
    const Case cases[] = {{"single-1180", "8016", gpu::kFanDriverCooler},
                          {"bios-f", "8012", gpu::kFanSlot1Chip},
                          {"bios-ta", "3012", gpu::kFanDriverCooler},
                          {"bios-tb", "4420", gpu::kFanDriverCooler}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preset);
        ASSERT_EQ(sim().loadConfig(c.preset), kOk);
        ASSERT_EQ(sim().writeBiosImage(0, (folder() + "/image").c_str()), kOk);
        // As the program reads it: the first 1600 bytes of the dump.
        const std::string rom = readFile(folder() + "/image").substr(0, 1600);
        std::string version;
        gpu::FanControllerKind kind = gpu::kFanDriverCooler;
        EXPECT_EQ(gpu::parseBiosVersion(reinterpret_cast<const uint8_t*>(rom.data()), rom.size(), version, kind), 1);
        EXPECT_EQ(version, c.version);
        EXPECT_EQ(kind, c.kind);
    }
}

TEST_F(SimBios, ReadmemWritesTheSimulatedImage) {
    const std::string state = "QUORVEL_SIM_STATE_DIR=" + stateFolder();
    const std::string work = folder() + "/work";
    std::filesystem::create_directory(work);
    ASSERT_EQ(sim().loadConfig("bios-ta"), kOk);
    ASSERT_EQ(sim().writeBiosImage(0, (folder() + "/expected").c_str()), kOk);

    HelperRun run = runReadmem(work, {state, "QUORVEL_SIM_CONFIG=bios-ta"});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(readFile(work + "/PMOut"), readFile(folder() + "/expected"));
    EXPECT_EQ(folderContents(work), std::vector<std::string>{"PMOut"}) << "no temporary file left";

    // --simulate or QUORVEL_SIMULATED=1 alone: the built-in boards.
    run = runReadmem(work, {state}, {"--simulate"});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(readFile(work + "/PMOut").find("VGA BIOS V8016"), std::string::npos);
    std::filesystem::remove(work + "/PMOut");
    run = runReadmem(work, {state, "QUORVEL_SIMULATED=1"});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(readFile(work + "/PMOut").find("VGA BIOS V8016"), std::string::npos);

    EXPECT_EQ(runReadmem(work, {state}, {"--bogus"}).exitCode, 2);
    run = runReadmem(work, {state, "QUORVEL_SIM_CONFIG=no-such-preset"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("did not initialise"), std::string::npos) << run.errors;
}

TEST_F(SimBios, ReadmemReadsThePciRomOfTheFirstNvidiaDisplay) {
    const std::string devices = folder() + "/devices";
    auto device = [&](const std::string& name, const std::string& vendor, const std::string& cls,
                      const std::string& rom) {
        const std::string d = devices + "/" + name;
        std::filesystem::create_directories(d);
        writeFile(d + "/vendor", vendor + "\n");
        writeFile(d + "/class", cls + "\n");
        writeFile(d + "/rom", rom);
    };
    const std::string rom = std::string("0") + std::string(4095, '\x5A');
    device("0000:00:02.0", "0x8086", "0x030000", "intel");
    device("0000:01:00.1", "0x10de", "0x040300", "audio");
    device("0000:01:00.0", "0x10de", "0x030000", rom);
    device("0000:02:00.0", "0x10de", "0x030000", "second");
    const std::string work = folder() + "/work";
    std::filesystem::create_directory(work);

    HelperRun run = runReadmem(work, {"QUORVEL_PCI_DEVICES=" + devices});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    // The ROM is switched on ("1"), read, and switched off again ("0").
    EXPECT_EQ(readFile(work + "/PMOut"), "1" + rom.substr(1));
    EXPECT_EQ(readFile(devices + "/0000:01:00.0/rom")[0], '0');

    std::filesystem::remove_all(devices + "/0000:01:00.0");
    std::filesystem::remove_all(devices + "/0000:02:00.0");
    std::filesystem::remove(work + "/PMOut");
    run = runReadmem(work, {"QUORVEL_PCI_DEVICES=" + devices});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("no NVIDIA display controller"), std::string::npos) << run.errors;
    EXPECT_FALSE(std::filesystem::exists(work + "/PMOut"));
}

}  // namespace
}  // namespace qv::simtest
