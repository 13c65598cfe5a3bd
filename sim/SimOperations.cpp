// The driver operations of the simulated driver and nvapi_QueryInterface, which hands them out
// by interface ID. Each operation checks its arguments and structure version, then answers from
// the card state through SimDriver.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "SimDriver.h"
#include "gpu/DriverIds.h"

namespace qv::sim {

namespace {

using namespace qv::drv;

constexpr uint32_t kCoolerControllerInternal = 2;
constexpr uint32_t kCoolerControlVariable = 2;
constexpr uint32_t kCoolerTargetGpu = 1;
constexpr uint32_t kCoolerTargetMask = 7;
constexpr uint32_t kPowerPolicyValid = 1;
constexpr uint32_t kPowerPolicyCountShift = 8;
constexpr uint32_t kPstateFlagDynamic = 1;
constexpr uint32_t kMemoryInUseBaseKiB = 65536;
constexpr uint32_t kSharedSystemMemoryKiB = 3145728;
constexpr uint32_t kFrameBufferLoadPercent = 60;  // frame-buffer use as a share of GPU load
constexpr int kMemorySensorOffsetC = -4;
constexpr int kBoardSensorOffsetC = -10;
constexpr uint32_t kSensorMaxC = 127;
constexpr uint32_t kMinCustomSize = 200;
constexpr uint32_t kMaxCustomSize = 16384;
constexpr float kMaxCustomRatio = 8.0f;

SimDriver& driver() { return SimDriver::instance(); }

template <typename F>
int withGpu(SimDriver& d, PhysicalGpuHandle handle, F&& f) {
    size_t g = 0;
    if (const int status = d.gpuIndex(handle, g); status != kOk) {
        return status;
    }
    return f(g);
}

template <typename F>
int withDisplay(SimDriver& d, DisplayHandle handle, F&& f) {
    size_t i = 0;
    if (const int status = d.displayIndex(handle, i); status != kOk) {
        return status;
    }
    return f(i);
}

void copyName(char* out, const std::string& name) {
    std::snprintf(out, kShortStringSize, "%s", name.c_str());
}

// ---- session and hooks ---------------------------------------------------------------------

int opInitialize() { return driver().initialize(); }
int opUnload() { return driver().unload(); }
void opEntryHook(uint32_t id) { driver().hookEntry(id); }
void opExitHook(uint32_t id, int result) { driver().hookExit(id, result); }

// ---- enumeration and board information -----------------------------------------------------

int opEnumPhysicalGpus(PhysicalGpuHandle handles[kMaxPhysicalGpus], uint32_t* count) {
    SimDriver& d = driver();
    return d.run(kEnumPhysicalGpus, [&] {
        if (handles == nullptr || count == nullptr) {
            return kInvalidArgument;
        }
        const size_t n = std::min<size_t>(d.config().gpus.size(), kMaxPhysicalGpus);
        *count = static_cast<uint32_t>(n);
        if (n == 0) {
            return kNvidiaDeviceNotFound;
        }
        for (size_t i = 0; i < n; ++i) {
            handles[i] = d.gpuHandle(i);
        }
        return kOk;
    });
}

int enumDisplays(uint32_t id, uint32_t index, DisplayHandle* handle, bool unattached) {
    SimDriver& d = driver();
    return d.run(id, [&] {
        if (handle == nullptr) {
            return kInvalidArgument;
        }
        uint32_t seen = 0;
        const auto& displays = d.config().displays;
        for (size_t i = 0; i < displays.size(); ++i) {
            if (displays[i].unattached != unattached) {
                continue;
            }
            if (seen++ == index) {
                *handle = d.displayHandle(i);
                return kOk;
            }
        }
        return kEndEnumeration;
    });
}

int opEnumNvidiaDisplayHandle(uint32_t index, DisplayHandle* handle) {
    return enumDisplays(kEnumNvidiaDisplayHandle, index, handle, false);
}

int opEnumNvidiaUnattachedDisplayHandle(uint32_t index, DisplayHandle* handle) {
    return enumDisplays(kEnumNvidiaUnattachedDisplayHandle, index, handle, true);
}

int opGpuGetFullName(PhysicalGpuHandle gpu, char name[kShortStringSize]) {
    SimDriver& d = driver();
    return d.run(kGpuGetFullName, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (name == nullptr) {
                return kInvalidArgument;
            }
            copyName(name, d.config().gpus[g].name);
            return kOk;
        });
    });
}

int opGpuGetPciIdentifiers(PhysicalGpuHandle gpu, uint32_t* deviceId, uint32_t* subSystemId,
                           uint32_t* revisionId, uint32_t* extDeviceId) {
    SimDriver& d = driver();
    return d.run(kGpuGetPciIdentifiers, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (deviceId == nullptr || subSystemId == nullptr || revisionId == nullptr ||
                extDeviceId == nullptr) {
                return kInvalidArgument;
            }
            const GpuConfig& c = d.config().gpus[g];
            *deviceId = (c.device << 16) | kPciVendorNvidia;
            *subSystemId = c.subsystem;
            *revisionId = c.revision;
            *extDeviceId = *deviceId;
            return kOk;
        });
    });
}

int opGpuGetBusId(PhysicalGpuHandle gpu, uint32_t* busId) {
    SimDriver& d = driver();
    return d.run(kGpuGetBusId, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (busId == nullptr) {
                return kInvalidArgument;
            }
            *busId = d.config().gpus[g].bus;
            return kOk;
        });
    });
}

