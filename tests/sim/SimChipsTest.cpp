// The board chips at register level, reached through the driver's I2C calls.
#include <algorithm>
#include <cmath>
#include <latch>
#include <memory>
#include <mutex>
#include <thread>

#include "SimFixture.h"

namespace qv::simtest {
namespace {

using namespace qv::drv;

constexpr uint8_t kPort0 = 0, kPort2 = 2, kPort3 = 3;

class ChipsFixture : public SimTest {
protected:
    uint32_t coreMv(PhysicalGpuHandle gpu) {
        auto v = versioned<VoltageDomainsStatus>(kVoltageDomainsStatusVersion);
        EXPECT_EQ(call<GpuGetVoltageDomainsStatusFn>(kGpuGetVoltageDomainsStatus, gpu, &v), kOk);
        return v.entries[0].voltageUv / 1000;
    }
    // The slot-0 chip's temperature as the program reads it: start a conversion, then read.
    int chipTemperature(PhysicalGpuHandle gpu) {
        const uint8_t control = reg(gpu, kPort2, 0x5C, 0x01);
        EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x01, control | 0x04), kOk);
        return reg(gpu, kPort2, 0x5C, 0x14);
    }
};

using SimChipRegisters = ChipsFixture;

TEST_F(SimChipRegisters, NothingAnswersWhereTheBoardHasNoChip) {
    const auto handles = gpus();
    uint8_t v = 0;
    EXPECT_EQ(i2cRead(handles[0], kPort2, 0x5C, 0x04, &v), kError) << "no fan chip on the Kepler board";
    EXPECT_EQ(i2cRead(handles[kGpu0E22], kPort2, 0x5A, 0x04, &v), kError);
    EXPECT_EQ(i2cRead(handles[kGpu0E22], kPort2, 0x60, 0x01, &v), kError) << "no slot-3 chip";
    EXPECT_EQ(i2cRead(handles[kGpu0E22], kPort3, 0xE0, 0x1A, &v), kError) << "no slot-2 chip";
    EXPECT_EQ(i2cWrite(handles[kGpu05E2], kPort0, 0x60, 0x01, 1), kError);
    const auto log = sim().i2cLog();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[4].write, 1u);
    EXPECT_EQ(log[4].status, kError);
    EXPECT_EQ(log[1].address, 0x5A);
}

TEST_F(SimChipRegisters, SlotZeroFanChipIdentityAndConfiguration) {
    const auto gpu = gpus()[kGpu0E22];
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x04), 0x5C);
    const uint8_t config = reg(gpu, kPort2, 0x5C, 0x02);
    EXPECT_GE(config, 64);
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x02, config & 0x3F), kOk);
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x02), config & 0x3F);
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x92) & 0x04, 0x04) << "capability 64";
    reg(gpu, kPort2, 0x5C, 0x1A);  // readable, as the temperature read touches it
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x04, 0x11), kOk);
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x04), 0x5C) << "the address register is read-only";
}

TEST_F(SimChipRegisters, SlotZeroTemperatureNeedsAConversionAndItsOffset) {
    const auto gpu = gpus()[kGpu0E22];
    sim().freezeTime(1);
    sim().setTemperature(kGpu0E22, 60);
    const int uncorrected = chipTemperature(gpu);
    EXPECT_NEAR(uncorrected, 60 - 4, 1) << "the chip reads below the GPU";
    sim().setTemperature(kGpu0E22, 90);
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x14), uncorrected) << "no new conversion, no new value";
    EXPECT_NEAR(chipTemperature(gpu), 86, 1);
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x01) & 0x04, 0) << "the conversion bit clears itself";

    // Calibration as the program does it: the mean difference goes into the offset register.
    int sum = 0;
    for (int i = 0; i < 8; ++i) {
        sum += 90 - chipTemperature(gpu);
    }
    const int offset = static_cast<int>(std::lround(sum / 8.0));
    EXPECT_EQ(offset, 4);
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x64, static_cast<uint8_t>(offset)), kOk);
    EXPECT_NEAR(chipTemperature(gpu), 90, 1);
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x64, static_cast<uint8_t>(-4)), kOk);
    EXPECT_NEAR(chipTemperature(gpu), 82, 1) << "the offset is signed";
}

