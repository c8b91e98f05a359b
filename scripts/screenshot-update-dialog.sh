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

shot="$build/update-dialog-screen.png"
velto1_desktop_shot 800x600 8 "$shot" "$build/tests/update/show_update_dialog.exe"
# The dialog is centred on the 800 by 600 desktop, itself at the top left of the screen.
mkdir -p "$(dirname "$out")"
convert "$shot" -crop 352x232+222+184 +repage "$out"
echo "saved $out"
