// The main window's private messages and what each one asks of the window.
#pragma once

#include <cstdint>

namespace qv::tuning {

inline constexpr uint32_t kMessageSliderMovedA = 0x28D1;
inline constexpr uint32_t kMessageSliderMovedB = 0x28D2;
inline constexpr uint32_t kMessageOpenMonitor = 0x7E8;
inline constexpr uint32_t kMessageOpenAdvanced = 0x7E9;
inline constexpr uint32_t kMessageHotKey = 0xFB8;
inline constexpr uint32_t kMessageTrayCallback = 0xBD0;
inline constexpr uint32_t kMessageInformation = 0xBD4;
inline constexpr uint32_t kMessageIgnored = 0xBD5;
// Command messages carry their sender in the high word.
inline constexpr uint32_t kCommandApplyDone = 0xCADB;
inline constexpr uint32_t kCommandFlashDone = 0xCACA;
// Argument of kMessageInformation that shows the fixed information text.
inline constexpr uint32_t kInformationArgument = 100;
// Argument of kMessageOpenMonitor that copies the curve histories into the new window.
inline constexpr uint32_t kMonitorCopyHistories = 1;

enum class DialogAction {
    kNone,
    kSliderMoved,
    kOpenMonitor,
    kOpenMonitorWithHistories,
    kOpenAdvanced,
    kHotKey,
    kTrayCallback,
    kShowInformation,
    kApplyDone,
    kFlashDone,
};

// What a private message asks for; kNone for any message the window does not act on.
constexpr DialogAction dialogAction(uint32_t message, uint32_t argument) {
    switch (message) {
        case kMessageSliderMovedA:
        case kMessageSliderMovedB:
            return DialogAction::kSliderMoved;
        case kMessageOpenMonitor:
            return argument == kMonitorCopyHistories ? DialogAction::kOpenMonitorWithHistories
                                                     : DialogAction::kOpenMonitor;
        case kMessageOpenAdvanced:
            return DialogAction::kOpenAdvanced;
        case kMessageHotKey:
            return DialogAction::kHotKey;
        case kMessageTrayCallback:
            return DialogAction::kTrayCallback;
        case kMessageInformation:
            return argument == kInformationArgument ? DialogAction::kShowInformation
                                                    : DialogAction::kNone;
        default:
            return DialogAction::kNone;
    }
}

// What a command message asks for, by the high word of its identifier.
constexpr DialogAction commandAction(uint32_t command) {
    switch (command >> 16) {
        case kCommandApplyDone:
            return DialogAction::kApplyDone;
        case kCommandFlashDone:
            return DialogAction::kFlashDone;
        default:
            return DialogAction::kNone;
    }
}

// The result an Apply completion notice carries in its low word.
constexpr uint32_t commandResult(uint32_t command) {
    return command & 0xFFFFu;
}

}  // namespace qv::tuning
