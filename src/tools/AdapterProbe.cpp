#include "tools/AdapterProbe.h"

#include "gpu/DriverStatus.h"
#include "tools/AdapterMailbox.h"
#include "tools/DisplayAccess.h"

namespace qv::tools {

int probeAdapter(drv::DriverLoader& driver, platform::Clock& clock, std::string& firmware) {
    DisplayAccess displays(driver);
    int result = displays.start();
    if (result != drv::kOk) {
        return result;
    }
    result = kMailboxTimedOut;
    for (size_t display = 0; display < displays.displayCount(); ++display) {
        AdapterMailbox mailbox(displays, display, clock, kProbeMailbox);
        std::string text;
        result = mailbox.readFirmwareVersion(text);
        if (result == drv::kOk) {
            firmware = text;
            return drv::kOk;
        }
    }
    return result;
}

}  // namespace qv::tools
