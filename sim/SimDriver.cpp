#include "SimDriver.h"

#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <thread>

#include "SimBios.h"
#include "gpu/DriverIds.h"

namespace qv::sim {

namespace {

// Handles are opaque words: a tag for the kind, the handle generation and the index + 1.
constexpr uintptr_t kGpuHandleTag = 0x51;
constexpr uintptr_t kDisplayHandleTag = 0x52;
constexpr uintptr_t kDrsSessionTag = 0x53;
constexpr uintptr_t kDrsProfileTag = 0x54;
constexpr unsigned kTagShift = 24;
constexpr unsigned kGenerationShift = 8;
constexpr uintptr_t kGenerationMask = 0xFFFF;
constexpr uintptr_t kIndexMask = 0xFF;
constexpr uintptr_t kSessionMask = 0xFFFFFF;

constexpr const char* kBuiltinName = "builtin";
constexpr const char* kPresetFolder = "boards";
constexpr const char* kConfigSuffix = ".conf";
constexpr const char* kStateSuffix = ".state";

uintptr_t makeHandle(uintptr_t tag, uint32_t generation, size_t index) {
    return (tag << kTagShift) | ((generation & kGenerationMask) << kGenerationShift) |
           ((index + 1) & kIndexMask);
}

int64_t realNowNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

uint64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000ULL + static_cast<uint64_t>(ts.tv_nsec);
}

uint64_t threadTag() { return static_cast<uint64_t>(::syscall(SYS_gettid)); }

void warn(const std::string& message) {
    std::fprintf(stderr, "quorvel simulated driver: %s\n", message.c_str());
}

std::string libraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&libraryFolder), &info) == 0 || info.dli_fname == nullptr) {
        return ".";
    }
    const std::string path = info.dli_fname;
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool readWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    text.clear();
    char buffer[8192];
    while (in.read(buffer, sizeof(buffer)) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxConfigBytes) {
            break;  // the parser reports the size
        }
    }
    return true;
}

bool isPresetName(const std::string& s) {
    if (s.empty() || s.size() > 64 || s[0] == '.') {
        return false;
    }
    for (char c : s) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '-' || c == '_' || c == '.';
        if (!ok) {
            return false;
        }
    }
    return true;
}

std::string hex16(uint64_t v) {
    char buffer[17];
    std::snprintf(buffer, sizeof(buffer), "%016llx", static_cast<unsigned long long>(v));
    return buffer;
}

// Which text a configuration names, and the state file name that belongs to it.
int resolveConfig(const std::string& choice, std::string& text, std::string& stateName,
                  std::string& error) {
    if (choice.empty()) {
        text = std::string(builtinConfigText());
        stateName = std::string(kBuiltinName) + kStateSuffix;
        return 0;
    }
    const bool looksLikePath = choice.find('/') != std::string::npos;
    if (!looksLikePath && isPresetName(choice)) {
        const std::string preset = libraryFolder() + "/" + kPresetFolder + "/" + choice + kConfigSuffix;
        if (readWholeFile(preset, text)) {
            stateName = "preset-" + choice + kStateSuffix;
            return 0;
        }
    }
    if (readWholeFile(choice, text)) {
        char* real = ::realpath(choice.c_str(), nullptr);
        const std::string canonical = real != nullptr ? real : choice;
        std::free(real);
        std::string base = canonical.substr(canonical.find_last_of('/') + 1);
        if (base.size() > 5 && base.compare(base.size() - 5, 5, kConfigSuffix) == 0) {
            base.resize(base.size() - 5);
        }
        std::string safe;
        for (char c : base.substr(0, 40)) {
            safe += isPresetName(std::string(1, c)) ? c : '_';
        }
        stateName = "file-" + safe + "-" + hex16(fnv1a(canonical)).substr(0, 8) + kStateSuffix;
        return 0;
    }
    error = "no configuration file or preset named '" + choice + "'";
    return -1;
}

}  // namespace

SimDriver& SimDriver::instance() {
    static SimDriver driver;
    return driver;
}

// ---- calls ----------------------------------------------------------------------------------

uint32_t SimDriver::countCall(uint32_t id) {
    std::lock_guard lock(mutex_);
    ++callCounts_[id];
    ++totalCalls_;
    uint32_t us = 0;
    if (const auto all = latencies_.find(0); all != latencies_.end()) {
        us += all->second;
    }
    if (const auto one = latencies_.find(id); id != 0 && one != latencies_.end()) {
        us += one->second;
    }
    return us;
}

