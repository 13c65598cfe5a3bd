// The HDMI page's eight speakers: where each is drawn and clicked, its test clip, and when it is
// lit. Light times are on the speaker clock's scale (milliseconds, advanced by the 1000 ms
// highlight timer); 0 means none.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "lang/HdmiPageRows.h"

namespace qv::tools {

inline constexpr uint32_t kTimerSpeakerHighlight = 1000;  // the highlight timer's period, ms
inline constexpr size_t kSpeakerCount = 8;

// The lit speakers' pictures in the window's skin.
inline constexpr int kBitmapFrontRightLit = 205;
inline constexpr int kBitmapSideLeftLit = 206;
inline constexpr int kBitmapFrontLeftLit = 207;
inline constexpr int kBitmapBackLeftLit = 208;
inline constexpr int kBitmapCenterLit = 209;
inline constexpr int kBitmapSideRightLit = 210;
inline constexpr int kBitmapBackRightLit = 211;
inline constexpr int kBitmapSubwooferLit = 212;

// Where each speaker sits in a 7.1 frame (the order of the stream's channels).
enum class SpeakerPosition : uint8_t {
    kFrontLeft,
    kFrontRight,
    kCenter,
    kSubwoofer,
    kBackLeft,
    kBackRight,
    kSideLeft,
    kSideRight,
};
inline constexpr size_t kSpeakerPositions = 8;

struct SpeakerRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // Strictly inside: a point on the edge is outside.
    bool strictlyContains(int x, int y) const {
        return x > left && x < left + width && y > top && y < top + height;
    }
};

// One row of the speaker table; the rectangle is in the main window's coordinates.
struct SpeakerEntry {
    SpeakerRect rect;
    int bitmap = 0;
    int channel = 0;
    const char* clip = "";
    uint32_t lengthMs = 0;
    int nameRow = 0;  // the speaker's name in the language table
    SpeakerPosition position = SpeakerPosition::kFrontLeft;
};

inline constexpr std::array<SpeakerEntry, kSpeakerCount> kSpeakerTable = {{
    {{223, 380, 25, 48}, kBitmapFrontLeftLit, 1, "clip1.wav", 1000, lang::kTextSpeakerFrontLeft,
     SpeakerPosition::kFrontLeft},
    {{283, 343, 33, 15}, kBitmapCenterLit, 2, "clip2.wav", 1000, lang::kTextSpeakerCenter,
     SpeakerPosition::kCenter},
    {{359, 380, 20, 46}, kBitmapFrontRightLit, 3, "clip3.wav", 2000, lang::kTextSpeakerFrontRight,
     SpeakerPosition::kFrontRight},
    {{456, 402, 28, 61}, kBitmapSideRightLit, 4, "clip4.wav", 1000, lang::kTextSpeakerSideRight,
     SpeakerPosition::kSideRight},
    {{416, 459, 33, 75}, kBitmapBackRightLit, 5, "clip5.wav", 1000, lang::kTextSpeakerBackRight,
     SpeakerPosition::kBackRight},
    {{158, 459, 33, 74}, kBitmapBackLeftLit, 6, "clip6.wav", 2000, lang::kTextSpeakerBackLeft,
     SpeakerPosition::kBackLeft},
    {{124, 401, 32, 61}, kBitmapSideLeftLit, 7, "clip7.wav", 2000, lang::kTextSpeakerSideLeft,
     SpeakerPosition::kSideLeft},
    {{156, 407, 39, 28}, kBitmapSubwooferLit, 8, "clip8.wav", 1000, lang::kTextSpeakerSubwoofer,
     SpeakerPosition::kSubwoofer},
}};

// The state that changes: a light time and a lit flag per speaker, and the speaker clock.
class SpeakerTest {
public:
    struct Pass {
        std::vector<size_t> repaint;  // speakers whose look changed
        bool stop = false;            // no light time is left: the timer stops
    };

    // The first speaker whose rectangle strictly contains the point, in table order.
    static std::optional<size_t> speakerAt(int x, int y);

    // Schedules the lights of `speakers`, played one after another from now in the given order
    // (each for its clip's length), drops any earlier schedule and runs the first pass at once,
    // so that the first speaker lights as its clip starts. The highlight timer runs from here.
    Pass startLights(const std::vector<size_t>& speakers);
    // One tick of the highlight timer.
    Pass highlightTick();

    bool lit(size_t speaker) const { return lit_[speaker] != 0; }
    uint32_t lightTime(size_t speaker) const { return lightTime_[speaker]; }
    uint32_t clock() const { return clock_; }
    bool anyLightTime() const;

private:
    std::array<uint32_t, kSpeakerCount> lightTime_{};
    std::array<uint8_t, kSpeakerCount> lit_{};
    uint32_t clock_ = 0;
};

}  // namespace qv::tools
