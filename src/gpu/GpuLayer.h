// The one object through which the program sees the graphics boards: enumeration, board
// identification, the boards' own I2C chips, clocks, temperature and fans.
//
// Every operation takes the GPU index as an unsigned 8-bit number and answers a driver status
// (0 success, negative failure; -104 also when a chip or path is absent).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gpu/DriverLoader.h"
#include "gpu/GpuRecord.h"
#include "platform/Clock.h"
#include "platform/Poster.h"
#include "platform/ProcessLauncher.h"
#include "platform/SystemInfo.h"

namespace qv::gpu {

inline constexpr size_t kMaxGpus = 5;
inline constexpr uint32_t kMessageProbeDone = 3023;

inline constexpr int kInitOk = 0;
inline constexpr int kInitHardwareFailure = 1;
inline constexpr int kInitUnsupportedSystem = 2;

// What a clock level holds, and how a level is addressed.
struct PerfClockRequest {
    uint32_t graphicsCurrent = 0, graphicsBase = 0, graphicsMin = 0, graphicsMax = 0;
    uint32_t memoryCurrent = 0, memoryBase = 0, memoryMin = 0, memoryMax = 0;
    uint32_t processorCurrent = 0, processorBase = 0, processorMin = 0, processorMax = 0;
    uint32_t levelMask = 0;
    uint32_t mode = 0;  // 0 read, 1 write
    uint32_t writeFlag = 0;
};

// New current clocks for a level, kHz; a domain left empty keeps the clock it has.
struct LevelClockChange {
    std::optional<uint32_t> graphicsKHz;
    std::optional<uint32_t> processorKHz;
    std::optional<uint32_t> memoryKHz;
};

// The step of a level's read-replace-write that failed.
enum class LevelClockStep { kNone, kRead, kWrite };

// The services the layer needs from the platform.
struct GpuLayerServices {
    platform::Clock* clock = &platform::SystemClock::instance();
    platform::SystemInfo* system = &platform::HostSystemInfo::instance();
    platform::ProcessLauncher* launcher = &platform::PosixProcessLauncher::instance();
    platform::Poster* poster = nullptr;  // the probe's completion goes nowhere without one
    std::string romDumpProgram;          // empty: "qv-readmem", a companion of the program
    std::string workingFolder = ".";     // where the ROM dump lands ("PMOut")
    // A GPU whose clock table cannot be read fails initialisation, as the window needs every
    // GPU it shows to have one. A tool that reports on boards one by one sets this: such a
    // GPU is then kept, with the status in its record's `clockTableStatus`.
    bool keepGpusWithoutClockTable = false;
};

class GpuLayer {
public:
    static constexpr uint32_t kI2cMutexWaitMs = 2000;
    static constexpr uint32_t kRomDumpPollMs = 100;
    static constexpr uint32_t kRomDumpWaitMs = 4000;
    static constexpr size_t kRomDumpReadBytes = 1600;
    static constexpr size_t kRomDumpEnoughBytes = 1500;
    static constexpr const char* kRomDumpFile = "PMOut";
    static constexpr const char* kRomDumpProgramName = "qv-readmem";

    explicit GpuLayer(drv::DriverLoader& driver, GpuLayerServices services = {});
    ~GpuLayer();
    GpuLayer(const GpuLayer&) = delete;
    GpuLayer& operator=(const GpuLayer&) = delete;

    // ---- Enumeration and board information ------------------------------------------------
    int initialize();  // kInitOk, kInitHardwareFailure or kInitUnsupportedSystem
    // Enumerates the GPUs again when `status` says the handles went stale (-10, -101).
    void reenumerateOnStatus(int status);
    uint8_t gpuCount() const { return gpuCount_; }
    // GPUs the driver listed beyond the kMaxGpus the program handles.
    uint32_t ignoredGpuCount() const { return ignoredGpus_; }
    void setUiThreadId(uint32_t id) { uiThreadId_.store(id); }
    uint32_t uiThreadId() const { return uiThreadId_.load(); }
    // Waits until the background probe has finished (for shutdown and tests).
    void waitForProbe();

