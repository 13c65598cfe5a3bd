#include "tuning/HotKeyVoltage.h"

#include <algorithm>

#include "gpu/DriverStatus.h"
#include "gpu/DriverTypes.h"
#include "gpu/Units.h"

namespace qv::tuning {

namespace {

// The first P-state's core voltage entry; nullptr when the table has none.
const drv::Pstates20BaseVoltage* firstCoreVoltage(const drv::Pstates20Info& info) {
    if (info.numPstates == 0) {
        return nullptr;
    }
    const drv::Pstates20Pstate& first = info.pstates[0];
    const uint32_t count = std::min(info.numBaseVoltages, drv::kPstates20MaxBaseVoltages);
    for (uint32_t i = 0; i < count; ++i) {
        if (first.baseVoltages[i].domainId == drv::kVoltageDomainCore) {
            return &first.baseVoltages[i];
        }
    }
    return nullptr;
}

int readFirstCoreVoltage(gpu::GpuLayer& layer, uint8_t gpu, drv::Pstates20BaseVoltage& voltage) {
    drv::Pstates20Info info{};
    const int status = layer.pstates20Info(gpu, info);
    if (status != drv::kOk) {
        return status;
    }
    const drv::Pstates20BaseVoltage* found = firstCoreVoltage(info);
    if (found == nullptr) {
        return drv::kNotSupported;
    }
    voltage = *found;
    return drv::kOk;
}

int32_t reportedMillivolts(const drv::Pstates20BaseVoltage& voltage) {
    const int64_t uv = int64_t{voltage.voltUv} + voltage.voltDeltaUv.value;
    return static_cast<int32_t>(uv / gpu::kMicrovoltsPerMillivolt);
}

}  // namespace

int saveBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, int32_t sliderPos,
                     SavedBoostVoltage& saved) {
    drv::Pstates20BaseVoltage voltage{};
    const int status = readFirstCoreVoltage(layer, gpu, voltage);
    if (status != drv::kOk) {
        return status;
    }
    saved.saved = true;
    saved.deltaUv = voltage.voltDeltaUv.value;
    saved.sliderPos = sliderPos;
    return drv::kOk;
}

int raiseBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, int32_t highestMv, int32_t& reachedMv) {
    drv::Pstates20BaseVoltage voltage{};
    int status = readFirstCoreVoltage(layer, gpu, voltage);
    if (status != drv::kOk) {
        return status;
    }
    const int64_t wanted = int64_t{highestMv} * gpu::kMicrovoltsPerMillivolt - voltage.voltUv;
    const auto delta = static_cast<int32_t>(
        std::clamp<int64_t>(wanted, voltage.voltDeltaUv.min,
                            std::max(voltage.voltDeltaUv.min, voltage.voltDeltaUv.max)));
    status = layer.setCoreVoltageOffset(gpu, delta);
    if (status != drv::kOk) {
        return status;
    }
    status = readFirstCoreVoltage(layer, gpu, voltage);
    if (status != drv::kOk) {
        return status;
    }
    reachedMv = reportedMillivolts(voltage);
    return voltage.voltDeltaUv.value == delta ? drv::kOk : drv::kError;
}

int restoreBoostVoltage(gpu::GpuLayer& layer, uint8_t gpu, const SavedBoostVoltage& saved) {
    if (!saved.saved) {
        return drv::kInvalidArgument;
    }
    return layer.setCoreVoltageOffset(gpu, saved.deltaUv);
}

}  // namespace qv::tuning
