// Runs the main window for the application object, so that the application stays free of the
// window toolkit. The call returns when the window has ended.
#pragma once

namespace qv::app {

class CQuorvelHDApp;

class MainWindowHost {
public:
    virtual ~MainWindowHost() = default;
    // Creates the main window, runs it until it ends and destroys it. 0 when it ended normally.
    virtual int runMainWindow(CQuorvelHDApp& app) = 0;
};

}  // namespace qv::app
