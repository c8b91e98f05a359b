# Shared by the scripts: the Wine environment of a private prefix for one
# architecture, a private X display, and clean-up. Source it; don't run it.
velto1_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# velto1_check_arch VALUE: exits with a one-line usage error (status 2)
# unless VALUE names an architecture.
velto1_check_arch() {
    case "$1" in
        x86 | x64) ;;
        *) echo "$(basename "$0"): unknown architecture '$1': use --arch x86 or --arch x64" >&2; exit 2 ;;
    esac
}

# velto1_build_dir ARCH: the build folder of one architecture.
velto1_build_dir() { echo "$velto1_root/build/mingw-$1"; }

# velto1_wine_loader ARCH: Wine's loader of that bitness. Built-in programs
# named without a path (reg, regedit, regsvr32) run with the loader's bitness,
# and so in its registry view: a 32-bit process sees HKCR\CLSID under
# Wow6432Node.
velto1_wine_loader() {
    local loader=/usr/lib/wine/wine64
    [ "$1" = x86 ] && loader=/usr/lib/wine/wine
    if [ -x "$loader" ]; then echo "$loader"; else command -v wine; fi
}

# velto1_wine_env PREFIX [ARCH]: the one place that sets Wine's environment
# for this project: Wine runs in PREFIX, a 64-bit prefix that runs 32-bit
# programs too; Wine's own diagnostics are off unless WINEDEBUG is set; heap
# checking is on (see below); no Mono or Gecko installer (the program needs
# neither); and, where i386 programs run under qemu, the shim that makes
# 32-bit Wine's address-space reservations workable
# (scripts/wine32-qemu-mmap.c; '$LIB' picks the 32-bit library or its empty
# 64-bit twin). `wine` then starts the loader of ARCH (default x64). The
# prefix is used as it is: see velto1_use_prefix.
#
# Heap checking, for every Windows program run here and every program those
# start (they inherit the environment): Wine's warn+heap fills freed blocks
# with 0xFEEEFEEE (a pointer read from one faults), pads each block with a
# checked tail and makes HeapValidate check tails and freed blocks; err+heap
# prints what a validation finds. VELTO1_HEAP_CHECK=1 makes the programs
# validate their heaps at exit (common/heap_check_at_exit.cpp); the test
# binaries validate theirs after each test in any case. VELTO1_HEAP_CHECK=0
# switches Wine's checking and the programs' off: only for measuring what it
# costs (docs/contributing.md, Tests), never for a test run that counts.
velto1_wine_env() {
    export VELTO1_HEAP_CHECK="${VELTO1_HEAP_CHECK:-1}"
    local debug="${WINEDEBUG:--all}"
    if [ "$VELTO1_HEAP_CHECK" = 1 ]; then
        case ",$debug," in
            *",warn+heap,"*) ;;
            *) debug="$debug,err+heap,warn+heap" ;;
        esac
    fi
    export WINEPREFIX="$1" WINEARCH=win64 WINEDEBUG="$debug"
    export WINEDLLOVERRIDES="mscoree,mshtml="
    velto1_loader=$(velto1_wine_loader "${2:-x64}")
    local shim="$velto1_root/build/wine32-qemu" preload
    preload="$shim/\$LIB/libvelto1-mmap.so"
    if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && [ -f "$shim/lib/i386-linux-gnu/libvelto1-mmap.so" ]; then
        case ":${LD_PRELOAD:-}:" in
            *":$preload:"*) ;;
            *) export LD_PRELOAD="$preload${LD_PRELOAD:+:$LD_PRELOAD}" ;;
        esac
    fi
}

# velto1_use_prefix PREFIX [ARCH]: velto1_wine_env, with PREFIX created and
# prepared on first use, and again when the Wine installation changes.
velto1_use_prefix() {
    velto1_wine_env "$@"
    "$velto1_root/scripts/prepare-prefix.sh" "$WINEPREFIX"
}
wine() { "$velto1_loader" "$@"; }

# velto1_desktop_shot SIZE SECONDS SCREEN PROGRAM...: starts PROGRAM on a Wine
# virtual desktop of SIZE (which draws the windows' captions), waits SECONDS
# and saves the whole screen to SCREEN; fails when the program has ended by
# then, since the picture would show no window of it. PROGRAM goes on running.
velto1_desktop_shot() {
    local size="$1" seconds="$2" screen="$3" pid status=0
    shift 3
    wine explorer "/desktop=shot,$size" "$@" </dev/null >/dev/null 2>&1 &
    pid=$!
    sleep "$seconds"
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid" || status=$?
        echo "$(basename "$0"): $(basename "$1") ended (status $status) before its picture was taken" >&2
        return 1
    fi
    import -window root "$screen"
}

# velto1_stage NAME / velto1_stage_done TEXT: one line per stage of a run
# command, "NAME: TEXT (SECONDS s)"; the name shows while the stage works.
velto1_stage_name= velto1_stage_start=
velto1_stage() {
    velto1_stage_name="$1" velto1_stage_start=$(date +%s%3N)
    printf '%s: ' "$1"
}
velto1_stage_done() {
    local ms=$(($(date +%s%3N) - velto1_stage_start))
    echo "$1 ($((ms / 1000)).$((ms % 1000 / 100)) s)"
}
# velto1_stage_failed LOG: the stage failed; the end of its output says why.
velto1_stage_failed() {
    echo "failed"
    echo "$(basename "$0"): the $velto1_stage_name stage failed; the end of $1:" >&2
    tail -n 30 "$1" >&2
    velto1_stop_background
    exit 1
}

