#include "tools/SpeakerTest.h"

#include <algorithm>

namespace qv::tools {

std::optional<size_t> SpeakerTest::speakerAt(int x, int y) {
    for (size_t i = 0; i < kSpeakerCount; ++i) {
        if (kSpeakerTable[i].rect.strictlyContains(x, y)) {
            return i;
        }
    }
    return std::nullopt;
}

bool SpeakerTest::anyLightTime() const {
    return std::any_of(lightTime_.begin(), lightTime_.end(), [](uint32_t t) { return t != 0; });
}

SpeakerTest::Pass SpeakerTest::startLights(const std::vector<size_t>& speakers) {
    lightTime_.fill(0);
    // One past the clock, so that no light time is 0; a pass run now advances the clock by a
    // whole period, which lights the speaker that starts now and none that starts later.
    uint32_t start = clock_ + 1;
    for (size_t speaker : speakers) {
        if (speaker >= kSpeakerCount) {
            continue;
        }
        lightTime_[speaker] = start;
        start += kSpeakerTable[speaker].lengthMs;
    }
    return highlightTick();
}

SpeakerTest::Pass SpeakerTest::highlightTick() {
    Pass pass;
    clock_ += kTimerSpeakerHighlight;
    for (size_t i = 0; i < kSpeakerCount; ++i) {
        if (lightTime_[i] == 0 && lit_[i] != 0) {
            lit_[i] = 0;
            pass.repaint.push_back(i);
        } else if (lightTime_[i] != 0 && lightTime_[i] < clock_) {
            lightTime_[i] = 0;
            lit_[i] = 1;
            pass.repaint.push_back(i);
            return pass;
        }
    }
    pass.stop = !anyLightTime();
    return pass;
}

}  // namespace qv::tools
