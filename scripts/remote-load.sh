#!/usr/bin/env bash
# The phone bridge's load check, run by hand: the window program (offscreen) on the simulated
# boards with the bridge on 127.0.0.1, and two phones (`qvctl remote ... status`) each polling
# once a second for SECONDS (default 60). Prints the program's CPU time over the run, read from
# /proc, and how many polls failed. Everything it writes lives in a temporary folder.
#   scripts/remote-load.sh [SECONDS [PORT]]      (BUILD_DIR defaults to build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
run_seconds="${1:-60}"
port="${2:-47391}"
work="$(mktemp -d)"
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

export QUORVEL_CONFIG_DIR="$work/config" QUORVEL_DATA_DIR="$work/data"
export QUORVEL_LOCK_DIR="$work/lock" QUORVEL_OVERLAY_NAME="/quorvel-remote-load-$$"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$QUORVEL_CONFIG_DIR" "$QUORVEL_DATA_DIR" "$QUORVEL_LOCK_DIR"
printf 'IphonePassWord=570293\nRemoteBridge=1\nRemotePort=%s\nRemoteListenAddress="127.0.0.1"\n' \
    "$port" >"$QUORVEL_CONFIG_DIR/settings.conf"
"$BUILD_DIR/bin/quorvel" --simulate >"$work/program.log" 2>&1 &
pid=$!

poll() { echo 570293 | "$BUILD_DIR/bin/qvctl" remote "127.0.0.1:$port" status >/dev/null 2>&1; }
for _ in $(seq 1 100); do
    poll && break
    sleep 0.1
done
poll || { echo "the bridge does not answer"; cat "$work/program.log"; exit 1; }

ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz="$(getconf CLK_TCK)"
before="$(ticks)"
started="$(date +%s.%N)"
failures="$work/failures"
: >"$failures"
for phone in 1 2; do
    (
        for _ in $(seq 1 "$run_seconds"); do
            poll || echo "phone $phone" >>"$failures"
            sleep 1
        done
    ) &
done
wait $(jobs -p | grep -v "^$pid$") 2>/dev/null || true
after="$(ticks)"
ended="$(date +%s.%N)"
awk -v t=$((after - before)) -v hz="$hz" -v a="$started" -v b="$ended" \
    'BEGIN { s = b - a; printf "program CPU: %.2f s over %.1f s (%.2f %% of one core)\n", t / hz, s, 100 * t / hz / s }'
echo "failed polls: $(wc -l <"$failures")"
