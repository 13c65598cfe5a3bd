#include "ui/WebLinkOpener.h"

#include <QDesktopServices>
#include <QUrl>

#include "online/WebLink.h"
#include "platform/DebugOutput.h"

namespace qv::ui {

bool openWebLink(const std::string& link) {
    if (!online::isWebLink(link)) {
        platform::debugOutput("link refused, not a web address: '%s'\n", link.c_str());
        return false;
    }
    const QUrl url(QString::fromStdString(link), QUrl::StrictMode);
    if (!url.isValid()) {
        platform::debugOutput("link refused, not a valid address: '%s'\n", link.c_str());
        return false;
    }
    return QDesktopServices::openUrl(url);
}

}  // namespace qv::ui
