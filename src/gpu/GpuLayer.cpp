#include "gpu/GpuLayer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gpu/BoardIds.h"
#include "gpu/DriverIds.h"
#include "platform/DebugOutput.h"

namespace qv::gpu {

namespace {
constexpr uint32_t kOldestSupportedMajor = 5;
constexpr uint32_t kPciDeviceTextChars = 4;
constexpr uint32_t kMaxDisplaysSearched = 256;
}  // namespace

uint32_t GpuRecord::deviceId() const {
    return static_cast<uint32_t>(std::strtoul(deviceIdText.c_str(), nullptr, 16));
}

GpuLayer::GpuLayer(drv::DriverLoader& driver, GpuLayerServices services)
    : driver_(driver), services_(std::move(services)) {}

GpuLayer::~GpuLayer() {
    probeThread_.request_stop();
    waitForProbe();
    close();
}

int GpuLayer::initialize() {
    waitForProbe();
    fourLevelFlag_ = 0;
    gpuCount_ = 0;
    for (auto& r : records_) {
        r = GpuRecord{};
    }

    // 1. The driver itself.
    if (driver_.load() != drv::kOk) {
        return kInitHardwareFailure;
    }
    // 2. The GPUs.
    if (enumerate() != drv::kOk) {
        return kInitHardwareFailure;
    }
    // 3. Every GPU must have a usable clock table.
    for (uint8_t gpu = 0; gpu < gpuCount_; ++gpu) {
        const int scanned = scanClockLimits(gpu);
        if (scanned == drv::kOk) {
            continue;
        }
        if (!services_.keepGpusWithoutClockTable) {
            return kInitHardwareFailure;
        }
        records_[gpu].clockTableStatus = scanned;
    }
    // 4. The system.
    wow64_ = services_.system->is32BitProcessOn64BitSystem() ? 1 : 0;
    const platform::OsVersion os = services_.system->osVersion();
    if (os.major < kOldestSupportedMajor || (os.major == kOldestSupportedMajor && os.minor == 0)) {
        return kInitUnsupportedSystem;
    }
    osMajorAbove5_ = os.major > kOldestSupportedMajor ? 1 : 0;
    // 5. Board identification and the board's own chips.
    for (uint8_t gpu = 0; gpu < gpuCount_; ++gpu) {
        GpuRecord& r = records_[gpu];
        r.i2cMutex = std::make_unique<std::timed_mutex>();
        identifyBoard(gpu);
        readMemoryType(gpu);
        probeI2cChips(gpu);
        readBusWidth(gpu);
    }
    // 6. Clock ratios and the fan path.
    for (uint8_t gpu = 0; gpu < gpuCount_; ++gpu) {
        const GpuRecord& r = records_[gpu];
        computeBoostRatios(gpu);
        if (!r.hasChip(kSlotFanChip0) || r.hasChip(kSlotRegulator3)) {
            readCoolerTable(gpu);
            readFanDutyRangeIntoRecord(gpu);
        } else {
            setSlot0ManualBit(gpu, false);
        }
    }
    // 7. What is slow to learn is learnt in the background.
    startProbeThread();
    return kInitOk;
}

int GpuLayer::enumerate() {
    drv::PhysicalGpuHandle handles[drv::kMaxPhysicalGpus] = {};
    uint32_t count = 0;
    const int status =
        driver_.call<drv::EnumPhysicalGpusFn>(drv::kEnumPhysicalGpus, handles, &count);
    if (status != drv::kOk) {
        return status;
    }
    if (count == 0) {
        return drv::kNvidiaDeviceNotFound;
    }
    const uint32_t stored = std::min<uint32_t>(count, kMaxGpus);
    for (uint32_t i = 0; i < stored; ++i) {
        records_[i].handle = handles[i];
        drv::DisplayHandle display = nullptr;
        const int displayStatus = driver_.call<drv::EnumNvidiaDisplayHandleFn>(
            drv::kEnumNvidiaDisplayHandle, 0u, &display);
        if (displayStatus != drv::kOk) {
            return displayStatus;
        }
        records_[i].display = display;
    }
    gpuCount_ = static_cast<uint8_t>(stored);
    ignoredGpus_ = count - stored;
    if (ignoredGpus_ > 0 && !ignoredGpusReported_) {
        ignoredGpusReported_ = true;
        platform::debugOutput("GpuLayer: %u GPUs found; only the first %zu are used\n", count,
                              kMaxGpus);
    }
    return drv::kOk;
}

void GpuLayer::reenumerateOnStatus(int status) {
    if (drv::needsReenumeration(status)) {
        enumerate();
    }
}

void GpuLayer::identifyBoard(uint8_t gpu) {
    GpuRecord& r = records_[gpu];
    uint32_t deviceWord = 0, subSystem = 0, revision = 0, extDevice = 0;
    const int status = driver_.call<drv::GpuGetPciIdentifiersFn>(
        drv::kGpuGetPciIdentifiers, r.handle, &deviceWord, &subSystem, &revision, &extDevice);
    if (status != drv::kOk) {
        deviceWord = 0;
    }
    char text[16];
    std::snprintf(text, sizeof(text), "%08x", deviceWord);
    r.deviceIdText.assign(text, kPciDeviceTextChars);

    const uint32_t device = r.deviceId();
    r.familyA = inSet(kFamilyA, device);
    r.familyB = inSet(kFamilyB, device);
    r.familyC = inSet(kFamilyC, device);
    r.device0E22 = device == kDevice0E22;
    r.device0DC4 = device == kDevice0DC4;
    r.keplerClass = inSet(kKeplerClass, device);
    r.hotKeyBoard = inSet(kHotKeyBoards, device);
    r.device1188 = device == kDevice1188;
}

int GpuLayer::boardName(uint8_t gpu, std::string& name) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    char buffer[drv::kShortStringSize] = {};
    const int status =
        driver_.call<drv::GpuGetFullNameFn>(drv::kGpuGetFullName, records_[gpu].handle, buffer);
    buffer[drv::kShortStringSize - 1] = 0;
    name = status == drv::kOk ? buffer : "";
    return status;
}

