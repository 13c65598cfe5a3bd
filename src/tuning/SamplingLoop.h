// The main window's sampling tick: every 1100 ms it reads each GPU's clocks, temperature, fan,
// voltage and power into the dialog model, raises the temperature alarm, runs the fan rules,
// and builds the overlay line. Everything runs on the user-interface thread; the window draws
// what the tick returns for the GPU on show.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "fan/FanRules.h"
#include "gpu/GpuLayer.h"
#include "platform/Beeper.h"
#include "platform/Clock.h"
#include "platform/PowerOff.h"
#include "settings/RegistrySettings.h"
#include "settings/RegistryStore.h"
#include "tuning/DrivenFans.h"
#include "tuning/MainDialogModel.h"
#include "tuning/OverlayText.h"
#include "tuning/PowerReadout.h"
#include "tuning/TemperatureAlarm.h"

namespace qv::tuning {

// The sampling timer: id and period.
inline constexpr uint32_t kTimerSampling = 32;
inline constexpr uint32_t kSamplingPeriodMs = 1100;

// Read-out colours as 0x00BBGGRR numbers: red outside the mode's limits, light grey inside.
inline constexpr uint32_t kReadoutRed = 245;
inline constexpr uint32_t kReadoutGrey = 16119285;

// One reading of the tick: its value, whether it was read, its text and the text's colour. A
// reading that was not taken has an empty text and shows as missing.
struct Reading {
    int value = -1;
    bool valid = false;
    std::string text;
    uint32_t colour = kReadoutGrey;

    static Reading of(int number, std::string formatted, uint32_t colourRef = kReadoutGrey) {
        return {number, true, std::move(formatted), colourRef};
    }
};

// What the window shows of the GPU on show after a tick.
struct SampleDisplay {
    // False when the clock read of the GPU on show failed: the three clock read-outs are empty.
    bool clocksShown = false;
    // MHz, "%d"; not taken for a domain whose slider is disabled (not adjustable).
    Reading gpuClock, memoryClock, shaderClock;
    // The VID-coded voltage of the mode in mV, "%4.2f" volts; not taken where the GPU has none
    // or the mode is not 2D or 3D performance.
    Reading vidVoltage;
    // Language row of the fan-mode label: 29 "Auto" for mode 1, 30 "Manual" otherwise; -1 when
    // the GPU on show has no fan mode (no cooler, or the read failed).
    int fanModeRow = -1;
    // The current core voltage in mV, "%4.2f" volts, red outside its range; not taken when
    // unknown.
    Reading coreVoltage;
    bool repaintTemperature = false;
    bool repaintPower = false;
};

// Where the overlay line goes once it changed.
class OverlaySink {
public:
    virtual ~OverlaySink() = default;
    virtual void setOverlayText(const std::string& text) = 0;
    // Whether the overlay measures a frame rate and draws it itself. Only then does the
    // frame-rate switch keep the line up on its own; the desktop window measures none.
    virtual bool measuresFrameRate() const { return false; }
};

// What the tick needs besides the cards and the model.
struct SamplingServices {
    // The alarm's two values are read from the store afresh on every tick.
    settings::RegistryStore* store = nullptr;
    // The fan switches, "FanTempSet" and the overlay switches as loaded at start and changed by
    // the options dialog.
    const settings::RegistrySettings* settings = nullptr;
    platform::Clock* clock = nullptr;
    platform::Beeper* beeper = nullptr;
    platform::PowerOff* powerOff = nullptr;
    OverlaySink* overlay = nullptr;  // nullptr: no overlay
    // Learns which fans the rules leave in manual mode; nullptr: nobody keeps count.
    DrivenFans* drivenFans = nullptr;
    // Row 5 of the language table in the user's language ("GPU %d temperature is too high!!!\n").
    std::string alarmTemplate;
};

// The five-point curve shared by all GPUs and its mode (smooth or zigzag). Each GPU's curve
// switch is its record's fanCurveEnabled.
struct FanCurveState {
    fan::FanCurve curve = fan::kInitialFanCurve;
    int32_t mode = fan::kFanCurveSmooth;
};

struct SampleResult {
    SampleDisplay display;
    // Set when the alarm asks for its window; the text to show in it. The caller does not open
    // a second window while one is open.
    std::optional<std::string> alarmWindowMessage;
    // A power-off was requested on this tick.
    bool shutdownRequested = false;
    // The overlay text changed and was handed over.
    bool overlayHandedOver = false;
};

class SamplingLoop {
public:
    SamplingLoop(gpu::GpuLayer& layer, MainDialogModel& model, SamplingServices services);

