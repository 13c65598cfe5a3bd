#include "tuning/HotKeyVoltage.h"

#include "gpu/DriverStatus.h"

namespace qv::tuning {

int saveBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, int32_t sliderPos,
                     SavedBoostVoltage& saved) {
    drv::PstatesInfo table{};
    int status = layer.readVoltageTable(gpu, table);
    int32_t first = 0;
    if (status == drv::kOk) {
        // A table without voltages has nothing the boost could put back.
        status = gpu::GpuLayer::tableEntry(table, gpu::kLevelKind3DPerf, first);
    }
    if (status != drv::kOk) {
        return status;
    }
    saved.saved = true;
    saved.table = table;
    saved.sliderPos = sliderPos;
    return drv::kOk;
}

int raiseBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, int32_t highestMv, int32_t& reachedMv) {
    drv::PstatesInfo table{};
    int status = layer.readVoltageTable(gpu, table);
    if (status == drv::kOk) {
        // The first P-state is the 3D performance level.
        status = gpu::GpuLayer::setTableEntry(table, gpu::kLevelKind3DPerf, highestMv);
    }
    if (status == drv::kOk) {
        status = layer.writeVoltageTable(gpu, table);
    }
    int32_t reached = 0;
    if (status == drv::kOk) {
        status = layer.voltageTableEntry(gpu, gpu::kLevelKind3DPerf, reached);
    }
    if (status != drv::kOk) {
        return status;
    }
    reachedMv = reached;
    return reached == highestMv ? drv::kOk : drv::kError;
}

int restoreBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, const SavedBoostVoltage& saved) {
    if (!saved.saved) {
        return drv::kInvalidArgument;
    }
    return layer.writeVoltageTable(gpu, saved.table);
}

}  // namespace qv::tuning