    int boardName(uint8_t gpu, std::string& name);
    std::string deviceIdText(uint8_t gpu) const;
    std::string biosVersion(uint8_t gpu) const;
    // Memory facts of the GPU, read through a display it drives; -104 when it drives none.
    int memoryInfo(uint8_t gpu, drv::DisplayDriverMemoryInfo& info);
    int readMemoryType(uint8_t gpu);
    uint32_t readBusWidth(uint8_t gpu);           // the width, or 0 when the call fails
    int cudaCores(uint8_t gpu, uint32_t& cores);  // 1 on success
    int displayId(uint8_t gpu, uint32_t& id);
    // The display driver's version number (e.g. 30623 for 306.23), asked through the first
    // display the driver lists.
    int displayDriverVersion(uint32_t& version);
    int busOrder(uint8_t index, uint32_t& bus);
    // The PCI bus number of one GPU, as the driver reports it.
    int busId(uint8_t gpu, uint32_t& bus);
    void close();

    bool fourLevelTableSeen() const { return fourLevelFlag_ != 0; }
    bool is32BitOn64() const { return wow64_ != 0; }
    bool osMajorAbove5() const { return osMajorAbove5_ != 0; }
    const GpuRecord& record(uint8_t gpu) const { return records_[gpu < kMaxGpus ? gpu : 0]; }
    GpuRecord& record(uint8_t gpu) { return records_[gpu < kMaxGpus ? gpu : 0]; }

    // ---- I2C register access ---------------------------------------------------------------
    int writeRegisters(uint8_t gpu, const uint8_t* reg, uint32_t regCount, const uint8_t* data,
                       uint32_t dataCount, I2cSlot slot);
    int readRegisters(uint8_t gpu, const uint8_t* reg, uint32_t regCount, uint8_t* data,
                      uint32_t dataCount, I2cSlot slot);
    int readRegister(uint8_t gpu, I2cSlot slot, uint8_t reg, uint8_t& value);
    int writeRegister(uint8_t gpu, I2cSlot slot, uint8_t reg, uint8_t value);

    // ---- Clocks ----------------------------------------------------------------------------
    int currentClockFrequencies(uint8_t gpu, drv::ClockFrequencies& clocks);
    int readLevelClocks(uint8_t gpu, PerfClockRequest& request, int kind);
    int clockLimits(uint8_t gpu, uint32_t& minKHz, uint32_t& maxKHz, int selector, int kind) const;
    int overallLimits(uint8_t gpu, uint32_t& minKHz, uint32_t& maxKHz, int selector) const;
    float boostRatio(uint8_t gpu, int kind) const;
    int gpuLoad(uint8_t gpu, drv::DynamicPstatesInfoEx& info);
    int writeLevelClocks(uint8_t gpu, PerfClockRequest& request, int kind, uint32_t writeFlag);
    // Reads the level of `kind`, puts in the clocks `change` names and writes the level back.
    // `failed`, when given, says whether a failure came from the read or the write.
    int replaceLevelClocks(uint8_t gpu, int kind, const LevelClockChange& change,
                           uint32_t writeFlag, LevelClockStep* failed = nullptr);
    // Frequencies of the level the GPU runs at now, and that level's kind (0-4).
    int currentClocksAndKind(uint8_t gpu, uint32_t& graphicsKHz, uint32_t& processorKHz,
                             uint32_t& memoryKHz, int& kind);
    // The kind (0-4) of the level the GPU runs at now.
    int currentLevelKind(uint8_t gpu, int& kind);
    // The mode the GPU runs in now: its current level's kind when that is 1, 2 or 3;
    // kNoLevelKind when the level cannot be read or is of no such kind.
    int currentMode(uint8_t gpu);
    int currentPstate(uint8_t gpu, uint32_t& pstate);
    int pstates20Info(uint8_t gpu, drv::Pstates20Info& info);
    int setGraphicsOffset(uint8_t gpu, int32_t offsetKHz);
    int setMemoryOffset(uint8_t gpu, int32_t offsetKHz);
    int setCoreVoltageOffset(uint8_t gpu, int32_t offsetUv);
    // The driver-wide frame-rate limit; `reset` clears it.
    int setFrameRateLimit(uint32_t value, bool reset);
    // The frame-rate limit the driver holds now, in frames per second; 0 when none is set (a
    // profile without the setting, or one a reset cleared). The driver's status otherwise.
    int frameRateLimit(uint32_t& value);

