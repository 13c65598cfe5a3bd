// The main window's panel of text read-outs for the GPU on show: temperature, clocks of the
// current and the 3D performance level, default clocks, CUDA cores, memory size, type, bus width
// and use, fan, GPU and memory-controller load, board power, and the value texts beside the
// sliders. One update fills the fields whose id shares a bit with a selection mask.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "gpu/GpuLayer.h"
#include "tuning/MainDialogModel.h"

namespace qv::tuning {

// Field colours as 0x00BBGGRR numbers.
inline constexpr uint32_t kInfoGrey = 8421504;
inline constexpr uint32_t kInfoBlack = 0;
inline constexpr uint32_t kInfoRed = 253;
// From this temperature on the temperature field is red.
inline constexpr int32_t kInfoHotCelsius = 111;

// Field ids.
inline constexpr uint32_t kInfoNone = 1;
inline constexpr uint32_t kInfoTemperature = 2;
inline constexpr uint32_t kInfoCudaCores = 130;
inline constexpr uint32_t kInfoMemorySize = 131;
inline constexpr uint32_t kInfoBusWidth = 132;
inline constexpr uint32_t kInfoMemoryType = 133;
inline constexpr uint32_t kInfoFanPercent = 134;
inline constexpr uint32_t kInfoCurrentGpuClock = 135;
inline constexpr uint32_t kInfoCurrentShaderClock = 136;
inline constexpr uint32_t kInfoCurrentMemoryClock = 137;
inline constexpr uint32_t kInfoPerfGpuClock = 138;
inline constexpr uint32_t kInfoPerfShaderClock = 139;
inline constexpr uint32_t kInfoPerfMemoryClock = 140;
inline constexpr uint32_t kInfoBaseGpuClock = 141;
inline constexpr uint32_t kInfoBaseShaderClock = 142;
inline constexpr uint32_t kInfoBaseMemoryClock = 143;
inline constexpr uint32_t kInfoGpuLoad = 144;
inline constexpr uint32_t kInfoMemoryUse = 145;
inline constexpr uint32_t kInfoMemoryControllerLoad = 146;
inline constexpr uint32_t kInfoBoardPower = 147;
// The value texts beside the sliders.
inline constexpr uint32_t kInfoGpuSliderValue = 4;
inline constexpr uint32_t kInfoShaderSliderValue = 8;
inline constexpr uint32_t kInfoMemorySliderValue = 16;
inline constexpr uint32_t kInfoFanSliderValue = 32;
inline constexpr uint32_t kInfoFrameRateSliderValue = 64;
inline constexpr uint32_t kInfoCoreVoltageSliderValue = 128;
inline constexpr uint32_t kInfoMemoryVoltageSliderValue = 129;
inline constexpr uint32_t kInfoGpuOffsetSliderValue = 148;
inline constexpr uint32_t kInfoMemoryOffsetSliderValue = 149;
inline constexpr uint32_t kInfoReserved150 = 150;

inline constexpr uint32_t kInfoAllFields = 0xFFFFFFFFu;

// The performance-mode picture beside the temperature, by its resource number: one, two or three
// bars lit for the slowest to the fastest level.
inline constexpr int kModePictureOneBar = 271;
inline constexpr int kModePictureThreeBars = 272;
inline constexpr int kModePictureTwoBars = 273;

struct InfoField {
    uint32_t id = 0;
    std::string text;
    uint32_t colour = kInfoGrey;
    // Set by an update that asked for a repaint only; the window clears it when it repaints.
    bool invalidated = false;
};

inline constexpr size_t kInfoFieldCount = 29;

// The text of a slider-value field whose slider is hidden or disabled, and of a temperature
// that could not be read.
inline constexpr const char* kInfoNoValue = "---";

class InfoReadouts {
public:
    InfoReadouts(gpu::GpuLayer& layer, const MainDialogModel& model);

    // For every field whose id shares a bit with `mask`: with `repaintOnly` marks it invalidated,
    // otherwise reads the cards (each failed read leaves its values 0) and formats its text.
    void update(uint32_t mask, bool repaintOnly);
    // Formats only the value texts beside the sliders, from the controls alone: no card is read,
    // so a slider being dragged stays cheap.
    void updateSliderValues();

    const std::array<InfoField, kInfoFieldCount>& fields() const { return fields_; }
    std::array<InfoField, kInfoFieldCount>& fields() { return fields_; }
    // The field with `id`; nullptr when the table has none.
    const InfoField* field(uint32_t id) const;
    // 271, 272 or 273 from the current level kind; 0 until the temperature field was updated.
    int modePicture() const { return modePicture_; }
    bool modePictureInvalidated() const { return modePictureInvalidated_; }
    void clearInvalidated();

private:
    // What one update reads from the cards before it formats; a failed read leaves its part 0.
    struct Readings {
        drv::ClockFrequencies frequencies{};
        drv::DynamicPstatesInfoEx load{};
        drv::DisplayDriverMemoryInfo memory{};
        gpu::PerfClockRequest perfLevel{};
        uint32_t currentGraphicsKHz = 0;
        uint32_t currentProcessorKHz = 0;
        uint32_t currentMemoryKHz = 0;
        int currentKind = 0;
        drv::PowerTopologyStatus power{};
        uint32_t cudaCores = 0;
        bool hasCooler = false;
        int32_t fanPercent = 0;
    };

    // Every read of one update, in one place; the CUDA cores and the fan only when `mask` asks
    // for their fields.
    void read(uint8_t gpu, uint32_t mask, Readings& r);
    // Formats `field` from the readings alone; false when it keeps its text (no text, or the fan
    // of a board without a cooler).
    bool formatField(InfoField& field, uint8_t gpu, const Readings& r);
    std::string sliderValueText(uint32_t id, uint8_t gpu) const;
    void updateTemperature(InfoField& field, uint8_t gpu, const Readings& r);

    gpu::GpuLayer& layer_;
    const MainDialogModel& model_;
    std::array<InfoField, kInfoFieldCount> fields_{};
    int modePicture_ = 0;
    bool modePictureInvalidated_ = false;
};

// The name of a memory type code: 0 "UNKNOWN" ... 9 "LPDDR2"; "UNKNOWN" outside the list.
const char* memoryTypeName(uint32_t code);

// The memory-use text: the MiB in use (dedicated - available) and their share of the dedicated
// memory, "512M/25%". No dedicated memory reads 0 %; more available than dedicated reads 0 used.
std::string memoryUseText(uint32_t dedicatedKiB, uint32_t availableKiB);

// The performance-mode picture for a level kind: 271, 272 or 273; 0 for a kind outside 1-3.
int modePictureForKind(int kind, bool keplerClass);

}  // namespace qv::tuning
