// The main window's HDMI page on the offscreen platform over the simulated boards: the page
// shown by its button, the no-device line, the default-device check against a private sound
// server, speaker clicks and the highlight timer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "UiTestSupport.h"
#include "lang/CMultiLangSupp.h"
#include "lang/HdmiPageRows.h"
#include "settings/RegistryValues.h"
#include "support/PulseDaemon.h"
#include "tools/HdmiAudio.h"
#include "tools/WaveClip.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/HdmiPage.h"

namespace qv::test {
namespace {

class HdmiPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The clips of the speaker test, short ones, where the program finds its shipped data.
        tools::WaveClip clip;
        clip.sampleRate = 8000;
        clip.samples.assign(4000, 500);
        const std::vector<uint8_t> bytes = tools::encodeWaveClip(clip);
        for (const tools::SpeakerEntry& speaker : tools::kSpeakerTable) {
            std::ofstream(machine_.program.file(speaker.clip), std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
    }

    // The application and its window; `server` is the sound server the program sees.
    void startWindow(const std::string& server) {
        machine_.environment.set("PULSE_SERVER", server);
        app_ = std::make_unique<app::CQuorvelHDApp>(machine_.services());
        app_->InitInstance({});
        ASSERT_TRUE(app_->hardwareReady());
        window_ = std::make_unique<ui::CQuorvelHDDlg>(*app_);
        window_->show();
        page_ = window_->hdmiPage();
        ASSERT_NE(page_, nullptr);
    }

    QPushButton* hdmiButton() { return window_->findChild<QPushButton*>("hdmiButton"); }

    std::string defaultSink() {
        tools::PulseSoundServer server(daemon_.address());
        tools::SoundServerState state;
        EXPECT_EQ(server.readState(state), tools::kSoundServerOk);
        return state.defaultSink;
    }

    // A click at a point of the main window, where the page lies.
    void clickAt(int x, int y) {
        QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(x, y) - page_->pos());
    }

    AppMachine machine_;
    PulseDaemon daemon_;
    std::unique_ptr<app::CQuorvelHDApp> app_;
    std::unique_ptr<ui::CQuorvelHDDlg> window_;
    ui::HdmiPage* page_ = nullptr;
};

// Where QV_SCREENSHOTS names a folder, the picture for the documentation goes there as well.
void keepPicture(const QImage& image, const char* name) {
    if (const char* folder = std::getenv("QV_SCREENSHOTS"); folder != nullptr && *folder != 0) {
        EXPECT_TRUE(image.save(QString::fromLocal8Bit(folder) + "/" + name)) << name;
    }
}

TEST_F(HdmiPageTest, WithoutASoundServerThePageSaysSoAndTheChecksChangeNothing) {
    startWindow("unix:" + machine_.lock.file("no-server"));
    QPushButton* button = hdmiButton();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text().toStdString(), lang::languageTable().text(lang::kTextHdmi));
    EXPECT_FALSE(page_->isVisible());
    button->click();
    EXPECT_TRUE(page_->isVisible());
    // A machine whose sound card is the HDMI audio device has it without a server.
    const std::string noDevice =
        tools::hasHdmiAudio(tools::listPlaybackDevices()) ? "" : tools::kTextNoHdmiDevice;
    EXPECT_EQ(page_->statusText().toStdString(), noDevice);

    window_->applyStartMode();
    EXPECT_TRUE(page_->checksActive());
    for (int tick = 0; tick < 3; ++tick) {
        page_->checkNow();
    }
    EXPECT_EQ(page_->statusText().toStdString(), noDevice);
    EXPECT_TRUE(machine_.prompt.shown.empty());

    // A speaker click plays nothing and lights nothing; no message either.
    const tools::SpeakerRect r = tools::kSpeakerTable[0].rect;
    clickAt(r.left + r.width / 2, r.top + r.height / 2);
    EXPECT_FALSE(page_->audio().speakers().lit(0));
    EXPECT_FALSE(page_->highlightActive());
    EXPECT_TRUE(machine_.prompt.shown.empty());