void SimDriver::waitLatency(uint32_t microseconds) {
    if (microseconds > 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
    }
}

int SimDriver::takeInjection(uint32_t id) {
    const auto it = injections_.find(id);
    if (it == injections_.end()) {
        return drv::kOk;
    }
    const int32_t status = it->second.status;
    if (it->second.remaining > 0 && --it->second.remaining == 0) {
        injections_.erase(it);
    }
    return status;
}

int SimDriver::admit(uint32_t id) {
    if (initCount_ == 0) {
        return drv::kApiNotInitialized;
    }
    return takeInjection(id);
}

SimDriver::Session::Session(SimDriver& driver) : driver_(driver) {
    driver_.store_.lock();
    driver_.syncState();
    driver_.advanceModel();
}

SimDriver::Session::~Session() {
    if (driver_.dirty_) {
        driver_.persist();
    }
    driver_.store_.unlock();
}

// ---- context and state ----------------------------------------------------------------------

int SimDriver::ensureContext() {
    // While the driver is initialised the context stays; otherwise the environment may have
    // named another configuration or state folder since the last use.
    if (contextReady_ && initCount_ > 0) {
        return drv::kOk;
    }
    const char* env = std::getenv(kConfigEnvironment);
    const std::string choice = env != nullptr ? env : "";
    const std::string folder = SimStateStore::defaultFolder();
    if (contextReady_ && choice == choice_ && folder == folder_) {
        return drv::kOk;
    }
    return loadContext(choice, folder);
}

int SimDriver::loadContext(const std::string& choice, const std::string& folder) {
    std::string text;
    std::string stateName;
    std::string error;
    if (resolveConfig(choice, text, stateName, error) != 0) {
        warn(error);
        return drv::kError;
    }
    SimConfig config;
    if (parseSimConfig(text, config, error) != kConfigOk) {
        warn("configuration '" + (choice.empty() ? std::string(kBuiltinName) : choice) + "': " + error);
        return drv::kError;
    }
    {
        SimStateStore probe;
        if (probe.open(folder, stateName, error) != 0) {
            warn(error);
            return drv::kError;
        }
    }
    // The new context replaces the old one only now that it is complete.
    config_ = std::move(config);
    configHash_ = fnv1a(text);
    if (store_.open(folder, stateName, error) != 0) {
        warn(error);
    }
    choice_ = choice;
    folder_ = folder;
    ++epoch_;
    chipTransients_.assign(config_.gpus.size(), ChipTransient{});
    adapters_.assign(config_.displays.size(), AdapterRegisters{});
    busBusy_.assign(config_.gpus.size(), false);
    busCollided_.assign(config_.gpus.size(), false);
    drsSessions_.clear();
    clearTestSettings();  // another machine: nothing injected, nothing counted yet
    contextReady_ = true;
    store_.lock();
    std::string stateText;
    const auto result = store_.read(stateText, error);
    bool loaded = false;
    if (result == SimStateStore::ReadResult::Read) {
        SimState parsed;
        if (parseState(stateText, config_, parsed, error) == 0 && parsed.configHash == configHash_) {
            state_ = std::move(parsed);
            loaded = true;
        } else {
            warn("state file " + store_.path() + " does not fit the configuration (" +
                 (error.empty() ? std::string("another configuration") : error) +
                 "); starting from the configured state");
        }
    } else if (result == SimStateStore::ReadResult::Failed) {
        warn(error);
    }
    if (!loaded) {
        freshState();
    }
    store_.unlock();
    return drv::kOk;
}

void SimDriver::freshState() {
    state_ = initialState(config_, configHash_, realNowNs());
    dirty_ = false;
    persist();
}

void SimDriver::persist() {
    std::string error;
    if (store_.write(serializeState(state_), error) != 0) {
        warn(error);
    }
    dirty_ = false;
}

void SimDriver::syncState() {
    if (!store_.changed()) {
        return;
    }
    std::string text;
    std::string error;
    switch (store_.read(text, error)) {
        case SimStateStore::ReadResult::Missing:
            // Deleting the state file puts the cards back to their configured state.
            freshState();
            return;
        case SimStateStore::ReadResult::Failed:
            warn(error);
            return;
        case SimStateStore::ReadResult::Read:
            break;
    }
    SimState parsed;
    if (parseState(text, config_, parsed, error) == 0 && parsed.configHash == configHash_) {
        state_ = std::move(parsed);
        return;
    }
    warn("state file " + store_.path() + " is damaged (" + error + "); starting afresh");
    freshState();
}

