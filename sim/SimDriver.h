// The simulated driver's one object: configuration, card state and its file, handles, failure
// injection, latencies, call counters and logs. Every driver operation and every control
// function goes through it; it serialises them with one mutex within the process and the state
// file's lock across processes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "SimBoard.h"
#include "SimChips.h"
#include "SimConfig.h"
#include "SimControl.h"
#include "SimDisplayPort.h"
#include "SimState.h"
#include "SimStateStore.h"
#include "gpu/DriverStatus.h"
#include "gpu/DriverTypes.h"

namespace qv::sim {

inline constexpr const char* kConfigEnvironment = "QUORVEL_SIM_CONFIG";
inline constexpr const char* kResetEnvironment = "QUORVEL_SIM_RESET";
inline constexpr size_t kMaxLogEntries = 65536;
inline constexpr uint32_t kMaxI2cDataBytes = 64;
inline constexpr uint32_t kMaxLatencyUs = 10000000;

class SimDriver {
public:
    static SimDriver& instance();

    // ---- driver lifecycle -------------------------------------------------------------
    int initialize();
    int unload();

    // Runs one driver operation: counts it, waits its latency, answers -4 before
    // initialisation and any injected status; otherwise runs `op` (under the lock, with the
    // card state current and the model moved to now) and saves the state when `op` changed it.
    template <typename Op>
    int run(uint32_t id, Op&& op) {
        waitLatency(countCall(id));
        std::lock_guard lock(mutex_);
        int status = admit(id);
        if (status != drv::kOk) {
            return status;
        }
        Session session(*this);
        return op();
    }

    int i2c(uint32_t id, drv::PhysicalGpuHandle gpu, drv::I2cInfo* info, bool write);

    // ---- for the operations, under the lock -------------------------------------------
    const SimConfig& config() const { return config_; }
    SimState& state() { return state_; }
    void markDirty() { dirty_ = true; }
    int gpuIndex(drv::PhysicalGpuHandle handle, size_t& index) const;
    int displayIndex(drv::DisplayHandle handle, size_t& index) const;
    drv::PhysicalGpuHandle gpuHandle(size_t index) const;
    drv::DisplayHandle displayHandle(size_t index) const;
    Board board(size_t gpu) { return Board(config_.gpus[gpu], state_.gpus[gpu]); }
    AdapterRegisters& adapterRegisters(size_t display) { return adapters_[display]; }

    int drsCreate(drv::DrsSessionHandle* session);
    int drsDestroy(drv::DrsSessionHandle session);
    int drsLoad(drv::DrsSessionHandle session);
    int drsSave(drv::DrsSessionHandle session);
    int drsBaseProfile(drv::DrsSessionHandle session, drv::DrsProfileHandle* profile);
    // Whether `profile` is the base profile of the open session `session` (whose id it gives).
    bool profileOfSession(drv::DrsSessionHandle session, drv::DrsProfileHandle profile,
                          uint32_t& id) const;
    int drsGet(drv::DrsSessionHandle session, drv::DrsProfileHandle profile, uint32_t settingId,
               drv::DrsSetting& setting);
    int drsSet(drv::DrsSessionHandle session, drv::DrsProfileHandle profile,
               const drv::DrsSetting& setting);

    // ---- hooks ------------------------------------------------------------------------
    void hookEntry(uint32_t id);
    void hookExit(uint32_t id, int result);
    bool isHidden(uint32_t id);

    // ---- control surface ----------------------------------------------------------------
    int reset();
    int loadConfig(const char* config);
    const char* statePath();
    uint32_t gpuCount();
    int injectStatus(uint32_t id, int32_t status, int32_t count);
    int hideId(uint32_t id, bool hidden);
    int setLatencyUs(uint32_t id, uint32_t microseconds);
    int invalidateHandles(int32_t status);
    int setTemperature(uint32_t gpu, int32_t celsius);
    int setLoad(uint32_t gpu, uint32_t percent);
    int freezeTime(bool frozen);
    int advanceTimeMs(uint64_t ms);
    int getRegister(uint32_t gpu, uint8_t port, uint8_t address, uint8_t reg, uint8_t* value);
    int setRegister(uint32_t gpu, uint8_t port, uint8_t address, uint8_t reg, uint8_t value);
    uint64_t callCount(uint32_t id);
    uint64_t hookCalls();
    void clearCounters();
    size_t i2cLogCount();
    int i2cLogGet(size_t index, QvSimI2cEvent* event);
    size_t hookLogCount();
    int hookLogGet(size_t index, QvSimHookEvent* event);
    uint64_t unloadCount();
    int writeBiosImage(uint32_t gpu, const char* path);

private:
    // Holds the state file's lock for one call, brings the state up to date and the model to
    // now on entry, and saves a changed state on exit.
    class Session {
    public:
        explicit Session(SimDriver& driver);
        ~Session();
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

    private:
        SimDriver& driver_;
    };

    struct Injection {
        int32_t status = 0;
        int32_t remaining = 0;  // < 0: every call
    };
    struct DrsSessionState {
        bool loaded = false;
        std::optional<uint32_t> pendingFrameRate;
    };

    SimDriver() = default;

    uint32_t countCall(uint32_t id);
    static void waitLatency(uint32_t microseconds);
    int admit(uint32_t id);
    int takeInjection(uint32_t id);

    int ensureContext();
    int loadContext(const std::string& choice, const std::string& folder);
    void syncState();
    void advanceModel();
    void persist();
    void freshState();
    int64_t modelNowNs() const;
    void clearTestSettings();
    int controlChip(uint32_t gpu, uint8_t port, uint8_t address, int& slot);

    template <typename Op>
    int control(Op&& op) {
        std::lock_guard lock(mutex_);
        if (ensureContext() != drv::kOk) {
            return drv::kError;
        }
        Session session(*this);
        return op();
    }

    std::mutex mutex_;

    // Context: which configuration, and the state of its cards.
    bool contextReady_ = false;
    std::string choice_;
    std::string folder_;
    SimConfig config_;
    uint64_t configHash_ = 0;
    SimStateStore store_;
    SimState state_;
    bool dirty_ = false;
    uint64_t epoch_ = 0;  // changes whenever the configuration is replaced
    std::vector<ChipTransient> chipTransients_;
    std::vector<AdapterRegisters> adapters_;
    std::vector<bool> busBusy_;
    std::vector<bool> busCollided_;

    int initCount_ = 0;
    uint64_t unloadCount_ = 0;

    uint32_t generation_ = 1;
    int32_t staleStatus_ = drv::kHandleInvalidated;

    std::map<uint32_t, DrsSessionState> drsSessions_;
    uint32_t nextDrsSession_ = 1;

    std::unordered_map<uint32_t, Injection> injections_;
    std::unordered_set<uint32_t> hidden_;
    std::unordered_map<uint32_t, uint32_t> latencies_;

    std::unordered_map<uint32_t, uint64_t> callCounts_;
    uint64_t totalCalls_ = 0;
    uint64_t hookExitCalls_ = 0;
    uint64_t sequence_ = 0;
    std::deque<QvSimI2cEvent> i2cLog_;
    std::deque<QvSimHookEvent> hookLog_;
};

}  // namespace qv::sim
