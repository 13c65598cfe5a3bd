#!/usr/bin/env bash
# Installs what the build needs, builds the window program, qvctl and the simulated driver, and
# opens the main window on the simulated boards. Without a display (no DISPLAY or
# WAYLAND_DISPLAY) it draws the window into build/quorvel-frame.png instead and shows the boards
# with qvctl, the command-line tool.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

qv_install_packages
qv_configure build
qv_build build quorvel qvctl qv-readmem

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    qv_log "build/bin/quorvel --simulate (Ctrl-C here ends it)"
    exec "$QV_ROOT/build/bin/quorvel" --simulate
fi

picture="$QV_ROOT/build/quorvel-frame.png"
qv_log "no display: drawing the window into $picture"
QT_QPA_PLATFORM=offscreen "$QV_ROOT/build/bin/quorvel" --simulate --screenshot "$picture"
echo
qv_log "qvctl --simulate list"
"$QV_ROOT/build/bin/qvctl" --simulate list
echo
qv_log "qvctl --simulate status"
"$QV_ROOT/build/bin/qvctl" --simulate status
