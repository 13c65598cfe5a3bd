# Steps shared by the build scripts: the packages the build needs, configuring and building.
# Sourced, not run.

QV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# clang builds the fuzz targets; its sanitizer and libFuzzer runtimes are a separate package
# that apt only recommends, so it is named here. The window program needs Qt 6 Widgets and the
# two display fonts (Liberation Sans for Arial, DSEG7 for the digital read-outs). The manual pages
# are written with scdoc, the icon sizes rendered with rsvg-convert (librsvg2-bin), and the
# installed desktop entry and metainfo file checked with desktop-file-utils and appstream; man-db
# shows the pages. qvctl's exporter serves HTTP through cpp-httplib; its tests scrape it with
# Debian's prometheus server and check the exposition with promtool (both in prometheus). xvfb
# gives the window tests a real X server (the notification area, the global hot keys); without it
# those tests are skipped.
QV_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev clang
             libclang-rt-14-dev qt6-base-dev fonts-liberation2 fonts-dseg libx11-dev
             scdoc librsvg2-bin desktop-file-utils appstream man-db libcpp-httplib-dev
             prometheus xvfb libpugixml-dev libcurl4-openssl-dev libsodium-dev libasound2-dev
             libpulse-dev pulseaudio pulseaudio-utils)
QV_JOBS="$(nproc 2>/dev/null || echo 2)"

qv_log() { printf '==> %s\n' "$*"; }

# Runs a command as root: directly when we are root, else through sudo.
qv_as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "error: '$*' needs root; run this script as root or install sudo" >&2
        return 1
    fi
}

qv_package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Installs whatever of QV_PACKAGES is missing; does nothing (and needs no root) when all are there.
qv_install_packages() {
    if ! command -v dpkg-query >/dev/null 2>&1; then
        qv_log "not a Debian system: install by hand: ${QV_PACKAGES[*]}"
        return 0
    fi
    local missing=()
    local p
    for p in "${QV_PACKAGES[@]}"; do
        qv_package_installed "$p" || missing+=("$p")
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        qv_log "build packages already installed"
        return 0
    fi
    qv_log "installing ${missing[*]}"
    qv_as_root env DEBIAN_FRONTEND=noninteractive apt-get update
    qv_as_root env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
}

# qv_configure DIR [cmake options...]: a Ninja build tree in DIR.
qv_configure() {
    local dir="$1"
    shift
    qv_log "configuring $dir"
    cmake -S "$QV_ROOT" -B "$QV_ROOT/$dir" -G Ninja -DQV_WERROR="${QV_WERROR:-OFF}" "$@"
}

# qv_build DIR [targets...]
qv_build() {
    local dir="$1"
    shift
    local targets=()
    local t
    for t in "$@"; do
        targets+=(--target "$t")
    done
    qv_log "building $dir ${*:-(everything)}"
    cmake --build "$QV_ROOT/$dir" -j "$QV_JOBS" "${targets[@]}"
}

# qv_test DIR: the whole test suite of a build tree, one test per core (QV_TEST_JOBS overrides).
# Every test keeps to its own folders, so they may run side by side.
qv_test() {
    qv_log "testing $1"
    ctest --test-dir "$QV_ROOT/$1" --output-on-failure -j "${QV_TEST_JOBS:-$QV_JOBS}"
}

# qv_replay_fuzz_corpora DIR: feeds every stored fuzz input to its target once (the targets
# are plain replay programs in a build without libFuzzer).
qv_replay_fuzz_corpora() {
    local dir="$QV_ROOT/$1"
    local target name corpus
    for target in "$dir"/bin/fuzz_*; do
        [ -x "$target" ] || continue
        name="$(basename "$target")"
        corpus="$QV_ROOT/fuzz/corpus/${name#fuzz_}"
        [ -d "$corpus" ] || continue
        qv_log "replaying $corpus"
        find "$corpus" -type f -print0 | xargs -0 -r "$target"
    done
}