int opGpuGetGpuCoreCount(PhysicalGpuHandle gpu, uint32_t* count) {
    SimDriver& d = driver();
    return d.run(kGpuGetGpuCoreCount, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (count == nullptr) {
                return kInvalidArgument;
            }
            const uint32_t cores = d.config().gpus[g].cores;
            if (cores == 0) {
                return kNotSupported;
            }
            *count = cores;
            return kOk;
        });
    });
}

int opGetMemoryInfo(DisplayHandle display, DisplayDriverMemoryInfo* info) {
    SimDriver& d = driver();
    return d.run(kGetMemoryInfo, [&] {
        return withDisplay(d, display, [&](size_t i) {
            if (info == nullptr) {
                return kInvalidArgument;
            }
            if (info->version != kDisplayDriverMemoryInfoVersion) {
                return kIncompatibleStructVersion;
            }
            const size_t g = d.config().displays[i].gpu;
            const uint32_t dedicated = d.config().gpus[g].memoryKiB;
            const uint64_t inUse =
                kMemoryInUseBaseKiB + static_cast<uint64_t>(dedicated) * d.state().gpus[g].load / 200;
            info->dedicatedVideoMemoryKiB = dedicated;
            info->availableDedicatedVideoMemoryKiB =
                static_cast<uint32_t>(dedicated - std::min<uint64_t>(inUse, dedicated));
            info->systemVideoMemoryKiB = 0;
            info->sharedSystemMemoryKiB = kSharedSystemMemoryKiB;
            return kOk;
        });
    });
}

int opGpuGetMemoryType(PhysicalGpuHandle gpu, uint32_t* typeCode) {
    SimDriver& d = driver();
    return d.run(kGpuGetMemoryType, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (typeCode == nullptr) {
                return kInvalidArgument;
            }
            *typeCode = d.config().gpus[g].memoryType;
            return kOk;
        });
    });
}

int opGpuGetBusWidthAndLocation(PhysicalGpuHandle gpu, uint32_t* widthBits, uint32_t* location) {
    SimDriver& d = driver();
    return d.run(kGpuGetBusWidthAndLocation, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (widthBits == nullptr || location == nullptr) {
                return kInvalidArgument;
            }
            *widthBits = d.config().gpus[g].busWidth;
            *location = d.config().gpus[g].busLocation;
            return kOk;
        });
    });
}

int opGetAssociatedNvidiaDisplayName(DisplayHandle display, char name[kShortStringSize]) {
    SimDriver& d = driver();
    return d.run(kGetAssociatedNvidiaDisplayName, [&] {
        return withDisplay(d, display, [&](size_t i) {
            if (name == nullptr) {
                return kInvalidArgument;
            }
            copyName(name, d.config().displays[i].name);
            return kOk;
        });
    });
}

int findDisplayByName(SimDriver& d, const char* name, size_t& index) {
    if (name == nullptr) {
        return kInvalidArgument;
    }
    const auto& displays = d.config().displays;
    for (size_t i = 0; i < displays.size(); ++i) {
        if (displays[i].name == name) {
            index = i;
            return kOk;
        }
    }
    return kNvidiaDeviceNotFound;
}

int opGetAssociatedNvidiaDisplayHandle(const char* name, DisplayHandle* display) {
    SimDriver& d = driver();
    return d.run(kGetAssociatedNvidiaDisplayHandle, [&] {
        size_t i = 0;
        if (display == nullptr) {
            return kInvalidArgument;
        }
        if (const int status = findDisplayByName(d, name, i); status != kOk) {
            return status;
        }
        *display = d.displayHandle(i);
        return kOk;
    });
}

int opDispGetDisplayIdByDisplayName(const char* name, uint32_t* displayId) {
    SimDriver& d = driver();
    return d.run(kDispGetDisplayIdByDisplayName, [&] {
        size_t i = 0;
        if (displayId == nullptr) {
            return kInvalidArgument;
        }
        if (const int status = findDisplayByName(d, name, i); status != kOk) {
            return status;
        }
        *displayId = d.config().displays[i].id;
        return kOk;
    });
}

// ---- clocks and performance states ---------------------------------------------------------

int opGpuGetAllClockFrequencies(PhysicalGpuHandle gpu, ClockFrequencies* clocks) {
    SimDriver& d = driver();
    return d.run(kGpuGetAllClockFrequencies, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (clocks == nullptr) {
                return kInvalidArgument;
            }
            if (clocks->version != kClockFrequenciesVersion) {
                return kIncompatibleStructVersion;
            }
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
            const size_t level = type == kClockTypeCurrent ? board.currentLevel() : topLevelIndex(c);
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
    });
}

int opGpuGetCurrentPstate(PhysicalGpuHandle gpu, uint32_t* pstate) {
    SimDriver& d = driver();
    return d.run(kGpuGetCurrentPstate, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (pstate == nullptr) {
                return kInvalidArgument;
            }
            const GpuConfig& c = d.config().gpus[g];
            if (c.levels.empty()) {
                return kNotSupported;
            }
            *pstate = c.levels[d.board(g).currentLevel()].pstate;
            return kOk;
        });
    });
}