TEST_F(SimChipRegisters, SlotZeroManualPeriodAndAutomaticCurveDriveTheFan) {
    const auto gpu = gpus()[kGpu0E22];
    sim().freezeTime(1);
    auto tachRpm = [&] {
        const uint32_t count = 256u * reg(gpu, kPort2, 0x5C, 0x16) + reg(gpu, kPort2, 0x5C, 0x17);
        return count == 0 ? 0u : 1500000u / count;
    };
    // Manual: period = 1 500 000 / rpm.
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x60, 0x01), kOk);
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x74, 0x03), kOk);  // 1000 = 1500 rpm
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x75, 0xE8), kOk);
    sim().advanceTimeMs(20000);
    EXPECT_NEAR(tachRpm(), 1500u, 15u);
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x74), 0x03);
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x75), 0xE8);
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x74, 0), kOk);
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x75, 0), kOk);
    sim().advanceTimeMs(30000);
    EXPECT_EQ(tachRpm(), 0u) << "period 0 stops the fan";

    // Automatic: temperature points 75, 50, 0, 0 and rpm points full, 75 %, 51 %, 51 %, 51 %.
    const uint8_t temps[] = {75, 50, 0, 0};
    const uint32_t rpms[] = {3000, 2250, 1530, 1530, 1530};
    for (uint8_t i = 0; i < 4; ++i) {
        EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, static_cast<uint8_t>(0xA1 + i), temps[i]), kOk);
    }
    for (uint8_t i = 0; i < 5; ++i) {
        EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, static_cast<uint8_t>(0xA5 + i),
                           static_cast<uint8_t>((1500000u / rpms[i]) >> 4)),
                  kOk);
    }
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x60, 0x00), kOk);
    sim().setTemperature(kGpu0E22, 45);
    sim().advanceTimeMs(20000);
    EXPECT_NEAR(tachRpm(), 1536u, 20u);  // 1 500 000 / (61 << 4)
    sim().setTemperature(kGpu0E22, 85);
    sim().advanceTimeMs(20000);
    EXPECT_NEAR(tachRpm(), 3000u, 20u) << "asked 1 500 000 / (31 << 4), held at full scale";
}

TEST_F(SimChipRegisters, SlotZeroAnalogueReadings) {
    const auto gpu = gpus()[kGpu0E22];
    const double volts = reg(gpu, kPort2, 0x5C, 0x13) * 0.008 * 1.47;
    EXPECT_NEAR(volts, coreMv(gpu) / 1000.0, 0.012);
    EXPECT_NEAR(reg(gpu, kPort2, 0x5C, 0x12) * 0.008 * 6.55, 12.0, 0.06);
    int small = 0;
    int pairs = 64;
    for (int i = 0; i < pairs; ++i) {
        const uint8_t first = reg(gpu, kPort2, 0x5C, 0x1F);
        const uint8_t second = reg(gpu, kPort2, 0x5C, 0x1F);
        const double value = (first * 0.008 + second * 0.002) * 6.55;
        small += value <= 0.2 ? 1 : 0;
    }
    EXPECT_GE(small, pairs * 3 / 4);
    EXPECT_LT(small, pairs) << "now and then a reading spikes and must be read again";
}

TEST_F(SimChipRegisters, PowerMonitorsAddUpToTheBoardPower) {
    const auto gpu = gpus()[kGpu0E22];
    sim().setLoad(kGpu0E22, 100);
    uint32_t sum = 0;
    for (uint8_t address : {0x90, 0x92, 0x94}) {
        EXPECT_EQ(reg(gpu, kPort0, address, 0x01), 0x27);
        uint8_t word[2] = {};
        ASSERT_EQ(i2cRead(gpu, kPort0, address, 0x03, word, 2), kOk);
        sum += 256u * word[0] + word[1];
        ASSERT_EQ(i2cRead(gpu, kPort0, address, 0x02, word, 2), kOk);
        EXPECT_EQ(256u * word[0] + word[1], 9600u) << "12 V in 1.25 mV steps";
    }
    EXPECT_NEAR(sum * 0.0049, 150.0, 1.0);
    sim().setLoad(kGpu0E22, 0);
    uint8_t word[2] = {};
    ASSERT_EQ(i2cRead(gpu, kPort0, 0x90, 0x03, word, 2), kOk);
    EXPECT_NEAR((256u * word[0] + word[1]) * 0.0049, 20.0 * 0.45, 0.5);
}

