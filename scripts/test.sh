#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine in the build
# tree's private prefix, on a private virtual X display, with one persistent
# wineserver for the whole run. Extra arguments go to ctest (e.g. -R Update).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh"
build="${VELTO1_BUILD_DIR:-$root/build/mingw}"
. "$root/scripts/wine-env.sh"

velto1_use_prefix "$build/wineprefix"
# Tests that show windows (dialogs, the program, property frames) get a display
# of their own, never the user's screen.
velto1_start_xvfb
trap velto1_stop EXIT
velto1_start_wineserver

status=0
# A case gets a second try: Wine very rarely fails to start a test process
# when two start at once. A real failure fails both tries.
ctest --test-dir "$build" --output-on-failure --no-tests=error -j 2 --repeat until-pass:2 "$@" || status=$?
exit $status
