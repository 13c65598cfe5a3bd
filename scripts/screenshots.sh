#!/usr/bin/env bash
# Draws the main window over the simulated boards into docs/screenshots/: narrow.png (the normal
# width) and wide.png (with the overclocking controls), the advanced control dialog (advanced.png,
# advanced-wide.png), then a message box, the profile dialog and the options dialog on the board
# with the wireless module (message-box.png, profile-dialog.png, options-dialog.png, drawn by their
# window tests), the password dialog and the display timing tool on the simulated adapter
# (password-dialog.png, view-dialog.png) and the monitor window with 40 seconds of curves
# (monitor.png, drawn by its window test), the online update dialog's pages and the news
# pop-up against a local server (update-welcome.png, update-none.png, update-found.png,
# update-failure.png, news.png, drawn by their window tests), the wait window of a BIOS flash
# (bios-wait.png, drawn by its window test) and the HDMI page with lit speakers (hdmi-page.png,
# drawn by its window test over a private sound server). Usage:
# scripts/screenshots.sh [BUILD_DIR] (default: build; it is configured and the programs built when
# needed). No display is needed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

build="${1:-build}"
if [ ! -f "$QV_ROOT/$build/build.ninja" ]; then
    qv_configure "$build"
fi
qv_build "$build" quorvel qv-readmem quorvel_ui_tests

out="$QV_ROOT/docs/screenshots"
mkdir -p "$out"
# A machine of its own: fresh simulated boards, settings and lock, so that the pictures do not
# depend on what ran before.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/sim" "$scratch/config" "$scratch/lock" "$scratch/data"

shoot() {
    local picture="$1"
    shift
    qv_log "drawing $picture"
    env QT_QPA_PLATFORM=offscreen QUORVEL_SIM_STATE_DIR="$scratch/sim" \
        QUORVEL_CONFIG_DIR="$scratch/config" QUORVEL_LOCK_DIR="$scratch/lock" \
        QUORVEL_DATA_DIR="$scratch/data" QUORVEL_SIM_RESET=1 \
        "$QV_ROOT/$build/bin/quorvel" --simulate --screenshot "$picture" "$@" >/dev/null
}

shoot "$out/narrow.png"
shoot "$out/wide.png" --wide
shoot "$out/advanced.png" --advanced
shoot "$out/advanced-wide.png" --advanced --wide
qv_log "drawing $out/message-box.png, $out/profile-dialog.png and $out/options-dialog.png"
env QT_QPA_PLATFORM=offscreen QV_SCREENSHOTS="$out" "$QV_ROOT/$build/bin/quorvel_ui_tests" \
    --gtest_filter='ProfileBarTest.MessageBoxesAndTheProfileDialogShareTheMainWindowsDarkLook:SetDialogTest.WirelessBoardRunsTheStatusTimerAndIsDrawnForTheDocumentation' \
    >/dev/null
qv_log "drawing $out/password-dialog.png and $out/view-dialog.png"
env QT_QPA_PLATFORM=offscreen QV_SCREENSHOTS="$out" "$QV_ROOT/$build/bin/quorvel_ui_tests" \
    --gtest_filter='PasswordDialogTest.CaptionsFieldsAndOkThatClosesOnlyOnAChange:ViewDialogTest.DrawsTheToolAndForwardsTheUsersInput' \
    >/dev/null
qv_log "drawing $out/monitor.png"
env QT_QPA_PLATFORM=offscreen QV_SCREENSHOTS="$out" "$QV_ROOT/$build/bin/quorvel_ui_tests" \
    --gtest_filter='MonitorWindowTest.CurvesScrollOnePixelColumnPerSecond' \
    >/dev/null
qv_log "drawing the update dialog's pages and $out/news.png"
env QT_QPA_PLATFORM=offscreen QV_SCREENSHOTS="$out" "$QV_ROOT/$build/bin/quorvel_ui_tests" \
    --gtest_filter='UpdateDialogTest.SameVersionShowsTheThankYouPage:UpdateDialogTest.NewerVersionListsTheItemsAndDownloadOpensTheAddress:UpdateDialogTest.ServerDownShowsTheNetworkFailure:NewsWindowTest.StartUpFetchFollowsTheNewsOption' \
    >/dev/null
qv_log "drawing $out/bios-wait.png"
env QT_QPA_PLATFORM=offscreen QV_SCREENSHOTS="$out" "$QV_ROOT/$build/bin/quorvel_ui_tests" \
    --gtest_filter='BiosFlashWindowTest.TheWaitWindowStaysAndQuitIsHeldBackUntilTheFlashReports' \
    >/dev/null
qv_log "drawing $out/hdmi-page.png (needs pulseaudio; the test skips without it)"
env QT_QPA_PLATFORM=offscreen QV_SCREENSHOTS="$out" "$QV_ROOT/$build/bin/quorvel_ui_tests" \
    --gtest_filter='HdmiPageServerTest.EdgeClicksSelectNothingAndTheLightsFollowTheTableThenStop' \
    >/dev/null
qv_log "done: $out"
