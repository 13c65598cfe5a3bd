#include "tools/AdapterMailbox.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "gpu/DriverStatus.h"
#include "gpu/DisplayPortAdapter.h"
#include "gpu/DriverTypes.h"

namespace qv::tools {

namespace {
constexpr uint32_t kCommandStatusBytes = 2;  // the code with its busy bit, then the result
}

int AdapterMailbox::writeRegister(uint32_t address, uint32_t value) {
    std::array<uint8_t, 4> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return displays_.writeDpcd(display_, address, bytes.data(),
                               std::min<uint32_t>(style_.registerBytes, bytes.size()));
}

int AdapterMailbox::go(uint8_t code) {
    const uint8_t command = static_cast<uint8_t>(code | drv::kAdapterCommandGo);
    if (const int status = displays_.writeDpcd(display_, drv::kDpcdAdapterCommand, &command, 1);
        status != drv::kOk) {
        return status;
    }
    const uint64_t started = clock_.tickMs();
    for (;;) {
        uint8_t state[kCommandStatusBytes] = {};
        if (const int status = displays_.readDpcd(display_, drv::kDpcdAdapterCommand, state,
                                                  kCommandStatusBytes);
            status != drv::kOk) {
            return status;
        }
        if ((state[0] & drv::kAdapterCommandGo) == 0) {
            return state[1];
        }
        if (clock_.tickMs() - started >= style_.busyLimitMs) {
            return kMailboxTimedOut;
        }
        clock_.sleepMs(style_.pollPauseMs);
    }
}

int AdapterMailbox::writeCommand(uint8_t code, uint32_t offset, std::span<const uint8_t> data) {
    const size_t piece = style_.pieceBytes == 0 ? data.size() : style_.pieceBytes;
    size_t done = 0;
    do {
        const auto part = data.subspan(done, std::min(piece, data.size() - done));
        const uint32_t length = static_cast<uint32_t>(part.size());
        if (length != 0) {
            int status = displays_.writeDpcd(display_, drv::kDpcdAdapterData, part.data(), length);
            if (status == drv::kOk) {
                status = writeRegister(drv::kDpcdAdapterOffset, offset + static_cast<uint32_t>(done));
            }
            if (status == drv::kOk) {
                status = writeRegister(drv::kDpcdAdapterLength, length);
            }
            if (status != drv::kOk) {
                return status;
            }
        }
        if (const int result = go(code); result != drv::kOk) {
            return result;
        }
        done += part.size();
    } while (done < data.size());
    return drv::kOk;
}

int AdapterMailbox::readCommand(uint8_t code, uint32_t offset, std::span<uint8_t> data) {
    const size_t piece = style_.pieceBytes == 0 ? data.size() : style_.pieceBytes;
    size_t done = 0;
    do {
        const auto part = data.subspan(done, std::min(piece, data.size() - done));
        const uint32_t length = static_cast<uint32_t>(part.size());
        if (length != 0) {
            int status = writeRegister(drv::kDpcdAdapterOffset, offset + static_cast<uint32_t>(done));
            if (status == drv::kOk) {
                status = writeRegister(drv::kDpcdAdapterLength, length);
            }
            if (status != drv::kOk) {
                return status;
            }
        }
        if (const int result = go(code); result != drv::kOk) {
            return result;
        }
        if (length != 0) {
            if (const int status =
                    displays_.readDpcd(display_, drv::kDpcdAdapterData, part.data(), length);
                status != drv::kOk) {
                return status;
            }
        }
        done += part.size();
    } while (done < data.size());
    return drv::kOk;
}

int AdapterMailbox::unlock() {
    const std::string_view code = drv::kAdapterUnlockCode;
    return writeCommand(drv::kAdapterCommandUnlock, 0,
                        std::span(reinterpret_cast<const uint8_t*>(code.data()), code.size()));
}

int AdapterMailbox::readFirmwareVersion(std::string& text) {
    if (const int result = unlock(); result != drv::kOk) {
        return result;
    }
    std::array<uint8_t, drv::kAdapterFirmwareLength> bytes{};
    if (const int result = readCommand(drv::kAdapterCommandInfo, drv::kAdapterFirmwareOffset, bytes);
        result != drv::kOk) {
        return result;
    }
    text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    text = text.substr(0, text.find('\0'));
    text.erase(text.find_last_not_of(' ') + 1);
    return drv::kOk;
}

int AdapterMailbox::readCapability(bool& present, bool& unlocked) {
    uint8_t bytes[2] = {};
    const int status = displays_.readDpcd(display_, drv::kDpcdAdapterCapability, bytes, 2);
    if (status == drv::kOk) {
        present = (bytes[0] & drv::kAdapterCapMailboxPresent) != 0;
        unlocked = (bytes[1] & drv::kAdapterCapUnlocked) != 0;
    }
    return status;
}

int AdapterMailbox::readMonitorCount(uint8_t& count) {
    return displays_.readDpcd(display_, drv::kDpcdAdapterMonitors, &count, 1);
}

}  // namespace qv::tools
