// How the real window program ends, started as a separate process on the offscreen platform:
// every ending runs the exit steps or, where the process cannot act, leaves the fan guard to
// return the fans its rules drove.
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
// the simulator's control surface, and a hardware layer of the test's own to read the fans.
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
        layer_.reset();
        loader_.reset();
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

    // The fan mode of every GPU with a cooler (1 automatic, 2 manual), as the driver has it now.
    std::vector<int> fanModes() {
        if (!layer_) {
            loader_ = std::make_unique<drv::DriverLoader>(simLibraryPath());
            gpu::GpuLayerServices services;
            services.workingFolder = work_.path();
            layer_ = std::make_unique<gpu::GpuLayer>(*loader_, services);
            EXPECT_EQ(layer_->initialize(), gpu::kInitOk);
            layer_->waitForProbe();
        }
        std::vector<int> modes;
        for (uint8_t gpu = 0; gpu < layer_->gpuCount(); ++gpu) {
            if (layer_->record(gpu).fanKind == gpu::kFanNoCooler) {
                continue;
            }
            int mode = 0;
            EXPECT_EQ(layer_->fanMode(gpu, mode), 0);
            modes.push_back(mode);
        }
        return modes;
    }
    bool allFans(int mode, std::chrono::milliseconds limit) {
        return waitUntil(
            [&] {
                const std::vector<int> modes = fanModes();
                return !modes.empty() &&
                       std::all_of(modes.begin(), modes.end(), [&](int m) { return m == mode; });
            },
            limit);
    }

private:
    ScopedEnvironment environment_;
    TempDir work_;
    void* handle_ = nullptr;
    SimControl control_;
    std::unique_ptr<drv::DriverLoader> loader_;
    std::unique_ptr<gpu::GpuLayer> layer_;
};

void storeValues(const ProgramMachine& machine,
                 std::initializer_list<std::pair<const char*, uint32_t>> values) {
    settings::FileRegistryStore store(settings::StorePaths{
        machine.config.file(settings::kSettingsFileName), machine.config.file("quorvel.desktop")});
    for (const auto& [name, value] : values) {
        ASSERT_TRUE(store.writeValue(name, value)) << name;
    }
}

constexpr int kAutomatic = gpu::GpuLayer::kFanModeAutomatic;
constexpr int kManual = gpu::GpuLayer::kFanModeManual;

// The program runs with the Custom rule holding every fan at its low level.
struct RuleDrivenRun {
    RuleDrivenRun() {
        storeValues(machine, {{settings::kValueHighSet, 1}});
        cards.pinAll(40);
        std::map<std::string, std::string> env = machine.environment(true);
        // Qt Core now and then leaves one small allocation of its own behind (152 bytes, from
        // Qt's stack alone) when a termination signal ends the program mid-event. Leak checking
        // stays on for every other start of the program.
        addSanitizerOption(env, "detect_leaks=0");
        program = std::make_unique<ChildProcess>(kProgram, std::vector<std::string>{"--simulate"},
                                                 std::move(env));
        EXPECT_TRUE(program->start());
        EXPECT_TRUE(program->waitForOutput("main window: running", 60s, true))
            << program->soFar().err;
        // Until the program has taken every fan over, one can be manual only for a moment of
        // the start-up's own probing.
        EXPECT_TRUE(program->waitForOutput("fans: driven by the rules: 0 1 2", 30s, true))
            << program->soFar().err;
        EXPECT_TRUE(cards.allFans(kManual, 30s)) << "the rule never drove the fans";
    }
    ProgramMachine machine;
    MachineCards cards{machine};
    std::unique_ptr<ChildProcess> program;
};

TEST(ProgramEnding, EachTerminationSignalReturnsTheRuleDrivenFansBeforeTheProcessEnds) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        RuleDrivenRun run;
        run.program->sendSignal(signal);
        const ChildProcess::Result result = run.program->finish(30s);
        EXPECT_EQ(result.exitCode, 0) << strsignal(signal) << "\n" << result.err;
        EXPECT_NE(result.err.find("fans: GPU 0 back to automatic (0)"), std::string::npos)
            << strsignal(signal) << ": the program returned them itself";
        const std::vector<int> modes = run.cards.fanModes();
        EXPECT_EQ(modes, std::vector<int>(modes.size(), kAutomatic)) << strsignal(signal);
    }
}

TEST(ProgramEnding, AfterAKillOrACrashTheGuardReturnsTheFans) {
    for (const int signal : {SIGKILL, SIGSEGV}) {
        RuleDrivenRun run;
        run.program->sendSignal(signal);
        const ChildProcess::Result result = run.program->finish(30s);
        // A program built with the address sanitizer turns the crash into an abort of its own.
        const bool crashAborted = signal == SIGSEGV && result.termSignal == SIGABRT;
        EXPECT_TRUE(result.termSignal == signal || crashAborted)
            << strsignal(signal) << " ended it by signal " << result.termSignal;
        EXPECT_TRUE(run.cards.allFans(kAutomatic, 30s)) << strsignal(signal) << "\n" << result.err;
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

// Quitting the window (its normal end) returns the fans the rules drove.
TEST(ProgramEnding, TheWindowsNormalEndReturnsTheRuleDrivenFans) {
    AppMachine machine;
    ASSERT_TRUE(machine.store.writeValue(settings::kValueHighSet, 1));
    std::vector<uint8_t> drivenWhileRunning;
    ui::QtMainWindowOptions options;
    options.afterShown = [&](ui::CQuorvelHDDlg& window) {
        window.sampleNow();
        drivenWhileRunning = window.controller().drivenFans().gpus();
        window.endDialog(0);
    };
    runWindow(machine, options, [&](app::CQuorvelHDApp& app) {
        EXPECT_EQ(drivenWhileRunning.size(), size_t{kBuiltinGpuCount}) << "the rule drove them";
        int mode = 0;
        for (uint8_t gpu = 0; gpu < app.gpuLayer().gpuCount(); ++gpu) {
            ASSERT_EQ(app.gpuLayer().fanMode(gpu, mode), 0);
            EXPECT_EQ(mode, kAutomatic) << int(gpu);
        }
    });
}

}  // namespace
}  // namespace qv::test
