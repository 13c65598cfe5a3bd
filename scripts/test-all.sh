#!/usr/bin/env bash
# Installs what the build needs, builds everything (program, simulated driver, tests,
# benchmarks, fuzz targets as replay programs) and runs the whole test suite, then replays the
# stored fuzz inputs. The include arrows between the layers are checked first. QV_WERROR=ON
# makes warnings errors.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$QV_ROOT/scripts/check-layers.sh"
qv_install_packages
qv_configure build -DQV_BUILD_TESTS=ON -DQV_BUILD_BENCH=ON -DQV_SANITIZE=OFF -DQV_FUZZ=OFF
qv_build build
qv_test build
qv_replay_fuzz_corpora build
qv_log "all tests passed"