int fillPstatesInfo(SimDriver& d, uint32_t id, PhysicalGpuHandle gpu, PstatesInfo* info) {
    return d.run(id, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (info == nullptr) {
                return kInvalidArgument;
            }
            if (info->version != kPstatesInfoVersion) {
                return kIncompatibleStructVersion;
            }
            const GpuConfig& c = d.config().gpus[g];
            if (c.levels.empty()) {
                return kNotSupported;
            }
            std::vector<uint32_t> ids;
            for (const auto& level : c.levels) {
                ids.push_back(level.pstate);
            }
            std::sort(ids.begin(), ids.end());
            info->flags = kPstateFlagDynamic;
            info->count = static_cast<uint32_t>(std::min<size_t>(ids.size(), std::size(info->pstateIds)));
            std::fill(std::begin(info->pstateIds), std::end(info->pstateIds), 0u);
            std::copy_n(ids.begin(), info->count, info->pstateIds);
            return kOk;
        });
    });
}

int opGpuGetPstatesInfo(PhysicalGpuHandle gpu, PstatesInfo* info) {
    return fillPstatesInfo(driver(), kGpuGetPstatesInfo, gpu, info);
}

int opGpuGetPstatesInfoEx(PhysicalGpuHandle gpu, PstatesInfo* info, uint32_t /*flags*/) {
    return fillPstatesInfo(driver(), kGpuGetPstatesInfoEx, gpu, info);
}

// The highest-performance P-state clients may use: the board's P0.
int opGpuGetPstateClientLimits(PhysicalGpuHandle gpu, uint32_t /*limitKind*/, uint32_t* pstate) {
    SimDriver& d = driver();
    return d.run(kGpuGetPstateClientLimits, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (pstate == nullptr) {
                return kInvalidArgument;
            }
            const GpuConfig& c = d.config().gpus[g];
            if (c.levels.empty()) {
                return kNotSupported;
            }
            *pstate = c.levels[topLevelIndex(c)].pstate;
            return kOk;
        });
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
    SimDriver& d = driver();
    return d.run(kGpuGetPstates20, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (info == nullptr) {
                return kInvalidArgument;
            }
            if (info->version != kPstates20InfoVersion) {
                return kIncompatibleStructVersion;
            }
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
            // P-states in rising number, P0 first.
            std::vector<size_t> order(c.levels.size());
            for (size_t i = 0; i < order.size(); ++i) {
                order[i] = i;
            }
            std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
                return c.levels[a].pstate < c.levels[b].pstate;
            });
            const size_t top = topLevelIndex(c);
            info->numPstates = static_cast<uint32_t>(std::min<size_t>(order.size(), kPstates20MaxPstates));
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
                graphics.data.range.maxFreqKHz = editable && c.boostGraphicsKHz != 0 ? c.boostGraphicsKHz : base;
                graphics.data.range.domainId = kVoltageDomainCore;
                graphics.data.range.minVoltageUv = c.levels.front().voltageUv;
                graphics.data.range.maxVoltageUv = level.voltageUv;
                Pstates20Clock& memory = out.clocks[1];
                memory.domainId = kDomainMemory;
                memory.typeId = kPstateClockTypeSingle;
                memory.editable = editable ? 1 : 0;
                memory.data.single.freqKHz = levelDomainBase(level, kDomainMemory, present);
                Pstates20BaseVoltage& voltage = out.baseVoltages[0];
                voltage.domainId = kVoltageDomainCore;
                voltage.editable = editable ? 1 : 0;
                voltage.voltUv = level.voltageUv;
                if (editable) {
                    graphics.freqDeltaKHz = {s.graphicsOffsetKHz, c.graphicsOffsetKHz.min, c.graphicsOffsetKHz.max};
                    memory.freqDeltaKHz = {s.memoryOffsetKHz, c.memoryOffsetKHz.min, c.memoryOffsetKHz.max};
                    voltage.voltDeltaUv = {s.voltageOffsetUv, c.voltageOffsetUv.min, c.voltageOffsetUv.max};
                }
            }
            return kOk;
        });
    });
}

bool within(int32_t v, const Range& r) { return v >= r.min && v <= r.max; }

int opGpuSetPstates20(PhysicalGpuHandle gpu, const Pstates20Info* info) {
    SimDriver& d = driver();
    return d.run(kGpuSetPstates20, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (info == nullptr) {
                return kInvalidArgument;
            }
            if (info->version != kPstates20InfoVersion) {
                return kIncompatibleStructVersion;
            }
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
                const bool known = std::any_of(c.levels.begin(), c.levels.end(), [&](const LevelConfig& l) {
                    return l.pstate == in.pstateId;
                });
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
    SimDriver& d = driver();
    return d.run(kGpuGetPerfClocks, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (table == nullptr || level < kPerfAllLevels) {
                return kInvalidArgument;
            }
            if (table->version != kPerfClockTableVersion) {
                return kIncompatibleStructVersion;
            }
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
            const auto clocksPerLevel = static_cast<uint32_t>(c.levels.front().clocks.size());
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
    });
}

int opGpuSetPerfClocks(PhysicalGpuHandle gpu, uint32_t levelId, const PerfClockTable* table) {
    SimDriver& d = driver();
    return d.run(kGpuSetPerfClocks, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (table == nullptr) {
                return kInvalidArgument;
            }
            if (table->version != kPerfClockTableVersion) {
                return kIncompatibleStructVersion;
            }
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
                const auto clock = std::find_if(found->clocks.begin(), found->clocks.end(),
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
                next[target] = static_cast<uint32_t>(std::max<int64_t>(
                    int64_t{khz} - d.board(g).pstateOffsetKHz(li, target), 0));
            }
            d.state().gpus[g].clockKHz[li] = next;
            d.markDirty();
            return kOk;
        });
    });
}

