#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/OverlayShared.h"
#include "support/ScopedEnvironment.h"

namespace qv::platform {
namespace {

// A name of its own per test and process, removed afterwards.
class OverlaySharedTest : public ::testing::Test {
protected:
    OverlaySharedTest()
        : name_("/quorvel-overlay-test-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
    ~OverlaySharedTest() override { shm_unlink(name_.c_str()); }

    std::string name_;
};

TEST_F(OverlaySharedTest, OpenCreatesAPrivateRecordMarkedRunning) {
    OverlayShared overlay(name_);
    ASSERT_FALSE(overlay.isOpen());
    ASSERT_EQ(overlay.open(), kOverlayOk);
    ASSERT_TRUE(overlay.isOpen());
    EXPECT_EQ(overlay.runWord(), 1u);
    EXPECT_EQ(overlay.exitByte(), 0u);
    EXPECT_EQ(overlay.sequence(), 0u);
    EXPECT_EQ(overlay.text(), "");

    const int fd = shm_open(name_.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    struct stat info {};
    ASSERT_EQ(fstat(fd, &info), 0);
    close(fd);
    EXPECT_EQ(static_cast<size_t>(info.st_size), kOverlaySharedBytes);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(OverlaySharedTest, FieldsLandAtTheirOffsetsForAnotherReader) {
    OverlayShared program(name_);
    ASSERT_EQ(program.open(), kOverlayOk);
    program.writeStartup(true, 3);
    program.setText("ZENTRAX QUORVEL K \nTEMP.:65\rC\n");

    // The overlay window maps the same object on its own.
    OverlayShared window(name_);
    ASSERT_EQ(window.open(), kOverlayOk);
    EXPECT_EQ(window.frameRateShown(), 1u);
    EXPECT_EQ(window.gpuCount(), 3u);
    EXPECT_EQ(window.sequence(), 1u);
    EXPECT_EQ(window.text(), "ZENTRAX QUORVEL K \nTEMP.:65\rC\n");

    const int fd = shm_open(name_.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    void* raw = mmap(nullptr, kOverlaySharedBytes, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    ASSERT_NE(raw, MAP_FAILED);
    const auto* bytes = static_cast<const unsigned char*>(raw);
    EXPECT_EQ(bytes[kOverlayFrameRateOffset], 1u);
    EXPECT_EQ(bytes[kOverlayGpuCountOffset], 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + kOverlayTextOffset)),
              "ZENTRAX QUORVEL K \nTEMP.:65\rC\n");

    program.setFrameRateShown(false);
    EXPECT_EQ(bytes[kOverlayFrameRateOffset], 0u);

    program.writeExit();
    EXPECT_EQ(window.runWord(), 0u);
    EXPECT_EQ(window.exitByte(), 1u);
    uint32_t runWord = 0xFFFFFFFF;
    std::memcpy(&runWord, bytes + kOverlayRunWordOffset, sizeof runWord);
    EXPECT_EQ(runWord, 0u);
    EXPECT_EQ(bytes[kOverlayExitByteOffset], 1u);
    munmap(raw, kOverlaySharedBytes);
}

TEST_F(OverlaySharedTest, TextIsCutToItsFieldAndEveryHandOverCounts) {
    OverlayShared overlay(name_);
    ASSERT_EQ(overlay.open(), kOverlayOk);
    overlay.writeStartup(false, 2);

    const std::string longText(kOverlayTextBytes + 100, 'x');
    overlay.setText(longText);
    EXPECT_EQ(overlay.text(), std::string(kOverlayTextBytes - 1, 'x'));
    EXPECT_EQ(overlay.sequence(), 1u);
    // Nothing spilled over the fields behind the text.
    EXPECT_EQ(overlay.gpuCount(), 2u);
    EXPECT_EQ(overlay.frameRateShown(), 0u);

    // A shorter text leaves none of the longer one behind.
    overlay.setText("GPU0 ");
    EXPECT_EQ(overlay.text(), "GPU0 ");
    overlay.setText("");
    EXPECT_EQ(overlay.text(), "");
    EXPECT_EQ(overlay.sequence(), 3u);
}

TEST_F(OverlaySharedTest, HookOffsetsAreNotSupportedAndStayUnwritten) {
    OverlayShared overlay(name_);
    ASSERT_EQ(overlay.open(), kOverlayOk);
    EXPECT_EQ(overlay.findHookOffsets(), kOverlayNotSupported);
    EXPECT_EQ(overlay.presentOffset(), 0u);
    EXPECT_EQ(overlay.resetOffset(), 0u);
}

TEST_F(OverlaySharedTest, AFailedOpenLeavesEveryOperationHarmless) {
    for (const std::string& bad : {std::string("no-slash"), std::string("/a/b"), std::string("/"),
                                   "/" + std::string(300, 'n')}) {
        SCOPED_TRACE(bad);
        OverlayShared overlay(bad);
        EXPECT_EQ(overlay.open(), kOverlayFailed);
        EXPECT_FALSE(overlay.isOpen());
        overlay.writeStartup(true, 2);
        overlay.setFrameRateShown(true);
        overlay.setText("text");
        overlay.writeExit();
        EXPECT_EQ(overlay.findHookOffsets(), kOverlayNotSupported);
        EXPECT_EQ(overlay.text(), "");
        EXPECT_EQ(overlay.sequence(), 0u);
        EXPECT_EQ(overlay.runWord(), 0u);
        EXPECT_EQ(overlay.gpuCount(), 0u);
    }
}

TEST_F(OverlaySharedTest, ASmallerObjectLeftBehindIsGrownBeforeItIsMapped) {
    const int fd = shm_open(name_.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 64), 0);
    close(fd);

    OverlayShared overlay(name_);
    ASSERT_EQ(overlay.open(), kOverlayOk);
    overlay.writeStartup(true, 1);  // the last fields lie far beyond 64 bytes
    EXPECT_EQ(overlay.gpuCount(), 1u);
}

TEST_F(OverlaySharedTest, UnlinkRemovesTheName) {
    {
        OverlayShared overlay(name_);
        ASSERT_EQ(overlay.open(), kOverlayOk);
        overlay.setText("kept until unlinked");
    }
    OverlayShared again(name_);
    ASSERT_EQ(again.open(), kOverlayOk);
    EXPECT_EQ(again.text(), "kept until unlinked");
    again.unlink();
    EXPECT_LT(shm_open(name_.c_str(), O_RDONLY, 0), 0);
}

// Each user has a record of their own; the environment names another only with a valid name.
TEST(OverlaySharedName, PerUserUnlessTheEnvironmentNamesAnother) {
    test::ScopedEnvironment environment;
    environment.clear(kOverlayNameEnvironment);
    const std::string own = "/quorvel-overlay-" + std::to_string(geteuid());
    EXPECT_EQ(overlaySharedName(), own);
    environment.set(kOverlayNameEnvironment, "/quorvel-overlay-second");
    EXPECT_EQ(overlaySharedName(), "/quorvel-overlay-second");
    for (const char* invalid : {"", "/", "no-slash", "/two/parts"}) {
        environment.set(kOverlayNameEnvironment, invalid);
        EXPECT_EQ(overlaySharedName(), own) << invalid;
    }
}

// A record left open to everyone is made private before use; another user's record under our
// name is not used at all.
TEST_F(OverlaySharedTest, OnlyAPrivateRecordOfOurOwnIsUsed) {
    const int fd = shm_open(name_.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fchmod(fd, 0666), 0);
    {
        OverlayShared overlay(name_);
        ASSERT_EQ(overlay.open(), kOverlayOk);
        struct stat info {};
        ASSERT_EQ(fstat(fd, &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    if (geteuid() != 0) {
        close(fd);
        GTEST_SKIP() << "needs root to hand the record to another user";
    }
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(fchown(fd, kNobody, kNobody), 0);
    close(fd);
    OverlayShared foreign(name_);
    EXPECT_EQ(foreign.open(), kOverlayFailed);
    EXPECT_FALSE(foreign.isOpen());
}

}  // namespace
}  // namespace qv::platform
