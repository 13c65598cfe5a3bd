// Test support for the user settings file: a simulated machine with an initialised layer, files
// in a temporary folder, and a second hardware layer that reads back what the boards report.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "app/UserSettingsFile.h"
#include "gpu/ChipRegisters.h"
#include "gpu/DriverIds.h"
#include "gpu/GpuLayerTestSupport.h"
#include "settings/CIni.h"

namespace qv::test {

// The built-in boards.

inline constexpr uint8_t kPort0 = 0;
inline constexpr uint8_t kPort2 = 2;
inline constexpr uint8_t kPort3 = 3;

inline std::string utf16File(std::u16string_view text, bool byteOrderMark = true) {
    std::string bytes;
    const auto put = [&bytes](char16_t unit) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    };
    if (byteOrderMark) {
        put(settings::CIni::kByteOrderMark);
    }
    for (char16_t unit : text) {
        put(unit);
    }
    return bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// ASCII text as UTF-16, for expected file contents.
inline std::u16string widen(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

class UserSettingsMachine : public ::testing::Test {
protected:
    // `config` is a preset name, or the text of a board configuration.
    explicit UserSettingsMachine(const std::string& config = "") : rig(configPath(config)) {}

    void SetUp() override {
        ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
        rig.layer->waitForProbe();
        rig.sim().clearCounters();
    }

    std::string path() const { return files.file("UserSettings.txt"); }
    void writeText(std::string_view text) { writeBytes(path(), utf16File(widen(text))); }
    int apply() { return app::readAndApplyUserSettings(*rig.layer, clock, state, path()); }

    gpu::PerfClockRequest level(gpu::GpuLayer& layer, uint8_t gpu, int kind) {
        gpu::PerfClockRequest request;
        EXPECT_EQ(layer.readLevelClocks(gpu, request, kind), drv::kOk);
        return request;
    }
    gpu::PerfClockRequest level(uint8_t gpu, int kind) { return level(*rig.layer, gpu, kind); }
    void setLevel(uint8_t gpu, int kind, uint32_t graphics, uint32_t processor, uint32_t memory) {
        gpu::PerfClockRequest request = level(gpu, kind);
        request.graphicsCurrent = graphics;
        request.processorCurrent = processor;
        request.memoryCurrent = memory;
        ASSERT_EQ(rig.layer->writeLevelClocks(gpu, request, kind, 0), drv::kOk);
    }
    uint8_t chipRegister(uint8_t gpu, uint8_t port, uint8_t address, uint8_t reg) {
        uint8_t value = 0;
        EXPECT_EQ(rig.sim().getRegister(gpu, port, address, reg, &value), 0);
        return value;
    }
    uint64_t calls(uint32_t id) { return rig.sim().callCount(id); }

    // A second hardware layer over the same simulated machine, as another process would see it.
    struct SecondLayer {
        SecondLayer() : loader(simLibraryPath()) {
            gpu::GpuLayerServices services;
            services.workingFolder = work.path();
            layer = std::make_unique<gpu::GpuLayer>(loader, services);
            EXPECT_EQ(layer->initialize(), gpu::kInitOk);
            layer->waitForProbe();
        }
        ~SecondLayer() {
            layer.reset();
            loader.unload();
        }
        TempDir work;
        drv::DriverLoader loader;
        std::unique_ptr<gpu::GpuLayer> layer;
    };

    std::string configPath(const std::string& config) {
        return config.find('\n') == std::string::npos ? config
                                                      : writeConfig(files, "boards.conf", config);
    }

    TempDir files;  // before the rig, which may take its configuration from here
    LayerRig rig;
    FakeClock clock;
    app::UserSettingsState state;
};

}  // namespace qv::test
