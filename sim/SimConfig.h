// Board configuration of the simulated driver: what boards exist, their clock tables, chips,
// cooler, power and thermal constants. Parsed from a small INI-like text (docs/simulator.md);
// the built-in board set is the same text compiled in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gpu/WirelessModuleRegisters.h"
#include "gpu/DisplayPortAdapter.h"

namespace qv::sim {

// Status of the parser: 0 or -1, the driver's numbering.
inline constexpr int kConfigOk = 0;
inline constexpr int kConfigError = -1;

inline constexpr size_t kMaxConfigBytes = 1 << 20;
inline constexpr size_t kMaxConfigLineBytes = 4096;
inline constexpr size_t kMaxSimGpus = 16;
inline constexpr size_t kMaxSimDisplays = 8;
inline constexpr size_t kMaxSimLevels = 12;           // the clock table's level capacity
inline constexpr size_t kMaxSimClocksPerLevel = 32;   // the clock table's clock capacity
inline constexpr uint32_t kMinLevelMv = 300;          // a level's core voltage, configured or written
inline constexpr uint32_t kMaxLevelMv = 2000;
inline constexpr size_t kMaxSimCurvePoints = 8;
inline constexpr uint32_t kMinBiosSize = 2048;
inline constexpr uint32_t kMaxBiosSize = 1 << 20;
inline constexpr uint32_t kBiosBlockSize = 512;
inline constexpr size_t kMaxBiosVersionChars = 200;
inline constexpr size_t kMaxNameChars = 63;           // the driver's short string less its end
inline constexpr size_t kAdapterFirmwareChars = drv::kAdapterFirmwareLength;

// I2C slots of a board, by the program's slot numbers.
inline constexpr size_t kSlotCount = 13;
inline constexpr size_t kSlotFanChip0 = 0;
inline constexpr size_t kSlotFanChip1 = 1;
inline constexpr size_t kSlotRegulatorA = 2;
inline constexpr size_t kSlotStepRegulator3 = 3;
inline constexpr size_t kSlotUnused4 = 4;
inline constexpr size_t kSlotMemoryRegulator = 5;
inline constexpr size_t kSlotStepRegulator6 = 6;
inline constexpr size_t kSlotRegulatorB = 7;
inline constexpr size_t kSlotAuxiliary8 = 8;
inline constexpr size_t kSlotPowerMonitor9 = 9;
inline constexpr size_t kSlotPowerMonitor10 = 10;
inline constexpr size_t kSlotPowerMonitor11 = 11;
inline constexpr size_t kSlotWireless = 12;  // the wireless display module

// The bus (port byte) and 8-bit device address each slot's chip answers on.
inline constexpr std::array<uint8_t, kSlotCount> kSlotPorts = {2, 2, 3, 2, 3, 2, 0, 0, 0, 0, 0, 0,
                                                                wireless::kWirelessPort};
inline constexpr std::array<uint8_t, kSlotCount> kSlotAddresses = {
    0x5C, 0x5C, 0xE0, 0x60, 0x00, 0x10, 0x60, 0xE0, 0x30, 0x90, 0x92, 0x94,
    wireless::kWirelessAddress};
inline constexpr uint8_t kFanChip0AlternateAddress = 0x5A;

inline constexpr uint32_t kDomainGraphics = 0;
inline constexpr uint32_t kDomainMemory = 4;
inline constexpr uint32_t kDomainProcessor = 7;
inline constexpr uint32_t kMaxDomain = 31;

inline constexpr uint32_t kPciVendorNvidia = 0x10DE;
inline constexpr uint32_t kMaxMemoryTypeCode = 9;

enum class ClockTableMode { Present, Empty, Missing };
enum class CoolerKind { None, Driver };
enum class FanControl { Driver, Chip0, Chip1 };

inline constexpr uint32_t kSensorGpu = 1;     // bit per sensor target kind
inline constexpr uint32_t kSensorMemory = 2;
inline constexpr uint32_t kSensorBoard = 4;

struct ClockConfig {
    uint32_t domain = 0;
    uint32_t baseKHz = 0;
    uint32_t minKHz = 0;
    uint32_t maxKHz = 0;  // 0 with min 0: no range known, writes are taken as they come
};

struct LevelConfig {
    uint32_t id = 0;
    uint32_t flags = 0;
    uint32_t pstate = 0;
    bool pstateGiven = false;
    uint32_t voltageUv = 1000000;
    bool locked = false;  // writes answer -118 and change nothing
    std::vector<ClockConfig> clocks;
};

struct ChipConfig {
    bool present = false;
    uint8_t address = 0;
    uint32_t capability = 64;   // slot 0: 64 or 32, from register 0x92 bit 2
    int32_t tempBiasC = 4;      // slot 0: how far the chip's sensor reads below the GPU
    uint8_t alarmC = 90;        // slot 0: alarm temperature register
    bool tachWire = true;       // slot 1: tachometer count registers answer
    std::array<uint8_t, 4> codes = {48, 52, 54, 60};  // slot 2: code registers 0x15..0x18
    uint8_t step = 0;           // slots 3 and 6
    uint8_t code = 0;           // slots 5 and 7
    uint8_t value = 1;          // slot 8: register 1
    double share = 0.33;        // slots 9..11: part of the board power through this monitor
    uint32_t busMv = 12000;     // slots 9..11: bus voltage
    uint8_t region = 1;         // wireless module: 1 USA, 2 Japan
    std::array<uint8_t, 3> version = {2, 1, 7};  // wireless module firmware
    uint8_t workState = 2;      // wireless module: 2 linked
    uint8_t channel = 0;        // wireless module: the frequency list entry it picks itself
};

struct CurvePoint {
    int32_t tempC = 0;
    uint32_t level = 0;
};

struct Range {
    int32_t min = 0;
    int32_t max = 0;
};

struct GpuConfig {
    std::string name;
    uint32_t device = 0;
    bool deviceGiven = false;
    uint32_t subsystem = 0;
    uint32_t revision = 0xA1;
    uint32_t bus = 1;
    uint32_t cores = 0;
    uint32_t memoryKiB = 1048576;
    uint32_t memoryType = 8;
    uint32_t busWidth = 256;
    uint32_t busLocation = 0;

