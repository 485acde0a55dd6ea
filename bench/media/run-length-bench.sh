#!/usr/bin/env bash
# First length answer on the tagged set (build/fixtures/tagged: ID3v2 tags with pictures and
# padding, APEv2, Lyrics3 and ID3v1 after the audio, headers that over-count), against the exact
# length of a full gapless decode (mpg123; samples x 1000 / rate, rounded up): mean and worst
# |error| over the set of ours ("status length" right after "open", as the window asks it at
# Play) and of mpv (the duration it knows once playing starts, stopped after 1 ms).
# Usage: bench/media/run-length-bench.sh [BUILD_DIR]   (needs targets mci-shell and zr_fixtures)
# Prints rows for bench/run (bench/rows.sh). Installs mpv (the peer) when it is missing.
set -euo pipefail
. "$(dirname "$0")/../rows.sh"
build=$(cd "${1:-build}" && pwd)
shell=$build/tools/mci-shell/mci-shell
tagged=$build/fixtures/tagged
[ -x "$shell" ] || { echo "missing $shell: build target mci-shell" >&2; exit 1; }
[ -d "$tagged" ] || { echo "missing $tagged: build target zr_fixtures" >&2; exit 1; }
if ! command -v mpv >/dev/null; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends mpv >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files=0
printf '%-44s %8s %8s %10s\n' file exact ours mpv >&2
for f in "$tagged"/*.mp3; do
  mpg123 -q -w "$work/decoded.wav" "$f"
  exact=$(awk -v s="$(soxi -s "$work/decoded.wav")" -v r="$(soxi -r "$work/decoded.wav")" \
    'BEGIN { ms = s * 1000 / r; printf "%d", ms == int(ms) ? ms : int(ms) + 1 }')
  # awk reads every reply: a reader that stops early would kill the shell under pipefail.
  ours=$(printf 'open "%s" type MPEGVideo alias mp3\nstatus mp3 length\nclose mp3\n' "$f" |
    SDL_AUDIODRIVER=dummy "$shell" | awk -F'\t' 'NR == 2 && $1 == 0 { print $2 }')
  peer=$(mpv --no-config --quiet --ao=null --no-video --end=0.001 --term-playing-msg='D=${=duration}' \
    "$f" 2>/dev/null | awk -F= '$1 == "D" { printf "%.3f", $2 * 1000 }')
  if ! [[ $ours =~ ^[0-9]+$ ]]; then
    echo "$(basename "$f"): status length after open gave no number" >&2
    exit 1
  fi
  [ -n "$peer" ] || { echo "$(basename "$f"): mpv told no duration" >&2; exit 1; }
  printf '%-44s %8s %8s %10s\n' "$(basename "$f")" "$exact" "$ours" "$peer" >&2
  printf '%s %s %s\n' "$exact" "$ours" "$peer" >> "$work/lengths.txt"
  files=$((files + 1))
done
[ "$files" -gt 0 ] || { echo "no file in $tagged" >&2; exit 1; }
# One line: ours mean, ours worst, mpv mean, mpv worst (|error| in ms).
read -r ours_mean ours_worst peer_mean peer_worst < <(awk '
  function abs(x) { return x < 0 ? -x : x }
  { o = abs($2 - $1); p = abs($3 - $1); os += o; ps += p; if (o > ow) ow = o; if (p > pw) pw = p }
  END { printf "%.1f %.1f %.1f %.1f\n", os / NR, ow, ps / NR, pw }' "$work/lengths.txt")
peer="mpv (duration once playing)"
row "first length |error| vs full decode, mean of $files tagged files (ms)" "-" "$ours_mean" \
  "$peer" "$peer_mean"
row "first length |error| vs full decode, worst of $files tagged files (ms)" "-" "$ours_worst" \
  "$peer" "$peer_worst"
