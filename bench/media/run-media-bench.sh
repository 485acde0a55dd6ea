#!/usr/bin/env bash
# Media service benchmarks, each figure beside its reference measured in this one run:
#   (a) CPU seconds for mci-shell to play a 60 s MP3 whole (start-up included) into SDL's dummy
#       driver (silent, real time), against `mpv --ao=null` and a bare decode (`mpg123 -o dummy`,
#       unpaced) of the same file
#   (b) ms from "open" until the first samples reach the device (SDL disk driver, unpaced)
#   (c) open + "status length" of a 60-minute MP3 without header, against a bare mpg123_scan
#   (d) seek accuracy: frames between what the device played after "play from N" (from stopped,
#       and while playing elsewhere) and frame N x rate / 1000 of a full decode; first the probe
#       must see a deliberately wrong seek, or the part fails
#   (e) "status length" answer time on a 3-hour MP3 without header, against a full scan of it
#   (f) the longest time one media command held the caller's thread across the bad-input suite
#       (needs the test target zr_badinput_tests; built here when the build has tests)
# Usage: bench/media/run-media-bench.sh [BUILD_DIR]   (needs targets mci-shell and media_probe)
# Prints rows for bench/run (bench/rows.sh). Installs mpv (the peer of (a)) when it is missing.
set -euo pipefail
. "$(dirname "$0")/../rows.sh"
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
cpu() { # command... -> user+system CPU seconds
  /usr/bin/time -f "%U %S" -o "$work/time" "$@" >/dev/null 2>&1
  awk '{ printf "%.3f", $1 + $2 }' "$work/time"
}
field() { awk -v k="$1" '$1 == k { print $2; exit }' "$2"; }

echo "making material..." >&2
# Pink noise under a tone: a realistic decoding load and a signal without repeats for (d).
sox -q -n -r 44100 -c 2 -b 16 "$work/m60.wav" synth 60 pinknoise synth 60 sine mix 440 vol 0.5
lame --quiet -b 192 "$work/m60.wav" "$work/m60.mp3"
lame --quiet -b 128 -t "$work/m60.wav" "$work/m60_noheader.mp3"
for _ in $(seq 60); do cat "$work/m60_noheader.mp3"; done > "$work/m3600_noheader.mp3"

echo "== (a) CPU to play 60 s whole, silent output (about two minutes)" >&2
printf 'open %s type MPEGVideo alias mp3\nplay mp3\nwait 61000\nstatus mp3 mode\n' \
  "$work/m60.mp3" > "$work/play.mci"
ours=$(SDL_AUDIODRIVER=dummy cpu "$shell" "$work/play.mci")
peer=$(cpu mpv --no-config --really-quiet --no-video --ao=null "$work/m60.mp3")
bare=$(cpu mpg123 -q -o dummy "$work/m60.mp3")
row "CPU to play 60 s whole, silent output (s)" "SDL dummy" "$ours" "mpv --ao=null" "$peer"
row "CPU to play 60 s whole, silent output (s)" "SDL dummy" "$ours" "bare decode (mpg123 -o dummy)" "$bare"

echo "== (b) open + play until the first samples reach the device (20 runs, ms)" >&2
"$probe" first-samples "$work/m60.mp3" "$work/first.raw" 20 2>/dev/null | sort -n > "$work/first.txt"
median=$(awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }' "$work/first.txt")
worst=$(tail -n 1 "$work/first.txt")
if awk '$1 < 0 { bad = 1 } END { exit !(NR != 20 || bad) }' "$work/first.txt"; then
  echo "first samples: a run gave no sound within 1 s or the probe failed:" >&2
  cat "$work/first.txt" >&2
  exit 1
fi
row "open + play to first samples, median of 20 (ms)" "SDL disk, unpaced" "$median" "goal" 20
row "open + play to first samples, worst of 20 (ms)" "SDL disk, unpaced" "$worst" "goal" 20

