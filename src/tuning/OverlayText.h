// The overlay line shown inside games: the text built on every sampling tick from the cards'
// clocks, temperature and fan, and the hand-over of that text only when it changed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qv::tuning {

// "OSDClockShow", "OSDTempShow", "OSDFramerateShow", "OSDFanSpeedShow".
struct OverlaySwitches {
    bool clock = false;
    bool temperature = false;
    // The frame rate is measured and drawn by the overlay itself, never put into the text: the
    // switch only keeps the text alive, where the overlay measures one (see buildOverlayText).
    bool framerate = false;
    bool fan = false;
};

// One GPU's values as the dialog keeps them.
struct OverlayGpu {
    int32_t graphicsMHz = 0;
    int32_t shaderMHz = 0;
    int32_t memoryMHz = 0;
    int32_t temperature = -1;  // degrees C, -1 when the read failed
    int32_t fanPercent = 0;
    int32_t fanRpm = 0;
    bool hasCooler = true;  // FanControllerKind other than 4
    bool fanReadsRpm = false;
};

inline constexpr const char* kOverlayTitle = "ZENTRAX QUORVEL K \n";
// The overlay takes at most this many bytes, its terminator included.
inline constexpr size_t kOverlayTextBytes = 512;

// The title line, then per GPU: "GPU%d " (index from 0, only with more than one GPU and when
// clock, temperature or fan is shown), the clock item, "TEMP.:%d\rC", "FAN:%d" with "RPM" or
// "%", and a line feed. Empty when all four switches are off. Cut to kOverlayTextBytes - 1.
// `frameRateMeasured`: the overlay that draws the text measures a frame rate and draws it beside
// the text (inside a game). Where nothing measures one (our desktop window), the frame-rate item
// is left out: its switch alone keeps no title-only line on the screen, and the text is empty
// unless clock, temperature or fan is shown.
std::string buildOverlayText(const OverlaySwitches& switches, std::span<const OverlayGpu> gpus,
                             bool frameRateMeasured);

// Remembers the last text handed to the overlay.
class OverlayFeed {
public:
    // True when `text` differs from the last text handed over (the first text always does);
    // it then becomes the last text and the caller hands it over.
    bool update(const std::string& text);
    const std::string& last() const { return last_; }

private:
    std::string last_;
    bool sent_ = false;
};

}  // namespace qv::tuning
