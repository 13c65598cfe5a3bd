// The main window's BIOS button and its flash: the file chosen and checked, the question, the
// busy state while the job runs (the wait window's text, Quit and Apply held back), and the
// message the job's notice brings. Also the link that looks up BIOS files for the GPU on show.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "online/FlashJob.h"
#include "platform/FileChooser.h"
#include "platform/Poster.h"
#include "platform/Prompt.h"

namespace qv::settings {
class RegistryStore;
}

namespace qv::tuning {

// The file chooser's filter for BIOS images.
inline constexpr const char* kBiosFileFilter = "BIOS file(*.rom *.ROM *.nvr *.NVR)";
// The support site's BIOS search; the GPU's BIOS version text goes in place of %s.
inline constexpr const char* kBiosSearchPath = "/Search.aspx?Type=Bios&ID=%s";
// Added under the failure message when the tool was left running past the time limit. The
// language table has no row for it, so it reads the same in every language.
inline constexpr const char* kFlashStillRunningNote =
    "The flash tool is still running. Do not restart or switch off the computer until it ends.";

// The search link for a BIOS version on `supportServer`.
std::string biosSearchLink(const std::string& supportServer, const std::string& biosVersion);

// The flash tool the settings name (a name looked up beside the program and on the PATH, or a
// path), or the vendor tool's usual name when they name none.
std::string flashToolName(settings::RegistryStore& store);

struct BiosFlashServices {
    platform::Prompt* prompt = nullptr;
    platform::FileChooser* chooser = nullptr;
    // The job's notice goes to `uiThreadId` as a command message.
    platform::Poster* poster = nullptr;
    uint32_t uiThreadId = 0;
    std::string initialFolder;  // where the file chooser opens
    online::FlashServices job;
};

class BiosFlash {
public:
    explicit BiosFlash(BiosFlashServices services);
    // A running job is asked to stop waiting and joined; the tool keeps running.
    ~BiosFlash();
    BiosFlash(const BiosFlash&) = delete;
    BiosFlash& operator=(const BiosFlash&) = delete;

    // The BIOS button, for the GPU on show: the file, its check and the question; true when
    // the flash started. Nothing while a flash or other work (`otherWorkRunning`) is under way.
    bool pressBios(int gpuOnShow, bool otherWorkRunning);
    // From the start of a flash until its notice has been handled.
    bool running() const { return busyGpu_ >= 0; }
    // The wait window's text while a flash runs; empty otherwise.
    const std::string& waitText() const { return waitText_; }
    // The job's notice (a command whose high word marks a flash): leaves the busy state and
    // tells the person how it went. `gpu` is the notice's GPU index.
    void onFlashDone(uint32_t command, intptr_t gpu);
    // What the last finished flash did, for the log and tests.
    const online::FlashOutcome& lastOutcome() const { return lastOutcome_; }

private:
    std::string text(int row) const;
    void show(const std::string& text, platform::PromptIcon icon,
              platform::PromptButtons buttons = platform::PromptButtons::kOk,
              platform::PromptAnswer* answer = nullptr);

    BiosFlashServices services_;
    std::unique_ptr<online::FlashJob> job_;
    int busyGpu_ = -1;
    std::string waitText_;
    // Written by the worker just before it posts its notice; read on the UI thread after.
    std::mutex outcomeMutex_;
    online::FlashOutcome workerOutcome_;
    online::FlashOutcome lastOutcome_;
};

}  // namespace qv::tuning