int64_t SimDriver::modelNowNs() const {
    if (state_.frozen) {
        return state_.modelNs;
    }
    return state_.modelNs + (realNowNs() - state_.anchorRealNs);
}

void SimDriver::advanceModel() {
    const int64_t now = modelNowNs();
    const int64_t dt = now - state_.physicsNs;
    if (dt > 0) {
        for (size_t g = 0; g < config_.gpus.size(); ++g) {
            board(g).advance(static_cast<double>(dt) / 1e9);
        }
    }
    state_.physicsNs = now;
}

// ---- lifecycle ------------------------------------------------------------------------------

int SimDriver::initialize() {
    {
        // The configuration is settled first: a new one starts with clean counters.
        std::lock_guard lock(mutex_);
        if (ensureContext() != drv::kOk) {
            ++callCounts_[drv::kInitialize];
            ++totalCalls_;
            return drv::kError;
        }
    }
    waitLatency(countCall(drv::kInitialize));
    std::lock_guard lock(mutex_);
    if (const int injected = takeInjection(drv::kInitialize); injected != drv::kOk) {
        return injected;
    }
    if (ensureContext() != drv::kOk) {
        return drv::kError;
    }
    Session session(*this);
    if (initCount_ == 0) {
        if (const char* resetFlag = std::getenv(kResetEnvironment);
            resetFlag != nullptr && std::string(resetFlag) == "1") {
            store_.remove();
            freshState();
            // The programs this process starts (the ROM dump, the fan guard) load the driver
            // too; inheriting the word would make them throw away what this one did since.
            unsetenv(kResetEnvironment);
        }
    }
    ++initCount_;
    return drv::kOk;
}

int SimDriver::unload() {
    waitLatency(countCall(drv::kUnload));
    std::lock_guard lock(mutex_);
    if (const int status = admit(drv::kUnload); status != drv::kOk) {
        return status;
    }
    Session session(*this);
    markDirty();  // the physical snapshot goes to the file for the next user of the cards
    --initCount_;
    ++unloadCount_;
    return drv::kOk;
}

// ---- handles --------------------------------------------------------------------------------

drv::PhysicalGpuHandle SimDriver::gpuHandle(size_t index) const {
    return reinterpret_cast<drv::PhysicalGpuHandle>(makeHandle(kGpuHandleTag, generation_, index));
}

drv::DisplayHandle SimDriver::displayHandle(size_t index) const {
    return reinterpret_cast<drv::DisplayHandle>(makeHandle(kDisplayHandleTag, generation_, index));
}

int SimDriver::gpuIndex(drv::PhysicalGpuHandle handle, size_t& index) const {
    const auto v = reinterpret_cast<uintptr_t>(handle);
    if (v == 0) {
        return drv::kInvalidArgument;
    }
    if ((v >> kTagShift) != kGpuHandleTag) {
        return drv::kExpectedPhysicalGpuHandle;
    }
    if (((v >> kGenerationShift) & kGenerationMask) != (generation_ & kGenerationMask)) {
        return staleStatus_;
    }
    const size_t i = (v & kIndexMask);
    if (i == 0 || i > config_.gpus.size()) {
        return drv::kInvalidHandle;
    }
    index = i - 1;
    return drv::kOk;
}

int SimDriver::displayIndex(drv::DisplayHandle handle, size_t& index) const {
    const auto v = reinterpret_cast<uintptr_t>(handle);
    if (v == 0) {
        return drv::kInvalidArgument;
    }
    if ((v >> kTagShift) != kDisplayHandleTag) {
        return drv::kInvalidHandle;
    }
    if (((v >> kGenerationShift) & kGenerationMask) != (generation_ & kGenerationMask)) {
        return staleStatus_;
    }
    const size_t i = (v & kIndexMask);
    if (i == 0 || i > config_.displays.size()) {
        return drv::kInvalidHandle;
    }
    index = i - 1;
    return drv::kOk;
}

// ---- I2C ------------------------------------------------------------------------------------

