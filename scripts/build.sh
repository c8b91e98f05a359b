#!/usr/bin/env bash
# Installs what is missing, then configures and builds the Windows binaries of
# one architecture (cross-compiled with MinGW-w64) into build/mingw-ARCH.
#
#   scripts/build.sh [x64|x86]      (default x64)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/wine-env.sh"
arch="${1:-x64}"
velto1_check_arch "$arch"
"$root/scripts/setup.sh"
build=$(velto1_build_dir "$arch")
cd "$root"
# Configured every time, so that a tree made by an older checkout takes the
# presets' current settings.
cmake --preset "mingw-$arch" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
