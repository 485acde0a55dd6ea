#!/usr/bin/env bash
# Media service benchmarks. Prints each figure and its ratio to the reference, all measured in
# this one run:
#   (a) CPU seconds to play a 60 s MP3 with mci-shell (SDL dummy driver, real time), against
#       `mpv --ao=null` on the same file and against a bare decode (`mpg123 -o dummy`, unpaced)
#   (b) ms from "open" until the first samples reach the device (SDL disk driver, paced)
#   (c) open + "status length" of a 60-minute MP3 without header, against a bare mpg123_scan
#   (d) seek accuracy: frames between what "play from N" plays and sample N x rate / 1000
#   (e) "status length" answer time on a 3-hour MP3 without header, against a full scan of it
#   (f) the longest time one media command held the caller's thread across the bad-input suite
#       (needs the test target zr_badinput_tests; built here when the build has tests)
# Usage: bench/media/run-media-bench.sh [BUILD_DIR]   (needs targets mci-shell and media_probe)
# Installs mpv (the peer of (a)) with apt-get when it is missing.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
shell=$build/tools/mci-shell/mci-shell
probe=$build/bench/media/media_probe
for exe in "$shell" "$probe"; do
  [ -x "$exe" ] || { echo "missing $exe: build targets mci-shell and media_probe" >&2; exit 1; }
done
if ! command -v mpv >/dev/null; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends mpv >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "inf" }'; }
cpu() { # command... -> user+system CPU seconds
  /usr/bin/time -f "%U %S" -o "$work/time" "$@" >/dev/null 2>&1
  awk '{ printf "%.3f", $1 + $2 }' "$work/time"
}

echo "making material..." >&2
# Pink noise under a tone: a realistic decoding load and a signal without repeats for (d).
sox -q -n -r 44100 -c 2 -b 16 "$work/m60.wav" synth 60 pinknoise synth 60 sine mix 440 vol 0.5
lame --quiet -b 192 "$work/m60.wav" "$work/m60.mp3"
lame --quiet -b 128 -t "$work/m60.wav" "$work/m60_noheader.mp3"
for _ in $(seq 60); do cat "$work/m60_noheader.mp3"; done > "$work/m3600_noheader.mp3"

echo "== (a) CPU to play 60 s (this takes about two minutes)"
printf 'open %s type MPEGVideo alias mp3\nplay mp3\nwait 61000\nstatus mp3 mode\n' \
  "$work/m60.mp3" > "$work/play.mci"
ours=$(SDL_AUDIODRIVER=dummy cpu "$shell" "$work/play.mci")
peer=$(cpu mpv --no-config --really-quiet --no-video --ao=null "$work/m60.mp3")
bare=$(cpu mpg123 -q -o dummy "$work/m60.mp3")
echo "mci-shell cpu_s $ours"
echo "mpv --ao=null cpu_s $peer"
echo "mpg123 -o dummy cpu_s $bare"
echo "ratio ours/mpv $(ratio "$ours" "$peer")   (goal <= 0.5)"
echo "ratio ours/bare-decode $(ratio "$ours" "$bare")"

echo "== (b) open + play until the first samples reach the device (20 runs, ms)"
SDL_DISKAUDIODELAY= "$probe" first-samples "$work/m60.mp3" "$work/first.raw" 20 2>/dev/null |
  sort -n > "$work/first.txt"
median=$(awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }' "$work/first.txt")
worst=$(tail -1 "$work/first.txt")
echo "median_ms $median  worst_ms $worst"
echo "ratio median/20ms $(ratio "$median" 20)   ratio worst/20ms $(ratio "$worst" 20)   (goal <= 1)"

echo "== (c) status length of a 60-minute file without header"
"$probe" length "$work/m3600_noheader.mp3" 2>/dev/null | tee "$work/length.txt"
svc=$(awk '/^service_ms/ { print $2 }' "$work/length.txt")
scan=$(awk '/^bare_scan_ms/ { print $2 }' "$work/length.txt")
echo "ratio service/bare-scan $(ratio "$svc" "$scan")   (goal <= 1.1)"

echo "== (d) seek accuracy (position_ms offset_frames mean_abs_difference)"
"$probe" seek "$work/m60.mp3" "$work/seek.raw" 1 999 2000 12345 30000 45678 59000 2>/dev/null |
  tee "$work/seek.txt"
off=$(awk '{ if ($2 < 0) $2 = -$2; if ($2 > m) m = $2 } END { print m + 0 }' "$work/seek.txt")
echo "worst_offset_frames $off   (goal 0)"

echo "== (e) status length right after open, 3-hour file without header"
for _ in $(seq 180); do cat "$work/m60_noheader.mp3"; done > "$work/m3h_noheader.mp3"
"$probe" length-answer "$work/m3h_noheader.mp3" 2>/dev/null | tee "$work/answer.txt"
answer=$(awk '/^length_answer_ms/ { print $2 }' "$work/answer.txt")
fullscan=$(awk '/^full_scan_ms/ { print $2 }' "$work/answer.txt")
echo "ratio answer/full-scan $(ratio "$answer" "$fullscan")   (goal: answer <= 5 ms)"
rm -f "$work/m3h_noheader.mp3"

echo "== (f) longest media command on the caller's thread, bad-input suite"
badinput=$build/tests/badinput/zr_badinput_tests
if [ ! -x "$badinput" ] && grep -q "ZR_BUILD_TESTS:BOOL=ON" "$build/CMakeCache.txt" 2>/dev/null; then
  cmake --build "$build" -j2 --target zr_badinput_tests zr_fixtures >/dev/null 2>&1 || true
fi
if [ -x "$badinput" ]; then
  ZR_MCI_CALL_LOG="$work/calls.log" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
    ZR_TEST_FIXTURES="$build/fixtures" "$badinput" >/dev/null 2>&1 || echo "(some bad-input tests failed)" >&2
  sort -n -r "$work/calls.log" | head -1 |
    awk -F'\t' '{ printf "longest_command_ms %.1f calls %s command %s\n", $1 / 1000, n, $2 }' \
      n="$(wc -l < "$work/calls.log")"
  echo "(goal <= 100 ms)"
else
  echo "longest_command_ms - (no zr_badinput_tests in $build)"
fi
