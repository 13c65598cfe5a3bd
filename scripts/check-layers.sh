#!/usr/bin/env bash
# Checks the include arrows of the source tree: they run one way, from higher layers to lower
# ones, and Qt is included only by the window side.
#
#   platform, lang  <-  gpu  <-  settings, fan, monitor, remote, online, tools, exporter  <-  tuning  <-  app  <-  ui
#
# A folder may include its own layer and every layer below it; the folders of one layer may
# include each other. The simulated driver sees only the driver interface of gpu/, and the
# command-line tools everything but the window side. Exits 1 and lists every offending line.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

rank_of() {
    case "$1" in
        platform | lang) echo 0 ;;
        gpu) echo 1 ;;
        settings | fan | monitor | remote | online | tools | exporter) echo 2 ;;
        tuning) echo 3 ;;
        app) echo 4 ;;
        ui) echo 5 ;;
        *) echo -1 ;;
    esac
}

failures=0
fail() {
    printf 'layers: %s\n' "$*" >&2
    failures=$((failures + 1))
}

# src/<folder>/...: every quoted include of another folder must not rank higher.
while IFS=: read -r file line text; do
    from="${file#src/}"
    from="${from%%/*}"
    target="$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([^/"]+)\/.*/\1/' <<<"$text")"
    [ "$target" = "$text" ] && continue
    from_rank="$(rank_of "$from")"
    target_rank="$(rank_of "$target")"
    if [ "$from_rank" -lt 0 ]; then
        fail "$file: folder src/$from has no place in the layer order"
    elif [ "$target_rank" -lt 0 ]; then
        fail "$file:$line: includes from an unknown folder: $text"
    elif [ "$target_rank" -gt "$from_rank" ]; then
        fail "$file:$line: $from includes the higher layer $target: $text"
    fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^/"]+/' src || true)

# The simulated driver is built against the driver interface only.
while IFS=: read -r file line text; do
    fail "$file:$line: the simulated driver includes program code: $text"
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"(platform|lang|settings|fan|monitor|remote|online|tools|tuning|app|ui)/' sim || true)
while IFS=: read -r file line text; do
    case "$text" in
        *'"gpu/DriverIds.h"'* | *'"gpu/DriverStatus.h"'* | *'"gpu/DriverTypes.h"'* | \
        *'"gpu/DisplayPortAdapter.h"'* | *'"gpu/WirelessModuleRegisters.h"'*) ;;
        *) fail "$file:$line: the simulated driver includes more of gpu/ than the driver interface: $text" ;;
    esac
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"gpu/' sim || true)

# The command-line tools, benchmarks and fuzz targets work without a window.
while IFS=: read -r file line text; do
    fail "$file:$line: includes the window side: $text"
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"ui/' cli bench fuzz || true)

# Qt belongs to the window side and its tests.
while IFS=: read -r file line text; do
    case "$file" in
        src/ui/* | tests/ui/*) ;;
        *) fail "$file:$line: Qt outside the window side: $text" ;;
    esac
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+<Q[A-Za-z]*(/[A-Za-z]*)?>' src cli sim bench fuzz tests || true)

if [ "$failures" -gt 0 ]; then
    printf 'layers: %d include(s) against the layer order\n' "$failures" >&2
    exit 1
fi
echo "layers: every include runs one way"
