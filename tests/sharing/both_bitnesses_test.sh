#!/usr/bin/env bash
# A 32-bit and a 64-bit program on one simulated device, in this build's test
# prefix (a 64-bit prefix, one wineserver, which runs both): this build's
# programs and those of the other architecture's build. Programs of one
# bitness see the classes of their own registry view, so each bitness
# registers its simdevice.dll and the same device (id, name, EEPROM file).
#   - the other bitness holds the device (found by the library, or by its own
#     search and bound with or without the moniker): velto1cli here waits its
#     10 s and exits 20, having written nothing;
#   - the holder is killed: velto1cli here updates the device;
#   - a register written by the other bitness's chipctl reads back here.
# Skipped (77) until the other architecture is built (scripts/test.sh builds
# both before it runs the tests).
#   both_bitnesses_test.sh BUILD_DIR OTHER_BUILD_DIR
set -euo pipefail
build="$1"
other="$2"
run="$build/wine-run"
tools=(tools/simdevctl/simdevctl.exe tools/chipctl/chipctl.exe tests/sharing/device_holder.exe)
for program in "${tools[@]}"; do
    if [ ! -f "$other/$program" ]; then
        echo "skipped: $other/$program is not built"
        exit 77
    fi
done
work=$(mktemp -d)
background=
cleanup() {
    if [ -n "$background" ]; then kill -9 "$background" 2>/dev/null || true; fi
    for tree in "$build" "$other"; do
        "$run" "$tree/tools/simdevctl/simdevctl.exe" remove --all >/dev/null 2>&1 || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
option_byte() { od -An -tx1 -j8 -N1 "$work/eeprom.bin" | tr -d ' '; }

# start_other COMMAND WORD: the other bitness's device_holder in the
# background, waited for (at most a minute) until it has printed WORD.
start_other() {
    # Emptied here, not only by the background's redirection, which may come
    # after the first look below and leave the last holder's WORD to be seen.
    : >"$work/holder.txt"
    # Its standard output only: Wine's diagnostics go to the error stream.
    "$run" "$other/tests/sharing/device_holder.exe" "$1" "USB 7450 Device" >"$work/holder.txt" 2>"$work/holder-errors.txt" &
    background=$!
    for _ in $(seq 600); do
        grep -q "$2" "$work/holder.txt" && return 0
        kill -0 "$background" 2>/dev/null ||
            fail "device_holder $1 ended: $(cat "$work/holder.txt" "$work/holder-errors.txt")"
        sleep 0.1
    done
    fail "device_holder $1 did not say $2 within a minute"
}
end_other() {
    kill -9 "$background"
    wait "$background" 2>/dev/null || true
    background=
}

eeprom="Z:${work//\//\\}\\eeprom.bin"
for tree in "$build" "$other"; do
    "$run" "$tree/tools/simdevctl/simdevctl.exe" register >/dev/null
    "$run" "$tree/tools/simdevctl/simdevctl.exe" remove --all >/dev/null
    "$run" "$tree/tools/simdevctl/simdevctl.exe" add cam --name "USB 7450 Device" \
        --eeprom "$eeprom" >/dev/null
done
[ "$(option_byte)" = 85 ] || fail "the device does not start fresh"

# Held through the library's search, then by a program's own search with the
# filter alone and with its moniker.
for holder in hold own-hold own-hold-moniker; do
    start_other "$holder" held
    status=0
    "$run" "$build/cli/velto1cli.exe" update >"$work/out.txt" 2>&1 || status=$?
    [ "$status" = 20 ] ||
        fail "velto1cli beside device_holder $holder: exit $status, not 20: $(cat "$work/out.txt")"
    [ "$(option_byte)" = 85 ] || fail "velto1cli wrote while device_holder $holder held the device"
    echo "ok: held by the other bitness ($holder), velto1cli exits 20 and writes nothing"
    end_other
done

status=0
"$run" "$build/cli/velto1cli.exe" update >"$work/out.txt" 2>&1 || status=$?
[ "$status" = 0 ] || fail "velto1cli after the holder died: exit $status: $(cat "$work/out.txt")"
[ "$(option_byte)" = 05 ] || fail "velto1cli after the holder died left option byte $(option_byte)"
echo "ok: the holder killed, velto1cli updates the device"

start_other bind bound
"$run" "$other/tools/chipctl/chipctl.exe" reg write 30 A5 >"$work/out.txt" 2>&1 ||
    fail "chipctl reg write (other bitness): $(cat "$work/out.txt")"
read_back=$("$run" "$build/tools/chipctl/chipctl.exe" reg read 30 2>"$work/errors.txt") ||
    fail "chipctl reg read: $read_back $(cat "$work/errors.txt")"
[ "$(echo "$read_back" | tr -d '\r')" = 0xA5 ] || fail "register 0x30 reads $read_back here, not 0xA5"
end_other
echo "ok: a register written by the other bitness reads back here"
