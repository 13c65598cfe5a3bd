// Opens a link from the network in the desktop's browser, only when it is a plain web address;
// anything else is refused and logged. Windows take the opener as a function, so the tests can
// record what would have been opened.
#pragma once

#include <functional>
#include <string>

namespace qv::ui {

using LinkOpener = std::function<bool(const std::string& link)>;

// The desktop's default handler for http and https addresses; false (and a line in the debug
// log) for anything else or when the desktop cannot open it.
bool openWebLink(const std::string& link);

}  // namespace qv::ui
