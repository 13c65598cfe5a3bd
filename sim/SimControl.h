// Control surface of the simulated driver, for tests, benchmarks and demos. These functions are
// exported by the simulated driver library beside nvapi_QueryInterface; callers resolve them with
// dlsym on the same library the program loaded.
//
// Environment read by the simulated driver when it initialises:
//   QUORVEL_SIM_CONFIG     board configuration: a file path, or the name of a preset shipped in
//                          the boards folder beside the library ("six-gpus"); unset: built-in boards
//   QUORVEL_SIM_STATE_DIR  folder of the state files (default $XDG_RUNTIME_DIR/quorvel-sim, else
//                          /tmp/quorvel-sim-<uid>)
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// One I2C transaction as the simulator saw it (published or extended call).
struct QvSimI2cEvent {
    uint32_t gpu;        // enumeration index
    uint32_t write;      // 1 write, 0 read
    uint32_t extended;   // 1 when it came through the extended call
    uint8_t port;
    uint8_t address;
    uint8_t reg;
    uint8_t size;        // data bytes moved
    uint8_t data[8];     // the first data bytes
    int32_t status;
    uint64_t threadTag;  // distinguishes the calling threads
    uint64_t sequence;   // global order of calls
    uint64_t startNs;    // when the transaction began and ended (monotonic)
    uint64_t endNs;
};

// One hook call as the simulator saw it.
struct QvSimHookEvent {
    uint32_t id;
    uint32_t isExit;
    int32_t result;  // exit only
};

// Back to the configuration's initial state (removes the state file). Injections, latencies,
// hidden IDs and logs are cleared too.
int qvsim_reset(void);
// Switches configuration (same meaning as QUORVEL_SIM_CONFIG; NULL or "" = built-in) and resets.
int qvsim_load_config(const char* config);
// Path of the state file now in use.
const char* qvsim_state_path(void);
uint32_t qvsim_gpu_count(void);

// Failure injection. count > 0: the next `count` calls of `id` answer `status`; count < 0:
// every call does; count 0 removes the injection.
int qvsim_inject_status(uint32_t id, int32_t status, int32_t count);
// QueryInterface answers null for a hidden ID.
int qvsim_hide_id(uint32_t id, int hidden);
// Added delay per call of `id` (0: every call), microseconds.
int qvsim_set_latency_us(uint32_t id, uint32_t microseconds);
// Handles given out so far answer `status` (-10 or -101) until the GPUs are enumerated again.
int qvsim_invalidate_handles(int32_t status);

// Physical model.
int qvsim_set_temperature(uint32_t gpu, int32_t celsius);  // pins; -1000 releases
int qvsim_set_load(uint32_t gpu, uint32_t percent);
int qvsim_freeze_time(int frozen);
int qvsim_advance_time_ms(uint64_t ms);

// Chip registers, addressed like the program addresses them (port, 8-bit device address).
int qvsim_get_register(uint32_t gpu, uint8_t port, uint8_t address, uint8_t reg, uint8_t* value);
int qvsim_set_register(uint32_t gpu, uint8_t port, uint8_t address, uint8_t reg, uint8_t value);

// Call counting and logs.
uint64_t qvsim_call_count(uint32_t id);  // 0: all operations
uint64_t qvsim_hook_calls(void);         // exit-hook calls seen
void qvsim_clear_counters(void);         // counters and both logs
size_t qvsim_i2c_log_count(void);
int qvsim_i2c_log_get(size_t index, QvSimI2cEvent* event);
size_t qvsim_hook_log_count(void);
int qvsim_hook_log_get(size_t index, QvSimHookEvent* event);
uint64_t qvsim_unload_count(void);

// Writes the GPU's video BIOS image to `path` (the ROM-dump helper uses this).
int qvsim_write_bios_image(uint32_t gpu, const char* path);

}  // extern "C"
