// The main window's online services: the update dialog and the news timers.
#include <QPointer>

#include "online/OnlineHosts.h"
#include "online/UpdateCheck.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/CUpdateDlg.h"
#include "ui/NewsPresenter.h"

namespace qv::ui {

void CQuorvelHDDlg::setUpNews() {
    news_ = new NewsPresenter(
        app_.dataFolder(), [this] { return app_.settings().newsSwitch; },
        [this] { return online::readOnlineHosts(app_.registry()); }, this);
}

void CQuorvelHDDlg::openUpdate(const std::function<void(CUpdateDlg&)>& prepare) {
    const online::OnlineHosts hosts = online::readOnlineHosts(app_.registry());
    // On the heap and watched: the window destroyed while the dialog runs takes it along.
    const QPointer<CUpdateDlg> dialog =
        new CUpdateDlg(online::joinServerPath(hosts.updateServer, online::kVersionFilePath),
                       hosts.productPage, this);
    if (prepare) {
        prepare(*dialog);
    }
    dialog->exec();
    delete dialog.data();
}

}  // namespace qv::ui
