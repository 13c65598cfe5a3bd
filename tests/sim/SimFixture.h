// Fixture for the simulated driver's tests: a private state folder and configuration per test,
// the library loaded through the program's loader, and the control surface resolved from it.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "SimControl.h"
#include "gpu/DriverIds.h"
#include "gpu/DriverLoader.h"
#include "gpu/DriverStatus.h"
#include "gpu/DriverTypes.h"

namespace qv::simtest {

inline std::string binFolder() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    const std::string path(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.find_last_of('/'));
}

inline std::string libraryPath() { return binFolder() + "/libqvsim.so"; }

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The control functions, looked up in the loaded library.
struct Control {
    explicit Control(void* module) : module_(module) {}
    template <typename Fn>
    Fn get(const char* name) const {
        auto fn = reinterpret_cast<Fn>(dlsym(module_, name));
        if (fn == nullptr) {
            ADD_FAILURE() << "missing export " << name;
        }
        return fn;
    }
    int reset() const { return get<decltype(&qvsim_reset)>("qvsim_reset")(); }
    int loadConfig(const char* c) const { return get<decltype(&qvsim_load_config)>("qvsim_load_config")(c); }
    std::string statePath() const { return get<decltype(&qvsim_state_path)>("qvsim_state_path")(); }
    uint32_t gpuCount() const { return get<decltype(&qvsim_gpu_count)>("qvsim_gpu_count")(); }
    int inject(uint32_t id, int32_t status, int32_t count) const {
        return get<decltype(&qvsim_inject_status)>("qvsim_inject_status")(id, status, count);
    }
    int hide(uint32_t id, int hidden) const { return get<decltype(&qvsim_hide_id)>("qvsim_hide_id")(id, hidden); }
    int latency(uint32_t id, uint32_t us) const {
        return get<decltype(&qvsim_set_latency_us)>("qvsim_set_latency_us")(id, us);
    }
    int invalidate(int32_t status) const {
        return get<decltype(&qvsim_invalidate_handles)>("qvsim_invalidate_handles")(status);
    }
    int setTemperature(uint32_t gpu, int32_t c) const {
        return get<decltype(&qvsim_set_temperature)>("qvsim_set_temperature")(gpu, c);
    }
    int setLoad(uint32_t gpu, uint32_t p) const { return get<decltype(&qvsim_set_load)>("qvsim_set_load")(gpu, p); }
    int freeze(int f) const { return get<decltype(&qvsim_freeze_time)>("qvsim_freeze_time")(f); }
    int advance(uint64_t ms) const { return get<decltype(&qvsim_advance_time_ms)>("qvsim_advance_time_ms")(ms); }
    int getRegister(uint32_t gpu, uint8_t port, uint8_t address, uint8_t reg, uint8_t* v) const {
        return get<decltype(&qvsim_get_register)>("qvsim_get_register")(gpu, port, address, reg, v);
    }
    int setRegister(uint32_t gpu, uint8_t port, uint8_t address, uint8_t reg, uint8_t v) const {
        return get<decltype(&qvsim_set_register)>("qvsim_set_register")(gpu, port, address, reg, v);
    }
    uint64_t callCount(uint32_t id) const { return get<decltype(&qvsim_call_count)>("qvsim_call_count")(id); }
    uint64_t hookCalls() const { return get<decltype(&qvsim_hook_calls)>("qvsim_hook_calls")(); }
    void clearCounters() const { get<decltype(&qvsim_clear_counters)>("qvsim_clear_counters")(); }
    uint64_t unloadCount() const { return get<decltype(&qvsim_unload_count)>("qvsim_unload_count")(); }
    int writeBios(uint32_t gpu, const char* path) const {
        return get<decltype(&qvsim_write_bios_image)>("qvsim_write_bios_image")(gpu, path);
    }
    std::vector<QvSimI2cEvent> i2cLog() const {
        const size_t n = get<decltype(&qvsim_i2c_log_count)>("qvsim_i2c_log_count")();
        std::vector<QvSimI2cEvent> events(n);
        for (size_t i = 0; i < n; ++i) {
            get<decltype(&qvsim_i2c_log_get)>("qvsim_i2c_log_get")(i, &events[i]);
        }
        return events;
    }
    std::vector<QvSimHookEvent> hookLog() const {
        const size_t n = get<decltype(&qvsim_hook_log_count)>("qvsim_hook_log_count")();
        std::vector<QvSimHookEvent> events(n);
        for (size_t i = 0; i < n; ++i) {
            get<decltype(&qvsim_hook_log_get)>("qvsim_hook_log_get")(i, &events[i]);
        }
        return events;
    }

private:
    void* module_;
};

class SimTest : public ::testing::Test {
protected:
    // `config` as QUORVEL_SIM_CONFIG would name it; "" for the built-in boards.
    void SetUp() override { start(""); }
    void TearDown() override { stop(); }

    void start(const std::string& config) {
        std::string pattern = (std::filesystem::temp_directory_path() / "qvsim-test-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back(0);
        ASSERT_NE(mkdtemp(buffer.data()), nullptr);
        folder_ = buffer.data();
        setenv("QUORVEL_SIM_STATE_DIR", (folder_ + "/state").c_str(), 1);
        setConfig(config);
        unsetenv("QUORVEL_SIM_RESET");
        module_ = dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module_, nullptr) << dlerror();
        control_ = std::make_unique<Control>(module_);
        loader_ = std::make_unique<drv::DriverLoader>(libraryPath());
    }

