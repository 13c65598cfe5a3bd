// The driver operations that enumerate boards and displays and describe a board.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

#include "SimOperations.h"

namespace qv::sim {

namespace {

using namespace qv::drv;

constexpr uint32_t kMemoryInUseBaseKiB = 65536;
constexpr uint32_t kSharedSystemMemoryKiB = 3145728;

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
    return onTarget(kGpuGetFullName, gpu, {name}, [&](SimDriver& d, size_t g) {
        copyName(name, d.config().gpus[g].name);
        return kOk;
    });
}

int opGpuGetPciIdentifiers(PhysicalGpuHandle gpu, uint32_t* deviceId, uint32_t* subSystemId,
                           uint32_t* revisionId, uint32_t* extDeviceId) {
    return onTarget(kGpuGetPciIdentifiers, gpu, {deviceId, subSystemId, revisionId, extDeviceId},
                    [&](SimDriver& d, size_t g) {
                        const GpuConfig& c = d.config().gpus[g];
                        *deviceId = (c.device << 16) | kPciVendorNvidia;
                        *subSystemId = c.subsystem;
                        *revisionId = c.revision;
                        *extDeviceId = *deviceId;
                        return kOk;
                    });
}

int opGpuGetBusId(PhysicalGpuHandle gpu, uint32_t* busId) {
    return onTarget(kGpuGetBusId, gpu, {busId}, [&](SimDriver& d, size_t g) {
        *busId = d.config().gpus[g].bus;
        return kOk;
    });
}

int opGpuGetGpuCoreCount(PhysicalGpuHandle gpu, uint32_t* count) {
    return onTarget(kGpuGetGpuCoreCount, gpu, {count}, [&](SimDriver& d, size_t g) {
        const uint32_t cores = d.config().gpus[g].cores;
        if (cores == 0) {
            return kNotSupported;
        }
        *count = cores;
        return kOk;
    });
}

int opGetMemoryInfo(DisplayHandle display, DisplayDriverMemoryInfo* info) {
    return onRecord(kGetMemoryInfo, display, info, kDisplayDriverMemoryInfoVersion,
                    [&](SimDriver& d, size_t i) {
                        const size_t g = d.config().displays[i].gpu;
                        const uint32_t dedicated = d.config().gpus[g].memoryKiB;
                        const uint64_t inUse =
                            kMemoryInUseBaseKiB +
                            static_cast<uint64_t>(dedicated) * d.state().gpus[g].load / 200;
                        info->dedicatedVideoMemoryKiB = dedicated;
                        info->availableDedicatedVideoMemoryKiB =
                            static_cast<uint32_t>(dedicated - std::min<uint64_t>(inUse, dedicated));
                        info->systemVideoMemoryKiB = 0;
                        info->sharedSystemMemoryKiB = kSharedSystemMemoryKiB;
                        return kOk;
                    });
}

int opGpuGetMemoryType(PhysicalGpuHandle gpu, uint32_t* typeCode) {
    return onTarget(kGpuGetMemoryType, gpu, {typeCode}, [&](SimDriver& d, size_t g) {
        *typeCode = d.config().gpus[g].memoryType;
        return kOk;
    });
}

int opGpuGetBusWidthAndLocation(PhysicalGpuHandle gpu, uint32_t* widthBits, uint32_t* location) {
    return onTarget(kGpuGetBusWidthAndLocation, gpu, {widthBits, location},
                    [&](SimDriver& d, size_t g) {
                        *widthBits = d.config().gpus[g].busWidth;
                        *location = d.config().gpus[g].busLocation;
                        return kOk;
                    });
}

int opGetAssociatedNvidiaDisplayName(DisplayHandle display, char name[kShortStringSize]) {
    return onTarget(kGetAssociatedNvidiaDisplayName, display, {name}, [&](SimDriver& d, size_t i) {
        copyName(name, d.config().displays[i].name);
        return kOk;
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

// ---- the table -------------------------------------------------------------------------------

const OperationEntry kEntries[] = {
    {kEnumPhysicalGpus, operationEntry<EnumPhysicalGpusFn>(opEnumPhysicalGpus)},
    {kEnumNvidiaDisplayHandle,
     operationEntry<EnumNvidiaDisplayHandleFn>(opEnumNvidiaDisplayHandle)},
    {kGpuGetFullName, operationEntry<GpuGetFullNameFn>(opGpuGetFullName)},
    {kGpuGetPciIdentifiers, operationEntry<GpuGetPciIdentifiersFn>(opGpuGetPciIdentifiers)},
    {kGpuGetBusId, operationEntry<GpuGetBusIdFn>(opGpuGetBusId)},
    {kGpuGetGpuCoreCount, operationEntry<GpuGetGpuCoreCountFn>(opGpuGetGpuCoreCount)},
    {kGetMemoryInfo, operationEntry<GetMemoryInfoFn>(opGetMemoryInfo)},
    {kGpuGetMemoryType, operationEntry<GpuGetMemoryTypeFn>(opGpuGetMemoryType)},
    {kGpuGetBusWidthAndLocation,
     operationEntry<GpuGetBusWidthAndLocationFn>(opGpuGetBusWidthAndLocation)},
    {kGetAssociatedNvidiaDisplayName,
     operationEntry<GetAssociatedNvidiaDisplayNameFn>(opGetAssociatedNvidiaDisplayName)},
    {kGetAssociatedNvidiaDisplayHandle,
     operationEntry<GetAssociatedNvidiaDisplayHandleFn>(opGetAssociatedNvidiaDisplayHandle)},
    {kDispGetDisplayIdByDisplayName,
     operationEntry<DispGetDisplayIdByDisplayNameFn>(opDispGetDisplayIdByDisplayName)},
    {kEnumNvidiaUnattachedDisplayHandle,
     operationEntry<EnumNvidiaUnattachedDisplayHandleFn>(opEnumNvidiaUnattachedDisplayHandle)},
};

}  // namespace

std::span<const OperationEntry> boardOperations() {
    return kEntries;
}

}  // namespace qv::sim
