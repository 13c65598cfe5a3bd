// Setting clocks: the per-level table on older boards, P-states 2.0 offsets on Kepler-class
// boards, and the driver-wide frame-rate limit.
#include <algorithm>
#include <cstdio>

#include "gpu/DriverIds.h"
#include "gpu/GpuLayer.h"
#include "platform/DebugOutput.h"

namespace qv::gpu {

namespace {

constexpr uint32_t kMemoryZeroReplacementKHz = 1000;
constexpr uint32_t kFourLevels = 4;
constexpr uint32_t kFourLevelPerfId = 3;
constexpr uint32_t kFourLevelFourthId = 2;
constexpr uint32_t kFourLevelFourthMask = 5;
constexpr uint32_t kFrameRateLimitBase = 0xF0000000u;

enum class Pstates20Target { kGraphics, kMemory, kCoreVoltage };

int kindOfCurrentLevel(const drv::PerfLevel& level, bool fourLevels) {
    const uint32_t flags = level.flags;
    if (flags == 0 || flags == 1) {
        return kLevelKind2D;
    }
    if ((flags & drv::kPerfLevelFlagBit1) != 0) {
        return kLevelKind3DLow;
    }
    if (!fourLevels) {
        return (flags & drv::kPerfLevelFlagBit2) != 0 ? kLevelKind3DPerf : kNoLevelKind;
    }
    if ((flags & drv::kPerfLevelFlagBit2) != 0 && level.id == kFourLevelPerfId) {
        return kLevelKind3DPerf;
    }
    if ((flags & kFourLevelFourthMask) != 0 && level.id == kFourLevelFourthId) {
        return kLevelKindFour;
    }
    return kNoLevelKind;
}

}  // namespace

int GpuLayer::writeLevelClocks(uint8_t gpu, PerfClockRequest& request, int kind,
                               uint32_t writeFlag) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    // The same level the read addresses.
    uint32_t levelCount = 0;
    drv::PerfClockTable table;
    int status = readAddressedLevel(gpu, kind, request.levelMask, table, levelCount);
    if (status != drv::kOk) {
        return status;
    }
    request.mode = 1;
    request.writeFlag = writeFlag;

    drv::PerfLevel& level = table.levels[0];
    const uint32_t clocks = std::min(table.clocksPerLevel, drv::kPerfMaxClocksPerLevel);
    for (uint32_t c = 0; c < clocks; ++c) {
        drv::PerfClock& clock = level.clocks[c];
        uint32_t value = 0;
        if (clock.domain == drv::kClockDomainGraphics) {
            value = request.graphicsCurrent;
        } else if (clock.domain == drv::kClockDomainMemory) {
            value = request.memoryCurrent;
            if (value == 0 && records_[gpu].memoryWriteAs1000) {
                value = kMemoryZeroReplacementKHz;
            }
        } else if (clock.domain == drv::kClockDomainProcessor) {
            value = request.processorCurrent;
        } else {
            continue;
        }
        clock.currentKHz = value;
        clock.flags |= drv::kPerfClockFlagWrite;
    }
    level.flags = writeFlag != 0 ? drv::kPerfLevelFlagWriting : 0;
    table.levelCount = 1;
    status = driver_.call<drv::GpuSetPerfClocksFn>(drv::kGpuSetPerfClocks, records_[gpu].handle,
                                                    level.id,
                                                    static_cast<const drv::PerfClockTable*>(&table));
    return status == drv::kSetNotAllowed ? drv::kOk : status;
}

int GpuLayer::replaceLevelClocks(uint8_t gpu, int kind, const LevelClockChange& change,
                                 uint32_t writeFlag, LevelClockStep* failed) {
    LevelClockStep step = LevelClockStep::kRead;
    PerfClockRequest request;
    int status = readLevelClocks(gpu, request, kind);
    if (status == drv::kOk) {
        step = LevelClockStep::kWrite;
        request.graphicsCurrent = change.graphicsKHz.value_or(request.graphicsCurrent);
        request.processorCurrent = change.processorKHz.value_or(request.processorCurrent);
        request.memoryCurrent = change.memoryKHz.value_or(request.memoryCurrent);
        status = writeLevelClocks(gpu, request, kind, writeFlag);
    }
    if (failed != nullptr) {
        *failed = status == drv::kOk ? LevelClockStep::kNone : step;
    }
    return status;
}

