// The driver operations on temperature sensors, the cooler, the core voltage and power.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

#include "SimOperations.h"

namespace qv::sim {

namespace {

using namespace qv::drv;

constexpr uint32_t kCoolerControllerInternal = 2;
constexpr uint32_t kCoolerControlVariable = 2;
constexpr uint32_t kCoolerTargetGpu = 1;
constexpr uint32_t kCoolerTargetMask = 7;
constexpr uint32_t kPowerPolicyValid = 1;
constexpr uint32_t kPowerPolicyCountShift = 8;
constexpr int kMemorySensorOffsetC = -4;
constexpr int kBoardSensorOffsetC = -10;
constexpr uint32_t kSensorMaxC = 127;

// ---- thermal, cooler, voltage, power -------------------------------------------------------

int opGpuGetThermalSettings(PhysicalGpuHandle gpu, int32_t sensorIndex, ThermalSettings* settings) {
    return onRecord(
        kGpuGetThermalSettings, gpu, settings, kThermalSettingsVersion,
        [&](SimDriver& d, size_t g) {
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
}

int opGpuGetTachReading(PhysicalGpuHandle gpu, uint32_t* rpm) {
    return onTarget(kGpuGetTachReading, gpu, {rpm}, [&](SimDriver& d, size_t g) {
        if (!d.config().gpus[g].tachometer) {
            return kNotSupported;
        }
        *rpm = d.board(g).fanRpm();
        return kOk;
    });
}

int opGpuGetCoolerSettings(PhysicalGpuHandle gpu, uint32_t coolerTarget, CoolerSettings* settings) {
    const bool targetKnown = coolerTarget != 0 && coolerTarget <= kCoolerTargetMask;
    return onRecord(
        kGpuGetCoolerSettings, gpu, settings, kCoolerSettingsVersion, targetKnown,
        [&](SimDriver& d, size_t g) {
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
}

bool isPolicyBit(uint32_t policy) {
    return policy != 0 && (policy & (policy - 1)) == 0 && policy <= 0x200;
}

int opGpuSetCoolerLevels(PhysicalGpuHandle gpu, uint32_t coolerIndex, const CoolerLevels* levels) {
    return onRecord(kGpuSetCoolerLevels, gpu, levels, kCoolerLevelsVersion,
                    [&](SimDriver& d, size_t g) {
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
}

int opGpuGetVoltageDomainsStatus(PhysicalGpuHandle gpu, VoltageDomainsStatus* status) {
    return onRecord(kGpuGetVoltageDomainsStatus, gpu, status, kVoltageDomainsStatusVersion,
                    [&](SimDriver& d, size_t g) {
                        for (auto& e : status->entries) {
                            e = {};
                        }
                        status->flags = 0;
                        status->count = 1;
                        status->entries[0].domainId = kVoltageDomainCore;
                        status->entries[0].voltageUv = d.board(g).coreVoltageUv();
                        return kOk;
                    });
}

// A power operation: as any record operation, and refused on a board without a power policy.
template <typename Record, typename F>
int onPowerRecord(uint32_t id, PhysicalGpuHandle gpu, Record* record, uint32_t version, F&& f) {
    return onRecord(id, gpu, record, version, [&](SimDriver& d, size_t g) {
        if (!d.config().gpus[g].powerPolicy) {
            return kNotSupported;
        }
        return f(d, g);
    });
}

int opPowerTopologyGetInfo(PhysicalGpuHandle gpu, PowerTopologyInfo* info) {
    return onPowerRecord(kGpuClientPowerTopologyGetInfo, gpu, info, kPowerTopologyInfoVersion,
                         [&](SimDriver& d, size_t g) {
                             for (auto& e : info->entries) {
                                 e = {};
                             }
                             info->count = 1;
                             info->entries[0].domain = 0;
                             info->entries[0].defaultLimitMw = static_cast<uint32_t>(
                                 std::lround(d.config().gpus[g].powerW * 1000.0));
                             return kOk;
                         });
}

int opPowerTopologyGetStatus(PhysicalGpuHandle gpu, PowerTopologyStatus* status) {
    return onPowerRecord(kGpuClientPowerTopologyGetStatus, gpu, status, kPowerTopologyStatusVersion,
                         [&](SimDriver& d, size_t g) {
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
    return onPowerRecord(kGpuClientPowerPoliciesGetInfo, gpu, info, kPowerPoliciesInfoVersion,
                         [&](SimDriver& d, size_t g) {
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
    return onPowerRecord(kGpuClientPowerPoliciesGetStatus, gpu, status, kPowerPoliciesStatusVersion,
                         [&](SimDriver& d, size_t g) {
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
    return onPowerRecord(kGpuClientPowerPoliciesSetStatus, gpu, status, kPowerPoliciesStatusVersion,
                         [&](SimDriver& d, size_t g) {
                             if (status->count == 0 || status->count > std::size(status->entries)) {
                                 return kInvalidArgument;
                             }
                             const GpuConfig& c = d.config().gpus[g];
                             // A limit outside the policy's range is held at its nearer end.
                             d.state().gpus[g].powerLimit = std::clamp(
                                 status->entries[0].power, c.powerLimitMin, c.powerLimitMax);
                             d.markDirty();
                             return kOk;
                         });
}

// ---- the table -------------------------------------------------------------------------------

const OperationEntry kEntries[] = {
    {kGpuGetThermalSettings, operationEntry<GpuGetThermalSettingsFn>(opGpuGetThermalSettings)},
    {kGpuGetTachReading, operationEntry<GpuGetTachReadingFn>(opGpuGetTachReading)},
    {kGpuGetCoolerSettings, operationEntry<GpuGetCoolerSettingsFn>(opGpuGetCoolerSettings)},
    {kGpuSetCoolerLevels, operationEntry<GpuSetCoolerLevelsFn>(opGpuSetCoolerLevels)},
    {kGpuGetVoltageDomainsStatus,
     operationEntry<GpuGetVoltageDomainsStatusFn>(opGpuGetVoltageDomainsStatus)},
    {kGpuClientPowerTopologyGetStatus,
     operationEntry<GpuPowerTopologyGetStatusFn>(opPowerTopologyGetStatus)},
    {kGpuClientPowerTopologyGetInfo,
     operationEntry<GpuPowerTopologyGetInfoFn>(opPowerTopologyGetInfo)},
    {kGpuClientPowerPoliciesGetInfo,
     operationEntry<GpuPowerPoliciesGetInfoFn>(opPowerPoliciesGetInfo)},
    {kGpuClientPowerPoliciesGetStatus,
     operationEntry<GpuPowerPoliciesGetStatusFn>(opPowerPoliciesGetStatus)},
    {kGpuClientPowerPoliciesSetStatus,
     operationEntry<GpuPowerPoliciesSetStatusFn>(opPowerPoliciesSetStatus)},
};

}  // namespace

std::span<const OperationEntry> thermalOperations() {
    return kEntries;
}

}  // namespace qv::sim
