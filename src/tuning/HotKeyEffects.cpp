#include "tuning/HotKeyEffects.h"

#include <algorithm>

#include "gpu/DriverStatus.h"

namespace qv::tuning {

HotKeySettings hotKeySettingsFrom(const settings::RegistrySettings& stored) {
    HotKeySettings settings;
    settings.enabled = stored.hotKeyEnable != 0;
    settings.fanSpeed = static_cast<uint32_t>(std::max(0, stored.hotKeyFanSpeed));
    settings.gpuOffsetMHz = stored.hotKeyGpuOffset;
    settings.voltageHighest = stored.hotKeySetVoltageHighest != 0;
    return settings;
}

std::vector<HotKeyBoard> hotKeyBoards(gpu::GpuLayer& layer) {
    std::vector<HotKeyBoard> boards;
    for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
        if (!layer.record(gpu).hotKeyBoard) {
            continue;
        }
        uint32_t low = 0;
        uint32_t high = 0;
        layer.fanDutyRange(gpu, low, high);
        boards.push_back({gpu, layer.record(gpu).fanKind, high});
    }
    return boards;
}

bool hotKeyBoardPresent(const gpu::GpuLayer& layer) {
    for (uint8_t gpu = 0; gpu < layer.gpuCount(); ++gpu) {
        if (layer.record(gpu).hotKeyBoard) {
            return true;
        }
    }
    return false;
}

HotKeyOutcome HotKeyEffects::onKey(uint32_t key, uint64_t nowMs) {
    const std::vector<HotKeyBoard> boards = hotKeyBoards(layer_);
    const SliderState& offset = model_.controls().gpuOffset;
    HotKeyOutcome outcome = machine_.onMessage(key, nowMs, hotKeySettingsFrom(stored_), boards,
                                               {offset.min, offset.max});
    if (outcome.accepted) {
        for (const HotKeyGpuSteps& steps : outcome.gpus) {
            carryOut(steps);
        }
    }
    return outcome;
}

void HotKeyEffects::carryOut(const HotKeyGpuSteps& steps) {
    const bool hasCooler = layer_.record(steps.gpu).fanKind != gpu::kFanNoCooler;
    const bool onShow = steps.gpu == model_.gpuOnShow();
    if (steps.restoreFan) {
        if (hasCooler) {
            layer_.setFanLevel(steps.gpu, kHotKeyRestoredFanLevel);
            if (layer_.setFanAutomatic(steps.gpu) == drv::kOk && drivenFans_ != nullptr) {
                drivenFans_->handedBack(steps.gpu);
            }
        }
        if (onShow) {
            model_.showFanRestored(static_cast<int>(kHotKeyRestoredFanLevel));
        }
    }
    if (steps.restoreClock) {
        layer_.setGraphicsOffset(steps.gpu, 0);
        model_.followCardClocks(steps.gpu);
        if (onShow) {
            model_.showGpuOffset(0);
        }
    }
    if (steps.restoreVoltageTable) {
        SavedBoostVoltage& saved = boostVoltage_[steps.gpu];
        if (restoreBoostVoltage(layer_, steps.gpu, saved) == drv::kOk && onShow) {
            model_.showCoreVoltage(saved.sliderPos);
        }
        saved = {};
    }
    if (steps.fanBoost) {
        if (steps.fanLevel && layer_.setFanLevel(steps.gpu, *steps.fanLevel) == drv::kOk &&
            drivenFans_ != nullptr) {
            drivenFans_->ruleDrives(steps.gpu);
        }
        if (onShow) {
            model_.showFanBoost(static_cast<int>(steps.fanSlider));
        }
    }
    if (steps.clockBoost) {
        layer_.setGraphicsOffset(steps.gpu, steps.offsetKHz);
        model_.followCardClocks(steps.gpu);
        if (onShow) {
            model_.showGpuOffset(steps.offsetSliderMHz);
        }
    }
    if (steps.saveVoltageTable) {
        saveBoostVoltage(layer_, steps.gpu, model_.controls().coreVoltage.pos,
                         boostVoltage_[steps.gpu]);
    }
    // The highest voltage is the driver table's top for the board, in millivolts; a board
    // whose voltage slider holds a regulator code has no such top.
    if (steps.raiseVoltage && model_.voltageControl(steps.gpu) == VoltageControl::kDriverTable) {
        const int32_t highest = driverTableMaxMillivolts(layer_.record(steps.gpu).deviceId());
        int32_t reached = 0;
        if (raiseBoostVoltage(layer_, steps.gpu, highest, reached) == drv::kOk && onShow) {
            model_.showCoreVoltageAtTop();
        }
    }
}

}  // namespace qv::tuning
