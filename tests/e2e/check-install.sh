#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks that the program, its menu entry and its
# icons land where the XDG conventions look for them, and that --strip strips the program.
#   check-install.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check-install.sh BUILD_DIR}
prefix=$(mktemp -d)
stripped=$(mktemp -d)
trap 'rm -rf "$prefix" "$stripped"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
check() { if ! eval "$2"; then echo "FAIL: $1" >&2; fail=1; fi; }

app=zr-mp3-player
desktop=$prefix/share/applications/$app.desktop
check "program installed and executable" "[ -x '$prefix/bin/$app' ]"
check "desktop entry installed" "[ -f '$desktop' ]"
if [ -f "$desktop" ]; then
  exec_cmd=$(sed -n 's/^Exec=//p' "$desktop")
  icon_name=$(sed -n 's/^Icon=//p' "$desktop")
  check "entry starts the installed program" "[ '$exec_cmd' = '$app' ]"
  check "entry names the icon" "[ '$icon_name' = '$app' ]"
  check "entry shows the window's name" "grep -qx 'Name=ZR - Mp3 Player' '$desktop'"
  if command -v desktop-file-validate >/dev/null; then
    check "desktop-file-validate accepts the entry" "desktop-file-validate '$desktop'"
  fi
fi
for size in 16 48 128; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$app.png
  check "icon ${size}x${size} installed" "[ -f '$png' ]"
  if [ -f "$png" ]; then
    # PNG header: width and height are the big-endian words at bytes 16 and 20.
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    check "icon ${size}x${size} has that size (got $dims)" "[ '$dims' = '${size}x${size}' ]"
  fi
done
check "desktop entry names the window class" "grep -qx 'StartupWMClass=ZR - Mp3 Player' '$desktop'"

# Symbols and debug information stay in a plain install and go with --strip.
cmake --install "$build" --prefix "$stripped" --strip >/dev/null
# grep without -q reads all of readelf's output: under pipefail, a cut-off writer would fail.
has_symbols() { readelf -S "$1" | grep ' \.symtab' >/dev/null; }
check "plain install keeps the symbol table" "has_symbols '$prefix/bin/$app'"
check "--strip removes the symbol table" "! has_symbols '$stripped/bin/$app'"
check "--strip removes debug information" "! readelf -S '$stripped/bin/$app' | grep ' \.debug_' >/dev/null"
check "stripped program is smaller" \
  "[ \$(stat -c %s '$stripped/bin/$app') -lt \$(stat -c %s '$prefix/bin/$app') ]"
exit $fail
