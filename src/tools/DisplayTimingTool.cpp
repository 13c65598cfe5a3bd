#include "tools/DisplayTimingTool.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "gpu/DisplayPortAdapter.h"
#include "gpu/DriverStatus.h"
#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"

namespace qv::tools {

namespace {

// Limits of the manual fields: sizes a display can have, refresh rates up to 1000 Hz.
constexpr uint32_t kManualMaxSize = 65535;
constexpr uint32_t kManualMaxMilliHz = 1000000;

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A decimal number of digits only, at most `maximum`.
std::optional<uint32_t> parseDecimal(const std::string& text, uint32_t maximum) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > maximum) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::string decimal(uint64_t value) {
    return std::to_string(value);
}

}  // namespace

std::vector<uint8_t> parseHexBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (word.size() > 2 || !std::all_of(word.begin(), word.end(), isHexDigit)) {
            break;
        }
        bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

DisplayTimingTool::DisplayTimingTool(drv::DriverLoader& driver, platform::Clock& clock,
                                     platform::Prompt& prompt, BezelCorrection& correction)
    : displays_(driver), clock_(clock), prompt_(prompt), correction_(correction) {}

DisplayTimingTool::~DisplayTimingTool() {
    displays_.shutDown();
}

void DisplayTimingTool::open() {
    displays_.start();
    for (size_t display = 0; display < displays_.displayCount(); ++display) {
        AdapterMailbox mailbox(displays_, display, clock_, kToolMailbox);
        bool present = false;
        bool unlocked = false;
        if (mailbox.readCapability(present, unlocked) != drv::kOk) {
            continue;
        }
        if (present && !unlocked && mailbox.unlock() != drv::kOk) {
            continue;
        }
        std::array<uint8_t, drv::kAdapterProbeLength> answer{};
        if (mailbox.readCommand(drv::kAdapterCommandProbe, 0, answer) != drv::kOk) {
            continue;
        }
        fillList(display);
    }

    std::string firmware;
    int result = kMailboxTimedOut;
    if (adapter_) {
        AdapterMailbox mailbox(displays_, *adapter_, clock_, kToolMailbox);
        result = mailbox.readFirmwareVersion(firmware);
    }
    if (result != drv::kOk) {
        state_.status = kTextFirmwareFailed;
        state_.applyEnabled = false;
    } else {
        char text[128];
        std::snprintf(text, sizeof(text), kFirmwareFormat, firmware.c_str());
        state_.status = std::string(text).substr(0, kFirmwareShownChars);
        state_.applyEnabled = true;
    }

    moveSlider(true, correction_.horizontal);
    moveSlider(false, correction_.vertical);
    if (state_.applyEnabled) {
        pressApply();
    }
}

void DisplayTimingTool::fillList(size_t display) {
    AdapterMailbox mailbox(displays_, display, clock_, kToolMailbox);
    uint8_t monitors = 0;
    if (mailbox.readMonitorCount(monitors) != drv::kOk) {
        monitors = 0;  // counts as one monitor
    }
    entries_ = timingList(monitors);
    state_.timings.clear();
    for (const TimingEntry& entry : entries_) {
        state_.timings.push_back(entry.text);
    }
    state_.selected = -1;
    adapter_ = display;
    state_.adapterFound = true;
}

void DisplayTimingTool::showTiming(const DisplayTiming& timing) {
    state_.width = decimal(timing.width);
    state_.height = decimal(timing.height);
    state_.frequency = decimal(timing.refreshFromPixelClock());
    state_.pixelClock = decimal(timing.pixelClockHz);
}

void DisplayTimingTool::selectTiming(int index) {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) {
        return;
    }
    state_.selected = index;
    const TimingEntry& entry = entries_[static_cast<size_t>(index)];
    state_.editsEnabled = entry.manual;
    if (!entry.manual) {
        showTiming(entry.timing);
    }
}

