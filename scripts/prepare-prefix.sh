#!/usr/bin/env bash
# Creates and prepares a private Wine prefix for the tests and the demo:
# crash dialog off, and a CJK font linked into the dialog faces so that the
# Japanese texts render. Safe to call from several processes at once.
set -eu
prefix="$1"
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.velto1-ready" ] && exit 0

export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine wineboot -i </dev/null >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1

# Wine's Marlett font (the glyphs of caption buttons) into the prefix, where
# Wine finds it whatever its data folder. Only Marlett: with Wine's own Tahoma
# the captions would lose the linked Japanese glyphs.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp -f /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
fi

# Font link: the Noto CJK face serves Japanese glyphs for the dialog fonts.
font=/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc
if [ -f "$font" ]; then
    cp -f "$font" "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
    for face in 'Tahoma' 'MS Sans Serif' 'Microsoft Sans Serif' 'MS Shell Dlg' 'MS Shell Dlg 2' 'MS UI Gothic' 'System'; do
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
            /v "$face" /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK JP' /f </dev/null >/dev/null 2>&1 || true
    done
fi
wineserver -w
touch "$prefix/.velto1-ready"
