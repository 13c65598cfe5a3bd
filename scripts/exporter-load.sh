#!/usr/bin/env bash
# The exporter's load check, run by hand: six simulated GPUs, 20 scrapers polling /metrics every
# 100 ms for 30 s (or SECONDS) against one sampler. Prints the exporter's CPU time and resident
# memory every 5 s, and fails when a scrape failed or the driver was read more than once per
# sample. The test suite runs a 2-second version of the same check.
#   scripts/exporter-load.sh [SECONDS [SCRAPERS]]      (BUILD_DIR defaults to build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
cmake --build "$BUILD_DIR" --target exporter_load qvsim >/dev/null
exec "$BUILD_DIR/bin/exporter_load" "${1:-30}" "${2:-20}"