void DisplayTimingTool::editManual(const std::string& width, const std::string& height,
                                   const std::string& frequency) {
    state_.width = width;
    state_.height = height;
    state_.frequency = frequency;
}

std::optional<DisplayTiming> DisplayTimingTool::manualTiming() {
    const auto width = parseDecimal(state_.width, kManualMaxSize);
    const auto height = parseDecimal(state_.height, kManualMaxSize);
    const auto milliHz = parseDecimal(state_.frequency, kManualMaxMilliHz);
    if (!width || !height || !milliHz || *width == 0 || *height == 0 || *milliHz == 0) {
        return std::nullopt;
    }
    return buildTiming(*width, *height, *milliHz);
}

void DisplayTimingTool::showError(const char* text) {
    prompt_.show(lang::languageTable().text(lang::kTextAppName), text,
                 platform::PromptIcon::kError, platform::PromptButtons::kOk);
}

void DisplayTimingTool::pressSet() {
    if (state_.selected < 0) {
        return;
    }
    const TimingEntry& entry = entries_[static_cast<size_t>(state_.selected)];
    DisplayTiming timing = entry.timing;
    if (entry.manual) {
        const auto manual = manualTiming();
        if (!manual) {
            showError(kTextSetFailed);
            return;
        }
        timing = *manual;
        state_.pixelClock = decimal(timing.pixelClockHz);
    }
    drv::CustomDisplay custom{};
    if (!adapter_ || !customDisplayFor(timing, custom) ||
        displays_.tryCustomDisplay(*adapter_, custom) != drv::kOk) {
        showError(kTextSetFailed);
        return;
    }
    const platform::PromptAnswer keep =
        prompt_.show(lang::languageTable().text(lang::kTextAppName), kTextSaveQuestion,
                     platform::PromptIcon::kQuestion, platform::PromptButtons::kYesNo);
    // Keeping it can still fail; the user hears of it rather than believing it kept.
    if (keep == platform::PromptAnswer::kYes && displays_.saveCustomDisplay(*adapter_) != drv::kOk) {
        showError(kTextSetFailed);
    }
}

void DisplayTimingTool::moveSlider(bool horizontal, int position) {
    Slider& slider = horizontal ? state_.horizontal : state_.vertical;
    slider.pos = std::clamp(position, slider.min, slider.max);
    slider.label = std::to_string(slider.pos);
}

void DisplayTimingTool::editDebug(const std::string& data, const std::string& count) {
    state_.debugData = data;
    state_.debugCount = count;
}

bool DisplayTimingTool::sendDebugData() {
    const std::vector<uint8_t> bytes = parseHexBytes(state_.debugData);
    const auto count = parseDecimal(state_.debugCount, kDebugDataLimit);
    if (!count || bytes.size() != *count || bytes.size() >= kDebugDataLimit) {
        showError(kTextInvalidCount);
        return false;
    }
    int result = kMailboxTimedOut;
    if (adapter_) {
        AdapterMailbox mailbox(displays_, *adapter_, clock_, kToolMailbox);
        result = mailbox.writeCommand(drv::kAdapterCommandBezel, 0, bytes);
    }
    if (result != drv::kOk) {
        showError(kTextWriteDataFailed);
        return false;
    }
    return true;
}

bool DisplayTimingTool::sendBezel(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof(text), format, static_cast<unsigned>(value));
    state_.debugData = text;
    return sendDebugData();
}

void DisplayTimingTool::pressApply() {
    if (!state_.applyEnabled) {
        return;
    }
    state_.debugMode = kDebugModePaAction;
    state_.debugAddress = kBezelAddressText;
    state_.debugCount = kBezelCountText;
    if (sendBezel(kBezelHorizontalFormat, state_.horizontal.pos)) {
        correction_.horizontal = state_.horizontal.pos;
    }
    if (sendBezel(kBezelVerticalFormat, state_.vertical.pos)) {
        correction_.vertical = state_.vertical.pos;
    }
}

}  // namespace qv::tools
