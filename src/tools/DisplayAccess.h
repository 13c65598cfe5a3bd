// The display tool's way to the driver's display calls: the displays it found, the display-port
// auxiliary channel (split into the transfers the channel can carry) and the custom-display
// calls. Every call goes through one lock, so the tool's own threads never interleave display
// traffic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "gpu/DriverLoader.h"
#include "gpu/DriverTypes.h"

namespace qv::tools {

// The most displays the tool looks at: attached ones first, then unattached ones.
inline constexpr size_t kMaxDisplays = 256;
// The most bytes one auxiliary-channel transfer moves.
inline constexpr uint32_t kAuxTransferBytes = 16;

// Statuses of a call made before start() or after shutDown().
inline constexpr int kDisplayAccessNotStarted = -1;
inline constexpr int kDisplayAccessShutDown = -2;

class DisplayAccess {
public:
    explicit DisplayAccess(drv::DriverLoader& driver) : driver_(driver) {}
    ~DisplayAccess() { shutDown(); }
    DisplayAccess(const DisplayAccess&) = delete;
    DisplayAccess& operator=(const DisplayAccess&) = delete;

    // Enumerates the displays (again, when called twice). 0, or the status of a layer that was
    // shut down; finding no display is not a failure.
    int start();
    // Later calls answer kDisplayAccessShutDown.
    void shutDown();

    size_t displayCount() const;

    // DPCD bytes of display `index`, moved in transfers of at most kAuxTransferBytes (address
    // and buffer advance by what each moved). The first failing transfer's status ends it; when
    // that status says the display handles went stale, the displays are enumerated again, so
    // that the next call can succeed.
    int readDpcd(size_t index, uint32_t address, uint8_t* data, uint32_t size);
    int writeDpcd(size_t index, uint32_t address, const uint8_t* data, uint32_t size);

    // The driver's id of display `index`, as learnt when it was enumerated.
    int displayId(size_t index, uint32_t& id) const;
    // Tries `display` as a custom timing on the display, and keeps the tried one in the
    // system's mode list.
    int tryCustomDisplay(size_t index, const drv::CustomDisplay& display);
    int saveCustomDisplay(size_t index);

private:
    enum class State { kNotStarted, kStarted, kShutDown };

    // The status a call gets in the present state, and the handle of `index` (-5 when there is
    // no such display); the lock must be held.
    struct Entry {
        drv::DisplayHandle handle = nullptr;
        uint32_t id = 0;  // 0 when the driver did not tell it
    };
    int usable(size_t index, Entry& entry) const;
    void enumerateLocked();
    int transfer(const Entry& entry, uint32_t operation, uint32_t address, uint8_t* data,
                 uint32_t size);

    drv::DriverLoader& driver_;
    mutable std::mutex lock_;
    State state_ = State::kNotStarted;
    std::vector<Entry> displays_;
};

}  // namespace qv::tools