echo "== (c) status length of a 60-minute file without header" >&2
"$probe" length "$work/m3600_noheader.mp3" 2>/dev/null > "$work/length.txt"
cat "$work/length.txt" >&2
row "open + status length, 60 min without header (ms)" "-" \
  "$(field service_ms "$work/length.txt")" "bare mpg123_scan" "$(field bare_scan_ms "$work/length.txt")"

echo "== (d) seek accuracy: the probe must first see a seek 10 ms wrong" >&2
positions=(1 999 2000 12345 30000 45678 59000)
lines=$((2 * ${#positions[@]})) # each position from stopped and while playing
# Worst |offset| over the lines; "none" when a position matched nothing or lines are missing.
worst_offset() { awk -v want="$lines" '$1 ~ /_/ { n++; if ($4 == "none") none = 1
                                                  o = $4 < 0 ? -$4 : $4; if (o > m) m = o }
                                       END { print none || n != want ? "none" : m + 0 }' "$1"; }
"$probe" seek-wrong-by 10 "$work/m60.mp3" "$work/seek.raw" "${positions[@]}" 2>/dev/null \
  > "$work/wrong.txt"
cat "$work/wrong.txt" >&2
want=$(awk '$1 == "rate" { print $2 * 10 / 1000 }' "$work/wrong.txt")
if ! awk -v want="$want" -v lines="$lines" '$1 ~ /_/ { n++; if ($4 != want) bad = 1 }
                                           END { exit !(n == lines && !bad) }' "$work/wrong.txt"; then
  echo "seek probe: a seek 10 ms wrong must show as $want frames at every position, and did" \
       "not: the seek row would not measure what was played" >&2
  exit 1
fi
"$probe" seek "$work/m60.mp3" "$work/seek.raw" "${positions[@]}" 2>/dev/null > "$work/seek.txt"
cat "$work/seek.txt" >&2
off=$(worst_offset "$work/seek.txt")
if [ "$off" = none ]; then
  echo "seek: what was played matched no part of the reference near a position, or a" \
       "position is missing (see above)" >&2
  exit 1
fi
row "seek accuracy, worst of ${#positions[@]} positions x 2 (frames)" "SDL disk, paced" "$off" "exact" 0

echo "== (e) status length right after open, 3-hour file without header" >&2
for _ in $(seq 180); do cat "$work/m60_noheader.mp3"; done > "$work/m3h_noheader.mp3"
"$probe" length-answer "$work/m3h_noheader.mp3" 2>/dev/null > "$work/answer.txt"
cat "$work/answer.txt" >&2
row "status length right after open, 3 h without header (ms)" "-" \
  "$(field length_answer_ms "$work/answer.txt")" "full scan" "$(field full_scan_ms "$work/answer.txt")"
rm -f "$work/m3h_noheader.mp3"

echo "== (f) longest media command on the caller's thread, bad-input suite" >&2
badinput=$build/tests/badinput/zr_badinput_tests
if ! grep -q "ZR_BUILD_TESTS:BOOL=ON" "$build/CMakeCache.txt"; then
  row "longest media command, bad-input suite (ms)" "SDL dummy" "-" "(build has no tests)" 100
  exit 0
fi
cmake --build "$build" -j2 --target zr_badinput_tests zr_fixtures >/dev/null
ZR_MCI_CALL_LOG="$work/calls.log" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
  ZR_TEST_FIXTURES="$build/fixtures" "$badinput" >/dev/null 2>&1 || echo "(some bad-input tests failed)" >&2
[ -s "$work/calls.log" ] || { echo "the bad-input suite logged no media command" >&2; exit 1; }
# awk reads the whole log: a reader that stops early (head) kills the writer under pipefail.
awk -F'\t' '$1 + 0 > max { max = $1 + 0; command = $2 } END {
  printf "%d commands, the longest: %s\n", NR, command > "/dev/stderr"; printf "%.1f\n", max / 1000 }' \
  "$work/calls.log" > "$work/longest.txt"
row "longest media command, bad-input suite (ms)" "SDL dummy" "$(cat "$work/longest.txt")" "goal" 100