int opGpuGetDynamicPstatesInfoEx(PhysicalGpuHandle gpu, DynamicPstatesInfoEx* info) {
    SimDriver& d = driver();
    return d.run(kGpuGetDynamicPstatesInfoEx, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (info == nullptr) {
                return kInvalidArgument;
            }
            if (info->version != kDynamicPstatesInfoExVersion) {
                return kIncompatibleStructVersion;
            }
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
    });
}

// ---- thermal, cooler, voltage, power -------------------------------------------------------

int opGpuGetThermalSettings(PhysicalGpuHandle gpu, int32_t sensorIndex, ThermalSettings* settings) {
    SimDriver& d = driver();
    return d.run(kGpuGetThermalSettings, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (settings == nullptr) {
                return kInvalidArgument;
            }
            if (settings->version != kThermalSettingsVersion) {
                return kIncompatibleStructVersion;
            }
            const GpuConfig& c = d.config().gpus[g];
            const int t = d.board(g).temperatureC();
            struct Sensor {
                uint32_t target;
                int temp;
            };
            std::vector<Sensor> sensors;
            if ((c.sensors & kSensorGpu) != 0) {
                sensors.push_back({kThermalTargetGpu, t});
            }
            if ((c.sensors & kSensorMemory) != 0) {
                sensors.push_back({kThermalTargetMemory, t + kMemorySensorOffsetC});
            }
            if ((c.sensors & kSensorBoard) != 0) {
                sensors.push_back({kThermalTargetBoard, t + kBoardSensorOffsetC});
            }
            if (sensors.empty()) {
                return kNotSupported;
            }
            size_t first = 0;
            size_t count = sensors.size();
            if (sensorIndex != kThermalAllSensors) {
                if (sensorIndex < 0 || static_cast<size_t>(sensorIndex) >= sensors.size()) {
                    return kInvalidArgument;
                }
                first = static_cast<size_t>(sensorIndex);
                count = 1;
            }
            for (auto& s : settings->sensor) {
                s = {};
            }
            settings->count = static_cast<uint32_t>(count);
            for (size_t i = 0; i < count; ++i) {
                auto& out = settings->sensor[i];
                out.controller = kThermalControllerGpuInternal;
                out.defaultMinTemp = 0;
                out.defaultMaxTemp = kSensorMaxC;
                out.currentTemp = static_cast<uint32_t>(std::max(sensors[first + i].temp, 0));
                out.target = sensors[first + i].target;
            }
            return kOk;
        });
    });
}

int opGpuGetTachReading(PhysicalGpuHandle gpu, uint32_t* rpm) {
    SimDriver& d = driver();
    return d.run(kGpuGetTachReading, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (rpm == nullptr) {
                return kInvalidArgument;
            }
            if (!d.config().gpus[g].tachometer) {
                return kNotSupported;
            }
            *rpm = d.board(g).fanRpm();
            return kOk;
        });
    });
}

int opGpuGetCoolerSettings(PhysicalGpuHandle gpu, uint32_t coolerTarget, CoolerSettings* settings) {
    SimDriver& d = driver();
    return d.run(kGpuGetCoolerSettings, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (settings == nullptr || coolerTarget == 0 || coolerTarget > kCoolerTargetMask) {
                return kInvalidArgument;
            }
            if (settings->version != kCoolerSettingsVersion) {
                return kIncompatibleStructVersion;
            }
            const GpuConfig& c = d.config().gpus[g];
            for (auto& cooler : settings->cooler) {
                cooler = CoolerSettings::Cooler{};
            }
            settings->count = 0;
            if (c.cooler == CoolerKind::None || (coolerTarget & kCoolerTargetGpu) == 0) {
                return kOk;
            }
            Board board = d.board(g);
            CoolerSettings::Cooler& fan = settings->cooler[0];
            fan.type = kCoolerTypeFan;
            fan.controller = kCoolerControllerInternal;
            fan.defaultMinLevel = c.coolerMin;
            fan.defaultMaxLevel = c.coolerMax;
            fan.currentMinLevel = c.coolerMin;
            fan.currentMaxLevel = c.coolerMax;
            fan.currentLevel = board.driverCoolerLevel();
            fan.defaultPolicy = c.coolerDefaultPolicy;
            fan.currentPolicy = d.state().gpus[g].coolerPolicy;
            fan.target = kCoolerTargetGpu;
            fan.controlType = kCoolerControlVariable;
            fan.active = 1;
            fan.speedSupported = c.tachometer ? 1 : 0;
            fan.speedRpm = c.tachometer ? board.fanRpm() : 0;
            fan.maxSpeedRpm = c.fanMaxRpm;
            fan.minSpeedRpm = c.fanMaxRpm * c.coolerMin / 100;
            settings->count = 1;
            return kOk;
        });
    });
}

bool isPolicyBit(uint32_t policy) {
    return policy != 0 && (policy & (policy - 1)) == 0 && policy <= 0x200;
}

