// The window runs the phone bridge as the settings store says: off by default, listening when
// switched on (the templates of its state files copied into the data folder), answering a
// phone through its event loop, and closing every connection when switched off again in the
// options dialog.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <chrono>
#include <filesystem>

#include "UiTestSupport.h"
#include "platform/SingleInstance.h"
#include "remote/RemoteClient.h"
#include "remote/RemoteService.h"
#include "remote/RemoteStateFiles.h"
#include "settings/RegistryValues.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/CSetDialog.h"

namespace qv::test {
namespace {

constexpr int kWaitMs = 5000;

// A port on 127.0.0.1 that nothing listens on just now.
uint16_t freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

class RemoteBridgeWindowTest : public ::testing::Test {
protected:
    void start() {
        instance_ = std::make_unique<platform::PosixSingleInstance>(machine_.lock.path());
        app::AppServices services = machine_.services();
        services.instance = instance_.get();
        app_ = std::make_unique<app::CQuorvelHDApp>(services);
        app_->InitInstance({});
        ASSERT_EQ(app_->startupEnd(), app::StartupEnd::kNoWindow);
        window_ = std::make_unique<ui::CQuorvelHDDlg>(*app_);
    }
    void switchOn() {
        port_ = freePort();
        ASSERT_TRUE(machine_.store.writeValue(settings::kValueRemoteBridge, 1));
        ASSERT_TRUE(machine_.store.writeValue(settings::kValueRemotePort, port_));
        ASSERT_TRUE(machine_.store.writeText(settings::kValueRemoteListenAddress, "127.0.0.1"));
    }
    // The phone's next packet, with the window's event loop running meanwhile.
    int receive(remote::Packet& packet) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        int status = remote::kClientTimedOut;
        while (status == remote::kClientTimedOut && std::chrono::steady_clock::now() < until) {
            QApplication::processEvents();
            status = client_.receive(packet, 10);
        }
        return status;
    }

    AppMachine machine_;
    std::unique_ptr<platform::PosixSingleInstance> instance_;
    std::unique_ptr<app::CQuorvelHDApp> app_;
    std::unique_ptr<ui::CQuorvelHDDlg> window_;
    remote::RemoteClient client_;
    uint16_t port_ = 0;
};

TEST_F(RemoteBridgeWindowTest, OffByDefaultNothingListensAndNoStateFileIsMade) {
    port_ = freePort();
    ASSERT_TRUE(machine_.store.writeValue(settings::kValueRemotePort, port_));
    start();
    EXPECT_EQ(client_.connect("127.0.0.1", port_, kWaitMs), remote::kClientNoConnection);
    EXPECT_FALSE(std::filesystem::exists(machine_.data.file(remote::kStateFileName)));
}

TEST_F(RemoteBridgeWindowTest, SwitchedOnItAnswersAPhoneAndTheOptionsDialogSwitchesItOff) {
    switchOn();
    start();
    ASSERT_TRUE(std::filesystem::exists(machine_.data.file(remote::kStateFileName)));
    ASSERT_EQ(client_.connect("127.0.0.1", port_, kWaitMs), remote::kClientOk);
    ASSERT_EQ(client_.login(settings::kDefaultIphonePassword, kWaitMs), remote::kClientOk);
    ASSERT_EQ(client_.sendCommand(remote::kTypeReadState, ""), remote::kClientOk);
    remote::Packet packet;
    ASSERT_EQ(receive(packet), remote::kClientOk);
    ASSERT_EQ(packet.type, remote::kTypeStateFile);
    EXPECT_EQ(remote::elementText(packet.payload, remote::kElementGpuClock),
              std::to_string(window_->dialogModel().controls().gpuClock.pos));

    // The switch in the IPHONE Control group shows the stored choice; cleared and confirmed,
    // it turns the bridge off.
    bool seen = false;
    window_->openSettings([&seen](ui::CSetDialog& dialog) {
        QTimer::singleShot(0, &dialog, [&dialog, &seen] {
            namespace options = settings::options;
            auto* box = qobject_cast<QAbstractButton*>(dialog.controlWidget(options::kRemoteBridge));
            auto* ok = qobject_cast<QAbstractButton*>(dialog.controlWidget(options::kOk));
            if (box == nullptr || ok == nullptr) {
                static_cast<QDialog&>(dialog).reject();
                return;
            }
            seen = box->isChecked();
            box->click();
            ok->click();
        });
    });
    EXPECT_TRUE(seen) << "the switch did not show the stored choice";
    uint32_t stored = 1;
    EXPECT_TRUE(machine_.store.readValue(settings::kValueRemoteBridge, stored));
    EXPECT_EQ(stored, 0u);
    EXPECT_EQ(receive(packet), remote::kClientClosed);
    remote::RemoteClient late;
    EXPECT_EQ(late.connect("127.0.0.1", port_, kWaitMs), remote::kClientNoConnection);
}

}  // namespace
}  // namespace qv::test