    // ---- Voltage ---------------------------------------------------------------------------
    int driverCoreVoltage(uint8_t gpu, uint32_t& microvolts);
    int regulatorVoltage(uint8_t gpu, float& volts);
    int slot0RailValue(uint8_t gpu, float& value);
    int slot0CurrentValue(uint8_t gpu, float& value);
    // Two bytes of a power monitor's register (slots 9-11), high byte first.
    int powerMonitorRegister(uint8_t gpu, I2cSlot slot, uint8_t reg, uint16_t& value);
    int powerMonitorReading(uint8_t gpu, I2cSlot slot, uint16_t& value);
    int writeRegulatorCode(uint8_t gpu, uint8_t reg, uint8_t code);
    int readRegulatorCode(uint8_t gpu, uint8_t reg, uint8_t& code);
    // The code range of the board's regulator; 1 when it has one, 0 when not.
    int voltageCodeRange(uint8_t gpu, uint32_t& low, uint32_t& high, int kind) const;
    int slot6CodeRange(uint8_t gpu, uint32_t& low, uint32_t& high) const;
    int setStepRegulator(uint8_t gpu, I2cSlot slot, int32_t step);
    // Learns, once per kind, which code register the slot-2 regulator uses for that kind.
    int voltageRegisterForKind(uint8_t gpu, int kind);
    // The slot-2 regulator's code for a kind (1 or 2), its code register learnt first; -104 when
    // the board has no slot-2 regulator or the register is not known.
    int kindRegulatorCode(uint8_t gpu, int kind, uint8_t& code);
    int setKindRegulatorCode(uint8_t gpu, int kind, uint8_t code);
    // The range of the core voltage control for a kind: the code range of the slot-2, slot-3 or
    // slot-7 regulator (the slot-3 step range narrowed on the boards that need it). False when
    // the board has none of them, or the slot-2 regulator has no code register for the kind.
    bool coreVoltageRange(uint8_t gpu, int kind, uint32_t& low, uint32_t& high) const;
    static float regulatorCodeToMillivolts(uint32_t code);

    // ---- Driver voltage table (the voltage control of family C boards) --------------------
    // The driver's P-state information with each P-state's voltages: the values the card runs
    // with, or with `defaults` the driver's own defaults.
    int readVoltageTable(uint8_t gpu, drv::PstatesInfo& table, bool defaults = false);
    int writeVoltageTable(uint8_t gpu, const drv::PstatesInfo& table);
    // The current table's entry for a level kind, mV.
    int voltageTableEntry(uint8_t gpu, int kind, int32_t& millivolts);
    // Where a level kind's entry sits (P-states in rising number): P0 is the 3D performance
    // level. A table of four P-states holds the four-level table's extra level second and 3D low
    // power third, which also serves 2D (the level the 2D clocks are read from on those boards);
    // any other table holds 3D low power second and 2D third. -1 when the table has no such
    // P-state or lists no voltages.
    static int tablePstateIndex(const drv::PstatesInfo& table, int kind);
    // A kind's entry: its P-state's first voltage, or the second when the first is 0. -104
    // when the table has no value for the kind.
    static int tableEntry(const drv::PstatesInfo& table, int kind, int32_t& millivolts);
    // Puts `millivolts` into the kind's first voltage; -104 when the table has no entry for it.
    static int setTableEntry(drv::PstatesInfo& table, int kind, int32_t millivolts);
    static int regulatorMillivoltsToCode(float millivolts);

    // ---- Power -----------------------------------------------------------------------------
    int powerPoliciesInfo(uint8_t gpu, drv::PowerPoliciesInfo& info);
    int powerPoliciesStatus(uint8_t gpu, drv::PowerPoliciesStatus& status);
    int setPowerPoliciesStatus(uint8_t gpu, const drv::PowerPoliciesStatus& status);
    int powerTopologyInfo(uint8_t gpu, drv::PowerTopologyInfo& info);
    int powerTopologyStatus(uint8_t gpu, drv::PowerTopologyStatus& status);
    // Sets the power limit to the highest the board allows.
    int raisePowerLimit(uint8_t gpu);

