#!/usr/bin/env bash
# Runs the register console (regconsole.exe) on a simulated "USB 7450 Device"
# in the private demo prefix, as scripts/run.sh runs the updater: it builds
# only what it runs, one line per stage (packages, configure, build, device,
# dialog).
#
#   scripts/run-console.sh [--arch x86|x64] [--reset] [--no-device] [--screenshot FILE.png]
#
# --no-device starts it with no simulated device registered; --screenshot
# shows it on a virtual display, saves a picture of the window and ends it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/wine-env.sh"
usage() {
    echo "usage: scripts/run-console.sh [--arch x86|x64] [--reset] [--no-device] [--screenshot FILE.png]" >&2
    exit 2
}
arch=x86 reset= device=1 shot=
while [ $# -gt 0 ]; do
    case "$1" in
        --arch) [ $# -ge 2 ] || usage; velto1_check_arch "$2"; arch="$2"; shift ;;
        --arch=*) velto1_check_arch "${1#--arch=}"; arch="${1#--arch=}" ;;
        --reset) reset=--reset-eeprom ;;
        --no-device) device= ;;
        --screenshot) [ $# -ge 2 ] || usage; shot="$2"; shift ;;
        *) usage ;;
    esac
    shift
done
[ -n "${DISPLAY:-}" ] || [ -n "$shot" ] || { echo "no X display: use --screenshot FILE.png" >&2; exit 2; }

# simdevctl brings simdevice.dll beside it.
velto1_use_demo "$arch" regconsole simdevctl
build=$(velto1_build_dir "$arch")
demo="$build/demo"
if [ -n "$shot" ]; then
    velto1_start_xvfb
fi
trap velto1_stop EXIT
velto1_start_wineserver

simdevctl="$build/tools/simdevctl/simdevctl.exe"   # with its copy of simdevice.dll
console="$build/regconsole/regconsole.exe"
eeprom="$demo/eeprom.bin"

wine "$simdevctl" register >>"$demo/device.log" 2>&1 || velto1_stage_failed "$demo/device.log"
wine "$simdevctl" remove demo >/dev/null 2>&1 || true
if [ -n "$device" ]; then
    wine "$simdevctl" add demo --name "USB 7450 Device" --chip-id 0x141 --eeprom "$eeprom" $reset \
        >>"$demo/device.log" 2>&1 || velto1_stage_failed "$demo/device.log"
    velto1_stage_done "simulated \"USB 7450 Device\" ($arch), EEPROM $eeprom"
else
    velto1_stage_done "none ($arch)"
fi

velto1_stage dialog
if [ -z "$shot" ]; then
    echo "regconsole.exe $arch on display $DISPLAY"
    wine "$console"
    exit 0
fi
# The window is centred on the virtual desktop.
screen="$demo/console-screen.png"
velto1_desktop_shot 1024x768 10 "$screen" "$console"
mkdir -p "$(dirname "$shot")"
# The desktop's plain background around the window is trimmed away; what is
# left must be a window, not an empty desktop.
convert "$screen" -crop 1024x768+0+0 +repage -trim +repage "$shot"
size=$(identify -format '%w %h' "$shot")
if [ "${size% *}" -lt 200 ] || [ "${size#* }" -lt 150 ]; then
    echo "run-console.sh: no console window on the screen ($shot is $size)" >&2
    exit 1
fi
velto1_stage_done "regconsole.exe $arch on a virtual display, screenshot $shot"
