#!/usr/bin/env bash
# Runs velto1 on the simulated device: installs what is missing, builds what
# it runs for the chosen architecture, registers a simulated "USB 7450 Device"
# in a private Wine prefix (its EEPROM kept in build/mingw-ARCH/demo/eeprom.bin
# between runs, so a second run finds the update applied), and starts
# velto1.exe. One line per stage: packages, configure, build, device, dialog.
#
#   scripts/run.sh            with a display: you work the dialog yourself;
#                             without one: OK is pressed for you on a virtual
#                             display, the outcome is printed and screenshots
#                             are saved in build/mingw-ARCH/demo/
#   scripts/run.sh --arch x86|x64
#                             the build to run (default x86, the one most
#                             users download); the simulated device is of the
#                             same architecture, registered in its registry view
#   scripts/run.sh --reset    start again from a not-yet-updated EEPROM
#   scripts/run.sh --headless the automatic run even when there is a display
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/wine-env.sh"
usage() { echo "usage: scripts/run.sh [--arch x86|x64] [--reset] [--headless]" >&2; exit 2; }
arch=x86 reset= headless=
while [ $# -gt 0 ]; do
    case "$1" in
        --arch) [ $# -ge 2 ] || usage; velto1_check_arch "$2"; arch="$2"; shift ;;
        --arch=*) velto1_check_arch "${1#--arch=}"; arch="${1#--arch=}" ;;
        --reset) reset=--reset-eeprom ;;
        --headless) headless=1 ;;
        *) usage ;;
    esac
    shift
done
[ -n "${DISPLAY:-}" ] || headless=1

# velto1_autopilot brings velto1.exe beside it; simdevctl brings simdevice.dll.
velto1_use_demo "$arch" velto1_autopilot simdevctl
build=$(velto1_build_dir "$arch")
demo="$build/demo"
if [ -n "$headless" ]; then
    velto1_start_xvfb
    # A Wine virtual desktop draws the windows' captions, as a desktop would.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
else
    wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
fi
velto1_stop_wineserver  # the desktop follows the setting from the next start
trap velto1_stop EXIT
velto1_start_wineserver

tools="$build/tools/autopilot"   # velto1.exe and its autopilot, side by side
simdevctl="$build/tools/simdevctl/simdevctl.exe"
eeprom="$demo/eeprom.bin"
option_byte() { od -An -tx1 -j8 -N1 "$eeprom" | tr -d ' '; }

wine "$simdevctl" register >>"$demo/device.log" 2>&1 || velto1_stage_failed "$demo/device.log"
wine "$simdevctl" add demo --name "USB 7450 Device" --eeprom "$eeprom" $reset >>"$demo/device.log" 2>&1 ||
    velto1_stage_failed "$demo/device.log"
velto1_stage_done "simulated \"USB 7450 Device\" ($arch), EEPROM $eeprom, option byte 0x$(option_byte)"

velto1_stage dialog
if [ -z "$headless" ]; then
    echo "velto1.exe $arch on display $DISPLAY"
    wine "$tools/velto1.exe"
else
    rm -f "$demo"/*.bmp
    session=$(wine "$tools/velto1_autopilot.exe" --shots "$(winepath -w "$demo")" | tr -d '\r')
    velto1_stage_done "velto1.exe $arch, OK pressed on a virtual display"
    echo "$session"
    for shot in dialog message; do
        if [ -f "$demo/$shot.bmp" ]; then
            convert "$demo/$shot.bmp" "$demo/$shot.png"
            rm -f "$demo/$shot.bmp"
            echo "screenshot: $demo/$shot.png"
        fi
    done
    # The autopilot answers for the dialog; velto1.exe itself must have ended
    # normally, whatever its message said.
    if ! grep -qx 'exit code: 0' <<<"$session"; then
        echo "run.sh: velto1.exe did not end normally" >&2
        exit 1
    fi
fi
echo "option byte now 0x$(option_byte)"
