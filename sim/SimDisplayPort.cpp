#include "SimDisplayPort.h"

#include <cstring>
#include <string>

namespace qv::sim {

namespace {
constexpr int kNotAnswered = -104;
}

bool DisplayPortSink::answers(uint32_t address, uint32_t size) const {
    if (!config_.displayPort || size == 0) {
        return false;
    }
    const uint64_t end = static_cast<uint64_t>(address) + size;
    if (address >= kDpcdCapsFirst && end <= kDpcdCapsEnd) {
        return true;
    }
    return config_.adapter && address >= kAdapterFirst && end <= kAdapterEnd;
}

uint32_t DisplayPortSink::word32(uint32_t address) const {
    const size_t i = address - kAdapterFirst;
    return static_cast<uint32_t>(regs_.bytes[i]) | (static_cast<uint32_t>(regs_.bytes[i + 1]) << 8) |
           (static_cast<uint32_t>(regs_.bytes[i + 2]) << 16) |
           (static_cast<uint32_t>(regs_.bytes[i + 3]) << 24);
}

uint8_t DisplayPortSink::readByte(uint32_t address) {
    if (address < kDpcdCapsEnd) {
        switch (address) {
            case 0x000:
                return kDpcdRevision;
            case 0x001:
                return kDpcdMaxLinkRate;
            case 0x002:
                return kDpcdMaxLaneCount;
            default:
                return 0;
        }
    }
    switch (address) {
        case kAdapterMonitors:
            return static_cast<uint8_t>(config_.monitors);
        case kAdapterCapability:
            return kAdapterMailboxPresent;
        case kAdapterCapability + 1:
            return state_.unlocked ? kAdapterUnlocked : 0;
        case kAdapterCommand: {
            // A command reads busy a few times before it reports done, as the box takes its
            // time; a stuck box never reports done.
            const uint8_t code = regs_.bytes[address - kAdapterFirst];
            if (config_.stuckBusy) {
                return static_cast<uint8_t>(code | kAdapterGo);
            }
            if (regs_.busyReads > 0) {
                --regs_.busyReads;
                return static_cast<uint8_t>(code | kAdapterGo);
            }
            return code;
        }
        default:
            return regs_.bytes[address - kAdapterFirst];
    }
}

int DisplayPortSink::read(uint32_t address, uint8_t* data, uint32_t size) {
    if (!answers(address, size)) {
        return kNotAnswered;
    }
    for (uint32_t i = 0; i < size; ++i) {
        data[i] = readByte(address + i);
    }
    return 0;
}

int DisplayPortSink::write(uint32_t address, const uint8_t* data, uint32_t size, bool& changed) {
    changed = false;
    if (!answers(address, size)) {
        return kNotAnswered;
    }
    for (uint32_t i = 0; i < size; ++i) {
        const uint32_t a = address + i;
        if (a < kAdapterFirst || a == kAdapterMonitors || a == kAdapterCapability ||
            a == kAdapterCapability + 1 || a == kAdapterResult) {
            continue;  // read-only
        }
        if (a == kAdapterCommand) {
            regs_.bytes[a - kAdapterFirst] = static_cast<uint8_t>(data[i] & ~kAdapterGo);
            if ((data[i] & kAdapterGo) != 0) {
                execute(static_cast<uint8_t>(data[i] & ~kAdapterGo), changed);
            }
            continue;
        }
        regs_.bytes[a - kAdapterFirst] = data[i];
    }
    return 0;
}

void DisplayPortSink::execute(uint8_t code, bool& changed) {
    const uint32_t length = word32(kAdapterLength);
    const uint32_t offset = word32(kAdapterOffset);
    uint8_t* window = &regs_.bytes[kAdapterWindow - kAdapterFirst];
    uint8_t result = kResultOk;
    if (code == kAdapterCmdUnlock) {
        const size_t codeLength = std::strlen(kAdapterUnlockCode);
        if (length == codeLength && offset == 0 &&
            std::memcmp(window, kAdapterUnlockCode, codeLength) == 0) {
            changed = changed || !state_.unlocked;
            state_.unlocked = true;
        } else {
            result = kResultBadCode;
        }
    } else if (!state_.unlocked) {
        result = kResultLocked;
    } else if (code == kAdapterCmdProbe) {
        if (length > kAdapterWindowSize) {
            result = kResultBadArgument;
        } else {
            window[0] = 0x01;
            window[1] = static_cast<uint8_t>(config_.monitors);
        }
    } else if (code == kAdapterCmdInfo) {
        if (length > kAdapterWindowSize || static_cast<uint64_t>(offset) + length > kAdapterInfoSize) {
            result = kResultBadArgument;
        } else {
            std::string info(kAdapterInfoSize, ' ');
            info.replace(kAdapterFirmwareOffset, kAdapterFirmwareChars,
                         (config_.firmware + std::string(kAdapterFirmwareChars, ' '))
                             .substr(0, kAdapterFirmwareChars));
            std::memcpy(window, info.data() + offset, length);
        }
    } else if (code == kAdapterCmdBezel) {
        if (length != 2 || (window[0] != kBezelHorizontal && window[0] != kBezelVertical)) {
            result = kResultBadArgument;
        } else {
            uint8_t& target = window[0] == kBezelHorizontal ? state_.bezelHorizontal : state_.bezelVertical;
            changed = changed || target != window[1];
            target = window[1];
        }
    } else {
        result = kResultUnknownCommand;
    }
    regs_.bytes[kAdapterResult - kAdapterFirst] = result;
    regs_.busyReads = config_.busyPolls;
}

}  // namespace qv::sim
