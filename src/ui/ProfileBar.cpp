#include "ui/ProfileBar.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <filesystem>

#include "lang/LanguageRows.h"
#include "ui/CQVProfileDlg.h"
#include "ui/ProfileMessages.h"

namespace qv::ui {

namespace {

// The second image of a blinking slot button.
constexpr const char* kLitStyle = "QPushButton { background-color: #3a7bd5; color: white; }";

}  // namespace

ProfileBar::ProfileBar(settings::ProfileSlots& slots, settings::ProfileStore& store,
                       const lang::CMultiLangSupp& texts, platform::FileChooser& chooser,
                       QWidget* parent)
    : QWidget(parent), slots_(slots), store_(store), texts_(texts), chooser_(chooser) {
    setObjectName("profileBar");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (int slot = settings::kProfileFirstSlot; slot <= settings::kProfileLastSlot; ++slot) {
        auto* button = new QPushButton(QString::number(slot), this);
        button->setObjectName(QString("profileSlot%1").arg(slot));
        connect(button, &QPushButton::clicked, this, [this, slot] { pressSlot(slot); });
        row->addWidget(button);
        slotButtons_[static_cast<size_t>(slot - settings::kProfileFirstSlot)] = button;
    }
    saveButton_ = new QPushButton(QString::fromUtf8(texts.text(lang::kTextSave)), this);
    saveButton_->setObjectName("profileSave");
    connect(saveButton_, &QPushButton::clicked, this, [this] { pressSave(); });
    row->addWidget(saveButton_);
    profileButton_ =
        new QPushButton(QString::fromUtf8(texts.text(lang::kTextProfileCaption)), this);
    profileButton_->setObjectName("profileDialogButton");
    connect(profileButton_, &QPushButton::clicked, this, [this] { openProfileDialog(); });
    row->addWidget(profileButton_);

    blinkTimer_.setObjectName("profileBlinkTimer");
    blinkTimer_.setInterval(static_cast<int>(settings::kProfileBlinkPeriodMs));
    connect(&blinkTimer_, &QTimer::timeout, this, [this] { blinkTick(); });
}

void ProfileBar::setSaveEnabled(bool enabled) {
    saveButton_->setEnabled(enabled);
}

void ProfileBar::pressSave() {
    if (!saveButton_->isEnabled()) {
        return;
    }
    slots_.pressSave();
    blinkTimer_.start();
    showBlink();
}

void ProfileBar::blinkTick() {
    slots_.blinkTick();
    showBlink();
}

void ProfileBar::showBlink() {
    const bool lit = slots_.blinkLit();
    for (QPushButton* button : slotButtons_) {
        button->setStyleSheet(lit ? kLitStyle : "");
    }
}

void ProfileBar::pressSlot(int slot) {
    blinkTimer_.stop();
    const settings::ProfileSlotResult result = slots_.pressSlot(slot, store_);
    showBlink();
    switch (result.action) {
        case settings::ProfileSlotResult::Action::kNone:
            return;
        case settings::ProfileSlotResult::Action::kSaved:
            if (result.status != settings::kProfileOk) {
                showProfileError(*prompt_, texts_, profileSaveFailedText(result.path));
            }
            return;
        case settings::ProfileSlotResult::Action::kLoaded:
            if (result.status != settings::kProfileOk) {
                std::error_code ec;
                showProfileError(*prompt_, texts_,
                                 std::filesystem::exists(result.path, ec)
                                     ? profileLoadFailedText(result.path)
                                     : profileSlotEmptyText(slot));
            }
            scheduleLoaded();
            return;
    }
}

void ProfileBar::openProfileDialog() {
    // On the heap: the bar, and with it the dialog, may go away while the dialog runs.
    const QPointer<ProfileBar> self(this);
    const QPointer<CQVProfileDlg> dialog =
        new CQVProfileDlg(store_, slots_.dataFolder(), texts_, chooser_, *prompt_, this);
    dialog->exec();
    if (self.isNull() || dialog.isNull()) {
        return;
    }
    const bool loaded = dialog->outcome() == CQVProfileDlg::Outcome::kLoaded;
    delete dialog.data();
    if (loaded) {
        scheduleLoaded();
    }
}

void ProfileBar::scheduleLoaded() {
    QTimer::singleShot(static_cast<int>(settings::kProfileLoadPauseMs), this, [this] {
        if (loadedHandler_) {
            loadedHandler_();
        }
    });
}

}  // namespace qv::ui
