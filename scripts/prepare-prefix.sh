#!/usr/bin/env bash
# Creates and prepares a private Wine prefix for the tests and the demo:
# crash dialog off, and a CJK font linked into the dialog faces so that the
# Japanese texts render. The ready marker records the Wine installation the
# prefix was made with; a prefix made by another (a different version, or
# before wine32 was installed, which makes every program fail with "could not
# load kernel32.dll") is made anew. Safe to call from several processes at once.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
prefix="$1"
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9

# The 64-bit loader: it writes both registry views below.
wine64=$(velto1_wine_loader x64)
wine32=no
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' && wine32=yes
installation="$("$wine64" --version) wine32=$wine32"
marker="$prefix/.velto1-ready"
if [ -f "$marker" ]; then
    [ "$(cat "$marker")" = "$installation" ] && exit 0
    echo "prepare-prefix: Wine changed ($(cat "$marker") -> $installation): making $prefix anew" >&2
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
fi
mkdir -p "$prefix"

velto1_wine_env "$prefix" x64
if ! "$wine64" wineboot -i </dev/null >/dev/null 2>&1; then
    echo "prepare-prefix: creating $prefix failed (wineboot -i)" >&2
    exit 1
fi
reg() {
    if ! "$wine64" reg "$@" </dev/null >/dev/null 2>&1; then
        echo "prepare-prefix: reg $* failed in $prefix" >&2
        exit 1
    fi
}
reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f

# Wine's Marlett font (the glyphs of caption buttons) into the prefix, where
# Wine finds it whatever its data folder. Only Marlett: with Wine's own Tahoma
# the captions would lose the linked Japanese glyphs.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp -f /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
fi

# Font link: the Noto CJK face serves Japanese glyphs for the dialog fonts, in
# both registry views (32-bit programs read their own).
font=/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc
if [ -f "$font" ]; then
    cp -f "$font" "$prefix/drive_c/windows/Fonts/"
    for face in 'Tahoma' 'MS Sans Serif' 'Microsoft Sans Serif' 'MS Shell Dlg' 'MS Shell Dlg 2' 'MS UI Gothic' 'System'; do
        for view in /reg:64 /reg:32; do
            reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
                /v "$face" /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK JP' /f $view
        done
    done
fi
wineserver -w
echo "$installation" >"$marker"