int opGpuSetCoolerLevels(PhysicalGpuHandle gpu, uint32_t coolerIndex, const CoolerLevels* levels) {
    SimDriver& d = driver();
    return d.run(kGpuSetCoolerLevels, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (levels == nullptr) {
                return kInvalidArgument;
            }
            if (levels->version != kCoolerLevelsVersion) {
                return kIncompatibleStructVersion;
            }
            const GpuConfig& c = d.config().gpus[g];
            if (c.cooler == CoolerKind::None) {
                return kNotSupported;
            }
            // One cooler: index 0, or the whole set, answers to the first entry.
            if (coolerIndex != 0 && coolerIndex != kCoolerTargetAll) {
                return kInvalidArgument;
            }
            const uint32_t level = levels->cooler[0].level;
            const uint32_t policy = levels->cooler[0].policy;
            if (!isPolicyBit(policy) || level > 100) {
                return kInvalidArgument;
            }
            GpuState& s = d.state().gpus[g];
            s.coolerPolicy = policy;
            if (policy == kCoolerPolicyManual) {
                s.coolerLevel = std::clamp(level, c.coolerMin, c.coolerMax);
            }
            d.markDirty();
            return kOk;
        });
    });
}

int opGpuGetVoltageDomainsStatus(PhysicalGpuHandle gpu, VoltageDomainsStatus* status) {
    SimDriver& d = driver();
    return d.run(kGpuGetVoltageDomainsStatus, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (status == nullptr) {
                return kInvalidArgument;
            }
            if (status->version != kVoltageDomainsStatusVersion) {
                return kIncompatibleStructVersion;
            }
            for (auto& e : status->entries) {
                e = {};
            }
            status->flags = 0;
            status->count = 1;
            status->entries[0].domainId = kVoltageDomainCore;
            status->entries[0].voltageUv = d.board(g).coreVoltageUv();
            return kOk;
        });
    });
}

template <typename F>
int withPowerGpu(SimDriver& d, uint32_t id, PhysicalGpuHandle gpu, const void* record,
                 uint32_t recordVersion, uint32_t expected, F&& f) {
    return d.run(id, [&] {
        return withGpu(d, gpu, [&](size_t g) {
            if (record == nullptr) {
                return kInvalidArgument;
            }
            if (recordVersion != expected) {
                return kIncompatibleStructVersion;
            }
            if (!d.config().gpus[g].powerPolicy) {
                return kNotSupported;
            }
            return f(g);
        });
    });
}

int opPowerTopologyGetInfo(PhysicalGpuHandle gpu, PowerTopologyInfo* info) {
    SimDriver& d = driver();
    return withPowerGpu(d, kGpuClientPowerTopologyGetInfo, gpu, info,
                        info != nullptr ? info->version : 0, kPowerTopologyInfoVersion, [&](size_t g) {
                            for (auto& e : info->entries) {
                                e = {};
                            }
                            info->count = 1;
                            info->entries[0].domain = 0;
                            info->entries[0].defaultLimitMw =
                                static_cast<uint32_t>(std::lround(d.config().gpus[g].powerW * 1000.0));
                            return kOk;
                        });
}

int opPowerTopologyGetStatus(PhysicalGpuHandle gpu, PowerTopologyStatus* status) {
    SimDriver& d = driver();
    return withPowerGpu(d, kGpuClientPowerTopologyGetStatus, gpu, status,
                        status != nullptr ? status->version : 0, kPowerTopologyStatusVersion,
                        [&](size_t g) {
                            for (auto& e : status->entries) {
                                e = {};
                            }
                            status->count = 1;
                            const double share = d.board(g).powerW() / d.config().gpus[g].powerW;
                            status->entries[0].power =
                                static_cast<uint32_t>(std::lround(share * kPercentScale));
                            return kOk;
                        });
}

int opPowerPoliciesGetInfo(PhysicalGpuHandle gpu, PowerPoliciesInfo* info) {
    SimDriver& d = driver();
    return withPowerGpu(d, kGpuClientPowerPoliciesGetInfo, gpu, info,
                        info != nullptr ? info->version : 0, kPowerPoliciesInfoVersion, [&](size_t g) {
                            const GpuConfig& c = d.config().gpus[g];
                            for (auto& e : info->entries) {
                                e = {};
                            }
                            info->flags = kPowerPolicyValid | (1u << kPowerPolicyCountShift);
                            info->entries[0].pstateId = kPstate0;
                            info->entries[0].minPower = c.powerLimitMin;
                            info->entries[0].defaultPower = c.powerLimitDefault;
                            info->entries[0].maxPower = c.powerLimitMax;
                            return kOk;
                        });
}

int opPowerPoliciesGetStatus(PhysicalGpuHandle gpu, PowerPoliciesStatus* status) {
    SimDriver& d = driver();
    return withPowerGpu(d, kGpuClientPowerPoliciesGetStatus, gpu, status,
                        status != nullptr ? status->version : 0, kPowerPoliciesStatusVersion,
                        [&](size_t g) {
                            for (auto& e : status->entries) {
                                e = {};
                            }
                            status->count = 1;
                            status->entries[0].pstateId = kPstate0;
                            status->entries[0].power = d.state().gpus[g].powerLimit;
                            return kOk;
                        });
}

int opPowerPoliciesSetStatus(PhysicalGpuHandle gpu, const PowerPoliciesStatus* status) {
    SimDriver& d = driver();
    return withPowerGpu(d, kGpuClientPowerPoliciesSetStatus, gpu, status,
                        status != nullptr ? status->version : 0, kPowerPoliciesStatusVersion,
                        [&](size_t g) {
                            if (status->count == 0 || status->count > std::size(status->entries)) {
                                return kInvalidArgument;
                            }
                            const GpuConfig& c = d.config().gpus[g];
                            // A limit outside the policy's range is held at its nearer end.
                            d.state().gpus[g].powerLimit =
                                std::clamp(status->entries[0].power, c.powerLimitMin, c.powerLimitMax);
                            d.markDirty();
                            return kOk;
                        });
}