TEST_F(SimChipRegisters, RegulatorsOfTheFermiBoard) {
    const auto gpu = gpus()[kGpu0E22];
    const uint32_t base = coreMv(gpu);
    EXPECT_EQ(base, 875u);
    // Slot 6: the step reads back as written and raises the core voltage.
    EXPECT_EQ(reg(gpu, kPort0, 0x60, 0x01), 0);
    EXPECT_EQ(i2cWrite(gpu, kPort0, 0x60, 0x01, 1), kOk);
    EXPECT_EQ(reg(gpu, kPort0, 0x60, 0x01), 1);
    EXPECT_EQ(coreMv(gpu), base + 12);
    // Slot 7 answers 12 on its identity register; its code adds steps as well.
    EXPECT_EQ(reg(gpu, kPort0, 0xE0, 0x1A), 12);
    EXPECT_EQ(i2cWrite(gpu, kPort0, 0xE0, 0x15, 4), kOk);
    EXPECT_EQ(coreMv(gpu), base + 62);
    EXPECT_EQ(reg(gpu, kPort0, 0x30, 0x01), 1) << "slot 8";
}

TEST_F(SimChipRegisters, SlotOneFanChipOfTheFamilyABoard) {
    const auto gpu = gpus()[kGpu05E2];
    sim().freezeTime(1);
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x3D), 's');
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x3E), 'A');
    EXPECT_NE(reg(gpu, kPort2, 0x5C, 0x04), 0x5C) << "not mistaken for the slot-0 chip";
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x7B, 'U'), kOk);

    // The driver cooler drives the fan; the chip shows its duty and counts its turns.
    EXPECT_EQ(setCooler(gpu, 45, kCoolerPolicyManual), kOk);
    sim().advanceTimeMs(20000);
    EXPECT_NEAR(reg(gpu, kPort2, 0x5C, 0x30) * 100 / 255, 45, 1);
    const uint32_t count = reg(gpu, kPort2, 0x5C, 0x28) + 256u * reg(gpu, kPort2, 0x5C, 0x29);
    EXPECT_NEAR(5400000u / count, 1440u, 15u);

    // Manual mode on the chip: bits 0xE0 of 0x5D, duty in 0x31.
    EXPECT_LT(reg(gpu, kPort2, 0x5C, 0x5D), 224);
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x5D, reg(gpu, kPort2, 0x5C, 0x5D) | 0xE0), kOk);
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x31, 255), kOk);
    sim().advanceTimeMs(20000);
    const uint32_t fast = reg(gpu, kPort2, 0x5C, 0x28) + 256u * reg(gpu, kPort2, 0x5C, 0x29);
    EXPECT_NEAR(5400000u / fast, 3200u, 40u);
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x31), 255);

    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x39, 0xFF), kOk);
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x39) & 0x80, 0x80);
    EXPECT_EQ(i2cWrite(gpu, kPort2, 0x5C, 0x38, 0xFF), kOk);
    EXPECT_EQ(reg(gpu, kPort2, 0x5C, 0x38) & 0x80, 0x80);
}

TEST_F(SimChipRegisters, SlotTwoRegulatorFollowsTheLevel) {
    const auto gpu = gpus()[kGpu05E2];
    EXPECT_EQ(reg(gpu, kPort3, 0xE0, 0x1A), 10);
    EXPECT_EQ((reg(gpu, kPort3, 0xE0, 0x1C) >> 4) & 3, 0);
    EXPECT_EQ(coreMv(gpu), 1050u);  // code 48
    sim().setLoad(kGpu05E2, 100);
    EXPECT_EQ((reg(gpu, kPort3, 0xE0, 0x1C) >> 4) & 3, 2);
    EXPECT_EQ(reg(gpu, kPort3, 0xE0, 0x17) & 0x7F, 54);
    EXPECT_EQ(coreMv(gpu), 1125u);
    EXPECT_EQ(i2cWrite(gpu, kPort3, 0xE0, 0x17, 60), kOk);
    EXPECT_EQ(coreMv(gpu), 1200u);
    EXPECT_EQ(i2cWrite(gpu, kPort3, 0xE0, 0x17, 0x80 | 44), kOk);
    EXPECT_EQ(coreMv(gpu), 1000u) << "only seven bits count";
}