    button->click();
    EXPECT_FALSE(page_->isVisible());
    window_->endDialog(0);
    EXPECT_FALSE(page_->checksActive());
}

class HdmiPageServerTest : public HdmiPageTest {
protected:
    void SetUp() override {
        HdmiPageTest::SetUp();
        const std::string why = daemon_.start();
        if (!why.empty()) {
            GTEST_SKIP() << "no sound server for the test: " << why;
        }
    }
};

TEST_F(HdmiPageServerTest, TheCheckSelectsTheHdmiSinkOnceAndLeavesTheUsersLaterChoice) {
    startWindow(daemon_.address());
    window_->showHdmiPage(true);
    EXPECT_TRUE(page_->statusText().isEmpty());
    EXPECT_EQ(defaultSink(), kTestOtherSink);
    page_->checkNow();
    EXPECT_EQ(defaultSink(), kTestHdmiSink);

    tools::PulseSoundServer user(daemon_.address());
    ASSERT_EQ(user.setDefaultSink(kTestOtherSink), tools::kSoundServerOk);
    for (int tick = 0; tick < 3; ++tick) {
        page_->checkNow();
    }
    EXPECT_EQ(defaultSink(), kTestOtherSink);

    // The page's button makes it the default again on request.
    window_->findChild<QPushButton*>("hdmiSelectButton")->click();
    EXPECT_EQ(defaultSink(), kTestHdmiSink);
}

TEST_F(HdmiPageServerTest, TheStoredOptionOffIsHonouredFromTheStart) {
    ASSERT_TRUE(machine_.store.writeValue(settings::kValueHdmiAutoSet, 0));
    startWindow(daemon_.address());
    EXPECT_FALSE(app_->settings().hdmiAutoSet);
    page_->checkNow();
    EXPECT_EQ(defaultSink(), kTestOtherSink);
}

TEST_F(HdmiPageServerTest, EdgeClicksSelectNothingAndTheLightsFollowTheTableThenStop) {
    startWindow(daemon_.address());
    window_->showHdmiPage(true);
    const tools::SpeakerRect r = tools::kSpeakerTable[3].rect;
    clickAt(r.left, r.top + r.height / 2);
    clickAt(r.left + r.width, r.top + r.height / 2);
    clickAt(r.left + r.width / 2, r.top + r.height);
    EXPECT_FALSE(page_->highlightActive());
    EXPECT_FALSE(page_->audio().speakers().lit(3));

    clickAt(r.left + r.width / 2, r.top + r.height / 2);
    EXPECT_TRUE(page_->audio().speakers().lit(3));
    EXPECT_TRUE(page_->highlightActive());
    page_->highlightNow();
    EXPECT_FALSE(page_->audio().speakers().lit(3));
    EXPECT_FALSE(page_->highlightActive());

    // Play: every speaker in table order, one lit at a time, then the timer stops.
    window_->findChild<QPushButton*>("hdmiPlayButton")->click();
    std::vector<size_t> order;
    for (int tick = 0; tick < 20 && page_->highlightActive(); ++tick) {
        for (size_t i = 0; i < tools::kSpeakerCount; ++i) {
            if (page_->audio().speakers().lit(i) && (order.empty() || order.back() != i)) {
                order.push_back(i);
            }
        }
        if (order.size() == 3 && page_->audio().speakers().lit(2)) {
            keepPicture(window_->grab().toImage(), "hdmi-page.png");
        }
        page_->highlightNow();
    }
    EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_FALSE(page_->highlightActive());
    for (size_t i = 0; i < tools::kSpeakerCount; ++i) {
        EXPECT_FALSE(page_->audio().speakers().lit(i)) << i;
    }
}

}  // namespace
}  // namespace qv::test
