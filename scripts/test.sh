#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine in the build
# tree's private prefix, with one persistent wineserver for the whole run.
# Extra arguments go to ctest (e.g. -R Update).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh"
build="${VELTO1_BUILD_DIR:-$root/build/mingw}"

export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
"$root/scripts/prepare-prefix.sh" "$WINEPREFIX"

# A persistent server: each test process then starts in milliseconds, and the
# warm-up keeps Wine's service processes from holding CTest's output open.
wineserver -p </dev/null >/dev/null 2>&1 &
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine wineboot </dev/null >/dev/null 2>&1 || true

status=0
ctest --test-dir "$build" --output-on-failure --no-tests=error -j 2 "$@" || status=$?
exit $status
