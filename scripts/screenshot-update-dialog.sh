#!/usr/bin/env bash
# Shows the update dialog under Xvfb, inside a Wine virtual desktop (which
# draws the caption), and saves a picture of it: docs/update-dialog.png, or
# the path given. VELTO1_ARCH=x64 shows the 64-bit build's (default x86).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/wine-env.sh"
arch="${VELTO1_ARCH:-x86}"
velto1_check_arch "$arch"
"$root/scripts/build.sh" "$arch" >/dev/null
build=$(velto1_build_dir "$arch")
out="${1:-$root/docs/update-dialog.png}"

velto1_use_prefix "$build/wineprefix" "$arch"
velto1_start_xvfb
trap velto1_stop EXIT

wine explorer /desktop=shot,800x600 "$build/tests/update/show_update_dialog.exe" \
    </dev/null >/dev/null 2>&1 &
dialog_pid=$!
sleep 8
if ! kill -0 "$dialog_pid" 2>/dev/null; then
    status=0
    wait "$dialog_pid" || status=$?
    echo "screenshot-update-dialog.sh: the dialog ended (status $status) before its picture was taken" >&2
    exit 1
fi
shot="$build/update-dialog-screen.png"
import -window root "$shot"
# The dialog is centred on the 800 by 600 desktop, itself at the top left of the screen.
mkdir -p "$(dirname "$out")"
convert "$shot" -crop 352x232+222+184 +repage "$out"
echo "saved $out"
