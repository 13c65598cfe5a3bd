#include "tuning/PowerReadout.h"

#include <cmath>

#include "gpu/BoardIds.h"
#include "gpu/DriverStatus.h"

namespace qv::tuning {

bool usesPowerEstimate(const gpu::GpuRecord& record) {
    return record.hasChip(gpu::kSlotFanChip0) && record.hasChip(gpu::kSlotRegulator3);
}

bool usesPowerMonitors(const gpu::GpuRecord& record) {
    if (usesPowerEstimate(record)) {
        return false;
    }
    for (const gpu::I2cSlot slot : kMonitorSlots) {
        if (record.hasChip(slot)) {
            return true;
        }
    }
    return false;
}

double estimateWatts(double accumulator, uint32_t samples) {
    if (samples == 0 || accumulator <= 0.0) {
        return 0.0;
    }
    return std::sqrt(accumulator / samples) * kEfficiency / kSenseResistor;
}

uint32_t monitorWatts(const std::array<uint32_t, 3>& readings, uint32_t deviceId, int levelKind) {
    uint32_t sum = readings[0] + readings[1];
    if (gpu::inSet(kSlot11HeavyDevices, deviceId)) {
        sum = static_cast<uint32_t>(readings[2] * kSlot11HeavyFactor + sum);
    } else {
        sum += readings[2];
    }
    if ((levelKind == gpu::kLevelKind2D || levelKind == gpu::kLevelKind3DPerf) &&
        gpu::inSet(kMonitorOverreadDevices, deviceId)) {
        sum = static_cast<uint32_t>(sum / kMonitorOverreadDivisor);
    }
    return static_cast<uint32_t>(sum * kMonitorWattsPerStep);
}

int BoardPower::read(gpu::GpuLayer& layer, uint8_t gpu, int levelKind, uint32_t& watts) {
    PowerReading reading;
    const int status = read(layer, gpu, levelKind, reading);
    if (status == drv::kOk) {
        watts = reading.watts;
    }
    return status;
}

int BoardPower::read(gpu::GpuLayer& layer, uint8_t gpu, int levelKind, PowerReading& reading) {
    if (gpu >= layer.gpuCount()) {
        return drv::kInvalidArgument;
    }
    if (usesPowerEstimate(layer.record(gpu))) {
        return readEstimate(layer, gpu, reading);
    }
    return readMonitors(layer, gpu, levelKind, reading);
}

int BoardPower::readEstimate(gpu::GpuLayer& layer, uint8_t gpu, PowerReading& reading) {
    if (accumulator_ < 0.0) {
        accumulator_ = kEstimateSeed;
    }
    for (uint32_t sample = 0; sample < kEstimateSamples; ++sample) {
        float current = 0.0f, rail = 0.0f;
        int status = layer.slot0CurrentValue(gpu, current);
        if (status == drv::kOk) {
            status = layer.slot0RailValue(gpu, rail);
        }
        if (status != drv::kOk) {
            // A partial set of samples would understate the power; start the next estimate afresh.
            accumulator_ = 0.0;
            return status;
        }
        const double product = static_cast<double>(current) * static_cast<double>(rail);
        accumulator_ += product * product;
    }
    const double power = estimateWatts(accumulator_, kEstimateSamples);
    accumulator_ = 0.0;
    reading.watts = static_cast<uint32_t>(power);
    reading.gaugeLive = power > kGaugeLiveAboveWatts;
    return drv::kOk;
}

int BoardPower::readMonitors(gpu::GpuLayer& layer, uint8_t gpu, int levelKind,
                             PowerReading& reading) {
    std::array<uint32_t, kMonitorSlots.size()> readings{};
    bool any = false;
    for (size_t i = 0; i < kMonitorSlots.size(); ++i) {
        if (!layer.record(gpu).hasChip(kMonitorSlots[i])) {
            continue;
        }
        uint16_t value = 0;
        const int status = layer.powerMonitorReading(gpu, kMonitorSlots[i], value);
        if (status != drv::kOk) {
            // Without one of the monitors the sum is not the board's power.
            return status;
        }
        readings[i] = value;
        any = true;
    }
    if (!any) {
        return drv::kNotSupported;
    }
    reading.watts = monitorWatts(readings, layer.record(gpu).deviceId(), levelKind);
    reading.gaugeLive = false;
    return drv::kOk;
}

}  // namespace qv::tuning