# A stage's work that runs on in the background, in a process group of its
# own: the package install, then the prefix's making.
velto1_stage_pid= velto1_stage_installed=
velto1_start_background() {  # velto1_start_background INSTALLED_MARKER LOG COMMAND...
    velto1_stage_installed="$1"
    rm -f "$velto1_stage_installed"
    setsid "${@:3}" >"$2" 2>&1 </dev/null &
    velto1_stage_pid=$!
}
# velto1_stop_background: nothing of the background work outlives the script.
# An install runs to its end (apt killed halfway leaves dpkg's database
# broken); what follows it stops at once.
velto1_stop_background() {
    local pid="$velto1_stage_pid"
    [ -n "$pid" ] || return 0
    velto1_stage_pid=
    if kill -0 "$pid" 2>/dev/null && [ ! -e "$velto1_stage_installed" ]; then
        echo "$(basename "$0"): waiting for the package install to end" >&2
        while kill -0 "$pid" 2>/dev/null && [ ! -e "$velto1_stage_installed" ]; do sleep 0.5; done
    fi
    kill -- -"$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# velto1_use_demo ARCH TARGET...: installs what is missing, configures ARCH,
# builds only the TARGETs a run command runs, and takes ARCH's demo prefix,
# where the run commands register their simulated device; the demo's files
# (EEPROM, screenshots, the stages' logs) go in build/mingw-ARCH/demo. The
# compilers are installed first; Wine and the display's packages are
# installed, and the prefix made (half a minute on first use), while the build
# runs.
velto1_use_demo() {
    local arch="$1" build demo steps installed
    shift
    build=$(velto1_build_dir "$arch")
    demo="$build/demo"
    mkdir -p "$demo"
    velto1_stage packages
    "$velto1_root/scripts/setup.sh" "build-$arch" >"$demo/packages.log" 2>&1 ||
        velto1_stage_failed "$demo/packages.log"
    installed=$(sed -n 's/^setup: installing //p' "$demo/packages.log" | wc -w)
    velto1_start_background "$demo/.wine-installed" "$demo/device.log" bash -c \
        '"$1/scripts/setup.sh" wine display && touch "$2" && "$1/scripts/prepare-prefix.sh" "$3"' \
        - "$velto1_root" "$demo/.wine-installed" "$build/demo-prefix"
    trap velto1_stop_background EXIT  # the caller's own trap takes over with velto1_stop
    velto1_stage_done "compilers: $installed installed; Wine and the display's go on during the build"
    # Configured every time, so that a tree made by an older checkout takes
    # the presets' current settings. Without the tests: they need packages a
    # run does not install (the test command configures them back in).
    velto1_stage configure
    (cd "$velto1_root" && cmake --preset "mingw-$arch" -DBUILD_TESTING=OFF) >"$demo/configure.log" 2>&1 ||
        velto1_stage_failed "$demo/configure.log"
    velto1_stage_done "build/mingw-$arch"
    velto1_stage build
    cmake --build "$build" --parallel "$(nproc)" --target "$@" >"$demo/build.log" 2>&1 ||
        velto1_stage_failed "$demo/build.log"
    steps=$(sed -n 's/^\[[0-9]*\/\([0-9]*\)\].*/\1/p' "$demo/build.log" | tail -n 1)
    velto1_stage_done "$# targets ($*), ${steps:-0} compile and link steps"
    velto1_stage device
    wait "$velto1_stage_pid" || { velto1_stage_pid= && velto1_stage_failed "$demo/device.log"; }
    velto1_stage_pid=
    # After the packages: Wine's environment takes the qemu shim when there is one.
    velto1_wine_env "$build/demo-prefix" "$arch"
}

# velto1_start_xvfb: a private virtual X display for this script's windows.
velto1_xvfb_pid=
velto1_start_xvfb() {
    local display_file
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" </dev/null >/dev/null 2>&1 &
    velto1_xvfb_pid=$!
    for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
    if [ -s "$display_file" ]; then
        export DISPLAY=":$(head -n 1 "$display_file")"
        rm -f "$display_file"
    else
        rm -f "$display_file"
        kill "$velto1_xvfb_pid" 2>/dev/null || true
        echo "$(basename "$0"): Xvfb did not start: no display for the windows" >&2
        return 1
    fi
}

# velto1_start_wineserver: one persistent server for the prefix, so that each
# Wine process starts in milliseconds; the warm-up keeps Wine's service
# processes from holding the caller's output open.
velto1_start_wineserver() {
    wineserver -p </dev/null >/dev/null 2>&1 &
    if ! wine wineboot </dev/null >/dev/null 2>&1; then
        echo "$(basename "$0"): Wine did not start in $WINEPREFIX (wineboot failed)" >&2
        return 1
    fi
}

# velto1_stop_wineserver: the prefix's server and its processes end.
velto1_stop_wineserver() { wineserver -k >/dev/null 2>&1 || true; }

# velto1_stop: the server, the display and any background work go with the script.
velto1_stop() {
    velto1_stop_background
    velto1_stop_wineserver
    if [ -n "$velto1_xvfb_pid" ]; then kill "$velto1_xvfb_pid" 2>/dev/null || true; fi
}
