// How the real window program ends, started as a separate process on the offscreen platform,
// and what a request to end does to the modal windows that run their own loops.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>

#include "gpu/GpuLayer.h"
#include "settings/FileRegistryStore.h"
#include "settings/RegistryValues.h"
#include "support/ChildProcess.h"
#include "support/SimHarness.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/QtMainWindowHost.h"
#include "ui/QtPrompt.h"
#include "ui/UiTestSupport.h"

namespace qv::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kProgram = "quorvel";

// The child's simulated boards seen from the test: the same state folder and configuration,
// and the simulator's control surface.
class MachineCards {
public:
    explicit MachineCards(const ProgramMachine& machine) {
        environment_.set("QUORVEL_SIM_STATE_DIR", machine.simState.path());
        environment_.set("QUORVEL_SIM_CONFIG", "");
        handle_ = dlopen(simLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            ADD_FAILURE() << "cannot open the simulated driver: " << dlerror();
            return;
        }
        EXPECT_EQ(control_.resolve(handle_), "");
    }
    ~MachineCards() {
        if (handle_ != nullptr) {
            dlclose(handle_);
        }
    }

    void pinAll(int celsius) {
        for (uint8_t gpu = 0; gpu < kBuiltinGpuCount; ++gpu) {
            ASSERT_EQ(control_.setTemperature(gpu, celsius), 0);
        }
    }
    void pin(uint8_t gpu, int celsius) { ASSERT_EQ(control_.setTemperature(gpu, celsius), 0); }

private:
    ScopedEnvironment environment_;
    void* handle_ = nullptr;
    SimControl control_;
};

void storeValues(const ProgramMachine& machine,
                 std::initializer_list<std::pair<const char*, uint32_t>> values) {
    settings::FileRegistryStore store(settings::StorePaths{
        machine.config.file(settings::kSettingsFileName), machine.config.file("quorvel.desktop")});
    for (const auto& [name, value] : values) {
        ASSERT_TRUE(store.writeValue(name, value)) << name;
    }
}

TEST(ProgramEnding, TheAlarmWindowDoesNotHoldUpASignalAndTheExitStepsRun) {
    ProgramMachine machine;
    storeValues(machine, {{settings::kValueTemperatureAlarmSet, 1},
                          {settings::kValueTemperatureAlarmValue, 0},
                          {settings::kValueRestoreUserSettings, 1}});
    MachineCards cards(machine);
    cards.pinAll(40);
    cards.pin(0, 110);  // above the alarm's 95, below the power-off's 120
    ChildProcess program(kProgram, {"--simulate"}, machine.environment(true));
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.waitForOutput("main window: running", 60s, true)) << program.soFar().err;
    // The alarm window opens on the first tick.
    EXPECT_TRUE(program.waitForOutput("alarm window: open", 10s, true)) << program.soFar().err;

    program.sendSignal(SIGTERM);
    const ChildProcess::Result result = program.finish(15s);
    EXPECT_FALSE(result.timedOut) << "the process waited for OK";
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(std::filesystem::exists(machine.data.file("UserSettings.txt")))
        << "the settings for the next start were not kept";
}

// Runs the application once on `machine` with the window `options`, then `check` on it.
template <typename Check>
void runWindow(AppMachine& machine, const ui::QtMainWindowOptions& options, Check check) {
    ui::QtMainWindowHost host(options);
    platform::PosixSingleInstance instance(machine.lock.path());
    app::AppServices services = machine.services();
    services.window = &host;
    services.instance = &instance;
    app::CQuorvelHDApp app(services);
    app.InitInstance({});
    check(app);
}

// A message box, as the end of an Apply shows it, open when the signal arrives.
TEST(ProgramEnding, ASignalClosesAnOpenMessageBoxAndLaterOnesAnswerAtOnce) {
    AppMachine machine;
    ui::QtPrompt prompt;
    std::vector<platform::PromptAnswer> answers;
    bool watchdogFired = false;
    ui::QtMainWindowOptions options;
    options.afterShown = [&](ui::CQuorvelHDDlg& window) {
        QTimer::singleShot(200, [] { ::raise(SIGTERM); });
        // Should the signal not close the boxes, press their buttons so that the test ends.
        auto* watchdog = new QTimer(&window);
        watchdog->setInterval(15000);
        QObject::connect(watchdog, &QTimer::timeout, [&] {
            watchdogFired = true;
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(widget)) {
                    box->done(QMessageBox::Ok);
                }
            }
        });
        watchdog->start();
        answers.push_back(prompt.show("Quorvel", "Apply completed",
                                      platform::PromptIcon::kInformation,
                                      platform::PromptButtons::kOk));
        answers.push_back(prompt.show("Quorvel", "Another", platform::PromptIcon::kQuestion,
                                      platform::PromptButtons::kYesNo));
    };
    runWindow(machine, options, [&](app::CQuorvelHDApp& app) {
        EXPECT_FALSE(watchdogFired) << "the box waited for someone to press OK";
        ASSERT_EQ(answers.size(), 2u);
        EXPECT_EQ(answers[1], platform::dismissedAnswer(platform::PromptButtons::kYesNo))
            << "a question asked while ending is dismissed at once";
        EXPECT_EQ(app.startupEnd(), app::StartupEnd::kWindowEnded);
    });
}

}  // namespace
}  // namespace qv::test