std::string GpuLayer::deviceIdText(uint8_t gpu) const {
    return validGpu(gpu) ? records_[gpu].deviceIdText : std::string();
}

std::string GpuLayer::biosVersion(uint8_t gpu) const {
    return validGpu(gpu) ? records_[gpu].biosVersion : std::string();
}

// The memory facts come through a display. The record keeps the first display for every GPU,
// which would report the first GPU's memory for all of them; so look for a display this GPU
// drives, attached or not.
int GpuLayer::memoryInfo(uint8_t gpu, drv::DisplayDriverMemoryInfo& info) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    drv::DisplayHandle display = nullptr;
    const int found = displayOfGpu(gpu, display);
    if (found != drv::kOk) {
        return found;
    }
    info = {};
    info.version = drv::kDisplayDriverMemoryInfoVersion;
    return driver_.call<drv::GetMemoryInfoFn>(drv::kGetMemoryInfo, display, &info);
}

int GpuLayer::displayOfGpu(uint8_t gpu, drv::DisplayHandle& display) {
    const drv::PhysicalGpuHandle wanted = records_[gpu].handle;
    for (const uint32_t enumId :
         {drv::kEnumNvidiaDisplayHandle, drv::kEnumNvidiaUnattachedDisplayHandle}) {
        for (uint32_t index = 0; index < kMaxDisplaysSearched; ++index) {
            drv::DisplayHandle candidate = nullptr;
            if (driver_.call<drv::EnumNvidiaDisplayHandleFn>(enumId, index, &candidate) !=
                drv::kOk) {
                break;
            }
            drv::PhysicalGpuHandle owners[drv::kMaxPhysicalGpus] = {};
            uint32_t count = 0;
            if (driver_.call<drv::GetPhysicalGpusFromDisplayFn>(
                    drv::kGetPhysicalGpusFromDisplay, candidate, owners, &count) != drv::kOk) {
                continue;
            }
            for (uint32_t i = 0; i < std::min(count, drv::kMaxPhysicalGpus); ++i) {
                if (owners[i] == wanted) {
                    display = candidate;
                    return drv::kOk;
                }
            }
        }
    }
    return drv::kNotSupported;
}

