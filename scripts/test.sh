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

# Tests that show windows (property frames, dialogs) need an X display: when
# there is none, a private virtual one serves this run.
xvfb_pid=
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null 2>&1; then
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
    if [ -s "$display_file" ]; then export DISPLAY=":$(head -n 1 "$display_file")"; fi
    rm -f "$display_file"
fi

# A persistent server: each test process then starts in milliseconds, and the
# warm-up keeps Wine's service processes from holding CTest's output open.
wineserver -p </dev/null >/dev/null 2>&1 &
trap 'wineserver -k >/dev/null 2>&1 || true; if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi' EXIT
wine wineboot </dev/null >/dev/null 2>&1 || true

status=0
ctest --test-dir "$build" --output-on-failure --no-tests=error -j 2 "$@" || status=$?
exit $status
