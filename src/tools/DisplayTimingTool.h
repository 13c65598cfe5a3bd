// The display timing tool's rules: what it finds when it opens, the timing list and the
// selected timing's fields, Set (try the timing as a custom display, keep it when the user
// says so), the bezel correction's Apply and the debug fields it fills. The window draws this
// state and forwards the user's input.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gpu/DriverLoader.h"
#include "platform/Clock.h"
#include "platform/Prompt.h"
#include "tools/AdapterMailbox.h"
#include "tools/DisplayAccess.h"
#include "tools/DisplayTimings.h"

namespace qv::tools {

// The tool's texts. English only: the language table has no rows for this tool.
inline constexpr const char* kTextViewTitle = "Vexa Series Setting";
inline constexpr const char* kTextActiveWidth = "Active width (pix)";
inline constexpr const char* kTextActiveHeight = "Active height (line)";
inline constexpr const char* kTextVerticalFrequency = "V Frequency(0.001Hz)";
inline constexpr const char* kTextPixelClock = "Pixel clock(Hz)";
inline constexpr const char* kTextSet = "Set";
inline constexpr const char* kTextApply = "Apply";
inline constexpr const char* kTextHorizontal = "Horizontal";
inline constexpr const char* kTextVertical = "Vertical";
inline constexpr const char* kTextHorizontalNote =
    "Note:Horizontal adjustment valid on 1*2,1*3 and 2*2 mode only";
inline constexpr const char* kTextVerticalNote = "Vertical adjustment valid on 2*1 and 2*2 mode only";
inline constexpr const char* kTextSetFailed = "Set the customer timing failed";
inline constexpr const char* kTextSaveQuestion =
    "Do you want to save the timing to windows resolution list";
inline constexpr const char* kTextWriteDataFailed = "Write data failed";
inline constexpr const char* kTextInvalidCount = "Invalid count value";
inline constexpr const char* kTextFirmwareFailed = "Read Firmware Version failed!";
inline constexpr const char* kFirmwareFormat = "FirmWare Version:%s";
inline constexpr size_t kFirmwareShownChars = 30;

// The debug row: the mode list and the starting texts of the data, address and count fields.
inline constexpr std::array<const char*, 7> kDebugModes = {
    "DPCD", "Memory", "EEPROM", "EDID", "PA action", "Enable RC", "Disable RC"};
inline constexpr int kDebugModeDpcd = 0;
inline constexpr int kDebugModePaAction = 4;
inline constexpr const char* kDebugDataStart = "00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff";
inline constexpr const char* kDebugAddressStart = "4C0";
inline constexpr const char* kDebugCountStart = "16";
inline constexpr const char* kBezelAddressText = "0";
inline constexpr const char* kBezelCountText = "2";
inline constexpr const char* kBezelHorizontalFormat = "02 %0x";
inline constexpr const char* kBezelVerticalFormat = "03 %0x";
// The data field holds fewer than this many bytes.
inline constexpr size_t kDebugDataLimit = 17;

// The bezel sliders' range (one byte of the command).
inline constexpr int kBezelMin = 0;
inline constexpr int kBezelMax = 255;

// The corrections the adapter was last given, kept from one opening of the tool to the next.
struct BezelCorrection {
    int horizontal = 0;
    int vertical = 0;
};

// Hexadecimal bytes separated by blanks ("02 1f"); parsing stops at the first word that is not
// one or two hexadecimal digits.
std::vector<uint8_t> parseHexBytes(const std::string& text);

class DisplayTimingTool {
public:
    struct Slider {
        int min = kBezelMin;
        int max = kBezelMax;
        int pos = 0;
        std::string label;  // the position, "%d"
    };
    struct State {
        std::vector<std::string> timings;  // the list's texts, "Manual configure" last
        int selected = -1;
        bool editsEnabled = false;         // width, height and frequency
        std::string width, height, frequency, pixelClock;
        Slider horizontal, vertical;
        bool applyEnabled = false;
        std::string status;                // the status line
        int debugMode = kDebugModeDpcd;
        std::string debugData = kDebugDataStart;
        std::string debugAddress = kDebugAddressStart;
        std::string debugCount = kDebugCountStart;
        bool adapterFound = false;
    };

    DisplayTimingTool(drv::DriverLoader& driver, platform::Clock& clock, platform::Prompt& prompt,
                      BezelCorrection& correction);
    ~DisplayTimingTool();

    // Starts the display access, finds the adapter, fills the list and the debug row, reads the
    // firmware version and puts the corrections back on the adapter.
    void open();
    const State& state() const { return state_; }

    void selectTiming(int index);
    // The manual fields, as the user types them.
    void editManual(const std::string& width, const std::string& height,
                    const std::string& frequency);
    void pressSet();
    void moveSlider(bool horizontal, int position);
    void pressApply();
    // The debug row's send: parses the data field against the count field and sends the bytes
    // as the bezel command. True when they were sent.
    bool sendDebugData();
    void editDebug(const std::string& data, const std::string& count);

private:
    std::optional<DisplayTiming> manualTiming();
    void showTiming(const DisplayTiming& timing);
    void fillList(size_t display);
    bool sendBezel(const char* format, int value);
    void showError(const char* text);

    DisplayAccess displays_;
    platform::Clock& clock_;
    platform::Prompt& prompt_;
    BezelCorrection& correction_;
    std::optional<size_t> adapter_;
    std::vector<TimingEntry> entries_;
    State state_;
};

}  // namespace qv::tools
