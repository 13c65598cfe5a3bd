// The record the overlay shares with the program in POSIX shared memory, and the program's side
// of the overlay: start-up, text hand-over and exit. The overlay window (ours, on the desktop)
// and any in-game renderer read the same record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv::platform {

// The shared memory object's name and size. Each user has an object of their own, named
// kOverlaySharedNamePrefix and the user id ("/quorvel-overlay-1000"), private to that user
// (0600). QUORVEL_OVERLAY_NAME names another object (a name starting with '/'), so that a second
// copy of the program, or a test, keeps off the record of the one running on the desktop.
inline constexpr const char* kOverlaySharedNamePrefix = "/quorvel-overlay-";
inline constexpr const char* kOverlayNameEnvironment = "QUORVEL_OVERLAY_NAME";
inline constexpr size_t kOverlaySharedBytes = 0xA8A0;

// The name the program uses: QUORVEL_OVERLAY_NAME when it is a valid name, else the user's own.
std::string overlaySharedName();

// Byte offsets of the fields the program writes.
inline constexpr size_t kOverlayRunWordOffset = 0;   // 32-bit, 0 on exit
inline constexpr size_t kOverlayExitByteOffset = 4;  // 8-bit, 1 on exit
inline constexpr size_t kOverlaySequenceOffset = 8;  // 32-bit, counts text hand-overs
inline constexpr size_t kOverlayTextOffset = 16;     // the text, NUL-terminated
inline constexpr size_t kOverlayTextBytes = 512;
inline constexpr size_t kOverlayFrameRateOffset = 0xA894;  // 8-bit "OSDFramerateShow"
inline constexpr size_t kOverlayGpuCountOffset = 0xA895;   // 8-bit
inline constexpr size_t kOverlayPresentOffset = 0xA898;    // 32-bit, Direct3D 9 Present
inline constexpr size_t kOverlayResetOffset = 0xA89C;      // 32-bit, Direct3D 9 Reset

// Status answers.
inline constexpr int kOverlayOk = 0;
inline constexpr int kOverlayFailed = -1;
// The Direct3D 9 hook offsets cannot be found on this platform.
inline constexpr int kOverlayNotSupported = -104;

class OverlayShared {
public:
    // `name`: the shared memory object's name, starting with '/'.
    explicit OverlayShared(std::string name = overlaySharedName());
    // Unmaps; the object itself stays until unlink().
    ~OverlayShared();
    OverlayShared(const OverlayShared&) = delete;
    OverlayShared& operator=(const OverlayShared&) = delete;

    // Creates or opens the object and maps it; the run word becomes 1 and the exit byte 0.
    // An object of another user is not used, and one of ours open to others is made private.
    // kOverlayOk or kOverlayFailed (nothing else works then, and nothing crashes).
    int open();
    bool isOpen() const { return base_ != nullptr; }
    // Start-up: the frame-rate switch and the GPU count.
    void writeStartup(bool frameRateShown, uint8_t gpuCount);
    void setFrameRateShown(bool shown);
    // The Direct3D 9 Present and Reset offsets. There is no Direct3D 9 here, so this answers
    // kOverlayNotSupported and leaves both offsets unwritten.
    int findHookOffsets();
    // Hands the text over (cut to kOverlayTextBytes - 1 bytes) and counts the sequence up.
    void setText(const std::string& text);
    // Exit: the run word 0, then the exit byte 1.
    void writeExit();
    // Removes the object's name (tests and the last process out).
    void unlink();

    // Reading back (the overlay window and tests).
    uint32_t runWord() const;
    uint8_t exitByte() const;
    uint32_t sequence() const;
    std::string text() const;
    uint8_t frameRateShown() const;
    uint8_t gpuCount() const;
    uint32_t presentOffset() const;
    uint32_t resetOffset() const;

private:
    // Field access by offset; nothing happens (reads give 0) while unmapped or out of bounds.
    void write8(size_t offset, uint8_t value);
    void write32(size_t offset, uint32_t value);
    uint8_t read8(size_t offset) const;
    uint32_t read32(size_t offset) const;

    std::string name_;
    unsigned char* base_ = nullptr;
};

}  // namespace qv::platform
