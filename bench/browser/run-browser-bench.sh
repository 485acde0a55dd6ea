#!/bin/sh
# File browser benchmark: builds browser_probe, makes the folder trees in a temporary folder and
# prints, for each measurement, a row for bench/run (bench/rows.sh): our median time and that of
# find(1) or ls(1) over the same folders.
#   bench/browser/run-browser-bench.sh [build-dir]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-"$root/build-bench"}

cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target browser_probe >/dev/null
probe="$build/bench/browser/browser_probe"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 10,000 .mp3 files (and a few others) in one folder.
mkdir -p "$work/list"
(cd "$work/list" && seq -w 1 10000 | sed 's/.*/track &.mp3/' | xargs -d '\n' touch && touch a.txt b.MP3.txt)

# One folder of 2,000 subfolders, each holding three subfolders.
mkdir -p "$work/expand/big"
(cd "$work/expand/big" && seq -w 1 2000 | while read -r n; do echo "f$n/x f$n/y f$n/z"; done |
    xargs mkdir -p)

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
"$probe" list "$work/list"
"$probe" expand "$work/expand"
"$probe" open
