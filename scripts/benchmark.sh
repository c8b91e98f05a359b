#!/usr/bin/env bash
# Measures velto1 under Wine (figures, not a test), for the x86 and the x64
# build side by side: from process start to the update dialog on screen, with
# the simulated device present and absent (absent means the whole search: the
# registry name, then the 31 known models, two categories each), and the
# duration of a successful update (OK to the outcome message) against its
# floor of 2.0 s, the four pauses; and velto1cli's update and check of one
# device from process start to exit, against their floors of 2.0 s and 1.0 s
# (four pauses and two), and velto1cli update with every driver call recorded
# (--record) against the same without, and the update less what Wine's start
# and end of a process cost (velto1cli --version, measured the same way);
# velto1cli report over a million log lines (about 120 MB).
# Medians, with min and max. Last, the
# device lock's cost: one acquire and release of the free lock (an update takes
# it about ten times: once for the whole update, once for each of its sequences),
# and recording's per driver call, off and on.
#
#   scripts/benchmark.sh [RUNS] [--arch x86|x64]    (default 5 runs, both)
#
# The figures are the programs' as a user runs them: without the test runs'
# heap checking, unless VELTO1_HEAP_CHECK=1 asks for it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export VELTO1_HEAP_CHECK="${VELTO1_HEAP_CHECK:-0}"
. "$root/scripts/wine-env.sh"
runs=5 arches=(x86 x64)
while [ $# -gt 0 ]; do
    case "$1" in
        --arch) [ $# -ge 2 ] || velto1_check_arch ""; velto1_check_arch "$2"; arches=("$2"); shift ;;
        [0-9]*) runs="$1" ;;
        *) echo "usage: scripts/benchmark.sh [RUNS] [--arch x86|x64]" >&2; exit 2 ;;
    esac
    shift
done
"$root/scripts/setup.sh"  # the display's packages come before the display
results=$(mktemp)
lock_results=$(mktemp)
rollout_log=$(mktemp)
velto1_start_xvfb
trap 'velto1_stop; rm -f "$results" "$lock_results" "$rollout_log"' EXIT

measure() {  # measure ARCH LABEL: one run; appends "ARCH LABEL dialog update" to the results
    local line
    line=$(wine "$autopilot" --timing | grep '^timing:')
    echo "$1 $2 $(echo "$line" | awk '{print $3, $6}')" >>"$results"
}
for arch in "${arches[@]}"; do
    "$root/scripts/build.sh" "$arch" >/dev/null
    build=$(velto1_build_dir "$arch")
    velto1_use_prefix "$build/bench-prefix" "$arch"
    velto1_start_wineserver
    autopilot="$build/tools/autopilot/velto1_autopilot.exe"
    simdevctl="$build/tools/simdevctl/simdevctl.exe"
    eeprom="$build/bench-eeprom.bin"
    wine "$simdevctl" register >/dev/null
    wine "$autopilot" --timing >/dev/null  # a first run warms Wine's caches; not counted
    for _ in $(seq "$runs"); do
        wine "$simdevctl" add bench --name "USB 7450 Device" --eeprom "$eeprom" --reset-eeprom >/dev/null
        measure "$arch" present
    done
    cli="$build/cli/velto1cli.exe"
    for _ in $(seq "$runs"); do
        times=()
        # The third: update with every driver call recorded (off in the first).
        # The fourth: a run that starts, prints its version and ends, which is
        # what Wine's process start and end cost every program.
        for command in update check "update --record Z:$(echo "$build/bench.rec" | tr / '\\')" --version; do
            wine "$simdevctl" add bench --name "USB 7450 Device" --eeprom "$eeprom" --reset-eeprom >/dev/null
            start=$(date +%s.%N)
            # shellcheck disable=SC2086
            wine "$cli" $command >/dev/null || true
            times+=("$(awk -v end="$(date +%s.%N)" -v start="$start" 'BEGIN {printf "%.6f", end - start}')")
        done
        echo "$arch cli ${times[*]}" >>"$results"
    done
    bench="$build/tests/recording/recording_bench.exe"
    if [ -f "$bench" ]; then
        wine "$bench" "USB 7450 Device" | sed "s/^/$arch /" >>"$lock_results"
    fi
    holder="$build/tests/sharing/device_holder.exe"
    if [ -f "$holder" ]; then
        wine "$holder" time-lock "USB 7450 Device" | sed "s/^/$arch /" >>"$lock_results"
    fi
    wine "$simdevctl" remove --all >/dev/null
    for _ in $(seq "$runs"); do measure "$arch" absent; done
    # velto1cli report over a million log lines (5,000 computers, 200 days).
    [ -s "$rollout_log" ] || awk 'BEGIN {
        split("updated:0|already updated:0|W001 device not found:11|E003 writing the option byte failed, status 0x80070005:23", o, "|");
        for (i = 0; i < 1000000; i++) { split(o[i % 4 + 1], f, ":");
            printf "2026-%02d-%02dT08:03:07+01:00\tPC-%05d\tSYSTEM\tUSB 7450 Device\t0x85\t0x05\t%s\t%s\t1.0.0\tx86\r\n",
                   int(i / 5000 / 28) % 12 + 1, int(i / 5000) % 28 + 1, i % 5000, f[1], f[2] } }' >"$rollout_log"
    for _ in $(seq "$runs"); do
        start=$(date +%s.%N)
        wine "$cli" report "Z:${rollout_log//\//\\}" >/dev/null || true
        echo "$arch report $(awk -v end="$(date +%s.%N)" -v start="$start" 'BEGIN {printf "%.6f", end - start}')" >>"$results"
    done
    velto1_stop_wineserver
