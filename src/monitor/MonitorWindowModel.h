// The monitor window's rules: its context menu (which items are drawn, the log, Hide, Close),
// what each command does, and the state that outlives the window between rebuilds.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "monitor/MonitorFeed.h"
#include "monitor/MonitorItems.h"
#include "monitor/MonitorLog.h"

namespace qv::monitor {

// Menu commands.
inline constexpr uint32_t kCommandSave = 32814;
inline constexpr uint32_t kCommandHide = 32796;
inline constexpr uint32_t kCommandClose = 32797;
inline constexpr uint32_t kCommandFirstItem = 32806;  // + item index, to 32813

// While the window is in its normal state, a press less than this far below its top edge
// drags it.
inline constexpr int kDragZoneHeight = 700;
// With this many items shown or fewer, none of them can be switched off.
inline constexpr int kFewestShownItems = 4;

// What lives as long as the program: the flags of the eight items, whether the window was
// hidden, and the log.
struct MonitorState {
    ShownItems supported{};
    ShownItems shown = kAllItemsShown;
    bool hidden = false;
    MonitorLog log;
};

struct MenuEntry {
    int captionRow = 0;
    uint32_t command = 0;
    bool enabled = true;
    bool checked = false;
};

struct MonitorMenu {
    bool monitorsEnabled = true;  // the "Monitors" sub-menu
    std::array<MenuEntry, kMonitorItemCount> items{};
    MenuEntry save, hide, close;
};

// What a command asks of the window.
struct MonitorCommandOutcome {
    bool rebuild = false;       // post 0x7E8 with argument 1 to the owner
    bool shownChanged = false;  // keep the new flags
    bool askOpenSaved = false;  // ask "Open Saved File?" and open the log on Yes
    bool hide = false;          // hide the window (after the question)
};

class MonitorWindowModel {
public:
    explicit MonitorWindowModel(MonitorState& state) : state_(state) {}

    // The menu as it opens: unsupported items greyed and no longer shown, shown ones ticked, the
    // ticked ones greyed while four or fewer are shown, the sub-menu greyed and "Save" ticked
    // while logging.
    MonitorMenu prepareMenu();
    MonitorCommandOutcome command(uint32_t id);
    // The window's own close button: what "Hide" does.
    MonitorCommandOutcome closeButton() { return command(kCommandHide); }

    int shownCount() const;
    MonitorState& state() { return state_; }
    const MonitorState& state() const { return state_; }

private:
    MonitorCommandOutcome toggleItem(size_t item);
    MonitorCommandOutcome save();

    MonitorState& state_;
};

}  // namespace qv::monitor
