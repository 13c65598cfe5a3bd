#include "monitor/MonitorWindowModel.h"

#include <algorithm>

#include "lang/LanguageRows.h"

namespace qv::monitor {

int MonitorWindowModel::shownCount() const {
    return static_cast<int>(std::count(state_.shown.begin(), state_.shown.end(), true));
}

MonitorMenu MonitorWindowModel::prepareMenu() {
    for (size_t i = 0; i < kMonitorItemCount; ++i) {
        if (!state_.supported[i]) {
            state_.shown[i] = false;
        }
    }
    const bool canSwitchOff = shownCount() > kFewestShownItems;
    MonitorMenu menu;
    for (size_t i = 0; i < kMonitorItemCount; ++i) {
        MenuEntry& entry = menu.items[i];
        entry.captionRow = kItems[i].captionRow;
        entry.command = kCommandFirstItem + static_cast<uint32_t>(i);
        entry.checked = state_.shown[i];
        entry.enabled = state_.supported[i] && (!entry.checked || canSwitchOff);
    }
    const bool logging = state_.log.isOn();
    menu.monitorsEnabled = !logging;
    menu.save = {lang::kTextSave, kCommandSave, true, logging};
    menu.hide = {lang::kTextHide, kCommandHide, true, false};
    menu.close = {lang::kTextClose, kCommandClose, true, false};
    return menu;
}

MonitorCommandOutcome MonitorWindowModel::command(uint32_t id) {
    if (id >= kCommandFirstItem && id < kCommandFirstItem + kMonitorItemCount) {
        return toggleItem(id - kCommandFirstItem);
    }
    MonitorCommandOutcome outcome;
    switch (id) {
        case kCommandSave:
            return save();
        case kCommandHide:
            state_.hidden = true;
            outcome.hide = true;
            break;
        case kCommandClose:
            if (state_.log.isOn()) {
                state_.log.switchOff();
                outcome.askOpenSaved = true;
            }
            state_.hidden = true;
            outcome.hide = true;
            break;
        default:
            break;
    }
    return outcome;
}

MonitorCommandOutcome MonitorWindowModel::toggleItem(size_t item) {
    // The menu greys what may not change; a command that arrives anyway changes nothing.
    if (state_.log.isOn() || !state_.supported[item] ||
        (state_.shown[item] && shownCount() <= kFewestShownItems)) {
        return {};
    }
    state_.shown[item] = !state_.shown[item];
    MonitorCommandOutcome outcome;
    outcome.rebuild = true;
    outcome.shownChanged = true;
    return outcome;
}

MonitorCommandOutcome MonitorWindowModel::save() {
    MonitorCommandOutcome outcome;
    if (state_.log.isOn()) {
        state_.log.switchOff();
        outcome.askOpenSaved = true;
    } else {
        state_.log.switchOn();
    }
    return outcome;
}

}  // namespace qv::monitor
