#include "tuning/InfoReadouts.h"

#include <cstdarg>
#include <cstdio>

#include "gpu/BoardIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/Units.h"

namespace qv::tuning {

namespace {

constexpr uint32_t kKiBPerMiB = 1024;

constexpr bool isSliderValueField(uint32_t id) {
    switch (id) {
        case kInfoGpuSliderValue:
        case kInfoShaderSliderValue:
        case kInfoMemorySliderValue:
        case kInfoFanSliderValue:
        case kInfoFrameRateSliderValue:
        case kInfoCoreVoltageSliderValue:
        case kInfoMemoryVoltageSliderValue:
        case kInfoGpuOffsetSliderValue:
        case kInfoMemoryOffsetSliderValue:
            return true;
        default:
            return false;
    }
}
constexpr double kPowerPerPercent = 1000.0;  // topology power: thousandths of a percent
constexpr uint32_t kPercentScale = 100;
constexpr uint32_t kPresentBit = 0x1;

constexpr const char* kPercentSign = "%";
constexpr const char* kVoltSign = "V";

// Every field in the order the window lays them out. The slider-value id 150 belongs to no
// slider of this window, so it has no field.
struct FieldEntry {
    uint32_t id;
    uint32_t colour;
};
constexpr std::array<FieldEntry, kInfoFieldCount> kFieldTable = {{
    {kInfoNone, kInfoGrey},
    {kInfoCudaCores, kInfoGrey},
    {kInfoTemperature, kInfoGrey},
    {kInfoGpuSliderValue, kInfoBlack},
    {kInfoShaderSliderValue, kInfoBlack},
    {kInfoMemorySliderValue, kInfoBlack},
    {kInfoFanSliderValue, kInfoBlack},
    {kInfoFrameRateSliderValue, kInfoBlack},
    {kInfoCoreVoltageSliderValue, kInfoBlack},
    {kInfoMemoryVoltageSliderValue, kInfoBlack},
    {kInfoGpuOffsetSliderValue, kInfoBlack},
    {kInfoMemoryOffsetSliderValue, kInfoBlack},
    {kInfoMemorySize, kInfoGrey},
    {kInfoBusWidth, kInfoGrey},
    {kInfoMemoryType, kInfoGrey},
    {kInfoFanPercent, kInfoGrey},
    {kInfoCurrentGpuClock, kInfoGrey},
    {kInfoCurrentShaderClock, kInfoGrey},
    {kInfoCurrentMemoryClock, kInfoGrey},
    {kInfoPerfGpuClock, kInfoGrey},
    {kInfoPerfShaderClock, kInfoGrey},
    {kInfoPerfMemoryClock, kInfoGrey},
    {kInfoBaseGpuClock, kInfoGrey},
    {kInfoBaseShaderClock, kInfoGrey},
    {kInfoBaseMemoryClock, kInfoGrey},
    {kInfoGpuLoad, kInfoGrey},
    {kInfoMemoryUse, kInfoGrey},
    {kInfoMemoryControllerLoad, kInfoGrey},
    {kInfoBoardPower, kInfoGrey},
}};

std::string textf(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string textf(const char* pattern, ...) {
    char buffer[128];
    va_list args;
    va_start(args, pattern);
    const int length = std::vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    return length < 0 ? std::string() : std::string(buffer);
}

std::string clockText(uint32_t kHz) {
    return textf("%4dMHz", gpu::toMHz(kHz));
}

bool exists(const SliderState& slider) {
    return slider.visible && slider.enabled;
}

// The frequency of one domain of the driver's clock frequencies; 0 when it is not present.
uint32_t domainKHz(const drv::ClockFrequencies& clocks, uint32_t domain) {
    const auto& d = clocks.domain[domain];
    return (d.present & kPresentBit) != 0 ? d.frequencyKHz : 0;
}

}  // namespace

const char* memoryTypeName(uint32_t code) {
    return gpu::memoryTypeName(code);
}

std::string memoryUseText(uint32_t dedicatedKiB, uint32_t availableKiB) {
    const uint32_t usedMiB =
        dedicatedKiB > availableKiB ? (dedicatedKiB - availableKiB) / kKiBPerMiB : 0;
    const uint32_t dedicatedMiB = dedicatedKiB / kKiBPerMiB;
    const uint64_t percent =
        dedicatedMiB == 0 ? 0 : static_cast<uint64_t>(usedMiB) * kPercentScale / dedicatedMiB;
    return textf("%3dM/%d%s", static_cast<int>(usedMiB), static_cast<int>(percent), kPercentSign);
}

int modePictureForKind(int kind, bool keplerClass) {
    switch (kind) {
        case gpu::kLevelKind3DPerf:
            return kModePictureThreeBars;
        case gpu::kLevelKind2D:
            return keplerClass ? kModePictureTwoBars : kModePictureOneBar;
        case gpu::kLevelKind3DLow:
            return keplerClass ? kModePictureOneBar : kModePictureTwoBars;
        default:
            return 0;
    }
}

InfoReadouts::InfoReadouts(gpu::GpuLayer& layer, const MainDialogModel& model)
    : layer_(layer), model_(model) {
    for (size_t i = 0; i < kInfoFieldCount; ++i) {
        fields_[i].id = kFieldTable[i].id;
        fields_[i].colour = kFieldTable[i].colour;
    }
}

const InfoField* InfoReadouts::field(uint32_t id) const {
    for (const InfoField& f : fields_) {
        if (f.id == id) {
            return &f;
        }
    }
    return nullptr;
}

void InfoReadouts::clearInvalidated() {
    for (InfoField& f : fields_) {
        f.invalidated = false;
    }
    modePictureInvalidated_ = false;
}

void InfoReadouts::update(uint32_t mask, bool repaintOnly) {
    if (repaintOnly) {
        for (InfoField& f : fields_) {
            if ((f.id & mask) == 0) {
                continue;
            }
            f.invalidated = true;
            if (f.id == kInfoTemperature) {
                modePictureInvalidated_ = true;
            }
        }
        return;
    }
    const int onShow = model_.gpuOnShow();
    if (onShow < 0 || onShow >= layer_.gpuCount()) {
        return;  // no GPU to read
    }
    const auto gpu = static_cast<uint8_t>(onShow);
    Readings readings;
    read(gpu, mask, readings);
    for (InfoField& f : fields_) {
        if ((f.id & mask) != 0) {
            formatField(f, gpu, readings);
        }
    }
}

void InfoReadouts::updateSliderValues() {
    const int onShow = model_.gpuOnShow();
    if (onShow < 0 || onShow >= layer_.gpuCount()) {
        return;
    }
    for (InfoField& f : fields_) {
        if (isSliderValueField(f.id)) {
            f.text = sliderValueText(f.id, static_cast<uint8_t>(onShow));
        }
    }
}

void InfoReadouts::read(uint8_t gpu, uint32_t mask, Readings& r) {
    r.frequencies.version = drv::kClockFrequenciesVersion;
    r.frequencies.clockType = drv::kClockTypeCurrent;
    if (layer_.currentClockFrequencies(gpu, r.frequencies) != drv::kOk) {
        r.frequencies = {};
    }
    r.load.version = drv::kDynamicPstatesInfoExVersion;
    if (layer_.gpuLoad(gpu, r.load) != drv::kOk) {
        r.load = {};
    }
    r.memory.version = drv::kDisplayDriverMemoryInfoVersion;
    if (layer_.memoryInfo(gpu, r.memory) != drv::kOk) {
        r.memory = {};
    }
    if (layer_.readLevelClocks(gpu, r.perfLevel, gpu::kLevelKind3DPerf) != drv::kOk) {
        r.perfLevel = {};
    }
    if (layer_.currentClocksAndKind(gpu, r.currentGraphicsKHz, r.currentProcessorKHz,
                                    r.currentMemoryKHz, r.currentKind) != drv::kOk) {
        r.currentGraphicsKHz = r.currentProcessorKHz = r.currentMemoryKHz = 0;
        r.currentKind = 0;
    }
    r.power.version = drv::kPowerTopologyStatusVersion;
    if (layer_.powerTopologyStatus(gpu, r.power) != drv::kOk) {
        r.power = {};
    }
    // The CUDA cores and the fan are read only for an update that shows them.
    if ((kInfoCudaCores & mask) != 0 && layer_.cudaCores(gpu, r.cudaCores) != 1) {
        r.cudaCores = 0;
    }
    r.hasCooler = layer_.record(gpu).fanKind != gpu::kFanNoCooler;
    if ((kInfoFanPercent & mask) != 0 && r.hasCooler) {
        // On the driver cooler the mode read refreshes the level that the speed read gives.
        int mode = 0;
        layer_.fanMode(gpu, mode);
        if (layer_.fanPercent(gpu, r.fanPercent) != drv::kOk || r.fanPercent < 0) {
            r.fanPercent = 0;
        }
    }
}

bool InfoReadouts::formatField(InfoField& field, uint8_t gpu, const Readings& r) {
    const gpu::GpuRecord& record = layer_.record(gpu);
    const bool kepler = record.keplerClass;
    switch (field.id) {
        case kInfoNone:
            return false;
        case kInfoTemperature:
            updateTemperature(field, gpu, r);
            return true;
        case kInfoCudaCores:
            field.text = textf("%3d SP", static_cast<int>(r.cudaCores));
            return true;
        case kInfoMemorySize:
            field.text =
                textf("%d MB", static_cast<int>(r.memory.dedicatedVideoMemoryKiB / kKiBPerMiB));
            return true;
        case kInfoBusWidth:
            field.text = textf("%d Bit", static_cast<int>(record.busWidth));
            return true;
        case kInfoMemoryType:
            field.text = memoryTypeName(record.memoryType);
            return true;
        case kInfoFanPercent:
            if (!r.hasCooler) {
                return false;
            }
            field.text = textf(" %3d%s", static_cast<int>(r.fanPercent), kPercentSign);
            return true;
        case kInfoCurrentGpuClock:
            field.text = clockText(kepler ? domainKHz(r.frequencies, drv::kClockDomainGraphics)
                                          : r.currentGraphicsKHz);
            return true;
        case kInfoCurrentShaderClock:
            field.text = clockText(kepler ? domainKHz(r.frequencies, drv::kClockDomainProcessor)
                                          : r.currentProcessorKHz);
            return true;
        case kInfoCurrentMemoryClock:
            field.text = clockText(kepler ? domainKHz(r.frequencies, drv::kClockDomainMemory)
                                          : r.currentMemoryKHz);
            return true;
        case kInfoPerfGpuClock:
            field.text = clockText(r.perfLevel.graphicsCurrent);
            return true;
        case kInfoPerfShaderClock:
            field.text = clockText(r.perfLevel.processorCurrent);
            return true;
        case kInfoPerfMemoryClock:
            field.text = clockText(r.perfLevel.memoryCurrent);
            return true;
        case kInfoBaseGpuClock:
            field.text = clockText(r.perfLevel.graphicsBase);
            return true;
        case kInfoBaseShaderClock:
            field.text = clockText(r.perfLevel.processorBase);
            return true;
        case kInfoBaseMemoryClock:
            field.text = clockText(r.perfLevel.memoryBase);
            return true;
        case kInfoGpuLoad:
            field.text =
                textf("%3d %s", static_cast<int>(r.load.utilisation[0].percentage), kPercentSign);
            return true;
        case kInfoMemoryUse:
            field.text = memoryUseText(r.memory.dedicatedVideoMemoryKiB,
                                       r.memory.availableDedicatedVideoMemoryKiB);
            return true;
        case kInfoMemoryControllerLoad:
            field.text =
                textf("%7d %s", static_cast<int>(r.load.utilisation[1].percentage), kPercentSign);
            return true;
        case kInfoBoardPower:
            field.text =
                textf("%5.2f %s", r.power.entries[0].power / kPowerPerPercent, kPercentSign);
            return true;
        default:
            field.text = sliderValueText(field.id, gpu);
            return true;
    }
}

void InfoReadouts::updateTemperature(InfoField& field, uint8_t gpu, const Readings& r) {
    const int32_t celsius = model_.entry(gpu).temperatureC;
    // -1 means the last read failed: show that there is no value rather than a temperature.
    field.text = celsius == -1 ? std::string(kInfoNoValue) : textf("%3d °C", celsius);
    field.colour = celsius >= kInfoHotCelsius ? kInfoRed : kInfoGrey;
    const int picture = modePictureForKind(r.currentKind, layer_.record(gpu).keplerClass);
    if (picture != 0) {
        modePicture_ = picture;
    }
}

std::string InfoReadouts::sliderValueText(uint32_t id, uint8_t gpu) const {
    const MainDialogControls& c = model_.controls();
    const gpu::GpuRecord& record = layer_.record(gpu);
    switch (id) {
        case kInfoGpuSliderValue:
            return exists(c.gpuClock) ? textf("%4dMHz", c.gpuClock.pos) : kInfoNoValue;
        case kInfoShaderSliderValue:
            return exists(c.shaderClock) ? textf("%4dMHz", c.shaderClock.pos) : kInfoNoValue;
        case kInfoMemorySliderValue:
            return exists(c.memoryClock) ? textf("%4dMHz", c.memoryClock.pos) : kInfoNoValue;
        case kInfoFanSliderValue:
            if (!exists(c.fanSpeed)) {
                return kInfoNoValue;
            }
            // The slot-0 fan chip's slider is in rpm, every other one in percent.
            return textf(record.fanSetInRpm() ? "%4d" : "%3d", c.fanSpeed.pos);
        case kInfoFrameRateSliderValue:
            return exists(c.frameRate) ? textf("%3dFPS", c.frameRate.pos) : kInfoNoValue;
        case kInfoCoreVoltageSliderValue: {
            if (!exists(c.coreVoltage)) {
                return kInfoNoValue;
            }
            switch (model_.voltageControl(gpu)) {
                case VoltageControl::kSlot2:
                    // The slider holds the regulator's code.
                    return textf("%.3f%s",
                                 gpu::millivoltsToVolts(gpu::GpuLayer::regulatorCodeToMillivolts(
                                     static_cast<uint32_t>(c.coreVoltage.pos))),
                                 kVoltSign);
                case VoltageControl::kDriverTable:
                    return textf("%.3f%s", gpu::millivoltsToVolts(c.coreVoltage.pos), kVoltSign);
                case VoltageControl::kSlot3:
                case VoltageControl::kSlot7:
                    return textf("+%3d", c.coreVoltage.pos);  // steps above the board's own
                case VoltageControl::kNone:
                    return kInfoNoValue;
            }
            return kInfoNoValue;
        }
        case kInfoMemoryVoltageSliderValue:
            return exists(c.memoryVoltage) ? textf("+%3d", c.memoryVoltage.pos) : kInfoNoValue;
        case kInfoGpuOffsetSliderValue:
            return exists(c.gpuOffset) ? textf("%4d MHz", c.gpuOffset.pos) : kInfoNoValue;
        case kInfoMemoryOffsetSliderValue:
            return exists(c.memoryOffset) ? textf("%4d MHz", c.memoryOffset.pos) : kInfoNoValue;
        default:
            return kInfoNoValue;
    }
}

}  // namespace qv::tuning
