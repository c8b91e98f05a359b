#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine, for x64 and
# then x86 (or the one architecture given): each in its build tree's private
# prefix with one persistent wineserver, on a private virtual X display. Each
# architecture's run ends with CTest's summary; the script fails when either
# fails. Other arguments go to ctest (e.g. -R Update).
#
#   scripts/test.sh [--arch x64|x86] [CTEST ARGS...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/wine-env.sh"
arches=(x64 x86)
ctest_args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --arch) [ $# -ge 2 ] || velto1_check_arch ""; velto1_check_arch "$2"; arches=("$2"); shift 2 ;;
        --arch=*) velto1_check_arch "${1#--arch=}"; arches=("${1#--arch=}"); shift ;;
        *) ctest_args+=("$1"); shift ;;
    esac
done
for arch in "${arches[@]}"; do "$root/scripts/build.sh" "$arch"; done

# Tests that show windows (dialogs, the program, property frames) get a display
# of their own, never the user's screen.
velto1_start_xvfb
trap velto1_stop EXIT
status=0
for arch in "${arches[@]}"; do
    build=$(velto1_build_dir "$arch")
    echo "== tests, $arch (build/mingw-$arch)"
    velto1_use_prefix "$build/wineprefix" "$arch"
    velto1_start_wineserver
    ctest --test-dir "$build" --output-on-failure --no-tests=error -j 2 \
        ${ctest_args[@]+"${ctest_args[@]}"} || status=1
    velto1_stop_wineserver
done
exit $status
