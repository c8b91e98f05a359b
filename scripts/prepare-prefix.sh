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
wine64=$(velto1_wine_loader x64 || true)
if [ ! -x "$wine64" ]; then  # called on its own on a machine without Wine
    "$velto1_root/scripts/setup.sh" wine display >&2
    wine64=$(velto1_wine_loader x64)
fi
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
# Everything the prefix needs in its registry goes in with one regedit run
# (each Wine process costs about a second): a .reg file, in UTF-16 as regedit
# reads REG_MULTI_SZ values, written by the 64-bit regedit, which writes the
# 32-bit view (Wow6432Node) too.
settings="$prefix/velto1-settings.reg"
{
    echo 'Windows Registry Editor Version 5.00'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\WineDbg]'
    echo '"ShowCrashDialog"=dword:00000000'
} >"$settings.txt"

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
    # The value as REG_MULTI_SZ: UTF-16LE, ended by two empty characters.
    link=$(printf 'NotoSansCJK-Regular.ttc,Noto Sans CJK JP' | iconv -t UTF-16LE | od -An -tx1 -v |
        tr -s ' \n' ' ' | sed 's/^ //; s/ $//; s/ /,/g'),00,00,00,00
    for view in '' 'Wow6432Node\'; do
        echo
        echo "[HKEY_LOCAL_MACHINE\\Software\\${view}Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]"
        for face in 'Tahoma' 'MS Sans Serif' 'Microsoft Sans Serif' 'MS Shell Dlg' 'MS Shell Dlg 2' 'MS UI Gothic' 'System'; do
            echo "\"$face\"=hex(7):$link"
        done
    done >>"$settings.txt"
fi
{ printf '\xff\xfe'; iconv -t UTF-16LE "$settings.txt"; } >"$settings"
rm -f "$settings.txt"
# Wine's drive Z: is the root of the Linux file system.
if ! "$wine64" regedit /S "Z:${settings//\//\\}" </dev/null >/dev/null 2>&1; then
    echo "prepare-prefix: importing $settings failed in $prefix" >&2
    exit 1
fi
wineserver -w
echo "$installation" >"$marker"