    // ---- Temperature -----------------------------------------------------------------------
    int gpuTemperature(uint8_t gpu, int32_t& celsius);
    int slot0ChipTemperature(uint8_t gpu, uint8_t& celsius);
    int readSlot0TemperatureOffset(uint8_t gpu, int8_t& offset);
    int writeSlot0TemperatureOffset(uint8_t gpu, int8_t offset);

    // ---- Fan -------------------------------------------------------------------------------
    int readCoolerTable(uint8_t gpu, drv::CoolerSettings* buffer = nullptr);
    int fanDutyRange(uint8_t gpu, uint32_t& minimum, uint32_t& maximum) const;
    int fanMode(uint8_t gpu, int& mode);  // 1 automatic, 2 manual
    // The controller's own reading: with `rpm` false its level (rpm on a fan set in rpm, percent
    // elsewhere), with `rpm` true what it measures. Callers that show a reading use the three
    // below, which say what unit they answer in.
    int fanSpeed(uint8_t gpu, int32_t& value, bool rpm);
    // The fan's level in percent of its full speed, whatever unit its controller counts in.
    int fanPercent(uint8_t gpu, int32_t& percent);
    // The fan's measured speed in rpm: the fan chip's tachometer where the chip has one, else
    // the driver's. kNotSupported where the speed cannot be measured.
    int fanRpm(uint8_t gpu, int32_t& rpm);
    // Whether fanRpm can answer for the GPU.
    bool fanReadsRpm(uint8_t gpu);
    int setFanLevel(uint8_t gpu, uint32_t level);
    int setFanAutomatic(uint8_t gpu, const uint8_t* temperaturePoints = nullptr,
                        const uint32_t* rpmPoints = nullptr);
    int setSlot0ManualBit(uint8_t gpu, bool on);

    static constexpr int kFanModeAutomatic = 1;
    static constexpr int kFanModeManual = 2;

    // ---- Wireless display module (on the boards that carry one) ---------------------------
    // Whether the GPU's I2C bus has the module: its identity register answers.
    bool wirelessPresent(uint8_t gpu);
    // Region (1 USA, 2 Japan) and the three numbers of its firmware version.
    int wirelessRegionVersion(uint8_t gpu, int& region, std::array<int, 3>& version);
    int wirelessWorkState(uint8_t gpu, int& state);
    // The frequency the module sends on, MHz.
    int wirelessFrequency(uint8_t gpu, int& megahertz);
    // Manual channel mode on the channel of the frequency list's entry `index` (0-5).
    int wirelessSetChannel(uint8_t gpu, int index);
    // Back to the module's own channel choice.
    int wirelessLeaveManualMode(uint8_t gpu);

private:
    enum class I2cDirection { kRead, kWrite };
    enum class PairOrder { kHighFirst, kLowFirst };

    // The fan operations of one controller kind.
    struct FanPath {
        int (GpuLayer::*mode)(uint8_t gpu, int& mode);
        int (GpuLayer::*speed)(uint8_t gpu, int32_t& value, bool rpm);
        int (GpuLayer::*setLevel)(uint8_t gpu, uint32_t level);
        int (GpuLayer::*setAutomatic)(uint8_t gpu, const uint8_t* temperaturePoints,
                                      const uint32_t* rpmPoints);
    };
    static const FanPath& fanPath(FanControllerKind kind);

    // One register transfer with a chip, under the GPU's I2C lock; the extended driver
    // operation stands in when the plain one fails.
    int transferRegisters(uint8_t gpu, I2cSlot slot, const uint8_t* reg, uint32_t regCount,
                          uint8_t* data, uint32_t dataCount, I2cDirection direction);
    // A 16-bit value a chip keeps in two registers, read one byte at a time in `order`.
    int readRegisterPair(uint8_t gpu, I2cSlot slot, uint8_t highReg, uint8_t lowReg,
                         PairOrder order, uint16_t& value);

