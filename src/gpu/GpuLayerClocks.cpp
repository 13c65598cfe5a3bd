// The per-level clock table: limits, level selection, reading a level, boost ratios.
#include <algorithm>

#include "gpu/BoardIds.h"
#include "gpu/DriverIds.h"
#include "gpu/GpuLayer.h"

namespace qv::gpu {

namespace {

constexpr uint32_t kMaskNone = 0;
constexpr uint32_t kMaskBit1 = 2;
constexpr uint32_t kMaskBit2 = 4;
constexpr uint32_t kFourLevels = 4;
constexpr uint32_t kTopLevelIdFourLevels = 3;
constexpr uint32_t kTopLevelIdOtherwise = 2;
constexpr uint32_t kMemoryBaseAsMinimumLevelId = 3;
constexpr double kTopMemoryMaxFactor = 1.5;
constexpr double kTopCoreMaxFactor = 1.2;
constexpr uint32_t kOverallDefaultMin = 0;
constexpr uint32_t kOverallDefaultMax = 10;
constexpr float kUnknownKindRatio = 2.2f;

// Kind of a level from its flags: 1 for 0/1, 3 for bit 1, 2 for bit 2, 0 for none.
int classifyLevel(uint32_t flags) {
    if (flags == 0 || flags == 1) {
        return kLevelKind2D;
    }
    if ((flags & drv::kPerfLevelFlagBit1) != 0) {
        return kLevelKind3DLow;
    }
    if ((flags & drv::kPerfLevelFlagBit2) != 0) {
        return kLevelKind3DPerf;
    }
    return kNoLevelKind;
}

uint32_t levelCountOf(const drv::PerfClockTable& table) {
    return std::min(table.levelCount, drv::kPerfMaxLevels);
}
uint32_t clockCountOf(const drv::PerfClockTable& table) {
    return std::min(table.clocksPerLevel, drv::kPerfMaxClocksPerLevel);
}

}  // namespace

int GpuLayer::readClockTable(uint8_t gpu, int32_t level, drv::PerfClockTable& table) {
    table = {};
    table.version = drv::kPerfClockTableVersion;
    return driver_.call<drv::GpuGetPerfClocksFn>(drv::kGpuGetPerfClocks, records_[gpu].handle,
                                                  level, &table);
}

int GpuLayer::scanClockLimits(uint8_t gpu) {
    drv::PerfClockTable table;
    const int status = readClockTable(gpu, drv::kPerfAllLevels, table);
    if (status != drv::kOk) {
        return status;
    }
    if (table.levelCount == 0) {
        return drv::kError;
    }
    GpuRecord& r = records_[gpu];
    bool anyKind = false;
    for (uint32_t l = 0; l < levelCountOf(table); ++l) {
        const drv::PerfLevel& level = table.levels[l];
        const int kindIndex = levelKindIndex(classifyLevel(level.flags));
        if (kindIndex < 0) {
            continue;
        }
        anyKind = true;
        r.levelKindPresent[kindIndex] = true;
        auto& limits = r.clockLimits[kindIndex];
        for (uint32_t c = 0; c < clockCountOf(table); ++c) {
            const drv::PerfClock& clock = level.clocks[c];
            if (clock.domain == drv::kClockDomainGraphics) {
                limits[kSelectorGraphics] = {clock.minKHz, clock.maxKHz};
            } else if (clock.domain == drv::kClockDomainMemory) {
                if (clock.minKHz != 0 && clock.maxKHz != 0) {
                    limits[kSelectorMemory] = {clock.minKHz, clock.maxKHz};
                }
            } else if (clock.domain == drv::kClockDomainProcessor) {
                limits[kSelectorProcessor] = {clock.minKHz, clock.maxKHz};
                r.processorDomainPresent = true;
            }
        }
    }
    return anyKind ? drv::kOk : drv::kError;
}

// Index of the level that a request with `mask` addresses, or -1.
int GpuLayer::selectLevel(uint8_t gpu, const drv::PerfClockTable& table, uint32_t mask) const {
    const GpuRecord& r = records_[gpu];
    const uint32_t count = levelCountOf(table);
    if (mask == kMaskNone) {
        for (uint32_t l = 0; l < count; ++l) {
            if (table.levels[l].flags == 0 || table.levels[l].flags == 1) {
                return static_cast<int>(l);
            }
        }
        return -1;
    }
    if (r.familyC && table.levelCount == kFourLevels) {
        for (uint32_t l = 0; l < count; ++l) {
            const drv::PerfLevel& level = table.levels[l];
            if ((level.flags & mask) == 0) {
                continue;
            }
            const bool hasNext = l + 1 < count;
            if (level.flags == 2 || level.flags == 3) {
                return static_cast<int>(l);
            }
            if (level.flags == 4 && (level.id == 2 || level.id == 3)) {
                return hasNext ? static_cast<int>(l + 1) : -1;
            }
            if (level.flags == 5 && mask == kMaskBit2) {
                if (level.id == 2) {
                    return 3;
                }
                if (level.id == 3) {
                    return hasNext ? static_cast<int>(l + 1) : -1;
                }
            }
            return 0;
        }
        return -1;
    }
    if (r.familyC && mask == kMaskBit2) {
        return count > 0 ? static_cast<int>(count - 1) : -1;
    }
    for (uint32_t l = 0; l < count; ++l) {
        if ((table.levels[l].flags & mask) != 0) {
            return static_cast<int>(l);
        }
    }
    return -1;
}

int GpuLayer::readAddressedLevel(uint8_t gpu, int kind, uint32_t& mask,
                                 drv::PerfClockTable& table, uint32_t& levelCount) {
    const bool swapped = inSet(kSwappedLowLevels, records_[gpu].deviceId());
    switch (kind) {
        case kLevelKind2D: mask = swapped ? kMaskBit1 : kMaskNone; break;
        case kLevelKind3DPerf: mask = kMaskBit2; break;
        case kLevelKind3DLow: mask = swapped ? kMaskNone : kMaskBit1; break;
        case kLevelKindFour: mask = kMaskNone; break;
        default: return drv::kError;
    }
    const int status = readClockTable(gpu, drv::kPerfAllLevels, table);
    if (status != drv::kOk) {
        return status;
    }
    const int index = selectLevel(gpu, table, mask);
    if (index < 0) {
        return drv::kError;
    }
    const uint32_t levelId = table.levels[index].id;
    levelCount = table.levelCount;
    return readClockTable(gpu, static_cast<int32_t>(levelId), table);
}

int GpuLayer::readLevelClocks(uint8_t gpu, PerfClockRequest& request, int kind) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    uint32_t levelCount = 0;
    drv::PerfClockTable table;
    const int status = readAddressedLevel(gpu, kind, request.levelMask, table, levelCount);
    if (status != drv::kOk) {
        return status;
    }
    const drv::PerfLevel& level = table.levels[0];
    for (uint32_t c = 0; c < clockCountOf(table); ++c) {
        const drv::PerfClock& clock = level.clocks[c];
        if (clock.domain == drv::kClockDomainGraphics) {
            request.graphicsCurrent = clock.currentKHz;
            request.graphicsBase = clock.baseKHz;
            request.graphicsMin = clock.minKHz;
            request.graphicsMax = clock.maxKHz;
        } else if (clock.domain == drv::kClockDomainMemory) {
            request.memoryCurrent = clock.currentKHz;
            request.memoryBase = clock.baseKHz;
            request.memoryMin =
                level.id == kMemoryBaseAsMinimumLevelId ? clock.baseKHz : clock.minKHz;
            request.memoryMax = clock.maxKHz;
        } else if (clock.domain == drv::kClockDomainProcessor) {
            request.processorCurrent = clock.currentKHz;
            request.processorBase = clock.baseKHz;
            request.processorMin = clock.minKHz;
            request.processorMax = clock.maxKHz;
        }
    }
    const uint32_t topId =
        levelCount == kFourLevels ? kTopLevelIdFourLevels : kTopLevelIdOtherwise;
    if (records_[gpu].familyC && level.id == topId) {
        request.memoryMax = static_cast<uint32_t>(request.memoryMax * kTopMemoryMaxFactor);
        request.graphicsMax = static_cast<uint32_t>(request.graphicsMax * kTopCoreMaxFactor);
        request.processorMax = static_cast<uint32_t>(request.processorMax * kTopCoreMaxFactor);
    }
    return drv::kOk;
}

