// The phone bridge end to end on the built-in simulated boards: a real client on 127.0.0.1,
// the real connection component, and the main window's controller carrying out the commands
// on the user-interface thread (this test's thread), with the same Apply run as the button.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/AtomicFile.h"
#include "platform/QueuePoster.h"
#include "remote/RemoteClient.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteStateFiles.h"
#include "settings/FileRegistryStore.h"
#include "support/SimHarness.h"
#include "tuning/ApplyController.h"
#include "tuning/ControllerRigSupport.h"
#include "tuning/MainWindowController.h"

namespace qv::tuning {
namespace {

constexpr uint8_t kGpu05E2 = 2;  // family A, slot-2 regulator, driver cooler
constexpr uint32_t kPassword = 570293;
constexpr int kWaitMs = 5000;

class RecordingPrompt final : public platform::Prompt {
public:
    platform::PromptAnswer show(const std::string&, const std::string& text, platform::PromptIcon,
                                platform::PromptButtons buttons) override {
        texts.push_back(text);
        return platform::dismissedAnswer(buttons);
    }
    std::vector<std::string> texts;
};

std::string int32Body(std::initializer_list<int32_t> values) {
    std::string body;
    for (const int32_t value : values) {
        remote::putUint32(body, static_cast<uint32_t>(value));
    }
    return body;
}

struct BridgeRig {
    explicit BridgeRig(bool withStateFiles = true) : session("", clock) {
        layer = openFrozenLayer(session, clock, poster, work);
        if (withStateFiles) {
            remote::installStateFileTemplates(work.path());
        }

        MainWindowServices services =
            controllerServices(store, settings, clock, poster, &prompt);
        services.bridge = &bridge;
        services.remoteFolder = work.path();
        controller = std::make_unique<MainWindowController>(*layer, services);
        controller->start();

        remote::RemoteServerOptions options;
        options.listenAddress = "127.0.0.1";
        options.port = 0;
        options.password = kPassword;
        options.clock = &clock;
        options.poster = &poster;
        server = std::make_unique<remote::RemoteServer>(bridge, options);
        EXPECT_EQ(server->start(), remote::kServerOk);
        EXPECT_EQ(client.connect("127.0.0.1", server->port(), kWaitMs), remote::kClientOk);
        EXPECT_EQ(client.login(kPassword, kWaitMs), remote::kClientOk);
    }
    ~BridgeRig() { server->stop(); }

    // Hands posted messages to the controller, as the window's event loop does, until one with
    // `message` was handled.
    bool pumpUntil(uint32_t message) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        while (std::chrono::steady_clock::now() < until) {
            const auto posted = poster.take(50);
            if (posted) {
                controller->handlePostedMessage(posted->message, posted->wParam, posted->lParam);
                if (posted->message == message) {
                    return true;
                }
            }
        }
        return false;
    }
    // Sends a command and carries it out; the reply's status and the state file it brought.
    int request(uint8_t type, const std::string& body, std::string& document) {
        if (client.sendCommand(type, body) != remote::kClientOk ||
            !pumpUntil(remote::kMessageRemoteCommand)) {
            return remote::kClientTimedOut;
        }
        remote::Packet packet;
        const int status = client.receive(packet, kWaitMs);
        if (status != remote::kClientOk) {
            return status;
        }
        document = packet.payload;
        return packet.type == remote::kTypeStateFile ? remote::kClientOk
                                                     : remote::kClientCommandRefused;
    }
    // Apply from the phone: the run's completion is handled, and the packet type answered.
    int apply() {
        if (client.sendCommand(remote::kTypeApply, "") != remote::kClientOk ||
            !pumpUntil(remote::kMessageRemoteCommand) || !pumpUntil(kMessageCommand)) {
            return -1;
        }
        remote::Packet packet;
        return client.receive(packet, kWaitMs) == remote::kClientOk ? packet.type : -1;
    }
    uint32_t cardGraphicsKHz(int mode) {
        gpu::PerfClockRequest request;
        EXPECT_EQ(layer->readLevelClocks(kGpu05E2, request, mode), drv::kOk);
        return request.graphicsCurrent;
    }
    const SliderState& control(Slider which) const { return controller->dialog().slider(which); }
    std::string text(const std::string& document, const char* element) const {
        return remote::elementText(document, element);
    }

