#!/usr/bin/env bash
# Runs the whole suite N times without retries, to bring out tests that fail
# only now and then: builds once, then each run starts its own wineserver and
# runs CTest as scripts/test.sh does. Prints the failed cases of each run and
# a summary per architecture, keeps each run's log under build/soak/, and fails
# when any run failed. x64 and then x86 (or the one architecture given); other
# arguments go to ctest (e.g. -R Simdevctl).
#
#   scripts/soak.sh [--arch x64|x86] N [CTEST ARGS...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/wine-env.sh"
usage() { echo "usage: $(basename "$0") [--arch x64|x86] N [CTEST ARGS...]" >&2; exit 2; }
arches=(x64 x86)
runs=
ctest_args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --arch) [ $# -ge 2 ] || velto1_check_arch ""; velto1_check_arch "$2"; arches=("$2"); shift 2 ;;
        --arch=*) velto1_check_arch "${1#--arch=}"; arches=("${1#--arch=}"); shift ;;
        *)
            if [ -z "$runs" ]; then
                [[ "$1" =~ ^[1-9][0-9]*$ ]] || usage
                runs=$1
            else
                ctest_args+=("$1")
            fi
            shift ;;
    esac
done
[ -n "$runs" ] || usage
for arch in "${arches[@]}"; do "$root/scripts/build.sh" "$arch"; done

velto1_start_xvfb
trap velto1_stop EXIT
logs="$root/build/soak"
mkdir -p "$logs"
status=0
summaries=()
for arch in "${arches[@]}"; do
    build=$(velto1_build_dir "$arch")
    velto1_use_prefix "$build/wineprefix" "$arch"
    failed_runs=0
    declare -A count=()
    for run in $(seq "$runs"); do
        log="$logs/$arch-$run.log"
        velto1_start_wineserver
        start=$SECONDS
        # CTest lists the failed cases of its last run in LastTestsFailed.log.
        rm -f "$build/Testing/Temporary/LastTestsFailed.log"
        if ctest --test-dir "$build" --output-on-failure --no-tests=error -j 2 \
            ${ctest_args[@]+"${ctest_args[@]}"} >"$log" 2>&1; then
            echo "== $arch run $run/$runs: passed ($((SECONDS - start)) s)"
        else
            status=1
            failed_runs=$((failed_runs + 1))
            echo "== $arch run $run/$runs: FAILED ($((SECONDS - start)) s; log: ${log#"$root/"})"
            failures=()
            if [ -f "$build/Testing/Temporary/LastTestsFailed.log" ]; then
                mapfile -t failures < <(cut -d: -f2- "$build/Testing/Temporary/LastTestsFailed.log")
            fi
            [ ${#failures[@]} -gt 0 ] || failures=("(no case failed: see the log)")
            for name in "${failures[@]}"; do
                echo "   $name"
                count[$name]=$((${count[$name]:-0} + 1))
            done
        fi
        velto1_stop_wineserver
        wineserver -w >/dev/null 2>&1 || true
    done
    summary="$arch: $((runs - failed_runs)) of $runs runs passed"
    for name in "${!count[@]}"; do summary+="; $name failed ${count[$name]}x"; done
    summaries+=("$summary")
    unset count
done
echo "== soak summary"
printf '%s\n' "${summaries[@]}"
exit $status
