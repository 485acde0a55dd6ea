#!/usr/bin/env bash
# Player window benchmarks. Prints each figure and its ratio to the reference, all measured in
# this one run (Qt offscreen, SDL dummy driver):
#   (a) appending 20,000 playlist rows: time and peak memory, against a stock QTreeWidget
#       holding the same texts
#   (b) CPU while stopped with the window open for 10 s, and the timer events delivered (none
#       may come: the clock runs only while a track plays), against a bare shown QWidget
#   (c) CPU while the window plays a 20 s MP3 for 15 s, against mci-shell playing the same file
# Usage: bench/playlist/run-playlist-bench.sh [BUILD_DIR]   (targets playlist_probe, mci-shell)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
probe=$build/bench/playlist/playlist_probe
shell=$build/tools/mci-shell/mci-shell
for exe in "$probe" "$shell"; do
  [ -x "$exe" ] || { echo "missing $exe: build targets playlist_probe and mci-shell" >&2; exit 1; }
done
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "inf" }'; }
field() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }

echo "== (a) append 20,000 rows"
"$probe" append 20000 2>/dev/null > "$work/append.txt"
"$probe" append-reference 20000 2>/dev/null > "$work/append_ref.txt"
for k in append_ms peak_rss_kb rss_growth_kb; do
  ours=$(field $k "$work/append.txt"); ref=$(field $k "$work/append_ref.txt")
  echo "$k ours $ours  QTreeWidget $ref  ratio $(ratio "$ours" "$ref")"
done

echo "== (b) stopped, window open, 10 s"
"$probe" idle 10 2>/dev/null > "$work/idle.txt"
"$probe" idle-reference 10 2>/dev/null > "$work/idle_ref.txt"
ours=$(field idle_cpu_s "$work/idle.txt"); ref=$(field idle_cpu_s "$work/idle_ref.txt")
echo "idle_cpu_s ours $ours  bare QWidget $ref  ratio $(ratio "$ours" "$ref")"
echo "timer_events ours $(field timer_events "$work/idle.txt")  bare QWidget $(field timer_events "$work/idle_ref.txt")  (goal 0)"
echo "timer1_enabled $(field timer1_enabled "$work/idle.txt")  (goal 0)"

echo "== (c) playing 15 s of a 20 s MP3"
sox -q -n -r 44100 -c 2 -b 16 "$work/t20.wav" synth 20 pinknoise synth 20 sine mix 440 vol 0.5
lame --quiet -b 192 "$work/t20.wav" "$work/t20.mp3"
"$probe" play "$work/t20.mp3" 15 2>/dev/null > "$work/play.txt"
printf 'open %s type MPEGVideo alias mp3\nplay mp3\nwait 15000\nstop mp3\nclose all\n' \
  "$work/t20.mp3" > "$work/play.mci"
/usr/bin/time -f "%U %S" -o "$work/time" "$shell" "$work/play.mci" >/dev/null 2>&1
shell_cpu=$(awk '{ printf "%.4f", $1 + $2 }' "$work/time")
ours=$(field play_cpu_s "$work/play.txt")
echo "play_cpu_s ours $ours (position $(field position "$work/play.txt") of $(field length "$work/play.txt"))  mci-shell $shell_cpu  ratio $(ratio "$ours" "$shell_cpu")"