    ClockTableMode clockTable = ClockTableMode::Present;
    std::vector<LevelConfig> levels;

    bool pstates20 = false;
    bool voltageTable = true;  // the P-state information lists each level's core voltage
    Range graphicsOffsetKHz = {-135000, 135000};
    Range memoryOffsetKHz = {-500000, 1000000};
    Range voltageOffsetUv = {-50000, 100000};
    uint32_t boostGraphicsKHz = 0;  // 0: the top level's base clock

    CoolerKind cooler = CoolerKind::Driver;
    uint32_t coolerMin = 30;
    uint32_t coolerMax = 100;
    uint32_t coolerDefaultPolicy = 2;
    FanControl fanControl = FanControl::Driver;
    uint32_t fanMaxRpm = 3000;
    bool tachometer = true;
    std::vector<CurvePoint> fanCurve;

    std::array<ChipConfig, kSlotCount> chips{};

    std::string biosVersion;
    uint32_t biosSize = 65536;

    bool powerPolicy = false;
    uint32_t powerLimitMin = 50000;  // thousandths of a percent of the default limit
    uint32_t powerLimitDefault = 100000;
    uint32_t powerLimitMax = 100000;
    double powerW = 150.0;    // the board's default power limit
    double idlePowerW = 25.0;
    double loadPowerW = 140.0;  // at full load on the top level's base clock and voltage

    double ambientC = 30.0;
    double thermalResistance = 0.8;  // °C per W with the fan stopped
    double fanCooling = 3.0;         // how much full airflow divides the resistance by (1 + k)
    double thermalTauS = 8.0;
    double fanTauS = 2.0;
    uint32_t load = 3;
    uint32_t sensors = kSensorGpu;
};

struct DisplayConfig {
    std::string name;
    uint32_t id = 0;
    uint32_t gpu = 0;
    bool displayPort = false;
    bool adapter = false;
    uint32_t monitors = 3;
    std::string firmware = "VX-3 FW 1.0.4";
    uint32_t busyPolls = 1;   // reads of the command register that say busy after each command
    bool stuckBusy = false;   // the command register never stops saying busy
    bool unattached = false;
};

struct DriverConfig {
    uint32_t version = 31061;
    uint32_t buildNumber = 0;
    std::string branch = "r310_00";
    uint32_t i2cTimeUs = 20;  // how long one I2C transaction keeps the bus busy
};

struct SimConfig {
    DriverConfig driver;
    std::vector<GpuConfig> gpus;
    std::vector<DisplayConfig> displays;
};

// Parses `text`. On failure returns -1 with `error` naming the line and the problem; `out` is
// then unspecified. Never throws for any input.
int parseSimConfig(std::string_view text, SimConfig& out, std::string& error);

// The text of the built-in board set.
std::string_view builtinConfigText();

// FNV-1a of a byte string, used to tell configurations apart.
uint64_t fnv1a(std::string_view bytes, uint64_t seed = 0xcbf29ce484222325ULL);

// Index of the level that is the board's top (P0) level: the highest identifier.
size_t topLevelIndex(const GpuConfig& gpu);

}  // namespace qv::sim
