#include "ui/QtMainWindowHost.h"

#include <QEventLoop>
#include <QPixmap>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/CQuorvelHDApp.h"
#include "platform/DebugOutput.h"
#include "platform/TerminationSignals.h"
#include "ui/CAdvanceDlg.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/ModalEnding.h"

namespace qv::ui {

namespace {
constexpr int kResultEnded = 0;
constexpr int kResultFailed = 1;
}  // namespace

int QtMainWindowHost::runMainWindow(app::CQuorvelHDApp& app) {
    ++runs_;
    clearProgramEnding();
    CQuorvelHDDlg window(app);
    QEventLoop loop;
    int result = kResultEnded;
    window.setEndHandler([&](int code) {
        result = code;
        loop.exit(code);
    });

    // Later starts of the program ask this window to show itself.
    std::unique_ptr<QSocketNotifier> instanceNotifier;
    const int instanceFd = app.singleInstance().listenDescriptor();
    if (instanceFd >= 0) {
        instanceNotifier = std::make_unique<QSocketNotifier>(instanceFd, QSocketNotifier::Read);
        QObject::connect(instanceNotifier.get(), &QSocketNotifier::activated, &window, [&] {
            window.handleInstanceMessages(app.singleInstance().takeMessages());
        });
    }

    // SIGTERM, SIGINT and SIGHUP end the window the normal way. An open alarm window or message
    // box runs a loop of its own inside this one; it is closed first, or the program would wait
    // for someone to press OK.
    std::unique_ptr<QSocketNotifier> signalNotifier;
    const int signalFd = platform::terminationSignalDescriptor();
    if (signalFd >= 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(signalFd, QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &window, [&] {
            if (platform::takeTerminationSignal() != 0) {
                platform::debugOutput("main window: ending on a signal\n");
                endModalWindows();
                window.endDialog(kResultEnded);
            }
        });
    }

    window.applyStartMode();
    platform::debugOutput("main window: running, start mode %d\n", app.startMode());

    if (options_.openAdvanced) {
        window.openAdvanced();
    }
    if (!options_.screenshotPath.empty()) {
        CAdvanceDlg* advanced = window.advancedDialog();
        if (options_.screenshotWide) {
            if (advanced != nullptr) {
                advanced->toggleWidth();
            } else {
                window.toggleOverclockingInterface(true);
            }
        }
        QTimer::singleShot(kScreenshotDelayMs, &window, [&window, this] {
            // The gauges show one sampling tick's values rather than an empty dial.
            window.sampleNow();
            CAdvanceDlg* shown = window.advancedDialog();
            if (shown != nullptr) {
                shown->refreshNow();
            }
            const QPixmap picture = shown != nullptr ? shown->grab() : window.grab();
            screenshotSaved_ = picture.save(QString::fromStdString(options_.screenshotPath), "PNG");
            if (!screenshotSaved_) {
                std::fprintf(stderr, "cannot write the screenshot to %s\n",
                             options_.screenshotPath.c_str());
            }
            window.endDialog(screenshotSaved_ ? kResultEnded : kResultFailed);
        });
    }
    if (options_.afterShown) {
        QTimer::singleShot(0, &window, [&] { options_.afterShown(window); });
    }

    loop.exec();
    return result;
}

}  // namespace qv::ui
