#include "online/UpdateDialogModel.h"

#include "lang/LanguageRows.h"

namespace qv::online {

UpdateDialogModel::UpdateDialogModel(const lang::CMultiLangSupp& texts, std::string productPage)
    : texts_(texts) {
    view_.caption = texts_.text(lang::kTextOnlineUpdate);
    view_.welcomeTitle = texts_.text(lang::kTextUpdateWelcome);
    view_.welcomeText = texts_.text(lang::kTextUpdateCanHelp);
    view_.welcomeInternet = texts_.text(lang::kTextUpdateUsesInternet);
    view_.welcomeHint = texts_.text(lang::kTextUpdateClickNext);
    view_.foundTitle = texts_.text(lang::kTextUpdateFound);
    view_.updatesLabel = texts_.text(lang::kTextUpdateUpdates);
    view_.detailsLabel = texts_.text(lang::kTextUpdateDetails);
    view_.thanksTitle = texts_.text(lang::kTextUpdateThanks);
    view_.noUpdateText = texts_.text(lang::kTextUpdateNone);
    view_.followText = texts_.text(lang::kTextUpdateFollow);
    view_.productPage = std::move(productPage);
    view_.failureText = texts_.text(lang::kTextUpdateNetworkFailed);
    view_.next.text = texts_.text(lang::kTextNext);
    view_.download.text = texts_.text(lang::kTextDownload);
    view_.ok.text = texts_.text(lang::kTextOk);
    view_.cancel.text = texts_.text(lang::kTextCancel);
    showWelcome();
}

void UpdateDialogModel::showWelcome() {
    view_.page = UpdatePage::kWelcome;
    view_.next = {true, true, view_.next.text};
    view_.cancel = {true, true, view_.cancel.text};
    view_.download.visible = view_.download.enabled = false;
    view_.ok.visible = view_.ok.enabled = false;
}

bool UpdateDialogModel::beginCheck() {
    if (view_.checking || view_.page != UpdatePage::kWelcome) {
        return false;
    }
    view_.checking = true;
    view_.next.enabled = false;
    return true;
}

void UpdateDialogModel::finishCheck(const UpdateCheckResult& result) {
    view_.checking = false;
    // Every answer leaves the welcome page and its Next button.
    view_.next.visible = view_.next.enabled = false;
    switch (result.outcome) {
        case UpdateOutcome::kNetworkFailure:
            view_.page = UpdatePage::kFailure;
            view_.ok.visible = view_.ok.enabled = true;
            break;
        case UpdateOutcome::kNewer:
            view_.page = UpdatePage::kUpdateFound;
            downloadUrl_ = result.downloadUrl;
            view_.items = result.items;
            view_.download.visible = view_.download.enabled = true;
            break;
        case UpdateOutcome::kNoUpdate:
            view_.page = UpdatePage::kNoUpdate;
            view_.versionText = texts_.text(lang::kTextUpdateKeepFollowing);
            view_.ok.text = texts_.text(lang::kTextOk);
            view_.ok.visible = view_.ok.enabled = true;
            view_.cancel.enabled = false;
            break;
    }
}

}  // namespace qv::online