// ---- I2C and display-port auxiliary channel ------------------------------------------------

int opI2cRead(PhysicalGpuHandle gpu, I2cInfo* info) { return driver().i2c(kI2cRead, gpu, info, false); }
int opI2cWrite(PhysicalGpuHandle gpu, I2cInfo* info) { return driver().i2c(kI2cWrite, gpu, info, true); }
int opI2cReadEx(PhysicalGpuHandle gpu, I2cInfo* info, uint32_t* /*exFlags*/) {
    return driver().i2c(kI2cReadEx, gpu, info, false);
}
int opI2cWriteEx(PhysicalGpuHandle gpu, I2cInfo* info, uint32_t* /*exFlags*/) {
    return driver().i2c(kI2cWriteEx, gpu, info, true);
}

int opDispDpAuxChannelControl(DisplayHandle display, DpAuxChannel* request) {
    SimDriver& d = driver();
    return d.run(kDispDpAuxChannelControl, [&] {
        return withDisplay(d, display, [&](size_t i) {
            if (request == nullptr) {
                return kInvalidArgument;
            }
            if (request->version != kDpAuxChannelVersion) {
                return kIncompatibleStructVersion;
            }
            if (request->size == 0 || request->size > sizeof(request->data) ||
                (request->operation != kDpAuxOpRead && request->operation != kDpAuxOpWrite)) {
                return kInvalidArgument;
            }
            DisplayPortSink sink(d.config().displays[i], d.state().displays[i], d.adapterRegisters(i));
            if (request->operation == kDpAuxOpRead) {
                return sink.read(request->address, request->data, request->size);
            }
            bool changed = false;
            const int status = sink.write(request->address, request->data, request->size, changed);
            if (changed) {
                d.markDirty();
            }
            return status;
        });
    });
}

// ---- display driver and displays -----------------------------------------------------------

int opGetDisplayDriverVersion(DisplayHandle display, DisplayDriverVersion* version) {
    SimDriver& d = driver();
    return d.run(kGetDisplayDriverVersion, [&] {
        return withDisplay(d, display, [&](size_t i) {
            if (version == nullptr) {
                return kInvalidArgument;
            }
            if (version->version != kDisplayDriverVersionVersion) {
                return kIncompatibleStructVersion;
            }
            const DriverConfig& dc = d.config().driver;
            version->driverVersion = dc.version;
            version->buildChangeListNumber = dc.buildNumber;
            copyName(version->buildBranch, dc.branch);
            copyName(version->adapter, d.config().gpus[d.config().displays[i].gpu].name);
            return kOk;
        });
    });
}

int opGetPhysicalGpusFromDisplay(DisplayHandle display, PhysicalGpuHandle handles[kMaxPhysicalGpus],
                                 uint32_t* count) {
    SimDriver& d = driver();
    return d.run(kGetPhysicalGpusFromDisplay, [&] {
        return withDisplay(d, display, [&](size_t i) {
            if (handles == nullptr || count == nullptr) {
                return kInvalidArgument;
            }
            handles[0] = d.gpuHandle(d.config().displays[i].gpu);
            *count = 1;
            return kOk;
        });
    });
}

int opGetDisplayPortInfo(DisplayHandle display, uint32_t /*outputId*/, DisplayPortInfo* info) {
    SimDriver& d = driver();
    return d.run(kGetDisplayPortInfo, [&] {
        return withDisplay(d, display, [&](size_t i) {
            if (info == nullptr) {
                return kInvalidArgument;
            }
            if (info->version != kDisplayPortInfoVersion) {
                return kIncompatibleStructVersion;
            }
            const DisplayConfig& dc = d.config().displays[i];
            info->displayId = dc.id;
            info->isDisplayPort = dc.displayPort ? 1 : 0;
            info->maxLinkRate = dc.displayPort ? kDpcdMaxLinkRate : 0;
            info->laneCount = dc.displayPort ? (kDpcdMaxLaneCount & 0x1F) : 0;
            return kOk;
        });
    });
}

int displaysById(SimDriver& d, const uint32_t* ids, uint32_t count, std::vector<size_t>& out) {
    if (ids == nullptr || count == 0 || count > kMaxSimDisplays) {
        return kInvalidArgument;
    }
    const auto& displays = d.config().displays;
    for (uint32_t k = 0; k < count; ++k) {
        const auto it = std::find_if(displays.begin(), displays.end(),
                                     [&](const DisplayConfig& dc) { return dc.id == ids[k]; });
        if (it == displays.end()) {
            return kInvalidArgument;
        }
        out.push_back(static_cast<size_t>(it - displays.begin()));
    }
    return kOk;
}

bool saneCustomDisplay(const CustomDisplay& c) {
    const bool sizes = c.width >= kMinCustomSize && c.width <= kMaxCustomSize &&
                       c.height >= kMinCustomSize && c.height <= kMaxCustomSize;
    const bool depth = c.depth == 0 || c.depth == 8 || c.depth == 16 || c.depth == 24 || c.depth == 32;
    const bool ratios = std::isfinite(c.xRatio) && std::isfinite(c.yRatio) && c.xRatio >= 0.0f &&
                        c.yRatio >= 0.0f && c.xRatio <= kMaxCustomRatio && c.yRatio <= kMaxCustomRatio;
    const bool timing = std::any_of(std::begin(c.timing.fields), std::end(c.timing.fields),
                                    [](uint32_t f) { return f != 0; });
    return sizes && depth && ratios && timing;
}

