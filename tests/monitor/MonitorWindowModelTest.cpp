#include <gtest/gtest.h>

#include "lang/CMultiLangSupp.h"
#include "monitor/MonitorWindowModel.h"
#include "support/TempDir.h"

namespace qv::monitor {
namespace {

uint32_t itemCommand(MonitorItem item) {
    return kCommandFirstItem + static_cast<uint32_t>(item);
}

struct WindowRig {
    WindowRig() {
        state.supported.fill(true);
        state.supported[kItemFanRpm] = false;
        state.shown = kAllItemsShown;
    }
    qv::test::TempDir dir;
    lang::CMultiLangSupp english{0x0409};
    MonitorState state{{}, kAllItemsShown, false, MonitorLog(dir.file("Monitor_Save"), english)};
    MonitorWindowModel model{state};
};

TEST(MonitorWindowModelTest, MenuGreysUnsupportedItemsAndClearsTheirFlag) {
    WindowRig rig;
    const MonitorMenu menu = rig.model.prepareMenu();
    EXPECT_FALSE(rig.state.shown[kItemFanRpm]);
    EXPECT_FALSE(menu.items[kItemFanRpm].enabled);
    EXPECT_FALSE(menu.items[kItemFanRpm].checked);
    EXPECT_TRUE(menu.items[kItemPower].checked);
    EXPECT_TRUE(menu.items[kItemPower].enabled);  // seven shown: any may go
    EXPECT_EQ(menu.items[kItemGpuVoltage].command, 32812u);
    EXPECT_EQ(menu.items[kItemGpuVoltage].captionRow, lang::kTextGpuVoltage);
    EXPECT_TRUE(menu.monitorsEnabled);
    EXPECT_FALSE(menu.save.checked);
    // An unsupported item cannot be switched on by a command either.
    EXPECT_FALSE(rig.model.command(itemCommand(kItemFanRpm)).rebuild);
    EXPECT_FALSE(rig.state.shown[kItemFanRpm]);
}

TEST(MonitorWindowModelTest, TheLastFourShownItemsCannotBeSwitchedOff) {
    WindowRig rig;
    rig.model.prepareMenu();
    for (const MonitorItem item : {kItemPower, kItemGpuClock, kItemShaderClock}) {
        const MonitorCommandOutcome outcome = rig.model.command(itemCommand(item));
        EXPECT_TRUE(outcome.rebuild);
        EXPECT_TRUE(outcome.shownChanged);
    }
    EXPECT_EQ(rig.model.shownCount(), 4);
    MonitorMenu menu = rig.model.prepareMenu();
    for (size_t i = 0; i < kMonitorItemCount; ++i) {
        if (menu.items[i].checked) {
            EXPECT_FALSE(menu.items[i].enabled) << i;
        }
    }
    EXPECT_TRUE(menu.items[kItemPower].enabled);  // unticked: may be switched on
    EXPECT_FALSE(rig.model.command(itemCommand(kItemTemperature)).rebuild);
    EXPECT_TRUE(rig.state.shown[kItemTemperature]);

    EXPECT_TRUE(rig.model.command(itemCommand(kItemPower)).rebuild);  // a fifth
    menu = rig.model.prepareMenu();
    EXPECT_TRUE(menu.items[kItemTemperature].enabled);
    EXPECT_TRUE(rig.model.command(itemCommand(kItemTemperature)).rebuild);
    EXPECT_EQ(rig.model.shownCount(), 4);
}

TEST(MonitorWindowModelTest, WhileLoggingTheItemsCannotChangeAndSaveIsTicked) {
    WindowRig rig;
    MonitorCommandOutcome outcome = rig.model.command(kCommandSave);
    EXPECT_FALSE(outcome.askOpenSaved);
    EXPECT_TRUE(rig.state.log.isOn());
    EXPECT_TRUE(rig.state.log.newFileWanted());
    const MonitorMenu menu = rig.model.prepareMenu();
    EXPECT_FALSE(menu.monitorsEnabled);
    EXPECT_TRUE(menu.save.checked);
    EXPECT_FALSE(rig.model.command(itemCommand(kItemPower)).rebuild);
    EXPECT_TRUE(rig.state.shown[kItemPower]);

    outcome = rig.model.command(kCommandSave);
    EXPECT_TRUE(outcome.askOpenSaved);
    EXPECT_FALSE(outcome.hide);
    EXPECT_FALSE(rig.state.log.isOn());
}

TEST(MonitorWindowModelTest, CloseStopsLoggingAsksAndHides) {
    WindowRig rig;
    rig.model.command(kCommandSave);
    MonitorCommandOutcome outcome = rig.model.command(kCommandClose);
    EXPECT_TRUE(outcome.askOpenSaved);
    EXPECT_TRUE(outcome.hide);
    EXPECT_TRUE(rig.state.hidden);
    EXPECT_FALSE(rig.state.log.isOn());

    rig.state.hidden = false;
    outcome = rig.model.command(kCommandClose);  // not logging: no question
    EXPECT_FALSE(outcome.askOpenSaved);
    EXPECT_TRUE(outcome.hide);

    rig.state.hidden = false;
    outcome = rig.model.closeButton();
    EXPECT_TRUE(outcome.hide);
    EXPECT_FALSE(outcome.askOpenSaved);
    EXPECT_TRUE(rig.state.hidden);
}

}  // namespace
}  // namespace qv::monitor