int GpuLayer::currentClocksAndKind(uint8_t gpu, uint32_t& graphicsKHz, uint32_t& processorKHz,
                                   uint32_t& memoryKHz, int& kind) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    drv::PerfClockTable table;
    const int status = readClockTable(gpu, drv::kPerfAllLevels, table);
    if (status != drv::kOk) {
        return status;
    }
    if (table.clocksPerLevel == 0 || table.levelCount == 0) {
        return drv::kExpectedPhysicalGpuHandle;
    }
    if (table.currentLevel >= std::min(table.levelCount, drv::kPerfMaxLevels)) {
        return drv::kError;
    }
    GpuRecord& r = records_[gpu];
    const bool fourLevels = table.levelCount == kFourLevels;
    r.fourLevelTable = fourLevels;
    if (fourLevels) {
        fourLevelFlag_ = 1;
    }
    const drv::PerfLevel& level = table.levels[table.currentLevel];
    kind = kindOfCurrentLevel(level, fourLevels);
    if (r.hasChip(kSlotRegulator2) && kind != kNoLevelKind) {
        voltageRegisterForKind(gpu, kind);
    }
    graphicsKHz = processorKHz = memoryKHz = 0;
    const uint32_t clocks = std::min(table.clocksPerLevel, drv::kPerfMaxClocksPerLevel);
    for (uint32_t c = 0; c < clocks; ++c) {
        const drv::PerfClock& clock = level.clocks[c];
        if (clock.domain == drv::kClockDomainGraphics) {
            graphicsKHz = clock.currentKHz;
        } else if (clock.domain == drv::kClockDomainMemory) {
            memoryKHz = clock.currentKHz;
        } else if (clock.domain == drv::kClockDomainProcessor) {
            processorKHz = clock.currentKHz;
        }
    }
    platform::debugOutput("current level %u, extra count %u\n", table.currentLevel,
                          table.extraCount);
    return drv::kOk;
}

int GpuLayer::currentLevelKind(uint8_t gpu, int& kind) {
    uint32_t graphicsKHz = 0, processorKHz = 0, memoryKHz = 0;
    return currentClocksAndKind(gpu, graphicsKHz, processorKHz, memoryKHz, kind);
}

int GpuLayer::currentMode(uint8_t gpu) {
    int kind = kNoLevelKind;
    if (currentLevelKind(gpu, kind) != drv::kOk || levelKindIndex(kind) < 0) {
        return kNoLevelKind;
    }
    return kind;
}

int GpuLayer::currentPstate(uint8_t gpu, uint32_t& pstate) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return driver_.call<drv::GpuGetCurrentPstateFn>(drv::kGpuGetCurrentPstate,
                                                     records_[gpu].handle, &pstate);
}

int GpuLayer::pstates20Info(uint8_t gpu, drv::Pstates20Info& info) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    info = {};
    info.version = drv::kPstates20InfoVersion;
    return driver_.call<drv::GpuGetPstates20Fn>(drv::kGpuGetPstates20, records_[gpu].handle,
                                                 &info);
}

namespace {

int sendPstates20(drv::DriverLoader& driver, drv::PhysicalGpuHandle handle,
                  Pstates20Target target, int32_t offset) {
    drv::Pstates20Info request{};
    request.version = drv::kPstates20InfoVersion;
    request.numPstates = 1;
    drv::Pstates20Pstate& p0 = request.pstates[0];
    p0.pstateId = drv::kPstate0;
    if (target == Pstates20Target::kCoreVoltage) {
        request.numBaseVoltages = 1;
        p0.baseVoltages[0].domainId = drv::kVoltageDomainCore;
        p0.baseVoltages[0].voltDeltaUv.value = offset;
    } else {
        request.numClocks = 1;
        p0.clocks[0].domainId = target == Pstates20Target::kGraphics ? drv::kClockDomainGraphics
                                                                     : drv::kClockDomainMemory;
        p0.clocks[0].freqDeltaKHz.value = offset;
    }
    const int status = driver.call<drv::GpuSetPstates20Fn>(
        drv::kGpuSetPstates20, handle, static_cast<const drv::Pstates20Info*>(&request));
    if (status == drv::kOk) {
        switch (target) {
            case Pstates20Target::kGraphics: platform::debugOutput("GRAPHIC CLK change call succeeded\n"); break;
            case Pstates20Target::kMemory: platform::debugOutput("MEMORY CLK change call succeeded\n"); break;
            case Pstates20Target::kCoreVoltage:
                platform::debugOutput("CORE voltage change call succeeded\n");
                break;
        }
    } else {
        platform::debugOutput("API call failed with error %d\n", status);
    }
    return status;
}

}  // namespace