int GpuLayer::readMemoryType(uint8_t gpu) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    GpuRecord& r = records_[gpu];
    r.memoryType = 0;
    return driver_.call<drv::GpuGetMemoryTypeFn>(drv::kGpuGetMemoryType, r.handle, &r.memoryType);
}

uint32_t GpuLayer::readBusWidth(uint8_t gpu) {
    if (!validGpu(gpu)) {
        return 0;
    }
    GpuRecord& r = records_[gpu];
    r.busWidth = 0;
    uint32_t location = 0;
    const int status = driver_.call<drv::GpuGetBusWidthAndLocationFn>(
        drv::kGpuGetBusWidthAndLocation, r.handle, &r.busWidth, &location);
    if (status != drv::kOk) {
        r.busWidth = 0;
        return 0;
    }
    return r.busWidth;
}

int GpuLayer::cudaCores(uint8_t gpu, uint32_t& cores) {
    if (!validGpu(gpu)) {
        return 0;
    }
    const int status = driver_.call<drv::GpuGetGpuCoreCountFn>(drv::kGpuGetGpuCoreCount,
                                                               records_[gpu].handle, &cores);
    return status == drv::kOk ? 1 : 0;
}

int GpuLayer::displayDriverVersion(uint32_t& version) {
    drv::DisplayHandle display = nullptr;
    int status =
        driver_.call<drv::EnumNvidiaDisplayHandleFn>(drv::kEnumNvidiaDisplayHandle, 0u, &display);
    if (status != drv::kOk) {
        return status;
    }
    drv::DisplayDriverVersion record{};
    record.version = drv::kDisplayDriverVersionVersion;
    status = driver_.call<drv::GetDisplayDriverVersionFn>(drv::kGetDisplayDriverVersion, display,
                                                          &record);
    if (status == drv::kOk) {
        version = record.driverVersion;
    }
    return status;
}

int GpuLayer::displayId(uint8_t gpu, uint32_t& id) {
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    char name[drv::kShortStringSize] = {};
    int status = driver_.call<drv::GetAssociatedNvidiaDisplayNameFn>(
        drv::kGetAssociatedNvidiaDisplayName, records_[gpu].display, name);
    if (status != drv::kOk) {
        return status;
    }
    name[drv::kShortStringSize - 1] = 0;
    drv::DisplayHandle display = nullptr;
    status = driver_.call<drv::GetAssociatedNvidiaDisplayHandleFn>(
        drv::kGetAssociatedNvidiaDisplayHandle, static_cast<const char*>(name), &display);
    if (status != drv::kOk) {
        return status;
    }
    return driver_.call<drv::DispGetDisplayIdByDisplayNameFn>(drv::kDispGetDisplayIdByDisplayName,
                                                              static_cast<const char*>(name), &id);
}

int GpuLayer::busOrder(uint8_t index, uint32_t& bus) {
    bus = 0;
    if (gpuCount_ <= 1) {
        return drv::kOk;
    }
    if (index >= gpuCount_) {
        return drv::kInvalidArgument;
    }
    std::vector<uint32_t> buses;
    for (uint8_t gpu = 0; gpu < gpuCount_; ++gpu) {
        uint32_t id = 0;
        const int status =
            driver_.call<drv::GpuGetBusIdFn>(drv::kGpuGetBusId, records_[gpu].handle, &id);
        if (status != drv::kOk) {
            return status;
        }
        buses.push_back(id);
    }
    std::sort(buses.begin(), buses.end());
    bus = buses[index];
    return drv::kOk;
}

int GpuLayer::busId(uint8_t gpu, uint32_t& bus) {
    bus = 0;
    if (!validGpu(gpu)) {
        return drv::kInvalidArgument;
    }
    return driver_.call<drv::GpuGetBusIdFn>(drv::kGpuGetBusId, records_[gpu].handle, &bus);
}

void GpuLayer::close() {
    waitForProbe();
    for (auto& r : records_) {
        r.i2cMutex.reset();
    }
}

}  // namespace qv::gpu
