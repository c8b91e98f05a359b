#!/usr/bin/env bash
# velto1cli report --html as an administrator opens it: the page of a small
# roll-out rendered by Debian's chromium, headless, its DOM read back. The
# figures and the causes are on it, it loads nothing from outside, and a
# computer named like markup is shown as text, not made an element.
#   report_page_test.sh BUILD_DIR
set -euo pipefail
build="$1"
run="$build/wine-run"
cli="$build/cli/velto1cli.exe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v chromium >/dev/null || fail "no chromium (scripts/setup.sh tests installs it)"

line() {  # line TIME COMPUTER OUTCOME CODE
    printf '%s\t%s\tSYSTEM\tUSB 7450 Device\t0x85\t-\t%s\t%s\t1.0.0\tx86\r\n' "$@"
}
{
    line 2026-11-02T08:00:00+01:00 PC-1 updated 0
    line 2026-11-02T08:00:00-05:00 PC-2 updated 0
    line 2026-11-03T08:00:00+09:00 PC-3 "W001 device not found" 11
    line 2026-11-03T08:00:00Z '<img src=x onerror=alert(1)>' \
        "E003 writing the option byte failed, status 0x80070005" 23
    line 2026-11-04T08:00:00Z PC-5 "E003 writing the option byte failed, status 0x80070005" 23
    echo "a line of another tool"
} >"$work/velto1.log"
printf 'PC-1\nPC-2\nPC-3\nPC-5\nPC-NEVER\n<img src=x onerror=alert(1)>\n' >"$work/inventory.txt"
win() { echo "Z:${1//\//\\}"; }
status=0
"$run" "$cli" report --html "$(win "$work/page.html")" --expect "$(win "$work/inventory.txt")" \
    "$(win "$work/velto1.log")" >"$work/out.txt" 2>"$work/errors.txt" || status=$?
[ "$status" = 30 ] || fail "report: exit $status, not 30: $(cat "$work/out.txt" "$work/errors.txt")"
[ -s "$work/page.html" ] || fail "no page written"
if grep -qiE '<script|<link|src="http|href="http|url\(' "$work/page.html"; then
    fail "the page loads or runs something"
fi

timeout 120 chromium --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
    --dump-dom "file://$work/page.html" >"$work/dom.html" 2>/dev/null || fail "chromium did not render the page"
figure() { sed -n "s/.*<div id=\"$1\"><div class=\"figure\"[^>]*>\([0-9]*\)<.*/\1/p" "$work/dom.html" | head -n 1; }
[ "$(figure done)" = 2 ] || fail "done: $(figure done)"
[ "$(figure nothingToDo)" = 1 ] || fail "nothing to do: $(figure nothingToDo)"
[ "$(figure attention)" = 2 ] || fail "attention: $(figure attention)"
[ "$(figure neverReported)" = 1 ] || fail "never reported: $(figure neverReported)"
grep -q 'E003 writing the option byte failed, status 0x80070005' "$work/dom.html" || fail "no cause"
# The browser's own DOM: the name is text (escaped again on the way out), no element.
grep -q '&lt;img src=x onerror=alert(1)&gt;' "$work/dom.html" || fail "the markup name is not shown as text"
if grep -q '<img' "$work/dom.html"; then fail "the markup name became an element"; fi
grep -q 'PC-NEVER' "$work/dom.html" || fail "the computer that never reported is not listed"
echo "ok: the page shows the figures and the cause, and the markup name as text"
