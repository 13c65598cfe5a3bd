#include "tuning/OverlayText.h"

#include <string>
#include <string_view>

namespace qv::tuning {

namespace {

constexpr std::string_view kGpuPrefix = "GPU";
constexpr std::string_view kClockGraphics = "GPU:";
constexpr std::string_view kClockShader = "MHZ SHADER:";
constexpr std::string_view kClockMemory = "MHZ MEM.:";
constexpr std::string_view kMegahertz = "MHZ";
constexpr std::string_view kTemperature = "TEMP.:";
constexpr std::string_view kDegreesC = "\rC";  // the carriage return stands before C as written
constexpr std::string_view kFan = "FAN:";
constexpr std::string_view kRpm = "RPM";
constexpr std::string_view kPercent = "%";
constexpr char kBlank = ' ';
constexpr int32_t kOverlayMissing = -1;
constexpr char kLineFeed = '\n';
// A reading that failed this tick (-1) is shown as missing, never as a number.
constexpr std::string_view kMissingReading = "---";

std::string reading(int32_t value) {
    return value == kOverlayMissing ? std::string(kMissingReading) : std::to_string(value);
}

}  // namespace

std::string buildOverlayText(const OverlaySwitches& switches, std::span<const OverlayGpu> gpus,
                             bool frameRateMeasured) {
    const bool frameRate = switches.framerate && frameRateMeasured;
    if (!switches.clock && !switches.temperature && !frameRate && !switches.fan) {
        return {};
    }
    std::string text = kOverlayTitle;
    const bool anyItem = switches.clock || switches.temperature || switches.fan;
    for (size_t index = 0; index < gpus.size(); ++index) {
        const OverlayGpu& gpu = gpus[index];
        if (anyItem && gpus.size() > 1) {
            text += kGpuPrefix;
            text += std::to_string(index);
            text += kBlank;
        }
        if (switches.clock) {
            text += kClockGraphics;
            text += reading(gpu.graphicsMHz);
            // A board without a shader clock reads -1: the item is left out, not shown as -1.
            if (gpu.shaderMHz != kOverlayMissing) {
                text += kClockShader;
                text += std::to_string(gpu.shaderMHz);
            }
            text += kClockMemory;
            text += reading(gpu.memoryMHz);
            text += kMegahertz;
            text += switches.temperature || switches.fan ? " " : "";
            text += kLineFeed;
        }
        if (switches.temperature) {
            text += kTemperature;
            text += reading(gpu.temperature);
            text += kDegreesC;
            if (switches.fan) {
                text += kBlank;
            }
        }
        if (switches.fan && gpu.hasCooler) {
            text += kFan;
            if (gpu.fanReadsRpm) {
                text += reading(gpu.fanRpm);
                text += kRpm;
            } else {
                text += reading(gpu.fanPercent);
                text += kPercent;
            }
        }
        text += kLineFeed;
    }
    if (text.size() > kOverlayTextBytes - 1) {
        text.resize(kOverlayTextBytes - 1);
    }
    return text;
}

bool OverlayFeed::update(const std::string& text) {
    if (sent_ && text == last_) {
        return false;
    }
    last_ = text;
    sent_ = true;
    return true;
}

}  // namespace qv::tuning
