#!/usr/bin/env bash
# Measures velto1 under Wine (figures, not a test): from process start to the
# update dialog on screen, with the simulated device present and absent
# (absent means the whole search: the registry name, then the 31 known
# models, two categories each), and the duration of a successful update
# (OK to the outcome message) against its floor of 2.0 s, the four pauses.
#
#   scripts/benchmark.sh [RUNS]     (default 5 runs of each)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs="${1:-5}"
"$root/scripts/build.sh" >/dev/null
build="${VELTO1_BUILD_DIR:-$root/build/mingw}"
. "$root/scripts/wine-env.sh"
velto1_use_prefix "$build/bench-prefix"
velto1_start_xvfb
trap velto1_stop EXIT
velto1_start_wineserver

autopilot="$build/tools/autopilot/velto1_autopilot.exe"
simdevctl="$build/simdevice/filter/simdevctl.exe"
eeprom="$build/bench-eeprom.bin"
results=$(mktemp)

wine "$simdevctl" register >/dev/null
measure() {  # measure LABEL: one run; appends "LABEL dialog update" to the results
    local line
    line=$(wine "$autopilot" --timing | grep '^timing:')
    echo "$1 $(echo "$line" | awk '{print $3, $6}')" >>"$results"
}
wine "$autopilot" --timing >/dev/null  # a first run warms Wine's caches; not counted
for _ in $(seq "$runs"); do
    wine "$simdevctl" add bench --name "USB 7450 Device" --eeprom "$eeprom" --reset-eeprom >/dev/null
    measure present
done
wine "$simdevctl" remove --all >/dev/null
for _ in $(seq "$runs"); do measure absent; done

stats() {  # stats LABEL COLUMN: min, median and max of one column
    grep "^$1 " "$results" | awk -v c="$2" '{print $c}' | sort -g |
        awk '{v[NR]=$1} END {m = (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2;
                             printf "%7.3f s %7.3f s %7.3f s", v[1], m, v[NR]}'
}
median() { grep "^$1 " "$results" | awk -v c="$2" '{print $c}' | sort -g |
    awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

echo "velto1 under Wine, $runs runs each ($(nproc) cores, $(wine --version))"
printf '%-40s %9s %9s %9s\n' "" "min" "median" "max"
printf '%-40s %s\n' "start to dialog, device present" "$(stats present 2)"
printf '%-40s %s\n' "start to dialog, device absent" "$(stats absent 2)"
printf '%-40s %s\n' "successful update, OK to message" "$(stats present 3)"
awk -v m="$(median present 3)" 'BEGIN {printf "update over its 2.0 s floor: %.3f (median)\n", m / 2.0}'
rm -f "$results"
