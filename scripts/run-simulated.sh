#!/usr/bin/env bash
# Installs what the build needs, builds qvctl and the simulated driver, and shows the simulated
# boards: their facts, then their live readings.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

qv_install_packages
qv_configure build
qv_build build qvctl qv-readmem

qv_log "qvctl --simulate list"
"$QV_ROOT/build/bin/qvctl" --simulate list
echo
qv_log "qvctl --simulate status"
"$QV_ROOT/build/bin/qvctl" --simulate status