    void stop() {
        loader_.reset();
        control_.reset();
        if (module_ != nullptr) {
            dlclose(module_);
            module_ = nullptr;
        }
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

    static void setConfig(const std::string& config) {
        if (config.empty()) {
            unsetenv("QUORVEL_SIM_CONFIG");
        } else {
            setenv("QUORVEL_SIM_CONFIG", config.c_str(), 1);
        }
    }

    const Control& sim() const { return *control_; }
    drv::DriverLoader& loader() { return *loader_; }
    const std::string& folder() const { return folder_; }

    template <typename Fn, typename... Args>
    int call(uint32_t id, Args... args) {
        return loader_->call<Fn>(id, args...);
    }

    std::vector<drv::PhysicalGpuHandle> gpus() {
        drv::PhysicalGpuHandle handles[drv::kMaxPhysicalGpus] = {};
        uint32_t count = 0;
        EXPECT_EQ(call<drv::EnumPhysicalGpusFn>(drv::kEnumPhysicalGpus, handles, &count), drv::kOk);
        return std::vector<drv::PhysicalGpuHandle>(handles, handles + count);
    }

    drv::DisplayHandle display(uint32_t index) {
        drv::DisplayHandle handle = nullptr;
        EXPECT_EQ(call<drv::EnumNvidiaDisplayHandleFn>(drv::kEnumNvidiaDisplayHandle, index, &handle),
                  drv::kOk);
        return handle;
    }

    // One-byte register transfers as the program makes them.
    int i2cRead(drv::PhysicalGpuHandle gpu, uint8_t port, uint8_t address, uint8_t reg, uint8_t* data,
                uint32_t size = 1, bool extended = false) {
        drv::I2cInfo info = i2cInfo(port, address, &reg, data, size);
        if (extended) {
            uint32_t flags = 0;
            return call<drv::I2cReadExFn>(drv::kI2cReadEx, gpu, &info, &flags);
        }
        return call<drv::I2cReadFn>(drv::kI2cRead, gpu, &info);
    }
    int i2cWrite(drv::PhysicalGpuHandle gpu, uint8_t port, uint8_t address, uint8_t reg, uint8_t value,
                 bool extended = false) {
        drv::I2cInfo info = i2cInfo(port, address, &reg, &value, 1);
        if (extended) {
            uint32_t flags = 0;
            return call<drv::I2cWriteExFn>(drv::kI2cWriteEx, gpu, &info, &flags);
        }
        return call<drv::I2cWriteFn>(drv::kI2cWrite, gpu, &info);
    }
    uint8_t reg(drv::PhysicalGpuHandle gpu, uint8_t port, uint8_t address, uint8_t r) {
        uint8_t v = 0;
        EXPECT_EQ(i2cRead(gpu, port, address, r, &v), drv::kOk) << "register " << int(r);
        return v;
    }

    static drv::I2cInfo i2cInfo(uint8_t port, uint8_t address, uint8_t* reg, uint8_t* data, uint32_t size) {
        drv::I2cInfo info{};
        info.version = drv::kI2cInfoVersion;
        info.displayMask = 1;
        info.isDdcPort = port;
        info.deviceAddress = address;
        info.registerAddress = reg;
        info.registerAddressSize = 1;
        info.data = data;
        info.dataSize = size;
        info.speedKHz = drv::kI2cSpeedKHz;
        return info;
    }

    template <typename T>
    static T versioned(uint32_t version) {
        T value{};
        value.version = version;
        return value;
    }

    drv::CoolerSettings cooler(drv::PhysicalGpuHandle gpu) {
        auto s = versioned<drv::CoolerSettings>(drv::kCoolerSettingsVersion);
        EXPECT_EQ(call<drv::GpuGetCoolerSettingsFn>(drv::kGpuGetCoolerSettings, gpu, drv::kCoolerTargetAll, &s),
                  drv::kOk);
        return s;
    }
    int setCooler(drv::PhysicalGpuHandle gpu, uint32_t level, uint32_t policy) {
        auto levels = versioned<drv::CoolerLevels>(drv::kCoolerLevelsVersion);
        levels.cooler[0].level = level;
        levels.cooler[0].policy = policy;
        return call<drv::GpuSetCoolerLevelsFn>(drv::kGpuSetCoolerLevels, gpu, 0u, &levels);
    }
    int temperature(drv::PhysicalGpuHandle gpu) {
        auto t = versioned<drv::ThermalSettings>(drv::kThermalSettingsVersion);
        EXPECT_EQ(call<drv::GpuGetThermalSettingsFn>(drv::kGpuGetThermalSettings, gpu, drv::kThermalAllSensors, &t),
                  drv::kOk);
        return static_cast<int>(t.sensor[0].currentTemp);
    }
    drv::PerfClockTable table(drv::PhysicalGpuHandle gpu, int32_t level = drv::kPerfAllLevels) {
        auto t = std::make_unique<drv::PerfClockTable>();
        t->version = drv::kPerfClockTableVersion;
        EXPECT_EQ(call<drv::GpuGetPerfClocksFn>(drv::kGpuGetPerfClocks, gpu, level, t.get()), drv::kOk);
        return *t;
    }

private:
    std::string folder_;
    void* module_ = nullptr;
    std::unique_ptr<Control> control_;
    std::unique_ptr<drv::DriverLoader> loader_;
};

}  // namespace qv::simtest
