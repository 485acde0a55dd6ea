#!/usr/bin/env bash
# Scales the 16 x 16 window icon to the larger sizes desktops ask for, keeping the pixel art
# sharp (nearest neighbour). The results are committed; run again after the icon changes.
set -euo pipefail
cd "$(dirname "$0")"
src=../resources/icons/window.png
for size in 48 128; do
  convert "$src" -filter point -resize "${size}x${size}" -strip "PNG32:icons/zr-mp3-player-${size}.png"
done
