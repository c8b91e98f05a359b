#!/usr/bin/env bash
# Makes the corpus's recordings of simulated devices again, each with the
# outcome its replay must give (NAME.rec, NAME.expected), with the programs of
# a build (default build/mingw-x64). The recordings written by hand for
# drivers unlike ours (see README.md here) are left alone.
#
#   tests/recordings/make.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Without a build named, this checkout's x64 build, made (or brought up to date) first.
[ -n "${1:-}" ] || "$here/../../scripts/build.sh" x64 >/dev/null
build=$(cd "${1:-$here/../../build/mingw-x64}" && pwd)
bin="$build/tests/recording"
export WINEDEBUG=-all
run() { "$build/wine-run" "$@"; }
eeprom="$build/corpus-eeprom.bin"
recording="$build/corpus.rec"
winpath() { echo "Z:${1//\//\\}"; }

# record NAME MARKER OPTION "SIMDEVCTL OPTIONS" PROGRAM ARGUMENTS...: one
# recorded run on a "USB 7450 Device" whose EEPROM holds MARKER at 0x7A and
# OPTION at 8, and its outcome.
record() {
    local name=$1 marker=$2 option=$3 faults=$4 program=$5
    shift 5
    # shellcheck disable=SC2086
    run "$bin/simdevctl.exe" add cam --name "USB 7450 Device" --eeprom "$(winpath "$eeprom")" \
        --reset-eeprom $faults >/dev/null
    printf "\\x$marker" | dd of="$eeprom" bs=1 seek=$((0x7A)) conv=notrunc status=none
    printf "\\x$option" | dd of="$eeprom" bs=1 seek=8 conv=notrunc status=none
    local output code=0
    if [ "$program" = velto1cli ]; then
        output=$(run "$bin/$program.exe" "$@" --record "$(winpath "$recording")" 2>&1) || code=$?
    else
        output=$(run "$bin/$program.exe" --record "$(winpath "$recording")" "$@" 2>&1) || code=$?
    fi
    cp "$recording" "$here/$name.rec"
    {
        echo "command $program $*"
        echo "exit $code"
        [ -z "$output" ] || printf '%s\n' "$output" | tr -d '\r' | sed 's/^/output /'
    } >"$here/$name.expected"
    echo "$name: exit $code"
}

run "$bin/simdevctl.exe" register >/dev/null
record update-updated         31 85 ""                              velto1cli update
record update-already-updated 31 05 ""                              velto1cli update
record check-needed           31 85 ""                              velto1cli check
record update-w002            00 85 ""                              velto1cli update
record update-e001            31 85 "--fail-call 13=0x80004005"     velto1cli update
record update-e002            31 85 "--fail-call 15=0x80004005"     velto1cli update
record update-e003            31 85 "--fail-i2c-write 1=0x80004005" velto1cli update
record update-e004            31 85 "--fail-call 19=0x80004005"     velto1cli update
record update-e005            31 85 "--fail-i2c-write 1=0"          velto1cli update
record update-short-read      31 85 "--short-read 1"                velto1cli update
# Drivers that answer success and deliver nothing, or keep the selection before.
record update-gpio-read-undelivered   31 85 "--fail-call 6=0"       velto1cli update
record update-marker-undelivered      31 85 "--fail-call 13=0"      velto1cli update
record update-option-select-ignored   31 85 "--fail-call 14=0"      velto1cli update
record update-option-undelivered      31 85 "--fail-call 15=0"      velto1cli update
record update-read-back-undelivered   31 85 "--fail-call 19=0"      velto1cli update
record update-i2c-never-delivered     31 85 "--fail-property 0x1008=0" velto1cli update
record chipctl-eeprom-dump    31 85 ""                              chipctl eeprom dump
run "$bin/simdevctl.exe" remove --all >/dev/null
rm -f "$eeprom" "$eeprom.lock" "$recording"
