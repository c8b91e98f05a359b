#!/usr/bin/env bash
# velto1cli creates no top-level window, whatever its outcome: each run under
# Wine with no X display, where Wine itself reports the first attempt of a
# process at any window other than a message-only one ("Application tried to
# create a window"). velto1.exe, which opens windows, shows the report can be
# seen. Devices are simulated in the build's test prefix.
#   no_window_test.sh BUILD_DIR
set -euo pipefail
build="$1"
run="$build/wine-run"
tool="$build/tools/simdevctl/simdevctl.exe"
cli="$build/cli/velto1cli.exe"
work=$(mktemp -d)
trap '"$run" "$tool" remove --all >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# no_display PROGRAM ARGS...: runs it without a display; its Wine report on
# window attempts goes to $work/wine.txt, its own output to $work/out.txt.
no_display() {
    local status=0
    env -u DISPLAY WINEDEBUG=-all,err+winediag "$run" "$@" >"$work/out.txt" 2>"$work/wine.txt" \
        || status=$?
    echo "$status"
}
tried_window() { grep -q "Application tried to create a window" "$work/wine.txt"; }

"$run" "$tool" register >/dev/null
"$run" "$tool" remove --all >/dev/null
eeprom="Z:${work//\//\\}\\eeprom.bin"

# The control: the updater opens its main window at once.
[ "$(no_display "$build/app/velto1.exe")" = 0 ] || fail "velto1.exe did not end"
tried_window || fail "Wine did not report velto1.exe's window: the check sees nothing"

# Each row: simdevctl add options ("" no device), velto1cli arguments, exit code.
rows=(
    "|update|11"
    "--no-custom-property|update --all|13"
    "--fail-i2c-write 1=0x80070005|update|23"
    "--unplug-from 1|check|21"
    "|check|10"
    "|update --log Z:\\no\\such\\folder\\x.log|3"
    "|update|0"
    "|bogus|2"
    "|help|0"
)
for row in "${rows[@]}"; do
    IFS='|' read -r device arguments code <<<"$row"
    "$run" "$tool" remove --all >/dev/null
    if [ -n "$device" ] || [ "$code" != 11 ]; then
        # shellcheck disable=SC2086  # the options are words
        "$run" "$tool" add cam --name "USB 7450 Device" --eeprom "$eeprom" --reset-eeprom $device >/dev/null
    fi
    # shellcheck disable=SC2086
    status=$(no_display "$cli" $arguments)
    [ "$status" = "$code" ] || fail "velto1cli $arguments with '$device': exit $status, not $code: $(cat "$work/out.txt")"
    if tried_window; then
        fail "velto1cli $arguments with '$device' tried to create a window: $(cat "$work/wine.txt")"
    fi
    echo "ok: velto1cli $arguments ($device): exit $status, no window"
done