int opDispTryCustomDisplay(const uint32_t* displayIds, uint32_t count, CustomDisplay* displays) {
    SimDriver& d = driver();
    return d.run(kDispTryCustomDisplay, [&] {
        std::vector<size_t> which;
        if (const int status = displaysById(d, displayIds, count, which); status != kOk) {
            return status;
        }
        if (displays == nullptr) {
            return kInvalidArgument;
        }
        for (uint32_t k = 0; k < count; ++k) {
            if (displays[k].version != kCustomDisplayVersion) {
                return kIncompatibleStructVersion;
            }
            if (!saneCustomDisplay(displays[k])) {
                return kInvalidArgument;
            }
        }
        for (size_t i : which) {
            d.state().displays[i].trialActive = true;
        }
        d.markDirty();
        return kOk;
    });
}

int opDispSaveCustomDisplay(const uint32_t* displayIds, uint32_t count, uint32_t /*outputOnly*/,
                            uint32_t /*monitorOnly*/) {
    SimDriver& d = driver();
    return d.run(kDispSaveCustomDisplay, [&] {
        std::vector<size_t> which;
        if (const int status = displaysById(d, displayIds, count, which); status != kOk) {
            return status;
        }
        for (size_t i : which) {
            if (!d.state().displays[i].trialActive) {
                return kError;  // nothing tried, nothing to keep
            }
        }
        for (size_t i : which) {
            d.state().displays[i].trialActive = false;
            ++d.state().displays[i].savedModes;
        }
        d.markDirty();
        return kOk;
    });
}

int opDispRevertCustomDisplayTrial(const uint32_t* displayIds, uint32_t count) {
    SimDriver& d = driver();
    return d.run(kDispRevertCustomDisplayTrial, [&] {
        std::vector<size_t> which;
        if (const int status = displaysById(d, displayIds, count, which); status != kOk) {
            return status;
        }
        for (size_t i : which) {
            d.state().displays[i].trialActive = false;
        }
        d.markDirty();
        return kOk;
    });
}

// ---- driver settings sessions --------------------------------------------------------------

int opDrsCreateSession(DrsSessionHandle* session) {
    SimDriver& d = driver();
    return d.run(kDrsCreateSession, [&] { return d.drsCreate(session); });
}
int opDrsDestroySession(DrsSessionHandle session) {
    SimDriver& d = driver();
    return d.run(kDrsDestroySession, [&] { return d.drsDestroy(session); });
}
int opDrsLoadSettings(DrsSessionHandle session) {
    SimDriver& d = driver();
    return d.run(kDrsLoadSettings, [&] { return d.drsLoad(session); });
}
int opDrsSaveSettings(DrsSessionHandle session) {
    SimDriver& d = driver();
    return d.run(kDrsSaveSettings, [&] { return d.drsSave(session); });
}
int opDrsGetBaseProfile(DrsSessionHandle session, DrsProfileHandle* profile) {
    SimDriver& d = driver();
    return d.run(kDrsGetBaseProfile, [&] { return d.drsBaseProfile(session, profile); });
}
int opDrsSetSetting(DrsSessionHandle session, DrsProfileHandle profile, DrsSetting* setting) {
    SimDriver& d = driver();
    return d.run(kDrsSetSetting, [&] {
        if (setting == nullptr) {
            return kInvalidArgument;
        }
        if (setting->version != kDrsSettingVersion) {
            return kIncompatibleStructVersion;
        }
        return d.drsSet(session, profile, *setting);
    });
}

// ---- the table -------------------------------------------------------------------------------

struct Entry {
    uint32_t id;
    void* function;
};

template <typename Fn>
void* entry(Fn fn) {
    return reinterpret_cast<void*>(fn);
}

