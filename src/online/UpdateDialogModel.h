// The online update dialog's rules: which of its three pages is up (welcome, update found, no
// update) or the failure text, which buttons are offered, and every text in the user's language.
// The window draws this state and forwards Next, Download, OK and Cancel.
#pragma once

#include <string>
#include <vector>

#include "lang/CMultiLangSupp.h"
#include "online/UpdateCheck.h"

namespace qv::online {

enum class UpdatePage { kWelcome, kUpdateFound, kNoUpdate, kFailure };

struct UpdateButton {
    bool visible = false;
    bool enabled = false;
    std::string text;
};

struct UpdateDialogView {
    UpdatePage page = UpdatePage::kWelcome;
    bool checking = false;  // a check is running: Next waits for it
    std::string caption;
    // Welcome page.
    std::string welcomeTitle, welcomeText, welcomeInternet, welcomeHint;
    // Update found.
    std::string foundTitle, updatesLabel, detailsLabel;
    std::vector<std::string> items;
    // No update.
    std::string thanksTitle, noUpdateText, followText, versionText;
    std::string productPage;  // the link's target and text
    // Failure.
    std::string failureText;
    UpdateButton next, download, ok, cancel;
};

class UpdateDialogModel {
public:
    UpdateDialogModel(const lang::CMultiLangSupp& texts, std::string productPage);

    const UpdateDialogView& view() const { return view_; }
    // The address Download opens; the one from the last check that found an update.
    const std::string& downloadUrl() const { return downloadUrl_; }

    // Next was pressed: false when a check is already running or the page is not the welcome.
    bool beginCheck();
    // The check's answer arrived.
    void finishCheck(const UpdateCheckResult& result);

private:
    void showWelcome();

    const lang::CMultiLangSupp& texts_;
    UpdateDialogView view_;
    std::string downloadUrl_;
};

}  // namespace qv::online
