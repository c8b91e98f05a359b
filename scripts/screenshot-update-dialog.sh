#!/usr/bin/env bash
# Shows the update dialog under Xvfb, inside a Wine virtual desktop (which
# draws the caption), and saves a picture of it: docs/update-dialog.png, or
# the path given.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
build="${VELTO1_BUILD_DIR:-$root/build/mingw}"
out="${1:-$root/docs/update-dialog.png}"

export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
"$root/scripts/prepare-prefix.sh" "$WINEPREFIX"

display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 800x600x24 >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=":$display"
sleep 2

wine explorer /desktop=shot,800x600 "$build/tests/update/show_update_dialog.exe" \
    </dev/null >/dev/null 2>&1 &
sleep 8
shot="$build/update-dialog-screen.png"
import -window root "$shot"
# The dialog is centred on the 800 by 600 desktop.
mkdir -p "$(dirname "$out")"
convert "$shot" -crop 352x232+222+184 +repage "$out"
echo "saved $out"
