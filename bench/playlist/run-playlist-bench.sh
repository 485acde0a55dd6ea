#!/usr/bin/env bash
# Player window benchmarks, each figure beside its reference measured in this one run (Qt
# offscreen, SDL dummy driver):
#   (a) appending 20,000 playlist rows: time and peak memory, against a stock QTreeWidget
#       holding the same texts
#   (b) CPU while stopped with the window open for 10 s, and the timer events delivered (none
#       may come: the clock runs only while a track plays), against a bare shown QWidget
#   (c) CPU while the window plays an MP3, 30 s from 5 s after Play (start-up and the first
#       fill of the decoder's buffer left out), against mci-shell playing the same file
# Usage: bench/playlist/run-playlist-bench.sh [BUILD_DIR]   (targets playlist_probe, mci-shell)
# Prints rows for bench/run (bench/rows.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../rows.sh"
build=$(cd "${1:-build}" && pwd)
probe=$build/bench/playlist/playlist_probe
shell=$build/tools/mci-shell/mci-shell
for exe in "$probe" "$shell"; do
  [ -x "$exe" ] || { echo "missing $exe: build targets playlist_probe and mci-shell" >&2; exit 1; }
done
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
field() { awk -v k="$1" '$1 == k { print $2; exit }' "$2"; }

echo "== (a) append 20,000 rows" >&2
"$probe" append 20000 2>/dev/null > "$work/append.txt"
"$probe" append-reference 20000 2>/dev/null > "$work/append_ref.txt"
row "append 20,000 playlist rows (ms)" "-" "$(field append_ms "$work/append.txt")" \
  "QTreeWidget" "$(field append_ms "$work/append_ref.txt")"
row "peak memory after 20,000 rows (KiB)" "-" "$(field peak_rss_kb "$work/append.txt")" \
  "QTreeWidget" "$(field peak_rss_kb "$work/append_ref.txt")"
row "memory growth for 20,000 rows (KiB)" "-" "$(field rss_growth_kb "$work/append.txt")" \
  "QTreeWidget" "$(field rss_growth_kb "$work/append_ref.txt")"

echo "== (b) stopped, window open, 10 s" >&2
"$probe" idle 10 2>/dev/null > "$work/idle.txt"
"$probe" idle-reference 10 2>/dev/null > "$work/idle_ref.txt"
row "CPU stopped, window open 10 s (s)" "-" "$(field idle_cpu_s "$work/idle.txt")" \
  "bare QWidget" "$(field idle_cpu_s "$work/idle_ref.txt")"
row "timer events stopped, 10 s" "-" "$(field timer_events "$work/idle.txt")" \
  "bare QWidget" "$(field timer_events "$work/idle_ref.txt")"
row "clock timer enabled while stopped (0/1)" "-" "$(field timer1_enabled "$work/idle.txt")" "goal" 0

echo "== (c) playing: CPU for 30 s from 5 s after Play" >&2
sox -q -n -r 44100 -c 2 -b 16 "$work/t40.wav" synth 40 pinknoise synth 40 sine mix 440 vol 0.5
lame --quiet -b 192 "$work/t40.wav" "$work/t40.mp3"
"$here/../cpuwindow.py" 5 30 "$probe" play "$work/t40.mp3" 36 2>/dev/null > "$work/play.txt"
printf 'open %s type MPEGVideo alias mp3\nplay mp3\nwait 36000\nstop mp3\nclose all\n' \
  "$work/t40.mp3" > "$work/play.mci"
"$here/../cpuwindow.py" 5 30 "$shell" "$work/play.mci" 2>/dev/null > "$work/shell.txt"
position=$(field position "$work/play.txt")
echo "the window showed position $position of $(field length "$work/play.txt") ms" >&2
if ! awk -v p="$position" 'BEGIN { exit !(p + 0 >= 30000) }'; then
  echo "the window did not play through the measured window (position $position)" >&2
  exit 1
fi
row "CPU playing, 30 s after 5 s settling (s)" "SDL dummy" "$(field cpu_s "$work/play.txt")" \
  "mci-shell" "$(field cpu_s "$work/shell.txt")"
