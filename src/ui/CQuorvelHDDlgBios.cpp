// The main window's BIOS buttons: flashing a BIOS into the GPU on show, with its wait window, and
// the support site's BIOS search for it.
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "app/AppFonts.h"
#include "gpu/GpuLayer.h"
#include "lang/LanguageRows.h"
#include "platform/CompanionFiles.h"
#include "platform/DebugOutput.h"
#include "tuning/BiosFlash.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/MainWindowSkin.h"
#include "ui/MainWindowTexts.h"
#include "ui/QtFonts.h"

namespace qv::ui {

using namespace mainwindow;

namespace {
// The ROM-dump helper's option for the simulated driver.
constexpr const char* kRomDumpSimulateOption = "--simulate";
// The BIOS button carries a word, so it is wider than the sign button beside it.
constexpr int kBiosButtonWidth = 2 * skin::kButtonSize;
}  // namespace

online::FlashServices CQuorvelHDDlg::flashServices() const {
    online::FlashServices services;
    const char* path = std::getenv("PATH");
    services.toolProgram = online::resolveFlashTool(
        tuning::flashToolName(app_.registry()), app_.programFolder(), path != nullptr ? path : "");
    services.romDumpProgram =
        platform::findCompanionFile(app_.programFolder(), gpu::GpuLayer::kRomDumpProgramName);
    if (app_.simulatedDriver()) {
        services.romDumpArguments.push_back(kRomDumpSimulateOption);
    }
    return services;
}

void CQuorvelHDDlg::buildBiosButtons() {
    biosButton_ = makeButton("biosButton", lang::kTipBiosFlash);
    biosButton_->setText(QStringLiteral("BIOS"));
    biosButton_->setAccessibleName(tableText(lang::kTipBiosFlash));
    connect(biosButton_, &QPushButton::clicked, this, [this] { pressBios(); });
    biosSearchButton_ = makeButton("biosSearchButton", lang::kTipBiosSearch);
    // An arrow out of the window: the button opens a page in the browser.
    biosSearchButton_->setText(QStringLiteral("\u2197"));
    biosSearchButton_->setAccessibleName(tableText(lang::kTipBiosSearch));
    biosSearchButton_->setFont(toQFont(app::fontDefinition(app::kFontTitle)));
    connect(biosSearchButton_, &QPushButton::clicked, this, [this] { openBiosSearch(); });
    placeBiosButtons();
}

void CQuorvelHDDlg::placeBiosButtons() {
    if (biosButton_ == nullptr || unlockMaxButton_ == nullptr) {
        return;
    }
    // At the right end of the Unlock row, where the value boxes of the sliders end.
    const QRect row = unlockMaxButton_->geometry();
    biosSearchButton_->setGeometry(skin::kNarrowRight - skin::kButtonSize, row.y(),
                                   skin::kButtonSize, row.height());
    biosButton_->setGeometry(biosSearchButton_->x() - skin::kButtonGap - kBiosButtonWidth, row.y(),
                             kBiosButtonWidth, row.height());
}

void CQuorvelHDDlg::setBiosFileChooser(platform::FileChooser* chooser) {
    biosChooser_.target = chooser != nullptr ? chooser : &fileChooser_;
}

void CQuorvelHDDlg::pressBios() {
    controller_->pressBios();
    render();
}

void CQuorvelHDDlg::openBiosSearch() {
    const std::optional<std::string> link = controller_->biosSearchLinkToOpen();
    if (!link) {
        return;
    }
    if (!QDesktopServices::openUrl(QUrl(QString::fromStdString(*link), QUrl::StrictMode))) {
        platform::debugOutput("main window: no browser opened %s\n", link->c_str());
    }
}

void CQuorvelHDDlg::renderBios(const tuning::MainWindowView& view) {
    biosButton_->setEnabled(view.bios.enabled);
    biosSearchButton_->setEnabled(!view.biosSearchLink.empty());
    biosSearchButton_->setToolTip(tableText(lang::kTipBiosSearch));
    if (view.biosWaitText.empty()) {
        closeBiosWaitWindow();
        return;
    }
    if (biosWaitWindow_ == nullptr) {
        // Modeless: the window keeps painting and the job's notice still arrives. It has no
        // button; it closes when the flash ends.
        auto* wait = new QDialog(this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        wait->setObjectName("biosWaitWindow");
        wait->setWindowTitle(tableText(lang::kTextAppName));
        auto* text = new QLabel(wait);
        text->setObjectName("biosWaitText");
        auto* column = new QVBoxLayout(wait);
        column->addWidget(text);
        biosWaitWindow_ = wait;
        text->setText(QString::fromStdString(view.biosWaitText));
        wait->show();
        wait->raise();
    }
}

void CQuorvelHDDlg::closeBiosWaitWindow() {
    if (biosWaitWindow_ != nullptr) {
        biosWaitWindow_->close();
        biosWaitWindow_->deleteLater();
        biosWaitWindow_ = nullptr;
    }
}

}  // namespace qv::ui