    int enumerate();
    int displayOfGpu(uint8_t gpu, drv::DisplayHandle& display);
    int scanClockLimits(uint8_t gpu);
    void identifyBoard(uint8_t gpu);
    void probeI2cChips(uint8_t gpu);
    bool probeRegisterValue(uint8_t gpu, I2cSlot slot, uint8_t address, uint8_t reg,
                            uint8_t expected);
    bool probeStepRegulator(uint8_t gpu, I2cSlot slot);
    bool probeReadable(uint8_t gpu, I2cSlot slot, uint8_t address, uint8_t reg);
    void detectSlot0FanChip(uint8_t gpu);
    void calibrateSlot0Offset(uint8_t gpu);
    void detectSlot1Chip(uint8_t gpu);
    void computeBoostRatios(uint8_t gpu);
    int readFanDutyRangeIntoRecord(uint8_t gpu);
    // The slot-2 code register of a kind, learnt first when not known yet.
    int kindCodeRegister(uint8_t gpu, int kind, uint8_t& reg);
    int readClockTable(uint8_t gpu, int32_t level, drv::PerfClockTable& table);
    int selectLevel(uint8_t gpu, const drv::PerfClockTable& table, uint32_t mask) const;
    // Reads the level that `kind` addresses into table.levels[0], with the kind's mask and the
    // level count of the whole table.
    int readAddressedLevel(uint8_t gpu, int kind, uint32_t& mask, drv::PerfClockTable& table,
                           uint32_t& levelCount);
    const drv::CoolerSettings::Cooler* fanCooler(const drv::CoolerSettings& table) const;
    int sendCoolerLevel(uint8_t gpu, uint32_t level, uint32_t policy);

    // The fan paths, one set per controller kind.
    int noCoolerMode(uint8_t gpu, int& mode);
    int noCoolerSpeed(uint8_t gpu, int32_t& value, bool rpm);
    int noCoolerSetLevel(uint8_t gpu, uint32_t level);
    int noCoolerSetAutomatic(uint8_t gpu, const uint8_t* temperaturePoints,
                             const uint32_t* rpmPoints);
    int coolerMode(uint8_t gpu, int& mode);
    int coolerSpeed(uint8_t gpu, int32_t& value, bool rpm);
    int coolerSetLevel(uint8_t gpu, uint32_t level);
    int coolerSetAutomatic(uint8_t gpu, const uint8_t* temperaturePoints,
                           const uint32_t* rpmPoints);
    int pausedCoolerSpeed(uint8_t gpu, int32_t& value, bool rpm);
    int slot1Mode(uint8_t gpu, int& mode);
    int slot1Speed(uint8_t gpu, int32_t& value, bool rpm);
    int slot1SpeedFrom(uint8_t gpu, int32_t& value, bool rpm, uint8_t dutyRegister);
    int slot1SetLevel(uint8_t gpu, uint32_t level);
    int slot1SetAutomatic(uint8_t gpu, const uint8_t* temperaturePoints, const uint32_t* rpmPoints);
    int slot0Mode(uint8_t gpu, int& mode);
    int slot0Speed(uint8_t gpu, int32_t& value, bool rpm);
    int slot0SetLevel(uint8_t gpu, uint32_t level);
    int slot0SetAutomatic(uint8_t gpu, const uint8_t* temperaturePoints, const uint32_t* rpmPoints);

    void startProbeThread();
    void runProbe(std::stop_token stop);
    void dumpAndParseBios(std::stop_token stop);
    void detectSlot1Fan(uint8_t gpu);
    std::string romDumpProgram() const;

    bool validGpu(uint8_t gpu) const { return gpu < gpuCount_; }

    drv::DriverLoader& driver_;
    GpuLayerServices services_;

    uint32_t fourLevelFlag_ = 0;
    uint8_t gpuCount_ = 0;
    uint32_t ignoredGpus_ = 0;
    bool ignoredGpusReported_ = false;
    std::array<GpuRecord, kMaxGpus> records_{};
    uint32_t wow64_ = 0;
    std::atomic<uint32_t> uiThreadId_{0};
    uint8_t osMajorAbove5_ = 0;

    std::jthread probeThread_;
};

}  // namespace qv::gpu
