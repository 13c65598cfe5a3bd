// Fixture for the simulated driver's tests: a simulated machine per test (see SimSession), a
// folder of the test's own, and the driver operations called as the program calls them.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "gpu/DriverIds.h"
#include "gpu/DriverLoader.h"
#include "gpu/DriverStatus.h"
#include "gpu/DriverTypes.h"
#include "support/SimHarness.h"

namespace qv::simtest {

using test::kGpu05E2;
using test::kGpu0E22;
using test::kGpuKepler;
using test::SimControl;
using test::simLibraryPath;

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class SimTest : public ::testing::Test {
protected:
    // `config` as QUORVEL_SIM_CONFIG would name it; "" for the built-in boards.
    void SetUp() override { start(""); }
    void TearDown() override { stop(); }

    void start(const std::string& config) {
        session_.reset();
        unsetenv("QUORVEL_SIM_RESET");
        session_ = std::make_unique<test::SimSession>(config);
    }

    void stop() { session_.reset(); }

    static void setConfig(const std::string& config) {
        if (config.empty()) {
            unsetenv("QUORVEL_SIM_CONFIG");
        } else {
            setenv("QUORVEL_SIM_CONFIG", config.c_str(), 1);
        }
    }

    const SimControl& sim() const { return session_->sim(); }
    drv::DriverLoader& loader() { return session_->loader(); }
    // A folder of the test's own for configurations and files it writes.
    const std::string& folder() const { return folder_.path(); }
    const std::string& stateFolder() const { return session_->stateFolder(); }

    template <typename Fn, typename... Args>
    int call(uint32_t id, Args... args) {
        return loader().call<Fn>(id, args...);
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
    test::TempDir folder_;
    std::unique_ptr<test::SimSession> session_;
};

}  // namespace qv::simtest