done

stats() {  # stats ARCH LABEL COLUMN: "median (min-max)" of one column
    grep "^$1 $2 " "$results" | awk -v c="$3" '{print $c}' | sort -g |
        awk '{v[NR]=$1} END {m = (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2;
                             printf "%.3f s (%.3f-%.3f)", m, v[1], v[NR]}'
}
emulated=
[ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && emulated=" (x86: 32-bit Wine under qemu-i386 CPU emulation)"
echo "velto1 under Wine, $runs runs each, median (min-max); $(nproc) cores, $("$(velto1_wine_loader x64)" --version)$emulated"
row() {  # row TITLE LABEL COLUMN: one line, one cell per architecture
    printf '%-34s' "$1"
    for arch in "${arches[@]}"; do printf ' %-26s' "$(stats "$arch" "$2" "$3")"; done
    echo
}
printf '%-34s' ""; for arch in "${arches[@]}"; do printf ' %-26s' "$arch"; done; echo
row "start to dialog, device present" present 3
row "start to dialog, device absent" absent 3
row "successful update, OK to message" present 4
row "velto1cli update, start to exit" cli 3
row "velto1cli check, start to exit" cli 4
row "velto1cli update --record" cli 5
row "process start and end (--version)" cli 6
row "velto1cli report, 1,000,000 lines" report 3
# The update's own time: the floor's 5% covers the search, the transfers and
# the messages, not Wine's process start, which a qemu-emulated CPU multiplies.
printf '%-34s' "velto1cli update, less start/end"
for arch in "${arches[@]}"; do
    update=$(stats "$arch" cli 3 | cut -d' ' -f1)
    start=$(stats "$arch" cli 6 | cut -d' ' -f1)
    printf ' %-26s' "$(echo "$update $start" | awk '{printf "%.3f s (%.3f x floor)", $1 - $2, ($1 - $2) / 2.0}')"
done
echo
# Recording off is the plain update: the driver is called directly, with no
# recorder between; on, its cost is the difference of the two medians.
printf '%-34s' "recording's cost on an update"
for arch in "${arches[@]}"; do
    off=$(stats "$arch" cli 3 | cut -d' ' -f1)
    on=$(stats "$arch" cli 5 | cut -d' ' -f1)
    printf ' %-26s' "$(echo "$on $off" | awk '{printf "%+.1f%% (off: no recorder)", ($1 - $2) / $2 * 100}')"
done
echo
cat "$lock_results"
