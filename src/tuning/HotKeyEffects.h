// The main window's hot keys end to end: the stored options and the hot-key boards go into the
// state machine, and its steps are carried out on the cards and the window's controls.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "gpu/GpuLayer.h"
#include "settings/RegistrySettings.h"
#include "tuning/DrivenFans.h"
#include "tuning/HotKeyVoltage.h"
#include "tuning/HotKeys.h"
#include "tuning/MainDialogModel.h"

namespace qv::tuning {

// The hot-key options as the state machine takes them.
HotKeySettings hotKeySettingsFrom(const settings::RegistrySettings& stored);
// The GPUs whose boards carry the hot-key flag, with their fan kind and duty maximum.
std::vector<HotKeyBoard> hotKeyBoards(gpu::GpuLayer& layer);
// Whether any GPU's board carries the hot-key flag (from the probe; nothing is read).
bool hotKeyBoardPresent(const gpu::GpuLayer& layer);

class HotKeyEffects {
public:
    // `drivenFans` (optional) learns which fans the boost holds in manual mode.
    HotKeyEffects(gpu::GpuLayer& layer, MainDialogModel& model,
                  const settings::RegistrySettings& stored, DrivenFans* drivenFans = nullptr)
        : layer_(layer), model_(model), stored_(stored), drivenFans_(drivenFans) {}

    // The hot-key message with `key` at `nowMs`: runs the state machine over the current options
    // and, when it accepts the key, writes to the cards and moves the controls of the GPU on show
    // as its steps say. The window then redraws from the model.
    HotKeyOutcome onKey(uint32_t key, uint64_t nowMs);
    bool hotKeyUsed() const { return machine_.hotKeyUsed(); }
    uint8_t state() const { return machine_.state(); }

private:
    void carryOut(const HotKeyGpuSteps& steps);

    gpu::GpuLayer& layer_;
    MainDialogModel& model_;
    const settings::RegistrySettings& stored_;
    DrivenFans* drivenFans_;
    HotKeyMachine machine_;
    // What each GPU's clock boost kept of its voltage for the boost's end.
    std::array<SavedBoostVoltage, gpu::kMaxGpus> boostVoltage_{};
};

}  // namespace qv::tuning