    // One tick: pass 1 and pass 2 over every GPU, then the overlay hand-over. `alarmWindowOpen`
    // says that the alarm window is already up.
    SampleResult tick(bool alarmWindowOpen);

    // The main window's fan command: every GPU when the GPU on show is linked, else the GPU on
    // show; GPUs without a cooler are skipped; the fan reading time of each GPU commanded is
    // cleared. A percent becomes the same part of the full speed on a fan that counts in rpm.
    // (The tick's own rules drive the fan of the GPU whose temperature they were worked out
    // from, each GPU its own.)
    void sendFanCommand(const fan::FanCommand& command);

    FanCurveState& fanCurve() { return curve_; }
    const FanCurveState& fanCurve() const { return curve_; }
    const fan::FanHoldCounters& holdCounters() const { return holds_; }
    const OverlayFeed& overlayFeed() const { return overlayFeed_; }
    const std::string& lastOverlayText() const { return overlayFeed_.last(); }

private:
    // What the first pass learnt of a GPU that the rest of the tick needs.
    struct GpuPass {
        bool temperatureRead = false;
        bool fanRead = false;
    };

    void readAlarmValues();
    // The first pass: the live values of a GPU, its temperature alarm and its fan rules.
    void readAndRegulate(uint8_t gpu, bool alarmWindowOpen, SampleResult& result);
    // The second pass: what the overlay line shows of a GPU.
    OverlayGpu readForOverlay(uint8_t gpu);
    void readClocksOfGpuOnShow(uint8_t gpu, SampleDisplay& display);
    void readVidVoltageOfGpuOnShow(uint8_t gpu, SampleDisplay& display);
    void readPower(uint8_t gpu, SampleDisplay& display);
    void readTemperature(uint8_t gpu, bool alarmWindowOpen, SampleResult& result);
    void readFan(uint8_t gpu, SampleDisplay& display);
    void runFanRules(uint8_t gpu);
    void readCoreVoltageOfGpuOnShow(uint8_t gpu, SampleDisplay& display);
    // The driver voltage table's entry for a level kind, on a GPU whose voltage lives there:
    // what stands in when the driver's own core voltage cannot be read.
    bool tableVoltageMv(uint8_t gpu, int kind, int32_t& millivolts);
    void readFanInPassTwo(uint8_t gpu);
    // Sends a rule's command (percent or automatic) to one GPU and clears its fan reading time.
    int commandFan(uint8_t gpu, const fan::FanCommand& command);
    // Tells the driven-fans count what a rule's command did to the GPU's fan.
    void noteRuleCommand(uint8_t gpu, const fan::FanCommand& command);
    int setFanPercent(uint8_t gpu, uint32_t percent);
    fan::FanModeSwitches fanSwitches() const;
    OverlaySwitches overlaySwitches() const;
    bool hasCooler(uint8_t gpu) const;

    gpu::GpuLayer& layer_;
    MainDialogModel& model_;
    SamplingServices services_;
    TemperatureAlarm alarm_;
    // One power accumulator per GPU, so that the samples of different cards never mix.
    std::array<BoardPower, gpu::kMaxGpus> power_{};
    fan::FanHoldCounters holds_{};
    FanCurveState curve_{};
    OverlayFeed overlayFeed_;
    // The alarm's stored values as read at the start of the tick; empty when the read failed.
    std::optional<uint32_t> alarmSet_;
    std::optional<uint32_t> alarmValue_;
    std::array<GpuPass, gpu::kMaxGpus> pass_{};
    bool fanRead_ = false;  // a fan was read in this tick's second pass
    // Whether each GPU's fan also reads in rpm, learnt in the first pass.
    std::array<bool, gpu::kMaxGpus> fanReadsRpm_{};
};

}  // namespace qv::tuning
