// The wide timings the display tool offers for the multi-display adapter: one desktop across n
// monitors, with fixed blanking, and what the driver's custom-display call is given for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gpu/DisplayPortAdapter.h"
#include "gpu/DriverTypes.h"

namespace qv::tools {

// Blanking added to the visible size, and the sync shape.
inline constexpr uint32_t kTimingHorizontalBlank = 160;
inline constexpr uint32_t kTimingVerticalBlank = 35;
inline constexpr uint32_t kTimingHorizontalSync = 32;
inline constexpr uint32_t kTimingHorizontalPorch = 80;
inline constexpr uint32_t kTimingVerticalSync = 6;
inline constexpr uint32_t kTimingVerticalPorch = 26;
inline constexpr uint32_t kTimingSyncPolarity = 1;

// The list: at most this many sizes, each under the pixel-clock limit.
inline constexpr size_t kTimingListMaxSizes = 12;
inline constexpr uint64_t kPixelClockLimitHz = 360000000;
inline constexpr uint32_t kMaxMonitorsAcross = 4;
inline constexpr uint32_t kMilliHzPerHz = 1000;
inline constexpr const char* kTimingEntryFormat = "%dX%d@%dHz %.1fMHz 8 bits";
inline constexpr const char* kManualTimingText = "Manual configure";

struct BaseSize {
    uint32_t width;
    uint32_t height;
};
inline constexpr BaseSize kBaseSizes[] = {
    {800, 600},   {1024, 768}, {1280, 800},  {1280, 1024}, {1360, 768},  {1440, 900},
    {1600, 900},  {1600, 1200}, {1680, 1050}, {1920, 1080}, {1920, 1200},
};
// Refresh rates tried for each size, in order.
inline constexpr uint32_t kListRefreshRatesHz[] = {60, 50};

struct DisplayTiming {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t refreshMilliHz = 0;
    uint64_t pixelClockHz = 0;  // may exceed 32 bits for sizes nobody can drive

    uint32_t totalWidth() const { return width + kTimingHorizontalBlank; }
    uint32_t totalHeight() const { return height + kTimingVerticalBlank; }
    // Refresh in 0.001 Hz as the pixel clock gives it back (0 for an empty timing).
    uint64_t refreshFromPixelClock() const;
};

// (width + 160) × (height + 35) × refresh, truncated to whole Hz.
DisplayTiming buildTiming(uint32_t width, uint32_t height, uint32_t refreshMilliHz);

// The monitors across as the adapter's register gives it: 0 and values above 4 count as 1.
uint32_t monitorsAcross(uint32_t registerValue);

struct TimingEntry {
    std::string text;
    DisplayTiming timing;
    bool manual = false;
};
// The list for n monitors across: for each base size, 60 Hz else 50 Hz, the first under the
// limit; sizes where neither fits are skipped; "Manual configure" last.
std::vector<TimingEntry> timingList(uint32_t monitors);

// The driver's custom display for a timing; false when the timing cannot be expressed (a
// pixel clock beyond 32 bits, an empty size).
bool customDisplayFor(const DisplayTiming& timing, drv::CustomDisplay& display);

}  // namespace qv::tools
