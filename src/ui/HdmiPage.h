// The main window's HDMI page: the plan of the eight speakers over the tuning area, with Play,
// the button that makes the HDMI audio output the default now, and the line that says when no
// HDMI audio device is found. It runs the window's 3200 ms default-device check and the 1000 ms
// speaker highlight timer; every rule is the HdmiAudio model's.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/RegistrySettings.h"
#include "tools/ClipPlayer.h"
#include "tools/HdmiAudio.h"
#include "tools/SoundServer.h"

class QLabel;
class QMouseEvent;
class QPushButton;
class QTimer;

namespace qv::ui {

class HdmiPage final : public QWidget {
public:
    // `area` is the page's place in the main window, whose coordinates the speaker table uses;
    // `clipPath` finds the shipped clips by name.
    HdmiPage(settings::RegistrySettings& settings,
             std::function<std::string(const std::string&)> clipPath, QRect area,
             QWidget* parent);
    ~HdmiPage() override;

    // Starts the default-device check, as the window does once it is set up.
    void startChecks();
    void stopTimers();
    // Looks for the device again (the page is shown).
    void refresh();
    // One default-device check, as its timer runs it.
    void checkNow();
    // One tick of the highlight timer.
    void highlightNow();

    const tools::HdmiAudio& audio() const { return *audio_; }
    bool checksActive() const;
    bool highlightActive() const;
    QString statusText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void play(const std::vector<size_t>& speakers);
    void showPass(const tools::SpeakerTest::Pass& pass);
    void renderStatus();
    QRect speakerBox(size_t speaker) const;
    std::optional<size_t> speakerUnder(const QMouseEvent& event) const;

    settings::RegistrySettings& settings_;
    QPoint origin_;
    tools::PulseSoundServer server_;
    tools::ClipPlayer player_;
    std::unique_ptr<tools::HdmiAudio> audio_;
    QLabel* status_ = nullptr;
    QPushButton* playButton_ = nullptr;
    QPushButton* selectButton_ = nullptr;
    QTimer* checkTimer_ = nullptr;
    QTimer* highlightTimer_ = nullptr;
};

}  // namespace qv::ui
