// Plain state of the main window's controls: what the window shows, with no drawing of its own.
#pragma once

namespace qv::tuning {

// An integer slider: its range, its position and whether the user can move it.
struct SliderState {
    int min = 0;
    int max = 0;
    int pos = 0;
    bool enabled = false;
    bool visible = true;

    // Puts the position at `value`, kept inside the range.
    void setPos(int value) { pos = value < min ? min : (value > max ? max : value); }
    void setRange(int low, int high) {
        min = low;
        max = high < low ? low : high;
        setPos(pos);
    }
};

// A push or toggle button. Its caption is a language-table row, or a fixed text that is the same
// in every language; with neither the caption is empty.
struct ButtonState {
    int captionRow = -1;
    const char* fixedCaption = nullptr;
    bool enabled = false;
    bool visible = true;
    bool pressed = false;  // toggles and mode buttons: shown pressed (highlighted)

    bool captionEmpty() const { return captionRow < 0 && fixedCaption == nullptr; }
    void setCaptionRow(int row) {
        captionRow = row;
        fixedCaption = nullptr;
    }
    void setFixedCaption(const char* text) {
        captionRow = -1;
        fixedCaption = text;
    }
};

}  // namespace qv::tuning