int SimDriver::i2c(uint32_t id, drv::PhysicalGpuHandle handle, drv::I2cInfo* info, bool write) {
    waitLatency(countCall(id));
    QvSimI2cEvent event{};
    event.write = write ? 1 : 0;
    event.extended = (id == drv::kI2cReadEx || id == drv::kI2cWriteEx) ? 1 : 0;
    event.threadTag = threadTag();
    size_t gpu = 0;
    uint64_t epoch = 0;
    int slot = -1;
    uint32_t busTimeUs = 0;
    {
        std::lock_guard lock(mutex_);
        int status = admit(id);
        if (status != drv::kOk) {
            return status;
        }
        if (info == nullptr) {
            return drv::kInvalidArgument;
        }
        if (info->version != drv::kI2cInfoVersion) {
            return drv::kIncompatibleStructVersion;
        }
        if (info->registerAddressSize > 1 || (info->registerAddressSize == 1 && info->registerAddress == nullptr) ||
            info->dataSize > kMaxI2cDataBytes || (info->dataSize > 0 && info->data == nullptr) ||
            (!write && info->dataSize == 0) || (info->deviceAddress & 1) != 0) {
            return drv::kInvalidArgument;
        }
        Session session(*this);
        status = gpuIndex(handle, gpu);
        if (status != drv::kOk) {
            return status;
        }
        event.gpu = static_cast<uint32_t>(gpu);
        event.port = info->isDdcPort;
        event.address = info->deviceAddress;
        event.reg = info->registerAddressSize == 1 ? info->registerAddress[0] : 0;
        event.size = static_cast<uint8_t>(info->dataSize);
        if (write) {
            std::copy_n(info->data, std::min<uint32_t>(info->dataSize, sizeof(event.data)), event.data);
        }
        event.sequence = ++sequence_;
        event.startNs = monotonicNs();
        ChipBus bus(config_.gpus[gpu], state_.gpus[gpu], chipTransients_[gpu]);
        slot = bus.findSlot(event.port, event.address);
        if (slot < 0 || busBusy_[gpu]) {
            // Nothing acknowledges the address; or another transaction holds the bus, and
            // both transfers are garbled.
            if (slot >= 0) {
                busCollided_[gpu] = true;
            }
            event.status = drv::kError;
            event.endNs = monotonicNs();
            i2cLog_.push_back(event);
            if (i2cLog_.size() > kMaxLogEntries) {
                i2cLog_.pop_front();
            }
            return drv::kError;
        }
        busBusy_[gpu] = true;
        busCollided_[gpu] = false;
        epoch = epoch_;
        busTimeUs = config_.driver.i2cTimeUs;
    }
    waitLatency(busTimeUs);
    std::lock_guard lock(mutex_);
    int status = drv::kOk;
    if (epoch != epoch_) {
        status = drv::kError;  // the configuration was replaced under the transfer
    } else {
        Session session(*this);
        busBusy_[gpu] = false;
        if (busCollided_[gpu]) {
            status = drv::kError;
        } else {
            ChipBus bus(config_.gpus[gpu], state_.gpus[gpu], chipTransients_[gpu]);
            const auto s = static_cast<size_t>(slot);
            if (write) {
                bus.write(s, event.reg, info->data, info->dataSize);
                markDirty();
            } else {
                bus.read(s, event.reg, info->data, info->dataSize);
                std::copy_n(info->data, std::min<uint32_t>(info->dataSize, sizeof(event.data)),
                            event.data);
            }
        }
    }
    event.status = status;
    event.endNs = monotonicNs();
    i2cLog_.push_back(event);
    if (i2cLog_.size() > kMaxLogEntries) {
        i2cLog_.pop_front();
    }
    return status;
}

// ---- driver settings sessions ---------------------------------------------------------------

int SimDriver::drsCreate(drv::DrsSessionHandle* session) {
    if (session == nullptr) {
        return drv::kInvalidArgument;
    }
    const uint32_t id = nextDrsSession_++ & kSessionMask;
    drsSessions_[id] = DrsSessionState{};
    *session = reinterpret_cast<drv::DrsSessionHandle>((kDrsSessionTag << kTagShift) | id);
    return drv::kOk;
}

namespace {
bool decodeSession(uintptr_t v, uintptr_t tag, uint32_t& id) {
    if ((v >> kTagShift) != tag) {
        return false;
    }
    id = static_cast<uint32_t>(v & kSessionMask);
    return true;
}
}  // namespace

