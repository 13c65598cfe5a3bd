#include "platform/OverlayShared.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/DebugOutput.h"

namespace qv::platform {

namespace {

constexpr mode_t kOverlaySharedMode = 0600;
constexpr uint32_t kRunWordRunning = 1;
constexpr uint32_t kRunWordStopped = 0;
constexpr uint8_t kExitByteRunning = 0;
constexpr uint8_t kExitByteExited = 1;

static_assert(kOverlayTextOffset + kOverlayTextBytes <= kOverlayFrameRateOffset);
static_assert(kOverlayResetOffset + sizeof(uint32_t) <= kOverlaySharedBytes);
static_assert(kOverlaySequenceOffset % alignof(uint32_t) == 0);

// Every access names a field by offset and width; one that would leave the record does nothing.
bool fits(size_t offset, size_t width) {
    return offset <= kOverlaySharedBytes && width <= kOverlaySharedBytes - offset;
}

// The sequence word is read by another process while this one writes, so it is accessed as an
// atomic in place (lock-free 32-bit atomics have the layout of a plain word).
std::atomic_ref<uint32_t> sequenceWord(unsigned char* base) {
    return std::atomic_ref<uint32_t>(
        *reinterpret_cast<uint32_t*>(base + kOverlaySequenceOffset));  // aligned: page + 8
}
static_assert(std::atomic_ref<uint32_t>::is_always_lock_free);

}  // namespace

std::string overlaySharedName() {
    const char* name = std::getenv(kOverlayNameEnvironment);
    // One path component after the slash, as shm_open wants it.
    if (name != nullptr && name[0] == '/' && name[1] != 0 && std::strchr(name + 1, '/') == nullptr) {
        return name;
    }
    return kOverlaySharedNamePrefix + std::to_string(::geteuid());
}

OverlayShared::OverlayShared(std::string name) : name_(std::move(name)) {}

OverlayShared::~OverlayShared() {
    if (base_ != nullptr) {
        munmap(base_, kOverlaySharedBytes);
    }
}

int OverlayShared::open() {
    if (base_ != nullptr) {
        return kOverlayOk;
    }
    if (name_.size() < 2 || name_.front() != '/' || name_.find('/', 1) != std::string::npos) {
        debugOutput("overlay: shared memory name '%s' is not usable\n", name_.c_str());
        return kOverlayFailed;
    }
    const int fd = shm_open(name_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kOverlaySharedMode);
    if (fd < 0) {
        debugOutput("overlay: shm_open %s failed: %s\n", name_.c_str(), std::strerror(errno));
        return kOverlayFailed;
    }
    // The object may already exist with another size (an older program, another user's file):
    // only an object of at least the record's size is mapped.
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        debugOutput("overlay: cannot check %s: %s\n", name_.c_str(), std::strerror(errno));
        close(fd);
        return kOverlayFailed;
    }
    // Someone else's object under our name could read or change what we show: not used.
    if (info.st_uid != ::geteuid()) {
        debugOutput("overlay: %s belongs to another user\n", name_.c_str());
        close(fd);
        return kOverlayFailed;
    }
    if ((info.st_mode & 0777) != kOverlaySharedMode && fchmod(fd, kOverlaySharedMode) != 0) {
        debugOutput("overlay: cannot make %s private: %s\n", name_.c_str(), std::strerror(errno));
        close(fd);
        return kOverlayFailed;
    }
    if ((static_cast<size_t>(info.st_size) < kOverlaySharedBytes &&
                                  ftruncate(fd, static_cast<off_t>(kOverlaySharedBytes)) != 0)) {
        debugOutput("overlay: sizing %s failed: %s\n", name_.c_str(), std::strerror(errno));
        close(fd);
        return kOverlayFailed;
    }
    void* mapped = mmap(nullptr, kOverlaySharedBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (mapped == MAP_FAILED) {
        debugOutput("overlay: mapping %s failed: %s\n", name_.c_str(), std::strerror(errno));
        return kOverlayFailed;
    }
    base_ = static_cast<unsigned char*>(mapped);
    write32(kOverlayRunWordOffset, kRunWordRunning);
    write8(kOverlayExitByteOffset, kExitByteRunning);
    return kOverlayOk;
}

void OverlayShared::writeStartup(bool frameRateShown, uint8_t gpuCount) {
    setFrameRateShown(frameRateShown);
    write8(kOverlayGpuCountOffset, gpuCount);
}

void OverlayShared::setFrameRateShown(bool shown) {
    write8(kOverlayFrameRateOffset, shown ? 1 : 0);
}

int OverlayShared::findHookOffsets() {
    // The in-game hook needs Direct3D 9 method offsets; there is no Direct3D 9 on this platform,
    // so the offsets stay unwritten and the overlay runs in its own window.
    return kOverlayNotSupported;
}

void OverlayShared::setText(const std::string& text) {
    if (base_ == nullptr) {
        return;
    }
    const size_t length = std::min(text.size(), kOverlayTextBytes - 1);
    unsigned char* target = base_ + kOverlayTextOffset;
    std::memcpy(target, text.data(), length);
    std::memset(target + length, 0, kOverlayTextBytes - length);
    // The release makes the text visible to a reader that sees the new sequence number.
    sequenceWord(base_).fetch_add(1, std::memory_order_release);
}

void OverlayShared::writeExit() {
    write32(kOverlayRunWordOffset, kRunWordStopped);
    std::atomic_thread_fence(std::memory_order_release);
    write8(kOverlayExitByteOffset, kExitByteExited);
}

void OverlayShared::unlink() {
    shm_unlink(name_.c_str());
}

uint32_t OverlayShared::runWord() const {
    return read32(kOverlayRunWordOffset);
}
uint8_t OverlayShared::exitByte() const {
    return read8(kOverlayExitByteOffset);
}

uint32_t OverlayShared::sequence() const {
    return base_ == nullptr ? 0 : sequenceWord(base_).load(std::memory_order_acquire);
}

std::string OverlayShared::text() const {
    if (base_ == nullptr) {
        return {};
    }
    const auto* start = reinterpret_cast<const char*>(base_ + kOverlayTextOffset);
    // Another process may have left no terminator: never read past the text field.
    const void* end = std::memchr(start, 0, kOverlayTextBytes);
    const size_t length = end != nullptr
                              ? static_cast<size_t>(static_cast<const char*>(end) - start)
                              : kOverlayTextBytes;
    return std::string(start, length);
}

uint8_t OverlayShared::frameRateShown() const {
    return read8(kOverlayFrameRateOffset);
}
uint8_t OverlayShared::gpuCount() const {
    return read8(kOverlayGpuCountOffset);
}
uint32_t OverlayShared::presentOffset() const {
    return read32(kOverlayPresentOffset);
}
uint32_t OverlayShared::resetOffset() const {
    return read32(kOverlayResetOffset);
}

void OverlayShared::write8(size_t offset, uint8_t value) {
    if (base_ != nullptr && fits(offset, sizeof value)) {
        base_[offset] = value;
    }
}

void OverlayShared::write32(size_t offset, uint32_t value) {
    if (base_ != nullptr && fits(offset, sizeof value)) {
        std::memcpy(base_ + offset, &value, sizeof value);
    }
}

uint8_t OverlayShared::read8(size_t offset) const {
    return base_ != nullptr && fits(offset, 1) ? base_[offset] : 0;
}

uint32_t OverlayShared::read32(size_t offset) const {
    uint32_t value = 0;
    if (base_ != nullptr && fits(offset, sizeof value)) {
        std::memcpy(&value, base_ + offset, sizeof value);
    }
    return value;
}

}  // namespace qv::platform
