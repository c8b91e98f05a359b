# Shared by the scripts: the Wine environment of a private prefix, a private
# X display, and clean-up. Source it; don't run it.

# velto1_use_prefix PREFIX: run Wine in PREFIX (created and prepared on first use).
velto1_use_prefix() {
    export WINEPREFIX="$1" WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    "$(dirname "${BASH_SOURCE[0]}")/prepare-prefix.sh" "$WINEPREFIX"
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
    else
        echo "warning: Xvfb did not start; windows cannot be shown" >&2
        unset DISPLAY
    fi
    rm -f "$display_file"
}

# velto1_start_wineserver: one persistent server for the prefix, so that each
# Wine process starts in milliseconds; the warm-up keeps Wine's service
# processes from holding the caller's output open.
velto1_start_wineserver() {
    wineserver -p </dev/null >/dev/null 2>&1 &
    wine wineboot </dev/null >/dev/null 2>&1 || true
}

# velto1_stop: the server and the display go with the script.
velto1_stop() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$velto1_xvfb_pid" ]; then kill "$velto1_xvfb_pid" 2>/dev/null || true; fi
}
