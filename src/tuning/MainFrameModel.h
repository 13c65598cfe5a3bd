// The main window's frame: caption, size, the area that drags the borderless window, the GPU
// selector's entries and what the start mode does to the window. The window draws this state
// and holds no rule of its own; the GPU on show is the dialog model's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gpu/GpuLayer.h"
#include "tuning/MainDialogModel.h"

namespace qv::tuning {

inline constexpr int kFrameHeight = 720;
// Points above this line (from the window's top edge) drag the window when no control is there.
inline constexpr int kFrameDragHeight = 730;
// The window offers every GPU its model has a slot for (the layer's five at most).
inline constexpr size_t kFrameMaxGpus = kUiGpuSlots;
// Shown whenever the boards are simulated, so that nobody takes their values for a card's.
inline constexpr const char* kSimulatedNotice = "Simulated boards";
inline constexpr const char* kMissingValueText = "---";

// Language-table rows the frame shows.

enum class StartAction { kShowNormal, kMinimize, kHide };

class MainFrameModel {
public:
    // Fills the selector from the hardware layer (left empty when it is not ready).
    void load(gpu::GpuLayer& layer, bool hardwareReady, bool simulated);

    const std::vector<std::string>& selectorEntries() const { return entries_; }
    // Whether the selector has an entry `index`.
    bool hasEntry(int index) const {
        return index >= 0 && static_cast<size_t>(index) < entries_.size();
    }

    std::string caption() const;
    bool simulated() const { return simulated_; }
    // The status line under the caption: kSimulatedNotice on simulated boards, else empty.
    std::string statusLine() const;

    static StartAction startAction(int startMode);
    // Whether a press at `y` pixels below the top edge drags the window (controls take their own
    // presses before this is asked).
    static bool isDragPoint(int y, bool shownNormally);

private:
    std::vector<std::string> entries_;
    bool simulated_ = false;
};

}  // namespace qv::tuning
