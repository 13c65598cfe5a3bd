// The exported control surface (SimControl.h), forwarded to the driver object.
#include "SimControl.h"

#include "SimDriver.h"

#define QV_SIM_EXPORT extern "C" __attribute__((visibility("default")))

using qv::sim::SimDriver;

QV_SIM_EXPORT int qvsim_reset(void) { return SimDriver::instance().reset(); }

QV_SIM_EXPORT int qvsim_load_config(const char* config) {
    return SimDriver::instance().loadConfig(config);
}

QV_SIM_EXPORT const char* qvsim_state_path(void) { return SimDriver::instance().statePath(); }

QV_SIM_EXPORT uint32_t qvsim_gpu_count(void) { return SimDriver::instance().gpuCount(); }

QV_SIM_EXPORT int qvsim_inject_status(uint32_t id, int32_t status, int32_t count) {
    return SimDriver::instance().injectStatus(id, status, count);
}

QV_SIM_EXPORT int qvsim_hide_id(uint32_t id, int hidden) {
    return SimDriver::instance().hideId(id, hidden != 0);
}

QV_SIM_EXPORT int qvsim_set_latency_us(uint32_t id, uint32_t microseconds) {
    return SimDriver::instance().setLatencyUs(id, microseconds);
}

QV_SIM_EXPORT int qvsim_invalidate_handles(int32_t status) {
    return SimDriver::instance().invalidateHandles(status);
}

QV_SIM_EXPORT int qvsim_set_temperature(uint32_t gpu, int32_t celsius) {
    return SimDriver::instance().setTemperature(gpu, celsius);
}

QV_SIM_EXPORT int qvsim_set_load(uint32_t gpu, uint32_t percent) {
    return SimDriver::instance().setLoad(gpu, percent);
}

QV_SIM_EXPORT int qvsim_freeze_time(int frozen) {
    return SimDriver::instance().freezeTime(frozen != 0);
}

QV_SIM_EXPORT int qvsim_advance_time_ms(uint64_t ms) {
    return SimDriver::instance().advanceTimeMs(ms);
}

QV_SIM_EXPORT int qvsim_get_register(uint32_t gpu, uint8_t port, uint8_t address, uint8_t reg,
                                     uint8_t* value) {
    return SimDriver::instance().getRegister(gpu, port, address, reg, value);
}

QV_SIM_EXPORT int qvsim_set_register(uint32_t gpu, uint8_t port, uint8_t address, uint8_t reg,
                                     uint8_t value) {
    return SimDriver::instance().setRegister(gpu, port, address, reg, value);
}

QV_SIM_EXPORT uint64_t qvsim_call_count(uint32_t id) { return SimDriver::instance().callCount(id); }

QV_SIM_EXPORT uint64_t qvsim_hook_calls(void) { return SimDriver::instance().hookCalls(); }

QV_SIM_EXPORT void qvsim_clear_counters(void) { SimDriver::instance().clearCounters(); }

QV_SIM_EXPORT size_t qvsim_i2c_log_count(void) { return SimDriver::instance().i2cLogCount(); }

QV_SIM_EXPORT int qvsim_i2c_log_get(size_t index, QvSimI2cEvent* event) {
    return SimDriver::instance().i2cLogGet(index, event);
}

QV_SIM_EXPORT size_t qvsim_hook_log_count(void) { return SimDriver::instance().hookLogCount(); }

QV_SIM_EXPORT int qvsim_hook_log_get(size_t index, QvSimHookEvent* event) {
    return SimDriver::instance().hookLogGet(index, event);
}

QV_SIM_EXPORT uint64_t qvsim_unload_count(void) { return SimDriver::instance().unloadCount(); }

QV_SIM_EXPORT int qvsim_write_bios_image(uint32_t gpu, const char* path) {
    return SimDriver::instance().writeBiosImage(gpu, path);
}