int SimDriver::drsDestroy(drv::DrsSessionHandle session) {
    uint32_t id = 0;
    if (!decodeSession(reinterpret_cast<uintptr_t>(session), kDrsSessionTag, id) ||
        drsSessions_.erase(id) == 0) {
        return drv::kInvalidHandle;
    }
    return drv::kOk;
}

int SimDriver::drsLoad(drv::DrsSessionHandle session) {
    uint32_t id = 0;
    if (!decodeSession(reinterpret_cast<uintptr_t>(session), kDrsSessionTag, id) ||
        drsSessions_.count(id) == 0) {
        return drv::kInvalidHandle;
    }
    drsSessions_[id].loaded = true;
    drsSessions_[id].pendingFrameRate.reset();
    return drv::kOk;
}

int SimDriver::drsSave(drv::DrsSessionHandle session) {
    uint32_t id = 0;
    if (!decodeSession(reinterpret_cast<uintptr_t>(session), kDrsSessionTag, id) ||
        drsSessions_.count(id) == 0) {
        return drv::kInvalidHandle;
    }
    DrsSessionState& s = drsSessions_[id];
    if (!s.loaded) {
        return drv::kError;  // nothing loaded, nothing to save
    }
    if (s.pendingFrameRate.has_value()) {
        state_.drsFrameRate = *s.pendingFrameRate;
        s.pendingFrameRate.reset();
        markDirty();
    }
    return drv::kOk;
}

int SimDriver::drsBaseProfile(drv::DrsSessionHandle session, drv::DrsProfileHandle* profile) {
    uint32_t id = 0;
    if (profile == nullptr) {
        return drv::kInvalidArgument;
    }
    if (!decodeSession(reinterpret_cast<uintptr_t>(session), kDrsSessionTag, id) ||
        drsSessions_.count(id) == 0) {
        return drv::kInvalidHandle;
    }
    if (!drsSessions_[id].loaded) {
        return drv::kError;
    }
    *profile = reinterpret_cast<drv::DrsProfileHandle>((kDrsProfileTag << kTagShift) | id);
    return drv::kOk;
}

bool SimDriver::profileOfSession(drv::DrsSessionHandle session, drv::DrsProfileHandle profile,
                                 uint32_t& id) const {
    uint32_t profileSession = 0;
    return decodeSession(reinterpret_cast<uintptr_t>(session), kDrsSessionTag, id) &&
           drsSessions_.count(id) != 0 &&
           decodeSession(reinterpret_cast<uintptr_t>(profile), kDrsProfileTag, profileSession) &&
           profileSession == id;
}

// The base profile holds the frame-rate limit once one was saved; 0 (the reset) removes it.
// A value set in this session and not saved yet is what the session reads.
int SimDriver::drsGet(drv::DrsSessionHandle session, drv::DrsProfileHandle profile,
                      uint32_t settingId, drv::DrsSetting& setting) {
    uint32_t id = 0;
    if (!profileOfSession(session, profile, id)) {
        return drv::kInvalidHandle;
    }
    const uint32_t value = drsSessions_.at(id).pendingFrameRate.value_or(state_.drsFrameRate);
    if (settingId != drv::kDrsSettingFrameRateLimit || value == 0) {
        return drv::kSettingNotFound;
    }
    setting.settingId = settingId;
    setting.settingType = drv::kDrsSettingTypeDword;
    setting.value = value;
    return drv::kOk;
}

int SimDriver::drsSet(drv::DrsSessionHandle session, drv::DrsProfileHandle profile,
                      const drv::DrsSetting& setting) {
    uint32_t id = 0;
    if (!profileOfSession(session, profile, id)) {
        return drv::kInvalidHandle;
    }
    if (setting.settingType != drv::kDrsSettingTypeDword) {
        return drv::kInvalidArgument;
    }
    if (setting.settingId == drv::kDrsSettingFrameRateLimit) {
        drsSessions_[id].pendingFrameRate = setting.value;
    }
    return drv::kOk;
}

// ---- hooks ----------------------------------------------------------------------------------

void SimDriver::hookEntry(uint32_t id) {
    std::lock_guard lock(mutex_);
    hookLog_.push_back(QvSimHookEvent{id, 0, 0});
    if (hookLog_.size() > kMaxLogEntries) {
        hookLog_.pop_front();
    }
}

void SimDriver::hookExit(uint32_t id, int result) {
    std::lock_guard lock(mutex_);
    ++hookExitCalls_;
    hookLog_.push_back(QvSimHookEvent{id, 1, result});
    if (hookLog_.size() > kMaxLogEntries) {
        hookLog_.pop_front();
    }
}