TEST_F(SimChipRegisters, ExtendedCallsAndRequestChecks) {
    const auto gpu = gpus()[kGpu0E22];
    uint8_t v = 0;
    EXPECT_EQ(i2cRead(gpu, kPort2, 0x5C, 0x04, &v, 1, true), kOk);
    EXPECT_EQ(v, 0x5C);
    EXPECT_EQ(i2cWrite(gpu, kPort0, 0x60, 0x01, 3, true), kOk);
    EXPECT_EQ(reg(gpu, kPort0, 0x60, 0x01), 3);
    const auto log = sim().i2cLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].extended, 1u);
    EXPECT_EQ(log[1].extended, 1u);
    EXPECT_EQ(log[1].data[0], 3);
    EXPECT_EQ(log[2].extended, 0u);
    EXPECT_LT(log[0].sequence, log[1].sequence);

    uint8_t r = 0x04;
    I2cInfo info = i2cInfo(kPort2, 0x5C, &r, &v, 1);
    info.version = kI2cInfoVersion + 1;
    EXPECT_EQ(call<I2cReadFn>(kI2cRead, gpu, &info), kIncompatibleStructVersion);
    info = i2cInfo(kPort2, 0x5C, &r, nullptr, 1);
    EXPECT_EQ(call<I2cReadFn>(kI2cRead, gpu, &info), kInvalidArgument);
    info = i2cInfo(kPort2, 0x5D, &r, &v, 1);
    EXPECT_EQ(call<I2cReadFn>(kI2cRead, gpu, &info), kInvalidArgument) << "odd address";
    EXPECT_EQ(call<I2cReadFn>(kI2cRead, gpu, nullptr), kInvalidArgument);
}

bool overlapping(std::vector<QvSimI2cEvent> events) {
    std::sort(events.begin(), events.end(),
              [](const QvSimI2cEvent& a, const QvSimI2cEvent& b) { return a.startNs < b.startNs; });
    for (size_t i = 1; i < events.size(); ++i) {
        if (events[i].gpu == events[i - 1].gpu && events[i].startNs < events[i - 1].endNs) {
            return true;
        }
    }
    return false;
}

TEST_F(SimChipRegisters, TwoThreadsOnOneBusCollideUnlessSerialised) {
    const auto gpu = gpus()[kGpu0E22];
    std::unique_ptr<std::latch> start;
    auto hammer = [&](std::mutex* busLock, int* failures) {
        start->arrive_and_wait();
        for (int i = 0; i < 150; ++i) {
            uint8_t v = 0;
            std::unique_lock<std::mutex> lock;
            if (busLock != nullptr) {
                lock = std::unique_lock(*busLock);
            }
            if (i2cRead(gpu, kPort2, 0x5C, 0x04, &v) != kOk) {
                ++*failures;
            }
        }
    };
    int failuresA = 0, failuresB = 0;
    start = std::make_unique<std::latch>(2);
    {
        std::thread a(hammer, nullptr, &failuresA);
        std::thread b(hammer, nullptr, &failuresB);
        a.join();
        b.join();
    }
    auto log = sim().i2cLog();
    EXPECT_TRUE(overlapping(log));
    EXPECT_GT(failuresA + failuresB, 0) << "a collision garbles the transfers";

    sim().clearCounters();
    std::mutex busLock;
    failuresA = failuresB = 0;
    start = std::make_unique<std::latch>(2);
    {
        std::thread a(hammer, &busLock, &failuresA);
        std::thread b(hammer, &busLock, &failuresB);
        a.join();
        b.join();
    }
    log = sim().i2cLog();
    ASSERT_EQ(log.size(), 300u);
    EXPECT_FALSE(overlapping(log));
    EXPECT_EQ(failuresA + failuresB, 0);
    EXPECT_NE(std::find_if(log.begin(), log.end(),
                           [&](const QvSimI2cEvent& e) { return e.threadTag != log[0].threadTag; }),
              log.end());
}

TEST_F(SimChipRegisters, ControlSurfaceReachesRegistersDirectly) {
    uint8_t v = 0;
    EXPECT_EQ(sim().getRegister(kGpu0E22, kPort2, 0x5C, 0x04, &v), kOk);
    EXPECT_EQ(v, 0x5C);
    EXPECT_EQ(sim().setRegister(kGpu0E22, kPort2, 0x5C, 0x92, 0x00), kOk);
    EXPECT_EQ(sim().getRegister(kGpu0E22, kPort2, 0x5C, 0x92, &v), kOk);
    EXPECT_EQ(v, 0x00);
    EXPECT_EQ(sim().getRegister(kGpu0E22, kPort3, 0xE0, 0x1A, &v), kNotSupported);
    EXPECT_EQ(sim().getRegister(9, kPort2, 0x5C, 0x04, &v), kInvalidArgument);
    EXPECT_EQ(sim().i2cLog().size(), 0u) << "the control surface is not bus traffic";
}

}  // namespace
}  // namespace qv::simtest
