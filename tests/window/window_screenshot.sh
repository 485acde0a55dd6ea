#!/usr/bin/env bash
# Starts the real player under a virtual X server with a white desktop, takes a screenshot of
# the whole screen and checks a few pixels of the window in it: the rounded corners show the
# desktop, the information panel is navy, three volume steps are lit and three are dark. Also
# checks that the window names its desktop entry: its WM_CLASS holds the entry's
# StartupWMClass and its icon comes in every installed size.
#   window_screenshot.sh <player program> <screenshot.png>
set -euo pipefail

if [[ "${1:-}" != --inside ]]; then
    program=$1
    shot=$2
    mkdir -p "$(dirname "$shot")"
    # -wr: white root window, so the cut corners are told apart from the black window.
    exec xvfb-run -a -s "-screen 0 800x600x24 -wr" "$0" --inside "$program" "$shot"
fi
program=$2
shot=$3

export QT_QPA_PLATFORM=xcb
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT

wid=
for _ in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --name '^ZR - Mp3 Player$' 2>/dev/null | head -n1 || true)
    [[ -n "$wid" ]] && break
    sleep 0.1
done
[[ -n "$wid" ]] || { echo "the player window did not appear" >&2; exit 1; }
sleep 1 # first paint

eval "$(xdotool getwindowgeometry --shell "$wid")" # X Y WIDTH HEIGHT
import -window root "$shot"

failures=0
# pixel <x> <y> in window coordinates -> "r,g,b"
pixel() {
    convert "$shot" -format "%[fx:int(255*p{$(($1 + X)),$(($2 + Y))}.r+0.5)],%[fx:int(255*p{$(($1 + X)),$(($2 + Y))}.g+0.5)],%[fx:int(255*p{$(($1 + X)),$(($2 + Y))}.b+0.5)]" info:
}
expect() { # <what> <x> <y> <r,g,b>
    local got
    got=$(pixel "$2" "$3")
    if [[ "$got" != "$4" ]]; then
        echo "FAIL $1 at ($2,$3): $got, expected $4" >&2
        failures=$((failures + 1))
    else
        echo "ok   $1 at ($2,$3): $got"
    fi
}

if [[ "$WIDTH" != 378 || "$HEIGHT" != 460 ]]; then
    echo "FAIL window size ${WIDTH}x${HEIGHT}, expected 378x460" >&2
    failures=$((failures + 1))
fi
white=255,255,255
expect "top-left corner shows the desktop" 0 0 $white
expect "top-right corner shows the desktop" 377 0 $white
expect "bottom-left corner shows the desktop" 0 459 $white
expect "bottom-right corner shows the desktop" 377 459 $white
expect "inside the bottom-left rounding" 2 457 $white
# Client area pixels are offset by the frame (4) and the caption bar (23).
expect "bottom edge between the corners is the window" 189 459 0,0,0
expect "information panel is navy" $((300 + 4)) $((95 + 27)) 0,0,64
expect "volume step 0 lit" $((356 + 4)) $((155 + 27)) 250,0,0
expect "volume step 1 lit" $((356 + 4)) $((147 + 27)) 250,0,0
expect "volume step 2 lit" $((356 + 4)) $((139 + 27)) 250,0,0
expect "volume step 3 dark" $((356 + 4)) $((131 + 27)) 128,0,0
expect "volume step 4 dark" $((356 + 4)) $((123 + 27)) 128,0,0
expect "volume step 5 dark" $((356 + 4)) $((163 + 27)) 128,0,0
expect "command light 0 is off" $((27 + 4)) $((121 + 27)) 0,0,0

entry=$(dirname "$0")/../../data/zr-mp3-player.desktop
startup_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
wm_class=$(xprop -id "$wid" WM_CLASS)
if [[ -z "$startup_class" || "$wm_class" != *"\"$startup_class\""* ]]; then
    echo "FAIL StartupWMClass '$startup_class' is not in $wm_class" >&2
    failures=$((failures + 1))
else
    echo "ok   WM_CLASS holds StartupWMClass: $wm_class"
fi
icon_sizes=$(xprop -id "$wid" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u | tr '\n' ' ')
for size in 16 48 128; do
    if [[ "$icon_sizes" != *"Icon ($size x $size)"* ]]; then
        echo "FAIL window icon lacks ${size}x${size}: $icon_sizes" >&2
        failures=$((failures + 1))
    fi
done
echo "window icon sizes: $icon_sizes"

echo "screenshot: $shot"
exit $((failures > 0))
