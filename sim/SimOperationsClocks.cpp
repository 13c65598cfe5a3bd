// The driver operations on clocks, clock levels and performance states.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

#include "SimOperations.h"

namespace qv::sim {

namespace {

using namespace qv::drv;

constexpr uint32_t kPstateFlagDynamic = 1;
constexpr uint32_t kFrameBufferLoadPercent = 60;  // frame-buffer use as a share of GPU load

// ---- clocks and performance states ---------------------------------------------------------

int opGpuGetAllClockFrequencies(PhysicalGpuHandle gpu, ClockFrequencies* clocks) {
    return onRecord(
        kGpuGetAllClockFrequencies, gpu, clocks, kClockFrequenciesVersion,
        [&](SimDriver& d, size_t g) {
            const uint32_t type = clocks->clockType & 3;
            if (type != kClockTypeCurrent && type != kClockTypeBase && type != kClockTypeBoost) {
                return kInvalidArgument;
            }
            const GpuConfig& c = d.config().gpus[g];
            if (c.levels.empty()) {
                return kNotSupported;
            }
            for (auto& domain : clocks->domain) {
                domain = ClockFrequencies::Domain{};
            }
            Board board = d.board(g);
            const size_t level =
                type == kClockTypeCurrent ? board.currentLevel() : topLevelIndex(c);
            const auto& levelClocks = c.levels[level].clocks;
            for (size_t i = 0; i < levelClocks.size(); ++i) {
                const uint32_t domain = levelClocks[i].domain;
                if (domain >= kMaxClockDomains) {
                    continue;
                }
                uint32_t khz = levelClocks[i].baseKHz;
                if (type == kClockTypeCurrent) {
                    khz = board.clockKHz(level, i);
                } else if (type == kClockTypeBoost && domain == kDomainGraphics &&
                           c.boostGraphicsKHz != 0) {
                    khz = c.boostGraphicsKHz;
                }
                clocks->domain[domain].present = 1;
                clocks->domain[domain].frequencyKHz = khz;
            }
            return kOk;
        });
}

int opGpuGetCurrentPstate(PhysicalGpuHandle gpu, uint32_t* pstate) {
    return onTarget(kGpuGetCurrentPstate, gpu, {pstate}, [&](SimDriver& d, size_t g) {
        const GpuConfig& c = d.config().gpus[g];
        if (c.levels.empty()) {
            return kNotSupported;
        }
        *pstate = c.levels[d.board(g).currentLevel()].pstate;
        return kOk;
    });
}

// The board's levels in rising P-state number, P0 first: the order of every P-state listing.
std::vector<size_t> levelsByPstate(const GpuConfig& c) {
    std::vector<size_t> order(c.levels.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return c.levels[a].pstate < c.levels[b].pstate; });
    if (order.size() > kPstatesInfoMaxPstates) {
        order.resize(kPstatesInfoMaxPstates);
    }
    return order;
}

// Each level's clocks and, on a board with the voltage table, its core voltage: the values the
// card runs with now, or the ones it started with when `defaults` is set.
int fillPstatesInfo(uint32_t id, PhysicalGpuHandle gpu, PstatesInfo* info, bool defaults) {
    return onRecord(id, gpu, info, kPstatesInfoVersion, [&](SimDriver& d, size_t g) {
        const GpuConfig& c = d.config().gpus[g];
        if (c.levels.empty()) {
            return kNotSupported;
        }
        const uint32_t version = info->version;
        std::memset(info, 0, sizeof(*info));
        info->version = version;
        info->flags = kPstateFlagDynamic;
        const std::vector<size_t> order = levelsByPstate(c);
        const auto clocks = std::min<size_t>(c.levels.front().clocks.size(), kPstatesInfoMaxClocks);
        info->numPstates = static_cast<uint32_t>(order.size());
        info->numClocks = static_cast<uint32_t>(clocks);
        info->numVoltages = c.voltageTable ? 1 : 0;
        Board board = d.board(g);
        for (size_t p = 0; p < order.size(); ++p) {
            const size_t li = order[p];
            const LevelConfig& level = c.levels[li];
            PstatesInfo::Pstate& out = info->pstates[p];
            out.pstateId = level.pstate;
            for (size_t k = 0; k < clocks; ++k) {
                out.clocks[k].domainId = level.clocks[k].domain;
                out.clocks[k].freqKHz =
                    defaults ? level.clocks[k].baseKHz : board.clockKHz(li, k);
            }
            if (c.voltageTable) {
                out.voltages[0].domainId = kVoltageDomainCore;
                out.voltages[0].millivolts =
                    (defaults ? level.voltageUv : board.levelVoltageUv(li)) / 1000;
            }
        }
        return kOk;
    });
}

int opGpuGetPstatesInfo(PhysicalGpuHandle gpu, PstatesInfo* info) {
    return fillPstatesInfo(kGpuGetPstatesInfo, gpu, info, false);
}

int opGpuGetPstatesInfoEx(PhysicalGpuHandle gpu, PstatesInfo* info, uint32_t flags) {
    return fillPstatesInfo(kGpuGetPstatesInfoEx, gpu, info, (flags & kPstatesInfoDefaults) != 0);
}

// Takes the core voltages of the P-states the request lists; clocks in it are not looked at.
// Everything is checked first, so a refused request changes nothing.
int opGpuSetPstatesInfo(PhysicalGpuHandle gpu, const PstatesInfo* info) {
    return onRecord(kGpuSetPstatesInfo, gpu, info, kPstatesInfoVersion, [&](SimDriver& d, size_t g) {
        const GpuConfig& c = d.config().gpus[g];
        if (c.levels.empty() || !c.voltageTable) {
            return kNotSupported;
        }
        if (info->numPstates > kPstatesInfoMaxPstates ||
            info->numVoltages > kPstatesInfoMaxVoltages) {
            return kInvalidArgument;
        }
        std::vector<uint32_t> next = d.state().gpus[g].levelMv;
        for (uint32_t p = 0; p < info->numPstates; ++p) {
            const PstatesInfo::Pstate& in = info->pstates[p];
            const auto level =
                std::find_if(c.levels.begin(), c.levels.end(),
                             [&](const LevelConfig& l) { return l.pstate == in.pstateId; });
            if (level == c.levels.end()) {
                return kInvalidArgument;
            }
            for (uint32_t v = 0; v < info->numVoltages; ++v) {
                const auto& voltage = in.voltages[v];
                if (voltage.domainId != kVoltageDomainCore || voltage.millivolts < kMinLevelMv ||
                    voltage.millivolts > kMaxLevelMv) {
                    return kInvalidArgument;
                }
                next[static_cast<size_t>(level - c.levels.begin())] = voltage.millivolts;
            }
        }
        d.state().gpus[g].levelMv = next;
        d.markDirty();
        return kOk;
    });
}

uint32_t levelDomainBase(const LevelConfig& level, uint32_t domain, bool& present) {
    for (const auto& clock : level.clocks) {
        if (clock.domain == domain) {
            present = true;
            return clock.baseKHz;
        }
    }
    present = false;
    return 0;
}

int opGpuGetPstates20(PhysicalGpuHandle gpu, Pstates20Info* info) {
    return onRecord(
        kGpuGetPstates20, gpu, info, kPstates20InfoVersion, [&](SimDriver& d, size_t g) {
            const GpuConfig& c = d.config().gpus[g];
            if (!c.pstates20 || c.levels.empty()) {
                return kNotSupported;
            }
            const GpuState& s = d.state().gpus[g];
            const uint32_t version = info->version;
            std::memset(info, 0, sizeof(*info));
            info->version = version;
            info->editable = 1;
            info->numClocks = 2;
            info->numBaseVoltages = 1;
            const std::vector<size_t> order = levelsByPstate(c);
            Board board = d.board(g);
            const size_t top = topLevelIndex(c);
            info->numPstates =
                static_cast<uint32_t>(std::min<size_t>(order.size(), kPstates20MaxPstates));
            for (uint32_t p = 0; p < info->numPstates; ++p) {
                const size_t li = order[p];
                const LevelConfig& level = c.levels[li];
                const bool editable = li == top;
                Pstates20Pstate& out = info->pstates[p];
                out.pstateId = level.pstate;
                out.editable = editable ? 1 : 0;
                bool present = false;
                Pstates20Clock& graphics = out.clocks[0];
                graphics.domainId = kDomainGraphics;
                graphics.typeId = kPstateClockTypeRange;
                graphics.editable = editable ? 1 : 0;
                const uint32_t base = levelDomainBase(level, kDomainGraphics, present);
                graphics.data.range.minFreqKHz = base;
                graphics.data.range.maxFreqKHz =
                    editable && c.boostGraphicsKHz != 0 ? c.boostGraphicsKHz : base;
                graphics.data.range.domainId = kVoltageDomainCore;
                graphics.data.range.minVoltageUv = board.levelVoltageUv(0);
                graphics.data.range.maxVoltageUv = board.levelVoltageUv(li);
                Pstates20Clock& memory = out.clocks[1];
                memory.domainId = kDomainMemory;
                memory.typeId = kPstateClockTypeSingle;
                memory.editable = editable ? 1 : 0;
                memory.data.single.freqKHz = levelDomainBase(level, kDomainMemory, present);
                Pstates20BaseVoltage& voltage = out.baseVoltages[0];
                voltage.domainId = kVoltageDomainCore;
                voltage.editable = editable ? 1 : 0;
                voltage.voltUv = board.levelVoltageUv(li);
                if (editable) {
                    graphics.freqDeltaKHz = {s.graphicsOffsetKHz, c.graphicsOffsetKHz.min,
                                             c.graphicsOffsetKHz.max};
                    memory.freqDeltaKHz = {s.memoryOffsetKHz, c.memoryOffsetKHz.min,
                                           c.memoryOffsetKHz.max};
                    voltage.voltDeltaUv = {s.voltageOffsetUv, c.voltageOffsetUv.min,
                                           c.voltageOffsetUv.max};
                }
            }
            return kOk;
        });
}

bool within(int32_t v, const Range& r) {
    return v >= r.min && v <= r.max;
}

int opGpuSetPstates20(PhysicalGpuHandle gpu, const Pstates20Info* info) {
    return onRecord(
        kGpuSetPstates20, gpu, info, kPstates20InfoVersion, [&](SimDriver& d, size_t g) {
            const GpuConfig& c = d.config().gpus[g];
            if (!c.pstates20 || c.levels.empty()) {
                return kNotSupported;
            }
            if (info->numPstates > kPstates20MaxPstates || info->numClocks > kPstates20MaxClocks ||
                info->numBaseVoltages > kPstates20MaxBaseVoltages) {
                return kInvalidArgument;
            }
            GpuState& s = d.state().gpus[g];
            const uint32_t p0 = c.levels[topLevelIndex(c)].pstate;
            int32_t graphics = s.graphicsOffsetKHz;
            int32_t memory = s.memoryOffsetKHz;
            int32_t voltage = s.voltageOffsetUv;
            // Everything is checked before anything changes: a refused request changes nothing.
            for (uint32_t p = 0; p < info->numPstates; ++p) {
                const Pstates20Pstate& in = info->pstates[p];
                const bool known =
                    std::any_of(c.levels.begin(), c.levels.end(),
                                [&](const LevelConfig& l) { return l.pstate == in.pstateId; });
                if (!known) {
                    return kInvalidArgument;
                }
                const bool isP0 = in.pstateId == p0;
                for (uint32_t k = 0; k < info->numClocks; ++k) {
                    const Pstates20Clock& clock = in.clocks[k];
                    const int32_t delta = clock.freqDeltaKHz.value;
                    if (clock.domainId == kDomainGraphics) {
                        if (!isP0 ? delta != 0 : !within(delta, c.graphicsOffsetKHz)) {
                            return kInvalidArgument;
                        }
                        if (isP0) {
                            graphics = delta;
                        }
                    } else if (clock.domainId == kDomainMemory) {
                        if (!isP0 ? delta != 0 : !within(delta, c.memoryOffsetKHz)) {
                            return kInvalidArgument;
                        }
                        if (isP0) {
                            memory = delta;
                        }
                    } else {
                        return kInvalidArgument;
                    }
                }
                for (uint32_t v = 0; v < info->numBaseVoltages; ++v) {
                    const Pstates20BaseVoltage& base = in.baseVoltages[v];
                    const int32_t delta = base.voltDeltaUv.value;
                    if (base.domainId != kVoltageDomainCore ||
                        (!isP0 ? delta != 0 : !within(delta, c.voltageOffsetUv))) {
                        return kInvalidArgument;
                    }
                    if (isP0) {
                        voltage = delta;
                    }
                }
            }
            s.graphicsOffsetKHz = graphics;
            s.memoryOffsetKHz = memory;
            s.voltageOffsetUv = voltage;
            d.markDirty();
            return kOk;
        });
}

void fillLevel(Board& board, const LevelConfig& config, size_t levelIndex, uint32_t clocksPerLevel,
               PerfLevel& out) {
    out.id = config.id;
    out.flags = config.flags;
    for (size_t k = 0; k < config.clocks.size() && k < clocksPerLevel; ++k) {
        const ClockConfig& clock = config.clocks[k];
        PerfClock& pc = out.clocks[k];
        pc.domain = clock.domain;
        pc.reserved = 0;
        pc.currentKHz = board.clockKHz(levelIndex, k);
        pc.baseKHz = clock.baseKHz;
        pc.minKHz = clock.minKHz;
        pc.maxKHz = clock.maxKHz;
        pc.flags = 0;
    }
}

int opGpuGetPerfClocks(PhysicalGpuHandle gpu, int32_t level, PerfClockTable* table) {
    return onRecord(kGpuGetPerfClocks, gpu, table, kPerfClockTableVersion, level >= kPerfAllLevels,
                    [&](SimDriver& d, size_t g) {
                        const GpuConfig& c = d.config().gpus[g];
                        if (c.clockTable == ClockTableMode::Missing) {
                            return kNotSupported;
                        }
                        const uint32_t version = table->version;
                        std::memset(table, 0, sizeof(*table));
                        table->version = version;
                        if (c.clockTable == ClockTableMode::Empty) {
                            return kOk;
                        }
                        Board board = d.board(g);
                        const auto clocksPerLevel =
                            static_cast<uint32_t>(c.levels.front().clocks.size());
                        table->clocksPerLevel = clocksPerLevel;
                        table->currentLevel = static_cast<uint32_t>(board.currentLevel());
                        table->extraCount = static_cast<uint32_t>(c.levels.size());
                        if (level == kPerfAllLevels) {
                            table->levelCount = static_cast<uint32_t>(c.levels.size());
                            for (size_t i = 0; i < c.levels.size(); ++i) {
                                fillLevel(board, c.levels[i], i, clocksPerLevel, table->levels[i]);
                            }
                            return kOk;
                        }
                        for (size_t i = 0; i < c.levels.size(); ++i) {
                            if (c.levels[i].id == static_cast<uint32_t>(level)) {
                                table->levelCount = 1;
                                fillLevel(board, c.levels[i], i, clocksPerLevel, table->levels[0]);
                                return kOk;
                            }
                        }
                        return kInvalidArgument;
                    });
}

int opGpuSetPerfClocks(PhysicalGpuHandle gpu, uint32_t levelId, const PerfClockTable* table) {
    return onRecord(
        kGpuSetPerfClocks, gpu, table, kPerfClockTableVersion, [&](SimDriver& d, size_t g) {
            const GpuConfig& c = d.config().gpus[g];
            if (c.clockTable != ClockTableMode::Present) {
                return kNotSupported;
            }
            const auto found = std::find_if(c.levels.begin(), c.levels.end(),
                                            [&](const LevelConfig& l) { return l.id == levelId; });
            if (found == c.levels.end() || table->levels[0].id != levelId ||
                table->clocksPerLevel > kPerfMaxClocksPerLevel) {
                return kInvalidArgument;
            }
            const auto li = static_cast<size_t>(found - c.levels.begin());
            if (found->locked) {
                return kSetNotAllowed;
            }
            std::vector<uint32_t> next = d.state().gpus[g].clockKHz[li];
            for (uint32_t k = 0; k < table->clocksPerLevel; ++k) {
                const PerfClock& in = table->levels[0].clocks[k];
                if ((in.flags & kPerfClockFlagWrite) == 0) {
                    continue;
                }
                const auto clock =
                    std::find_if(found->clocks.begin(), found->clocks.end(),
                                 [&](const ClockConfig& cc) { return cc.domain == in.domain; });
                if (clock == found->clocks.end()) {
                    return kInvalidArgument;
                }
                uint32_t khz = in.currentKHz;
                if (clock->maxKHz != 0) {
                    // The driver keeps a level inside its range; a request outside is clamped.
                    khz = std::clamp(khz, clock->minKHz, clock->maxKHz);
                }
                // A read reports the stored clock plus the P0 offset; store what makes the
                // next read report exactly the frequency written.
                const auto target = static_cast<size_t>(clock - found->clocks.begin());
                next[target] = static_cast<uint32_t>(
                    std::max<int64_t>(int64_t{khz} - d.board(g).pstateOffsetKHz(li, target), 0));
            }
            d.state().gpus[g].clockKHz[li] = next;
            d.markDirty();
            return kOk;
        });
}

int opGpuGetDynamicPstatesInfoEx(PhysicalGpuHandle gpu, DynamicPstatesInfoEx* info) {
    return onRecord(
        kGpuGetDynamicPstatesInfoEx, gpu, info, kDynamicPstatesInfoExVersion,
        [&](SimDriver& d, size_t g) {
            const uint32_t load = d.state().gpus[g].load;
            info->flags = kPstateFlagDynamic;
            for (auto& u : info->utilisation) {
                u.present = 0;
                u.percentage = 0;
            }
            info->utilisation[kUtilisationGraphics] = {1, load};
            info->utilisation[kUtilisationFrameBuffer] = {1, load * kFrameBufferLoadPercent / 100};
            info->utilisation[kUtilisationVideo] = {1, 0};
            return kOk;
        });
}

// ---- the table -------------------------------------------------------------------------------

const OperationEntry kEntries[] = {
    {kGpuGetAllClockFrequencies,
     operationEntry<GpuGetAllClockFrequenciesFn>(opGpuGetAllClockFrequencies)},
    {kGpuGetCurrentPstate, operationEntry<GpuGetCurrentPstateFn>(opGpuGetCurrentPstate)},
    {kGpuGetPstatesInfo, operationEntry<GpuGetPstatesInfoFn>(opGpuGetPstatesInfo)},
    {kGpuGetPstatesInfoEx, operationEntry<GpuGetPstatesInfoExFn>(opGpuGetPstatesInfoEx)},
    {kGpuSetPstatesInfo, operationEntry<GpuSetPstatesInfoFn>(opGpuSetPstatesInfo)},
    {kGpuGetPstates20, operationEntry<GpuGetPstates20Fn>(opGpuGetPstates20)},
    {kGpuSetPstates20, operationEntry<GpuSetPstates20Fn>(opGpuSetPstates20)},
    {kGpuGetPerfClocks, operationEntry<GpuGetPerfClocksFn>(opGpuGetPerfClocks)},
    {kGpuSetPerfClocks, operationEntry<GpuSetPerfClocksFn>(opGpuSetPerfClocks)},
    {kGpuGetDynamicPstatesInfoEx,
     operationEntry<GpuGetDynamicPstatesInfoExFn>(opGpuGetDynamicPstatesInfoEx)},
};

}  // namespace

std::span<const OperationEntry> clockOperations() {
    return kEntries;
}

}  // namespace qv::sim
