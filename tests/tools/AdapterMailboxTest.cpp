#include <gtest/gtest.h>

#include <array>

#include "gpu/DisplayPortAdapter.h"
#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "tools/AdapterMailbox.h"
#include "tools/AdapterProbe.h"
#include "tools/DisplayAccess.h"
#include "tools/AdapterSimSupport.h"

namespace qv::tools {
namespace {

using test::FakeClock;
using test::SimSession;

constexpr size_t kBuiltinAdapterDisplay = 1;  // the built-in set's DisplayPort output

TEST(DisplayAccess, StartAndShutDownStatusesAndEnumeration) {
    SimSession session;
    DisplayAccess displays(session.loader());
    uint8_t byte = 0;
    drv::CustomDisplay custom{};
    EXPECT_EQ(displays.readDpcd(0, 0, &byte, 1), kDisplayAccessNotStarted);
    EXPECT_EQ(displays.writeDpcd(0, 0, &byte, 1), kDisplayAccessNotStarted);
    EXPECT_EQ(displays.tryCustomDisplay(0, custom), kDisplayAccessNotStarted);
    EXPECT_EQ(displays.saveCustomDisplay(0), kDisplayAccessNotStarted);

    ASSERT_EQ(displays.start(), drv::kOk);
    ASSERT_EQ(displays.displayCount(), 4u) << "three attached displays, then the unattached one";
    uint32_t id = 0;
    EXPECT_EQ(displays.displayId(kBuiltinAdapterDisplay, id), drv::kOk);
    EXPECT_EQ(id, 0x00010100u);
    EXPECT_EQ(displays.displayId(3, id), drv::kOk);
    EXPECT_EQ(id, 0x00030000u);
    EXPECT_EQ(displays.readDpcd(4, 0, &byte, 1), drv::kInvalidArgument);

    displays.shutDown();
    EXPECT_EQ(displays.readDpcd(0, 0, &byte, 1), kDisplayAccessShutDown);
    EXPECT_EQ(displays.saveCustomDisplay(0), kDisplayAccessShutDown);
    EXPECT_EQ(displays.start(), kDisplayAccessShutDown);
}

TEST(DisplayAccess, UnattachedDisplaysFollowAttachedOnes) {
    test::TempDir dir;
    std::string text = test::readPreset("single-1180");
    text.insert(text.find("[gpu]"),
                "[display]\nname = \\\\.\\DISPLAY2\nid = 0x00010100\nconnector = displayport\n"
                "adapter = yes\nunattached = yes\n\n");
    SimSession session(test::writeConfig(dir, "two.conf", text));
    DisplayAccess displays(session.loader());
    ASSERT_EQ(displays.start(), drv::kOk);
    ASSERT_EQ(displays.displayCount(), 2u);
    uint32_t id = 0;
    ASSERT_EQ(displays.displayId(1, id), drv::kOk);
    EXPECT_EQ(id, 0x00010100u);
}

TEST(DisplayAccess, DpcdMovesInTransfersOfSixteenBytes) {
    SimSession session;
    DisplayAccess displays(session.loader());
    ASSERT_EQ(displays.start(), drv::kOk);
    std::array<uint8_t, 40> data{};
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(0xA0 + i);
    }
    session.sim().clearCounters();
    // The register block from the length register on: 0x4B8..0x4DF, the data window inside it.
    ASSERT_EQ(displays.writeDpcd(kBuiltinAdapterDisplay, 0x4B8, data.data(), 40), drv::kOk);
    EXPECT_EQ(session.sim().callCount(drv::kDispDpAuxChannelControl), 3u);
    std::array<uint8_t, 40> back{};
    ASSERT_EQ(displays.readDpcd(kBuiltinAdapterDisplay, 0x4B8, back.data(), 40), drv::kOk);
    EXPECT_EQ(session.sim().callCount(drv::kDispDpAuxChannelControl), 6u);
    EXPECT_EQ(back, data);
    // A transfer that fails ends the move with its status.
    session.sim().injectStatus(drv::kDispDpAuxChannelControl, drv::kError, 1);
    EXPECT_EQ(displays.readDpcd(kBuiltinAdapterDisplay, 0x4B8, back.data(), 40), drv::kError);
    EXPECT_EQ(displays.readDpcd(0, 0x4B0, back.data(), 2), drv::kNotSupported) << "DVI output";
}

TEST(AdapterMailbox, CommandsUnlockReadFirmwareAndReportResults) {
    SimSession session;
    DisplayAccess displays(session.loader());
    ASSERT_EQ(displays.start(), drv::kOk);
    FakeClock clock;
    AdapterMailbox mailbox(displays, kBuiltinAdapterDisplay, clock, kToolMailbox);
    bool present = false;
    bool unlocked = true;
    ASSERT_EQ(mailbox.readCapability(present, unlocked), drv::kOk);
    EXPECT_TRUE(present);
    EXPECT_FALSE(unlocked);
    std::array<uint8_t, 2> probe{};
    EXPECT_GT(mailbox.readCommand(drv::kAdapterCommandProbe, 0, probe), 0) << "locked";

    std::string firmware;
    ASSERT_EQ(mailbox.readFirmwareVersion(firmware), drv::kOk);
    EXPECT_EQ(firmware, "VX-3 FW 1.0.4");
    ASSERT_EQ(mailbox.readCapability(present, unlocked), drv::kOk);
    EXPECT_TRUE(unlocked);
    EXPECT_EQ(mailbox.readCommand(drv::kAdapterCommandProbe, 0, probe), drv::kOk);
    uint8_t monitors = 0;
    ASSERT_EQ(mailbox.readMonitorCount(monitors), drv::kOk);
    EXPECT_EQ(monitors, 3);

    // A non-zero result comes back as it is: a bezel selector the adapter does not know.
    const std::array<uint8_t, 2> bad{9, 1};
    EXPECT_GT(mailbox.writeCommand(drv::kAdapterCommandBezel, 0, bad), 0);
    const std::array<uint8_t, 2> good{drv::kAdapterBezelVertical, 7};
    EXPECT_EQ(mailbox.writeCommand(drv::kAdapterCommandBezel, 0, good), drv::kOk);
    EXPECT_EQ(test::displayStateLine(session, kBuiltinAdapterDisplay), "1 0 7 0 0");
}

TEST(AdapterMailbox, ProbeStyleMovesDataInPiecesAndWidensTheRegisters) {
    SimSession session;
    DisplayAccess displays(session.loader());
    ASSERT_EQ(displays.start(), drv::kOk);
    FakeClock clock;
    AdapterMailbox mailbox(displays, kBuiltinAdapterDisplay, clock, kProbeMailbox);
    ASSERT_EQ(mailbox.unlock(), drv::kOk);
    // 40 bytes of the 128-byte information block: two commands (32 + 8 bytes), the firmware
    // text at its offset 95 lands at 55 of what was read from offset 40.
    std::array<uint8_t, 40> info{};
    session.sim().clearCounters();
    ASSERT_EQ(mailbox.readCommand(drv::kAdapterCommandInfo, 70, info), drv::kOk);
    EXPECT_EQ(std::string(info.begin() + 25, info.begin() + 38), "VX-3 FW 1.0.4");
    // Per piece: offset, length, go, two polls (one busy), data in 16-byte transfers.
    EXPECT_EQ(session.sim().callCount(drv::kDispDpAuxChannelControl), 2u * 5 + 2 + 1);
    // The probe's registers are four bytes wide: a stale high byte would break the offset.
    const std::array<uint8_t, 4> stale{0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(displays.writeDpcd(kBuiltinAdapterDisplay, drv::kDpcdAdapterOffset, stale.data(), 4),
              drv::kOk);
    std::string firmware;
    EXPECT_EQ(mailbox.readFirmwareVersion(firmware), drv::kOk);
    EXPECT_EQ(firmware, "VX-3 FW 1.0.4");
}

TEST(AdapterProbe, FindsTheAdapterAndItsFirmware) {
    SimSession session;
    FakeClock clock;
    std::string firmware;
    EXPECT_EQ(probeAdapter(session.loader(), clock, firmware), drv::kOk);
    EXPECT_EQ(firmware, "VX-3 FW 1.0.4");
}

TEST(AdapterProbe, FailsWithoutAnAdapterOrWhenTheChannelFails) {
    test::TempDir dir;
    {
        SimSession session(test::presetPath("single-1180"));
        FakeClock clock;
        std::string firmware = "untouched";
        EXPECT_NE(probeAdapter(session.loader(), clock, firmware), drv::kOk) << "a DVI monitor";
        EXPECT_EQ(firmware, "untouched");
    }
    {
        SimSession session(test::adapterConfig(dir, ""));
        FakeClock clock;
        std::string firmware;
        EXPECT_EQ(probeAdapter(session.loader(), clock, firmware), drv::kNotSupported)
            << "a DisplayPort monitor without the adapter";
    }
    {
        SimSession session;
        session.sim().injectStatus(drv::kDispDpAuxChannelControl, drv::kError, -1);
        FakeClock clock;
        std::string firmware;
        EXPECT_EQ(probeAdapter(session.loader(), clock, firmware), drv::kError);
    }
}

TEST(AdapterProbe, BusyBitThatNeverClearsGivesUpAfterTenSeconds) {
    test::TempDir dir;
    SimSession session(test::adapterConfig(dir, "adapter = yes\nstuck_busy = yes\n"));
    FakeClock clock;
    std::string firmware;
    EXPECT_EQ(probeAdapter(session.loader(), clock, firmware), kMailboxTimedOut);
    EXPECT_GE(clock.tickMs(), kProbeMailbox.busyLimitMs);
    EXPECT_LT(clock.tickMs(), kProbeMailbox.busyLimitMs + 100);
    EXPECT_TRUE(firmware.empty());
}

TEST(AdapterProbe, SlowAdapterIsWaitedFor) {
    test::TempDir dir;
    SimSession session(test::adapterConfig(dir, "adapter = yes\nbusy_polls = 50\n"));
    FakeClock clock;
    std::string firmware;
    EXPECT_EQ(probeAdapter(session.loader(), clock, firmware), drv::kOk);
    EXPECT_EQ(firmware, "VX-3 FW 1.0.4");
    EXPECT_GT(clock.tickMs(), 0u);
}

}  // namespace
}  // namespace qv::tools