int GpuLayer::setGraphicsOffset(uint8_t gpu, int32_t offsetKHz) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return sendPstates20(driver_, records_[gpu].handle, Pstates20Target::kGraphics, offsetKHz);
}

int GpuLayer::setMemoryOffset(uint8_t gpu, int32_t offsetKHz) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return sendPstates20(driver_, records_[gpu].handle, Pstates20Target::kMemory, offsetKHz);
}

int GpuLayer::setCoreVoltageOffset(uint8_t gpu, int32_t offsetUv) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return sendPstates20(driver_, records_[gpu].handle, Pstates20Target::kCoreVoltage, offsetUv);
}

namespace {

// Runs `use` on the base profile of a fresh driver settings session with the settings loaded;
// the session is closed whatever happened, so that none is left open in the driver. The first
// failing step's status.
template <typename Use>
int withBaseProfile(drv::DriverLoader& driver, Use use) {
    drv::DrsSessionHandle session = nullptr;
    int status = driver.call<drv::DrsCreateSessionFn>(drv::kDrsCreateSession, &session);
    if (status != drv::kOk) {
        return status;
    }
    status = driver.call<drv::DrsLoadSettingsFn>(drv::kDrsLoadSettings, session);
    drv::DrsProfileHandle profile = nullptr;
    if (status == drv::kOk) {
        status = driver.call<drv::DrsGetBaseProfileFn>(drv::kDrsGetBaseProfile, session, &profile);
    }
    if (status == drv::kOk) {
        status = use(session, profile);
    }
    const int destroyed = driver.call<drv::DrsDestroySessionFn>(drv::kDrsDestroySession, session);
    return status != drv::kOk ? status : destroyed;
}

}  // namespace

int GpuLayer::setFrameRateLimit(uint32_t value, bool reset) {
    return withBaseProfile(driver_, [&](drv::DrsSessionHandle session,
                                        drv::DrsProfileHandle profile) {
        drv::DrsSetting setting{};
        setting.version = drv::kDrsSettingVersion;
        setting.settingId = drv::kDrsSettingFrameRateLimit;
        setting.settingType = drv::kDrsSettingTypeDword;
        // Unsigned arithmetic wraps modulo 2^32, as the driver expects.
        setting.value = reset ? 0u : value + kFrameRateLimitBase;
        const int status =
            driver_.call<drv::DrsSetSettingFn>(drv::kDrsSetSetting, session, profile, &setting);
        return status != drv::kOk
                   ? status
                   : driver_.call<drv::DrsSaveSettingsFn>(drv::kDrsSaveSettings, session);
    });
}

int GpuLayer::frameRateLimit(uint32_t& value) {
    value = 0;
    return withBaseProfile(driver_, [&](drv::DrsSessionHandle session,
                                        drv::DrsProfileHandle profile) {
        drv::DrsSetting setting{};
        setting.version = drv::kDrsSettingVersion;
        const int status = driver_.call<drv::DrsGetSettingFn>(
            drv::kDrsGetSetting, session, profile, drv::kDrsSettingFrameRateLimit, &setting);
        if (status == drv::kSettingNotFound) {
            return drv::kOk;
        }
        // A stored value below the marker is no limit this program (or the driver) would set.
        if (status == drv::kOk && setting.value >= kFrameRateLimitBase) {
            value = setting.value - kFrameRateLimitBase;
        }
        return status;
    });
}

}  // namespace qv::gpu
