// The background probe: the video BIOS version and the slot-1 fan chip's abilities, learnt after
// initialisation so that start-up does not wait for them.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "gpu/BiosVersion.h"
#include "gpu/ChipRegisters.h"
#include "gpu/GpuLayer.h"
#include "platform/CompanionFiles.h"

namespace qv::gpu {

namespace {
constexpr uint32_t kProbeMessagesPosted = 2;
constexpr uint32_t kDetectSettleMs = 100;
constexpr uint32_t kConfigSettleMs = 10;
}  // namespace

void GpuLayer::startProbeThread() {
    probeThread_ = std::jthread([this](std::stop_token stop) { runProbe(stop); });
}

void GpuLayer::waitForProbe() {
    if (probeThread_.joinable()) {
        probeThread_.join();
    }
}

std::string GpuLayer::romDumpProgram() const {
    if (!services_.romDumpProgram.empty()) {
        return services_.romDumpProgram;
    }
    return platform::companionFile(kRomDumpProgramName);
}

void GpuLayer::runProbe(std::stop_token stop) {
    if (gpuCount_ == 1) {
        dumpAndParseBios(stop);
    }
    for (uint8_t gpu = 0; gpu < gpuCount_ && !stop.stop_requested(); ++gpu) {
        if (records_[gpu].hasChip(kSlotFanChip1)) {
            detectSlot1Fan(gpu);
        }
    }
    if (services_.poster != nullptr) {
        for (uint32_t i = 0; i < kProbeMessagesPosted; ++i) {
            services_.poster->postThreadMessage(uiThreadId_.load(), kMessageProbeDone, 0, 0);
        }
    }
}

void GpuLayer::dumpAndParseBios(std::stop_token stop) {
    const std::string path = services_.workingFolder + "/" + kRomDumpFile;
    std::remove(path.c_str());
    std::vector<uint8_t> image;
    if (services_.launcher->startHidden(romDumpProgram(), {}, services_.workingFolder)) {
        for (uint32_t waited = 0; waited < kRomDumpWaitMs && !stop.stop_requested();
             waited += kRomDumpPollMs) {
            services_.clock->sleepMs(kRomDumpPollMs);
            std::ifstream in(path, std::ios::binary);
            if (!in) {
                continue;
            }
            image.assign(kRomDumpReadBytes, 0);
            in.read(reinterpret_cast<char*>(image.data()),
                    static_cast<std::streamsize>(image.size()));
            image.resize(static_cast<size_t>(in.gcount()));
            if (image.size() >= kRomDumpEnoughBytes) {
                break;
            }
        }
    }
    GpuRecord& r = records_[0];
    std::string version;
    FanControllerKind kind = r.fanKind;
    if (parseBiosVersion(image.data(), image.size(), version, kind) == 1) {
        r.biosVersion = version.substr(0, kBiosVersionMaxChars);
    }
    r.fanKind = kind;
}

// Learns whether the slot-1 chip sees the fan's tachometer, and keeps the chip's configuration
// byte so that the automatic mode can be put back later.
void GpuLayer::detectSlot1Fan(uint8_t gpu) {
    GpuRecord& r = records_[gpu];
    int mode = 0;
    if (fanMode(gpu, mode) == drv::kOk) {
        int32_t percent = 0;
        fanSpeed(gpu, percent, false);
        setFanLevel(gpu, chip::kSlot1DetectLevel);
        services_.clock->sleepMs(kDetectSettleMs);
        uint32_t goodPairs = 0;
        for (uint32_t i = 0; i < chip::kSlot1DetectReads; ++i) {
            uint16_t count = 0;
            if (readRegisterPair(gpu, kSlotFanChip1, chip::kSlot1RegTachHigh,
                                 chip::kSlot1RegTachLow, PairOrder::kLowFirst, count) == drv::kOk &&
                (count & 0xFF) != chip::kSlot1TachAbsent &&
                (count >> 8) != chip::kSlot1TachAbsent) {
                ++goodPairs;
            }
        }
        if (goodPairs > 1) {
            r.fanCapability |= kFanCapabilityTachometer;
        }
        if (mode == kFanModeAutomatic) {
            setFanAutomatic(gpu);
        } else {
            setFanLevel(gpu, static_cast<uint32_t>(std::max(percent, 0)));
        }
    }
    const uint8_t configRegister =
        r.fanKind == kFanSlot1Chip ? chip::kSlot1RegConfigKind2 : chip::kSlot1RegConfigOther;
    writeRegister(gpu, kSlotFanChip1, configRegister, chip::kSlot1ConfigProbe);
    services_.clock->sleepMs(kConfigSettleMs);
    uint8_t config = 0;
    if (readRegister(gpu, kSlotFanChip1, configRegister, config) == drv::kOk &&
        (config & chip::kSlot1ConfigValidBit) != 0) {
        r.savedFanConfig = config;
    }
}

}  // namespace qv::gpu