bool SimDriver::isHidden(uint32_t id) {
    std::lock_guard lock(mutex_);
    return hidden_.count(id) != 0;
}

// ---- control surface ------------------------------------------------------------------------

void SimDriver::clearTestSettings() {
    injections_.clear();
    hidden_.clear();
    latencies_.clear();
    callCounts_.clear();
    totalCalls_ = 0;
    hookExitCalls_ = 0;
    i2cLog_.clear();
    hookLog_.clear();
}

int SimDriver::reset() {
    return control([&] {
        clearTestSettings();
        store_.remove();
        freshState();
        return drv::kOk;
    });
}

int SimDriver::loadConfig(const char* config) {
    std::lock_guard lock(mutex_);
    const std::string choice = config != nullptr ? config : "";
    const std::string folder = SimStateStore::defaultFolder();
    if (loadContext(choice, folder) != drv::kOk) {
        return drv::kError;
    }
    // The choice is the environment's, so that helper programs started from here (the ROM dump)
    // and later loads of the driver see the same boards.
    setenv(kConfigEnvironment, choice.c_str(), 1);
    // Handles given out for the old boards stop working.
    ++generation_;
    staleStatus_ = drv::kHandleInvalidated;
    store_.lock();
    store_.remove();
    freshState();
    store_.unlock();
    return drv::kOk;
}

const char* SimDriver::statePath() {
    std::lock_guard lock(mutex_);
    if (ensureContext() != drv::kOk) {
        return "";
    }
    return store_.path().c_str();
}

uint32_t SimDriver::gpuCount() {
    std::lock_guard lock(mutex_);
    return ensureContext() == drv::kOk ? static_cast<uint32_t>(config_.gpus.size()) : 0;
}

int SimDriver::injectStatus(uint32_t id, int32_t status, int32_t count) {
    std::lock_guard lock(mutex_);
    ensureContext();  // a new machine first, so that what is set here is not cleared at once
    if (count == 0) {
        injections_.erase(id);
    } else {
        injections_[id] = Injection{status, count};
    }
    return drv::kOk;
}

int SimDriver::hideId(uint32_t id, bool hidden) {
    std::lock_guard lock(mutex_);
    ensureContext();  // a new machine first, so that what is set here is not cleared at once
    if (hidden) {
        hidden_.insert(id);
    } else {
        hidden_.erase(id);
    }
    return drv::kOk;
}

int SimDriver::setLatencyUs(uint32_t id, uint32_t microseconds) {
    if (microseconds > kMaxLatencyUs) {
        return drv::kInvalidArgument;
    }
    std::lock_guard lock(mutex_);
    ensureContext();
    if (microseconds == 0) {
        latencies_.erase(id);
    } else {
        latencies_[id] = microseconds;
    }
    return drv::kOk;
}

int SimDriver::invalidateHandles(int32_t status) {
    if (status != drv::kHandleInvalidated && status != drv::kExpectedPhysicalGpuHandle) {
        return drv::kInvalidArgument;
    }
    std::lock_guard lock(mutex_);
    ++generation_;
    staleStatus_ = status;
    return drv::kOk;
}

int SimDriver::setTemperature(uint32_t gpu, int32_t celsius) {
    return control([&] {
        if (gpu >= config_.gpus.size()) {
            return drv::kInvalidArgument;
        }
        if (celsius != kNoPinnedTemperature && (celsius < -40 || celsius > 200)) {
            return drv::kInvalidArgument;
        }
        GpuState& g = state_.gpus[gpu];
        g.pinnedTempC = celsius;
        if (celsius != kNoPinnedTemperature) {
            g.temperatureC = celsius;
        }
        markDirty();
        return drv::kOk;
    });
}

int SimDriver::setLoad(uint32_t gpu, uint32_t percent) {
    return control([&] {
        if (gpu >= config_.gpus.size() || percent > 100) {
            return drv::kInvalidArgument;
        }
        state_.gpus[gpu].load = percent;
        markDirty();
        return drv::kOk;
    });
}

int SimDriver::freezeTime(bool frozen) {
    return control([&] {
        if (frozen == state_.frozen) {
            return drv::kOk;
        }
        state_.modelNs = modelNowNs();
        state_.anchorRealNs = realNowNs();
        state_.frozen = frozen;
        markDirty();
        return drv::kOk;
    });
}

