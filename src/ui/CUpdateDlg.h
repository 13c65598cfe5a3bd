// The online update dialog: a welcome page with Next, then the update found (the change items and
// Download), no update (a thank-you and the product page), or the network failure text. The check
// runs on a worker; the dialog keeps painting meanwhile and shows its answer when the worker
// posts. Its rules are UpdateDialogModel's.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "lang/CMultiLangSupp.h"
#include "online/UpdateCheck.h"
#include "online/UpdateDialogModel.h"
#include "ui/QtPoster.h"
#include "ui/WebLinkOpener.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace qv::ui {

class CUpdateDlg final : public QDialog {
public:
    CUpdateDlg(std::string versionFileUrl, std::string productPage, QWidget* parent = nullptr,
               LinkOpener opener = openWebLink,
               const lang::CMultiLangSupp& texts = lang::languageTable());
    ~CUpdateDlg() override;

    void pressNext();
    void pressDownload();
    const online::UpdateDialogModel& model() const { return model_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void checked();
    void render();

    std::string versionFileUrl_;
    LinkOpener opener_;
    online::UpdateDialogModel model_;
    QtPoster poster_;
    std::unique_ptr<online::UpdateChecker> checker_;
    QLabel* welcomeTitle_ = nullptr;
    QLabel* welcomeText_ = nullptr;
    QLabel* welcomeInternet_ = nullptr;
    QLabel* welcomeHint_ = nullptr;
    QLabel* foundTitle_ = nullptr;
    QLabel* updatesLabel_ = nullptr;
    QLabel* detailsLabel_ = nullptr;
    QListWidget* items_ = nullptr;
    QLabel* thanksTitle_ = nullptr;
    QLabel* noUpdateText_ = nullptr;
    QLabel* followText_ = nullptr;
    QLabel* productLink_ = nullptr;
    QLabel* versionText_ = nullptr;
    QLabel* failureText_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace qv::ui
