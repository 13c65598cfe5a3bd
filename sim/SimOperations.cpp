// nvapi_QueryInterface, which hands the driver operations out by interface ID, and the
// operations of the driver's own life: initialise, unload, the call hooks and the driver
// settings sessions.
#include "SimOperations.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

namespace qv::sim {

namespace {

using namespace qv::drv;

// ---- session and hooks ---------------------------------------------------------------------

int opInitialize() {
    return driver().initialize();
}
int opUnload() {
    return driver().unload();
}
void opEntryHook(uint32_t id) {
    driver().hookEntry(id);
}
void opExitHook(uint32_t id, int result) {
    driver().hookExit(id, result);
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

int opDrsGetSetting(DrsSessionHandle session, DrsProfileHandle profile, uint32_t settingId,
                    DrsSetting* setting) {
    SimDriver& d = driver();
    return d.run(kDrsGetSetting, [&] {
        if (setting == nullptr) {
            return kInvalidArgument;
        }
        if (setting->version != kDrsSettingVersion) {
            return kIncompatibleStructVersion;
        }
        return d.drsGet(session, profile, settingId, *setting);
    });
}

// ---- the table -------------------------------------------------------------------------------

const OperationEntry kEntries[] = {
    {kInitialize, operationEntry<InitializeFn>(opInitialize)},
    {kUnload, operationEntry<UnloadFn>(opUnload)},
    {kCallEntryHook, operationEntry<CallEntryHookFn>(opEntryHook)},
    {kCallExitHook, operationEntry<CallExitHookFn>(opExitHook)},
    {kDrsCreateSession, operationEntry<DrsCreateSessionFn>(opDrsCreateSession)},
    {kDrsDestroySession, operationEntry<DrsDestroySessionFn>(opDrsDestroySession)},
    {kDrsLoadSettings, operationEntry<DrsLoadSettingsFn>(opDrsLoadSettings)},
    {kDrsSaveSettings, operationEntry<DrsSaveSettingsFn>(opDrsSaveSettings)},
    {kDrsSetSetting, operationEntry<DrsSetSettingFn>(opDrsSetSetting)},
    {kDrsGetBaseProfile, operationEntry<DrsGetBaseProfileFn>(opDrsGetBaseProfile)},
    {kDrsGetSetting, operationEntry<DrsGetSettingFn>(opDrsGetSetting)},
};

}  // namespace

std::span<const OperationEntry> sessionOperations() {
    return kEntries;
}

}  // namespace qv::sim

extern "C" __attribute__((visibility("default"))) void* nvapi_QueryInterface(uint32_t id) {
    using namespace qv::sim;
    for (const auto group : {sessionOperations(), boardOperations(), clockOperations(),
                             thermalOperations(), displayOperations()}) {
        for (const OperationEntry& e : group) {
            if (e.id == id) {
                return SimDriver::instance().isHidden(id) ? nullptr : e.function;
            }
        }
    }
    return nullptr;
}
