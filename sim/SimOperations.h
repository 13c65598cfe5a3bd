// What the driver operations share: the checks every operation makes before it answers, and
// the entries through which nvapi_QueryInterface hands them out. The operations themselves live
// in one file per group (board, clocks, thermal, displays, sessions).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "SimDriver.h"
#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/DriverTypes.h"

namespace qv::sim {

// One operation as QueryInterface hands it out; `function` keeps the exact function type the
// program casts it to.
struct OperationEntry {
    uint32_t id;
    void* function;
};

template <typename Fn>
void* operationEntry(Fn fn) {
    return reinterpret_cast<void*>(fn);
}

// The entries of each group, defined beside its operations.
std::span<const OperationEntry> sessionOperations();
std::span<const OperationEntry> boardOperations();
std::span<const OperationEntry> clockOperations();
std::span<const OperationEntry> thermalOperations();
std::span<const OperationEntry> displayOperations();

inline SimDriver& driver() {
    return SimDriver::instance();
}

// The index behind a handle, by the handle's kind.
inline int indexOf(SimDriver& d, drv::PhysicalGpuHandle handle, size_t& index) {
    return d.gpuIndex(handle, index);
}
inline int indexOf(SimDriver& d, drv::DisplayHandle handle, size_t& index) {
    return d.displayIndex(handle, index);
}

// Runs operation `id` on the board or display behind `handle`, with the checks in the driver's
// order: the call itself (counted, delayed, refused before initialisation or by an injected
// status), then the handle, then every pointer the operation needs. `answer(driver, index)`
// runs only when all of them pass.
template <typename Handle, typename Answer>
int onTarget(uint32_t id, Handle handle, std::initializer_list<const void*> required,
             Answer&& answer) {
    SimDriver& d = driver();
    return d.run(id, [&] {
        size_t index = 0;
        if (const int status = indexOf(d, handle, index); status != drv::kOk) {
            return status;
        }
        for (const void* pointer : required) {
            if (pointer == nullptr) {
                return drv::kInvalidArgument;
            }
        }
        return answer(d, index);
    });
}

// As onTarget for an operation on one versioned record: a null record or other arguments that
// are not `argumentsValid` are refused first, then a record of another version.
template <typename Handle, typename Record, typename Answer>
int onRecord(uint32_t id, Handle handle, Record* record, uint32_t version, bool argumentsValid,
             Answer&& answer) {
    const void* required = argumentsValid ? static_cast<const void*>(record) : nullptr;
    return onTarget(id, handle, {required}, [&](SimDriver& d, size_t index) {
        if (record->version != version) {
            return drv::kIncompatibleStructVersion;
        }
        return answer(d, index);
    });
}

template <typename Handle, typename Record, typename Answer>
int onRecord(uint32_t id, Handle handle, Record* record, uint32_t version, Answer&& answer) {
    return onRecord(id, handle, record, version, true, std::forward<Answer>(answer));
}

// A driver short string: cut to fit, always ended.
inline void copyName(char* out, const std::string& name) {
    std::snprintf(out, drv::kShortStringSize, "%s", name.c_str());
}

}  // namespace qv::sim
