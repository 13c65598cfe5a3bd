// `qvctl remote` against the real bridge in this test process: the connection component on
// 127.0.0.1 and the main window's controller on the built-in simulated boards, with a thread
// that hands the posted messages to the controller as the window's event loop does.
#include <fstream>
#include <thread>

#include "cli/CliFixture.h"
#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "platform/CompanionFiles.h"
#include "platform/QueuePoster.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteStateFiles.h"
#include "settings/FileRegistryStore.h"
#include "support/SimHarness.h"
#include "tuning/MainWindowController.h"

namespace qv::test {
namespace {

constexpr uint8_t kGpu05E2 = 2;

class QvctlRemote : public CliTest {
protected:
    void SetUp() override {
        session_ = std::make_unique<SimSession>("", clock_);
        gpu::GpuLayerServices gpuServices;
        gpuServices.clock = &clock_;
        gpuServices.poster = &poster_;
        gpuServices.workingFolder = data_.path();
        layer_ = std::make_unique<gpu::GpuLayer>(session_->loader(), gpuServices);
        ASSERT_EQ(layer_->initialize(), gpu::kInitOk);
        layer_->waitForProbe();
        ASSERT_EQ(session_->sim().freezeTime(1), 0);
        remote::installStateFileTemplates(data_.path());

        tuning::MainWindowServices services;
        services.store = &store_;
        services.settings = &settings_;
        services.clock = &clock_;
        services.poster = &poster_;
        services.hardwareReady = true;
        services.simulated = true;
        services.bridge = &bridge_;
        services.remoteFolder = data_.path();
        controller_ = std::make_unique<tuning::MainWindowController>(*layer_, services);
        controller_->start();
        program_ = std::jthread([this](std::stop_token stop) {
            while (!stop.stop_requested()) {
                if (const auto posted = poster_.take(20)) {
                    controller_->handlePostedMessage(posted->message, posted->wParam,
                                                     posted->lParam);
                }
            }
        });
        remote::RemoteServerOptions options;
        options.listenAddress = "127.0.0.1";
        options.port = 0;
        options.password = 570293;
        options.clock = &clock_;
        options.poster = &poster_;
        server_ = std::make_unique<remote::RemoteServer>(bridge_, options);
        ASSERT_EQ(server_->start(), remote::kServerOk);
        target_ = "127.0.0.1:" + std::to_string(server_->port());
    }
    void TearDown() override {
        if (server_) {
            server_->stop();
        }
        program_ = {};
        controller_.reset();
    }
    // qvctl remote with `input` as its standard input.
    ProcessResult remote(const std::vector<std::string>& words, const std::string& input) {
        const std::string inputFile = data_.file("input");
        std::ofstream(inputFile, std::ios::binary) << input;
        std::vector<std::string> args = {"-c", "exec \"$0\" remote \"$@\" < \"$INPUT\"",
                                         platform::executableFolder() + "/" + kQvctl};
        args.insert(args.end(), words.begin(), words.end());
        return ChildProcess::run("/bin/sh", args, {{"INPUT", inputFile}}, options(), kQvctlTimeout);
    }
    uint32_t cardGraphicsKHz(int mode) {
        gpu::PerfClockRequest request;
        EXPECT_EQ(layer_->readLevelClocks(kGpu05E2, request, mode), drv::kOk);
        return request.graphicsCurrent;
    }

    FakeClock clock_;
    TempDir data_;
    std::unique_ptr<SimSession> session_;
    platform::QueuePoster poster_;
    settings::FileRegistryStore store_{
        settings::StorePaths{data_.file("settings.conf"), data_.file("quorvel.desktop")}};
    settings::RegistrySettings settings_;
    std::unique_ptr<gpu::GpuLayer> layer_;
    remote::RemoteBridge bridge_;
    std::unique_ptr<tuning::MainWindowController> controller_;
    std::jthread program_;
    std::unique_ptr<remote::RemoteServer> server_;
    std::string target_;
};

TEST_F(QvctlRemote, StatusShowsTheStateFileWithThePasswordFromStandardInputOrAFile) {
    ProcessResult r = remote({target_, "status"}, "570293\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = parseBlocks("GPU 0\n" + r.out)[0];
    EXPECT_EQ(lines.at("gpu"), "0");
    EXPECT_EQ(lines.at("fan automatic"), "1");
    EXPECT_NE(lines.at("gpu clock"), "0");

    std::ofstream(data_.file("password")) << "570293\n";
    r = remote({target_, "--password-file", data_.file("password"), "status"}, "");
    EXPECT_EQ(r.exitCode, 0) << r.err;

    r = remote({target_, "status"}, "570294\n");
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_NE(r.err.find("wrong password"), std::string::npos) << r.err;
    // No password on the command line: an extra word is a usage error, not a password.
    r = remote({target_, "status", "570293"}, "");
    EXPECT_EQ(r.exitCode, 1);
}

TEST_F(QvctlRemote, SetClocksThenApplyChangesTheCardAndAFailedWriteIsReported) {
    const int mode = gpu::kLevelKind3DPerf;
    ProcessResult r = remote({target_, "select", "2", std::to_string(mode)}, "570293\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const int before = static_cast<int>(cardGraphicsKHz(mode) / 1000);
    const std::string target = std::to_string(before - 10);
    r = remote({target_, "set-clocks", target, "-", "-"}, "570293\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("gpu clock: " + target + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(cardGraphicsKHz(mode), static_cast<uint32_t>(before) * 1000);

    r = remote({target_, "apply"}, "570293\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "apply: done\n");
    EXPECT_EQ(cardGraphicsKHz(mode), static_cast<uint32_t>(before - 10) * 1000);
    r = remote({target_, "status"}, "570293\n");
    const std::string applied = parseBlocks("GPU 0\n" + r.out)[0]["gpu clock"];

    ASSERT_EQ(
        remote({target_, "set-clocks", std::to_string(before - 20), "-", "-"}, "570293\n").exitCode,
        0);
    ASSERT_EQ(session_->sim().injectStatus(drv::kGpuSetPerfClocks, drv::kError, 1), 0);
    r = remote({target_, "apply"}, "570293\n");
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(r.out, "apply: failed\n");
    EXPECT_EQ(cardGraphicsKHz(mode), static_cast<uint32_t>(before - 10) * 1000);
    r = remote({target_, "status"}, "570293\n");
    EXPECT_EQ(parseBlocks("GPU 0\n" + r.out)[0]["gpu clock"], applied)
        << "the controls are back at what they were before the phone moved them: " << r.out;
}

}  // namespace
}  // namespace qv::test