// Each entry keeps the exact function type the program casts it to.
const Entry kEntries[] = {
    {kInitialize, entry<InitializeFn>(opInitialize)},
    {kUnload, entry<UnloadFn>(opUnload)},
    {kCallEntryHook, entry<CallEntryHookFn>(opEntryHook)},
    {kCallExitHook, entry<CallExitHookFn>(opExitHook)},
    {kEnumPhysicalGpus, entry<EnumPhysicalGpusFn>(opEnumPhysicalGpus)},
    {kEnumNvidiaDisplayHandle, entry<EnumNvidiaDisplayHandleFn>(opEnumNvidiaDisplayHandle)},
    {kGpuGetFullName, entry<GpuGetFullNameFn>(opGpuGetFullName)},
    {kGpuGetPciIdentifiers, entry<GpuGetPciIdentifiersFn>(opGpuGetPciIdentifiers)},
    {kGpuGetBusId, entry<GpuGetBusIdFn>(opGpuGetBusId)},
    {kGpuGetGpuCoreCount, entry<GpuGetGpuCoreCountFn>(opGpuGetGpuCoreCount)},
    {kGetMemoryInfo, entry<GetMemoryInfoFn>(opGetMemoryInfo)},
    {kGpuGetMemoryType, entry<GpuGetMemoryTypeFn>(opGpuGetMemoryType)},
    {kGpuGetBusWidthAndLocation, entry<GpuGetBusWidthAndLocationFn>(opGpuGetBusWidthAndLocation)},
    {kGetAssociatedNvidiaDisplayName, entry<GetAssociatedNvidiaDisplayNameFn>(opGetAssociatedNvidiaDisplayName)},
    {kGetAssociatedNvidiaDisplayHandle,
     entry<GetAssociatedNvidiaDisplayHandleFn>(opGetAssociatedNvidiaDisplayHandle)},
    {kDispGetDisplayIdByDisplayName, entry<DispGetDisplayIdByDisplayNameFn>(opDispGetDisplayIdByDisplayName)},
    {kGpuGetAllClockFrequencies, entry<GpuGetAllClockFrequenciesFn>(opGpuGetAllClockFrequencies)},
    {kGpuGetCurrentPstate, entry<GpuGetCurrentPstateFn>(opGpuGetCurrentPstate)},
    {kGpuGetPstatesInfo, entry<GpuGetPstatesInfoFn>(opGpuGetPstatesInfo)},
    {kGpuGetPstatesInfoEx, entry<GpuGetPstatesInfoExFn>(opGpuGetPstatesInfoEx)},
    {kGpuGetPstateClientLimits, entry<GpuGetPstateClientLimitsFn>(opGpuGetPstateClientLimits)},
    {kGpuGetPstates20, entry<GpuGetPstates20Fn>(opGpuGetPstates20)},
    {kGpuSetPstates20, entry<GpuSetPstates20Fn>(opGpuSetPstates20)},
    {kGpuGetPerfClocks, entry<GpuGetPerfClocksFn>(opGpuGetPerfClocks)},
    {kGpuSetPerfClocks, entry<GpuSetPerfClocksFn>(opGpuSetPerfClocks)},
    {kGpuGetDynamicPstatesInfoEx, entry<GpuGetDynamicPstatesInfoExFn>(opGpuGetDynamicPstatesInfoEx)},
    {kGpuGetThermalSettings, entry<GpuGetThermalSettingsFn>(opGpuGetThermalSettings)},
    {kGpuGetTachReading, entry<GpuGetTachReadingFn>(opGpuGetTachReading)},
    {kGpuGetCoolerSettings, entry<GpuGetCoolerSettingsFn>(opGpuGetCoolerSettings)},
    {kGpuSetCoolerLevels, entry<GpuSetCoolerLevelsFn>(opGpuSetCoolerLevels)},
    {kGpuGetVoltageDomainsStatus, entry<GpuGetVoltageDomainsStatusFn>(opGpuGetVoltageDomainsStatus)},
    {kGpuClientPowerTopologyGetStatus, entry<GpuPowerTopologyGetStatusFn>(opPowerTopologyGetStatus)},
    {kGpuClientPowerTopologyGetInfo, entry<GpuPowerTopologyGetInfoFn>(opPowerTopologyGetInfo)},
    {kGpuClientPowerPoliciesGetInfo, entry<GpuPowerPoliciesGetInfoFn>(opPowerPoliciesGetInfo)},
    {kGpuClientPowerPoliciesGetStatus, entry<GpuPowerPoliciesGetStatusFn>(opPowerPoliciesGetStatus)},
    {kGpuClientPowerPoliciesSetStatus, entry<GpuPowerPoliciesSetStatusFn>(opPowerPoliciesSetStatus)},
    {kI2cRead, entry<I2cReadFn>(opI2cRead)},
    {kI2cWrite, entry<I2cWriteFn>(opI2cWrite)},
    {kI2cReadEx, entry<I2cReadExFn>(opI2cReadEx)},
    {kI2cWriteEx, entry<I2cWriteExFn>(opI2cWriteEx)},
    {kDispDpAuxChannelControl, entry<DispDpAuxChannelControlFn>(opDispDpAuxChannelControl)},
    {kGetDisplayDriverVersion, entry<GetDisplayDriverVersionFn>(opGetDisplayDriverVersion)},
    {kEnumNvidiaUnattachedDisplayHandle,
     entry<EnumNvidiaUnattachedDisplayHandleFn>(opEnumNvidiaUnattachedDisplayHandle)},
    {kGetPhysicalGpusFromDisplay, entry<GetPhysicalGpusFromDisplayFn>(opGetPhysicalGpusFromDisplay)},
    {kGetDisplayPortInfo, entry<GetDisplayPortInfoFn>(opGetDisplayPortInfo)},
    {kDispTryCustomDisplay, entry<DispTryCustomDisplayFn>(opDispTryCustomDisplay)},
    {kDispSaveCustomDisplay, entry<DispSaveCustomDisplayFn>(opDispSaveCustomDisplay)},
    {kDispRevertCustomDisplayTrial, entry<DispRevertCustomDisplayTrialFn>(opDispRevertCustomDisplayTrial)},
    {kDrsCreateSession, entry<DrsCreateSessionFn>(opDrsCreateSession)},
    {kDrsDestroySession, entry<DrsDestroySessionFn>(opDrsDestroySession)},
    {kDrsLoadSettings, entry<DrsLoadSettingsFn>(opDrsLoadSettings)},
    {kDrsSaveSettings, entry<DrsSaveSettingsFn>(opDrsSaveSettings)},
    {kDrsSetSetting, entry<DrsSetSettingFn>(opDrsSetSetting)},
    {kDrsGetBaseProfile, entry<DrsGetBaseProfileFn>(opDrsGetBaseProfile)},
};

static_assert(std::size(kEntries) == std::size(kAllOperations), "every operation has an entry");

}  // namespace

}  // namespace qv::sim

extern "C" __attribute__((visibility("default"))) void* nvapi_QueryInterface(uint32_t id) {
    using qv::sim::kEntries;
    for (const auto& e : kEntries) {
        if (e.id == id) {
            return qv::sim::SimDriver::instance().isHidden(id) ? nullptr : e.function;
        }
    }
    return nullptr;
}
