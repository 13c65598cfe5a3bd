// Runs the main window inside its own event loop until it ends: watches the single-instance
// socket for later starts and the termination signals, and can take a screenshot of the
// window and end.
#pragma once

#include <functional>
#include <string>

#include "app/MainWindowHost.h"

namespace qv::ui {

class CQuorvelHDDlg;

struct QtMainWindowOptions {
    // When set, the window is drawn into this PNG file once it is up, and then ends.
    std::string screenshotPath;
    // With a screenshot: the overclocking controls are shown first, without the question.
    bool screenshotWide = false;
    // The advanced control dialog opens with the window (quorvel --advanced); a screenshot
    // then draws that dialog, wide with screenshotWide.
    bool openAdvanced = false;
    // Called once the window is up (tests inspect and end it from here).
    std::function<void(CQuorvelHDDlg&)> afterShown;
};

class QtMainWindowHost final : public app::MainWindowHost {
public:
    static constexpr int kScreenshotDelayMs = 200;  // layout and fonts settle first

    explicit QtMainWindowHost(QtMainWindowOptions options = {}) : options_(std::move(options)) {}

    int runMainWindow(app::CQuorvelHDApp& app) override;

    int runs() const { return runs_; }
    bool screenshotSaved() const { return screenshotSaved_; }

private:
    QtMainWindowOptions options_;
    int runs_ = 0;
    bool screenshotSaved_ = false;
};

}  // namespace qv::ui