void GpuLayer::computeBoostRatios(uint8_t gpu) {
    GpuRecord& r = records_[gpu];
    for (const int kind : kLevelKindOrder) {
        const int index = levelKindIndex(kind);
        if (!r.levelKindPresent[index]) {
            continue;
        }
        PerfClockRequest request;
        if (readLevelClocks(gpu, request, kind) != drv::kOk) {
            continue;
        }
        if (request.graphicsBase != 0) {
            r.boostRatio[index] = static_cast<float>(request.processorBase) /
                                  static_cast<float>(request.graphicsBase);
        }
    }
}

float GpuLayer::boostRatio(uint8_t gpu, int kind) const {
    const int index = levelKindIndex(kind);
    if (index < 0 || gpu >= kMaxGpus) {
        return kUnknownKindRatio;
    }
    return records_[gpu].boostRatio[index];
}

int GpuLayer::clockLimits(uint8_t gpu, uint32_t& minKHz, uint32_t& maxKHz, int selector,
                          int kind) const {
    const int index = levelKindIndex(kind);
    if (index < 0 || selector < kSelectorGraphics || selector > kSelectorProcessor ||
        gpu >= kMaxGpus) {
        return 0;
    }
    const ClockRange& range = records_[gpu].clockLimits[index][selector];
    minKHz = range.minKHz;
    maxKHz = range.maxKHz;
    return 1;
}

int GpuLayer::overallLimits(uint8_t gpu, uint32_t& minKHz, uint32_t& maxKHz, int selector) const {
    if (gpu >= kMaxGpus) {
        return 1;
    }
    for (const int kind : kLevelKindOrder) {
        if (!records_[gpu].levelKindPresent[levelKindIndex(kind)]) {
            continue;
        }
        uint32_t kindMin = kOverallDefaultMin;
        uint32_t kindMax = kOverallDefaultMax;
        if (clockLimits(gpu, kindMin, kindMax, selector, kind) == 0) {
            kindMin = kOverallDefaultMin;
            kindMax = kOverallDefaultMax;
        }
        if (minKHz == 0 || kindMin < minKHz) {
            minKHz = kindMin;
        }
        maxKHz = std::max(maxKHz, kindMax);
    }
    return 1;
}

int GpuLayer::currentClockFrequencies(uint8_t gpu, drv::ClockFrequencies& clocks) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return driver_.call<drv::GpuGetAllClockFrequenciesFn>(drv::kGpuGetAllClockFrequencies,
                                                           records_[gpu].handle, &clocks);
}

int GpuLayer::gpuLoad(uint8_t gpu, drv::DynamicPstatesInfoEx& info) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return driver_.call<drv::GpuGetDynamicPstatesInfoExFn>(drv::kGpuGetDynamicPstatesInfoEx,
                                                            records_[gpu].handle, &info);
}

}  // namespace qv::gpu
