// The driver operations on displays: I2C and the display-port auxiliary channel, the display
// driver's version, display ports and custom display modes.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

#include "SimOperations.h"

namespace qv::sim {

namespace {

using namespace qv::drv;

constexpr uint32_t kMinCustomSize = 200;
constexpr uint32_t kMaxCustomSize = 16384;
constexpr float kMaxCustomRatio = 8.0f;

// ---- I2C and display-port auxiliary channel ------------------------------------------------

int opI2cRead(PhysicalGpuHandle gpu, I2cInfo* info) {
    return driver().i2c(kI2cRead, gpu, info, false);
}
int opI2cWrite(PhysicalGpuHandle gpu, I2cInfo* info) {
    return driver().i2c(kI2cWrite, gpu, info, true);
}
int opI2cReadEx(PhysicalGpuHandle gpu, I2cInfo* info, uint32_t* /*exFlags*/) {
    return driver().i2c(kI2cReadEx, gpu, info, false);
}
int opI2cWriteEx(PhysicalGpuHandle gpu, I2cInfo* info, uint32_t* /*exFlags*/) {
    return driver().i2c(kI2cWriteEx, gpu, info, true);
}

int opDispDpAuxChannelControl(DisplayHandle display, DpAuxChannel* request) {
    return onRecord(
        kDispDpAuxChannelControl, display, request, kDpAuxChannelVersion,
        [&](SimDriver& d, size_t i) {
            if (request->size == 0 || request->size > sizeof(request->data) ||
                (request->operation != kDpAuxOpRead && request->operation != kDpAuxOpWrite)) {
                return kInvalidArgument;
            }
            DisplayPortSink sink(d.config().displays[i], d.state().displays[i],
                                 d.adapterRegisters(i));
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
}
// ---- display driver and displays -----------------------------------------------------------

int opGetDisplayDriverVersion(DisplayHandle display, DisplayDriverVersion* version) {
    return onRecord(kGetDisplayDriverVersion, display, version, kDisplayDriverVersionVersion,
                    [&](SimDriver& d, size_t i) {
                        const DriverConfig& dc = d.config().driver;
                        version->driverVersion = dc.version;
                        version->buildChangeListNumber = dc.buildNumber;
                        copyName(version->buildBranch, dc.branch);
                        copyName(version->adapter,
                                 d.config().gpus[d.config().displays[i].gpu].name);
                        return kOk;
                    });
}

int opGetPhysicalGpusFromDisplay(DisplayHandle display, PhysicalGpuHandle handles[kMaxPhysicalGpus],
                                 uint32_t* count) {
    return onTarget(kGetPhysicalGpusFromDisplay, display, {handles, count},
                    [&](SimDriver& d, size_t i) {
                        handles[0] = d.gpuHandle(d.config().displays[i].gpu);
                        *count = 1;
                        return kOk;
                    });
}

int opGetDisplayPortInfo(DisplayHandle display, uint32_t /*outputId*/, DisplayPortInfo* info) {
    return onRecord(kGetDisplayPortInfo, display, info, kDisplayPortInfoVersion,
                    [&](SimDriver& d, size_t i) {
                        const DisplayConfig& dc = d.config().displays[i];
                        info->displayId = dc.id;
                        info->isDisplayPort = dc.displayPort ? 1 : 0;
                        info->maxLinkRate = dc.displayPort ? kDpcdMaxLinkRate : 0;
                        info->laneCount = dc.displayPort ? (kDpcdMaxLaneCount & 0x1F) : 0;
                        return kOk;
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
    const bool depth =
        c.depth == 0 || c.depth == 8 || c.depth == 16 || c.depth == 24 || c.depth == 32;
    const bool ratios = std::isfinite(c.xRatio) && std::isfinite(c.yRatio) && c.xRatio >= 0.0f &&
                        c.yRatio >= 0.0f && c.xRatio <= kMaxCustomRatio &&
                        c.yRatio <= kMaxCustomRatio;
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

// ---- the table -------------------------------------------------------------------------------

const OperationEntry kEntries[] = {
    {kI2cRead, operationEntry<I2cReadFn>(opI2cRead)},
    {kI2cWrite, operationEntry<I2cWriteFn>(opI2cWrite)},
    {kI2cReadEx, operationEntry<I2cReadExFn>(opI2cReadEx)},
    {kI2cWriteEx, operationEntry<I2cWriteExFn>(opI2cWriteEx)},
    {kDispDpAuxChannelControl,
     operationEntry<DispDpAuxChannelControlFn>(opDispDpAuxChannelControl)},
    {kGetDisplayDriverVersion,
     operationEntry<GetDisplayDriverVersionFn>(opGetDisplayDriverVersion)},
    {kGetPhysicalGpusFromDisplay,
     operationEntry<GetPhysicalGpusFromDisplayFn>(opGetPhysicalGpusFromDisplay)},
    {kGetDisplayPortInfo, operationEntry<GetDisplayPortInfoFn>(opGetDisplayPortInfo)},
    {kDispTryCustomDisplay, operationEntry<DispTryCustomDisplayFn>(opDispTryCustomDisplay)},
    {kDispSaveCustomDisplay, operationEntry<DispSaveCustomDisplayFn>(opDispSaveCustomDisplay)},
    {kDispRevertCustomDisplayTrial,
     operationEntry<DispRevertCustomDisplayTrialFn>(opDispRevertCustomDisplayTrial)},
};

}  // namespace

std::span<const OperationEntry> displayOperations() {
    return kEntries;
}

}  // namespace qv::sim
