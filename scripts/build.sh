#!/usr/bin/env bash
# Installs what is missing, then configures and builds the Windows binaries
# (cross-compiled with MinGW-w64) into build/mingw, or $VELTO1_BUILD_DIR.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
build="${VELTO1_BUILD_DIR:-$root/build/mingw}"
cd "$root"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset mingw -B "$build" >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)"