int SimDriver::advanceTimeMs(uint64_t ms) {
    return control([&] {
        constexpr uint64_t kMaxAdvanceMs = 1000ULL * 3600 * 24 * 365;
        if (ms > kMaxAdvanceMs) {
            return drv::kInvalidArgument;
        }
        state_.modelNs += static_cast<int64_t>(ms) * 1000000;
        advanceModel();
        markDirty();
        return drv::kOk;
    });
}

int SimDriver::controlChip(uint32_t gpu, uint8_t port, uint8_t address, int& slot) {
    if (gpu >= config_.gpus.size()) {
        return drv::kInvalidArgument;
    }
    ChipBus bus(config_.gpus[gpu], state_.gpus[gpu], chipTransients_[gpu]);
    slot = bus.findSlot(port, address);
    return slot < 0 ? drv::kNotSupported : drv::kOk;
}

int SimDriver::getRegister(uint32_t gpu, uint8_t port, uint8_t address, uint8_t reg,
                           uint8_t* value) {
    if (value == nullptr) {
        return drv::kInvalidArgument;
    }
    return control([&] {
        int slot = -1;
        if (const int status = controlChip(gpu, port, address, slot); status != drv::kOk) {
            return status;
        }
        ChipBus bus(config_.gpus[gpu], state_.gpus[gpu], chipTransients_[gpu]);
        *value = bus.peek(static_cast<size_t>(slot), reg);
        return drv::kOk;
    });
}

int SimDriver::setRegister(uint32_t gpu, uint8_t port, uint8_t address, uint8_t reg,
                           uint8_t value) {
    return control([&] {
        int slot = -1;
        if (const int status = controlChip(gpu, port, address, slot); status != drv::kOk) {
            return status;
        }
        ChipBus bus(config_.gpus[gpu], state_.gpus[gpu], chipTransients_[gpu]);
        bus.poke(static_cast<size_t>(slot), reg, value);
        markDirty();
        return drv::kOk;
    });
}

uint64_t SimDriver::callCount(uint32_t id) {
    std::lock_guard lock(mutex_);
    if (id == 0) {
        return totalCalls_;
    }
    const auto it = callCounts_.find(id);
    return it == callCounts_.end() ? 0 : it->second;
}

uint64_t SimDriver::hookCalls() {
    std::lock_guard lock(mutex_);
    return hookExitCalls_;
}

void SimDriver::clearCounters() {
    std::lock_guard lock(mutex_);
    callCounts_.clear();
    totalCalls_ = 0;
    hookExitCalls_ = 0;
    i2cLog_.clear();
    hookLog_.clear();
}

size_t SimDriver::i2cLogCount() {
    std::lock_guard lock(mutex_);
    return i2cLog_.size();
}

int SimDriver::i2cLogGet(size_t index, QvSimI2cEvent* event) {
    std::lock_guard lock(mutex_);
    if (event == nullptr || index >= i2cLog_.size()) {
        return drv::kInvalidArgument;
    }
    *event = i2cLog_[index];
    return drv::kOk;
}

size_t SimDriver::hookLogCount() {
    std::lock_guard lock(mutex_);
    return hookLog_.size();
}

int SimDriver::hookLogGet(size_t index, QvSimHookEvent* event) {
    std::lock_guard lock(mutex_);
    if (event == nullptr || index >= hookLog_.size()) {
        return drv::kInvalidArgument;
    }
    *event = hookLog_[index];
    return drv::kOk;
}

uint64_t SimDriver::unloadCount() {
    std::lock_guard lock(mutex_);
    return unloadCount_;
}

int SimDriver::writeBiosImage(uint32_t gpu, const char* path) {
    if (path == nullptr || *path == 0) {
        return drv::kInvalidArgument;
    }
    std::vector<uint8_t> image;
    {
        std::lock_guard lock(mutex_);
        if (ensureContext() != drv::kOk) {
            return drv::kError;
        }
        if (gpu >= config_.gpus.size()) {
            return drv::kInvalidArgument;
        }
        image = biosImage(config_.gpus[gpu]);
    }
    // Written whole beside the target and renamed over it.
    const std::string target = path;
    const std::string temp = target + ".tmp." + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            return drv::kError;
        }
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        return drv::kError;
    }
    return drv::kOk;
}

}  // namespace qv::sim