    test::FakeClock clock;
    test::TempDir work;
    test::SimSession session;
    platform::QueuePoster poster;
    RecordingPrompt prompt;
    settings::FileRegistryStore store{
        settings::StorePaths{work.file("settings.conf"), work.file("quorvel.desktop")}};
    settings::RegistrySettings settings;
    std::unique_ptr<gpu::GpuLayer> layer;
    remote::RemoteBridge bridge;
    std::unique_ptr<MainWindowController> controller;
    std::unique_ptr<remote::RemoteServer> server;
    remote::RemoteClient client;
};

TEST(RemoteSession, StatusAndSelectAnswerWithTheStateFileOfTheWindowsControls) {
    BridgeRig rig;
    std::string document;
    ASSERT_EQ(rig.request(remote::kTypeReadState, "", document), remote::kClientOk);
    EXPECT_EQ(rig.text(document, remote::kElementGpuIndex), "0");
    EXPECT_EQ(rig.text(document, remote::kElementGpuClock),
              std::to_string(rig.control(Slider::kGpuClock).pos));

    ASSERT_EQ(rig.request(remote::kTypeSelect, int32Body({kGpu05E2, 0}), document),
              remote::kClientOk);
    EXPECT_EQ(rig.controller->dialog().gpuOnShow(), kGpu05E2);
    EXPECT_EQ(rig.text(document, remote::kElementGpuIndex), "2");
    EXPECT_EQ(rig.text(document, remote::kElementMode),
              std::to_string(remote::modeIndexText(rig.controller->dialog().pressedMode())));
    EXPECT_EQ(rig.text(document, remote::kElementMemoryClock),
              std::to_string(rig.control(Slider::kMemoryClock).pos));

    // A GPU that is not there and a mode outside 1 to 3 are refused and change nothing.
    EXPECT_EQ(rig.request(remote::kTypeSelect, int32Body({7, 0}), document),
              remote::kClientCommandRefused);
    EXPECT_EQ(rig.request(remote::kTypeSelect, int32Body({kGpu05E2, 9}), document),
              remote::kClientCommandRefused);
    EXPECT_EQ(rig.controller->dialog().gpuOnShow(), kGpu05E2);
    EXPECT_TRUE(rig.prompt.texts.empty());
}

TEST(RemoteSession, SetClocksThenApplyWritesTheCardAndRepliesFifteenWithoutAMessage) {
    BridgeRig rig;
    std::string document;
    const int mode = gpu::kLevelKind3DPerf;
    ASSERT_EQ(rig.request(remote::kTypeSelect, int32Body({kGpu05E2, mode}), document),
              remote::kClientOk);
    ASSERT_EQ(rig.controller->dialog().pressedMode(), mode);
    const int target = rig.control(Slider::kGpuClock).pos - 10;
    ASSERT_EQ(rig.request(remote::kTypeSetClocks, int32Body({target, -1, -1}), document),
              remote::kClientOk);
    EXPECT_EQ(rig.text(document, remote::kElementGpuClock), std::to_string(target));
    ASSERT_NE(rig.cardGraphicsKHz(mode), static_cast<uint32_t>(target) * 1000)
        << "nothing reaches the card before apply";

    EXPECT_EQ(rig.apply(), remote::kTypeApplySucceeded);
    EXPECT_EQ(rig.cardGraphicsKHz(mode), static_cast<uint32_t>(target) * 1000);
    EXPECT_FALSE(rig.bridge.remoteApplyPending());
    EXPECT_TRUE(rig.prompt.texts.empty()) << "the result went to the phone";
    EXPECT_FALSE(rig.controller->applyController().running());
}

TEST(RemoteSession, AFailedApplyRestoresTheControlsBeforeSixteenGoesOut) {
    BridgeRig rig;
    std::string document;
    const int mode = gpu::kLevelKind3DPerf;
    ASSERT_EQ(rig.request(remote::kTypeSelect, int32Body({kGpu05E2, mode}), document),
              remote::kClientOk);
    ASSERT_EQ(rig.controller->dialog().pressedMode(), mode);
    const int before = rig.control(Slider::kGpuClock).pos;
    const uint32_t cardBefore = rig.cardGraphicsKHz(mode);
    ASSERT_EQ(rig.request(remote::kTypeSetClocks, int32Body({before - 20, -1, -1}), document),
              remote::kClientOk);
    ASSERT_EQ(rig.session.sim().injectStatus(drv::kGpuSetPerfClocks, drv::kError, 1), 0);

    EXPECT_EQ(rig.apply(), remote::kTypeApplyFailed);
    EXPECT_EQ(rig.control(Slider::kGpuClock).pos, before);
    EXPECT_EQ(rig.cardGraphicsKHz(mode), cardBefore);
    EXPECT_TRUE(rig.prompt.texts.empty());
    // The next state file carries the restored clocks.
    ASSERT_EQ(rig.request(remote::kTypeReadState, "", document), remote::kClientOk);
    EXPECT_EQ(rig.text(document, remote::kElementGpuClock), std::to_string(before));
}

TEST(RemoteSession, ALocalApplyWithAPhoneConnectedSendsTheStateFile) {
    BridgeRig rig;
    rig.controller->pressApply();
    ASSERT_TRUE(rig.pumpUntil(kMessageCommand));
    ASSERT_EQ(rig.prompt.texts.size(), 1u);
    EXPECT_EQ(rig.prompt.texts[0], lang::languageTable().text(lang::kTextApplyDone));
    remote::Packet packet;
    ASSERT_EQ(rig.client.receive(packet, kWaitMs), remote::kClientOk);
    EXPECT_EQ(packet.type, remote::kTypeStateFile);
    EXPECT_EQ(rig.text(packet.payload, remote::kElementGpuClock),
              std::to_string(rig.control(Slider::kGpuClock).pos));
}

TEST(RemoteSession, AMissingStateFileWritesNothingAndTheCommandIsRefused) {
    BridgeRig rig(false);
    std::string document;
    EXPECT_EQ(rig.request(remote::kTypeReadState, "", document), remote::kClientCommandRefused);
    EXPECT_FALSE(std::filesystem::exists(rig.work.file(remote::kStateFileName)));
    EXPECT_FALSE(std::filesystem::exists(rig.work.file(remote::kFanRangeFileName)));
    // A local apply with the phone connected: no file, no packet, and no crash either.
    rig.controller->pressApply();
    ASSERT_TRUE(rig.pumpUntil(kMessageCommand));
    EXPECT_FALSE(std::filesystem::exists(rig.work.file(remote::kStateFileName)));
}

TEST(RemoteSession, TheFanRangeFileFollowsTheGpuOnShow) {
    BridgeRig rig;
    std::string document;
    ASSERT_EQ(rig.request(remote::kTypeSelect, int32Body({kGpu05E2, 0}), document),
              remote::kClientOk);
    std::string range;
    ASSERT_EQ(platform::readSmallFile(rig.work.file(remote::kFanRangeFileName), 4096, range), 0);
    EXPECT_EQ(rig.text(range, remote::kElementFansMin),
              std::to_string(rig.control(Slider::kFan).min));
    EXPECT_EQ(rig.text(range, remote::kElementFansMax),
              std::to_string(rig.control(Slider::kFan).max));
}

TEST(RemoteSession, AnIdlePhoneTimesOutOnTheSamplingTickWithItsMessage) {
    BridgeRig rig;
    std::string document;
    ASSERT_EQ(rig.request(remote::kTypeReadState, "", document), remote::kClientOk);
    rig.clock.sleepMs(static_cast<uint32_t>(remote::kClientTimeOutMs - 1));
    rig.controller->tick(false);
    EXPECT_TRUE(rig.bridge.clientConnected());
    rig.clock.sleepMs(1);
    rig.controller->tick(false);
    EXPECT_FALSE(rig.bridge.clientConnected());
    ASSERT_EQ(rig.prompt.texts.size(), 1u);
    EXPECT_EQ(rig.prompt.texts[0], remote::kClientOverTimeText);
    remote::Packet packet;
    ASSERT_EQ(rig.client.receive(packet, kWaitMs), remote::kClientOk);
    EXPECT_EQ(packet.type, remote::kTypeClientTimeOut);
    EXPECT_EQ(rig.client.receive(packet, kWaitMs), remote::kClientClosed);
}

}  // namespace
}  // namespace qv::tuning
