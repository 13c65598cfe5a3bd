// The driver voltage table: the P-state information with each P-state's voltages, through which
// family C boards without a regulator of their own take a core voltage.
#include <algorithm>

#include "gpu/DriverIds.h"
#include "gpu/GpuLayer.h"

namespace qv::gpu {

namespace {

constexpr uint32_t kFourPstateTable = 4;
constexpr int kNoPstate = -1;

}  // namespace

int GpuLayer::readVoltageTable(uint8_t gpu, drv::PstatesInfo& table, bool defaults) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    table = drv::PstatesInfo{};
    table.version = drv::kPstatesInfoVersion;
    if (defaults) {
        return driver_.call<drv::GpuGetPstatesInfoExFn>(drv::kGpuGetPstatesInfoEx,
                                                        records_[gpu].handle, &table,
                                                        drv::kPstatesInfoDefaults);
    }
    return driver_.call<drv::GpuGetPstatesInfoFn>(drv::kGpuGetPstatesInfo, records_[gpu].handle,
                                                  &table);
}

int GpuLayer::writeVoltageTable(uint8_t gpu, const drv::PstatesInfo& table) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    if (table.version != drv::kPstatesInfoVersion) {
        return drv::kIncompatibleStructVersion;
    }
    return driver_.call<drv::GpuSetPstatesInfoFn>(drv::kGpuSetPstatesInfo, records_[gpu].handle,
                                                  &table);
}

int GpuLayer::voltageTableEntry(uint8_t gpu, int kind, int32_t& millivolts) {
    drv::PstatesInfo table{};
    const int status = readVoltageTable(gpu, table);
    if (status != drv::kOk) {
        return status;
    }
    return tableEntry(table, kind, millivolts);
}

int GpuLayer::tablePstateIndex(const drv::PstatesInfo& table, int kind) {
    const bool four = table.numPstates == kFourPstateTable;
    int index = kNoPstate;
    switch (kind) {
        case kLevelKind3DPerf:
            index = 0;
            break;
        case kLevelKindFour:
            index = four ? 1 : kNoPstate;
            break;
        case kLevelKind3DLow:
            index = four ? 2 : 1;
            break;
        case kLevelKind2D:
            // On four-level tables the 2D mode's clocks come from the second clock level too.
            index = 2;
            break;
        default:
            break;
    }
    const uint32_t listed = std::min(table.numPstates, drv::kPstatesInfoMaxPstates);
    if (index == kNoPstate || static_cast<uint32_t>(index) >= listed || table.numVoltages == 0) {
        return kNoPstate;
    }
    return index;
}

int GpuLayer::tableEntry(const drv::PstatesInfo& table, int kind, int32_t& millivolts) {
    const int index = tablePstateIndex(table, kind);
    if (index == kNoPstate) {
        return drv::kNotSupported;
    }
    const auto& voltages = table.pstates[index].voltages;
    uint32_t mv = voltages[0].millivolts;
    if (mv == 0 && table.numVoltages > 1) {
        mv = voltages[1].millivolts;
    }
    if (mv == 0) {
        return drv::kNotSupported;
    }
    millivolts = static_cast<int32_t>(mv);
    return drv::kOk;
}

int GpuLayer::setTableEntry(drv::PstatesInfo& table, int kind, int32_t millivolts) {
    const int index = tablePstateIndex(table, kind);
    if (index == kNoPstate) {
        return drv::kNotSupported;
    }
    if (millivolts <= 0) {
        return drv::kInvalidArgument;
    }
    table.pstates[index].voltages[0].millivolts = static_cast<uint32_t>(millivolts);
    return drv::kOk;
}

}  // namespace qv::gpu
