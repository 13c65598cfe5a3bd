// The main window's HDMI page and the caption-line button that shows and hides it.
#include <QPushButton>

#include "lang/HdmiPageRows.h"
#include "lang/LanguageRows.h"
#include "platform/CompanionFiles.h"
#include "settings/RegistrySettings.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/HdmiPage.h"
#include "ui/MainWindowSkin.h"
#include "ui/MainWindowTexts.h"

namespace qv::ui {

using namespace mainwindow;

namespace {
// The page covers the tuning area of the normal part, where the speaker plan's places are.
constexpr int kHdmiPageTop = skin::kModeRowTop - 14;
constexpr int kHdmiPageBottom = skin::kActionRowTop - 6;
constexpr int kHdmiButtonWidth = 52;
constexpr int kHdmiButtonLeft = tuning::kDialogWidthNormal / 2 - kHdmiButtonWidth - skin::kButtonGap;
}  // namespace

void CQuorvelHDDlg::buildHdmiButton() {
    hdmiButton_ = makeButton("hdmiButton", lang::kTipHdmi);
    hdmiButton_->setText(tableText(lang::kTextHdmi));
    hdmiButton_->setCheckable(true);
    connect(hdmiButton_, &QPushButton::toggled, this, [this](bool on) { showHdmiPage(on); });
}

void CQuorvelHDDlg::placeHdmiButton() {
    // In the caption line where the status line begins, clear of the caption's text (a press
    // there drags the window) and of the buttons at the line's right end.
    hdmiButton_->setGeometry(kHdmiButtonLeft, (skin::kHeaderHeight - skin::kButtonSize) / 2,
                             kHdmiButtonWidth, skin::kButtonSize);
}

void CQuorvelHDDlg::buildHdmiPage() {
    // The option is read from the store here as well as when the options dialog opens, so that
    // a user who turned it off is not overruled after the next start.
    settings::readHdmiAutoSet(app_.registry(), app_.settings());
    const std::string programFolder = app_.programFolder();
    hdmiPage_ = new HdmiPage(
        app_.settings(),
        [programFolder](const std::string& name) {
            return programFolder.empty() ? platform::sharedDataFile(name)
                                         : platform::findSharedDataFile(programFolder, name);
        },
        QRect(1, kHdmiPageTop, tuning::kDialogWidthNormal - 2, kHdmiPageBottom - kHdmiPageTop),
        this);
    hdmiPage_->hide();
}

void CQuorvelHDDlg::showHdmiPage(bool show) {
    if (show) {
        hdmiPage_->refresh();
        hdmiPage_->raise();
    }
    hdmiPage_->setVisible(show);
    if (hdmiButton_->isChecked() != show) {
        hdmiButton_->setChecked(show);
    }
}

}  // namespace qv::ui
